#!/usr/bin/env bash
# Installs what is missing, builds a release and starts the program. Without a
# display it runs the window on a virtual one (Xvfb), saves a screenshot and
# says where.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh

# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $RUN_PACKAGES
cmake --preset release >/dev/null
cmake --build --preset release --parallel "$(nproc)"
program=build-release/src/vexormoralto

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$program" "$@"
fi

# shellcheck disable=SC2086
ensure_packages $DISPLAY_PACKAGES
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
icewm >/dev/null 2>&1 &
wm=$!
trap 'kill "$wm" "$xvfb" 2>/dev/null || true' EXIT
# The screenshot is of the window as it opens, with no refresh: nothing is
# meant to be swept on this machine's network, so the sweep stays off.
"$program" --sem-varredura "$@" &
app=$!
sleep 3
mkdir -p out
shot="$PWD/out/vexormoralto.png"
import -window root "$shot"
kill "$app" 2>/dev/null || true
echo "No display here: the window ran on a virtual display. Screenshot: $shot"
