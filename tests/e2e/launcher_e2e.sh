#!/usr/bin/env bash
# End to end: the launcher bar and the windows it opens, on a virtual 1920x1080
# screen under openbox, which places and stacks windows itself: the bar stays in
# sight above each full-screen window. Driven with xdotool like a person, with a
# stand-in annotation program listening as "Scribvane". And one running copy: of
# two starts one runs, a later start brings the hidden presenter back, sockets
# are removed on the way out and replaced after a kill.
# Usage: launcher_e2e.sh KELVORA COPYDATAPEER OUTPUT_DIR
# Starts its own virtual screen.
set -euo pipefail

kelvora=$1 peer=$2 out=$3
source "$(dirname "$0")/driving.sh"
enter_virtual_screen
export OPTRELLE_CAMERAS=15aa:1555@640x480
new_home home
sockets=$XDG_RUNTIME_DIR/copydata
listen_as_annotation_program
openbox --sm-disable 2> "$out/openbox.log" & pids+=($!)
openbox_runs() { xdotool get_num_desktops > /dev/null 2>&1; }
wait_for "openbox" openbox_runs
cleared() { [[ $(grep -c ClearSrn "$heard") == "$1" ]]; }
press() { launcher_button "$1" 1868; wait_for "ClearSrn number $2" cleared "$2"; }
listening() { "$peer" probe VizaviRerer && "$peer" probe DuzeVovad; }
starts() { grep -c '程序初始化' "$log"; }
sockets_gone() { [[ ! -e $sockets/VizaviRerer && ! -e $sockets/DuzeVovad ]]; }
count_of() { find "$photos" -maxdepth 1 -regextype posix-egrep -regex ".*/[0-9]{14}\.$1" | grep -c . || true; }
has_count() { (($(count_of "$1") == $2)); }
# A cell's picture area in the comparison window has a grey border; points on it are X+Y.
cell_borders_at() {
    local shot=$1; shift
    import -window root "$out/$shot.png"
    for corner in "$@"; do
        [[ $(pixel_of "$out/$shot.png" "${corner%+*}" "${corner#*+}") == "102 102 102" ]] || return 1
    done
}
# The bar as first seen, give or take the focus frame of the button last pressed;
# the pointer rests on the presenter's picture, so no button of the bar is lit.
bar_shot() { xdotool mousemove 900 500; import -window root -crop 50x254+1868+784 +repage "$out/$1.png"; }
bar_in_sight() {
    bar_shot "bar-$1"
    local differing
    differing=$(compare -metric AE -fuzz 10% "$out/bar-alone.png" "$out/bar-$1.png" null: 2>&1) || true
    (( ${differing%% *} < 800 ))
}
covered_by() { # WINDOW covers the work area and is taken into use, the bar above it
    wait_for "$1" has_window "$1"
    wait_for "$1 to cover the work area" geometry_is "$1" "0 0 1920 1080"
    # openbox lifts a focused frameless window of the screen's size above every
    # "always on top" one.
    timeout 5 xdotool windowactivate --sync "$(window_of "$1")" 2> /dev/null || true
    wait_for "the bar above $1" bar_in_sight "$1"
}
# The simulated desk has a running clock, so a live region changes by itself.
region_digest() { import -window root -crop "$1" rgb:- | md5sum; }
region_changes() {
    local before; before=$(region_digest "$1")
    sleep 0.5
    [[ $(region_digest "$1") != "$before" ]]
}

# --- Two starts within a second: whichever takes the lock runs, the other ends with 0.
"$kelvora" & a=$!; pids+=($a)
"$kelvora" & b=$!; pids+=($b)
status=0; wait -n -p ended "$a" "$b" || status=$?
[[ $status == 0 ]] || fail "the start that did not run ended with status $status"
app=$([[ $ended == "$a" ]] && echo "$b" || echo "$a")
wait_for "the presenter view" has_window DuzeVovad
wait_for "the launcher bar" has_window VizaviRerer
wait_for "the running copy to listen" listening
[[ $(xdotool search --onlyvisible --name '^VizaviRerer$' | wc -l) == 1 ]] || fail "two launcher bars"
[[ $(starts) == 1 ]] || fail "$(starts) copies started"
geometry_is VizaviRerer "1868 784 50 254" || fail "the bar is at $(geometry_of VizaviRerer)"
wait_for "the presenter view on the work area" geometry_is DuzeVovad "0 0 1920 1080"
bar_shot bar-alone

