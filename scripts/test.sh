#!/usr/bin/env bash
# Installs what the tests need, builds the program and every test suite, and runs
# them all. BUILD_DIR and CMAKE_ARGS choose another build (the sanitizer run).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh

# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $RUN_PACKAGES $DISPLAY_PACKAGES $TEST_PACKAGES

build_dir=${BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_ARGS:-} >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
# Samba keeps some memory for the life of the process; the sanitizer build is
# told so, and reports any other leak.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan-suppressions.txt:print_suppressions=0"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build_dir" --output-on-failure --parallel 2

# The Windows program, cross-built and tested under Wine.
if [ -z "${VEXOR_SKIP_WINDOWS:-}" ]; then
    bash scripts/test-windows.sh
fi

# Both packages, installed, run and removed as a user would.
if [ -z "${VEXOR_SKIP_PACKAGES:-}" ]; then
    bash scripts/test-packages.sh
fi
