#!/usr/bin/env bash
# Drives the built program as a user would, as the client of the Samba network:
# start it on a virtual display, press F5, wait for the list, press Alt+I, close
# the notice, compare IP.txt byte for byte with the report the network expects,
# check that the text editor was asked to open it, then close the window with
# Alt+F4.
# usage: end_to_end.sh STATE_DIR PROGRAM [NETWORK_SCRIPT]   (samba_network.sh unless told)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$1
program=$2
network=$here/${3:-samba_network.sh}

if [ "${4:-}" != inside ]; then
    if [ -f "$state.skip" ]; then
        cat "$state.skip"
        exit 77
    fi
    work=$state/e2e
    rm -rf "$work"
    mkdir -p "$work/app" "$work/bin"
    cp "$program" "$work/app/vexormoralto"
    # The desktop opener is replaced by a stub that records what it was asked.
    printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s/opened.txt"\n' "$work" >"$work/bin/xdg-open"
    chmod +x "$work/bin/xdg-open"
    bash "$network" expected-report "$state" >"$work/expected.txt"
    exec bash "$network" client "$state" bash "$here/end_to_end.sh" "$state" \
        "$work/app/vexormoralto" "$(basename "$network")" inside
fi

work=$state/e2e
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
display=71
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
display=:$display
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
cleanup() { kill "${app:-}" "${wm:-}" "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
icewm >/dev/null 2>&1 &
wm=$!
sleep 1

PATH="$work/bin:$PATH" QT_QPA_PLATFORM=xcb "$program" >"$work/program.log" 2>&1 &
app=$!
window=$(timeout 30 xdotool search --sync --name '^Vexor Moralto - v2\.5$' | head -n 1) ||
    fail "the window did not appear"
xdotool windowactivate --sync "$window"
# The refresh blocks the window, and a key typed meanwhile is dropped when it
# ends (it must not start what the user no longer sees coming): Alt+I is
# pressed until its notice appears, and prints the list the refresh has made.
xdotool key F5
notice=""
for _ in $(seq 60); do
    sleep 1
    xdotool key alt+i
    notice=$(timeout 3 xdotool search --sync --name '^Arquivo de IP$' | head -n 1) || true
    [ -z "$notice" ] || break
done
[ -n "$notice" ] || fail "the notice box did not appear"
xdotool windowactivate --sync "$notice" && xdotool key Return
for _ in $(seq 100); do [ -s "$work/opened.txt" ] && break; sleep 0.1; done

cmp "$work/expected.txt" "$work/app/IP.txt" || {
    od -c "$work/app/IP.txt" | head -40 >&2
    fail "IP.txt differs from the expected report"
}
[ "$(cat "$work/opened.txt")" = "$work/app/IP.txt" ] ||
    fail "the editor was asked to open '$(cat "$work/opened.txt" 2>/dev/null)'"

xdotool windowactivate --sync "$window" && xdotool key alt+F4
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "Alt+F4 did not close the window"
wait "$app" || fail "the program ended with status $?"
echo "end to end: report, editor and close as expected"
