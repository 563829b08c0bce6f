#!/bin/bash
# pingbox-check against a private Dovecot: the stored account, an account
# given on the command line, and the failures with their exit codes.
#   pingbox_check_test.sh ROOT PINGBOX-CHECK
root=$1
check=$2
set -u
work=$(mktemp -d /tmp/pingbox-check-test.XXXXXX)
chmod 755 "$work"
cleanup() {
    [ -n "${scripted_pid:-}" ] && kill "$scripted_pid" 2>/dev/null
    "$root/scripts/dovecot-server" stop "$work/dovecot" >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
expect() { # expect CODE OUTPUT DESCRIPTION -- COMMAND...
    local code=$1 output=$2 what=$3
    shift 4
    local got_output got_code
    got_output=$("$@" 2>"$work/stderr")
    got_code=$?
    if [ "$got_code" -ne "$code" ] || { [ -n "$output" ] && [ "$got_output" != "$output" ]; }; then
        echo "FAIL: $what: exit $got_code (want $code), output '$got_output' (want '$output')" >&2
        sed 's/^/    stderr: /' "$work/stderr" >&2
        failures=$((failures + 1))
    else
        echo "ok: $what"
    fi
}

eval "$("$root/scripts/dovecot-server" start "$work/dovecot" --user demo:s3cret:4 --oauth)" || exit 1
export PINGBOX_CA_FILE="$CA_FILE" ASAN_OPTIONS=detect_leaks=0
mkdir -p "$work/config" "$work/empty"
python3 "$root/tests/e2e/write_settings.py" "$work/config/Pingbox.ini" \
    Server/Host="localhost:$POP3_PORT" Server/User=demo Server/Pass=s3cret

expect 0 4 "the stored account" -- env XDG_CONFIG_HOME="$work/config" "$check"
expect 2 "" "no stored account" -- env XDG_CONFIG_HOME="$work/empty" "$check"
expect 0 4 "password from the environment, TLS from the first byte" -- \
    env PINGBOX_PASSWORD=s3cret "$check" --server "pop3s://localhost:$POP3S_PORT" --user demo
printf 's3cret\n' >"$work/pass"
expect 0 4 "password from a file" -- \
    "$check" --server "localhost:$POP3_PORT" --user demo --password-file "$work/pass"
expect 2 "" "a password on the command line is refused" -- \
    "$check" --server "localhost:$POP3_PORT" --user demo s3cret
no_echo() { # a usage error names no argument
    if grep -q s3cret "$work/stderr"; then
        echo "FAIL: $1: the usage error shows the argument" >&2
        failures=$((failures + 1))
    fi
}
no_echo "a stray argument"
expect 2 "" "an unknown option is refused" -- "$check" --s3cret
no_echo "an unknown option"
expect 4 "" "a wrong password" -- \
    env PINGBOX_PASSWORD=wrong "$check" --server "localhost:$POP3_PORT" --user demo
# Access tokens from a command; Dovecot checks the token as the password.
for method in xoauth2 oauthbearer; do
    expect 0 4 "$method with a token from a command, over STLS" -- \
        "$check" --server "localhost:$POP3_PORT" --user demo --auth $method \
        --password-command 'printf "s3cret\n"' --verbose
    if grep -q s3cret "$work/stderr"; then
        echo "FAIL: $method: the verbose output shows the token" >&2
        failures=$((failures + 1))
    fi
    expect 4 "" "$method with an expired token" -- \
        "$check" --server "pop3s://localhost:$POP3S_PORT" --user demo --auth $method \
        --password-command 'echo expired'
done
expect 8 "" "a password command that fails" -- \
    "$check" --server "localhost:$POP3_PORT" --user demo --password-command 'echo no >&2; exit 3'
grep -q "^pingbox-check: 1041 .*exit status 3; it said: no)" "$work/stderr" ||
    { echo "FAIL: the command's failure is not reported" >&2; failures=$((failures + 1)); }
expect 8 "" "a password command that prints nothing" -- \
    "$check" --server "localhost:$POP3_PORT" --user demo --password-command true
expect 2 "" "an unknown login method" -- \
    "$check" --server "localhost:$POP3_PORT" --user demo --auth cram-md5 --password-command true
printf '[Server]\nHost=localhost:%s\nUser=demo\nAuth=oauthbearer\nPassCommand=echo s3cret\n' \
    "$POP3_PORT" >"$work/empty/Pingbox.ini"
expect 0 $'4\n4' "Auth= and PassCommand= of the stored account, twice" -- \
    env XDG_CONFIG_HOME="$work/empty" "$check" --checks 2
rm "$work/empty/Pingbox.ini"
expect 7 "" "a certificate nobody trusts" -- \
    env -u PINGBOX_CA_FILE PINGBOX_PASSWORD=s3cret "$check" --server "pop3s://localhost:$POP3S_PORT" --user demo
"$root/scripts/dovecot-server" stop "$work/dovecot" >/dev/null
expect 3 "" "a stopped server" -- \
    env PINGBOX_PASSWORD=s3cret "$check" --server "localhost:$POP3_PORT" --user demo

# A scripted server runs in the background; its first line is the port.
# (Not a coprocess: bash forgets a coprocess's pid as soon as it ends.)
start_scripted() { # start_scripted MODE: sets port and scripted_pid
    python3 "$root/tests/integration/check/scripted_pop.py" "$1" >"$work/$1.port" &
    scripted_pid=$!
    port=""
    for _ in $(seq 200); do
        port=$(head -n 1 "$work/$1.port")
        [ -n "$port" ] && return 0
        sleep 0.05
    done
    echo "FAIL: the scripted server '$1' did not start" >&2
    exit 1
}

# A reply nobody asked for right after the capability list fails the session
# while its request for a login is still queued: a protocol error, no abort.
start_scripted unasked
expect 6 "" "a reply nobody asked for" -- \
    env PINGBOX_PASSWORD=s3cret "$check" --server "127.0.0.1:$port" --user demo --timeout 10
wait "$scripted_pid" 2>/dev/null

# The process keeps itself out of core dumps, even where the shell allows them.
start_scripted silent
(ulimit -c unlimited 2>/dev/null; exec env PINGBOX_PASSWORD=s3cret "$check" \
    --server "127.0.0.1:$port" --user demo --timeout 30 >/dev/null 2>&1) &
checker=$!
core=""
for _ in $(seq 200); do
    core=$(awk '/^Max core file size/ {print $5}' "/proc/$checker/limits" 2>/dev/null)
    [ "$core" = 0 ] && break
    sleep 0.05
done
kill "$checker" 2>/dev/null
wait "$checker" 2>/dev/null
kill "$scripted_pid" 2>/dev/null
wait "$scripted_pid" 2>/dev/null
if [ "$core" = 0 ]; then
    echo "ok: no core dumps"
else
    echo "FAIL: no core dumps: the core size limit is '$core'" >&2
    failures=$((failures + 1))
fi

echo "$((12 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
