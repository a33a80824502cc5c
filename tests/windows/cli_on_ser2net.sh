#!/usr/bin/env bash
# tarvex-cli.exe under Wine through Debian's ser2net on loopback (on_ser2net.sh), in both modes,
# over the product's own Winsock line: apply with read-back, diff and read in each, the written
# file checked, and over RFC 2217 a message holding 0xFF ("ÿ" in ISO 8859-1, Telnet's command
# byte) reaching the unit once and reading back whole.
#   cli_on_ser2net.sh WINE_RUN TARVEX_CLI_EXE EXAMPLE_CONFIG
set -euo pipefail
wine_run=$1 program=$2 example=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# tarvex-cli.exe ARGUMENTS: its exit code in $status, its standard output in $out (its lines end
# in CR LF, as a Windows console program's text does).
cli() {
    status=0
    out=$("$wine_run" "$program" "$@" 2>"$scratch/errors") || status=$?
    out=${out//$'\r'/}
}
expect() {
    [ "$status" -eq "$1" ] || fail "$2: exit $status: $(cat "$scratch/errors") $out"
}

# Each mode applies a file of its own, so that each proves its writes reached the unit.
sed 's/Weekly test/Monthly test/' "$example" >"$scratch/rfc2217.json"
cp "$example" "$scratch/tcp.json"
for mode in tcp rfc2217; do
    if [ $mode = tcp ]; then
        port=$TARVEX_TEST_SER2NET_PORT other=rfc2217 text="Weekly test"
    else
        port=$TARVEX_TEST_RFC2217_PORT other=tcp text="Monthly test"
    fi
    address="$mode://127.0.0.1:$port"

    cli apply --device "$address" "Z:$scratch/$mode.json"
    expect 0 "$mode: apply"
    grep -qa "$text" "$TARVEX_TEST_SIM_LOG" || fail "$mode: apply: \"$text\" never reached the unit"
    cli diff --device "$address" "Z:$scratch/$mode.json"
    expect 0 "$mode: diff of the file just applied"
    cli diff --device "$address" "Z:$scratch/$other.json"
    expect 2 "$mode: diff of a changed message"
    grep -q "$text" <<<"$out" || fail "$mode: diff does not show the unit's message: $out"
    cli read --device "$address" -o "Z:$scratch/read-$mode.json"
    expect 0 "$mode: read"
    grep -q "$text" "$scratch/read-$mode.json" || fail "$mode: read: $(cat "$scratch/read-$mode.json")"
done

# Doubled going out, undoubled coming in: one 0xFF byte at the unit, the same text read back.
address="rfc2217://127.0.0.1:$TARVEX_TEST_RFC2217_PORT"
cli message set test "Netz ÿ aus" --device "$address"
expect 0 "rfc2217: message set with ÿ"
LC_ALL=C grep -qaP 'Netz \xff aus\x00' "$TARVEX_TEST_SIM_LOG" || fail "rfc2217: the unit did not get one 0xFF"
cli message get test --device "$address"
expect 0 "rfc2217: message get"
[ "$out" = "Netz ÿ aus" ] || fail "rfc2217: message read back as: $out"
echo "tarvex-cli.exe through ser2net: apply, diff and read over tcp:// and rfc2217://, ÿ round-trips"
