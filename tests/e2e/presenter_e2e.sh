#!/usr/bin/env bash
# End to end: the presenter view on simulated cameras, on a virtual 1920x1080
# screen, driven with xdotool like a person and by a stand-in annotation program.
# Every run has its own home. Looks at what the program shows and writes.
# Usage: presenter_e2e.sh KELVORA COPYDATAPEER DROPTARGET OUTPUT_DIR
# Runs itself again inside xvfb-run.
set -euo pipefail

kelvora=$1 peer=$2 droptarget=$3 out=$4
source "$(dirname "$0")/driving.sh"
enter_virtual_screen "$@"

area_digest() { import -window root -crop 1920x1040+0+0 rgb:- | md5sum; }
picture_changed_from() { [[ $(area_digest) != "$1" ]]; }

capture_button() { bar_button 13; }
rotate_left_button() { bar_button 10; }
rotate_right_button() { bar_button 11; }
visible_windows() { xdotool search --onlyvisible --class kelvora 2>/dev/null | wc -l; }
choose_resolution_entry() { # opens the list, then walks down from entry 0
    local before; before=$(visible_windows)
    xdotool mousemove $((534 + 7 * 43 + 2 + 40)) 1060 click 1
    list_open() { (($(visible_windows) > before)); }
    wait_for "the resolution list to open" list_open
    xdotool key Home $(printf 'Down %.0s' $(seq "$1")) Return
}

# --- No camera: a message asks for one (its text is checked by the unit test),
# and the program ends cleanly once it is closed.
new_home no-camera
OPTRELLE_CAMERAS= "$kelvora" & app=$!; pids+=($app)
box_window() { xdotool search --onlyvisible --class kelvora 2>/dev/null | head -n 1; }
has_box() { [[ -n $(box_window) ]]; }
wait_for "the message without a camera" has_box
box=$(box_window)
import -window root "$out/no-camera.png"
has_window VizaviRerer && fail "the launcher bar appeared without a camera"
xdotool windowfocus --sync "$box" key Return
status=0; wait "$app" || status=$?
[[ $status == 0 ]] || fail "without a camera Kelvora ended with status $status"
log_has 摄像头个数为0 || fail "no camera count in the log: $(cat "$log")"

# --- Two cameras, the document camera second; the annotation program listens.
new_home two-cameras
heard=$out/scribvane.txt
"$peer" listen Scribvane "$heard" & pids+=($!)
wait_for "the stand-in annotation program" "$peer" probe Scribvane
OPTRELLE_CAMERAS='1234:abcd;0ac8:c498' "$kelvora" & app=$!; pids+=($app)
wait_for "the presenter view" has_window DuzeVovad
wait_for "the presenter to listen" "$peer" probe DuzeVovad
log_has "主头索引为: 1, 副头索引为: 0" || fail "camera choice: $(cat "$log")"
log_has "副头pid=1234, vid=abcd (3)" || fail "secondary camera line: $(cat "$log")"
# A 640x480 picture fitted to 1920x1040: 1387 wide, the full height.
wait_for "the fitted live picture" picture_width_near 1387
read -ra fitted <<< "$(picture_box)"
[[ ${fitted[1]} == 1036 ]] || fail "fitted picture is ${fitted[*]}"
import -window root "$out/presenter.png"

capture_button
take_still_of "a still at entry 0" 3264x2448
choose_resolution_entry 1
capture_button
take_still_of "a still at entry 1" 640x480
rotate_right_button
capture_button
take_still_of "a still turned right" 480x640
rotate_left_button

