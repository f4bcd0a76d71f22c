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

elapsed() { # command... -> milliseconds, run as the client
    local start end
    start=$(date +%s%N)
    bash "$network" client "$state" "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
