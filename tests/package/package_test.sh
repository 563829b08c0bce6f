#!/usr/bin/env bash
# Installs the Debian package on this computer, checks what it put where and
# that the installed programs run, then removes it again.
#
# usage: tests/package/package_test.sh [PACKAGE.deb]
#   Without an argument, scripts/package builds the package first (a release
#   build). Needs root or password-less sudo, Xvfb and xdotool; Dovecot for the
#   check against a real server; desktop-file-validate (desktop-file-utils)
#   when present. It refuses to run when pingbox is already installed, so an
#   installation of yours is never replaced or removed. Screenshots go to
#   $PACKAGE_TEST_OUT (default: build/release/package-test).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${PACKAGE_TEST_OUT:-$root/build/release/package-test}
mkdir -p "$out"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    sudo -n true 2>/dev/null || { echo "FAIL: needs root or password-less sudo" >&2; exit 1; }
    SUDO="sudo -n"
fi

work=$(mktemp -d /tmp/pingbox-package-test.XXXXXX)
chmod 755 "$work" # Dovecot's own users must reach the mailboxes under it
pids=()
installed=""
dovecot=""
failures=0

cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    wait 2>/dev/null
    [ -n "$dovecot" ] && "$root/scripts/dovecot-server" stop "$dovecot" >/dev/null 2>&1
    if [ -n "$installed" ]; then
        apt_get remove pingbox >"$work/remove.log" 2>&1 ||
            { echo "FAIL: apt-get remove pingbox" >&2; cat "$work/remove.log" >&2; }
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
fatal() { echo "FAIL: $*" >&2; exit 1; }
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
# apt-get ARGS...: quiet and unattended; waits up to two minutes for the
# dpkg lock when another apt or dpkg run holds it, instead of failing.
apt_get() {
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=120 -y -qq "$@"
}
wait_for() { # wait_for SECONDS COMMAND...
    local tries=$(($1 * 10))
    shift
    for ((t = 0; t < tries; t++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

version=$(sed -n 's/^project(Pingbox VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || fatal "no project version in CMakeLists.txt"
title="Pingbox v$version"

case "$(dpkg-query -W -f='${Status}' pingbox 2>/dev/null)" in
"" | *" not-installed" | *" config-files") ;;
*) fatal "pingbox is installed on this computer; remove it first (this test installs and removes it)" ;;
esac

deb=${1:-}
if [ -z "$deb" ]; then
    deb=$("$root/scripts/package") || fatal "scripts/package failed"
fi
[ -f "$deb" ] || fatal "no package file $deb"
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")
echo "package: $deb"

# --- what the package says about itself
field() { dpkg-deb -f "$deb" "$1"; }
check "package name pingbox" [ "$(field Package)" = pingbox ]
check "version $version" [ "$(field Version)" = "$version" ]
check "section mail" [ "$(field Section)" = mail ]
check "a maintainer" [ -n "$(field Maintainer)" ]
check "a description" [ -n "$(field Description)" ]
depends=$(field Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6multimedia6 \
    libqt6keychain1; do
    check "depends on $lib (computed from the binaries)" grep -q "\b$lib\b" <<<"$depends"
done

# --- install
apt_get install "$deb" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fatal "apt-get install $deb"; }
installed=yes
pass "apt-get install"

# --- files where a desktop looks for them
check "/usr/bin/pingbox is a program" [ -x /usr/bin/pingbox ]
check "/usr/bin/pingbox-check is a program" [ -x /usr/bin/pingbox-check ]
launcher=/usr/share/applications/pingbox.desktop
autostart=/usr/share/doc/pingbox/examples/pingbox-autostart.desktop
for entry in "$launcher" "$autostart"; do
    check "$entry exists" [ -f "$entry" ]
    for key in Type=Application Name=Pingbox Exec=pingbox Icon=pingbox Terminal=false; do
        check "$(basename "$entry") has $key" grep -qxF "$key" "$entry"
    done
    if command -v desktop-file-validate >/dev/null; then
        check "desktop-file-validate $(basename "$entry")" desktop-file-validate "$entry"
    else
        echo "skipped: desktop-file-validate (install desktop-file-utils)"
    fi
done
check "the launcher's categories" grep -qxF 'Categories=Network;Email;' "$launcher"
check "the launcher's comment" grep -q '^Comment=.' "$launcher"
# Exec=pingbox must resolve on a desktop's PATH to the installed program.
check "Exec finds /usr/bin/pingbox" [ "$(PATH=/usr/local/bin:/usr/bin:/bin command -v pingbox)" = /usr/bin/pingbox ]

icons=/usr/share/icons/hicolor
check "scalable icon is an SVG picture" python3 -c '
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
sys.exit(0 if root.tag == "{http://www.w3.org/2000/svg}svg" and len(root) > 10 else 1)' \
    "$icons/scalable/apps/pingbox.svg"
png_size() { # prints WIDTHxHEIGHT of a PNG file, from its header
    python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read(24)
if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
    sys.exit(1)
print("%dx%d" % struct.unpack(">II", data[16:24]))' "$1"
}
for size in 16 32 48 64 128 256; do
    check "${size}x${size} icon is a PNG of that size" \
        [ "$(png_size "$icons/${size}x${size}/apps/pingbox.png" 2>/dev/null)" = "${size}x${size}" ]
done
# The fixed sizes are the art blown up by whole numbers, never smoothed: 48 is
# the 16x16 drawing three times, 64 and 256 the 32x32 drawing two and eight times.
same_pixels() { # same_pixels SMALL FACTOR LARGE
    convert "$1" -scale "$2%" "$work/scaled.png" &&
        [ "$(compare -metric AE "$work/scaled.png" "$3" null: 2>&1)" = 0 ]
}
if command -v compare >/dev/null; then
    check "48x48 icon is the 16x16 art, each pixel a 3x3 block" \
        same_pixels "$icons/16x16/apps/pingbox.png" 300 "$icons/48x48/apps/pingbox.png"
    check "64x64 icon is the 32x32 art, each pixel a 2x2 block" \
        same_pixels "$icons/32x32/apps/pingbox.png" 200 "$icons/64x64/apps/pingbox.png"
    check "256x256 icon is the 32x32 art, each pixel an 8x8 block" \
        same_pixels "$icons/32x32/apps/pingbox.png" 800 "$icons/256x256/apps/pingbox.png"
else
    echo "skipped: the icon pixel comparison (install imagemagick)"
fi

for page in pingbox pingbox-check; do
    check "manual page $page(1) with the version filled in" \
        sh -c "zcat /usr/share/man/man1/$page.1.gz | grep -qF '\"Pingbox $version\"'"
done

# --- the installed command-line checker
check "pingbox-check --help" sh -c '/usr/bin/pingbox-check --help | grep -q -- --server'
mkdir -p "$work/empty-config"
XDG_CONFIG_HOME="$work/empty-config" /usr/bin/pingbox-check >"$work/check.out" 2>&1
code=$?
check "pingbox-check without an account exits 2" [ "$code" -eq 2 ]
check "pingbox-check says no account is stored" grep -q 'no account stored' "$work/check.out"
# The keyring is a module pingbox-check loads only when it is needed, and the
# installed one finds it: with no session bus the error is the keyring's own.
module=$(dpkg -L pingbox | grep '/pingbox/pingbox-keyring\.so$')
check "the keyring module is installed under lib/.../pingbox" [ -f "$module" ]
check "pingbox-check links no D-Bus and no QtKeychain" \
    sh -c '! ldd /usr/bin/pingbox-check | grep -Eq "libQt6DBus|keychain|libdbus"'
mkdir -p "$work/keyring-config"
printf '[Server]\nHost=localhost:1\nUser=demo\nPassStore=keyring\n' >"$work/keyring-config/Pingbox.ini"
DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" XDG_CONFIG_HOME="$work/keyring-config" \
    /usr/bin/pingbox-check >"$work/check.out" 2>&1
check "pingbox-check loads the installed keyring module (1045 from the keyring itself)" \
    sh -c "grep -q '1045' '$work/check.out' && ! grep -q 'keyring module' '$work/check.out'"
if [ -x /usr/sbin/dovecot ]; then
    dovecot="$work/dovecot"
    if eval "$("$root/scripts/dovecot-server" start "$dovecot" --user demo:demo:3)"; then
        count=$(PINGBOX_PASSWORD=demo /usr/bin/pingbox-check --server "localhost:$POP3_PORT" \
            --user demo --ca-file "$CA_FILE" --timeout 10 2>"$work/check.err")
        check "pingbox-check counts 3 messages over STLS on a real server" [ "$count" = 3 ]
    else
        fail "Dovecot did not start"
        dovecot=""
    fi
else
    echo "skipped: the check against Dovecot (install dovecot-pop3d)"
fi

# --- the installed program on a display
# Xvfb picks a free display number itself and writes it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 10 grep -q . "$work/display"
display=:$(head -n 1 "$work/display" 2>/dev/null)
[ "$display" != : ] || fatal "Xvfb did not start"
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
env -u DBUS_SESSION_BUS_ADDRESS -u WAYLAND_DISPLAY DISPLAY="$display" QT_QPA_PLATFORM=xcb \
    XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
    /usr/bin/pingbox >"$work/pingbox.log" 2>&1 &
pingbox=$!
pids+=($pingbox)
window_of() { DISPLAY="$display" xdotool search --onlyvisible --name "^${title//./\\.}\$" 2>/dev/null | head -n 1; }
window_up() { [ -n "$(window_of)" ]; }
if wait_for 20 window_up; then
    pass "installed pingbox shows its configuration window \"$title\""
    sleep 0.5
    DISPLAY="$display" import -window root "$out/first-run.png" 2>/dev/null &&
        echo "screenshot: $out/first-run.png"
else
    fail "installed pingbox showed no window \"$title\""
    cat "$work/pingbox.log" >&2
fi
check "pingbox is still running" kill -0 "$pingbox"
# Docks match windows to the launcher by this class.
window=$(window_of)
check "the window's class matches the launcher's StartupWMClass" \
    [ "$(DISPLAY="$display" xprop -id "${window:-0}" WM_CLASS 2>/dev/null | sed 's/.*, "\(.*\)"$/\1/')" = \
      "$(sed -n 's/^StartupWMClass=//p' "$launcher")" ]
kill "$pingbox" 2>/dev/null
wait "$pingbox" 2>/dev/null

# --- remove again
apt_get remove pingbox >"$work/remove.log" 2>&1 &&
    installed="" && pass "apt-get remove"
check "/usr/bin/pingbox is gone" [ ! -e /usr/bin/pingbox ]
check "the launcher is gone" [ ! -e "$launcher" ]
check "the icon is gone" [ ! -e "$icons/scalable/apps/pingbox.svg" ]

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all package checks passed"
