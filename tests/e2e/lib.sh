# Shared by the end-to-end scripts: a private X server with a tray host, a
# private Dovecot, waiting, screenshots and clean-up. Source it, then call
# e2e_start_desktop.
set -u

e2e_pids=()
e2e_work=$(mktemp -d /tmp/pingbox-e2e.XXXXXX)
chmod 755 "$e2e_work" # Dovecot's own users must reach the mailboxes under it
e2e_dovecot=""

e2e_cleanup() {
    local i
    for ((i = ${#e2e_pids[@]} - 1; i >= 0; i--)); do
        kill "${e2e_pids[i]}" 2>/dev/null
    done
    wait 2>/dev/null
    [ -n "$e2e_dovecot" ] && "$E2E_ROOT/scripts/dovecot-server" stop "$e2e_dovecot" >/dev/null 2>&1
    rm -rf "$e2e_work"
}
trap e2e_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for f in "$e2e_work"/*.log; do
        [ -s "$f" ] && { echo "--- $f" >&2; tail -n 40 "$f" >&2; }
    done
    exit 1
}

# wait_for SECONDS COMMAND...: retry every 100 ms until COMMAND succeeds.
wait_for() {
    local tries=$(($1 * 10))
    shift
    for ((t = 0; t < tries; t++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# An X server on a free display and, unless told otherwise, trayer as the
# tray host. Qt talks XEmbed to it when no session bus is around.
e2e_start_desktop() {
    # Xvfb picks a free display itself and tells its number.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$e2e_work/display" \
        >"$e2e_work/xvfb.log" 2>&1 &
    e2e_pids+=($!)
    wait_for 10 test -s "$e2e_work/display" || fail "Xvfb did not start"
    DISPLAY=:$(head -n 1 "$e2e_work/display")
    export DISPLAY
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
    export QT_QPA_PLATFORM=xcb
    wait_for 10 xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"
    # A window manager, so that focus moves to each new box as on a desktop.
    openbox --sm-disable >"$e2e_work/openbox.log" 2>&1 &
    e2e_pids+=($!)
    wait_for 10 wm_ready || fail "the window manager did not start"
    if [ "${1:-}" != "--no-tray" ]; then
        trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 32 \
            --tint 0x3070a0 --transparent true --alpha 0 >"$e2e_work/trayer.log" 2>&1 &
        e2e_pids+=($!)
        wait_for 10 xdotool search --class trayer >/dev/null 2>&1 || fail "trayer did not start"
    fi
}

# A private Dovecot holding COUNT messages for demo/demo; sets POP3_PORT, CA_FILE.
e2e_start_dovecot() {
    e2e_dovecot="$e2e_work/dovecot"
    eval "$("$E2E_ROOT/scripts/dovecot-server" start "$e2e_dovecot" --user "demo:demo:$1")" ||
        fail "Dovecot did not start"
}

# A settings folder for one start of Pingbox; "$@" are section/ident=value.
e2e_settings() {
    local dir="$e2e_work/config-$RANDOM"
    mkdir -p "$dir"
    python3 "$E2E_ROOT/tests/e2e/write_settings.py" "$dir/Pingbox.ini" "$@"
    echo "$dir"
}

# Starts pingbox with its own settings and runtime folders; sets PINGBOX_PID.
e2e_start_pingbox() {
    local config=$1
    mkdir -p "$e2e_work/runtime" && chmod 700 "$e2e_work/runtime"
    XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$e2e_work/runtime" PINGBOX_CA_FILE="${CA_FILE:-}" \
        PINGBOX_STATE_LOG="$e2e_work/state.log" ASAN_OPTIONS=detect_leaks=0 \
        "$PINGBOX" >>"$e2e_work/pingbox.log" 2>&1 &
    PINGBOX_PID=$!
    e2e_pids+=($PINGBOX_PID)
}

state_has() { grep -qxF -- "$1" "$e2e_work/state.log" 2>/dev/null; }
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
has_window() { [ -n "$(window_named "$1")" ]; }

# settled WINDOW-NAME: the window stands still. Openbox animates a window
# back from minimised, moving it for a moment; a click aimed at where it
# stood a moment ago misses it.
settled() {
    local window before
    window=$(window_named "$1")
    [ -n "$window" ] || return 1
    before=$(xdotool getwindowgeometry "$window" 2>/dev/null) || return 1
    sleep 0.2
    [ "$(xdotool getwindowgeometry "$window" 2>/dev/null)" = "$before" ]
}

# press WINDOW-NAME KEY: activates the window and types KEY into it.
press() {
    local window
    window=$(window_named "$1")
    [ -n "$window" ] || fail "no window '$1' to press $2 in"
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || fail "cannot activate '$1'"
    xdotool key --clearmodifiers "$2"
}

# The tray icon's place in the tray host: "X Y W H", or nothing. Only a
# window the host has taken in counts: for a moment after it is added, Qt's
# icon window stands alone at the screen's corner, where a click reaches
# nothing.
tray_icon() {
    local host
    for host in $(xdotool search --class trayer 2>/dev/null); do
        xwininfo -tree -id "$host" 2>/dev/null | awk '/\("pingbox" "pingbox"\)/ {
            split($0, a, /\) +/); split(a[2], g, /[ x+]+/);
            if (g[1] > 4 && g[2] > 4) { print $1; exit } }'
    done | while read -r icon; do
        xwininfo -id "$icon" 2>/dev/null | awk '
            /Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF }
            /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF }
            /Map State: IsViewable/ { viewable = 1 }
            END { if (viewable) print x, y, w, h }'
        break
    done
}
in_tray() { [ -n "$(tray_icon)" ]; }

# click_tray BUTTON [REPEAT]: clicks the middle of the tray icon. It first
# lets Qt's double-click interval (400 ms) pass: a press on the same spot
# within it is the second half of a double click, and a right press that
# chose a menu item by key a moment ago would turn the next right press into
# a right double click, which opens no menu.
click_tray() {
    local x y w h
    read -r x y w h <<<"$(tray_icon)"
    [ -n "${h:-}" ] || fail "the icon is not in the tray"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) sleep 0.6 click --repeat "${2:-1}" --delay 120 "$1"
}

# The window of Pingbox's open popup menu, or nothing: a window of its own
# on the screen that the window manager leaves alone. The icon's tooltip is
# such a window too; it comes and goes while the pointer rests on the icon.
popup_menu() {
    local w info type
    for w in $(xwininfo -root -children 2>/dev/null | awk '/\("pingbox" "pingbox"\)/ { print $1 }'); do
        info=$(xwininfo -id "$w" 2>/dev/null) || continue
        grep -q "Override Redirect State: yes" <<<"$info" || continue
        grep -q "Map State: IsViewable" <<<"$info" || continue
        type=$(xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null) || continue
        grep -q TOOLTIP <<<"$type" && continue
        echo "$w"
        return 0
    done
    return 1
}

# choose LETTER: once the popup menu is open, types an item's accelerator
# into it, and waits for the menu to close. A key typed before the menu holds
# the keyboard would go elsewhere.
choose() {
    local popup
    if ! wait_for 5 popup_menu >/dev/null; then
        xwininfo -root -tree 2>/dev/null | grep -E '"pingbox"|trayer' >"$e2e_work/windows.log"
        echo "pointer: $(xdotool getmouselocation 2>&1); icon: $(tray_icon)" >>"$e2e_work/windows.log"
        fail "no popup menu opened"
    fi
    popup=$(popup_menu)
    # The menu acts on the key press and may be gone before the key's release
    # reaches it (BadWindow): what counts is that it closes.
    xdotool key --window "$popup" "$1" 2>/dev/null
    wait_for 5 sh -c "! xwininfo -id $popup 2>/dev/null | grep -q IsViewable" ||
        fail "the popup menu stayed open after its key"
}

# screenshot NAME: the whole screen into the artefacts folder.
screenshot() { import -window root "$E2E_OUT/$1.png" 2>/dev/null; }

# Private system and session buses that start no service of their own, for
# the services python3-dbusmock stands in for; sets DBUS_SYSTEM_BUS_ADDRESS
# and DBUS_SESSION_BUS_ADDRESS. Call it after e2e_start_desktop.
e2e_start_buses() {
    local kind address
    cat >"$e2e_work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:tmpdir=$e2e_work</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    for kind in system session; do
        dbus-daemon --config-file="$e2e_work/bus.conf" --nofork --print-address=3 \
            3>"$e2e_work/$kind-bus.address" >"$e2e_work/$kind-bus.log" 2>&1 &
        e2e_pids+=($!)
        wait_for 10 test -s "$e2e_work/$kind-bus.address" || fail "no private $kind bus"
    done
    address=$(head -n 1 "$e2e_work/system-bus.address")
    export DBUS_SYSTEM_BUS_ADDRESS=$address
    address=$(head -n 1 "$e2e_work/session-bus.address")
    export DBUS_SESSION_BUS_ADDRESS=$address
}

# e2e_mock TEMPLATE BUS NAME [ARGS...]: a python3-dbusmock service on the
# private BUS (system or session) owning NAME; its calls are logged to
# $e2e_work/TEMPLATE.calls.log. Sets MOCK_PID.
e2e_mock() {
    local template=$1 bus=$2 name=$3
    shift 3
    local where=()
    [ "$bus" = system ] && where=(--system)
    /usr/bin/python3 -m dbusmock --template "$template" "${where[@]}" \
        -l "$e2e_work/$template.calls.log" "$@" >>"$e2e_work/$template.log" 2>&1 &
    MOCK_PID=$!
    e2e_pids+=($MOCK_PID)
    wait_for 15 sh -c "gdbus call --$bus -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.GetNameOwner $name >/dev/null 2>&1" || fail "no mock $template"
}

# mock_signal BUS NAME PATH INTERFACE SIGNAL SIGNATURE ARGS: a mock sends a
# signal; ARGS is a GVariant array of variants, such as "[<true>]".
mock_signal() {
    gdbus call --"$1" -d "$2" -o "$3" -m org.freedesktop.DBus.Mock.EmitSignal "$4" "$5" "$6" "$7" \
        >/dev/null || fail "the mock $2 did not send $5"
}

# prepare_for_sleep true|false: logind's announcement.
prepare_for_sleep() {
    mock_signal system org.freedesktop.login1 /org/freedesktop/login1 \
        org.freedesktop.login1.Manager PrepareForSleep b "[<$1>]"
}

# nm_state N: NetworkManager's state (70 connected to the Internet, 20
# disconnected, 10 asleep); the mock tells it with PropertiesChanged.
nm_state() {
    gdbus call --system -d org.freedesktop.NetworkManager -o /org/freedesktop/NetworkManager \
        -m org.freedesktop.DBus.Mock.SetGlobalConnectionState "$1" >/dev/null ||
        fail "the NetworkManager mock did not change state"
}
