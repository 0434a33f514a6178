# Shared by the end-to-end scripts (sourced): the programs they start are killed
# on exit, failures end the script, and conditions are waited for, not slept for.
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
