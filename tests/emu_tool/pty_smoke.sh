#!/usr/bin/env bash
# Starts lodevar-emu and talks to it as the driver and a test would: status requests through the
# link to the pseudo-terminal, a passbook inserted through the control pipe, a printed line in the
# page file and on the "page" command, an unknown command refused, the cable pulled and put back
# (the printer keeps its passbook), and a clean end on SIGTERM.
#   pty_smoke.sh PATH-OF-lodevar-emu
set -euo pipefail
tool=$1
work=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    echo "--- stdout" >&2; cat "$work/out" >&2
    echo "--- stderr" >&2; cat "$work/err" >&2
    exit 1
}
# Waits up to 2 s for a command to succeed.
await() {
    for _ in $(seq 40); do
        if "$@"; then return 0; fi
        sleep 0.05
    done
    return 1
}
# Sends a request on the port and prints the 5-byte answer in hex.
ask() {
    printf "$1" >&3
    timeout 2 dd bs=1 count=5 <&3 2>/dev/null | od -An -tx1 | tr -d ' \n'
}

"$tool" --family 0 --link "$work/com1" --control "$work/ctl" --page-file "$work/page" \
    </dev/null >"$work/out" 2>"$work/err" &
pid=$!
await test -p "$work/ctl" || fail "no control pipe"
head -1 "$work/out" | grep -q '^PTY /dev/' || fail "first line is not PTY"
[ "$(readlink "$work/com1")" = "$(sed -n '1s/^PTY //p' "$work/out")" ] || fail "link does not point at the slave"

exec 3<>"$work/com1"  # the tool has put the slave in raw mode: no echo, no line editing
[ "$(ask '\033j')" = 023f725003 ] || fail "status with nothing in"

echo "insert passbook" >"$work/ctl"
passbook_in() { [ "$(ask '\033j')" = 023f724103 ]; }
await passbook_in || fail "status with a passbook in"

printf '\033L007\033H005HELLO\033[000' >&3
await grep -q '^   3|     HELLO$' "$work/page" || fail "page file"

echo page >"$work/ctl"
await grep -q '^END PAGE$' "$work/out" || fail "no END PAGE"
grep -q '^   3|     HELLO$' "$work/out" || fail "page command"

echo "nonsense 1" >"$work/ctl"
await grep -q '^? nonsense 1$' "$work/err" || fail "unknown command not reported"

echo unplug >"$work/ctl"
await test ! -L "$work/com1" -a ! -e "$work/com1" || fail "the link to the old port still there after unplug"
exec 3>&-
echo replug >"$work/ctl"
second_pty() { [ "$(grep -c '^PTY ' "$work/out")" -eq 2 ]; }
await second_pty || fail "no PTY line after replug"
[ "$(readlink "$work/com1")" = "$(grep '^PTY ' "$work/out" | sed -n '2s/^PTY //p')" ] ||
    fail "link not re-pointed"
exec 3<>"$work/com1"
[ "$(ask '\033j')" = 023f724103 ] || fail "passbook lost across replug"

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "exit status $status"
[ ! -L "$work/com1" ] || fail "link left behind"
[ ! -e "$work/ctl" ] || fail "control pipe left behind"
echo PASS
