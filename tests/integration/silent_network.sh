#!/usr/bin/env bash
# An office network whose machines mostly announce nothing, in network
# namespaces that this script makes and removes itself. On one /24: one
# WS-Discovery server (wsdd), two domain PCs where nothing listens, named only by
# PTR records of the office DNS server (dnsmasq, which also answers every other
# name with its own address), a PC whose firewall (nftables) drops every packet
# (ARP still answers), an old PC answering only NetBIOS (nmbd, CP850, named
# RECEPÇÃO), a Linux box with avahi-daemon and no service, a device with no
# name anywhere, and the stale neighbour entry of a machine that has left. The
# client's entry of the nameless device is stale too, last confirmed minutes
# ago: nothing listens on its port 137, and only its port unreachable shows,
# within a refresh, that it is still there. The
# client's resolver asks that DNS server; nothing on the machine's own /etc or
# /run changes.
#
#   silent_network.sh up STATE_DIR              start the hosts, wait until each answers
#   silent_network.sh client STATE_DIR CMD...   run CMD as the client machine CLIENTE (root)
#   silent_network.sh user STATE_DIR CMD...     the same as an unprivileged user (setpriv)
#   silent_network.sh stale STATE_DIR           empty the client's neighbour table but for
#                                               the departed machine's and the nameless
#                                               device's stale entries
#   silent_network.sh expected-report STATE_DIR the report a refresh should print (UTF-8)
#   silent_network.sh addresses STATE_DIR       the live addresses, one a line
#   silent_network.sh down STATE_DIR            stop everything, remove the namespaces
#
# VEXOR_SILENT_LAYOUT=wide brings up another network instead: a /23 with 50
# silent hosts spread over both halves and a DNS server address where nothing
# answers (the sweep benchmark's). Where network namespaces are not permitted,
# "up" leaves STATE_DIR.skip saying so.
set -euo pipefail
export LC_ALL=C.UTF-8

PREFIX=${VEXOR_NETNS_PREFIX:-vxs}
LAYOUT=${VEXOR_SILENT_LAYOUT:-office}
if [ "$LAYOUT" = wide ]; then
    SUBNET=10.211.80
    MASK=23
    CLIENT_ADDRESS=10.211.80.100
    DNS_ADDRESS=10.211.80.2
    # name address role: silent hosts only, 25 in each half of the /23.
    HOSTS=()
    for i in $(seq 25); do
        HOSTS+=("h$i 10.211.80.$((100 + i * 5)) silent" "k$i 10.211.81.$((i * 9)) silent")
    done
    DEPARTED=""
    LINGERING=""
else
    SUBNET=10.211.79
    MASK=24
    CLIENT_ADDRESS=$SUBNET.100
    DNS_ADDRESS=$SUBNET.2
    # name address role [workgroup]; a name in lower case is the PTR record's.
    HOSTS=(
        "servidor-dns $SUBNET.2 dns"
        "SERVIDOR $SUBNET.10 wsd ESCRITORIO"
        "pc-dominio-01 $SUBNET.21 silent"
        "pc-dominio-02 $SUBNET.22 silent"
        "firewall $SUBNET.23 dropall"
        "RECEPÇÃO $SUBNET.24 nmbd OFICINA"
        "caixa-linux $SUBNET.25 avahi"
        "anonimo $SUBNET.50 silent"
    )
    DEPARTED="partiu $SUBNET.60"
    # A live machine whose entry the client holds stale: the nameless device.
    LINGERING=$SUBNET.50
fi
SAMBA_DIRS="etc:/etc/samba run:/run/samba lib:/var/lib/samba cache:/var/cache/samba log:/var/log/samba"
. "$(dirname "$0")/netns_lib.sh"

command=${1:?usage: silent_network.sh up|client|user|stale|expected-report|addresses|down STATE_DIR ...}
state=${2:?state directory}
shift 2

# A host's name is not always fit for a namespace's (RECEPÇÃO): each host's
# namespace is named by its position.
host_namespace() { echo "$PREFIX-h$1"; }
client_namespace() { echo "$PREFIX-cliente"; }

