#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the panel and the supply simulator and runs the panel against the simulator,
# which stands in for a ZRM supply on COM1.
#   scripts/demo.sh                          the panel on the current display
#   scripts/demo.sh -- --model ZRM-3033 --output-on
#                                            options after -- go to the simulator
#                                            (see build/zrm-sim --help)
#   scripts/demo.sh --screenshot FILE.png    run on a virtual display, save a picture of
#                                            the screen after about 5 s, then stop
set -euo pipefail
source "$(dirname "$0")/setup.sh"

usage() {
    sed -n '2,9s/^# \{0,1\}//p' "$0"
}

screenshot=""
sim_args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --screenshot)
        [ $# -ge 2 ] || { usage >&2; exit 2; }
        screenshot="$(realpath -m "$2")"
        shift 2
        ;;
    --)
        shift
        sim_args=("$@")
        break
        ;;
    -h | --help)
        usage
        exit 0
        ;;
    *)
        usage >&2
        exit 2
        ;;
    esac
done

sim_pid=""
sim_out=""

# SIGTERM lets the simulator remove its link before it ends.
stop_simulator() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -f "$sim_out"
}

# Starts the simulator behind a link, points COM1 at it and the other ports nowhere (so
# the panel never opens this machine's own serial ports), then runs the panel. With a
# screenshot file, the panel is stopped after the picture is taken.
run_demo() {
    local runtime_dir="${XDG_RUNTIME_DIR:-/tmp}"
    local link="$runtime_dir/zrm-demo-com1"
    sim_out="$(mktemp)"
    "$ZRM_ROOT/build/zrm-sim" --link "$link" "${sim_args[@]}" >"$sim_out" </dev/null &
    sim_pid=$!
    trap stop_simulator EXIT

    local tries=0
    until [ -L "$link" ]; do
        if ! kill -0 "$sim_pid" 2>/dev/null || [ $tries -ge 100 ]; then
            echo "The simulator did not start." >&2
            exit 1
        fi
        tries=$((tries + 1))
        sleep 0.1
    done
    echo "Simulated supply on $(head -n 1 "$sim_out"), linked as $link (COM1)."

    export ZRM_COM1="$link"
    local n
    for n in 2 3 4; do
        export "ZRM_COM$n=/nonexistent/zrm-demo-com$n"
    done

    if [ -z "$screenshot" ]; then
        "$ZRM_ROOT/build/zrm-panel"
        return
    fi
    "$ZRM_ROOT/build/zrm-panel" &
    local panel_pid=$!
    sleep 5
    # Just the panel's window; the whole screen if it cannot be found.
    local window
    window="$(xwininfo -root -tree | awk '/"ZRM Switching Power Supply"/ {print $1; exit}')"
    import -window "${window:-root}" "$screenshot"
    kill "$panel_pid" 2>/dev/null || true
    wait "$panel_pid" 2>/dev/null || true
    echo "Screenshot saved to $screenshot"
}

# Second stage of --screenshot: already built, now inside the virtual display.
if [ -n "${ZRM_DEMO_IN_XVFB:-}" ]; then
    export QT_QPA_PLATFORM=xcb
    run_demo
    exit 0
fi

if [ -n "$screenshot" ]; then
    zrm_require_packages build demo
else
    zrm_require_packages build
fi
zrm_build "$ZRM_ROOT/build" -- zrm-panel zrm-sim

if [ -n "$screenshot" ]; then
    # A virtual display even when a real one exists, for a clean picture.
    ZRM_DEMO_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" \
        "$0" --screenshot "$screenshot" -- "${sim_args[@]}"
    exit 0
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the panel" >&2
    echo "cannot open its window here. To run it on a virtual display and get a picture:" >&2
    echo "  $0 --screenshot zrm-demo.png${sim_args[*]:+ -- ${sim_args[*]}}" >&2
    exit 1
fi
run_demo
