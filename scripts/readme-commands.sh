#!/usr/bin/env bash
# Runs the README's commands as a new user would copy them: the command that
# starts the program, and every cmake command it shows (builds, presets,
# workflows, both packages). The test command is the one CI runs first, and
# commands that install onto the machine are left to the package tests. A
# command that fails fails this script.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $RUN_PACKAGES $DISPLAY_PACKAGES $WINDOWS_PACKAGES $PACKAGING_PACKAGES \
    $FUZZ_PACKAGES $TEST_PACKAGES

# Indented lines of README.md are its commands.
mapfile -t commands < <(sed -n 's/^    \(bash scripts\/run\.sh\|cmake .*\)$/\1/p' README.md)
[ "${#commands[@]}" -gt 0 ] || { echo "FAIL: no commands found in README.md" >&2; exit 1; }
for command in "${commands[@]}"; do
    echo "== README: $command =="
    # A command that this CI run already ran as written (the test workflow) is not run twice.
    if [ -n "${VEXOR_LEDGER:-}" ] && grep -qF "command:$command	ran" "$VEXOR_LEDGER" 2>/dev/null; then
        echo "ran earlier in this run: $(grep -F "command:$command	ran" "$VEXOR_LEDGER" | head -n 1 | cut -f3)"
        continue
    fi
    # No display: the program runs on a virtual one and leaves a screenshot.
    env -u DISPLAY -u WAYLAND_DISPLAY bash -euo pipefail -c "$command" </dev/null
done
echo "readme: ${#commands[@]} passed, 0 failed"
