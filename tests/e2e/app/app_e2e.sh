#!/bin/bash
# The real pingbox binary on a real X server with a tray host and a real
# Dovecot, driven by xdotool:
#   app_e2e.sh ROOT PINGBOX RECORDER OUTDIR
# Screenshots of each visible step go to OUTDIR.
E2E_ROOT=$1
PINGBOX=$2
RECORDER=$3
E2E_OUT=$4
mkdir -p "$E2E_OUT"
source "$E2E_ROOT/tests/e2e/lib.sh"

stop_pingbox() {
    kill "$PINGBOX_PID" 2>/dev/null
    wait "$PINGBOX_PID" 2>/dev/null
    rm -f "$e2e_work/state.log"
}

e2e_start_desktop

echo "== first start with an empty store: the configuration window, centred"
config=$(e2e_settings)
e2e_start_pingbox "$config"
wait_for 20 has_window "Pingbox v2.02" || fail "no configuration window"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$(window_named "Pingbox v2.02")")"
centre_x=$((X + WIDTH / 2)) centre_y=$((Y + HEIGHT / 2))
((centre_x > 462 && centre_x < 562 && centre_y > 334 && centre_y < 434)) ||
    fail "window not centred: $X,$Y ${WIDTH}x$HEIGHT"
[ ! -s "$e2e_work/state.log" ] || fail "a check started without a user name"
screenshot first-start

echo "== a second copy hands over and ends; the first keeps running"
start=$(date +%s%N)
XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$e2e_work/runtime" ASAN_OPTIONS=detect_leaks=0 \
    timeout 20 "$PINGBOX" >>"$e2e_work/second.log" 2>&1 || fail "the second copy failed or hung"
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
echo "   second copy ended after ${elapsed_ms} ms"
kill -0 "$PINGBOX_PID" || fail "the first copy is gone"
[ "$(xdotool search --onlyvisible --name '^Pingbox v2.02$' | wc -l)" -eq 1 ] || fail "two windows"
stop_pingbox

echo "== stored account with mail waiting: count, question, viewer started maximised"
e2e_start_dovecot 3
config=$(e2e_settings Server/Host="localhost:$POP3_PORT" Server/User=demo Server/Pass=demo \
    Viewer/Path="$RECORDER" SoundFile/Path=/nonexistent.wav)
export ARGV_RECORDER_OUT="$e2e_work/viewer.rec"
e2e_start_pingbox "$config"
wait_for 30 state_has "count 3" || fail "the count did not arrive"
state_has "status User demo authorized on server localhost:$POP3_PORT" || fail "no login status"
has_window "Pingbox v2.02" && fail "the configuration window is shown"
# The sound file is missing: its message comes first, then the question.
wait_for 10 has_window "Information" || fail "no message about the sound file"
screenshot sound-file-missing
press Information Return
wait_for 10 has_window "Confirm" || fail "no question"
screenshot question
press Confirm Return # Yes
wait_for 10 test -s "$ARGV_RECORDER_OUT" || fail "the viewer was not started"
tr '\0' '\n' <"$ARGV_RECORDER_OUT" | grep -qx 'show=3' || fail "the viewer was not asked to show maximised"
wait_for 10 state_has "status Ready" || fail "no Ready"
wait_for 10 state_has "status Waiting to check email on: localhost:$POP3_PORT" || fail "not closed"
stop_pingbox

echo "== wrong password"
config=$(e2e_settings Server/Host="localhost:$POP3_PORT" Server/User=demo Server/Pass=wrong)
e2e_start_pingbox "$config"
wait_for 30 has_window "Error" || fail "no error box"
state_has "status Error!" || fail "no Error! status"
screenshot wrong-password
stop_pingbox

echo "== stopped server: the connection-error window"
"$E2E_ROOT/scripts/dovecot-server" stop "$e2e_dovecot" >/dev/null
config=$(e2e_settings Server/Host="localhost:$POP3_PORT" Server/User=demo Server/Pass=demo)
e2e_start_pingbox "$config"
wait_for 30 has_window "Unable to Connect to eMail Server..." || fail "no connection-error window"
screenshot connection-error
stop_pingbox

echo "all scenarios passed"
