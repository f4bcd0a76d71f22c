#!/usr/bin/env bash
# Today's network neighbourhood in network namespaces that this script makes
# and removes itself: SMB2-only hosts announced by WS-Discovery (wsdd), hosts
# announced by DNS-SD (avahi-daemon), and one classic SMB1 workgroup whose
# master is announced by WS-Discovery as well. Two hosts are firewalled as
# most office PCs are: they answer discovery, but TCP 139 and 445 are silently
# dropped. A hostile peer can be added and removed. The client has a stock resolver
# and an mDNS daemon of its own on a private system bus. Nothing on the
# machine's own /etc or /run changes.
#
#   modern_network.sh up STATE_DIR             start the hosts, wait until each is seen
#   modern_network.sh client STATE_DIR CMD...  run CMD as the client machine CLIENTE
#   modern_network.sh expected-report STATE_DIR   the IP.txt a refresh should print
#   modern_network.sh tarpit-start STATE_DIR   add the hostile peer (tarpit_peer.py)
#   modern_network.sh tarpit-stop STATE_DIR    remove it
#   modern_network.sh flood-start STATE_DIR    add a flooding peer (flood_peer.py)
#   modern_network.sh flood-stop STATE_DIR     remove it
#   modern_network.sh down STATE_DIR           stop everything, remove the namespaces
#
# Where network namespaces are not permitted, "up" leaves STATE_DIR.skip saying so.
set -euo pipefail

SUBNET=10.211.74
PREFIX=${VEXOR_NETNS_PREFIX:-vxw}
# name address role [workgroup or domain]
#   classic: SMB1 browse master and wsdd    smb2: SMB2-only smbd and wsdd
#   domain: wsdd in a domain, no smbd        nas, workstation: avahi-daemon only
#   member: an SMB1 server on the master's browse list (smbd and nmbd)
#   wsd: wsdd in a workgroup, no smbd
# VEXOR_NETWORK_HOSTS names a file of such lines to bring up instead (the
# benchmarks' larger networks).
HOSTS=(
    "APOLO 11 classic CLASSICO"
    "ATENA 12 smb2 ESCRITORIO"
    "HERMES 13 smb2 ESCRITORIO"
    "zeus 14 domain EMPRESA"
    "DEMETER 15 smb2 ESCRITORIO"
    "nas-sala 21 nas"
    "estacao 22 workstation"
    "macbook 23 nas"
)
if [ -n "${VEXOR_NETWORK_HOSTS:-}" ]; then
    mapfile -t HOSTS <"$VEXOR_NETWORK_HOSTS"
fi
# Hosts whose firewall drops TCP 139 and 445 without an answer.
FIREWALLED="DEMETER macbook"
TARPIT_ADDRESS=$SUBNET.30
TARPIT_NAMES=200
FLOOD_ADDRESS=$SUBNET.31
FLOOD_DEVICES=300
CLIENT_ADDRESS=$SUBNET.100
SAMBA_DIRS="etc:/etc/samba run:/run/samba lib:/var/lib/samba cache:/var/cache/samba log:/var/log/samba"
. "$(dirname "$0")/netns_lib.sh"

# Stops a hostile peer (NAME, its state folder, its address, its bridge link)
# started by tarpit-start or flood-start, by its PID and then its namespace.
stop_peer() {
    local name=$1 dir=$2 address=$3 link=$4
    stop_pids "$state/$dir/peer.pid"
    rm -f "$state/$dir/peer.pid"
    if ip netns list 2>/dev/null | grep -q "^$(ns "$name")\b"; then
        ip netns pids "$(ns "$name")" | xargs -r kill -9 2>/dev/null || true
        ip netns del "$(ns "$name")"
    fi
    ip -n "$PREFIX-br" link del "$link" 2>/dev/null || true
    # The client forgets the peer as it would a minute later; until then the
    # sweep rightly lists a machine confirmed on the link moments ago.
    ip -n "$(ns CLIENTE)" neigh flush to "$address" 2>/dev/null || true
}

