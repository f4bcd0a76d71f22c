# Shared by the benchmarks on the test networks: builds TARGETS in build-bench,
# brings NETWORK (a script of tests/integration, samba_network.sh unless told)
# up in a scratch directory (taken down on exit), and offers `elapsed`,
# `median` and `ratio`. Sourced with TARGETS set.
. scripts/packages.sh
# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $TEST_PACKAGES

build=build-bench
cmake --preset bench >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" --parallel "$(nproc)" --target $TARGETS >/dev/null

network=tests/integration/${NETWORK:-samba_network.sh}
state=$(mktemp -d /tmp/vexor-bench-network.XXXXXX)
trap 'bash "$network" down "$state" >/dev/null 2>&1 || true; rm -rf "$state" "$state.skip"' EXIT
bash "$network" up "$state"
if [ -f "$state.skip" ]; then
    exit 0
fi

# Every host of the test network shares this computer's cores, and their own
# start-up (each wsdd probes the network and every other wsdd answers it) keeps
# them busy for a while after they all answer; no client of a real network,
# whose peers each have a processor of their own, sees that. The timing starts
# once the processors are idle again (at least 90% over two seconds, for at
# most two minutes).
idle_percent() {
    local before after total=0 field
    read -ra before < <(head -1 /proc/stat)
    sleep 2
    read -ra after < <(head -1 /proc/stat)
    for field in 1 2 3 4 5 6 7 8; do total=$((total + after[field] - before[field])); done
    echo $((100 * (after[4] - before[4]) / (total > 0 ? total : 1)))
}
settle_start=$(date +%s)
while [ "$(idle_percent)" -lt 90 ] && [ $(($(date +%s) - settle_start)) -lt 120 ]; do :; done
echo "Processors idle $(($(date +%s) - settle_start)) s after the network came up"

elapsed() { # command... -> milliseconds, run as the client
    local start end
    start=$(date +%s%N)
    bash "$network" client "$state" "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
