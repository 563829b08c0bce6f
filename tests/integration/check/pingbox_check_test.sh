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

eval "$("$root/scripts/dovecot-server" start "$work/dovecot" --user demo:s3cret:4)" || exit 1
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
expect 4 "" "a wrong password" -- \
    env PINGBOX_PASSWORD=wrong "$check" --server "localhost:$POP3_PORT" --user demo
expect 7 "" "a certificate nobody trusts" -- \
    env -u PINGBOX_CA_FILE PINGBOX_PASSWORD=s3cret "$check" --server "pop3s://localhost:$POP3S_PORT" --user demo
"$root/scripts/dovecot-server" stop "$work/dovecot" >/dev/null
expect 3 "" "a stopped server" -- \
    env PINGBOX_PASSWORD=s3cret "$check" --server "localhost:$POP3_PORT" --user demo

echo "$((8 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
