#!/usr/bin/env bash
# Runs the integration test binary as the client of the Samba network, or skips
# (exit 77) when the network could not be brought up for want of namespaces.
# usage: run_walk_tests.sh STATE_DIR TEST_BINARY [wins|stale|stopped|modern]
#   (none)   the client's resolver is a stock one: files, then DNS
#   wins     the same tests with "hosts: files wins" and winbindd
#   stale    two servers' links are taken down between two refreshes
#   stopped  one server's daemons are killed first
#   silent   one browse master's SMB server is stopped between two refreshes
#   decoy    a browse master of a workgroup named like a listener's address joins
#   modern   as the client of the modern network instead (modern_network.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$1
binary=$2
network="$here/samba_network.sh"
if [ -f "$state.skip" ]; then
    cat "$state.skip"
    exit 77
fi
case "${3:-}" in
modern)
    exec bash "$here/modern_network.sh" client "$state" "$binary" --gtest_filter='ModernNetwork.*'
    ;;
wins)
    exec bash "$network" client-wins "$state" "$binary" --gtest_filter='SambaNetwork.*'
    ;;
stale)
    export VEXOR_LINKS_DOWN="bash $network link $state BETA down && bash $network link $state EPSILON down"
    export VEXOR_LINKS_UP="bash $network link $state BETA up && bash $network link $state EPSILON up"
    exec bash "$network" client "$state" "$binary" --gtest_filter='SambaNetworkStale.*'
    ;;
silent)
    export VEXOR_SILENCE="bash $network silence $state DELTA STOP"
    export VEXOR_UNSILENCE="bash $network silence $state DELTA CONT"
    exec bash "$network" client "$state" "$binary" --gtest_filter='SambaNetworkSilent.*'
    ;;
decoy)
    bash "$network" decoy "$state" start
    status=0
    VEXOR_LISTENER_LOG="$state/LISTENER/connections" bash "$network" client "$state" "$binary" \
        --gtest_filter='SambaNetworkDecoy.*' || status=$?
    bash "$network" decoy "$state" stop
    exit "$status"
    ;;
stopped)
    # Killed outright, the host sends no farewell announcement: the browse master
    # keeps listing it. The client's cache of resolved names is cleared.
    bash "$network" stop-host "$state" EPSILON
    bash "$network" client "$state" net cache flush >/dev/null 2>&1 || true
    exec bash "$network" client "$state" "$binary" --gtest_filter='SambaNetworkStopped.*'
    ;;
esac
exec bash "$network" client "$state" "$binary" --gtest_filter='SambaNetwork.*'
