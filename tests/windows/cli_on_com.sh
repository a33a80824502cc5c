#!/usr/bin/env bash
# tarvex-cli.exe under Wine against the unit on COM<TARVEX_TEST_PORT> (on_com_port.sh), through
# the product's own Win32 serial code: apply with read-back, diff, read and scan, with the
# simulator's log as the proof of what reached the unit; and Ctrl-C ending a read, and a wait for
# standard input, with exit 130.
#   cli_on_com.sh TARVEX_CLI_EXE EXAMPLE_CONFIG
set -euo pipefail
program=$1 example=$2
number=$TARVEX_TEST_PORT port=COM$TARVEX_TEST_PORT
scratch=$(mktemp -d)
reading='' waiting=''
# A program left running on a failure would hold the test's output open.
trap 'kill $reading $waiting 2>/dev/null || true; rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# Ctrl-C (Wine turns SIGINT into the console's Ctrl-C) to a program started in the background
# two seconds before, once it waits; its exit status in $status.
interrupt() {
    sleep 2
    kill -INT "$1"
    status=0
    wait "$1" || status=$?
}
# tarvex-cli.exe ARGUMENTS: its exit code in $status, its standard output in $out.
cli() {
    status=0
    out=$("$TARVEX_WINE_RUN" "$program" "$@" 2>"$scratch/errors") || status=$?
}
expect() {
    [ "$status" -eq "$1" ] || fail "$2: exit $status: $(cat "$scratch/errors") $out"
}

cli apply --device "$port" "Z:$example"
expect 0 "apply"
grep -qa 9811111111 "$TARVEX_TEST_SIM_LOG" || fail "apply: the phone numbers never reached the unit"

cli diff --device "$port" "Z:$example"
expect 0 "diff of the file just applied"
sed 's/Weekly test/Monthly test/' "$example" >"$scratch/changed.json"
cli diff --device "$port" "Z:$scratch/changed.json"
expect 2 "diff of a changed message"
grep -q "Monthly test" <<<"$out" || fail "diff does not show the changed message: $out"

cli read --device "$port" --no-messages -o "Z:$scratch/unit.json"
expect 0 "read"
grep -q '"9822222222\|+919822222"' "$scratch/unit.json" || fail "read: $(cat "$scratch/unit.json")"

# Port number N is COMN, of the ports Windows lists: registered as a driver would (the key lives
# as long as the Wine server), this unit's port is number N. The scan goes to it alone: Wine
# makes COM1 of the machine's own /dev/ttyS0, which a test must not write.
"$TARVEX_WINE_RUN" reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "Tarvex test $port" \
    /t REG_SZ /d "$port" /f >/dev/null
cli ports
expect 0 "ports"
grep -q "^$number  $port\b" <<<"$out" || fail "ports does not list $port as port $number: $out"
cli scan --port "$number=$port"
expect 0 "scan"
grep -q "^$number  $port  KTX" <<<"$out" || fail "scan did not find the unit on $port: $out"

# Ctrl-C, which Wine makes of SIGINT, ends a read after the exchange in flight: exit 130 and no
# output file. The read's exchanges wait a second each, so that it is still reading then. (A
# second program's open of the port, which Windows refuses, Wine lets through: the held port's
# exit 75 is not tested here.)
"$TARVEX_WINE_RUN" "$program" read --device "$port" --reply-wait 1000 \
    -o "Z:$scratch/interrupted.json" 2>"$scratch/reading" &
interrupt $!
# (A process killed by the signal would give 130 as well: the program's own word tells them apart.)
[ "$status" -eq 130 ] && grep -q "exchange in flight was completed" "$scratch/reading" ||
    fail "read interrupted by Ctrl-C: exit $status: $(cat "$scratch/reading")"
[ ! -e "$scratch/interrupted.json" ] || fail "an interrupted read left its output file"
# Standard input from a pipe that nobody writes yet: Ctrl-C ends the wait for it at once (the read
# blocks on a thread of its own while the program waits in its event loop).
mkfifo "$scratch/input"
exec 5<>"$scratch/input" # a writer that never writes
"$TARVEX_WINE_RUN" "$program" apply - --device "$port" <"$scratch/input" 2>"$scratch/waiting" &
interrupt $!
[ "$status" -eq 130 ] && grep -q "interrupted" "$scratch/waiting" ||
    fail "apply waiting for standard input, Ctrl-C: exit $status: $(cat "$scratch/waiting")"
echo "tarvex-cli.exe on $port: apply, diff, read, scan, and Ctrl-C in a read and in a wait for input"
