#!/bin/bash
# The tray icon against a real tray host: Xvfb with trayer, driven by xdotool.
#   tray_e2e.sh TRAYPROBE OUTDIR
# Checks: the icon comes up when the tray host starts after the program; the
# still icon and the animation frames are drawn, also after a few rounds, and
# the still icon again after it (screenshots in OUTDIR); a double click and a
# right click reach the component; the icon comes back after the tray host is
# killed and restarted while the tray menu is open.
set -u
probe=$1
out=$2
mkdir -p "$out"
rm -f "$out"/*.png "$out"/probe.log "$out"/probe.err

pids=()
fail() {
    echo "FAIL: $*" >&2
    echo "--- probe output:" >&2
    cat "$out/probe.log" >&2
    echo "--- probe errors:" >&2
    tail -40 "$out/probe.err" >&2
    exit 1
}
cleanup() {
    exec 3>&- 2>/dev/null
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
work=$(mktemp -d)
trap cleanup EXIT

# wait_for SECONDS COMMAND...: retry every 100 ms.
wait_for() {
    local tries=$(($1 * 10))
    shift
    for ((t = 0; t < tries; t++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
logged() { grep -q -- "$1" "$out/probe.log"; }
count_logged() { grep -c -- "$1" "$out/probe.log"; }

# Xvfb picks a free display itself and tells its number; it never resets,
# which would drop a client connecting just as the last one leaves.
Xvfb -displayfd 3 -screen 0 320x120x24 -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$work/display")
wait_for 10 xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"

start_trayer() {
    trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 32 \
        --tint 0x3070a0 --transparent true --alpha 0 >>"$work/trayer.log" 2>&1 &
    trayer_pid=$!
    pids+=($trayer_pid)
}

# Without a session bus Qt uses the XEmbed tray protocol, which trayer hosts.
mkfifo "$work/ctl"
env -u DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 \
    "$probe" <"$work/ctl" >"$out/probe.log" 2>"$out/probe.err" &
pids+=($!)
exec 3>"$work/ctl"
send() { echo "$1" >&3; wait_for 5 logged "done $1" || fail "probe did not take '$1'"; }

wait_for 10 logged "no host at start" || fail "probe did not start"

# 1. The tray host appears after the program, as at login.
start_trayer
wait_for 10 logged "host present" || fail "the tray host was not noticed"
# The probe reports where the X server has the icon, and only once the tray
# host has taken it in: before that Qt holds it as a window of its own at the
# origin of the screen, and a click aimed there reaches nothing.
geometry() { grep '^geometry' "$out/probe.log" | tail -1; }
icon_in_tray() { [[ "$(geometry)" =~ ^geometry\ [0-9]+\ [0-9]+\ [1-9] ]]; }
wait_for 10 icon_in_tray || fail "the icon did not come up in the tray"
# The tray host itself holds our window.
children=$(xwininfo -children -id "$(xdotool search --classname trayer | head -1)" | grep -c '^ *0x')
[ "$children" -ge 1 ] || fail "trayer embeds no icon"

# 2. What the tray shows: grey tray, no yellow; animated, yellow letters.
shot() { import -window root -crop 100x34+220+0 "$1"; }
yellow() { convert "$1" -format %c histogram:info: | grep -ci '#FFFF00'; }
sleep 0.5
shot "$out/still.png"
[ "$(yellow "$out/still.png")" = 0 ] || fail "the still icon shows yellow"
convert "$out/still.png" -format %c histogram:info: | grep -qi '#C0C0C0' || fail "the still icon is not drawn"
send "animate on"
animated=""
for i in $(seq 1 20); do
    shot "$work/frame.png"
    if [ "$(yellow "$work/frame.png")" != 0 ]; then
        cp "$work/frame.png" "$out/animated.png"
        animated=yes
        break
    fi
    sleep 0.1
done
[ -n "$animated" ] || fail "no frame with letters while animating"
# Frames the icon has shown once come back by another way: look again after
# a few rounds, and after a new tip, which the icon takes the usual way.
sleep 1
send "hint 3 Messages"
sleep 1
frames_seen() { # frames_seen 0|1: whether the tray shows (1) or lacks (0) letters, within 2 s
    local i
    for i in $(seq 1 40); do
        shot "$work/frame.png"
        [ "$(yellow "$work/frame.png")" != 0 ] && [ "$1" = 1 ] && return 0
        [ "$(yellow "$work/frame.png")" = 0 ] && [ "$1" = 0 ] && return 0
        sleep 0.05
    done
    return 1
}
frames_seen 0 || fail "the animation does not cycle back to the empty tray"
frames_seen 1 || fail "no frame with letters after a few rounds"
send "animate off"
sleep 0.5
shot "$work/frame.png"
[ "$(yellow "$work/frame.png")" = 0 ] || fail "the still icon does not come back after the animation"
convert "$out/still.png" "$out/animated.png" -append -scale 300% "$out/tray.png"

# 3. Mouse: a double click (click, double click, click) and a right click,
# aimed at the middle of the icon where the tray host has it now.
read -r _ x y w h <<<"$(geometry)"
cx=$((x + w / 2))
cy=$((y + h / 2))
xdotool mousemove "$cx" "$cy" sleep 0.2 click --repeat 2 --delay 120 1
wait_for 5 logged "double click" || fail "a double click did not reach the tray"
wait_for 5 xdotool search --name "trayprobe check" >/dev/null || fail "no window after the double click"
[ "$(count_logged '^click left')" -ge 2 ] || fail "the clicks around the double click are missing"
xdotool mousemove "$cx" "$cy" click 3
wait_for 5 logged "menu shown" || fail "a right click did not open the menu"

# 4. The tray host restarts, while the menu is still open: the icon comes
# back, and the menu still closes.
kill "$trayer_pid"
wait "$trayer_pid" 2>/dev/null
wait_for 10 logged "host gone" || fail "the tray host's end was not noticed"
before=$(count_logged "host present")
start_trayer
wait_for 10 eval '[ "$(count_logged "host present")" -gt "$before" ]' || fail "the restarted host was not noticed"
wait_for 10 icon_in_tray || fail "the icon did not come back after the restart"
children=$(xwininfo -children -id "$(xdotool search --classname trayer | head -1)" | grep -c '^ *0x')
[ "$children" -ge 1 ] || fail "the restarted trayer embeds no icon"
# Escape goes straight to the menu's window: typed, it could come before the
# menu has taken the keyboard and go elsewhere.
# (A press is enough; xdotool complains about focus when it sends to a window.)
menu_window=$(grep '^menu shown' "$out/probe.log" | tail -1 | cut -d' ' -f3)
xdotool keydown --window "$menu_window" Escape 2>>"$work/xdotool.log"
wait_for 5 logged "menu closed" || fail "Escape did not close the menu"

send "quit"
wait_for 10 logged "ended" || fail "probe did not end"
echo "PASS"
