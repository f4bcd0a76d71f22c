#!/usr/bin/env bash
# The report without a window, as the client of the modern network with a
# hostile peer on it: a machine that announces 200 computers of its own through
# WS-Discovery and accepts TCP on 139 and 445 without ever answering. The run
# must end within its bound, list every honest machine with its address, and
# never connect to 139 or 445 of any machine it lists.
# usage: hostile_peer.sh STATE_DIR PROGRAM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$1
program=$2
network=$here/modern_network.sh
if [ -f "$state.skip" ]; then
    cat "$state.skip"
    exit 77
fi
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$state/hostile-peer
rm -rf "$work"
mkdir -p "$work"
trap 'bash "$network" tarpit-stop "$state"' EXIT
bash "$network" tarpit-start "$state"

started=$(date +%s%N)
bash "$network" client "$state" "$program" --relatorio >"$work/report.txt" 2>"$work/errors.txt" ||
    fail "--relatorio ended with status $?: $(cat "$work/errors.txt")"
took=$((($(date +%s%N) - started) / 1000000))
[ "$took" -le 3000 ] || fail "the report took $took ms with the hostile peer, more than 3000 ms"

# Every honest machine, with its address, stands as it does without the peer.
bash "$network" expected-report "$state" | sed -n '/^- .*\.[0-9]*\r$/p' | tail -n +2 >"$work/honest.txt"
while IFS= read -r line; do
    grep -qxF -- "$line" "$work/report.txt" || fail "missing from the report: $line"
done <"$work/honest.txt"
peer=$(tr -d '\r' <"$work/report.txt" | grep -c '^- ARMADILHA-[0-9]\{3\} *10\.211\.74\.30$' || true)
[ "$peer" -eq 200 ] || fail "the peer's 200 machines were listed $peer times"
[ ! -s "$state/tarpit/accepts.log" ] ||
    fail "connections reached 139/445: $(head -n 5 "$state/tarpit/accepts.log")"
echo "hostile peer: report in $took ms, ${peer} of its names listed, no connection to 139/445"
