#!/usr/bin/env bash
# An nmbd host named RECEPÇÃO whose "dos charset" is CP850 (Samba's default,
# and the OEM code page of Portuguese Windows), on a network in namespaces this
# script makes and removes itself. The client asks the link for the name and
# the host for its name table, with the Linux build and, when given, with the
# Windows build under wine64 in a Portuguese locale (Wine takes its OEM code
# page from the Unix locale).
# usage: oem_names.sh STATE_DIR LINUX_CHECK|- [WINDOWS_CHECK.exe WINE_PREFIX_TO_COPY]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$1
linux_check=$2
windows_check=${3:-}
wine_prefix=${4:-}

SUBNET=10.211.79
HOST_ADDRESS=$SUBNET.11
CLIENT_ADDRESS=$SUBNET.100
# A prefix of its own: the helpers remove every namespace under it.
PREFIX=${VEXOR_NETNS_PREFIX:-vxm}o
SAMBA_DIRS="etc:/etc/samba run:/run/samba lib:/var/lib/samba cache:/var/cache/samba log:/var/log/samba"
. "$here/netns_lib.sh"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if ! namespaces_permitted; then
    echo "SKIPPED: network namespaces are not permitted on this machine"
    exit 77
fi

down() {
    stop_pids "$state/host/run/nmbd.pid"
    remove_namespaces
}
down >/dev/null 2>&1 || true
trap 'down >/dev/null 2>&1 || true' EXIT
rm -rf "$state"
mkdir -p "$state"
add_bridge
add_host_namespace "$(ns host)" "$HOST_ADDRESS" 1
add_host_namespace "$(ns client)" "$CLIENT_ADDRESS" 2

dir=$state/host
make_instance_dirs "$dir"
cat >"$dir/etc/smb.conf" <<CONF
[global]
   netbios name = RECEPÇÃO
   workgroup = ESCRITÓRIO
   dos charset = CP850
   unix charset = UTF-8
   interfaces = $HOST_ADDRESS/24
   bind interfaces only = yes
   name resolve order = bcast
   server role = standalone server
   local master = no
$(instance_paths "$dir")
   load printers = no
CONF
ip netns exec "$(ns host)" unshare -m --propagation private sh -c \
    "$(mounts_for "$dir") nmbd -D -s /etc/samba/smb.conf"
expected="address $HOST_ADDRESS
node RECEPÇÃO ESCRITÓRIO"

# nmbd claims its names on the link for a few seconds before it answers for
# them; each check takes at most 3 s, and the first may come too early.
check_until_answered() {
    local got=
    for _ in $(seq 20); do
        got=$("$@" | tr -d '\r')
        [ "$got" = "$expected" ] && break
        sleep 0.5
    done
    echo "$got"
}

if [ "$linux_check" != - ]; then
    linux=$(check_until_answered ip netns exec "$(ns client)" "$linux_check" "$SUBNET.255" \
        "$HOST_ADDRESS")
    [ "$linux" = "$expected" ] || fail "Linux build: expected '$expected', got '$linux'"
    echo "Linux: RECEPÇÃO resolves to $HOST_ADDRESS and names itself in CP850"
fi

[ -n "$windows_check" ] || exit 0
# Wine's OEM code page comes from LANG: pt_BR.UTF-8 gives 850.
if ! locale -a 2>/dev/null | grep -qix 'pt_BR.utf8'; then
    localedef -i pt_BR -f UTF-8 pt_BR.UTF-8
fi
work=$state/wine
mkdir -p "$work/home"
cp -a "$wine_prefix" "$work/prefix"
cp "$windows_check" "$work/check.exe"
# The prefix's own wineserver starts inside the client's namespace, where
# Wine's sockets then live.
windows=$(check_until_answered ip netns exec "$(ns client)" env LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8 \
    WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all HOME="$work/home" \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
    /usr/lib/wine/wine64 "$work/check.exe" "$SUBNET.255" "$HOST_ADDRESS")
ip netns exec "$(ns client)" env WINEPREFIX="$work/prefix" /usr/lib/wine/wineserver64 -k \
    2>/dev/null || true
[ "$windows" = "$expected" ] || fail "Windows build under Wine: expected '$expected', got '$windows'"
echo "Windows under Wine (pt_BR): RECEPÇÃO resolves to $HOST_ADDRESS and names itself in CP850"
