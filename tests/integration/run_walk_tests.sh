#!/usr/bin/env bash
# Runs the integration test binary as the client of the Samba network, or skips
# (exit 77) when the network could not be brought up for want of namespaces.
# usage: run_walk_tests.sh STATE_DIR TEST_BINARY [stopped]
set -euo pipefail
here=$(dirname "$0")
state=$1
binary=$2
if [ -f "$state.skip" ]; then
    cat "$state.skip"
    exit 77
fi
if [ "${3:-}" = stopped ]; then
    # Killed outright, the host sends no farewell announcement: the browse master
    # keeps listing it. The client's cache of resolved names is cleared.
    bash "$here/samba_network.sh" stop-host "$state" EPSILON
    bash "$here/samba_network.sh" client "$state" net cache flush >/dev/null 2>&1 || true
    exec bash "$here/samba_network.sh" client "$state" "$binary" --gtest_filter='SambaNetworkStopped.*'
fi
exec bash "$here/samba_network.sh" client "$state" "$binary" --gtest_filter='SambaNetwork.*'