command() { "$peer" send DuzeVovad "$1" || fail "command $1 was not answered"; }
command RotateR
wait_for "the turned picture" picture_width_near 1040
rotate_left_button
wait_for "the picture upright again" picture_width_near 1387
command Photo # answered once the still is written
take_still_of "the annotation program's photo" 640x480
command ZommOut
wait_for "the enlarged picture" picture_width_near 1664
command ZommIn
wait_for "the picture back at its fit" picture_width_near 1387
command "Photo RotateR"
has_still && fail "a text with both Photo and RotateR took a photo"
wait_for "the picture turned by the joint command" picture_width_near 1040
rotate_left_button
wait_for "the picture upright after the joint command" picture_width_near 1387
command FreeZe
# The zoom percentage shows for 1.2 s; once it has faded, nothing moves.
settled() {
    local before; before=$(area_digest)
    sleep 1.5
    [[ $(area_digest) == "$before" ]]
}
wait_for "the frozen picture" settled
frozen=$(area_digest)
sleep 1 # some thirty frames come and go
[[ $(area_digest) == "$frozen" ]] || fail "the frozen picture changed"
command FreeZe
wait_for "the live picture after unfreezing" picture_changed_from "$frozen"

# The snapshot window: a press takes a still, the drag carries it as a file URL.
drops=$out/drops.txt
: > "$drops"
"$droptarget" DropTarget 100 100 "$drops" & pids+=($!)
wait_for "the drop target" has_window DropTarget
launcher_button 4 1868 # snapshot window
wait_for "the snapshot window" has_window QSnapWidget
xdotool mousemove 1670 870 mousedown 1
take_still_of "the snapshot's still" 640x480
for step in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove $((1670 - step * 142)) $((870 - step * 62))
    sleep 0.05 # a hand moves the pointer
done
xdotool mouseup 1
dropped() { [[ -s $drops ]]; }
wait_for "the drop" dropped
grep -qE '^file:///.+/[0-9]{14}\.jpg$' "$drops" || fail "dropped: $(cat "$drops")"
log_has 抓图未生成文件 && fail "the snapshot gave up waiting: $(cat "$log")"

# A double click tells the annotation program to switch and moves the bar left.
launcher_button 5 1868 # the live picture again
wait_for "the presenter view again" has_window DuzeVovad
: > "$heard"
xdotool mousemove 100 500 click --repeat 2 --delay 80 1 # on the stage beside the picture
heard_switch() { [[ $(cat "$heard") == Switch* ]]; }
wait_for "Switch at the annotation program" heard_switch
bar_at_left() { eval "$(xdotool getwindowgeometry --shell "$(window_of VizaviRerer)")"; [[ $X == 0 ]]; }
wait_for "the bar at the left edge" bar_at_left
launcher_button 7 0 # Exit
status=0; wait "$app" || status=$?
[[ $status == 0 ]] || fail "Kelvora ended with status $status"

# --- A camera mounted turned: a rotation entry beside the program.
new_home turned-camera
program=$out/program
mkdir -p "$program"
cp "$kelvora" "$program/kelvora"
printf '[Rotate]\nvalue=0ac8&c498=90|\n' > "$program/conf.ini"
# The desk: red above, blue below; turned clockwise, red is on the right.
convert -size 640x480 xc:red -fill blue -draw 'rectangle 0 240 639 479' "$out/desk.png"
OPTRELLE_CAMERAS=0ac8:c498 OPTRELLE_SCENE=$out/desk.png "$program/kelvora" & app=$!; pids+=($app)
wait_for "the presenter view" has_window DuzeVovad
# Upright 480 x 640, filling the 1040-pixel height: 780 wide.
wait_for "the turned first picture" picture_width_near 780
read -ra turned <<< "$(picture_box)"
import -window root "$out/turned.png"
[[ ${turned[1]} == 1036 ]] || fail "turned picture is ${turned[*]}"
middle=$((turned[3] + 518))
[[ $(pixel_of "$out/screen.png" $((turned[2] + 20)) $middle) == "0 0 255" ]] || fail "left of the turned picture is not blue"
[[ $(pixel_of "$out/screen.png" $((turned[2] + turned[0] - 20)) $middle) == "255 0 0" ]] \
    || fail "right of the turned picture is not red"
launcher_button 7 1868 # Exit
status=0; wait "$app" || status=$?
[[ $status == 0 ]] || fail "Kelvora ended with status $status"

echo "presenter end-to-end: all checks passed; screenshots in $out"