# --- The comparison window: two empty cells, 914 wide, then four.
press 0 1
covered_by 同屏对比
has_window DuzeVovad && fail "the presenter view stayed open"
wait_for "two cells" cell_borders_at compare-2 41+500 955+500
xdotool mousemove $((260 + 12)) $((1040 + 22)) click 1 # the four-cell layout
wait_for "four cells" cell_borders_at compare-4 41+250 955+250 41+770 955+770 500+520

# --- The scanner window, full screen: its panel's capture and PDF buttons.
press 3 2
covered_by 高拍仪
xdotool mousemove $((1920 - 220 + 116)) $((22 + 14)) click 1
wait_for "the scanner's still" has_count jpg 1
xdotool mousemove $((1920 - 220 + 116)) $((298 + 14)) click 1
wait_for "the scanner's PDF" has_count pdf 1
pdfinfo "$(find "$photos" -name '*.pdf')" | grep -q '^Pages: *1$' || fail "the PDF is not one page"
rm -f "$photos"/*.jpg
press 1 3 # recording frame
press 4 4 # the presenter view makes way for the snapshot window
wait_for "the snapshot window" has_window QSnapWidget
wait_for "the bar above the snapshot window" bar_in_sight snapshot
press 5 5
covered_by DuzeVovad

# --- Paired from the presenter's bar: a fresh still on the left, the live picture
# on the right, 914 x 1080 each; the layout bar's room belongs to the cells.
bar_button 12
wait_for "the presenter to make way" has_no_window DuzeVovad
wait_for "the fresh still" has_count jpg 1
wait_for "the paired cells" cell_borders_at paired 41+500 955+500 500+1049
wait_for "the live picture in the right cell" region_changes 800x900+1010+50
region_changes 800x900+60+50 && fail "the still in the left cell changes"
press 5 6

# --- The desktop button hides the presenter view; a start brings it back.
press 6 7
wait_for "the presenter view to hide" has_no_window DuzeVovad
status=0; "$kelvora" || status=$?
[[ $status == 0 ]] || fail "a start while Kelvora runs ended with status $status"
wait_for "the presenter view to come back" has_window DuzeVovad
[[ $(starts) == 1 ]] || fail "the later start made a copy of its own"

press 2 8 # PowerPoint: not installed here, so the program says where to set it
close_message ppt-message
exit_by_button
expected_heard=$(printf 'ClearSrn\n%.0s' 1 2 3 4 5 6 7 8; printf 'Exit\nExit\n')
[[ $(cat "$heard") == "$expected_heard" ]] || fail "annotation program heard: $(cat "$heard")"
messages=$(sed -e 's/^.\{22\}//' -e 's/  kelvora\r$//' "$log")
[[ $(grep -v '^sceneEvent$' <<< "$messages" | tail -n 4) == $'OnExit 程序退出\n~QMainWidget()\n~Kelvora()\nOnExit 程序退出' ]] \
    || fail "exit log: $messages"
grep -qE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}   程序初始化  kelvora'$'\r''$' "$log" \
    || fail "log line format"
sockets_gone || fail "sockets left after Exit: $(ls -A "$sockets")"

# --- Killed outright, Kelvora leaves its sockets; the next start replaces them,
# and an Exit from the annotation program ends it and is forwarded.
"$kelvora" & killed=$!; pids+=($killed)
wait_for "the new copy to listen" listening
kill -KILL "$killed"
wait "$killed" || true
[[ -S $sockets/VizaviRerer && -S $sockets/DuzeVovad ]] || fail "no sockets left by the killed copy"
listening && fail "the killed copy still answers"
: > "$heard"
start_kelvora
wait_for "a copy after the killed one to listen" listening
"$peer" send VizaviRerer "please Exit now" || true
ends_cleanly
[[ $(cat "$heard") == Exit ]] || fail "Exit was not forwarded: $(cat "$heard")"

# --- SIGTERM: the Exit button's way out, sockets removed.
: > "$log"
start_kelvora
wait_for "the last copy to listen" listening
kill -TERM "$app"
ends_cleanly
log_has '~Kelvora()' || fail "SIGTERM did not take the normal way out"
sockets_gone || fail "sockets left after SIGTERM: $(ls -A "$sockets")"

echo "launcher end-to-end: all checks passed; screenshots in $out"
