#!/usr/bin/env bash
# End to end under weston with XWayland, which places windows itself: the
# presenter view must sit on the work area and the bar on the screen. (The
# launcher's script runs under openbox.)
# Usage: windowmanager_e2e.sh KELVORA OUTPUT_DIR
# Starts its own virtual screen.
set -euo pipefail

kelvora=$1 out=$2
source "$(dirname "$0")/driving.sh"
enter_virtual_screen
export OPTRELLE_CAMERAS=15aa:1555@640x480

# --- weston with XWayland, headless. A Wayland session: Kelvora goes through
# XWayland by itself.
new_home weston
export XDG_RUNTIME_DIR=$out/weston-runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --xwayland --socket=kelvora-e2e --width=1920 \
    --height=1080 --idle-time=0 > "$out/weston.log" 2>&1 & pids+=($!)
wait_for "XWayland" grep -q 'xserver listening on display' "$out/weston.log"
DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$out/weston.log")
export DISPLAY WAYLAND_DISPLAY=kelvora-e2e
unset QT_QPA_PLATFORM

start_kelvora
# weston's panel takes the top of the screen; the work area is the rest.
presenter_on_work_area() {
    read -r x y w h <<< "$(geometry_of DuzeVovad)"
    ((x == 0 && y < 100 && w == 1920 && y + h == 1080))
}
wait_for "the presenter view at (0, 0) of the work area" presenter_on_work_area
geometry_is VizaviRerer "1868 784 50 254" || fail "the bar is at $(geometry_of VizaviRerer)"
kill "$app"

echo "window manager end-to-end: all checks passed; screenshots in $out"
