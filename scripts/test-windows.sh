#!/usr/bin/env bash
# The Windows build: cross-builds the program and its tests with MinGW-w64, runs
# every test under wine64 (window tests on a virtual display), and checks that
# the 32-bit program compiles.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
# shellcheck disable=SC2086
ensure_packages $WINDOWS_PACKAGES

cmake --preset windows >/dev/null
cmake --build --preset windows --parallel "$(nproc)"
# The release program: stripped, under 1 MiB, and needing only system DLLs.
program=build-windows/src/vexormoralto.exe
size=$(stat -c %s "$program")
[ "$size" -lt 1048576 ] || { echo "FAIL: $program is $size bytes, not under 1 MiB" >&2; exit 1; }
if x86_64-w64-mingw32-objdump -h "$program" | grep -q '\.debug'; then
    echo "FAIL: $program is not stripped" >&2
    exit 1
fi
system_dlls='^(gdi32|iphlpapi|kernel32|mpr|msvcrt|ole32|shell32|shlwapi|user32|winhttp|ws2_32|wsock32|xmllite)\.dll$'
foreign=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' |
    grep -Ev "$system_dlls" || true)
[ -z "$foreign" ] || { echo "FAIL: $program needs DLLs beyond the system's: $foreign" >&2; exit 1; }
echo "release program: $size bytes, stripped, system DLLs only"

cmake --preset windows-i686 >/dev/null
cmake --build --preset windows-i686 --parallel "$(nproc)"
echo "32-bit program compiled: build-windows-i686/src/vexormoralto.exe"

# A private, quiet Wine prefix of its own, with Wine's fonts where Wine 8 looks.
export WINEPREFIX="$PWD/build-windows/wine-prefix"
export HOME="$PWD/build-windows/wine-home"
export WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
mkdir -p "$HOME"

display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display"
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot --init >/dev/null 2>&1
    "$wineserver" -w
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
# Wine's helper processes hold CTest's output pipe open for seconds after each
# test unless one server and one process stay up for the whole run.
"$wineserver" -p
"$wine" cmd /c exit >/dev/null 2>&1 || true

ctest --test-dir build-windows --output-on-failure

# The real program under Wine as the client of the modern test network, where
# every machine comes from WS-Discovery (needs root for the namespaces).
modern=$PWD/build-windows/modern-network
network=tests/integration/modern_network.sh
# shellcheck disable=SC2086
ensure_packages $TEST_PACKAGES xdotool
trap 'bash "$network" down "$modern" >/dev/null 2>&1 || true; cleanup' EXIT
bash "$network" up "$modern"
status=0
bash tests/integration/windows_end_to_end.sh "$modern" "$PWD/build-windows/src/vexormoralto.exe" \
    "$WINEPREFIX" || status=$?
[ "$status" -eq 77 ] && status=0
bash "$network" down "$modern" >/dev/null 2>&1 || true

# The same program on the network of SSDP/UPnP devices and a hostile peer.
ssdp=$PWD/build-windows/ssdp-network
ssdp_network=tests/integration/ssdp_network.sh
trap 'bash "$ssdp_network" down "$ssdp" >/dev/null 2>&1 || true; cleanup' EXIT
bash "$ssdp_network" up "$ssdp"
ssdp_status=0
bash tests/integration/ssdp_end_to_end.sh "$ssdp" "$PWD/build-windows/src/vexormoralto.exe" windows \
    "$WINEPREFIX" || ssdp_status=$?
[ "$ssdp_status" -eq 77 ] && ssdp_status=0
bash "$ssdp_network" down "$ssdp" >/dev/null 2>&1 || true
[ "$status" -eq 0 ] && status=$ssdp_status

# An accented NetBIOS name against nmbd, under a Portuguese locale.
oem=0
bash tests/integration/oem_names.sh "$PWD/build-windows/oem-names" - \
    "$PWD/build-windows/tests/oem_name_check.exe" "$WINEPREFIX" || oem=$?
[ "$oem" -eq 77 ] && oem=0
[ "$status" -eq 0 ] && status=$oem
exit "$status"