# A namespace with one interface on the bridge, at ADDRESS/MASK.
add_host() {
    local namespace=$1 address=$2 index=$3
    ip netns add "$namespace"
    ip -n "$PREFIX-br" link add "v$index-b" type veth peer name eth0 netns "$namespace"
    ip -n "$PREFIX-br" link set "v$index-b" master br0 up
    ip -n "$namespace" link set lo up
    ip -n "$namespace" addr add "$address/$MASK" dev eth0
    ip -n "$namespace" link set eth0 up
    ip netns exec "$namespace" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 || true
    ip -n "$namespace" route add 224.0.0.0/4 dev eth0
}

# The PTR records of the office DNS: the domain PCs' and its own.
write_dns_hosts() {
    local line name address role
    for line in "${HOSTS[@]}"; do
        read -r name address role _ <<<"$line"
        case "$name" in servidor-dns | pc-dominio-*) printf '%s\t%s\n' "$address" "$name" ;; esac
    done
}

start_dns() {
    local namespace=$1 address=$2 dir=$state/dns
    mkdir -p "$dir"
    write_dns_hosts >"$dir/hosts"
    # It answers every name it does not hold with its own address, as some
    # office and ISP servers do; no listed machine may show that address.
    ip netns exec "$namespace" dnsmasq --keep-in-foreground --conf-file=/dev/null --no-resolv \
        --no-hosts --addn-hosts="$dir/hosts" --listen-address="$address" --bind-interfaces \
        --address="/#/$address" --user=root --pid-file="$dir/dnsmasq.pid" \
        --log-facility="$dir/dnsmasq.log" >"$dir/stdout.log" 2>&1 &
}

start_nmbd() {
    local namespace=$1 name=$2 address=$3 group=$4 dir=$state/nmbd
    make_instance_dirs "$dir"
    cat >"$dir/etc/smb.conf" <<CONF
[global]
   netbios name = $name
   workgroup = $group
   dos charset = CP850
   interfaces = $address/$MASK
   bind interfaces only = yes
   name resolve order = bcast
   server role = standalone server
   local master = no
   preferred master = no
   domain master = no
   os level = 0
$(instance_paths "$dir")
   load printers = no
CONF
    ip netns exec "$namespace" unshare -m --propagation private sh -c \
        "$(mounts_for "$dir") nmbd -D -s /etc/samba/smb.conf"
}

start_avahi() {
    local namespace=$1 name=$2 dir=$state/avahi
    mkdir -p "$dir/avahi/services" "$dir/avahi-run"
    cat >"$dir/avahi/avahi-daemon.conf" <<CONF
[server]
host-name=$name
use-ipv4=yes
use-ipv6=no
allow-interfaces=eth0
enable-dbus=no
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
CONF
    ip netns exec "$namespace" unshare -m --propagation private sh -c \
        "mount -t tmpfs tmpfs /run && mkdir -p /run/avahi-daemon && \
         mount --bind $dir/avahi-run /run/avahi-daemon && mount --bind $dir/avahi /etc/avahi && \
         exec avahi-daemon --no-chroot --no-rlimits" >"$dir/avahi.log" 2>&1 &
}

drop_everything() {
    ip netns exec "$1" nft -f - <<'NFT'
table inet fw {
    chain input {
        type filter hook input priority 0; policy drop;
    }
}
NFT
}

start_host() {
    local index=$1 name=$2 address=$3 role=$4 group=${5:-} namespace
    namespace=$(host_namespace "$index")
    case "$role" in
    dns) start_dns "$namespace" "$address" ;;
    wsd)
        ip netns exec "$namespace" wsdd -4 -i eth0 -U "$(printf '00000000-0000-4000-8000-%012d' "$index")" \
            -n "$name" -w "$group" >"$state/wsdd.log" 2>&1 &
        ;;
    nmbd) start_nmbd "$namespace" "$name" "$address" "$group" ;;
    avahi) start_avahi "$namespace" "$name" ;;
    dropall) drop_everything "$namespace" ;;
    esac
}