command=${1:?usage: modern_network.sh up|client|expected-report|down STATE_DIR ...}
state=${2:?state directory}
shift 2

write_smb_config() {
    local name=$1 address=$2 role=$3 group=$4 dir=$5
    make_instance_dirs "$dir"
    mkdir -p "$dir/share"
    local browse="disable netbios = yes
   server min protocol = SMB2_02
   smb ports = 445"
    if [ "$role" = member ]; then
        browse="local master = no
   preferred master = no
   os level = 0
   server min protocol = NT1"
    elif [ "$role" = classic ]; then
        browse="local master = yes
   preferred master = yes
   domain master = yes
   os level = 65
   server min protocol = NT1"
    fi
    cat >"$dir/etc/smb.conf" <<CONF
[global]
   netbios name = $name
   workgroup = $group
   interfaces = $address/24
   bind interfaces only = yes
   name resolve order = bcast
   server role = standalone server
   map to guest = bad user
   guest account = nobody
   $browse
$(instance_paths "$dir")
   load printers = no
   printing = bsd
   printcap name = /dev/null
   disable spoolss = yes

[publico]
   path = $dir/share
   guest ok = yes
   read only = yes
CONF
}

# An avahi-daemon's own configuration and service files, for DIR/avahi.
write_avahi_config() {
    local name=$1 role=$2 dir=$3 dbus=$4
    mkdir -p "$dir/avahi/services" "$dir/avahi-run"
    local workstation=no
    [ "$role" = workstation ] && workstation=yes
    cat >"$dir/avahi/avahi-daemon.conf" <<CONF
[server]
host-name=$name
use-ipv4=yes
use-ipv6=no
allow-interfaces=eth0
enable-dbus=$dbus
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=$workstation
CONF
    service() {
        printf '<?xml version="1.0" standalone="no"?>\n<service-group><name replace-wildcards="yes">%%h</name><service><type>%s</type><port>%s</port>%s</service></service-group>\n' "$@"
    }
    case "$role" in
    nas) service _smb._tcp 445 "" >"$dir/avahi/services/smb.service" ;;
    workstation) service _device-info._tcp 0 "<txt-record>model=Estacao</txt-record>" \
        >"$dir/avahi/services/device-info.service" ;;
    esac
}

# The commands that start an avahi-daemon over DIR's files in a private
# mount namespace: /run is a fresh tmpfs, /etc/avahi the host's own.
avahi_mounts() {
    local dir=$1
    printf 'mount -t tmpfs tmpfs /run && mkdir -p /run/avahi-daemon /run/dbus && '
    printf 'mount --bind %s/avahi-run /run/avahi-daemon && mount --bind %s/avahi /etc/avahi && ' "$dir" "$dir"
}

# Drops every TCP connection to 139 and 445 in NAMESPACE, as Windows' firewall
# does with file sharing off; counts the packets dropped.
add_firewall() {
    ip netns exec "$1" nft -f - <<'NFT'
table inet fw {
    chain input {
        type filter hook input priority 0; policy accept;
        tcp dport { 139, 445 } counter drop
    }
}
NFT
}

start_host() {
    local name=$1 last=$2 role=$3 group=${4:-} dir=$state/$1
    local namespace address=$SUBNET.$last
    namespace=$(ns "$name")
    mkdir -p "$dir"
    case " $FIREWALLED " in *" $name "*) add_firewall "$namespace" ;; esac
    case "$role" in
    classic | smb2 | member)
        write_smb_config "$name" "$address" "$role" "$group" "$dir"
        local daemons="smbd -D -s /etc/samba/smb.conf"
        [ "$role" != smb2 ] && daemons="$daemons && nmbd -D -s /etc/samba/smb.conf"
        ip netns exec "$namespace" unshare -m --propagation private sh -c "$(mounts_for "$dir") $daemons"
        ;;
    esac
    # wsdd makes its endpoint's UUID from the machine's host name, which every
    # namespace shares: each host is given one of its own.
    local uuid
    uuid=$(printf '00000000-0000-4000-8000-%012d' "$last")
    case "$role" in
    classic | smb2 | wsd)
        ip netns exec "$namespace" wsdd -4 -i eth0 -U "$uuid" -n "$name" -w "$group" \
            >"$dir/wsdd.log" 2>&1 &
        ;;
    domain)
        ip netns exec "$namespace" wsdd -4 -i eth0 -U "$uuid" -n "$name" -d "$group" \
            >"$dir/wsdd.log" 2>&1 &
        ;;
    nas | workstation)
        write_avahi_config "$name" "$role" "$dir" no
        ip netns exec "$namespace" unshare -m --propagation private sh -c \
            "$(avahi_mounts "$dir") exec avahi-daemon --no-chroot --no-rlimits" >"$dir/avahi.log" 2>&1 &
        ;;
    esac
}

