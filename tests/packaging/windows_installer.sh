#!/usr/bin/env bash
# The Windows installer under wine64: a silent install, the installed program
# run with its folder read-only, Alt+I, the report found in the Documents
# folder byte for byte; the program at the root of drive C: writing C:\IP.txt;
# then a silent uninstall that leaves nothing behind.
# usage: windows_installer.sh INSTALLER.exe WINE_PREFIX_TO_COPY STATE_DIR   (as root)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
installer=$(realpath "$1")
STATE=$(realpath -m "$3")
. "$here/desktop_session.sh"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

if [ "${4:-}" != inside ]; then
    rm -rf "$STATE"
    mkdir -p "$STATE/home"
    # A prefix of its own, so that its wineserver starts inside the namespace.
    cp -a "$2" "$STATE/prefix"
    run_on_test_machine bash "$here/windows_installer.sh" "$installer" "$2" "$STATE" inside
    exit
fi

export WINEPREFIX=$STATE/prefix WINEARCH=win64 WINEDEBUG=-all HOME=$STATE/home
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
drive=$WINEPREFIX/drive_c
folder="$drive/Program Files/Vexor Moralto"
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Vexor Moralto.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VexorMoralto'
start_display no-wm
trap '"$wineserver" -k 2>/dev/null || true; stop_display' EXIT

timeout -k 5 120 "$wine" "$installer" /S || fail "the silent install ended with status $?"
"$wineserver" -w
[ -f "$folder/vexormoralto.exe" ] || fail "the program is not in Program Files"
[ -f "$shortcut" ] || fail "there is no Start-menu shortcut"
timeout -k 5 60 "$wine" reg query "$key" /v UninstallString >"$STATE/uninstall-entry.txt" 2>&1 ||
    fail "the uninstaller is not in Add/Remove Programs"
grep -q 'Desinstalar.exe' "$STATE/uninstall-entry.txt" || fail "the uninstall entry names no uninstaller"
[ "$(ls "$folder" | sort | tr '\n' ' ')" = "Desinstalar.exe vexormoralto.exe " ] ||
    fail "Program Files holds more than the program and its uninstaller: $(ls "$folder")"
echo "silent install: the program, its shortcut and its uninstall entry"

# Installed: its folder cannot be written (a read-only mount stops root too).
# Wine links Documents to the Unix home folder; here it is a folder of its own,
# as on Windows.
documents="$drive/users/$(id -un)/Documents/IP.txt"
rm -f "$(dirname "$documents")"
mkdir -p "$(dirname "$documents")"
mount --bind -o ro "$folder" "$folder"
"$wine" "C:\\Program Files\\Vexor Moralto\\vexormoralto.exe" >"$STATE/installed.log" 2>&1 &
print_report
for _ in $(seq 100); do [ -s "$documents" ] && break; sleep 0.1; done
[ -s "$documents" ] || { import -window root "$STATE/shot.png"; fail "no report in the Documents folder"; }
cmp <(expected_report) "$documents" || {
    od -c "$documents" | head -20 >&2
    fail "the report in the Documents folder differs"
}
[ ! -e "$folder/IP.txt" ] || fail "a report was written into Program Files"
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w 2>/dev/null || true
umount "$folder"
echo "installed program: the report is in the Documents folder, as expected"

# A copy at the root of drive C: writes its report there, as C:\IP.txt.
cp "$folder/vexormoralto.exe" "$drive/vexormoralto.exe"
(cd "$drive" && "$wine" "C:\\vexormoralto.exe" >"$STATE/root.log" 2>&1) &
print_report
for _ in $(seq 100); do [ -s "$drive/IP.txt" ] && break; sleep 0.1; done
cmp <(expected_report) "$drive/IP.txt" || fail "C:\\IP.txt differs"
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w 2>/dev/null || true
rm -f "$drive/vexormoralto.exe" "$drive/IP.txt"
echo "program at the root of C: the report is C:\\IP.txt"

# The uninstaller copies itself away and returns at once; its copy finishes.
timeout -k 5 120 "$wine" "C:\\Program Files\\Vexor Moralto\\Desinstalar.exe" /S ||
    fail "the silent uninstall ended with status $?"
for _ in $(seq 300); do [ ! -e "$folder" ] && break; sleep 0.1; done
"$wineserver" -w
[ ! -e "$folder" ] || fail "Program Files still holds: $(ls "$folder")"
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is still there"
if timeout -k 5 60 "$wine" reg query "$key" >/dev/null 2>&1; then fail "the uninstall entry is still there"; fi
echo "silent uninstall: nothing of the program is left"
