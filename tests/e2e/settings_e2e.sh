#!/usr/bin/env bash
# End to end: the settings dialog, opened from the presenter's bar on a virtual
# 1920x1080 screen and driven with xdotool like a person, folder and file choices
# typed into Qt's own file dialogs. A stand-in annotation program listens, and a
# stand-in decoder installer stands in the program folder.
# Usage: settings_e2e.sh KELVORA COPYDATAPEER OUTPUT_DIR
# Runs itself again inside xvfb-run.
set -euo pipefail

kelvora=$1 peer=$2 out=$3
source "$(dirname "$0")/driving.sh"
enter_virtual_screen "$@"
export OPTRELLE_CAMERAS=15aa:1555@640x480
new_home home
conf=$HOME/Documents/Kelvora/conf.ini
heard=$out/scribvane.txt

# The program in a folder of its own, beside a decoder installer that leaves a mark.
program=$out/program
mkdir -p "$program"
cp "$kelvora" "$program/kelvora"
printf '#!/bin/sh\ntouch "%s/installer-ran"\n' "$out" > "$program/Tavimor"
chmod +x "$program/Tavimor"
photos=$HOME/photos
impress=$HOME/bin/impress
mkdir -p "$photos" "$(dirname "$impress")"
printf '#!/bin/sh\n' > "$impress" && chmod +x "$impress"

"$peer" listen Scribvane "$heard" & pids+=($!)
wait_for "the stand-in annotation program" "$peer" probe Scribvane
"$program/kelvora" & app=$!; pids+=($app)
wait_for "the presenter view" has_window DuzeVovad
: > "$heard"

# The presenter's bar: slot 0 is the settings button, slot 13 the capture button.
bar_button 0
wait_for "the settings dialog" has_window 参数设置
dialog=$(window_of 参数设置)
eval "$(xdotool getwindowgeometry --shell "$dialog")"
[[ $WIDTH == 653 && $HEIGHT == 552 ]] || fail "the settings dialog is ${WIDTH}x${HEIGHT}"
dx=$X dy=$Y
import -window root "$out/settings.png"
# A press on a control of the dialog, at its form position.
press_at() { xdotool mousemove $((dx + $1)) $((dy + $2)) click 1; }
photo_browse() { press_at 535 81; }
ppt_browse() { press_at 535 31; }

# Types a path into the file dialog with that title and accepts it with Enter.
answer_file_dialog() {
    local title=$1 path=$2 box
    wait_for "the file dialog $title" has_window "$title"
    box=$(window_of "$title")
    xdotool windowfocus --sync "$box" key ctrl+a
    xdotool type --delay 20 "$path"
    xdotool key Return
    wait_for "the file dialog $title to close" has_no_window "$title"
}
heard_update() { [[ $(cat "$heard") == Update ]]; }
conf_has() { [[ -f $conf ]] && grep -qxF -- "$1" "$conf"; }

# A new photo folder: stored once, and the annotation program hears "Update".
photo_browse
answer_file_dialog 选择目录 "$photos"
wait_for "Update at the annotation program" heard_update
conf_has "imagepath=$photos" || fail "conf.ini: $(cat "$conf")"
[[ $(grep -c '^imagepath=' "$conf") == 1 ]] || fail "imagepath written twice: $(cat "$conf")"
written=$(stat -c '%i %Y' "$conf")

# The same folder again writes nothing and sends nothing. The choice is handled
# before the next dialog can open, so the next step shows it is over.
photo_browse
answer_file_dialog 选择目录 "$photos"

# The PowerPoint program is stored; the annotation program hears nothing of it.
ppt_browse
[[ $(stat -c '%i %Y' "$conf") == "$written" ]] || fail "choosing the same folder wrote conf.ini"
answer_file_dialog 请设置PPT应用软件 "$impress"
wait_for "the PowerPoint path in conf.ini" conf_has "pptpath=$impress"
conf_has "imagepath=$photos" || fail "conf.ini lost the photo folder: $(cat "$conf")"
[[ $(cat "$heard") == Update ]] || fail "the annotation program heard: $(cat "$heard")"

# The fault guide, told apart by its two texts.
guide_texts() {
    import -window root "$out/screen.png"
    for crop in 241x121+$((dx + 390))+$((dy + 190)) 251x141+$((dx + 390))+$((dy + 340)); do
        convert "$out/screen.png" -crop "$crop" +repage rgb:- | md5sum
    done
}
texts_are() { [[ $(guide_texts) == "$1" ]]; }
texts_differ_from() { [[ $(guide_texts) != "$1" ]]; }
detect_button() { press_at 510 145; }
next_button() { press_at 506 504; }
no_guide=$(guide_texts)
detect_button
wait_for "the hardware page" texts_differ_from "$no_guide"
hardware=$(guide_texts)
import -window root "$out/guide-hardware.png"
next_button
wait_for "the software page" texts_differ_from "$hardware"
software=$(guide_texts)
[[ $software != "$no_guide" ]] || fail "the software page shows no texts"
import -window root "$out/guide-software.png"
next_button
wait_for "the hardware page again" texts_are "$hardware"
next_button
wait_for "the software page again" texts_are "$software"
press_at 510 325 # the installer button, on the software page only
installed() { [[ -e $out/installer-ran ]]; }
wait_for "the decoder installer to start" installed
detect_button
wait_for "the guide to hide" texts_are "$no_guide"
detect_button
wait_for "the hardware page after hiding" texts_are "$hardware"

# The still format: png, the last entry of the list.
windows_now=$(xdotool search --onlyvisible --class kelvora 2>/dev/null | wc -l)
list_open() { (($(xdotool search --onlyvisible --class kelvora 2>/dev/null | wc -l) > windows_now)); }
press_at 135 121
wait_for "the format list to open" list_open
xdotool key Home Down Down Down Return
list_closed() { ! list_open; }
wait_for "the format list to close" list_closed
xdotool windowfocus --sync "$dialog" key Escape
wait_for "the settings dialog to close" has_no_window 参数设置

# The next photo goes to the new folder as a PNG file.
bar_button 13
png_still() { find "$photos" -maxdepth 1 -regextype posix-egrep -regex '.*/[0-9]{14}\.png' | grep -q .; }
wait_for "a png still in the new photo folder" png_still
still=$(find "$photos" -maxdepth 1 -name '*.png')
[[ $(identify -format '%m' "$still") == PNG ]] || fail "$still is no PNG file"
[[ -z $(find "$HOME/Documents/Kelvora" -maxdepth 1 -name '*.jpg') ]] || fail "a still in the old folder"
# Only the two paths are stored; the format lives in memory.
[[ $(cat "$conf") == $'[kelvora]\n'"imagepath=$photos"$'\n'"pptpath=$impress" ]] \
    || fail "conf.ini: $(cat "$conf")"

launcher_button 7 1868 # Exit
status=0; wait "$app" || status=$?
[[ $status == 0 ]] || fail "Kelvora ended with status $status"

echo "settings end-to-end: all checks passed; screenshots in $out"
