#!/usr/bin/env bash
# The Debian package as a user meets it: validated (desktop-file-validate,
# appstreamcli, lintian), installed with apt-get (which must pull every
# dependency it declares), run by an unprivileged user on a virtual display,
# Alt+I, the report found in that user's documents folder byte for byte (and
# beside a copy the user keeps in a folder of their own), then removed, with
# nothing of it left behind.
# usage: debian_package.sh PACKAGE.deb STATE_DIR   (as root)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
package=$(realpath "$1")
STATE=$(realpath -m "$2")
user=vxm-usuario
. "$here/desktop_session.sh"

if [ "${3:-}" = inside ]; then
    start_display
    trap stop_display EXIT
    home=$(getent passwd "$user" | cut -d: -f6)
    runuser -u "$user" -- env -i HOME="$home" PATH="$STATE/bin:/usr/bin:/bin" DISPLAY="$DISPLAY" \
        LANG=C.UTF-8 QT_QPA_PLATFORM=xcb /usr/bin/vexormoralto >"$STATE/program.log" 2>&1 &
    app=$!
    print_report
    report="$home/Documentos/IP.txt"
    for _ in $(seq 100); do [ -s "$home/opened.txt" ] && break; sleep 0.1; done
    cmp <(expected_report) "$report" || {
        od -c "$report" | head -20 >&2
        fail "the report in the documents folder differs"
    }
    [ "$(cat "$home/opened.txt")" = "$report" ] ||
        fail "the editor was asked to open '$(cat "$home/opened.txt" 2>/dev/null)'"
    [ ! -e /usr/bin/IP.txt ] || fail "a report was written beside the installed program"
    close_program() {
        xdotool windowactivate --sync "$REPORT_WINDOW" 2>/dev/null || true
        xdotool key alt+F4
        for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
        wait "$app" || fail "the program ended with status $?"
    }
    close_program

    # A copy in a folder of the user's own keeps its report beside itself.
    copy="$home/ferramentas/vexormoralto"
    runuser -u "$user" -- sh -c 'mkdir -p "$(dirname "$1")" && cp /usr/bin/vexormoralto "$1"' sh "$copy"
    runuser -u "$user" -- env -i HOME="$home" PATH="$STATE/bin:/usr/bin:/bin" DISPLAY="$DISPLAY" \
        LANG=C.UTF-8 QT_QPA_PLATFORM=xcb "$copy" >"$STATE/copy.log" 2>&1 &
    app=$!
    print_report
    for _ in $(seq 100); do [ "$(wc -l <"$home/opened.txt")" -ge 2 ] && break; sleep 0.1; done
    cmp <(expected_report) "$home/ferramentas/IP.txt" || fail "the copy's report differs"
    [ "$(tail -n 1 "$home/opened.txt")" = "$home/ferramentas/IP.txt" ] ||
        fail "the editor was asked to open '$(tail -n 1 "$home/opened.txt")'"
    close_program
    exit 0
fi

rm -rf "$STATE"
mkdir -p "$STATE/contents" "$STATE/bin"
chmod 755 "$STATE" "$STATE/bin"

# The validators, over the package's own files.
dpkg-deb -x "$package" "$STATE/contents"
desktop-file-validate "$STATE"/contents/usr/share/applications/*.desktop ||
    fail "desktop-file-validate"
appstreamcli validate --no-net "$STATE"/contents/usr/share/metainfo/*.metainfo.xml ||
    fail "appstreamcli validate"
lintian --fail-on error "$package" 2>/dev/null || fail "lintian reports errors"
echo "validators: desktop entry, AppStream metadata and lintian clean"

installed_files=$(dpkg-deb -c "$package" | awk '$1 !~ /^d/ {sub(/^\./, "", $6); print $6}')
apt-get install -y -q "$package" >"$STATE/apt-install.log" 2>&1 ||
    fail "apt-get install: $(tail -5 "$STATE/apt-install.log")"
for file in $installed_files; do
    [ -e "$file" ] || fail "$file was not installed"
done

# An ordinary user, whose documents folder the desktop names in Portuguese.
created_user=
if ! id "$user" >/dev/null 2>&1; then
    useradd -m -s /bin/sh "$user"
    created_user=yes
fi
home=$(getent passwd "$user" | cut -d: -f6)
runuser -u "$user" -- sh -c 'mkdir -p "$HOME/.config" "$HOME/Documentos" &&
    rm -rf "$HOME/Documentos/IP.txt" "$HOME/opened.txt" "$HOME/ferramentas" &&
    printf "XDG_DOCUMENTS_DIR=\"\$HOME/Documentos\"\n" >"$HOME/.config/user-dirs.dirs"'
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"$HOME/opened.txt"\n' >"$STATE/bin/xdg-open"
chmod 755 "$STATE/bin/xdg-open"

status=0
run_on_test_machine bash "$here/debian_package.sh" "$package" "$STATE" inside || status=$?
[ -n "$created_user" ] && userdel -r "$user" 2>/dev/null
[ "$status" -eq 0 ] || fail "the installed program did not give the expected report"
echo "installed program: the report is in the user's documents folder; a copy of the user's keeps it beside itself"

apt-get remove --purge -y -q vexormoralto >"$STATE/apt-remove.log" 2>&1 ||
    fail "apt-get remove: $(tail -5 "$STATE/apt-remove.log")"
for file in $installed_files /usr/share/doc/vexormoralto; do
    [ ! -e "$file" ] || fail "$file is still there after the package was removed"
done
dpkg -s vexormoralto >/dev/null 2>&1 && fail "dpkg still knows the package"
echo "removed: nothing of the package is left"
