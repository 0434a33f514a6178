#!/usr/bin/env bash
# End to end: the scanner window on a simulated document camera, on a virtual
# 1920x1080 screen, opened from the launcher bar and driven with xdotool like a
# person: a still, a PDF and a timed series into the capture folder.
# Usage: scanner_e2e.sh KELVORA OUTPUT_DIR
# Runs itself again inside xvfb-run.
set -euo pipefail

kelvora=$1 out=$2
source "$(dirname "$0")/driving.sh"
enter_virtual_screen "$@"
export TMPDIR=$out/tmp OPTRELLE_CAMERAS=0ac8:c498@1920x1080
new_home home
mkdir -p "$TMPDIR"
# Without a settings file the capture folder is the work directory.
captures=$HOME/Documents/Kelvora

# The files of one kind in the capture folder, by their time-stamp names.
files_of() { find "$captures" -maxdepth 1 -regextype posix-egrep -regex ".*/[0-9]{14}(_[0-9]+)?\.$1" 2>/dev/null; }
count_of() { files_of "$1" | grep -c . || true; }
has_count() { (($(count_of "$1") == $2)); }
# The scanner window's side panel is the last 220 pixels of the screen.
panel_button() { xdotool mousemove $((1920 - 220 + 116)) $(($1 + 14)) click 1; }
capture_button() { panel_button 22; }
series_button() { panel_button 252; }
pdf_button() { panel_button 298; }
private_files() { find "$TMPDIR" -mindepth 2 -type f 2>/dev/null; }

"$kelvora" & app=$!; pids+=($app)
wait_for "the presenter view" has_window DuzeVovad
wait_for "the launcher bar" has_window VizaviRerer
launcher_button 3 1868 # the scanner window
wait_for "the scanner window" has_window 高拍仪
eval "$(xdotool getwindowgeometry --shell "$(window_of 高拍仪)")"
[[ $X == 0 && $Y == 0 && $WIDTH == 1920 && $HEIGHT == 1080 ]] \
    || fail "the scanner window is ${WIDTH}x${HEIGHT} at $X,$Y"
import -window root "$out/scanner.png"

# --- A still in the chosen format (jpg at start) at the camera's size.
capture_button
wait_for "a still" has_count jpg 1
still=$(files_of jpg)
[[ $(identify -format '%m %wx%h' "$still") == "JPEG 1920x1080" ]] \
    || fail "the still is $(identify -format '%m %wx%h' "$still")"

# --- A PDF of one page holding the still as it was taken; no temporary still.
pdf_button
wait_for "a PDF" has_count pdf 1
pdf=$(files_of pdf)
pdfinfo "$pdf" > "$out/pdfinfo.txt" || fail "poppler cannot read $pdf"
grep -q '^Pages: *1$' "$out/pdfinfo.txt" || fail "not one page: $(cat "$out/pdfinfo.txt")"
read -r _ _ width _ height _ <<< "$(grep '^Page size:' "$out/pdfinfo.txt")"
awk -v w="$width" -v h="$height" 'BEGIN { exit !(w / h > 1.776 && w / h < 1.779) }' \
    || fail "page $width x $height has not the still's aspect ratio"
pdfimages -j "$pdf" "$out/page"
[[ $(identify -format '%m %wx%h' "$out/page-000.jpg") == "JPEG 1920x1080" ]] \
    || fail "the page's picture is no 1920x1080 JPEG"
[[ -z $(private_files) ]] || fail "temporary files left: $(private_files)"

# --- A timed series of three stills one second apart.
series_button
wait_for "the series dialog" has_window 连拍
dialog=$(window_of 连拍)
xdotool mousemove --window "$dialog" 155 50 click 1 key ctrl+a type 1
xdotool mousemove --window "$dialog" 155 90 click 1 key ctrl+a type 3
xdotool mousemove --window "$dialog" 130 180 click 1
wait_for "three more stills" has_count jpg 4
import -window root "$out/series.png"

kill "$app"
wait "$app" 2>/dev/null || true
echo "scanner end to end: passed in ${SECONDS} s"
