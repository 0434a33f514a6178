#!/usr/bin/env bash
# End to end: the presenter view and the windows it opens (spotlight, secondary
# camera, snapshot, settings), on simulated cameras and a virtual 1920x1080
# screen, driven with xdotool like a person and by a stand-in annotation
# program. Every run has its own home. Looks at what the program shows and writes.
# (Without a camera the program asks for one and ends: its unit test starts it so.)
# Usage: presenter_e2e.sh KELVORA COPYDATAPEER DROPTARGET OUTPUT_DIR
# Starts its own virtual screen.
set -euo pipefail

kelvora=$1 peer=$2 droptarget=$3 out=$4
source "$(dirname "$0")/driving.sh"
enter_virtual_screen

capture_button() { bar_button 13; }
rotate_left_button() { bar_button 10; }
kelvora_windows() { xdotool search --onlyvisible --class kelvora 2>/dev/null; }
# Opens a drop-down list at X Y and takes its entry N (from the top).
choose_entry() {
    local before; before=$(kelvora_windows | wc -l)
    xdotool mousemove "$1" "$2" click 1
    list_open() { (($(kelvora_windows | wc -l) > before)); }
    wait_for "the list to open" list_open
    xdotool key Home $(printf 'Down %.0s' $(seq "$3")) Return
    list_closed() { (($(kelvora_windows | wc -l) == before)); }
    wait_for "the list to close" list_closed
}

# --- Two cameras, the document camera second; the annotation program listens.
new_home two-cameras
listen_as_annotation_program
export OPTRELLE_CAMERAS='1234:abcd@480x480;0ac8:c498'
start_kelvora
wait_for "the presenter to listen" "$peer" probe DuzeVovad
log_has "主头索引为: 1, 副头索引为: 0" || fail "camera choice: $(cat "$log")"
# A 640x480 picture fitted to 1920x1040: 1387 wide, the full height.
wait_for "the fitted live picture" picture_width_near 1387
read -ra fitted <<< "$(picture_box)"
[[ ${fitted[1]} == 1036 ]] || fail "fitted picture is ${fitted[*]}"
import -window root "$out/presenter.png"

capture_button
take_still_of "a still at entry 0" 3264x2448
choose_entry $((534 + 7 * 43 + 2 + 40)) 1060 1 # resolution
capture_button
take_still_of "a still at entry 1" 640x480
bar_button 11 # turn right
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

# The spotlight: the mask lies under an input window that covers it, so the
# opening is looked for in the mask's own contents.
opening_is() { # "W H X Y" of the see-through part of the grey mask
    import -window "$(window_of QBottomLayer)" "$out/mask.png"
    [[ $(convert "$out/mask.png" -fuzz 2% -fill white -opaque 'gray(100)' -negate -trim \
        -format '%w %h %X %Y' info: | sed 's/+//g') == "$1" ]]
}
bar_button 20
wait_for "the spotlight" has_window QTopLayer
wait_for "the opening where it starts" opening_is "201 101 100 100"
xdotool mousemove 200 150 mousedown 1
drag_to 200 150 260 190
wait_for "the opening moved" opening_is "201 101 160 140"
import -window root "$out/spotlight.png"
bar_button 20
wait_for "the spotlight to go" has_no_window QTopLayer
has_window QBottomLayer && fail "the mask stayed after the spotlight went"

# The secondary camera window at the top-left corner, its square picture 226
# wide in the 300 x 226 video area, above a 30-pixel button bar.
sub_picture_width_near() {
    import -window root -crop 300x226+0+0 "$out/small.png"
    local w; w=$(convert "$out/small.png" +repage -bordercolor black -border 1 -fuzz 3% -trim -format '%w' info:)
    ((w >= $1 - 3 && w <= $1 + 3))
}
bar_button 1
wait_for "the secondary camera window" has_window QSubCamWidget
wait_for "the secondary camera's picture" sub_picture_width_near 226
xdotool mousemove $((150 + 12)) $((226 + 12)) click 1 # its photo button
take_still_of "the secondary camera's still" 480x480
xdotool mousemove $((220 + 12)) $((226 + 12)) click 1 # its close button
wait_for "the secondary camera window to close" has_no_window QSubCamWidget

