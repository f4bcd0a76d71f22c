#!/usr/bin/env bash
# On the test Samba network (tests/integration/samba_network.sh): the time of our
# walk plus lookups against smbtree listing the same servers, as a ratio. Needs
# root for the network namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $TEST_PACKAGES samba smbclient winbind libnss-winbind

build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target bench_walk

network=tests/integration/samba_network.sh
state=$(mktemp -d /tmp/vexor-bench-samba.XXXXXX)
trap 'bash "$network" down "$state" >/dev/null 2>&1 || true; rm -rf "$state" "$state.skip"' EXIT
bash "$network" up "$state"
if [ -f "$state.skip" ]; then
    exit 0
fi

elapsed() { # command... -> milliseconds
    local start end
    start=$(date +%s%N)
    bash "$network" client "$state" "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

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
    "ratio $(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }') (aim: at most 1.00)"
