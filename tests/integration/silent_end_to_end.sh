#!/usr/bin/env bash
# The report without a window, run by an unprivileged user as the client of the
# silent network (silent_network.sh): every live machine must be listed once,
# by the address it was found at and with the name it has somewhere (its
# announcement, node status, PTR record or mDNS reverse answer, else the
# address itself), within the refresh's deadline; the machine that left must
# not be listed; standard output must hold the report and nothing else. With
# --sem-varredura only the machine that announces itself is listed, still at
# its own address although the DNS server answers its name with another.
# usage: silent_end_to_end.sh STATE_DIR PROGRAM                  (the Linux program)
#        silent_end_to_end.sh STATE_DIR PROGRAM.exe WINE_PREFIX  (the Windows one under Wine)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$1
program=$2
prefix=${3:-}
network=$here/silent_network.sh
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
if [ -f "$state.skip" ]; then
    cat "$state.skip"
    exit 77
fi
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if [ -n "$prefix" ]; then
    system=windows
else
    system=linux
fi
work=$state/end-to-end-$system
rm -rf "$work"
mkdir -p "$work"
# What the user runs and writes lies where that user can reach it, wherever
# the build and the state directory are.
own=$(mktemp -d /tmp/vexor-silent-user.XXXXXX)
chmod 755 "$own"
cleanup() {
    if [ "$system" = windows ]; then
        bash "$network" user "$state" env WINEPREFIX="$own/prefix" HOME="$own/home" \
            "$wineserver" -k 2>/dev/null || true
    fi
    rm -rf "$own"
}
trap cleanup EXIT

if [ "$system" = windows ]; then
    # The user's own copy of the prefix and the program: Wine runs a prefix
    # only for its owner. Its wineserver starts inside the client's namespaces,
    # where Wine's sockets then live.
    mkdir -p "$own/app" "$own/home"
    cp "$program" "$own/app/vexormoralto.exe"
    cp -a "$prefix" "$own/prefix"
    # Debian's Wine names the server directory of the prefix's last user here.
    rm -f "$own/prefix/wineserver"
    chown -R nobody:nogroup "$own/app" "$own/home" "$own/prefix"
    # A Brazilian Windows: Wine takes its OEM code page (850, as RECEPÇÃO's
    # node status is written) from the locale.
    if ! locale -a 2>/dev/null | grep -qix 'pt_BR.utf8'; then
        localedef -i pt_BR -f UTF-8 pt_BR.UTF-8
    fi
    run() {
        bash "$network" user "$state" env LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8 \
            WINEPREFIX="$own/prefix" WINEARCH=win64 WINEDEBUG=-all \
            HOME="$own/home" WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
            sh -c 'cd "$1" && shift && exec "$@"' sh "$own/app" timeout -k 5 60 "$wine" vexormoralto.exe "$@"
    }
    # The first start of a copied prefix updates it; that is not the program's time.
    run --versao >/dev/null 2>&1 || true
    bash "$network" user "$state" env WINEPREFIX="$own/prefix" HOME="$own/home" "$wineserver" -p ||
        true
    # Windows writes the report in its ANSI code page.
    encode() { iconv -f UTF-8 -t CP1252; }
    limit=${VEXOR_WINE_REFRESH_LIMIT_MS:-4000}
else
    # The program's own time is taken inside the client, around the program
    # alone: entering the namespaces and dropping privileges are not its cost.
    cp "$program" "$own/vexormoralto"
    : >"$own/took-ms"
    chmod 666 "$own/took-ms"
    run() {
        bash "$network" user "$state" sh -c 'start=$(date +%s%N); "$@"; status=$?
            echo $((($(date +%s%N) - start) / 1000000)) >"$0"; exit $status' \
            "$own/took-ms" "$own/vexormoralto" "$@"
    }
    encode() { cat; }
    limit=${VEXOR_REFRESH_LIMIT_MS:-1500}
fi

# The departed machine's entry is stale again, as a refresh finds it.
bash "$network" stale "$state"
bash "$network" expected-report "$state" | encode >"$work/expected.txt"
started=$(date +%s%N)
run --relatorio >"$work/report.txt" 2>"$work/errors.txt" ||
    fail "--relatorio ended with status $?: $(cat "$work/errors.txt")"
took=$((($(date +%s%N) - started) / 1000000))
if [ "$system" = linux ]; then
    took=$(cat "$own/took-ms")
else
    # Wine's GetIpNetTable2 reports every complete entry of the kernel's table
    # as Reachable, the departed machine's stale one too (Windows itself says
    # Stale, which the Windows rule does not count, as the sweep's table tests
    # show): under Wine that line is set aside, and the rest must match.
    grep -av '^- 10\.211\.79\.60 ' "$work/report.txt" >"$work/report-wine.txt" || true
    mv "$work/report-wine.txt" "$work/report.txt"
fi
cmp -s "$work/expected.txt" "$work/report.txt" || {
    diff <(tr -d '\r' <"$work/expected.txt") <(tr -d '\r' <"$work/report.txt") >&2 || true
    fail "standard output is not the expected report ($system)"
}
! grep -q '10\.211\.79\.60\b' "$work/report.txt" || fail "the machine that left is listed"
[ "$took" -le "$limit" ] || fail "the report took $took ms, more than $limit ms"
echo "silent network ($system): every live machine once, named, in $took ms; the departed one not listed"

# Without the sweep: the announced machine alone, at the address it announced from.
run --sem-varredura --relatorio >"$work/no-sweep.txt" 2>"$work/no-sweep-errors.txt" ||
    fail "--sem-varredura --relatorio ended with status $?: $(cat "$work/no-sweep-errors.txt")"
{
    sed -n '1,/^Rede:/p' "$work/expected.txt"
    printf '\r\n'
    grep -a '^- SERVIDOR ' "$work/expected.txt"
} >"$work/expected-no-sweep.txt"
cmp -s "$work/expected-no-sweep.txt" "$work/no-sweep.txt" || {
    diff <(tr -d '\r' <"$work/expected-no-sweep.txt") <(tr -d '\r' <"$work/no-sweep.txt") >&2 || true
    fail "without the sweep the report differs ($system)"
}
echo "silent network ($system): --sem-varredura lists the announced machine alone, at its own address"

