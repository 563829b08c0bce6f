#!/bin/bash
# README command 1 on a machine with no account and no desktop: scripts/run
# must start a demo mailbox and Pingbox on a virtual display, and Pingbox must
# check it for real: the count of 3, the question, and "Ready" after No.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/pingbox-demo-test.XXXXXX)
run_pid=""
cleanup() {
    [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null && wait "$run_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    tail -n 20 "$work/run.log" >&2
    exit 1
}
wait_for() {
    local tries=$(($1 * 10))
    shift
    for ((t = 0; t < tries; t++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
logged() { grep -qxF -- "$1" "$work/state.log" 2>/dev/null; }

mkdir -p "$work/config"
env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" PINGBOX_STATE_LOG="$work/state.log" \
    setsid "$root/scripts/run" >"$work/run.log" 2>&1 &
run_pid=$!
wait_for 600 grep -q "running on the virtual display" "$work/run.log" || fail "the demo did not start"
display=$(sed -n 's/.*running on the virtual display \(:[0-9]*\);.*/\1/p' "$work/run.log")
wait_for 60 logged "count 3" || fail "the demo mailbox's count did not arrive"
export DISPLAY=$display
question() { xdotool search --onlyvisible --name '^Confirm$' 2>/dev/null | head -n 1; }
has_question() { [ -n "$(question)" ]; }
wait_for 20 has_question || fail "no question on the demo display"
window=$(question)
xdotool windowactivate --sync "$window" >/dev/null 2>&1
xdotool key n
wait_for 20 logged "status Ready" || fail "no Ready after No"
echo "demo: count 3, question answered, Ready"
# The demo's clean-up runs when it is stopped: the mailbox goes away.
kill -TERM -- -"$run_pid" 2>/dev/null
wait "$run_pid" 2>/dev/null
run_pid=""
gone() { ! pgrep -f "pingbox-demo\.[^ ]*/dovecot" >/dev/null; }
wait_for 10 gone || fail "the demo's Dovecot outlived it"
echo "demo test passed"
