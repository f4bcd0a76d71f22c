#!/usr/bin/env bash
# On the modern test network (tests/integration/modern_network.sh), as its
# client: the refresh's walk and lookups against `avahi-browse -art -t` listing
# the same DNS-SD services, as a ratio (aim: at most 1.00), and the refresh's
# own time (aim: at most 1.5 s). Needs root for the network namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $TEST_PACKAGES

build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target bench_walk >/dev/null

network=tests/integration/modern_network.sh
state=$(mktemp -d /tmp/vexor-bench-modern.XXXXXX)
trap 'bash "$network" down "$state" >/dev/null 2>&1 || true; rm -rf "$state" "$state.skip"' EXIT
bash "$network" up "$state"
[ -f "$state.skip" ] && exit 0

elapsed() {
    local start end
    start=$(date +%s%N)
    bash "$network" client "$state" "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

walk="$PWD/$build/bench/bench_walk"
echo "Machines the refresh finds:"
bash "$network" client "$state" "$walk" | sed 's/^/  /'
runs=${BENCH_RUNS:-7}
for _ in $(seq "$runs"); do elapsed "$walk"; done | median >"$state/ours"
for _ in $(seq "$runs"); do
    elapsed avahi-browse -art -t
done | median >"$state/avahi"
ours=$(cat "$state/ours")
theirs=$(cat "$state/avahi")
echo "refresh (walk, shares and lookups): ${ours} ms (aim: at most 1500 ms);" \
    "avahi-browse -art -t: ${theirs} ms; ratio $(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }') (aim: at most 1.00)"