# The client holds its mount namespace open with one long-lived process: a
# resolver that asks the office DNS server, a hosts file naming only itself.
start_client() {
    local dir=$state/CLIENTE
    mkdir -p "$dir"
    printf 'passwd: files\ngroup: files\nhosts: files dns\n' >"$dir/nsswitch.conf"
    printf 'nameserver %s\noptions timeout:1 attempts:1\n' "$DNS_ADDRESS" >"$dir/resolv.conf"
    printf '127.0.0.1\tlocalhost\n%s\tcliente\n' "$CLIENT_ADDRESS" >"$dir/hosts"
    ip netns exec "$(client_namespace)" unshare -m -u --propagation private sh -c \
        "mount --bind $dir/nsswitch.conf /etc/nsswitch.conf && mount --bind $dir/hosts /etc/hosts && \
         mount --bind $dir/resolv.conf /etc/resolv.conf && hostname cliente && \
         echo \$\$ >$dir/holder.pid && exec sleep infinity" >"$dir/holder.log" 2>&1 &
    for _ in $(seq 100); do [ -s "$dir/holder.pid" ] && break; sleep 0.1; done
}

in_client() {
    nsenter -t "$(cat "$state/CLIENTE/holder.pid")" -m -n -u -- "$@"
}

# An mDNS reverse question for ADDRESS, unicast to its port 5353; true when a
# PTR answer comes back.
mdns_answers() {
    in_client python3 - "$1" <<'PY'
import socket, struct, sys
address = sys.argv[1]
name = b"".join(bytes([len(p)]) + p.encode() for p in
                reversed(address.split(".") ) ) + b"\x07in-addr\x04arpa\x00"
query = struct.pack(">HHHHHH", 0x1234, 0, 1, 0, 0, 0) + name + struct.pack(">HH", 12, 1)
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.settimeout(0.5)
s.sendto(query, (address, 5353))
try:
    data = s.recv(2048)
except OSError:
    sys.exit(1)
sys.exit(0 if struct.unpack(">H", data[6:8])[0] > 0 else 1)
PY
}

# Every host answers what it is there to answer.
network_ready() {
    local line index=1 name address role
    for line in "${HOSTS[@]}"; do
        read -r name address role _ <<<"$line"
        case "$role" in
        dns) in_client getent hosts "$SUBNET.21" 2>/dev/null | grep -q pc-dominio-01 || return 1 ;;
        wsd) ip netns exec "$(host_namespace "$index")" ss -uln | grep -q ':3702 ' || return 1 ;;
        nmbd) ip netns exec "$(host_namespace "$index")" ss -uln | grep -q "$address:137 " || return 1 ;;
        avahi) mdns_answers "$address" || return 1 ;;
        esac
        index=$((index + 1))
    done
}

# The link-layer address of the host at ADDRESS.
host_lladdr() {
    local line index=1 address
    for line in "${HOSTS[@]}"; do
        read -r _ address _ <<<"$line"
        if [ "$address" = "$1" ]; then
            ip -n "$(host_namespace "$index")" link show eth0 | awk '/link\/ether/ { print $2 }'
            return 0
        fi
        index=$((index + 1))
    done
    return 1
}

# The client's neighbour entry of the machine that left, as a departed
# machine's entry stands minutes later: stale, with its link-layer address,
# last confirmed long ago; and the same for the lingering live machine. A new
# entry's confirmation lies twice the base reachable time in the past; that
# time is raised while the entries are made.
make_stale_entry() {
    [ -n "$DEPARTED" ] || return 0
    local address lladdr lingering
    read -r _ address <<<"$DEPARTED"
    lladdr=$(cat "$state/departed.lladdr")
    lingering=$(host_lladdr "$LINGERING")
    in_client sh -c "
        ip neigh del $address dev eth0 2>/dev/null
        ip neigh del $LINGERING dev eth0 2>/dev/null
        sysctl -qw net.ipv4.neigh.eth0.base_reachable_time_ms=300000
        ip neigh add $address lladdr $lladdr dev eth0 nud stale
        ip neigh add $LINGERING lladdr $lingering dev eth0 nud stale
        sysctl -qw net.ipv4.neigh.eth0.base_reachable_time_ms=30000"
}

