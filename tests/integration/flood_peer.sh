#!/usr/bin/env bash
# The report without a window, run as an unprivileged user, as the client of
# the modern network with a flooding peer on it (flood_peer.py): 300 devices
# of its own through WS-Discovery, some in messages with 60 KB ids, Hellos
# with 60 KB ids, and 400 DNS-SD services in answer to every mDNS query, every
# eighth at an address no host has, one said goodbye to. The run must end
# within 3 s in under 100 MB, list every honest machine (the NAS by DNS-SD,
# the PCs by WS-Discovery) with its address, list the peer's names on its one
# line at most, never an address the peer named for others nor the service it
# said goodbye to, and write nothing but the report on standard output.
# usage: flood_peer.sh STATE_DIR PROGRAM
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
work=$state/flood-peer
rm -rf "$work"
mkdir -p "$work"
chmod 0777 "$work"
trap 'bash "$network" flood-stop "$state"' EXIT
bash "$network" flood-start "$state"

started=$(date +%s%N)
# The report's peak memory is read by a parent that waits for it.
bash "$network" client "$state" python3 -c '
import resource, subprocess, sys
status = subprocess.run(sys.argv[2:]).returncode
open(sys.argv[1], "w").write("%d\n" % resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
sys.exit(status)' "$work/peak-kb" setpriv --reuid=nobody --regid=nogroup --clear-groups \
    --inh-caps=-all env HOME=/nonexistent "$program" --relatorio - \
    >"$work/report.txt" 2>"$work/errors.txt" ||
    fail "--relatorio ended with status $?: $(cat "$work/errors.txt")"
took=$((($(date +%s%N) - started) / 1000000))
limit=${VEXOR_HOSTILE_LIMIT_MS:-3000}
[ "$took" -le "$limit" ] || fail "the report took $took ms with the flooding peer, more than $limit ms"
peak=$(cat "$work/peak-kb")
peak_limit=${VEXOR_HOSTILE_PEAK_MB:-100}
[ "$peak" -le $((peak_limit * 1024)) ] ||
    fail "the report peaked at $peak KB, more than $peak_limit MB"

# Standard output is the report: its header, its sections and its lines.
bad=$(tr -d '\r' <"$work/report.txt" | grep -nvE '^(Local: .*|Rede:|- .*|)$' || true)
[ -z "$bad" ] || fail "standard output holds more than the report: $bad"
# Every honest machine, with its address, stands as it does without the peer.
bash "$network" expected-report "$state" | sed -n '/^- .*\.[0-9]*\r$/p' | tail -n +2 >"$work/honest.txt"
while IFS= read -r line; do
    grep -qxF -- "$line" "$work/report.txt" || fail "missing from the report: $line"
done <"$work/honest.txt"
report=$(tr -d '\r' <"$work/report.txt")
# The peer may be listed, on one line at its own address, or not at all.
peer=$(grep -c ' 10\.211\.74\.31$' <<<"$report" || true)
[ "$peer" -le 1 ] || fail "the peer's names at one address were listed on $peer lines, not one"
! grep -q '10\.211\.99\.' <<<"$report" || fail "an address the peer named for others was listed"
! grep -qi 'adeus' <<<"$report" || fail "the service said goodbye to was listed"
echo "flooding peer: report in $took ms at $((peak / 1024)) MB, every honest machine listed," \
    "the peer on $peer line, no address it named elsewhere, no goodbye"
