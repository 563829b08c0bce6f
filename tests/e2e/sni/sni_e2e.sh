#!/bin/bash
# The real pingbox binary against a real StatusNotifierItem host on the
# private session bus this script runs in (dbus-run-session), with a real
# Dovecot:
#   sni_e2e.sh ROOT PINGBOX OUTDIR xfce|waybar|gnome
# xfce: xfce4-panel with its tray on Xvfb (X11). waybar: waybar's tray module
# on sway with its headless backend, Pingbox on native Wayland; sway refuses
# to run as root, so as root the script runs itself again as nobody. gnome:
# GNOME Shell with its AppIndicator extension as the window manager on Xvfb,
# with a private system bus on which a mock logind stands in for systemd's.
# Checks: the host starts after the program and gets the icon (on X11 over
# the bus and not as an XEmbed window, although the panel hosts both); one
# item is registered, never a passing second one; the menu's "Check Email",
# chosen through com.canonical.dbusmenu as the host does, starts a check; the
# host restarts and gets the icon again; Activate (a left click) starts a
# check; the item leaves with the program; no host's read is answered with an
# error. On GNOME, 30 s of animation with no word in the shell's log about
# the item.
E2E_ROOT=$1
PINGBOX=$2
E2E_OUT=$3
TRAY_HOST=${4:-xfce}
if [ "$TRAY_HOST" = waybar ] && [ "$(id -u)" -eq 0 ]; then
    # The checkout may lie where nobody cannot reach: copy what the run needs.
    stage=$(mktemp -d /tmp/pingbox-nobody.XXXXXX)
    chmod 755 "$stage"
    mkdir -p "$stage/root/tests/e2e/sni" "$stage/root/scripts" "$stage/home" "$stage/out"
    cp "$E2E_ROOT/tests/e2e/lib.sh" "$E2E_ROOT/tests/e2e/write_settings.py" "$stage/root/tests/e2e/"
    cp "$E2E_ROOT"/tests/e2e/sni/* "$stage/root/tests/e2e/sni/"
    cp "$E2E_ROOT/scripts/dovecot-server" "$stage/root/scripts/"
    cp "$PINGBOX" "$stage/pingbox"
    chmod -R a+rX "$stage"
    chown nobody "$stage/home" "$stage/out"
    runuser -u nobody -- env HOME="$stage/home" dbus-run-session -- \
        "$stage/root/tests/e2e/sni/sni_e2e.sh" "$stage/root" "$stage/pingbox" "$stage/out" waybar
    code=$?
    mkdir -p "$E2E_OUT" && cp -r "$stage/out/." "$E2E_OUT/" 2>/dev/null
    rm -rf "$stage"
    exit $code
fi
mkdir -p "$E2E_OUT"
rm -f "$E2E_OUT"/*.png
source "$E2E_ROOT/tests/e2e/lib.sh"

[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || fail "run me under dbus-run-session"

case $TRAY_HOST in
xfce)
    bus=$DBUS_SESSION_BUS_ADDRESS
    e2e_start_desktop --no-tray
    export DBUS_SESSION_BUS_ADDRESS=$bus
    # The panel's settings come from xfconfd, which the bus starts on demand.
    panel_config="$e2e_work/panel-config"
    mkdir -p "$panel_config/xfce4/xfconf/xfce-perchannel-xml"
    cp "$E2E_ROOT/tests/e2e/sni/xfce4-panel.xml" "$panel_config/xfce4/xfconf/xfce-perchannel-xml/"
    dbus-update-activation-environment XDG_CONFIG_HOME="$panel_config" DISPLAY="$DISPLAY" ||
        fail "cannot set the bus's activation environment"
    start_host() {
        XDG_CONFIG_HOME="$panel_config" xfce4-panel --disable-wm-check >>"$e2e_work/panel.log" 2>&1 &
        host_pid=$!
        e2e_pids+=($host_pid)
    }
    ;;
waybar)
    sway_runtime="$e2e_work/sway-runtime"
    mkdir -p "$sway_runtime" && chmod 700 "$sway_runtime"
    : >"$e2e_work/sway.conf"
    XDG_RUNTIME_DIR=$sway_runtime WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
        WLR_RENDERER=pixman sway -c "$e2e_work/sway.conf" >"$e2e_work/sway.log" 2>&1 &
    e2e_pids+=($!)
    sway_socket() { ls "$sway_runtime" 2>/dev/null | grep -m1 '^wayland-[0-9]*$'; }
    wait_for 20 sway_socket >/dev/null || fail "sway did not start"
    # Pingbox has a runtime folder of its own; the socket is named in full.
    export WAYLAND_DISPLAY="$sway_runtime/$(sway_socket)" QT_QPA_PLATFORM=wayland
    SWAYSOCK=$(ls "$sway_runtime"/sway-ipc.*.sock)
    export SWAYSOCK
    unset DISPLAY
    start_host() {
        XDG_RUNTIME_DIR=$sway_runtime waybar -c "$E2E_ROOT/tests/e2e/sni/waybar.json" \
            >>"$e2e_work/waybar.log" 2>&1 &
        host_pid=$!
        e2e_pids+=($host_pid)
    }
    ;;
gnome)
    bus=$DBUS_SESSION_BUS_ADDRESS
    e2e_start_desktop --no-tray
    export DBUS_SESSION_BUS_ADDRESS=$bus
    # The shell asks logind for the session at start and waits for it.
    sed "s|@SOCKET@|$e2e_work/system_bus_socket|" "$E2E_ROOT/tests/e2e/sni/system-bus.conf" \
        >"$e2e_work/system-bus.conf"
    dbus-daemon --config-file="$e2e_work/system-bus.conf" --nofork >"$e2e_work/system-bus.log" 2>&1 &
    e2e_pids+=($!)
    wait_for 10 test -S "$e2e_work/system_bus_socket" || fail "the system bus did not start"
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$e2e_work/system_bus_socket
    /usr/bin/python3 -m dbusmock --system --template logind >"$e2e_work/logind.log" 2>&1 &
    e2e_pids+=($!)
    wait_for 10 gdbus call --system -d org.freedesktop.login1 -o /org/freedesktop/login1 \
        -m org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 || fail "the mock logind did not start"
    # The extension, enabled in settings of the shell's own.
    shell_config="$e2e_work/shell-config"
    mkdir -p "$shell_config"
    for key in "enabled-extensions ['ubuntu-appindicators@ubuntu.com']" \
        "disable-user-extensions false"; do
        GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME="$shell_config" gsettings set org.gnome.shell $key ||
            fail "cannot enable the AppIndicator extension"
    done
    start_host() {
        GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME="$shell_config" \
            gnome-shell --x11 --replace --sm-disable >>"$e2e_work/shell.log" 2>&1 &
        host_pid=$!
        e2e_pids+=($host_pid)
    }
    ;;
*) fail "unknown host $TRAY_HOST" ;;
esac
e2e_start_dovecot 0
server="localhost:$POP3_PORT"

# Every item the watcher registers or drops, for the count at the end.
dbus-monitor "type='signal',interface='org.kde.StatusNotifierWatcher'" >"$e2e_work/monitor.log" 2>&1 &
e2e_pids+=($!)

# Every error a host is answered with: a property it reads and we lack.
dbus-monitor "type='error'" >"$e2e_work/errors.log" 2>&1 &
e2e_pids+=($!)
# What the hosts read, for the record at the end.
dbus-monitor "type='method_call',interface='org.freedesktop.DBus.Properties'" >"$e2e_work/reads.log" 2>&1 &
e2e_pids+=($!)
# The properties a host read and our item lacked so far, one line each.
item_errors() {
    grep -F "sender=$item " "$e2e_work/errors.log" 2>/dev/null | grep -E "UnknownProperty|InvalidArgs"
}

WATCHER=(--session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher)
# The bus name of our item, as the watcher lists it ("NAME/PATH", on GNOME
# "NAME@/PATH").
our_item() {
    local entry name
    for entry in $(gdbus call "${WATCHER[@]}" -m org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2>/dev/null |
        grep -o "'[^']*'" | tr -d "'"); do
        name=${entry%%/*}
        name=${name%@}
        if gdbus call --session -d "$name" -o "/${entry#*/}" \
            -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Id 2>/dev/null |
            grep -q "'pingbox'"; then
            echo "$name"
            return 0
        fi
    done
    return 1
}
has_item() { our_item >/dev/null; }
watcher_gone() { ! gdbus call "${WATCHER[@]}" -m org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1; }
item_property() {
    gdbus call --session -d "$item" -o /StatusNotifierItem -m org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierItem "$1"
}
checks() { grep -c '^count ' "$e2e_work/state.log" 2>/dev/null; }
checks_above() { [ "$(checks)" -gt "$1" ]; }
# Distinct items the watcher took: registering the same one again is no news.
registered() {
    grep -A1 'member=StatusNotifierItemRegistered' "$e2e_work/monitor.log" | grep -o '"[^"]*"' |
        sort -u | wc -l
}
# GNOME tells of an item once its icon is in the panel, a moment later.
registered_is() { [ "$(registered)" = "$1" ]; }
ms_now() { date +%s%3N; }
# The icon's silver in the panel's strip: the host drew our pictures.
panel_draws_icon() {
    import -window root -crop 1024x32+0+0 "$e2e_work/strip.png" 2>/dev/null &&
        convert "$e2e_work/strip.png" -format %c histogram:info: | grep -qi '#C0C0C0'
}

