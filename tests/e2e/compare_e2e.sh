#!/usr/bin/env bash
# End to end: the comparison window on a simulated camera, on a virtual 1920x1080
# screen, driven with xdotool like a person: opened plain from the launcher, laid
# out in 4 and 16 cells, then paired from the presenter's command bar (a fresh
# still beside the live picture). Looks at the screen and the photo folder.
# Usage: compare_e2e.sh KELVORA OUTPUT_DIR
# Runs itself again inside xvfb-run.
set -euo pipefail

kelvora=$1 out=$2
source "$(dirname "$0")/driving.sh"
enter_virtual_screen "$@"
export OPTRELLE_CAMERAS=15aa:1555@640x480
new_home home
# The comparison window's bar, 40 high at the bottom: layout buttons 25 x 25 at y 10.
layout_button() { xdotool mousemove $(($1 + 12)) $((1040 + 22)) click 1; }
# The presenter's command bar: slot 12 is the comparison.
presenter_compare_button() { bar_button 12; }

screenshot() { import -window root "$out/$1.png"; }
# A cell's picture area has a grey border; points on it are written X+Y.
cell_borders_at() {
    local shot=$1; shift
    screenshot "$shot"
    for corner in "$@"; do
        [[ $(pixel_of "$out/$shot.png" "${corner%+*}" "${corner#*+}") == "102 102 102" ]] || return 1
    done
}
region_digest() { import -window root -crop "$1" rgb:- | md5sum; }
# The simulated desk has a running clock, so a live region changes by itself.
region_changes() {
    local before; before=$(region_digest "$1")
    sleep 0.5
    [[ $(region_digest "$1") != "$before" ]]
}

"$kelvora" & app=$!; pids+=($app)
wait_for "the presenter view" has_window DuzeVovad
wait_for "the launcher bar" has_window VizaviRerer

# --- Plain: two empty cells, 914 wide, with the bar below.
launcher_button 0 1868
wait_for "the comparison window" has_window 同屏对比
has_window DuzeVovad && fail "the presenter view stayed open"
wait_for "two cells" cell_borders_at compare-2 41+500 955+500
# The launcher stays reachable above the comparison window.
eval "$(xdotool getwindowgeometry --shell "$(window_of VizaviRerer)")"
[[ $X == 1868 ]] || fail "the bar moved to $X"

layout_button 260
wait_for "four cells" cell_borders_at compare-4 41+250 955+250 41+770 955+770 500+520
layout_button 300
wait_for "sixteen cells" cell_borders_at compare-16 41+100 498+100 955+360 1412+880

# --- Paired, from the presenter: the bar hidden, a fresh still on the left and
# the live picture on the right, 914 x 1080 each.
launcher_button 5 1868
wait_for "the presenter view again" has_window DuzeVovad
wait_for "the comparison window to close" has_no_window 同屏对比
presenter_compare_button
wait_for "the presenter to make way" has_no_window DuzeVovad
wait_for "the fresh still" has_still
[[ $(stills | wc -l) == 1 ]] || fail "more than one still: $(stills)"
# The layout bar's room belongs to the cells: their picture areas end at 1050.
wait_for "the paired cells" cell_borders_at paired 41+500 955+500 500+1049
wait_for "the live picture in the right cell" region_changes 800x900+1010+50
region_changes 800x900+60+50 && fail "the still in the left cell changes"
screenshot paired-live

launcher_button 7 1868 # Exit
status=0; wait "$app" || status=$?
[[ $status == 0 ]] || fail "Kelvora ended with status $status"

echo "comparison end-to-end: all checks passed; screenshots in $out"
