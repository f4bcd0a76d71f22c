#!/usr/bin/env bash
# On the modern test network (tests/integration/modern_network.sh), as its
# client: the refresh's walk and lookups against `avahi-browse -art -t` listing
# the same DNS-SD services, as a ratio (aim: at most 1.00), and the refresh's
# own time (aim: at most 1.5 s). Needs root for the network namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."
TARGETS=bench_walk
NETWORK=modern_network.sh
. bench/network_bench_lib.sh

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
    "avahi-browse -art -t: ${theirs} ms; ratio $(ratio "$ours" "$theirs") (aim: at most 1.00)"