echo "== Pingbox starts before any tray host and checks"
config=$(e2e_settings Server/Host="$server" Server/User=demo Server/Pass=demo)
e2e_start_pingbox "$config"
wait_for 30 state_has "count 0" || fail "no check at start"
has_item && fail "an item without a watcher"

echo "== the host starts after Pingbox and gets the icon"
start_host
wait_for 60 gdbus call "${WATCHER[@]}" -m org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 ||
    fail "the $TRAY_HOST tray offers no StatusNotifierWatcher"
since=$(ms_now)
wait_for 20 has_item || fail "the host did not get the icon"
echo "   item registered $(($(ms_now) - since)) ms after the watcher appeared"
item=$(our_item)
item_property Status | grep -q "'Active'" || fail "the item is not Active"
item_property ToolTip | grep -qF "0 Messages on $server" || fail "the tooltip lacks the hint"
item_property IconPixmap | grep -q "(16, 16" || fail "the item has no 16x16 picture"
menu_path=$(item_property Menu | grep -o "'/[^']*'" | tr -d "'")
[ "$menu_path" = /MenuBar ] || fail "the item exports no menu: $menu_path"
# The panel hosts XEmbed too; the bus is preferred and the icon is there once.
if [ "$TRAY_HOST" = xfce ]; then
    wait_for 10 panel_draws_icon || fail "the panel does not draw the icon"
    in_tray && fail "the icon is also an XEmbed window"
    screenshot sni-panel
