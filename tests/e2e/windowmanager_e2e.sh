#!/usr/bin/env bash
# End to end under window managers, which place and stack windows themselves:
# openbox on the virtual X screen, where the launcher bar must stay above every
# full-screen tool window it opens, then weston with XWayland, where the presenter
# view must sit on the work area and the bar on the screen.
# Usage: windowmanager_e2e.sh KELVORA OUTPUT_DIR
# Runs itself again inside xvfb-run.
set -euo pipefail

kelvora=$1 out=$2
source "$(dirname "$0")/driving.sh"
enter_virtual_screen "$@"
export OPTRELLE_CAMERAS=15aa:1555@640x480

# --- openbox: each launcher button opens a full-screen window; the bar stays in
# sight at its place above it, and its next button works.
new_home openbox
openbox --sm-disable 2> "$out/openbox.log" & pids+=($!)
openbox_runs() { xdotool get_num_desktops > /dev/null 2>&1; }
wait_for "openbox" openbox_runs

start_kelvora
geometry_is VizaviRerer "1868 784 50 254" || fail "the bar is at $(geometry_of VizaviRerer)"
wait_for "the presenter view on the work area" geometry_is DuzeVovad "0 0 1920 1080"

bar_area=50x254+1868+784
# The pointer rests on the presenter's picture, so no button of the bar is lit.
bar_shot() { xdotool mousemove 900 500; import -window root -crop $bar_area +repage "$out/$1.png"; }
bar_shot bar-alone
# The bar as first seen, give or take the focus frame of the button last pressed.
bar_in_sight() {
    bar_shot "bar-$1"
    local differing
    differing=$(compare -metric AE -fuzz 10% "$out/bar-alone.png" "$out/bar-$1.png" null: 2>&1) || true
    (( ${differing%% *} < 800 ))
}
after_button() { # ROW WINDOW: presses the bar's button, waits for the window and the bar
    launcher_button "$1" 1868
    wait_for "$2" has_window "$2"
    wait_for "$2 to cover the work area" geometry_is "$2" "0 0 1920 1080"
    # Taken into use: openbox lifts a focused frameless window of the screen's size
    # above every "always on top" one.
    timeout 5 xdotool windowactivate --sync "$(window_of "$2")" 2> /dev/null || true
    wait_for "the bar above $2" bar_in_sight "$2"
}

after_button 0 同屏对比 # compare
after_button 3 高拍仪   # edit: the scanner window
launcher_button 4 1868   # snapshot: the presenter view makes way for the snapshot window
wait_for "the snapshot window" has_window QSnapWidget
wait_for "the comparison window to close" has_no_window 同屏对比
wait_for "the bar above the scanner window" bar_in_sight snapshot
after_button 5 DuzeVovad # presenter
exit_by_button

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
