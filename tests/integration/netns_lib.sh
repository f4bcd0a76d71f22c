# Shared by the scripts that build test networks in namespaces. The caller sets
# PREFIX (of its namespace names) and SAMBA_DIRS before sourcing it.

ns() { echo "$PREFIX-$(echo "$1" | tr 'A-Z' 'a-z')"; }

# The commands that give a process the host's own Samba directories.
mounts_for() {
    local dir=$1 pair
    for pair in $SAMBA_DIRS; do
        printf 'mkdir -p %s && mount --bind %s/%s %s && ' "${pair#*:}" "$dir" "${pair%%:*}" "${pair#*:}"
    done
}

# Every Samba instance keeps its state in directories of its own under DIR.
make_instance_dirs() {
    mkdir -p "$1"/{etc,run,lib,cache,log,private,lock,state,ncalrpc}
}

# The smb.conf lines that point an instance at those directories.
instance_paths() {
    local dir=$1
    cat <<PATHS
   lock directory = $dir/lock
   state directory = $dir/state
   cache directory = $dir/cache
   private dir = $dir/private
   pid directory = $dir/run
   ncalrpc dir = $dir/ncalrpc
   log file = $dir/log/%m.log
PATHS
}

add_host_namespace() {
    local namespace=$1 address=$2 index=$3
    ip netns add "$namespace"
    # Both ends are made inside the namespaces, so two test networks brought up
    # at once never meet on a link name in the machine's own namespace.
    ip -n "$PREFIX-br" link add "v$index-b" type veth peer name eth0 netns "$namespace"
    ip -n "$PREFIX-br" link set "v$index-b" master br0 up
    ip -n "$namespace" link set lo up
    ip -n "$namespace" addr add "$address/24" dev eth0
    ip -n "$namespace" link set eth0 up
    ip netns exec "$namespace" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 || true
    # No default route here: multicast needs a route of its own.
    ip -n "$namespace" route add 224.0.0.0/4 dev eth0
}

# A bridge in a namespace of its own joins the hosts; it forwards every
# multicast group to every port.
add_bridge() {
    ip netns add "$PREFIX-br"
    ip -n "$PREFIX-br" link add br0 type bridge
    ip -n "$PREFIX-br" link set br0 up
    ip netns exec "$PREFIX-br" sh -c 'echo 0 >/sys/class/net/br0/bridge/multicast_snooping'
}

# Kills what still runs in this script's namespaces, then removes them.
remove_namespaces() {
    local namespace
    for namespace in $(ip netns list 2>/dev/null | awk '{print $1}' | grep "^$PREFIX-" || true); do
        ip netns pids "$namespace" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
        ip netns del "$namespace" 2>/dev/null || true
    done
}

# True when this machine lets the script make network namespaces.
namespaces_permitted() {
    unshare -n true 2>/dev/null && ip netns add "$PREFIX-probe" 2>/dev/null &&
        ip netns del "$PREFIX-probe"
}


stop_pids() {
    local file
    for file in "$@"; do
        [ -f "$file" ] && kill "$(cat "$file")" 2>/dev/null || true
    done
}