fi
wait_for 10 registered_is 1 || fail "$(registered) items registered instead of one"

echo "== the host's menu: Check Email starts a check"
layout=$(gdbus call --session -d "$item" -o "$menu_path" -m com.canonical.dbusmenu.GetLayout -- 0 -1 '[]')
for label in _Check\ Email _Read\ Email _About\ Pingbox C_onfigure Clos_e; do
    grep -qF "'label': <'$label'>" <<<"$layout" || fail "no menu item '$label' in: $layout"
done
check_id=$(grep -oP "\(\K\d+(?=, \{[^}]*'label': <'_Check Email'>)" <<<"$layout")
[ -n "$check_id" ] || fail "no id for Check Email"
before=$(checks)
gdbus call --session -d "$item" -o "$menu_path" -m com.canonical.dbusmenu.AboutToShow 0 >/dev/null ||
    fail "AboutToShow failed"
gdbus call --session -d "$item" -o "$menu_path" -m com.canonical.dbusmenu.Event \
    "$check_id" clicked '<int32 0>' 0 >/dev/null || fail "the menu event was refused"
wait_for 30 checks_above "$before" || fail "Check Email did not check"

echo "== the host restarts and gets the icon again"
kill "$host_pid"
wait "$host_pid" 2>/dev/null
wait_for 10 watcher_gone || fail "the watcher outlived the host"
start_host
wait_for 60 gdbus call "${WATCHER[@]}" -m org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 ||
    fail "the restarted host offers no watcher"