# Brings the departed machine up, lets the client learn it, and removes it.
depart() {
    [ -n "$DEPARTED" ] || return 0
    local name address namespace=$PREFIX-partiu
    read -r name address <<<"$DEPARTED"
    add_host "$namespace" "$address" w99
    # One datagram makes the client ask ARP for it.
    for _ in $(seq 20); do
        in_client bash -c "echo x >/dev/udp/$address/9" 2>/dev/null || true
        in_client ip neigh show "$address" | grep -q REACHABLE && break
        sleep 0.1
    done
    in_client ip neigh show "$address" | grep -q REACHABLE ||
        { echo "the client did not learn the departing machine" >&2; return 1; }
    ip -n "$namespace" link show eth0 | awk '/link\/ether/ { print $2 }' >"$state/departed.lladdr"
    ip netns del "$namespace"
    ip -n "$PREFIX-br" link del vw99-b 2>/dev/null || true
    make_stale_entry
}

# The width of a line's name column counts characters, not bytes.
line() {
    local name=$1 address=$2 fill=""
    local length=${#name}
    if [ "$length" -lt 20 ]; then
        fill=$(printf '%*s' $((20 - length)) '')
    elif [ "$length" -gt 20 ]; then
        fill=" "
    fi
    printf -- '- %s%s%s\r\n' "$name" "$fill" "$address"
}

case "$command" in
up)
    rm -f "$state.skip"
    if ! namespaces_permitted; then
        echo "SKIPPED: network namespaces are not permitted on this machine" | tee "$state.skip"
        exit 0
    fi
    "$0" down "$state" >/dev/null 2>&1 || true
    trap 'status=$?; [ "$status" -eq 0 ] || "$0" down "$state" >/dev/null 2>&1 || true' EXIT
    rm -rf "$state"
    mkdir -p "$state"
    add_bridge
    index=1
    for entry in "${HOSTS[@]}"; do
        read -r _ address _ <<<"$entry"
        add_host "$(host_namespace "$index")" "$address" "w$index"
        index=$((index + 1))
    done
    add_host "$(client_namespace)" "$CLIENT_ADDRESS" w0
    start_client
    depart
    index=1
    for entry in "${HOSTS[@]}"; do
        # shellcheck disable=SC2086
        start_host "$index" $entry
        index=$((index + 1))
    done
    for _ in $(seq "${VEXOR_READY_SECONDS:-60}"); do
        if network_ready; then
            echo "Silent network ($LAYOUT) ready in $state"
            exit 0
        fi
        sleep 1
    done
    echo "The silent network did not come up in time" >&2
    exit 1
    ;;
client)
    in_client "$@"
    ;;
user)
    # An ordinary user, whose home cannot be found: whatever a library would
    # print about it must not reach the report.
    in_client setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all \
        env -i PATH=/usr/bin:/bin HOME=/nonexistent LANG=C.UTF-8 \
        ${ASAN_OPTIONS:+"ASAN_OPTIONS=$ASAN_OPTIONS"} "$@"
    ;;
stale)
    # Every test starts as a client that has talked to nobody lately, but for
    # the machine that left.
    in_client ip neigh flush dev eth0 >/dev/null 2>&1 || true
    make_stale_entry
    ;;
expected-report)
    printf 'Local: CLIENTE\r\n\r\n- %s\r\n\r\nRede:\r\n\r\n' "$CLIENT_ADDRESS"
    if [ "$LAYOUT" = wide ]; then
        for entry in "${HOSTS[@]}"; do
            read -r _ address _ <<<"$entry"
            echo "$address"
        done | sort -t . -k 3,3n -k 4,4n | while read -r address; do line "$address" "$address"; done
    else
        line SERVIDOR "$SUBNET.10"
        line RECEPÇÃO "$SUBNET.24"
        line "$SUBNET.23" "$SUBNET.23"
        line "$SUBNET.50" "$SUBNET.50"
        line caixa-linux "$SUBNET.25"
        line pc-dominio-01 "$SUBNET.21"
        line pc-dominio-02 "$SUBNET.22"
        line servidor-dns "$SUBNET.2"
    fi
    ;;
addresses)
    for entry in "${HOSTS[@]}"; do
        read -r _ address _ <<<"$entry"
        echo "$address"
    done
    ;;
down)
    [ -f "$state/nmbd/run/nmbd.pid" ] && stop_pids "$state/nmbd/run/nmbd.pid"
    [ -f "$state/dns/dnsmasq.pid" ] && stop_pids "$state/dns/dnsmasq.pid"
    sleep 0.3
    remove_namespaces
    ;;
*)
    echo "unknown command: $command" >&2
    exit 2
    ;;
esac
