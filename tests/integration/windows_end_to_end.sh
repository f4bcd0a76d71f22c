#!/usr/bin/env bash
# Drives the Windows program under wine64 as the client of the modern network:
# F5, Alt+I, the notice closed, then IP.txt compared byte for byte. The client's
# hosts file names only itself, and Wine has no network provider, so every
# machine and its address can only come from WS-Discovery and the program's own
# DNS-SD queries.
# usage: windows_end_to_end.sh STATE_DIR PROGRAM.exe WINE_PREFIX_TO_COPY
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$1
program=$2
prefix=$3
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

if [ "${4:-}" != inside ] && [ "${4:-}" != hostile ]; then
    if [ -f "$state.skip" ]; then
        cat "$state.skip"
        exit 77
    fi
    work=$state/windows-e2e
    rm -rf "$work"
    mkdir -p "$work/app"
    cp "$program" "$work/app/vexormoralto.exe"
    # A prefix of its own, so that its wineserver starts inside the client's
    # namespaces: Wine's sockets live in the wineserver's network namespace.
    cp -a "$prefix" "$work/prefix"
    {
        printf 'Local: CLIENTE\r\n\r\n- 10.211.74.100\r\n\r\nRede:\r\n\r\n'
        for host in "APOLO 11" "zeus 14" "ATENA 12" "DEMETER 15" "HERMES 13" "estacao 22" \
            "macbook 23" "nas-sala 21"; do
            set -- $host
            printf -- '- %-20s10.211.74.%s\r\n' "$1" "$2"
        done
    } >"$work/expected.txt"
    bash "$here/modern_network.sh" client "$state" bash "$here/windows_end_to_end.sh" \
        "$state" "$work/app/vexormoralto.exe" "$work/prefix" inside
    # Again with the hostile peer on the network: 200 names of its own at one
    # address (one line), and 139/445 that accept and never answer.
    trap 'bash "$here/modern_network.sh" tarpit-stop "$state"' EXIT
    bash "$here/modern_network.sh" tarpit-start "$state"
    bash "$here/modern_network.sh" client "$state" bash "$here/windows_end_to_end.sh" \
        "$state" "$work/app/vexormoralto.exe" "$work/prefix" hostile
    [ ! -s "$state/tarpit/accepts.log" ] ||
        { echo "FAIL: connections reached 139/445: $(head -n 3 "$state/tarpit/accepts.log")" >&2; exit 1; }
    echo "Windows with the hostile peer: no connection to 139/445"
    exit 0
fi

work=$state/windows-e2e
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all HOME=$work
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ "$4" = hostile ]; then
    "$wineserver" -p 2>/dev/null || true
    started=$(date +%s%N)
    (cd "$work/app" && timeout -k 5 60 "$wine" vexormoralto.exe --relatorio >"$work/hostile.txt" 2>"$work/hostile.err") ||
        fail "--relatorio with the hostile peer ended with status $?: $(cat "$work/hostile.err")"
    took=$((($(date +%s%N) - started) / 1000000))
    "$wineserver" -k 2>/dev/null || true
    # Wine's own start is counted too.
    [ "$took" -le 8000 ] || fail "the report took $took ms with the hostile peer"
    sed -n '/^- /p' "$work/expected.txt" | tail -n +2 | while IFS= read -r line; do
        grep -qxF -- "$line" "$work/hostile.txt" || fail "missing with the hostile peer: $line"
    done
    # Machines merge by the address they were found at: the peer's 200 names,
    # all at its one address, are one line.
    peer=$(tr -d '\r' <"$work/hostile.txt" | grep -c '^- ARMADILHA-[0-9]\{3\} *10\.211\.74\.30$' || true)
    [ "$peer" -eq 1 ] || fail "the peer's 200 names at one address were listed on $peer lines, not one"
    echo "Windows command line with the hostile peer: $took ms, every honest machine listed"
    exit 0
fi

display=81
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$display
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

(cd "$work/app" && "$wine" vexormoralto.exe >"$work/program.log" 2>&1) &
# Only a window that is on screen can take the focus.
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Vexor Moralto - v2\.5$' | head -n 1) ||
    fail "the window did not appear"
for _ in $(seq 20); do
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window" 2>/dev/null &&
        break
    sleep 0.2
done
# A key typed while the refresh runs is dropped when it ends: Alt+I is pressed
# until its notice appears.
xdotool key F5
notice=""
for _ in $(seq 60); do
    sleep 1
    xdotool key alt+i
    notice=$(timeout 3 xdotool search --sync --onlyvisible --name "^Arquivo de IP$" | head -n 1) || true
    [ -z "$notice" ] || break
done
[ -n "$notice" ] || fail "the notice box did not appear"
sleep 0.3
xdotool windowfocus "$notice" 2>/dev/null || true
xdotool key Return
# The report is written once the notice is closed.
for _ in $(seq 100); do [ -s "$work/app/IP.txt" ] && break; sleep 0.1; done
cmp "$work/expected.txt" "$work/app/IP.txt" || {
    od -c "$work/app/IP.txt" | head -40 >&2
    fail "IP.txt differs from the expected report"
}
echo "Windows end to end: every WS-Discovery and DNS-SD machine once, in order, with its address"

# The same report without a window, its output redirected to a file.
(cd "$work/app" && timeout -k 5 60 "$wine" vexormoralto.exe --relatorio >"$work/command-line.txt" 2>"$work/command-line.err") ||
    fail "--relatorio ended with status $?: $(cat "$work/command-line.err")"
cmp "$work/expected.txt" "$work/command-line.txt" || fail "the report on standard output differs"
echo "Windows command line: the report on standard output is IP.txt's bytes"
