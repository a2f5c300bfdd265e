#!/usr/bin/env bash
# Keystrokes in the main window on a real X server: uibench's BM_Window cases on
# Xvfb with a window manager (openbox), each run in a process of its own, so that
# first_ms is the first keystroke of a program just started. Offscreen, the same
# cases show what the X server adds.
#
#   bench/xcb-typing.sh [BUILD_DIR [RUNS]]
#
# BUILD_DIR holds bench/uibench (default: build next to this script's folder);
# RUNS processes per case (default 3). PERF=FILE records the first run of each
# case with perf (Debian linux-perf) into FILE.CASE-COUNT-MAXIMIZED; Qt has no
# frame pointers, so the call graphs come from DWARF.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${2:-3}
uibench=$build/bench/uibench
[[ -x $uibench ]] || { echo "xcb-typing: $uibench not found; build first" >&2; exit 2; }
for tool in Xvfb openbox ${PERF:+perf}; do
    command -v "$tool" >/dev/null || { echo "xcb-typing: $tool not installed (xvfb, openbox, linux-perf)" >&2; exit 2; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || { echo "xcb-typing: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(cat "$work/display")
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1 # the window manager takes over the screen before the first window maps

export QT_QPA_PLATFORM=xcb
echo "X display $DISPLAY, openbox; $runs processes per case"
# The window at its own size and maximized (the list grows with it).
for case in BM_WindowTyping/1000000/0 BM_WindowTyping/1000000/1 BM_WindowBusiestKeys/1000000/0 \
    BM_WindowBusiestKeys/1000000/1; do
    for ((i = 0; i < runs; i++)); do
        cmd=("$uibench" "--benchmark_filter=^$case/")
        if [[ -n ${PERF:-} && $i -eq 0 ]]; then
            cmd=(perf record --call-graph dwarf,32768 -F 2000 -o "$PERF.${case//\//-}" -- "${cmd[@]}")
        fi
        "${cmd[@]}" 2>/dev/null | grep "^$case" || { echo "xcb-typing: $case failed" >&2; exit 1; }
    done
done