# The snapshot window: a press takes a still, the drag carries it as a file URL.
drops=$out/drops.txt
: > "$drops"
"$droptarget" DropTarget 100 100 "$drops" & pids+=($!)
wait_for "the drop target" has_window DropTarget
launcher_button 4 1868
wait_for "the snapshot window" has_window QSnapWidget
xdotool mousemove 1670 870 mousedown 1
take_still_of "the snapshot's still" 640x480
drag_to 1670 870 250 250
dropped() { [[ -s $drops ]]; }
wait_for "the drop" dropped
grep -qE '^file:///.+/[0-9]{14}\.jpg$' "$drops" || fail "dropped: $(cat "$drops")"
launcher_button 5 1868
wait_for "the presenter view again" has_window DuzeVovad

# Settings: a new photo folder typed into Qt's folder dialog is stored once and
# the annotation program hears "Update"; the still format (png, the last entry)
# lives in memory only, and the next still is a PNG file in the new folder.
conf=$HOME/Documents/Kelvora/conf.ini
photos=$HOME/photos
mkdir -p "$photos"
: > "$heard"
bar_button 0
wait_for "the settings dialog" has_window 参数设置
read -r dx dy _ <<< "$(geometry_of 参数设置)"
xdotool mousemove $((dx + 535)) $((dy + 81)) click 1
wait_for "the folder dialog" has_window 选择目录
xdotool windowfocus --sync "$(window_of 选择目录)" key ctrl+a
xdotool type --delay 20 "$photos"
xdotool key Return
heard_update() { [[ $(cat "$heard") == Update ]]; }
wait_for "Update at the annotation program" heard_update
choose_entry $((dx + 135)) $((dy + 121)) 3 # still format
xdotool windowfocus --sync "$(window_of 参数设置)" key Escape
wait_for "the settings dialog to close" has_no_window 参数设置
[[ $(cat "$conf") == $'[kelvora]\n'"imagepath=$photos" ]] || fail "conf.ini: $(cat "$conf")"
capture_button
png_still() { find "$photos" -maxdepth 1 -regextype posix-egrep -regex '.*/[0-9]{14}\.png' | grep -q .; }
wait_for "a png still in the new photo folder" png_still
[[ $(identify -format '%m' "$(find "$photos" -name '*.png')") == PNG ]] || fail "the still is no PNG file"

# A double click tells the annotation program to switch and moves the bar left.
: > "$heard"
xdotool mousemove 100 500 click --repeat 2 --delay 80 1 # on the stage beside the picture
heard_switch() { [[ $(cat "$heard") == Switch* ]]; }
wait_for "Switch at the annotation program" heard_switch
bar_at_left() { [[ $(geometry_of VizaviRerer) == "0 "* ]]; }
wait_for "the bar at the left edge" bar_at_left
exit_by_button 0

# --- A camera mounted turned: a rotation entry beside the program.
new_home turned-camera
printf '[Rotate]\nvalue=0ac8&c498=90|\n' > "$(dirname "$kelvora")/conf.ini"
# The desk: red above, blue below; turned clockwise, red is on the right.
convert -size 640x480 xc:red -fill blue -draw 'rectangle 0 240 639 479' "$out/desk.png"
export OPTRELLE_CAMERAS=0ac8:c498 OPTRELLE_SCENE=$out/desk.png
start_kelvora
# Upright 480 x 640, filling the 1040-pixel height: 780 wide.
wait_for "the turned first picture" picture_width_near 780
read -ra turned <<< "$(picture_box)"
[[ ${turned[1]} == 1036 ]] || fail "turned picture is ${turned[*]}"
middle=$((turned[3] + 518))
[[ $(pixel_of "$out/screen.png" $((turned[2] + 20)) $middle) == "0 0 255" ]] || fail "left of the turned picture is not blue"
[[ $(pixel_of "$out/screen.png" $((turned[2] + turned[0] - 20)) $middle) == "255 0 0" ]] \
    || fail "right of the turned picture is not red"
exit_by_button

echo "presenter end-to-end: all checks passed; screenshots in $out"
