# Shared by the package tests: a machine of its own for the installed program
# to run on. A network namespace with one interface (10.211.76.2, no route out:
# nothing leaves it), its own host name and hosts file, and a virtual display.
# The caller sets STATE (a work directory) and sources this file.

# The program runs only in this namespace: a refresh there would sweep its one
# subnet, which holds nothing but the machine itself.
DESKTOP_NAMESPACE=${VEXOR_NETNS_PREFIX:-vxp}-desktop
DESKTOP_ADDRESS=10.211.76.2
DESKTOP_HOST=caixa-teste

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Creates the namespace; runs "$@" inside it with its own mounts and host name.
run_on_test_machine() {
    ip netns del "$DESKTOP_NAMESPACE" 2>/dev/null || true
    ip netns add "$DESKTOP_NAMESPACE"
    ip -n "$DESKTOP_NAMESPACE" link set lo up
    # Both ends of the pair stay inside: the interface is up, and nothing it
    # sends can go anywhere else.
    ip -n "$DESKTOP_NAMESPACE" link add d0 type veth peer name d1
    ip -n "$DESKTOP_NAMESPACE" addr add "$DESKTOP_ADDRESS/24" dev d0
    ip -n "$DESKTOP_NAMESPACE" link set d1 up
    ip -n "$DESKTOP_NAMESPACE" link set d0 up
    printf '127.0.0.1\tlocalhost\n%s\t%s\n' "$DESKTOP_ADDRESS" "$DESKTOP_HOST" >"$STATE/hosts"
    local status=0
    ip netns exec "$DESKTOP_NAMESPACE" unshare -m -u --propagation private sh -c \
        'mount --bind "$1" /etc/hosts && hostname "$2" && shift 2 && exec "$@"' \
        sh "$STATE/hosts" "$DESKTOP_HOST" "$@" || status=$?
    ip netns pids "$DESKTOP_NAMESPACE" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
    ip netns del "$DESKTOP_NAMESPACE" 2>/dev/null || true
    return "$status"
}

# Inside the machine: a virtual display with a window manager.
start_display() {
    local display=61
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$display"
    for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    if [ "${1:-}" != no-wm ]; then
        icewm >/dev/null 2>&1 &
        WM_PID=$!
        sleep 1
    fi
}

stop_display() {
    kill "${WM_PID:-}" "${XVFB_PID:-}" 2>/dev/null || true
}

# Waits for the program's window, presses Alt+I, then closes the notice that
# says where the report goes.
print_report() {
    local window notice
    # Only a mapped window can take the focus: an X error ends xdotool, so
    # the focus is retried (bounded) until the window manager or X accepts it.
    window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Vexor Moralto - v2\.5$' |
        sed -n 1p) || fail "the window did not appear"
    local focused=no
    for _ in $(seq 50); do
        if timeout 5 xdotool windowactivate --sync "$window" 2>/dev/null ||
            timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null; then
            focused=yes
            break
        fi
        sleep 0.1
    done
    [ "$focused" = yes ] || fail "the window never took the focus"
    sleep 0.3
    xdotool key alt+i
    notice=$(timeout 60 xdotool search --sync --onlyvisible --name '^Arquivo de IP$' | sed -n 1p) ||
        fail "the notice box did not appear"
    sleep 0.3
    xdotool windowactivate --sync "$notice" 2>/dev/null || xdotool windowfocus "$notice" || true
    xdotool key Return
    REPORT_WINDOW=$window
}

# The report of a machine that has not listed its network yet.
expected_report() {
    printf 'Local: %s\r\n\r\n- %s\r\n\r\nRede:\r\n\r\n' "$(echo "$DESKTOP_HOST" | tr a-z A-Z)" \
        "$DESKTOP_ADDRESS"
}
