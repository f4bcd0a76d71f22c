#!/usr/bin/env bash
# A network neighbourhood of real Samba hosts inside network namespaces that this
# script makes and removes itself. Nothing on the machine's own /etc changes:
# every daemon runs in a private mount namespace over its own directories.
#
#   samba_network.sh up STATE_DIR        start the hosts and wait for the browse lists
#   samba_network.sh client STATE_DIR CMD...   run CMD as the client machine CLIENTE,
#                                               whose resolver is a stock one (files, dns)
#   samba_network.sh client-wins STATE_DIR CMD...   the same with "hosts: files wins"
#   samba_network.sh link STATE_DIR NAME up|down    take one host off the network or back
#   samba_network.sh expected-report STATE_DIR      the IP.txt a refresh should print
#   samba_network.sh stop-host STATE_DIR NAME   kill one host's daemons outright
#   samba_network.sh silence STATE_DIR NAME STOP|CONT   stop one host's SMB server (its
#                                               name service still answers) or resume it
#   samba_network.sh decoy STATE_DIR start|stop   add (or remove) ZETA, browse master of a
#                                               workgroup named like the address of a
#                                               listener that logs every connection
#   samba_network.sh down STATE_DIR      stop everything and remove the namespaces
#
# Where network namespaces are not permitted, "up" leaves STATE_DIR.skip saying so.
set -euo pipefail

SUBNET=10.211.73
PREFIX=${VEXOR_NETNS_PREFIX:-vxm}
# name workgroup address role (master, member, or smb2: a member that refuses SMB1)
HOSTS=(
    "ALFA GRUPOA 11 master"
    "BETA GRUPOA 12 member"
    "GAMA GRUPOA 13 smb2"
    "DELTA GRUPOB 21 master"
    "EPSILON GRUPOB 22 member"
)
CLIENT_ADDRESS=$SUBNET.100
DECOY_ADDRESS=$SUBNET.31
LISTENER_ADDRESS=$SUBNET.50
SAMBA_DIRS="etc:/etc/samba run:/run/samba lib:/var/lib/samba cache:/var/cache/samba log:/var/log/samba"
. "$(dirname "$0")/netns_lib.sh"

command=${1:?usage: samba_network.sh up|client|client-wins|link|stop-host|down STATE_DIR ...}
state=${2:?state directory}
shift 2

write_host_config() {
    local name=$1 group=$2 address=$3 role=$4 dir=$5
    local master=no preferred=no level=0 protocol=NT1
    [ "$role" = master ] && master=yes && preferred=yes && level=65
    [ "$role" = smb2 ] && protocol=SMB2_02
    make_instance_dirs "$dir"
    mkdir -p "$dir/share"
    echo "Arquivos de $name" >"$dir/share/LEIAME.txt"
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
   local master = $master
   preferred master = $preferred
   domain master = $master
   os level = $level
   server min protocol = $protocol
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

write_client_config() {
    local dir=$1
    make_instance_dirs "$dir"
    cat >"$dir/etc/smb.conf" <<CONF
[global]
   netbios name = CLIENTE
   workgroup = GRUPOA
   interfaces = $CLIENT_ADDRESS/24
   bind interfaces only = yes
   name resolve order = bcast
   client min protocol = NT1
   server role = standalone server
$(instance_paths "$dir")
   load printers = no
CONF
    # A stock Debian resolver, as almost every Linux desktop has it; its DNS
    # server is this namespace's own loopback, where nothing answers.
    printf 'passwd: files\ngroup: files\nhosts: files dns\n' >"$dir/nsswitch.conf"
    printf 'passwd: files\ngroup: files\nhosts: files wins\n' >"$dir/nsswitch-wins.conf"
    printf 'nameserver 127.0.0.1\n' >"$dir/resolv.conf"
    printf '127.0.0.1\tlocalhost\n' >"$dir/hosts"
}

# Runs a command as the client: its namespaces, its name, its Samba files, and
# the name service switch NSSWITCH (stock unless told).
in_client() {
    local dir=$state/CLIENTE
    ip netns exec "$(ns CLIENTE)" unshare -m -u --propagation private sh -c \
        "$(mounts_for "$dir") mount --bind $dir/${NSSWITCH:-nsswitch.conf} /etc/nsswitch.conf && \
         mount --bind $dir/hosts /etc/hosts && mount --bind $dir/resolv.conf /etc/resolv.conf && \
         hostname cliente && exec \"\$@\"" client "$@"
}
# The machine's own mDNS daemon, if one runs, is not the client's to ask.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/vexor-no-bus

# Each browse master's list holds every server of its workgroup and the other
# workgroup, and the client sees both workgroups.
browse_complete() {
    local line name group master
    for line in "${HOSTS[@]}"; do
        read -r name group _ <<<"$line"
        master=$([ "$group" = GRUPOA ] && echo ALFA || echo DELTA)
        grep -q "^\"$name\" " "$state/$master/cache/browse.dat" 2>/dev/null || return 1
    done
    grep -q '^"GRUPOB" ' "$state/ALFA/cache/browse.dat" || return 1
    local listing
    listing=$(in_client smbclient -g -N -L //ALFA 2>/dev/null || true)
    grep -q '^Workgroup|GRUPOA|' <<<"$listing" && grep -q '^Workgroup|GRUPOB|' <<<"$listing"
}

case "$command" in
up)
    rm -f "$state.skip"
    if ! namespaces_permitted; then
        # The tests that need this network read the marker and skip.
        echo "SKIPPED: network namespaces are not permitted on this machine" | tee "$state.skip"
        exit 0
    fi
    "$0" down "$state" >/dev/null 2>&1 || true
    # Whatever stops the bring-up half way takes down what it had started.
    trap 'status=$?; [ "$status" -eq 0 ] || "$0" down "$state" >/dev/null 2>&1 || true' EXIT
    rm -rf "$state"
    mkdir -p "$state"
    add_bridge
    index=1
    for line in "${HOSTS[@]}"; do
        read -r name group last role <<<"$line"
        add_host_namespace "$(ns "$name")" "$SUBNET.$last" "$index"
        write_host_config "$name" "$group" "$SUBNET.$last" "$role" "$state/$name"
        index=$((index + 1))
    done
    add_host_namespace "$(ns CLIENTE)" "$CLIENT_ADDRESS" "$index"
    write_client_config "$state/CLIENTE"
    for line in "${HOSTS[@]}"; do
        read -r name _ <<<"$line"
        dir=$state/$name
        ip netns exec "$(ns "$name")" unshare -m --propagation private sh -c \
            "$(mounts_for "$dir") smbd -D -s /etc/samba/smb.conf && nmbd -D -s /etc/samba/smb.conf"
    done
    NSSWITCH=nsswitch-wins.conf in_client winbindd -D -s /etc/samba/smb.conf
    # nmbd's election and announcement timers are compiled in; the lists fill in
    # about half a minute.
    for _ in $(seq 120); do
        if browse_complete; then
            echo "Samba network ready in $state"
            exit 0
        fi
        sleep 1
    done
    echo "The browse lists did not fill in time" >&2
    exit 1
    ;;
client)
    in_client "$@"
    ;;
