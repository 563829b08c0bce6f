#!/bin/bash
# The real pingbox binary against a real StatusNotifierItem host: xfce4-panel
# with its tray on Xvfb, on the private session bus this script runs in
# (dbus-run-session), and a real Dovecot:
#   sni_e2e.sh ROOT PINGBOX OUTDIR
# Checks: the host starts after the program and gets the icon, over the bus
# and not as an XEmbed window although the panel hosts both; one item is
# registered, never a passing second one; the menu's "Check Email", chosen
# through com.canonical.dbusmenu as the host does, starts a check; the host
# restarts and gets the icon again; Activate (a left click) starts a check.
E2E_ROOT=$1
PINGBOX=$2
E2E_OUT=$3
mkdir -p "$E2E_OUT"
rm -f "$E2E_OUT"/*.png
source "$E2E_ROOT/tests/e2e/lib.sh"

[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || fail "run me under dbus-run-session"
bus=$DBUS_SESSION_BUS_ADDRESS
e2e_start_desktop --no-tray
export DBUS_SESSION_BUS_ADDRESS=$bus
e2e_start_dovecot 0
server="localhost:$POP3_PORT"

# The panel's settings come from xfconfd, which the bus starts on demand.
panel_config="$e2e_work/panel-config"
mkdir -p "$panel_config/xfce4/xfconf/xfce-perchannel-xml"
cp "$E2E_ROOT/tests/e2e/sni/xfce4-panel.xml" "$panel_config/xfce4/xfconf/xfce-perchannel-xml/"
dbus-update-activation-environment XDG_CONFIG_HOME="$panel_config" DISPLAY="$DISPLAY" ||
    fail "cannot set the bus's activation environment"

# Every item the watcher registers or drops, for the count at the end.
dbus-monitor "type='signal',interface='org.kde.StatusNotifierWatcher'" >"$e2e_work/monitor.log" 2>&1 &
e2e_pids+=($!)

WATCHER=(--session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher)
start_panel() {
    XDG_CONFIG_HOME="$panel_config" xfce4-panel --disable-wm-check >>"$e2e_work/panel.log" 2>&1 &
    panel_pid=$!
    e2e_pids+=($panel_pid)
}
# The bus name of our item, as the watcher lists it ("NAME/PATH").
our_item() {
    local entry
    for entry in $(gdbus call "${WATCHER[@]}" -m org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2>/dev/null |
        grep -o "'[^']*'" | tr -d "'"); do
        if gdbus call --session -d "${entry%%/*}" -o "/${entry#*/}" \
            -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Id 2>/dev/null |
            grep -q "'pingbox'"; then
            echo "${entry%%/*}"
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
progress_shown() { has_window "Checking for New Messages..."; }
progress_gone() { ! progress_shown; }
registered() { grep -c 'member=StatusNotifierItemRegistered' "$e2e_work/monitor.log"; }
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
start_panel
wait_for 20 gdbus call "${WATCHER[@]}" -m org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 ||
    fail "xfce4-panel's tray offers no StatusNotifierWatcher"
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
wait_for 10 panel_draws_icon || fail "the panel does not draw the icon"
in_tray && fail "the icon is also an XEmbed window"
screenshot sni-panel
[ "$(registered)" = 1 ] || fail "$(registered) items registered instead of one"

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
wait_for 10 progress_shown || fail "Check Email showed no progress window"
wait_for 30 checks_above "$before" || fail "Check Email did not check"
wait_for 10 progress_gone || fail "the progress window stayed"

echo "== the host restarts and gets the icon again"
kill "$panel_pid"
wait "$panel_pid" 2>/dev/null
wait_for 10 watcher_gone || fail "the watcher outlived the panel"
start_panel
wait_for 20 gdbus call "${WATCHER[@]}" -m org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 ||
    fail "the restarted panel offers no watcher"
since=$(ms_now)
wait_for 20 has_item || fail "the restarted host did not get the icon"
echo "   item registered $(($(ms_now) - since)) ms after the watcher appeared"
item=$(our_item)
wait_for 10 panel_draws_icon || fail "the restarted panel does not draw the icon"

echo "== Activate, a left click on every such host, starts a check"
before=$(checks)
gdbus call --session -d "$item" -o /StatusNotifierItem -m org.kde.StatusNotifierItem.Activate 5 5 \
    >/dev/null || fail "Activate was refused"
wait_for 10 progress_shown || fail "Activate showed no progress window"
wait_for 30 checks_above "$before" || fail "Activate did not check"
wait_for 10 progress_gone || fail "the progress window stayed"
screenshot sni-after-activate
[ "$(registered)" = 2 ] || fail "$(registered) registrations for two host starts"
kill "$PINGBOX_PID"
wait "$PINGBOX_PID" 2>/dev/null
wait_for 10 sh -c '! gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems | grep -q :' ||
    fail "the item outlived the program"
echo "PASS"
