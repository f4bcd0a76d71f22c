#!/usr/bin/env bash
# A network of SSDP/UPnP devices in network namespaces that this script makes
# and removes itself: a real media server (minidlna, in its own mount
# namespace, with an empty media folder), a scripted router and a scripted
# printer serving their descriptions (ssdp_peer.py), a hostile SSDP peer, and
# another host that only counts the connections made to it. The client has a
# stock resolver, no system bus and a listener on its own loopback that counts
# connections too. Nothing on the machine's own /etc or /run changes.
#
#   ssdp_network.sh up STATE_DIR              start the hosts, wait until each listens
#   ssdp_network.sh client STATE_DIR CMD...   run CMD as the client machine CLIENTE
#   ssdp_network.sh devices                   the devices' "NAME<TAB>ADDRESS" lines
#   ssdp_network.sh down STATE_DIR            stop everything, remove the namespaces
#
# VEXOR_NETNS_PREFIX chooses the namespaces' prefix. Where network namespaces
# are not permitted, "up" leaves STATE_DIR.skip saying so.
set -euo pipefail

SUBNET=10.211.31
PREFIX=${VEXOR_NETNS_PREFIX:-vxu}
here=$(cd "$(dirname "$0")" && pwd)
PEER=$here/ssdp_peer.py
CLIENT_ADDRESS=$SUBNET.100
OTHER_ADDRESS=$SUBNET.40
HOSTILE_ADDRESS=$SUBNET.30
# The port where the hostile peer serves, and where the other host and the
# client's loopback listen for connections that must never come.
TRAP_PORT=8080
SAMBA_DIRS=""
. "$here/netns_lib.sh"

command=${1:?usage: ssdp_network.sh up|client|devices|down STATE_DIR ...}
state=${2:-}
shift $(($# < 2 ? $# : 2))

# name last-octet: the devices each listed once under their friendlyName.
devices() {
    printf 'Filmes da Sala\t%s.11\n' "$SUBNET"
    printf 'Roteador Wi-Fi\t%s.12\n' "$SUBNET"
    printf 'Impressora da Recepção\t%s.13\n' "$SUBNET"
    # The hostile peer's eighth description names it, its controls removed.
    printf 'Hostiltxt.exe\t%s\n' "$HOSTILE_ADDRESS"
}

start_minidlna() {
    local dir=$state/MIDIA
    mkdir -p "$dir/media" "$dir/db" "$dir/log"
    cat >"$dir/minidlna.conf" <<CONF
media_dir=$dir/media
db_dir=$dir/db
log_dir=$dir/log
port=8200
network_interface=eth0
friendly_name=Filmes da Sala
inotify=no
notify_interval=900
CONF
    ip netns exec "$(ns MIDIA)" unshare -m --propagation private sh -c \
        "mount -t tmpfs tmpfs /run && exec minidlnad -S -f $dir/minidlna.conf -P $dir/minidlna.pid" \
        >"$dir/minidlna.out" 2>&1 &
    echo $! >"$dir/holder.pid"
}

start_peer() {
    local name=$1
    shift
    mkdir -p "$state/$name"
    ip netns exec "$(ns "$name")" python3 "$PEER" "$@" >"$state/$name/peer.out" 2>&1 &
    echo $! >"$state/$name/peer.pid"
}

# The client holds its mount namespace open with one long-lived process: a
# stock resolver, a hosts file naming only itself, and an empty /run, so that
# no daemon of the machine's own (system bus, mDNS, name cache) is reached.
start_client() {
    local dir=$state/CLIENTE
    mkdir -p "$dir"
    printf 'passwd: files\ngroup: files\nhosts: files dns\n' >"$dir/nsswitch.conf"
    printf 'nameserver 127.0.0.1\n' >"$dir/resolv.conf"
    printf '127.0.0.1\tlocalhost\n%s\tcliente\n' "$CLIENT_ADDRESS" >"$dir/hosts"
    ip netns exec "$(ns CLIENTE)" unshare -m -u --propagation private sh -c \
        "mount -t tmpfs tmpfs /run && mount --bind $dir/nsswitch.conf /etc/nsswitch.conf && \
         mount --bind $dir/hosts /etc/hosts && mount --bind $dir/resolv.conf /etc/resolv.conf && \
         hostname cliente && echo \$\$ >$dir/holder.pid && exec sleep infinity" \
        >"$dir/holder.log" 2>&1 &
    for _ in $(seq 100); do [ -s "$dir/holder.pid" ] && break; sleep 0.1; done
    ip netns exec "$(ns CLIENTE)" python3 "$PEER" listen 127.0.0.1 "$TRAP_PORT" \
        "$dir/loopback.log" >"$dir/listener.out" 2>&1 &
    echo $! >"$dir/listener.pid"
}

in_client() {
    nsenter -t "$(cat "$state/CLIENTE/holder.pid")" -m -n -u -- "$@"
}

network_ready() {
    local name
    for name in ROTEADOR IMPRESSORA HOSTIL OUTRO; do
        grep -qs ready "$state/$name/peer.log" || return 1
    done
    grep -qs ready "$state/CLIENTE/loopback.log" || return 1
    ip netns exec "$(ns MIDIA)" ss -tln 2>/dev/null | grep -q ':8200 ' || return 1
    ip netns exec "$(ns MIDIA)" ss -uln 2>/dev/null | grep -q ':1900 ' || return 1
}

case "$command" in
up)
    rm -f "$state.skip"
    if ! namespaces_permitted; then
        echo "SKIPPED: network namespaces are not permitted on this machine" | tee "$state.skip"
        exit 0
    fi
    if ! command -v minidlnad >/dev/null; then
        echo "SKIPPED: minidlna is not installed" | tee "$state.skip"
        exit 0
    fi
    "$0" down "$state" >/dev/null 2>&1 || true
    trap 'status=$?; [ "$status" -eq 0 ] || "$0" down "$state" >/dev/null 2>&1 || true' EXIT
    rm -rf "$state"
    mkdir -p "$state"
    add_bridge
    index=1
    for host in "MIDIA 11" "ROTEADOR 12" "IMPRESSORA 13" "HOSTIL 30" "OUTRO 40" "CLIENTE 100"; do
        set -- $host
        add_host_namespace "$(ns "$1")" "$SUBNET.$2" "s$index"
        index=$((index + 1))
    done
    start_minidlna
    start_peer ROTEADOR device "$SUBNET.12" 49152 "$state/ROTEADOR/peer.log" "Roteador Wi-Fi"
    start_peer IMPRESSORA device "$SUBNET.13" 80 "$state/IMPRESSORA/peer.log" - \
        "Impressora da Recepção"
    start_peer HOSTIL hostile "$HOSTILE_ADDRESS" "$OTHER_ADDRESS" "$state/HOSTIL/peer.log"
    start_peer OUTRO listen "$OTHER_ADDRESS" "$TRAP_PORT" "$state/OUTRO/peer.log"
    start_client
    for _ in $(seq 100); do
        if network_ready; then
            echo "SSDP network ready in $state"
            exit 0
        fi
        sleep 0.2
    done
    echo "The SSDP network did not come up in time" >&2
    exit 1
    ;;
client)
    in_client "$@"
    ;;
devices)
    devices
    ;;
down)
    if [ -n "$state" ]; then
        stop_pids "$state"/*/peer.pid "$state/CLIENTE/listener.pid" "$state/MIDIA/holder.pid" \
            "$state/MIDIA/minidlna.pid"
    fi
    sleep 0.2
    remove_namespaces
    ;;
*)
    echo "unknown command: $command" >&2
    exit 2
    ;;
esac
