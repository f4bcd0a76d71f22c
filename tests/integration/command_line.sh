#!/usr/bin/env bash
# The report without a window, as the client of a test network: the text report
# on standard output must be the bytes the window's IP.txt would hold, the CSV
# must list the same machines, and a wrong option must exit 2.
# usage: command_line.sh STATE_DIR PROGRAM NETWORK_SCRIPT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$1
program=$2
network=$here/$3
if [ -f "$state.skip" ]; then
    cat "$state.skip"
    exit 77
fi
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$state/command-line
rm -rf "$work"
mkdir -p "$work"
bash "$network" expected-report "$state" >"$work/expected.txt"
started=$(date +%s%N)
bash "$network" client "$state" "$program" --relatorio >"$work/report.txt" 2>"$work/errors.txt" ||
    fail "--relatorio ended with status $?: $(cat "$work/errors.txt")"
took=$((($(date +%s%N) - started) / 1000000))
cmp "$work/expected.txt" "$work/report.txt" || fail "the report on standard output differs from IP.txt's"
# Firewalled machines cost nothing: the whole run stays within the refresh's bound
# (more time is allowed to a build with sanitizers).
limit=${VEXOR_REFRESH_LIMIT_MS:-1500}
[ "$took" -le "$limit" ] || fail "the report took $took ms, more than $limit ms"
echo "command line: the report in $took ms"

# Where no mDNS daemon answers on the system bus, the program asks the network
# itself and lists the very same machines.
bash "$network" client "$state" env DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/bus \
    "$program" --relatorio >"$work/no-daemon.txt" 2>"$work/no-daemon-errors.txt" ||
    fail "--relatorio without a system bus ended with status $?"
cmp "$work/expected.txt" "$work/no-daemon.txt" ||
    fail "without avahi-daemon the report differs: $(diff "$work/expected.txt" "$work/no-daemon.txt")"
[ ! -s "$work/errors.txt" ] || fail "messages on standard error: $(cat "$work/errors.txt")"

# Standard output carries the report and nothing else, also for a user whose
# home cannot be expanded (a service account): the SMB library's messages go
# to standard error. "-" and /dev/stdout on a pipe give the same bytes.
chmod 0777 "$work"
for target in - /dev/stdout; do
    bash "$network" client "$state" setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env HOME=/nonexistent sh -c "'$program' --relatorio $target | cat" \
        >"$work/nobody.txt" 2>"$work/nobody-errors.txt" ||
        fail "--relatorio $target as nobody ended with status $?: $(cat "$work/nobody-errors.txt")"
    cmp "$work/expected.txt" "$work/nobody.txt" ||
        fail "--relatorio $target as nobody: standard output is not the report: $(diff "$work/expected.txt" "$work/nobody.txt")"
done

bash "$network" client "$state" "$program" --relatorio "$work/rede.csv" --formato csv ||
    fail "--formato csv ended with status $?"
# Each "- NAME  ADDRESS" line of the text report is one "rede,NAME,ADDRESS" line.
sed -n '/^Rede:\r$/,$ s/^- \([^ ]*\) *\([0-9.]*\)\r$/rede,\1,\2\r/p' "$work/expected.txt" \
    >"$work/expected-network.csv"
grep '^rede,' "$work/rede.csv" >"$work/network.csv" || true
cmp "$work/expected-network.csv" "$work/network.csv" || fail "the CSV lists other machines than the report"
head -n 1 "$work/rede.csv" | cmp - <(printf 'origem,nome,endereco\r\n') || fail "the CSV header"

status=0
"$program" --opcao-que-nao-existe >/dev/null 2>"$work/usage.txt" || status=$?
[ "$status" -eq 2 ] || fail "an unknown option ended with status $status, not 2"
grep -q '^Uso: vexormoralto' "$work/usage.txt" || fail "no usage on standard error"
echo "command line: report, CSV and usage as expected"
