#!/usr/bin/env bash
# Start-up and refresh benchmarks of the Linux program. Builds a release, then:
# time from exec to the first paint and peak memory of the program against a bare
# Qt window (median of several alternating runs on a virtual display), then two
# windows that show where the difference lies: one label in the program's font,
# and the program's own controls with none of the program behind them; and the
# cost per line of a refresh of 4096 and of 32767 machines.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $RUN_PACKAGES $DISPLAY_PACKAGES

build=build-bench
cmake --preset bench >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target bench_startup_probe bench_bare_window bench_label_window \
    bench_controls_window bench_refresh

display=${BENCH_DISPLAY:-120}
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

runs=${BENCH_RUNS:-15}
measure() { # program -> "milliseconds maxrss_kb"
    local start line
    start=$(date +%s%N)
    line=$("$1" 2>/dev/null | grep first_paint_ns)
    local painted=${line#first_paint_ns=}
    painted=${painted%% *}
    echo "$(( (painted - start) / 1000 )) ${line##*maxrss_kb=}"
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

: >/tmp/vexor-bench-app
: >/tmp/vexor-bench-bare
: >/tmp/vexor-bench-label
: >/tmp/vexor-bench-controls
"$build/bench/bench_bare_window" >/dev/null 2>&1 || true # warm the caches
for _ in $(seq "$runs"); do
    measure "$build/bench/bench_bare_window" >>/tmp/vexor-bench-bare
    measure "$build/bench/bench_label_window" >>/tmp/vexor-bench-label
    measure "$build/bench/bench_controls_window" >>/tmp/vexor-bench-controls
    measure "$build/bench/bench_startup_probe" >>/tmp/vexor-bench-app
done
app_us=$(cut -d' ' -f1 /tmp/vexor-bench-app | median)
bare_us=$(cut -d' ' -f1 /tmp/vexor-bench-bare | median)
app_kb=$(cut -d' ' -f2 /tmp/vexor-bench-app | median)
bare_kb=$(cut -d' ' -f2 /tmp/vexor-bench-bare | median)
echo "exec to first paint: program ${app_us} us, bare Qt window ${bare_us} us," \
    "ratio $(awk -v a="$app_us" -v b="$bare_us" 'BEGIN { printf "%.2f", a / b }')"
echo "peak memory:         program ${app_kb} kB, bare Qt window ${bare_kb} kB," \
    "ratio $(awk -v a="$app_kb" -v b="$bare_kb" 'BEGIN { printf "%.2f", a / b }')"
echo "(aim: both ratios within 1.15)"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
reference() { # name file -> its figures, its ratios to the bare window, the program's to it
    local us kb
    us=$(cut -d' ' -f1 "$2" | median)
    kb=$(cut -d' ' -f2 "$2" | median)
    echo "$1: ${us} us, ${kb} kB, ratios $(ratio "$us" "$bare_us") and" \
        "$(ratio "$kb" "$bare_kb") to the bare window; the program against it:" \
        "$(ratio "$app_us" "$us") and $(ratio "$app_kb" "$kb")"
}
reference "one label in the program's font (the least a window with text costs)" \
    /tmp/vexor-bench-label
reference "the program's controls with nothing behind them" /tmp/vexor-bench-controls

QT_QPA_PLATFORM=offscreen "$build/bench/bench_refresh"