# The client holds its mount namespace open with one long-lived process: its
# Samba files, a stock resolver, a hosts file naming only itself, and a private
# system bus with its own avahi-daemon. Later commands join that namespace.
start_client() {
    local dir=$state/CLIENTE
    make_instance_dirs "$dir"
    cat >"$dir/etc/smb.conf" <<CONF
[global]
   netbios name = CLIENTE
   workgroup = CLASSICO
   interfaces = $CLIENT_ADDRESS/24
   bind interfaces only = yes
   name resolve order = bcast
   client min protocol = NT1
   server role = standalone server
$(instance_paths "$dir")
   load printers = no
CONF
    printf 'passwd: files\ngroup: files\nhosts: files dns\n' >"$dir/nsswitch.conf"
    printf 'nameserver 127.0.0.1\n' >"$dir/resolv.conf"
    printf '127.0.0.1\tlocalhost\n%s\tcliente\n' "$CLIENT_ADDRESS" >"$dir/hosts"
    write_avahi_config cliente client "$dir" yes
    mkdir -p "$dir/dbus-run"
    ip netns exec "$(ns CLIENTE)" unshare -m -u --propagation private sh -c \
        "$(mounts_for "$dir") $(avahi_mounts "$dir") mount --bind $dir/dbus-run /run/dbus && \
         mount --bind $dir/nsswitch.conf /etc/nsswitch.conf && mount --bind $dir/hosts /etc/hosts && \
         mount --bind $dir/resolv.conf /etc/resolv.conf && hostname cliente && \
         dbus-daemon --system --fork && avahi-daemon -D --no-chroot --no-rlimits && \
         echo \$\$ >$dir/holder.pid && exec sleep infinity" >"$dir/holder.log" 2>&1 &
    for _ in $(seq 100); do [ -s "$dir/holder.pid" ] && break; sleep 0.1; done
}

in_client() {
    nsenter -t "$(cat "$state/CLIENTE/holder.pid")" -m -n -u -- "$@"
}

# Every host is seen: the classic master's browse list, each wsdd, each
# avahi-daemon through the client's own daemon.
network_ready() {
    local line name last role group master="" workgroup=""
    for line in "${HOSTS[@]}"; do
        read -r name last role group <<<"$line"
        if [ "$role" = classic ]; then
            master=$name
            workgroup=$group
            break
        fi
    done
    if [ -n "$master" ]; then
        grep -q "^\"$master\" " "$state/$master/cache/browse.dat" 2>/dev/null || return 1
        in_client smbclient -g -N -L "//$master" 2>/dev/null | grep -q "^Workgroup|$workgroup|" || return 1
        # The browse list is read from whichever host holds the master browser name.
        in_client nmblookup -M -- - 2>/dev/null | grep -q '__MSBROWSE__' || return 1
        for line in "${HOSTS[@]}"; do
            read -r name last role group <<<"$line"
            [ "$role" = member ] || continue
            grep -q "^\"$name\" " "$state/$master/cache/browse.dat" 2>/dev/null || return 1
        done
    fi
    local browse
    browse=$(in_client avahi-browse -pt _smb._tcp 2>/dev/null; in_client avahi-browse -pt _device-info._tcp 2>/dev/null)
    for line in "${HOSTS[@]}"; do
        read -r name last role group <<<"$line"
        case "$role" in nas | workstation) grep -q ";$name;" <<<"$browse" || return 1 ;; esac
    done
    for line in "${HOSTS[@]}"; do
        read -r name _ <<<"$line"
        [ -f "$state/$name/wsdd.log" ] || continue
        ip netns exec "$(ns "$name")" ss -uln 2>/dev/null | grep -q ':3702 ' || return 1
    done
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
    for line in "${HOSTS[@]}"; do
        read -r name last _ <<<"$line"
        add_host_namespace "$(ns "$name")" "$SUBNET.$last" "w$index"
        index=$((index + 1))
    done
    add_host_namespace "$(ns CLIENTE)" "$CLIENT_ADDRESS" "w$index"
    for line in "${HOSTS[@]}"; do
        # shellcheck disable=SC2086
        start_host $line
    done
    start_client
    for _ in $(seq "${VEXOR_READY_SECONDS:-120}"); do
        if network_ready; then
            echo "Modern network ready in $state"
            exit 0
        fi
        sleep 1
    done
    echo "The modern network did not come up in time" >&2
    exit 1
    ;;
