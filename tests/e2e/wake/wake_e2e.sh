#!/bin/bash
# Sleep, the network and desktop notifications, end to end: the real pingbox
# binary on Xvfb with trayer, logind, NetworkManager and a notification
# service mocked by python3-dbusmock on private system and session buses,
# and a real Dovecot behind a gate that stands in for the network:
#   wake_e2e.sh ROOT PINGBOX RECORDER OUTDIR
E2E_ROOT=$1
PINGBOX=$2
RECORDER=$3
E2E_OUT=$4
mkdir -p "$E2E_OUT"
source "$E2E_ROOT/tests/e2e/lib.sh"
export ARGV_RECORDER_OUT="$e2e_work/viewer.rec"

connections() { grep -c '^status Connecting to POP server: ' "$e2e_work/state.log" 2>/dev/null; }
connections_are() { [ "$(connections)" -eq "$1" ]; }
last_hint() { grep '^hint ' "$e2e_work/state.log" 2>/dev/null | tail -n 1 | cut -d' ' -f2-; }
hint_is() { [ "$(last_hint)" = "$1 Messages on $server" ]; }
no_error_window() { ! has_window "Unable to Connect to eMail Server..."; }
gate() { kill -"$1" "$GATE_PID"; }
fill() { "$E2E_ROOT/scripts/dovecot-server" fill "$e2e_dovecot" demo "$1" || fail "cannot fill the mailbox"; }
notified() { grep -q "Notify .*\"You have $1 Messages\"" "$e2e_work/notification_daemon.calls.log" 2>/dev/null; }
# ms_since NANOSECONDS
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }

e2e_start_desktop
e2e_start_buses
e2e_mock logind system org.freedesktop.login1
e2e_mock networkmanager system org.freedesktop.NetworkManager
e2e_mock notification_daemon session org.freedesktop.Notifications \
    -p '{"capabilities": "body actions"}'
notifier=$MOCK_PID
e2e_dovecot="$e2e_work/dovecot"
eval "$("$E2E_ROOT/scripts/dovecot-server" start "$e2e_dovecot" --user demo:demo:0 --no-tls)" ||
    fail "Dovecot did not start"
python3 "$E2E_ROOT/tests/e2e/wake/gate.py" "$POP3_PORT" "$e2e_work/gate.count" \
    >"$e2e_work/gate.port" 2>"$e2e_work/gate.log" &
GATE_PID=$!
e2e_pids+=($GATE_PID)
wait_for 10 test -s "$e2e_work/gate.port" || fail "the gate did not open"
server="127.0.0.1:$(head -n 1 "$e2e_work/gate.port")"
config=$(e2e_settings Server/Host="$server" Server/User=demo Server/Pass=demo \
    Options/Notify=bubble Viewer/Path="$RECORDER")

e2e_start_pingbox "$config"
wait_for 30 hint_is 0 || fail "no first check"
wait_for 10 state_has "status Waiting to check email on: $server" || fail "the first check did not end"

echo "== going to sleep starts nothing; waking with the network up checks at once"
fill 2
prepare_for_sleep true
sleep 1
connections_are 1 || fail "a check started on the way to sleep"
start=$(date +%s%N)
prepare_for_sleep false
wait_for 5 hint_is 2 || fail "no check after waking"
echo "   wake -> count shown: $(ms_since "$start") ms"
wait_for 5 notified 2 || fail "no notification"
sleep 1.5
connections_are 2 || fail "$(connections) connections after one wake"
has_window Confirm && fail "the question came although a notification was chosen"

echo "== the notification's button starts the viewer"
mock_signal session org.freedesktop.Notifications /org/freedesktop/Notifications \
    org.freedesktop.Notifications ActionInvoked us "[<uint32 1>, <'start-viewer'>]"
wait_for 10 sh -c "tr '\0' '\n' 2>/dev/null <'$ARGV_RECORDER_OUT' | grep -qx 'show=3'" ||
    fail "the button did not start the viewer"

echo "== waking while the network comes up 3 s later: one check, once it is up, no window"
prepare_for_sleep true
nm_state 10
gate USR1
fill 4
prepare_for_sleep false
nm_state 20
sleep 3
connections_are 2 || fail "a check started before the network was up"
no_error_window || fail "the connection-error window opened after waking"
gate USR2
start=$(date +%s%N)
nm_state 70
wait_for 5 hint_is 4 || fail "no check once the network was up"
echo "   network up after waking -> count shown: $(ms_since "$start") ms"
sleep 1.5
connections_are 3 || fail "$(connections) connections: more than one check after waking"
no_error_window || fail "the connection-error window opened"

echo "== the network comes back after an outage; a burst of its signals gives one check"
nm_state 20
sleep 1
connections_are 3 || fail "a check started as the network went"
fill 1
start=$(date +%s%N)
nm_state 70
nm_state 20
nm_state 70
nm_state 70
wait_for 5 hint_is 1 || fail "no check when the network came back"
echo "   network back -> count shown: $(ms_since "$start") ms"
sleep 1.5
connections_are 4 || fail "$(connections) connections after a burst of network signals"

echo "== a check under way when the signals come: no second connection"
taken=$(cat "$e2e_work/gate.count")
gate HUP
nm_state 20
nm_state 70
wait_for 5 sh -c "[ \$(cat '$e2e_work/gate.count') -eq $((taken + 1)) ]" || fail "no check started"
prepare_for_sleep true
prepare_for_sleep false
nm_state 20
nm_state 70
sleep 2
[ "$(cat "$e2e_work/gate.count")" -eq $((taken + 1)) ] || fail "a second connection was opened"
closed=$(grep -c "^status Waiting to check email on: " "$e2e_work/state.log")
gate USR2 # the held connection ends
wait_for 10 sh -c "[ \$(grep -c '^status Waiting to check email on: ' '$e2e_work/state.log') -gt $closed ]" ||
    fail "the held check did not end"
no_error_window || fail "an ended session opened the connection-error window"

echo "== the mailbox empties: the notification is withdrawn"
fill 0
nm_state 20
nm_state 70
wait_for 10 hint_is 0 || fail "no check of the empty mailbox"
wait_for 5 grep -q CloseNotification "$e2e_work/notification_daemon.calls.log" ||
    fail "the notification was not withdrawn"

echo "== without a notification service the question is asked"
kill "$notifier"
wait "$notifier" 2>/dev/null
fill 3
nm_state 20
nm_state 70
wait_for 30 has_window Confirm || fail "no question without a notification service"
screenshot wake-question
press Confirm n
wait_for 10 state_has "status Ready" || fail "no Ready after the question"

echo "all scenarios passed"
