#!/usr/bin/env bash
# The report without a window, run as an unprivileged user, as the client of
# the modern network with a hostile peer on it (tarpit_peer.py): 200 computers
# of its own announced through WS-Discovery, TCP 139 and 445 that accept and
# never answer, an XML path bomb, and addresses at the client's loopback, at
# another host, through user information, at a host name and at a server that
# trickles. The run must end within 3 s in under 100 MB, list every honest
# machine with its address, never connect to 139 or 445 of any machine it
# lists, and never reach the listener waiting on its own loopback. Machines
# merge by the address they were found at, so the peer's 200 names, all at its
# one address, are one line.
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

# A listener on the client's own loopback, where the peer points one device;
# it ends by itself after a few seconds and logs every connection.
bash "$network" client "$state" python3 - "$work/loopback.log" <<'PY' &
import select, socket, sys, time
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", 5357))
server.listen(16)
with open(sys.argv[1], "w", buffering=1) as log:
    log.write("ready\n")
    end = time.monotonic() + 8
    while time.monotonic() < end:
        if select.select([server], [], [], 0.1)[0]:
            log.write("connection from %s\n" % (server.accept()[1],))
PY
listener=$!
for _ in $(seq 50); do grep -qs ready "$work/loopback.log" && break; sleep 0.1; done

started=$(date +%s%N)
# The report's peak memory is read by a parent that waits for it.
bash "$network" client "$state" python3 -c '
import resource, subprocess, sys
status = subprocess.run(sys.argv[2:]).returncode
open(sys.argv[1], "w").write("%d\n" % resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
sys.exit(status)' "$work/peak-kb" setpriv --reuid=nobody --regid=nogroup --clear-groups \
    --inh-caps=-all env HOME=/nonexistent "$program" --relatorio >"$work/report.txt" \
    2>"$work/errors.txt" ||
    fail "--relatorio ended with status $?: $(cat "$work/errors.txt")"
took=$((($(date +%s%N) - started) / 1000000))
limit=${VEXOR_HOSTILE_LIMIT_MS:-3000}
[ "$took" -le "$limit" ] || fail "the report took $took ms with the hostile peer, more than $limit ms"
peak=$(cat "$work/peak-kb")
peak_limit=${VEXOR_HOSTILE_PEAK_MB:-100}
[ "$peak" -le $((peak_limit * 1024)) ] ||
    fail "the report peaked at $peak KB, more than $peak_limit MB"
wait "$listener" || true
[ "$(grep -c connection "$work/loopback.log")" -eq 0 ] ||
    fail "the client's own loopback was contacted: $(grep connection "$work/loopback.log")"

# Every honest machine, with its address, stands as it does without the peer.
bash "$network" expected-report "$state" | sed -n '/^- .*\.[0-9]*\r$/p' | tail -n +2 >"$work/honest.txt"
while IFS= read -r line; do
    grep -qxF -- "$line" "$work/report.txt" || fail "missing from the report: $line"
done <"$work/honest.txt"
# The 200 names the peer announces all stand at its one address: one line.
peer=$(tr -d '\r' <"$work/report.txt" | grep -c '^- ARMADILHA-[0-9]\{3\} *10\.211\.74\.30$' || true)
[ "$peer" -eq 1 ] || fail "the peer's 200 names at one address were listed on $peer lines, not one"
[ ! -s "$state/tarpit/accepts.log" ] ||
    fail "connections reached 139/445: $(head -n 5 "$state/tarpit/accepts.log")"
echo "hostile peer: report in $took ms at $((peak / 1024)) MB, its 200 names on ${peer} line," \
    "no connection to 139/445 nor to the client's loopback"
