#!/usr/bin/env bash
# End to end: automatic crop in the scanner window on a real photograph of a page
# on a light wooden table, filmed by the simulated camera: the capture button
# stores the page alone, straightened to its own proportions.
# Usage: pagefinding_e2e.sh KELVORA PHOTO_FOLDER OUTPUT_DIR
# Starts its own virtual screen.
set -euo pipefail

kelvora=$1 pages=$2 out=$3
source "$(dirname "$0")/driving.sh"
enter_virtual_screen
photo=sd_bg01_letter001_f0098.jpg
export TMPDIR=$out/tmp OPTRELLE_CAMERAS=0ac8:c498@1920x1080 OPTRELLE_SCENE=$pages/$photo
new_home home
mkdir -p "$TMPDIR"
captures=$HOME/Documents/Kelvora
# The scanner window's side panel is the last 220 pixels of the screen.
capture_button() { xdotool mousemove $((1920 - 220 + 116)) 36 click 1; }
auto_crop_box() { xdotool mousemove $((1920 - 220 + 80)) 462 click 1; }
jpegs() { find "$captures" -maxdepth 1 -name '*.jpg' 2>/dev/null; }
has_jpeg() { [[ -n $(jpegs) ]]; }

# The page's height over its width: the means of its opposite sides in corners.csv.
aspect=$(awk -F, -v f="$photo" '$1 == f {
    w = (sqrt(($4-$2)^2 + ($5-$3)^2) + sqrt(($6-$8)^2 + ($7-$9)^2)) / 2
    h = (sqrt(($8-$2)^2 + ($9-$3)^2) + sqrt(($6-$4)^2 + ($7-$5)^2)) / 2
    print h / w }' "$pages/corners.csv")
[[ -n $aspect ]] || fail "no corners for $photo"

start_kelvora
launcher_button 3 1868 # the scanner window
# Opening the scanner window starts its camera: slow under sanitizers on a busy
# machine, so given a minute rather than wait_for's 20 s.
for _ in $(seq 600); do has_window 高拍仪 && break; sleep 0.1; done
has_window 高拍仪 || fail "timed out waiting for the scanner window"
auto_crop_box
# The page is found beside the capture thread: stills of the whole frame taken
# before it is are dropped.
cropped_still() {
    capture_button
    wait_for "a still" has_jpeg
    still=$(jpegs)
    [[ $(identify -format '%wx%h' "$still") != 1920x1080 ]] && return 0
    rm -f "$still"
    return 1
}
wait_for "a still of the page" cropped_still
import -window root "$out/cropped.png"
read -r width height <<< "$(identify -format '%w %h' "$still")"
awk -v w="$width" -v h="$height" -v a="$aspect" 'BEGIN { r = h / w / a; exit !(r > 0.97 && r < 1.03) }' \
    || fail "the still is ${width}x${height}, the page's height is $aspect times its width"

# No desk along the edges: strips just inside each edge are the page's white,
# not the table's brown (red well above blue).
for strip in "${width}x8+0+4" "${width}x8+0+$((height - 12))" "8x${height}+4+0" \
    "8x${height}+$((width - 12))+0"; do
    read -r r g b <<< "$(convert "$still" -crop "$strip" +repage -scale 1x1! \
        -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:)"
    ((r - b < 20 && g > 140)) || fail "desk along the still's edge $strip: colour $r $g $b"
done

kill "$app"
wait "$app" 2>/dev/null || true
echo "page finding end to end: passed in ${SECONDS} s"
