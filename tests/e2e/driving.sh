# Shared by the end-to-end scripts (sourced once $out is set): the programs they
# start are killed on exit, failures end the script, and conditions are waited
# for, not slept for.

# Starts a virtual 1920x1080 screen for the calling script, one that keeps the
# contents of covered windows, so that a window under another can be looked at.
# The server picks a free display itself (-displayfd): display numbers chosen
# beforehand race with other servers starting and with stale lock files.
enter_virtual_screen() {
    rm -rf "$out" && mkdir -p "$out"
    local number=$out/display
    Xvfb -displayfd 3 -screen 0 1920x1080x24 +bs -nolisten tcp 3>"$number" >"$out/xvfb.log" 2>&1 &
    pids+=($!)
    wait_for "the virtual screen (see $out/xvfb.log)" test -s "$number"
    export DISPLAY=:$(<"$number")
    export OPTRELLE_BACKEND=sim XDG_RUNTIME_DIR=$out/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    [[ -n ${keep_annotation_program:-} ]] || leave_out_annotation_program
}
# Kelvora starts the annotation program found beside it. A script that is not
# about it runs a copy of Kelvora in a folder with everything else of the program
# folder, so no tool bar is drawn over what it measures. (A copy, not a link: the
# program folder is where the executable really is.)
leave_out_annotation_program() {
    local folder=$out/program-folder
    mkdir -p "$folder"
    for entry in "$(dirname "$kelvora")"/*; do
        case ${entry##*/} in kelvora | scribvane) ;; *) ln -s "$entry" "$folder/" ;; esac
    done
    cp "$kelvora" "$folder/kelvora"
    kelvora=$folder/kelvora
}
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT

# Keeps the screen as it was in OUTPUT_DIR/failure.png.
fail() {
    echo "FAIL after ${SECONDS} s: $*" >&2
    import -window root "$out/failure.png" 2>/dev/null || true
    exit 1
}
# Waits up to 20 s for a condition that the program brings about.
wait_for() {
    local what=$1; shift
    for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done
    fail "timed out waiting for $what"
}
window_of() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
has_window() { [[ -n $(window_of "$1") ]]; }
has_no_window() { [[ -z $(window_of "$1") ]]; }
# "X Y W H" of the visible window titled $1, from the screen's origin (xdotool adds
# the offset within a window manager's frame once more).
geometry_of() {
    xwininfo -id "$(window_of "$1")" | awk '/Absolute upper-left X/ { x = $NF }
        /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } /Height:/ { h = $NF }
        END { print x, y, w, h }'
}
geometry_is() { [[ $(geometry_of "$1") == "$2" ]]; }

# Starts Kelvora (or the given copy) as $app and waits for its two windows.
start_kelvora() {
    "${1:-$kelvora}" & app=$!; pids+=($app)
    wait_for "the presenter view" has_window DuzeVovad
    wait_for "the launcher bar" has_window VizaviRerer
}
# Waits for $app (or the given process) to end, which must be with status 0.
ends_cleanly() {
    local status=0; wait "${1:-$app}" || status=$?
    [[ $status == 0 ]] || fail "Kelvora ended with status $status"
}
# The launcher bar's Exit, the bar at the right edge or, given 0, at the left.
exit_by_button() { launcher_button 7 "${1:-1868}"; ends_cleanly; }
# A stand-in annotation program ($peer) listens as "Scribvane"; $heard has what it hears.
listen_as_annotation_program() {
    heard=$out/scribvane.txt
    "$peer" listen Scribvane "$heard" & pids+=($!)
    wait_for "the stand-in annotation program" "$peer" probe Scribvane
}
# Keeps the screen with the message box in OUTPUT_DIR/NAME.png, then closes it.
close_message() {
    wait_for "the message $1" has_window 提示
    import -window root "$out/$1.png"
    xdotool windowfocus --sync "$(window_of 提示)" key Return
    wait_for "the message $1 to close" has_no_window 提示
}
# With the button held since X Y, to X Y in the steps a hand makes, then released.
drag_to() {
    for step in 1 2 3 4 5 6 7 8 9 10; do
        xdotool mousemove $(($1 + ($3 - $1) * step / 10)) $(($2 + ($4 - $2) * step / 10))
        sleep 0.03
    done
    xdotool mouseup 1
}

# A fresh home for one run of the program.
new_home() {
    export HOME=$out/$1 XDG_STATE_HOME=$out/$1/state
    mkdir -p "$HOME" "$XDG_STATE_HOME"
    log=$XDG_STATE_HOME/kelvora/kelvora.log
    photos=$HOME/Documents/Kelvora
}
log_has() { [[ -f $log ]] && grep -qF -- "$1" "$log"; }

# The stills in the photo folder, by their time-stamp names.
stills() { find "$photos" -maxdepth 1 -regextype posix-egrep -regex '.*/[0-9]{14}\.jpg' 2>/dev/null; }
has_still() { [[ -n $(stills) ]]; }
# Checks the one new still's size and removes it, so that the next one, taken in
# the same second, is new as well.
take_still_of() {
    local what=$1 size=$2 file
    wait_for "$what" has_still
    file=$(stills)
    [[ $(wc -l <<< "$file") == 1 ]] || fail "$what: more than one still: $file"
    [[ $(identify -format '%wx%h' "$file") == "$size" ]] \
        || fail "$what is $(identify -format '%wx%h' "$file"), not $size"
    rm -f "$file"
}

# The live picture's bounding box "W H X Y" on screen, against the stage's green,
# within the video area less the view's frame and the launcher bar: 1856 x 1036 at
# (2, 2). A picture filling the height is 1036 high here.
picture_box() {
    import -window root "$out/screen.png"
    convert "$out/screen.png" -crop 1856x1036+2+2 +repage -bordercolor 'rgb(9,96,57)' -border 1 \
        -fuzz 10% -trim -format '%w %h %X %Y' info: | sed 's/+//g' | {
        read -r w h x y
        echo "$w $h $((x + 1)) $((y + 1))"
    }
}
picture_width_near() {
    local box; read -ra box <<< "$(picture_box)"
    (( box[0] >= $1 - 6 && box[0] <= $1 + 6 ))
}

# "R G B" of the pixel at X Y of an image file.
pixel_of() { convert "$1" -format "%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]" -crop "1x1+$2+$3" info:; }

# The command bar: 21 slots of 40 pixels with 3-pixel gaps, centred in 1920.
bar_button() {
    local slot=$1 margin=$(((1920 - 20 * 40 - 17 * 3) / 2)) gaps
    gaps=$((slot <= 6 ? slot : slot - 2))
    xdotool mousemove $((margin + slot * 40 + gaps * 3 + 20)) 1060 click 1
}
# The launcher bar, 50 x 254 at the right edge, buttons 32 pixels apart.
launcher_button() { xdotool mousemove $(($2 + 25)) $((784 + $1 * 32 + 15)) click 1; }
