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

ctest --test-dir build-windows --output-on-failure --output-junit "$PWD/build-windows/ctest-junit.xml"
python3 scripts/ledger.py ctest windows build-windows build-windows/ctest-junit.xml

# Each script below runs the real program under Wine and records in CI's ledger
# whether it ran (77: it could not, for want of namespaces); the first failure
# is this script's status, after every script has had its turn.
status=0
wine_layer() {
    local layer=$1 what=$2 outcome=0
    shift 2
    "$@" || outcome=$?
    case "$outcome" in
    0) python3 scripts/ledger.py record "windows:$layer" ran "$what" ;;
    77) python3 scripts/ledger.py record "windows:$layer" skipped "$what: no network namespaces here" ;;
    *)
        python3 scripts/ledger.py record "windows:$layer" failed "$what: exit status $outcome"
        [ "$status" -ne 0 ] || status=$outcome
        ;;
    esac
}

wine_layer console "the program's text on a console from a UTF-8 terminal, and redirected" \
    bash tests/integration/windows_console.sh "$PWD/build-windows/src/vexormoralto.exe"

# The real program under Wine as the client of the modern test network, where
# every machine comes from WS-Discovery (needs root for the namespaces).
modern=$PWD/build-windows/modern-network
network=tests/integration/modern_network.sh
# shellcheck disable=SC2086
ensure_packages $TEST_PACKAGES xdotool
trap 'bash "$network" down "$modern" >/dev/null 2>&1 || true; cleanup' EXIT
bash "$network" up "$modern"
wine_layer end-to-end "the program under Wine on the modern test network" \
    bash tests/integration/windows_end_to_end.sh "$modern" "$PWD/build-windows/src/vexormoralto.exe" \
    "$WINEPREFIX"
bash "$network" down "$modern" >/dev/null 2>&1 || true

# The same program as an unprivileged client of the silent network, where most
# machines announce nothing and only the sweep finds them.
silent=$PWD/build-windows/silent-network
trap 'bash tests/integration/silent_network.sh down "$silent" >/dev/null 2>&1 || true; cleanup' EXIT
bash tests/integration/silent_network.sh up "$silent"
wine_layer silent-network "the program under Wine, unprivileged, on the silent network" \
    bash tests/integration/silent_end_to_end.sh "$silent" "$PWD/build-windows/src/vexormoralto.exe" \
    "$WINEPREFIX"
bash tests/integration/silent_network.sh down "$silent" >/dev/null 2>&1 || true

# The same program on the network of SSDP/UPnP devices and a hostile peer.
ssdp=$PWD/build-windows/ssdp-network
ssdp_network=tests/integration/ssdp_network.sh
trap 'bash "$ssdp_network" down "$ssdp" >/dev/null 2>&1 || true; cleanup' EXIT
bash "$ssdp_network" up "$ssdp"
wine_layer ssdp "the program under Wine on the network of SSDP devices and a hostile peer" \
    bash tests/integration/ssdp_end_to_end.sh "$ssdp" "$PWD/build-windows/src/vexormoralto.exe" windows \
    "$WINEPREFIX"
bash "$ssdp_network" down "$ssdp" >/dev/null 2>&1 || true

# An accented NetBIOS name against nmbd, under a Portuguese locale.
wine_layer oem-names "an accented NetBIOS name against nmbd under a Portuguese locale" \
    bash tests/integration/oem_names.sh "$PWD/build-windows/oem-names" - \
    "$PWD/build-windows/tests/oem_name_check.exe" "$WINEPREFIX"
exit "$status"
