#!/usr/bin/env bash
# End to end: Kelvora and the annotation program it starts, on a virtual
# 1920x1080 screen, with a compositing manager or without one, driven with
# xdotool like a person. Looks at the screen and at the files written.
# Usage: scribvane_e2e.sh KELVORA SCRIBVANE COPYDATAPEER composited|plain OUTPUT_DIR
# Starts its own virtual screen.
set -euo pipefail

kelvora=$1 scribvane=$2 peer=$3 mode=$4 out=$5
source "$(dirname "$0")/driving.sh"
keep_annotation_program=1
enter_virtual_screen
export OPTRELLE_CAMERAS=15aa:1555@640x480
new_home home
[[ $(dirname "$kelvora") == $(dirname "$scribvane") ]] || fail "scribvane is not in Kelvora's program folder"

if [[ $mode == composited ]]; then
    xcompmgr & pids+=($!)
    has_compositor() { xdotool search --name '^xcompmgr$' >/dev/null 2>&1; }
    wait_for "the compositor" has_compositor
fi

# The tool bar: buttons of 36 pixels in three columns, 38 apart, below a 14-pixel grip.
toolbar_geometry() { eval "$(xdotool getwindowgeometry --shell "$(window_of Scribvane)")"; }
tool_button() {
    toolbar_geometry
    xdotool mousemove $((X + 2 + $1 % 3 * 38 + 18)) $((Y + 14 + $1 / 3 * 38 + 18)) click 1
}
# "R G B" of the screen at X Y.
screen_pixel() { import -window root -crop "1x1+$1+$2" -depth 8 rgb:- | od -An -tu1; }
# A tool button is shown chosen (yellow) once the program has taken the choice,
# so the layer takes or passes input from then on.
choose_tool() {
    tool_button "$1"
    chosen() { [[ $(screen_pixel $((X + 2 + $1 % 3 * 38 + 4)) $((Y + 14 + $1 / 3 * 38 + 4))) == *"255 213  79"* ]]; }
    wait_for "tool $1 to be chosen" chosen "$1"
}
pointer=0 pen=1 save=17 photo=18 turn=19

inked() { # the pen's red at X Y on the screen
    local rgb; read -ra rgb <<< "$(screen_pixel "$1" "$2")"
    ((rgb[0] > 180 && rgb[1] < 90 && rgb[2] < 90))
}
not_inked() { ! inked "$@"; }
# The live picture's width, measured beside the tool bar at the left edge.
picture_width_near() {
    import -window root "$out/screen.png"
    local width
    width=$(convert "$out/screen.png" -crop 1730x1036+124+2 +repage -bordercolor 'rgb(9,96,57)' \
        -border 1 -fuzz 10% -trim -format '%w' info:)
    ((width >= $1 - 6 && width <= $1 + 6))
}

start_kelvora
wait_for "the annotation tool bar" has_window Scribvane
annotation=$(xdotool getwindowpid "$(window_of Scribvane)")
wait_for "the fitted live picture" picture_width_near 1387
import -window root "$out/start.png"

# A second start leaves the first in charge.
"$scribvane" --kelvora || fail "a second start ended with status $?"
[[ $(xdotool search --onlyvisible --name '^Scribvane$' | wc -l) == 1 ]] || fail "two tool bars"

# A drag with the pen leaves ink over the live picture.
not_inked 800 500 || fail "the pen's red before drawing"
choose_tool $pen
xdotool mousemove 600 400 mousedown 1
for step in $(seq 20); do xdotool mousemove $((600 + step * 20)) $((400 + step * 10)); done
xdotool mouseup 1
wait_for "ink on the screen" inked 800 500
import -window root "$out/ink.png"
if [[ $mode == composited ]]; then
    digest() { import -window root -crop 460x60+1140+5 rgb:- | md5sum; } # the desk clock
    before=$(digest)
    moving() { [[ $(digest) != "$before" ]]; }
    wait_for "the live picture under the ink" moving
fi

# Without a tool, the saved screen keeps the ink.
choose_tool $pointer
saved_screen() { find "$photos" -maxdepth 1 -name '*.png'; }
saved() { [[ -n $(saved_screen) ]]; }
# "R G B" at 800 500 of a screen saved with the tool bar's button.
save_screen() {
    rm -f $(saved_screen)
    tool_button $save
    wait_for "the saved screen" saved
    [[ $(identify -format '%wx%h' "$(saved_screen)") == 1920x1080 ]] || fail "saved $(identify "$(saved_screen)")"
    pixel_of "$(saved_screen)" 800 500
}
read -ra rgb <<< "$(save_screen)"
((rgb[0] > 180 && rgb[1] < 90)) || fail "no ink in the saved screen: ${rgb[*]}"

# Without a tool, Kelvora's own capture button takes the click.
bar_button 13
take_still_of "a still from Kelvora's capture button" 4000x3000
if [[ $mode == composited ]]; then inked 800 500 || fail "the ink went away"; fi

# A launcher button clears the ink.
launcher_button 5 1868
if [[ $mode == composited ]]; then wait_for "the ink to go" not_inked 800 500; fi
# Kelvora sends ClearSrn as it handles the click; until then a save holds the ink.
saved_without_ink() {
    local rgb; read -ra rgb <<< "$(save_screen)"
    ((rgb[0] < 180 || rgb[1] > 90))
}
wait_for "a screen saved without ink after ClearSrn" saved_without_ink
import -window root "$out/cleared.png"
# ClearSrn also ends drawing: every click below the tool bar's from here on
# reaches Kelvora through the layer.
choose_tool $pen
"$peer" send Scribvane ClearSrn || fail "ClearSrn was not answered"

# The tool bar's camera buttons work through Kelvora.
tool_button $photo
take_still_of "a still from the tool bar's photo button" 4000x3000
tool_button $turn
wait_for "the turned picture" picture_width_near 1040
bar_button 10 # Kelvora's turn left, through the layer
wait_for "the picture upright again" picture_width_near 1387

# Kelvora's double click moves the tool bar to the other edge.
xdotool mousemove 180 900 click --repeat 2 --delay 80 1
toolbar_at_right() { toolbar_geometry; [[ $X == $((1920 - 116)) ]]; }
wait_for "the tool bar at the right edge" toolbar_at_right
import -window root "$out/switched.png"

# Kelvora's Exit ends both programs.
exit_by_button 0
annotation_gone() { ! kill -0 "$annotation" 2>/dev/null; }
wait_for "the annotation program to end" annotation_gone

echo "scribvane end-to-end ($mode): all checks passed; screenshots in $out"