client-wins)
    NSSWITCH=nsswitch-wins.conf in_client "$@"
    ;;
link)
    ip -n "$(ns "$1")" link set eth0 "$2"
    ;;
expected-report)
    printf 'Local: CLIENTE\r\n\r\n- %s\r\n\r\nRede:\r\n\r\n' "$CLIENT_ADDRESS"
    for line in "${HOSTS[@]}"; do
        read -r name _ last _ <<<"$line"
        printf -- '- %-20s%s.%s\r\n' "$name" "$SUBNET" "$last"
    done
    ;;
stop-host)
    ip netns pids "$(ns "$1")" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
    ;;
silence)
    # The main smbd accepts no more connections; the kernel still completes
    # them, so a client waits its whole time-out for an answer.
    kill "-$2" "$(cat "$state/$1/run/smbd.pid")"
    ;;
decoy)
    if [ "$1" = stop ]; then
        stop_pids "$state/ZETA/run/"{smbd,nmbd}.pid "$state/LISTENER/pid"
        sleep 0.5
        for name in ZETA LISTENER; do
            ip netns pids "$(ns "$name")" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
            ip netns del "$(ns "$name")" 2>/dev/null || true
        done
        # The client forgets them as it would a minute later; until then the
        # sweep rightly lists a machine confirmed on the link moments ago.
        for address in "$DECOY_ADDRESS" "$LISTENER_ADDRESS"; do
            ip -n "$(ns CLIENTE)" neigh flush to "$address" 2>/dev/null || true
        done
        exit 0
    fi
    add_host_namespace "$(ns ZETA)" "$DECOY_ADDRESS" 31
    write_host_config ZETA "$LISTENER_ADDRESS" "$DECOY_ADDRESS" master "$state/ZETA"
    add_host_namespace "$(ns LISTENER)" "$LISTENER_ADDRESS" 32
    mkdir -p "$state/LISTENER"
    : >"$state/LISTENER/connections"
    ip netns exec "$(ns LISTENER)" python3 -c '
import selectors, socket, sys
log = open(sys.argv[2], "a", buffering=1)
ports = selectors.DefaultSelector()
for port in (139, 445):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((sys.argv[1], port))
    listener.listen(16)
    ports.register(listener, selectors.EVENT_READ)
while True:
    for key, _ in ports.select():
        connection, peer = key.fileobj.accept()
        log.write("%s %d\n" % (peer[0], key.fileobj.getsockname()[1]))
        connection.close()
' "$LISTENER_ADDRESS" "$state/LISTENER/connections" >/dev/null 2>&1 &
    echo $! >"$state/LISTENER/pid"
    ip netns exec "$(ns ZETA)" unshare -m --propagation private sh -c \
        "$(mounts_for "$state/ZETA") smbd -D -s /etc/samba/smb.conf && nmbd -D -s /etc/samba/smb.conf"
    # Ready once ZETA, as a browse master, lists its own workgroup.
    for _ in $(seq 90); do
        if in_client smbclient -g -N -L "//$DECOY_ADDRESS" 2>/dev/null |
            grep -q "^Workgroup|$LISTENER_ADDRESS|"; then
            echo "decoy ready"
            exit 0
        fi
        sleep 1
    done
    echo "ZETA did not become the browse master of its workgroup in time" >&2
    exit 1
    ;;
down)
    for line in "${HOSTS[@]}" "CLIENTE"; do
        name=${line%% *}
        [ -f "$state/$name/run/smbd.pid" ] && kill -CONT "$(cat "$state/$name/run/smbd.pid")" 2>/dev/null || true
        stop_pids "$state/$name/run/"{smbd,nmbd,winbindd}.pid
    done
    stop_pids "$state/ZETA/run/"{smbd,nmbd}.pid "$state/LISTENER/pid"
    sleep 0.5
    remove_namespaces
    ;;
*)
    echo "unknown command: $command" >&2
    exit 2
    ;;
esac
