#!/bin/bash
# The real pingbox binary on a real X server with a window manager, a tray
# host and a real Dovecot, driven by xdotool the way a user would:
#   app_e2e.sh ROOT PINGBOX RECORDER OUTDIR
# Every scenario starts from its own settings folder; screenshots of the
# visible steps go to OUTDIR.
E2E_ROOT=$1
PINGBOX=$2
RECORDER=$3
E2E_OUT=$4
mkdir -p "$E2E_OUT"
rm -f "$E2E_OUT"/*.png
source "$E2E_ROOT/tests/e2e/lib.sh"

stop_pingbox() {
    kill "$PINGBOX_PID" 2>/dev/null
    wait "$PINGBOX_PID" 2>/dev/null
    rm -f "$e2e_work/state.log"
    wait_for 10 sh -c '! xwininfo -root -tree | grep -q "(\"pingbox\" \"pingbox\")"'
}
# menu LETTER [COMMAND...]: right click on the tray icon, then the item's
# accelerator; with COMMAND, waits until it holds.
menu() {
    local letter=$1
    shift
    click_tray 3
    choose "$letter"
    [ $# -eq 0 ] || wait_for 5 "$@"
}
lines_of() { grep -cxF -- "$1" "$e2e_work/state.log" 2>/dev/null; }
# Conditions for wait_for, read afresh at every try.
closed_at_least() { [ "$(lines_of "status Waiting to check email on: $server")" -ge "$1" ]; }
counts_above() { [ "$(grep -c '^count ' "$e2e_work/state.log")" -gt "$1" ]; }
not_animating() { [ "$(last_animated)" = false ]; }
# answer_alert: the sound message, then No to the question.
answer_alert() {
    wait_for 10 has_window "Information" || fail "no message about the sound file"
    press Information Return
    wait_for 10 has_window "Confirm" || fail "no question"
    press Confirm n
}
confirms() { [ "$(xdotool search --onlyvisible --name '^Confirm$' 2>/dev/null | wc -l)" -eq "$1" ]; }
is_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$(window_named "$1")" ]; }
# The icon's tooltip: a tooltip window of Pingbox's own on the screen.
tooltip_shown() {
    local w
    for w in $(xwininfo -root -children 2>/dev/null | awk '/\("pingbox" "pingbox"\)/ { print $1 }'); do
        xwininfo -id "$w" 2>/dev/null | grep -q "Map State: IsViewable" || continue
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q TOOLTIP && return 0
    done
    return 1
}
viewer_started() { tr '\0' '\n' <"$ARGV_RECORDER_OUT" 2>/dev/null | grep -qx 'show=3'; }
last_animated() { grep '^animated ' "$e2e_work/state.log" | tail -n 1 | cut -d' ' -f2; }
animating() { [ "$(last_animated)" = true ]; }
export ARGV_RECORDER_OUT="$e2e_work/viewer.rec"

e2e_start_desktop
e2e_start_dovecot 3
server="localhost:$POP3_PORT"

echo "== first run: the window appears, the user fills it in and presses OK"
config=$(e2e_settings)
e2e_start_pingbox "$config"
wait_for 20 has_window "Pingbox v2.02" || fail "no configuration window"
wait_for 10 in_tray || fail "the icon is not in the tray"
eval "$(xdotool getwindowgeometry --shell "$(window_named "Pingbox v2.02")")"
centre_x=$((X + WIDTH / 2)) centre_y=$((Y + HEIGHT / 2))
((centre_x > 462 && centre_x < 562 && centre_y > 334 && centre_y < 434)) ||
    fail "window not centred: $X,$Y ${WIDTH}x$HEIGHT"
[ ! -s "$e2e_work/state.log" ] || fail "a check started without a user name"
screenshot 01-first-start
xdotool windowactivate --sync "$(window_named "Pingbox v2.02")"
xdotool type --delay 20 "$server"
xdotool key Tab && xdotool type --delay 20 demo
xdotool key Tab && xdotool type --delay 20 demo
# interval, sound file, browse, play, then the viewer
xdotool key Tab Tab Tab Tab Tab && xdotool type --delay 10 "$RECORDER"
screenshot 02-filled-in
xdotool key alt+o
wait_for 30 state_has "count 3" || fail "the count did not arrive"
has_window "Pingbox v2.02" && fail "the window is still shown"
grep -q '^User=demo$' "$config/Pingbox.ini" || fail "the settings were not stored"
grep -q '^Pass=demo$' "$config/Pingbox.ini" && fail "the password was stored in clear"
state_has "hint 3 Messages on $server" || fail "no tooltip text"
animating || fail "the icon does not animate"
# newmail.wav, the default sound, lies beside the program: it plays, no message
wait_for 10 has_window "Confirm" || fail "no question"
has_window "Information" && fail "the default sound did not play"
sleep 0.3
screenshot 03-question-animating
press Confirm Return # Yes
wait_for 10 viewer_started || fail "the viewer was not started maximised"
wait_for 10 state_has "status Ready" || fail "no Ready"
[ "$(last_animated)" = false ] || fail "the animation did not stop after the viewer started"
stop_pingbox

echo "== restart with stored settings: no window, a check at once; No keeps animating"
rm -f "$ARGV_RECORDER_OUT"
# From here on the sound file is missing: its message comes before each question.
sed -i 's|^Path=newmail.wav$|Path=/nonexistent/chime.wav|' "$config/Pingbox.ini"
e2e_start_pingbox "$config"
wait_for 30 state_has "count 3" || fail "no check at start"
has_window "Pingbox v2.02" && fail "the window is shown at a resident start"
answer_alert
wait_for 10 state_has "status Ready" || fail "no Ready after No"
animating || fail "the animation stopped after No"
sleep 0.6
screenshot 04-after-no-still-animating
[ -s "$ARGV_RECORDER_OUT" ] && fail "a viewer was started after No"
echo "== tray menu: Read Email starts the viewer and stops the animation"
menu r viewer_started || fail "Read Email did not start the viewer"
wait_for 5 not_animating || fail "the animation did not stop"

echo "== tray menu: Check Email shows the progress window, then checks"
checks_before=$(grep -c '^count ' "$e2e_work/state.log")
wait_for 10 closed_at_least 1 || fail "not closed after the first check"
menu c has_window "Checking for New Messages..." || fail "no progress window"
screenshot 05-progress-window
wait_for 10 sh -c "! xdotool search --onlyvisible --name '^Checking for New Messages...$' >/dev/null" ||
    fail "the progress window did not close by itself"
wait_for 30 counts_above "$checks_before" || fail "no check"
answer_alert
wait_for 10 closed_at_least 2 || fail "not closed after the menu's check"

echo "== a double click on the icon does the same"
click_tray 1 2
wait_for 5 has_window "Checking for New Messages..." || fail "a double click showed no progress window"
answer_alert
wait_for 10 closed_at_least 3 || fail "not closed after the double click's check"

echo "== with the question open the tray still answers: tooltip, menu, and a check nested in it"
click_tray 1 2
wait_for 5 has_window "Checking for New Messages..." || fail "a double click showed no progress window"
wait_for 10 has_window "Information" || fail "no message about the sound file"
press Information Return
wait_for 10 has_window "Confirm" || fail "no question"
read -r x y w h <<<"$(tray_icon)"
xdotool mousemove 0 400 sleep 0.3 mousemove $((x + w / 2)) $((y + h / 2))
wait_for 10 tooltip_shown || fail "no tooltip while the question is open"
click_tray 3
wait_for 5 popup_menu >/dev/null || fail "no menu while the question is open"
popup=$(popup_menu)
xdotool key Escape
wait_for 5 sh -c "! xwininfo -id $popup 2>/dev/null | grep -q IsViewable" || fail "the menu did not close"
connects=$(grep -c '^status Connecting' "$e2e_work/state.log")
counts=$(grep -c '^count ' "$e2e_work/state.log")
click_tray 1 2
wait_for 5 has_window "Checking for New Messages..." || fail "a double click during the question did nothing"
wait_for 30 counts_above "$counts" || fail "no count refresh during the question"
[ "$(grep -c '^status Connecting' "$e2e_work/state.log")" -eq "$connects" ] ||
    fail "a second connection was opened instead of refreshing the count"
# The refreshed count raises the alert again, inside the open question.
wait_for 10 has_window "Information" || fail "no nested message about the sound file"
press Information Return
wait_for 10 confirms 2 || fail "no nested question"
xdotool key n # the nested question has the focus
wait_for 10 confirms 1 || fail "the nested question did not close"
press Confirm n
wait_for 10 closed_at_least 4 || fail "not closed after the nested check"

echo "== tray menu: About Pingbox and Configure"
menu a has_window "About Pingbox" || fail "no About window"
sleep 0.5
screenshot 06-about
press "About Pingbox" Return
wait_for 5 sh -c "! xdotool search --onlyvisible --name '^About Pingbox$' >/dev/null" || fail "About did not close"
menu o has_window "Pingbox v2.02" || fail "Configure did not show the window"
screenshot 07-configure
# The window manager may offer minimising whatever the window asks for.
xdotool windowminimize --sync "$(window_named "Pingbox v2.02")"
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^Pingbox v2.02\$" >/dev/null' ||
    fail "the window manager did not minimise the window"
menu o has_window "Pingbox v2.02" || fail "Configure left the window minimised"
wait_for 5 is_active "Pingbox v2.02" || fail "Configure did not make the window active"
wait_for 5 settled "Pingbox v2.02" || fail "the window did not come to rest"

echo "== the window's own right-click menu; a close through the window manager asks first"
# right_click_about: a right click on the window's left panel, then the
# menu's About entry.
right_click_about() {
    eval "$(xdotool getwindowgeometry --shell "$(window_named "Pingbox v2.02")")"
    xdotool mousemove $((X + 50)) $((Y + 150)) sleep 0.2 click 3
    choose a
    wait_for 5 has_window "About Pingbox"
}
right_click_about || fail "the right-click menu did not offer About Pingbox"
press "About Pingbox" Return
wait_for 5 sh -c "! xdotool search --onlyvisible --name '^About Pingbox$' >/dev/null" || fail "About did not close"
xprop -id "$(window_named "Pingbox v2.02")" _MOTIF_WM_HINTS | grep -q '= 0x3, 0x4, 0xa,' ||
    fail "the configuration window did not ask for a title bar without buttons"
press "Pingbox v2.02" alt+F4
wait_for 5 has_window "Confirm" || fail "a close through the window manager did not ask"
press Confirm n
sleep 0.5
kill -0 "$PINGBOX_PID" || fail "a close through the window manager ended Pingbox"
has_window "Pingbox v2.02" || fail "No to a close through the window manager hid the window"

echo "== the tray host restarts: the icon comes back"
for pid in "${e2e_pids[@]}"; do
    [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = trayer ] && kill "$pid"
done
wait_for 10 sh -c '! xdotool search --class trayer >/dev/null' || fail "trayer did not end"
trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 32 \
    --tint 0x3070a0 --transparent true --alpha 0 >>"$e2e_work/trayer.log" 2>&1 &
e2e_pids+=($!)
wait_for 15 in_tray || fail "the icon did not come back to the restarted tray"

echo "== a second copy hands over and ends; the first keeps running and shows its minimised window"
xdotool windowminimize --sync "$(window_named "Pingbox v2.02")"
start=$(date +%s%N)
XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$e2e_work/runtime" ASAN_OPTIONS=detect_leaks=0 \
    timeout 20 "$PINGBOX" >>"$e2e_work/second.log" 2>&1 || fail "the second copy failed or hung"
echo "   the second copy ended after $((($(date +%s%N) - start) / 1000000)) ms"
kill -0 "$PINGBOX_PID" || fail "the first copy is gone"
[ "$(xdotool search --onlyvisible --name '^Pingbox v2.02$' | wc -l)" -eq 1 ] || fail "two windows"
wait_for 5 is_active "Pingbox v2.02" || fail "the second copy did not bring the window back"

echo "== Close: No keeps Pingbox, Yes ends it and the icon leaves the tray"
menu e has_window "Confirm" || fail "no close question"
screenshot 08-close-question
press Confirm n
sleep 0.5
kill -0 "$PINGBOX_PID" || fail "No ended Pingbox"
in_tray || fail "No removed the icon"
menu e has_window "Confirm" || fail "no close question"
press Confirm Return
wait_for 10 sh -c "! kill -0 $PINGBOX_PID 2>/dev/null" || fail "Yes did not end Pingbox"
in_tray && fail "the icon stayed in the tray"
wait "$PINGBOX_PID"
[ $? -eq 0 ] || fail "Pingbox did not end cleanly"

echo "== an empty mailbox: 0 messages, no question, the still icon"
"$E2E_ROOT/scripts/dovecot-server" fill "$e2e_dovecot" demo 0 || fail "cannot empty the mailbox"
e2e_start_pingbox "$config"
wait_for 30 state_has "count 0" || fail "no count"
state_has "hint 0 Messages on $server" || fail "no tooltip text"
wait_for 10 state_has "status Ready" || fail "no Ready"
[ "$(last_animated)" = false ] || fail "animating with no mail"
has_window "Confirm" && fail "a question with no mail"
stop_pingbox

echo "== a wrong password"
wrong=$(e2e_settings Server/Host="$server" Server/User=demo Server/Pass=wrong)
e2e_start_pingbox "$wrong"
wait_for 30 has_window "Error" || fail "no error box"
state_has "status Error!" || fail "no Error! status"
screenshot 09-wrong-password
stop_pingbox

echo "== a stopped server: the connection-error window, silenced for good"
"$E2E_ROOT/scripts/dovecot-server" stop "$e2e_dovecot" >/dev/null
e2e_start_pingbox "$config"
wait_for 30 has_window "Unable to Connect to eMail Server..." || fail "no connection-error window"
screenshot 10-connection-error
press "Unable to Connect to eMail Server..." alt+d
wait_for 5 grep -q '^ShowError=false$' "$config/Pingbox.ini" || fail "the box did not store false"
press "Unable to Connect to eMail Server..." Return
wait_for 10 state_has "status Waiting to check email on: $server" || fail "not closed after the error"
stop_pingbox
e2e_start_pingbox "$config"
wait_for 30 state_has "status Error!" || fail "no error on restart"
sleep 2
has_window "Unable to Connect to eMail Server..." && fail "the silenced window came back"
stop_pingbox

echo "== no runtime folder and /tmp/pingbox-<uid> not ours: the marker goes to the cache"
# The user's own /run/user/<uid> always takes the marker; the fallbacks below
# are reached only on a machine without it (as root on a bare machine).
if [ ! -d "/run/user/$(id -u)" ]; then
    mkdir -p "$e2e_work/tmp"
    if [ "$(id -u)" -eq 0 ]; then
        mkdir "$e2e_work/tmp/pingbox-0" && chown 65534:65534 "$e2e_work/tmp/pingbox-0"
    else
        ln -s / "$e2e_work/tmp/pingbox-$(id -u)"
    fi
    unguarded=(env -u XDG_RUNTIME_DIR TMPDIR="$e2e_work/tmp" ASAN_OPTIONS=detect_leaks=0)
    fresh=$(e2e_settings)
    "${unguarded[@]}" XDG_CACHE_HOME="$e2e_work/cache" XDG_CONFIG_HOME="$fresh" \
        PINGBOX_STATE_LOG="$e2e_work/state.log" "$PINGBOX" >>"$e2e_work/pingbox.log" 2>&1 &
    PINGBOX_PID=$!
    e2e_pids+=($PINGBOX_PID)
    wait_for 20 has_window "Pingbox v2.02" || fail "no configuration window"
    timeout 20 "${unguarded[@]}" XDG_CACHE_HOME="$e2e_work/cache" XDG_CONFIG_HOME="$fresh" \
        "$PINGBOX" >>"$e2e_work/second.log" 2>&1 ||
        fail "the second copy failed or hung"
    kill -0 "$PINGBOX_PID" || fail "the first copy is gone"
    [ -d "$e2e_work/cache/pingbox" ] || fail "no marker folder in the cache"
    stop_pingbox

    echo "== no private folder at all: Pingbox says so, then runs"
    touch "$e2e_work/no-cache"
    "${unguarded[@]}" XDG_CACHE_HOME="$e2e_work/no-cache/sub" XDG_CONFIG_HOME="$fresh" \
        PINGBOX_STATE_LOG="$e2e_work/state.log" "$PINGBOX" >>"$e2e_work/pingbox.log" 2>&1 &
    PINGBOX_PID=$!
    e2e_pids+=($PINGBOX_PID)
    wait_for 20 has_window "Error" || fail "no word that Pingbox runs without its marker"
    screenshot 11-no-marker-folder
    press Error Return
    wait_for 20 has_window "Pingbox v2.02" || fail "Pingbox did not go on"
    stop_pingbox
else
    echo "   skipped: /run/user/$(id -u) exists and always holds the marker"
fi

echo "== Close while a name server never answers: Pingbox ends within 2 s"
# resolv.conf is replaced only inside a private mount namespace (root only).
if [ "$(id -u)" -eq 0 ] && unshare -m true 2>/dev/null; then
    python3 "$E2E_ROOT/tests/integration/check/scripted_pop.py" blackhole-dns \
        >"$e2e_work/dns.log" 2>&1 &
    e2e_pids+=($!)
    wait_for 10 test -s "$e2e_work/dns.log" || fail "the silent name server did not start"
    printf 'nameserver %s\noptions timeout:30 attempts:5\n' "$(head -n 1 "$e2e_work/dns.log")" \
        >"$e2e_work/resolv.conf"
    blackholed=$(e2e_settings Server/Host=mail.blackholed.example Server/User=demo Server/Pass=demo)
    mkdir -p "$e2e_work/runtime" && chmod 700 "$e2e_work/runtime"
    XDG_CONFIG_HOME="$blackholed" XDG_RUNTIME_DIR="$e2e_work/runtime" \
        PINGBOX_STATE_LOG="$e2e_work/state.log" ASAN_OPTIONS=detect_leaks=0 \
        unshare -m sh -c 'mount --bind "$1" /etc/resolv.conf && exec "$2"' sh \
        "$e2e_work/resolv.conf" "$PINGBOX" >>"$e2e_work/pingbox.log" 2>&1 &
    PINGBOX_PID=$!
    e2e_pids+=($PINGBOX_PID)
    wait_for 20 in_tray || fail "the icon is not in the tray"
    wait_for 10 state_has "status Connecting to POP server: mail.blackholed.example..." ||
        fail "the check did not start"
    sleep 1 # the lookup is under way
    menu e has_window "Confirm" || fail "no close question"
    press Confirm y
    started=$(date +%s%N)
    wait_for 10 sh -c "! kill -0 $PINGBOX_PID 2>/dev/null" || fail "Pingbox did not end"
    took=$((($(date +%s%N) - started) / 1000000))
    echo "   Pingbox ended ${took} ms after Close"
    ((took <= 2000)) || fail "Pingbox took ${took} ms to end after Close"
else
    echo "   skipped: needs root for a private mount namespace"
fi

echo "all scenarios passed"
