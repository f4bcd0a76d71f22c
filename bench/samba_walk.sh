#!/usr/bin/env bash
# On the test Samba network (tests/integration/samba_network.sh): the time of our
# walk plus lookups against smbtree listing the same servers, as a ratio. Needs
# root for the network namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."
TARGETS=bench_walk
. bench/network_bench_lib.sh

echo "Machines our walk finds:"
bash "$network" client "$state" "$PWD/$build/bench/bench_walk" | sed 's/^/  /'
echo "Machines smbtree finds (servers only; with shares it stops at the server that refuses SMB1):"
bash "$network" client "$state" smbtree -U guest% -S 2>/dev/null | sed 's/^/  /'

runs=${BENCH_RUNS:-7}
: >"$state/ours"
: >"$state/smbtree"
for _ in $(seq "$runs"); do
    # Each side starts with the client's cache of resolved names empty.
    bash "$network" client "$state" net cache flush >/dev/null 2>&1 || true
    elapsed "$PWD/$build/bench/bench_walk" >>"$state/ours"
    bash "$network" client "$state" net cache flush >/dev/null 2>&1 || true
    elapsed smbtree -U guest% -S >>"$state/smbtree"
done
ours=$(median <"$state/ours")
theirs=$(median <"$state/smbtree")
echo "walk and lookups: ${ours} ms; smbtree -U guest% -S: ${theirs} ms;" \
    "ratio $(ratio "$ours" "$theirs") (aim: at most 1.00)"
