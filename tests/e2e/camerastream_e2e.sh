#!/usr/bin/env bash
# End to end: a recorded MJPEG camera as the main camera, on a virtual 1920x1080
# screen. Its stream holds frames without Huffman tables and frames cut short, as
# real cameras send them. The picture fills the screen and is never garbage; a
# still is the camera's own JPEG byte for byte, or turned after rotate-right; the
# camera pulled out and plugged in again comes back by itself.
# Usage: camerastream_e2e.sh KELVORA MAKECAMERASTREAM OUTPUT_DIR
set -euo pipefail

kelvora=$1 makestream=$2 out=$3
source "$(dirname "$0")/driving.sh"
enter_virtual_screen

capture_button() { bar_button 13; }
rotate_left_button() { bar_button 10; }
rotate_right_button() { bar_button 11; }
visible_windows() { xdotool search --onlyvisible --class kelvora 2>/dev/null | wc -l; }
choose_resolution_entry() {
    local before; before=$(visible_windows)
    xdotool mousemove $((534 + 7 * 43 + 2 + 40)) 1060 click 1
    list_open() { (($(visible_windows) > before)); }
    wait_for "the resolution list to open" list_open
    xdotool key Home $(printf 'Down %.0s' $(seq "$1")) Return
    # A click while the list is still closing would be taken by the list.
    list_closed() { (($(visible_windows) <= before)); }
    wait_for "the resolution list to close" list_closed
}
# A strip across the picture, where the stream's bar moves from frame to frame.
area_digest() { import -window root -crop 1856x40+2+500 rgb:- | md5sum; }
picture_moves() { local before; before=$(area_digest); sleep 0.3; [[ $(area_digest) != "$before" ]]; }
# The still is one of the stream's frames, byte for byte.
is_camera_jpeg() { for frame in "$stream"-*.jpg; do cmp -s "$1" "$frame" && return 0; done; return 1; }
picture_still() { local before; before=$(area_digest); sleep 0.3; [[ $(area_digest) == "$before" ]]; }

stream=$out/desk.mjpeg
"$makestream" "$stream" 640 480 8 damaged files || fail "no stream made"
new_home stream
OPTRELLE_CAMERAS="0c45:6366=$stream/15" "$kelvora" 2> "$out/stderr.txt" & app=$!; pids+=($app)
wait_for "the presenter view" has_window DuzeVovad
# 640x480 fitted to the 1856x1036 area: the full height, 1387 wide.
wait_for "the picture full screen" picture_width_near 1387
wait_for "a live picture" picture_moves

# Frames cut short are dropped: the desk below the page never turns grey.
read -ra box <<< "$(picture_box)"
for sample in $(seq 6); do
    import -window root "$out/screen.png"
    read -r r g b <<< "$(pixel_of "$out/screen.png" $((box[2] + 20)) $((box[3] + box[1] - 20)))"
    ((r > g + 20 && g > b + 10)) || fail "sample $sample shows $r $g $b below the page, not the desk"
done

# The camera's own size: no resampling to the model's still size.
choose_resolution_entry 1
capture_button
wait_for "the still" has_still
still=$(stills)
is_camera_jpeg "$still" || fail "the still is not one of the camera's JPEGs byte for byte"
rm -f "$still"

rotate_right_button
capture_button
wait_for "the turned still" has_still
still=$(stills)
[[ $(identify -format '%wx%h' "$still") == 480x640 ]] || fail "the turned still is not 480x640"
read -r r g b <<< "$(pixel_of "$still" 470 10)"
((r > 150 && g < 90)) || fail "the turned still's top right is $r $g $b, not the red corner"
rm -f "$still"
rotate_left_button

# Pulled out: the picture stops and the library says why; back within 2 s.
touch "$stream.unplugged"
start=$SECONDS
wait_for "the lost camera logged" grep -q "No such device" "$out/stderr.txt"
wait_for "the picture to stop" picture_still
# The library reacts at once (the unit test holds it to 2 s); looking takes time.
((SECONDS - start <= 5)) || fail "the unplug took $((SECONDS - start)) s to notice"
rm "$stream.unplugged"
start=$SECONDS
wait_for "the live picture back" picture_moves
((SECONDS - start <= 5)) || fail "the camera took $((SECONDS - start)) s to come back"
kill -0 "$app" || fail "Kelvora ended"
capture_button
wait_for "a still after the replug" has_still
is_camera_jpeg "$(stills)" || fail "the still after the replug is not the camera's JPEG"
echo "PASS in ${SECONDS} s"
