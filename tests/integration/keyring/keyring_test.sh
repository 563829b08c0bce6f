#!/bin/bash
# The desktop keyring for real: gnome-keyring-daemon on a private session bus,
# unlocked with a known password, entries written by Pingbox's backend and
# read with secret-tool and the other way, pingbox-check reading its password
# from it, and the failures (no entry, no keyring at all, no keyring module)
# with their errors.
#   keyring_test.sh ROOT PINGBOX-CHECK KEYRING-PROBE
root=$1
check=$2
probe=$3
set -u
if [ "${KEYRING_TEST_INSIDE:-}" != yes ]; then
    for tool in dbus-run-session gnome-keyring-daemon secret-tool; do
        command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps)" >&2; exit 1; }
    done
    work=$(mktemp -d /tmp/pingbox-keyring-test.XXXXXX)
    chmod 755 "$work"
    trap '"$root/scripts/dovecot-server" stop "$work/dovecot" >/dev/null 2>&1; rm -rf "$work"' EXIT
    eval "$("$root/scripts/dovecot-server" start "$work/dovecot" --user demo:s3cret:3)" || exit 1
    export PINGBOX_CA_FILE="$CA_FILE" ASAN_OPTIONS=detect_leaks=0 KEYRING_TEST_WORK="$work"
    export KEYRING_TEST_SERVER="pop3s://localhost:$POP3S_PORT"
    # No session bus at all: a clear error at once, nothing sent.
    mkdir -p "$work/config"
    printf '[Server]\nHost=%s\nUser=demo\nPass=\nPassStore=keyring\n' "$KEYRING_TEST_SERVER" \
        >"$work/config/Pingbox.ini"
    start=$(date +%s)
    env DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" XDG_CONFIG_HOME="$work/config" \
        "$check" 2>"$work/stderr"
    code=$?
    failures=0
    if [ "$code" -ne 8 ] || ! grep -q "1045" "$work/stderr" || [ $(($(date +%s) - start)) -gt 20 ]; then
        echo "FAIL: no session bus: exit $code" >&2
        cat "$work/stderr" >&2
        failures=1
    else
        echo "ok: no session bus gives 1045"
    fi
    KEYRING_TEST_INSIDE=yes dbus-run-session -- "$0" "$@" || failures=1
    exit "$failures"
fi

work=$KEYRING_TEST_WORK
server=$KEYRING_TEST_SERVER
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_DATA_HOME"
eval "$(printf 'keyring-pw' | gnome-keyring-daemon --unlock --components=secrets)"
failures=0
check_that() { # check_that DESCRIPTION -- COMMAND...: the command must succeed
    local what=$1
    shift 2
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; failures=$((failures + 1)); fi
}
expect() { # expect CODE OUTPUT DESCRIPTION -- COMMAND...
    local code=$1 output=$2 what=$3 got got_code
    shift 4
    got=$("$@" 2>"$work/stderr")
    got_code=$?
    if [ "$got_code" -ne "$code" ] || [ "$got" != "$output" ]; then
        echo "FAIL: $what: exit $got_code (want $code), output '$got' (want '$output')" >&2
        sed 's/^/    stderr: /' "$work/stderr" >&2
        failures=$((failures + 1))
    else
        echo "ok: $what"
    fi
}

# Pingbox's backend writes, secret-tool reads: the lookup command of the README.
expect 0 ok "Pingbox writes the password" -- sh -c "echo s3cret | '$probe' write '$server' demo"
expect 0 s3cret "secret-tool finds what Pingbox wrote" -- \
    secret-tool lookup server "pingbox:$server" user demo
expect 0 3 "pingbox-check reads its password from the keyring" -- "$check"
grep -q "s3cret" "$work/config/Pingbox.ini" && { echo "FAIL: the password is in the file" >&2; failures=$((failures + 1)); }

# The keyring module missing (the program copied where none is found): 1045
# naming the module, nothing sent to the server, no fall-back to the file.
mkdir -p "$work/alone" && cp "$check" "$work/alone/"
listener=$(mktemp -u "$work/listener.XXXXXX")
python3 -c 'import socket, sys
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen()
open(sys.argv[1] + ".port", "w").write(str(s.getsockname()[1]))
s.accept(); open(sys.argv[1] + ".connected", "w").close()' "$listener" &
listener_pid=$!
for _ in $(seq 50); do [ -s "$listener.port" ] && break; sleep 0.1; done
python3 "$root/tests/e2e/write_settings.py" "$work/alone/Pingbox.ini" \
    Server/Host="localhost:$(cat "$listener.port")" Server/User=demo Server/Pass=s3cret \
    Server/PassStore=keyring
expect 8 "" "no keyring module" -- env XDG_CONFIG_HOME="$work/alone" "$work/alone/$(basename "$check")"
check_that "no keyring module says 1045 and names the module" -- \
    grep -q "^pingbox-check: 1045 .*pingbox-keyring.so is in none of" "$work/stderr"
check_that "no keyring module sends nothing" -- [ ! -e "$listener.connected" ]
kill "$listener_pid" 2>/dev/null
wait "$listener_pid" 2>/dev/null

# secret-tool writes (with QtKeychain's schema), Pingbox reads.
printf 'changed' | secret-tool store --label="Pingbox test" xdg:schema org.qt.keychain \
    type plaintext server "pingbox:$server" user demo
expect 0 changed "Pingbox reads what secret-tool wrote" -- "$probe" read "$server" demo
expect 4 "" "the changed password goes to the server" -- "$check"

# A locked keyring whose unlock prompt cannot be answered: its own error, no
# fall-back to the file; once unlocked, the next check works.
# The file still holds the right password: a fall-back to it would log in.
python3 "$root/tests/e2e/write_settings.py" "$XDG_CONFIG_HOME/Pingbox.ini" Server/Host="$server" \
    Server/User=demo Server/Pass=s3cret Server/PassStore=keyring
dbus-send --session --print-reply --dest=org.freedesktop.secrets /org/freedesktop/secrets \
    org.freedesktop.Secret.Service.Lock array:objpath:/org/freedesktop/secrets/collection/login \
    >/dev/null
expect 8 "" "a locked keyring" -- "$check"
check_that "a locked keyring says so with 1046" -- grep -q "^pingbox-check: 1046 " "$work/stderr"
printf 'keyring-pw' | gnome-keyring-daemon --replace --unlock --components=secrets >/dev/null 2>&1
for _ in $(seq 50); do # until the new daemon answers, unlocked
    secret-tool lookup server "pingbox:$server" user demo >/dev/null 2>&1 && break
    sleep 0.1
done
expect 4 "" "unlocked, the next check reads the keyring again" -- "$check"

# No entry for the account: its own error, no check.
printf '[Server]\nHost=%s\nUser=nobody\nPassStore=keyring\n' "$server" >"$XDG_CONFIG_HOME/Pingbox.ini"
expect 8 "" "no entry in the keyring" -- "$check"
check_that "no entry says so with 1047" -- grep -q "^pingbox-check: 1047 " "$work/stderr"
exit "$failures"