since=$(ms_now)
wait_for 20 has_item || fail "the restarted host did not get the icon"
echo "   item registered $(($(ms_now) - since)) ms after the watcher appeared"
item=$(our_item)
[ "$TRAY_HOST" = xfce ] && { wait_for 10 panel_draws_icon || fail "the restarted panel does not draw the icon"; }

echo "== Activate, a left click on every such host, starts a check"
before=$(checks)
gdbus call --session -d "$item" -o /StatusNotifierItem -m org.kde.StatusNotifierItem.Activate 5 5 \
    >/dev/null || fail "Activate was refused"
wait_for 30 checks_above "$before" || fail "Activate did not check"
wait_for 10 registered_is 2 || fail "$(registered) registrations for two host starts"

echo "== ContextMenu: answered at once, while the popup stays open"
# A popup's own loop would hold the answer until the menu closes.
timeout 5 gdbus call --session -d "$item" -o /StatusNotifierItem \
    -m org.kde.StatusNotifierItem.ContextMenu 40 10 >/dev/null || fail "ContextMenu was not answered"
if [ "$TRAY_HOST" != waybar ]; then
    popup_open() { xdotool search --onlyvisible --class pingbox >/dev/null 2>&1; }
    wait_for 10 popup_open || fail "ContextMenu opened no popup"
    xdotool key Escape
else
    # No parent window to attach a popup to: the menu floats at its own size
    # instead of being stretched across the output.
    popup_floats() {
        swaymsg -t get_tree | python3 -c '
import json, sys
def floating(node):
    for child in node.get("floating_nodes", []):
        yield child
    for child in node.get("nodes", []):
        yield from floating(child)
menus = [n for n in floating(json.load(sys.stdin)) if n.get("app_id") == "pingbox"]
sys.exit(0 if menus and all(n["rect"]["width"] < 400 for n in menus) else 1)'
    }
    wait_for 10 popup_floats || fail "the popup does not float at its own size"
    swaymsg '[app_id=pingbox] kill' >/dev/null
fi

echo "== the item leaves with the program; a start beside a running host adds one item"
kill "$PINGBOX_PID"
wait "$PINGBOX_PID" 2>/dev/null
wait_for 10 sh -c '! gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems | grep -q :' ||
    fail "the item outlived the program"
e2e_start_pingbox "$config"
wait_for 20 has_item || fail "the running host did not get the icon"
wait_for 30 state_has "count 0" || fail "no check at start"
sleep 1 # time for a passing second item to show
[ "$(registered)" = 3 ] || fail "$(registered) items for three starts: a passing second one"
item=$(our_item)

if [ "$TRAY_HOST" = gnome ]; then
    echo "== GNOME: 30 s of animation, and the shell logs nothing about the item"
    "$E2E_ROOT/scripts/dovecot-server" fill "$e2e_dovecot" demo 3 || fail "cannot fill the mailbox"
    shell_lines=$(wc -l <"$e2e_work/shell.log")
    gdbus call --session -d "$item" -o /StatusNotifierItem -m org.kde.StatusNotifierItem.Activate 5 5 \
        >/dev/null || fail "Activate was refused"
    animating() { [ "$(grep '^animated ' "$e2e_work/state.log" | tail -n 1)" = "animated true" ]; }
    wait_for 30 animating || fail "the icon does not animate"
    sleep 30
    animating || fail "the animation stopped"
    tail -n +$((shell_lines + 1)) "$e2e_work/shell.log" |
        grep -E "ubuntu-appindicators|AppIndicator|StatusNotifier|pingbox|$item" >"$e2e_work/shell-item.log"
    [ -s "$e2e_work/shell-item.log" ] && fail "GNOME Shell logged about the item: $(head -n 20 "$e2e_work/shell-item.log")"
fi
[ -z "$(item_errors)" ] || fail "hosts read what the item lacks: $(item_errors | head -n 5)"
echo "   the host read: $(/usr/bin/python3 "$E2E_ROOT/tests/e2e/sni/host_reads.py" "$e2e_work/reads.log")"
echo "PASS"
