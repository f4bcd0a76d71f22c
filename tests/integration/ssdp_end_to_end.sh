#!/usr/bin/env bash
# The report without a window, as the unprivileged client of the SSDP network
# (ssdp_network.sh): every device is listed once under its friendlyName with
# its address, the hostile peer's text reaches the report only cleaned, the run
# ends within 3 s in under 200 MB, descriptions are fetched only from the
# hostile peer itself and at most 8 of them, and neither the other host nor
# the client's own loopback is ever connected to.
# usage: ssdp_end_to_end.sh STATE_DIR PROGRAM
#        ssdp_end_to_end.sh STATE_DIR PROGRAM.exe windows WINE_PREFIX_TO_COPY
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$1
program=$2
mode=${3:-linux}
network=$here/ssdp_network.sh
if [ -f "$state.skip" ]; then
    cat "$state.skip"
    exit 77
fi
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$state/end-to-end-$mode
rm -rf "$work"
mkdir -p "$work"
chmod 755 "$work"
requests_before=$(grep -c '^request' "$state/HOSTIL/peer.log" || true)
other_before=$(grep -c connection "$state/OUTRO/peer.log" || true)
loopback_before=$(grep -c connection "$state/CLIENTE/loopback.log" || true)

started=$(date +%s%N)
if [ "$mode" = windows ]; then
    wine=/usr/lib/wine/wine64
    wineserver=/usr/lib/wine/wineserver64
    mkdir -p "$work/app"
    cp "$program" "$work/app/vexormoralto.exe"
    # A prefix of its own, so that its wineserver starts inside the client's
    # namespaces: Wine's sockets live in the wineserver's network namespace.
    cp -a "$4" "$work/prefix"
    # The prefix's server and one process are started first, so that the time
    # measured is the program's own run.
    bash "$network" client "$state" env WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all \
        HOME="$work" WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
        sh -c "$wineserver -p; $wine cmd /c exit >/dev/null 2>&1; cd $work/app && \
               started=\$(date +%s%N); \
               timeout -k 5 60 $wine vexormoralto.exe --relatorio >$work/report-ansi.txt 2>$work/errors.txt; \
               status=\$?; echo \$(( (\$(date +%s%N) - started) / 1000000 )) >$work/measured; \
               $wineserver -k; exit \$status" ||
        fail "--relatorio under Wine ended with status $?: $(cat "$work/errors.txt")"
    # The report is in the ANSI code page, Windows-1252 under Wine's default locale.
    iconv -f WINDOWS-1252 -t UTF-8 "$work/report-ansi.txt" >"$work/report.txt"
    # The program's run under Wine, which starts slower than on Linux.
    limit=${VEXOR_WINDOWS_LIMIT_MS:-5000}
else
    mkdir -p "$work/home"
    chown nobody:nogroup "$work/home"
    # The report's time and peak memory are read by a parent that waits for
    # it; the program itself runs as nobody, with no capability.
    bash "$network" client "$state" python3 -c '
import resource, subprocess, sys, time
started = time.monotonic()
status = subprocess.run(sys.argv[2:]).returncode
took = int((time.monotonic() - started) * 1000)
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
open(sys.argv[1], "w").write("%d %d\n" % (took, peak))
sys.exit(status)' "$work/measured" setpriv --reuid=nobody --regid=nogroup --clear-groups \
        --inh-caps=-all -- env HOME="$work/home" "$program" --relatorio \
        >"$work/report.txt" 2>"$work/errors.txt" ||
        fail "--relatorio ended with status $?: $(cat "$work/errors.txt")"
    limit=${VEXOR_HOSTILE_LIMIT_MS:-3000}
fi
took=$((($(date +%s%N) - started) / 1000000))
if [ -f "$work/measured" ]; then
    read -r took peak <"$work/measured"
fi
[ "$took" -le "$limit" ] || fail "the report took $took ms, more than $limit ms"
if [ -n "${peak:-}" ]; then
    peak_limit=${VEXOR_HOSTILE_PEAK_MB:-200}
    [ "$peak" -le $((peak_limit * 1024)) ] || fail "the report peaked at $peak KB, more than $peak_limit MB"
fi

# A report line: the name filled to 20 columns, or followed by one blank when
# it is longer, then the address.
line_of() {
    if [ "$(printf '%s' "$1" | LC_ALL=C.UTF-8 wc -m)" -gt 20 ]; then
        printf -- '- %s %s' "$1" "$2"
    else
        printf -- '- %s%*s%s' "$1" $((20 - $(printf '%s' "$1" | LC_ALL=C.UTF-8 wc -m))) '' "$2"
    fi
}

# Each device once, under its friendlyName, with its address.
while IFS=$'\t' read -r name address; do
    count=$(tr -d '\r' <"$work/report.txt" | grep -cxF -- "$(line_of "$name" "$address")" || true)
    [ "$count" -eq 1 ] || {
        cat "$work/report.txt" >&2
        fail "'$name' at $address is listed $count times, not once"
    }
done < <(bash "$network" devices)
# No name from a nested device, from past the eighth description, or from a
# description that was cut.
for never in ARMADILHA Dispositivo Aninhado Gigante WANDevice; do
    ! grep -q "$never" "$work/report.txt" || fail "a name that no fetch may give: $(grep "$never" "$work/report.txt")"
done
# No control or bidirectional character but the lines' own CR LF.
! LC_ALL=C grep -aqP '[\x00-\x09\x0b\x0c\x0e-\x1f\x7f]|\xc2[\x80-\x9f]|\xe2\x80[\x8b-\x8f\xaa-\xae]|\xe2\x81[\xa0-\xa9]|\xef\xbb\xbf' \
    "$work/report.txt" || fail "control or bidirectional characters in the report"

# The hostile peer's descriptions: at most 8 per refresh, only its first 8.
sleep 0.5
requests=$(($(grep -c '^request' "$state/HOSTIL/peer.log" || true) - requests_before))
[ "$requests" -le 8 ] || fail "$requests descriptions were fetched from the hostile peer, more than 8"
if tail -n +1 "$state/HOSTIL/peer.log" | grep '^request' | tail -n "$requests" |
    grep -qv 'GET /d[0-7]\.xml HTTP/1\.1 from '; then
    fail "the hostile peer was asked for more than its first 8 descriptions"
fi
other=$(($(grep -c connection "$state/OUTRO/peer.log" || true) - other_before))
loopback=$(($(grep -c connection "$state/CLIENTE/loopback.log" || true) - loopback_before))
[ "$other" -eq 0 ] || fail "the other host was connected to: $(tail -n 3 "$state/OUTRO/peer.log")"
[ "$loopback" -eq 0 ] || fail "the client's loopback was connected to: $(tail -n 3 "$state/CLIENTE/loopback.log")"
echo "SSDP end to end ($mode): every device once under its friendlyName, in $took ms" \
    "${peak:+at $((peak / 1024)) MB, }$requests descriptions from the hostile peer, none elsewhere"