client)
    in_client "$@"
    ;;
expected-report)
    printf 'Local: CLIENTE\r\n\r\n- %s\r\n\r\nRede:\r\n\r\n' "$CLIENT_ADDRESS"
    for host in "APOLO 11" "zeus 14" "ATENA 12" "DEMETER 15" "HERMES 13" "estacao 22" \
        "macbook 23" "nas-sala 21"; do
        set -- $host
        printf -- '- %-20s%s.%s\r\n' "$1" "$SUBNET" "$2"
    done
    ;;
tarpit-start)
    bash "$0" tarpit-stop "$state"
    mkdir -p "$state/tarpit"
    : >"$state/tarpit/accepts.log"
    add_host_namespace "$(ns TARPIT)" "$TARPIT_ADDRESS" w30
    ip netns exec "$(ns TARPIT)" python3 "$(dirname "$0")/tarpit_peer.py" "$TARPIT_ADDRESS" \
        "$TARPIT_NAMES" "$state/tarpit/accepts.log" >"$state/tarpit/peer.log" 2>&1 &
    echo $! >"$state/tarpit/peer.pid"
    # Ready once it listens and the client reaches it over the bridge.
    for _ in $(seq 50); do
        grep -qs ready "$state/tarpit/peer.log" &&
            ip netns exec "$(ns CLIENTE)" python3 "$(dirname "$0")/tarpit_peer.py" ready \
                "$TARPIT_ADDRESS" && exit 0
        sleep 0.1
    done
    echo "the hostile peer did not start" >&2
    exit 1
    ;;
tarpit-stop)
    stop_peer TARPIT tarpit "$TARPIT_ADDRESS" vw30-b
    ;;
flood-start)
    bash "$0" flood-stop "$state"
    mkdir -p "$state/flood"
    add_host_namespace "$(ns FLOOD)" "$FLOOD_ADDRESS" w31
    ip netns exec "$(ns FLOOD)" python3 "$(dirname "$0")/flood_peer.py" "$FLOOD_ADDRESS" \
        "$FLOOD_DEVICES" >"$state/flood/peer.log" 2>&1 &
    echo $! >"$state/flood/peer.pid"
    for _ in $(seq 50); do
        grep -qs ready "$state/flood/peer.log" &&
            ip netns exec "$(ns CLIENTE)" python3 "$(dirname "$0")/flood_peer.py" ready \
                "$FLOOD_ADDRESS" && exit 0
        sleep 0.1
    done
    echo "the flooding peer did not start" >&2
    exit 1
    ;;
flood-stop)
    stop_peer FLOOD flood "$FLOOD_ADDRESS" vw31-b
    ;;
down)
    for line in "${HOSTS[@]}" "CLIENTE"; do
        name=${line%% *}
        stop_pids "$state/$name/run/"{smbd,nmbd}.pid
    done
    sleep 0.3
    remove_namespaces
    ;;
*)
    echo "unknown command: $command" >&2
    exit 2
    ;;
esac
