#!/usr/bin/env bash
# The Windows program's text on a console under Wine: a console started from a
# terminal in a UTF-8 locale shows the Portuguese help with its accents, while
# redirected output keeps the ANSI code page's bytes.
# usage: windows_console.sh PROGRAM.exe   (WINEPREFIX and the other Wine
# variables as scripts/test-windows.sh sets them)
set -euo pipefail
program=$1
wine=/usr/lib/wine/wine64
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
command -v script >/dev/null || { echo "SKIP: no script(1)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A UTF-8 locale of the test's own, so the system's locales stay as they are.
localedef -i pt_BR -f UTF-8 "$work/pt_BR.UTF-8" 2>/dev/null ||
    { echo "SKIP: pt_BR.UTF-8 cannot be made (package locales)"; exit 77; }
export LOCPATH=$work LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8
unset DISPLAY

# On the console: cmd, a console program, gives the program its console.
script -qec "timeout -k 5 60 $wine cmd /c $(printf '%q' "$program") --ajuda" /dev/null >"$work/console.txt" 2>&1 ||
    fail "the help on the console ended with status $?"
grep -q 'Sem opções, abre a janela do programa.' "$work/console.txt" ||
    fail "the console shows the help garbled: $(grep -a 'Sem op' "$work/console.txt" | od -c | head -n 5)"

# Redirected: the same bytes as before, in the ANSI code page (1252 here).
timeout -k 5 60 "$wine" "$program" --ajuda >"$work/redirected.txt" 2>/dev/null ||
    fail "the redirected help ended with status $?"
grep -aq $'Sem op\xe7\xf5es, abre a janela do programa.' "$work/redirected.txt" ||
    fail "redirected output is not in the ANSI code page"

# An unknown option: the usage on standard error and exit status 2.
status=0
timeout -k 5 60 "$wine" "$program" --opcao-que-nao-existe >/dev/null 2>"$work/usage.txt" || status=$?
[ "$status" -eq 2 ] || fail "an unknown option ended with status $status, not 2"
echo "windows console: accents on the console, ANSI bytes when redirected, exit status 2"
