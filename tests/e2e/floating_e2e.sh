#!/usr/bin/env bash
# End to end: the presenter's floating tools on simulated cameras, driven with
# xdotool like a person: the optical zoom panel, the spotlight, the secondary
# camera window and the swap of the two cameras' pictures.
# Usage: floating_e2e.sh KELVORA OUTPUT_DIR
# Runs itself again inside xvfb-run.
set -euo pipefail

kelvora=$1 out=$2
source "$(dirname "$0")/driving.sh"
enter_virtual_screen "$@"

focus_button() { bar_button 19; }
spotlight_button() { bar_button 20; }

# The zoom panel, 578 x 39, centred above the bottom of the 1920 x 1080 screen.
panel_x=$(((1920 - 578) / 2)) panel_y=$((1080 - 92))
# The value field, read by selecting its text and copying it.
panel_text() {
    xdotool mousemove $((panel_x + 470)) $((panel_y + 20)) click 1 key ctrl+a ctrl+c
    xclip -o -selection clipboard 2>/dev/null
}
text_is() { [[ $(panel_text) == "$1" ]]; }
# Where the slider's handle stands, in percent of its groove: the groove is blue
# up to the handle.
slider_percent() {
    import -window root -crop 361x1+$((panel_x + 45))+$((panel_y + 23)) "$out/slider.png"
    convert "$out/slider.png" +repage txt:- \
        | awk -F'[(),]' 'NR > 1 && $5 > 150 && $3 < 150 { last = $1 }
                          END { printf "%d\n", (last + 0) * 100 / 345 }'
}
slider_near() { local at; at=$(slider_percent); (( at >= $1 - 4 && at <= $1 + 4 )); }
panel_button() { xdotool mousemove $((panel_x + $1 + 13)) $((panel_y + 23)) click 1; }
plus_button() { panel_button 410; }
minus_button() { panel_button 10; }
# The presenter reads the camera's zoom each time the panel is opened.
reopen_panel_reads() {
    focus_button
    wait_for "the panel to close" has_no_window QFocusWidget
    focus_button
    wait_for "the panel again" has_window QFocusWidget
    wait_for "the camera's zoom at $1" log_has "val = $1 step = 10"
}

# --- Two cameras: the document camera at 640x480, the secondary one square.
new_home two-cameras
OPTRELLE_CAMERAS='0ac8:c498@640x480;1234:abcd@480x480' "$kelvora" & app=$!; pids+=($app)
wait_for "the presenter view" has_window DuzeVovad
wait_for "the document camera's picture" picture_width_near 1387

focus_button
wait_for "the zoom panel" has_window QFocusWidget
log_has "lMin = 0, lMax = 100, val = 50 step = 10" || fail "zoom range: $(cat "$log")"
wait_for "the value 50" text_is 50
slider_near 50 || fail "the slider stands at $(slider_percent) %, not 50"
import -window root "$out/zoom-panel.png"
plus_button
wait_for "the value 60" text_is 60
slider_near 60 || fail "after plus the slider stands at $(slider_percent) %"
reopen_panel_reads 60
for _ in 1 2 3 4 5 6 7; do minus_button; done
wait_for "the value 0" text_is 0
slider_near 0 || fail "at the minimum the slider stands at $(slider_percent) %"
reopen_panel_reads 0
focus_button
wait_for "the panel to close" has_no_window QFocusWidget

# The spotlight: the mask lies under an input window that covers it, so the
# opening is looked for in the mask's own contents.
opening() { # "W H X Y" of the see-through part of the grey mask
    import -window "$(window_of QBottomLayer)" "$out/mask.png"
    convert "$out/mask.png" -fuzz 2% -fill white -opaque 'gray(100)' -negate -trim \
        -format '%w %h %X %Y' info: | sed 's/+//g'
}
opening_is() { [[ $(opening) == "$1" ]]; }
drag() { # from x y to x y, in steps a hand makes
    xdotool mousemove "$1" "$2" mousedown 1
    for step in 1 2 3 4 5 6 7 8 9 10; do
        xdotool mousemove $(($1 + ($3 - $1) * step / 10)) $(($2 + ($4 - $2) * step / 10))
        sleep 0.03
    done
    xdotool mouseup 1
}
spotlight_button
wait_for "the spotlight" has_window QTopLayer
wait_for "the opening where it starts" opening_is "201 101 100 100"
drag 200 150 260 190
wait_for "the opening moved" opening_is "201 101 160 140"
drag 150 190 130 190 # 10 px left of the left edge
wait_for "the left edge moved" opening_is "231 101 130 140"
drag 110 190 60 190 # 20 px outside
sleep 0.3 # a press beside the opening changes nothing, so there is nothing to wait for
opening_is "231 101 130 140" || fail "a press 20 px outside changed the opening: $(opening)"
import -window root "$out/spotlight.png"
spotlight_button
wait_for "the spotlight to go" has_no_window QTopLayer
has_window QBottomLayer && fail "the mask stayed after the spotlight went"
spotlight_button
wait_for "the spotlight again" has_window QTopLayer
opening_is "231 101 130 140" || fail "hiding and showing moved the opening: $(opening)"
spotlight_button
wait_for "the spotlight to go" has_no_window QTopLayer

# The secondary camera window, at the screen's top-left corner: 300 x 256, the
# video above a 30-pixel button bar.
sub_camera_button() { bar_button 1; }
swap_button() { bar_button 2; }
# The width of the picture in the window's 300 x 226 video area: 226 for the
# secondary camera's square, 300 for the document camera's 4:3.
sub_picture_width() {
    import -window root -crop 300x226+0+0 "$out/small.png"
    convert "$out/small.png" +repage -bordercolor black -border 1 -fuzz 3% -trim -format '%w' info:
}
sub_picture_width_near() { local w; w=$(sub_picture_width); (( w >= $1 - 3 && w <= $1 + 3 )); }
sub_camera_button
wait_for "the secondary camera window" has_window QSubCamWidget
wait_for "the secondary camera's picture" sub_picture_width_near 226
xdotool mousemove $((150 + 12)) $((226 + 12)) click 1 # its photo button
take_still_of "the secondary camera's still" 480x480
# The small window covers a corner of the presenter: each side is looked at in
# turn, and the window is closed with its own button before the presenter.
close_sub_window() {
    xdotool mousemove $((220 + 12)) $((226 + 12)) click 1
    wait_for "the secondary camera window to close" has_no_window QSubCamWidget
}
swap_button
wait_for "the document camera in the small window" sub_picture_width_near 300
close_sub_window
wait_for "the secondary camera in the presenter" picture_width_near 1040
import -window root "$out/swapped.png"
swap_button # shows the small window again
wait_for "the secondary camera back in its window" sub_picture_width_near 226
close_sub_window
wait_for "the document camera back in the presenter" picture_width_near 1387
kill "$app"; wait "$app" || true

# --- One camera: the secondary camera is refused.
new_home one-camera
OPTRELLE_CAMERAS=0ac8:c498@640x480 "$kelvora" & app=$!; pids+=($app)
wait_for "the presenter view" has_window DuzeVovad
wait_for "the live picture" picture_width_near 1387
sub_camera_button
wait_for "the refusal" has_window 提示
import -window root "$out/no-secondary-camera.png"
has_window QSubCamWidget && fail "a secondary camera window opened without a camera"
xdotool windowfocus --sync "$(window_of 提示)" key Return
wait_for "the refusal to close" has_no_window 提示
kill "$app"; wait "$app" || true
echo "floating tools: all checks passed"
