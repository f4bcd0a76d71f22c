#!/usr/bin/env bash
# On the test Samba network, as a client with a stock resolver (files, dns): the
# refresh's walk and lookups with every server up and with two servers' links
# down, and their difference (aim: at most one time-out, 750 ms); then our
# local-link resolution of one NetBIOS name against nmblookup, as a ratio (aim:
# at most 1.00). Needs root for the network namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."
TARGETS="bench_walk bench_resolve"
. bench/network_bench_lib.sh

runs=${BENCH_RUNS:-7}
walk="$PWD/$build/bench/bench_walk"
# The first listing after the network came up finds its browse masters slowly.
elapsed "$walk" >/dev/null
for _ in $(seq "$runs"); do elapsed "$walk"; done | median >"$state/up"
bash "$network" link "$state" BETA down
bash "$network" link "$state" EPSILON down
for _ in $(seq "$runs"); do elapsed "$walk"; done | median >"$state/down"
bash "$network" link "$state" BETA up
bash "$network" link "$state" EPSILON up
up=$(cat "$state/up")
down=$(cat "$state/down")
echo "refresh, every server up: ${up} ms; two servers down: ${down} ms;" \
    "difference $((down - up)) ms (aim: at most one time-out, 750 ms)"

for _ in $(seq "$runs"); do elapsed "$PWD/$build/bench/bench_resolve" DELTA; done | median >"$state/ours"
for _ in $(seq "$runs"); do elapsed nmblookup DELTA; done | median >"$state/nmblookup"
ours=$(cat "$state/ours")
theirs=$(cat "$state/nmblookup")
echo "resolving DELTA: ours ${ours} ms; nmblookup ${theirs} ms; ratio $(ratio "$ours" "$theirs")" \
    "(aim: at most 1.00; both timed as whole processes)"
