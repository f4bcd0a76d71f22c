#!/usr/bin/env bash
# Installs what the tests need, builds the program and every test suite, and runs
# them all. VEXOR_PRESET chooses another build (the sanitizer run: sanitize).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh

# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $RUN_PACKAGES $DISPLAY_PACKAGES $TEST_PACKAGES

preset=${VEXOR_PRESET:-linux}
# The README's workflow: configure, build and run every suite of the tree once.
# The sanitizer's test preset tells it that Samba keeps some memory for the
# life of the process; any other leak is reported.
CMAKE_BUILD_PARALLEL_LEVEL=$(nproc) cmake --workflow --preset "$preset"
binary_dir=build
[ "$preset" = linux ] || binary_dir=build-$preset
# Which layers ran, for CI's check that none was skipped unseen.
python3 scripts/ledger.py ctest "$preset" "$binary_dir" "$binary_dir/ctest-junit.xml"
python3 scripts/ledger.py record "command:cmake --workflow --preset $preset" ran "by scripts/test.sh"

# The Windows program, cross-built and tested under Wine.
if [ -z "${VEXOR_SKIP_WINDOWS:-}" ]; then
    bash scripts/test-windows.sh
fi

# Both packages, installed, run and removed as a user would.
if [ -z "${VEXOR_SKIP_PACKAGES:-}" ]; then
    bash scripts/test-packages.sh
fi
