#!/usr/bin/env bash
# End to end: Kelvora in a broken or hostile world, on a simulated camera and a
# virtual screen. A peer holds more connections than the presenter's listener
# has descriptors left: the listener loses its socket and, once descriptors are
# free, listens and answers "FreeZe" again. Then a scanner recording is killed
# with SIGKILL after 4 s: its file still has a duration of about that.
# Usage: hostile_e2e.sh KELVORA COPYDATAPEER MEDIADURATION OUTPUT_DIR
# Runs itself again inside xvfb-run.
set -euo pipefail

kelvora=$1 peer=$2 mediaduration=$3 out=$4
source "$(dirname "$0")/driving.sh"
enter_virtual_screen "$@"
export TMPDIR=$out/tmp OPTRELLE_CAMERAS=0ac8:c498@1280x720
new_home home
mkdir -p "$TMPDIR"
socket=$XDG_RUNTIME_DIR/copydata/DuzeVovad
recordings() { find "$photos" -maxdepth 1 -name '*.wmv' -size +0 2>/dev/null; }
has_recording() { [[ -n $(recordings) ]]; }
no_socket() { [[ ! -S $socket ]]; }
answers() { "$peer" send DuzeVovad "$1"; }

"$kelvora" & app=$!; pids+=($app)
wait_for "the presenter view" has_window DuzeVovad
wait_for "the presenter's listener" answers RotateR

# --- Descriptors run out while a peer holds connections.
soft=$(prlimit --pid "$app" --nofile --output SOFT --noheadings)
prlimit --pid "$app" --nofile=$(($(ls "/proc/$app/fd" | wc -l) + 16)):
"$peer" hold DuzeVovad 300 > "$out/held.txt" & holder=$!; pids+=($holder)
wait_for "the listener losing its socket" no_socket
kill "$holder"
wait "$holder" || fail "the holding peer failed"
prlimit --pid "$app" --nofile="$soft":
wait_for "the listener answering again" answers FreeZe
wait_for "the command in the log" log_has "收到CopyData消息: FreeZe"

# --- A recording killed mid-way keeps a usable duration.
launcher_button 3 1868 # the scanner window
wait_for "the scanner window" has_window 高拍仪
xdotool mousemove $((1920 - 220 + 116)) $((390 + 14)) click 1 # record
wait_for "a recording" has_recording
sleep 4 # the length of the recording, not a wait for an event
kill -KILL "$app"
wait "$app" 2>/dev/null || true
seconds=$("$mediaduration" "$(recordings)") || fail "the killed recording has no duration"
awk -v s="$seconds" 'BEGIN { exit !(s >= 3 && s <= 5) }' \
    || fail "the killed recording lasts $seconds s, not about 4"
echo "hostile end to end: passed in ${SECONDS} s (recording of $seconds s)"
