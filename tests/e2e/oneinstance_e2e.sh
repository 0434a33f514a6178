#!/usr/bin/env bash
# End to end: one running copy. Of two starts within a second one runs and the
# other ends with 0 without a window; a later start brings the hidden presenter
# view back. Ended with SIGTERM, Kelvora removes its sockets; killed outright, it
# leaves them, and the next start replaces them and listens.
# Usage: oneinstance_e2e.sh KELVORA COPYDATAPEER OUTPUT_DIR
# Runs itself again inside xvfb-run.
set -euo pipefail

kelvora=$1 peer=$2 out=$3
source "$(dirname "$0")/driving.sh"
enter_virtual_screen "$@"
export OPTRELLE_CAMERAS=15aa:1555@640x480
new_home home
sockets=$XDG_RUNTIME_DIR/copydata

window_count() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | wc -l; }
listening() { "$peer" probe VizaviRerer && "$peer" probe DuzeVovad; }
starts() { grep -c '程序初始化' "$log"; }
# Starts a copy that must hand over to the running one and end with 0.
start_handing_over() {
    local status=0
    "$kelvora" || status=$?
    [[ $status == 0 ]] || fail "$1 ended with status $status"
}

# --- Two starts within a second: whichever takes the lock runs.
"$kelvora" & a=$!; pids+=($a)
"$kelvora" & b=$!; pids+=($b)
status=0; wait -n -p ended "$a" "$b" || status=$?
[[ $status == 0 ]] || fail "the start that did not run ended with status $status"
running=$([[ $ended == "$a" ]] && echo "$b" || echo "$a")
wait_for "the launcher bar" has_window VizaviRerer
wait_for "the presenter view" has_window DuzeVovad
wait_for "the running copy to listen" listening
[[ $(window_count VizaviRerer) == 1 ]] || fail "$(window_count VizaviRerer) launcher bars"
[[ $(window_count DuzeVovad) == 1 ]] || fail "$(window_count DuzeVovad) presenter views"
[[ $(starts) == 1 ]] || fail "$(starts) copies started"
kill -0 "$running" || fail "the running copy is gone"

# --- The bar's desktop button hides the presenter view; a start brings it back.
launcher_button 6 1868
wait_for "the presenter view to hide" has_no_window DuzeVovad
start_handing_over "a start while Kelvora runs"
wait_for "the presenter view to come back" has_window DuzeVovad
[[ $(starts) == 1 ]] || fail "the later start made a copy of its own"

# --- SIGTERM: the Exit button's way out, sockets removed.
kill -TERM "$running"
status=0; wait "$running" || status=$?
[[ $status == 0 ]] || fail "Kelvora ended on SIGTERM with status $status"
log_has '~Kelvora()' || fail "SIGTERM did not take the normal way out"
[[ -z $(ls -A "$sockets") ]] || fail "sockets left after SIGTERM: $(ls -A "$sockets")"

# --- A new start listens; killed outright it leaves its sockets, which the
# next start replaces.
"$kelvora" & killed=$!; pids+=($killed)
wait_for "the new copy to listen" listening
kill -KILL "$killed"
wait "$killed" || true
[[ -S $sockets/VizaviRerer && -S $sockets/DuzeVovad ]] || fail "no sockets left by the killed copy"
listening && fail "the killed copy still answers"
"$kelvora" & last=$!; pids+=($last)
wait_for "a copy after the killed one to listen" listening
wait_for "its launcher bar" has_window VizaviRerer
launcher_button 7 1868 # Exit
status=0; wait "$last" || status=$?
[[ $status == 0 ]] || fail "Kelvora ended with status $status after Exit"

echo "one-copy end-to-end: all checks passed; output in $out"
