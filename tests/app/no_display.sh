#!/usr/bin/env bash
# tarvex-configurator where no display can be opened: --help and --version answer with exit
# code 0, a malformed --port is refused with exit code 2, and starting the window says so in one
# line with exit code 1 instead of Qt's abort.
# Usage: no_display.sh PROGRAM VERSION
set -uo pipefail
program=$1
version=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

# expect EXIT_CODE STDOUT STDERR DISPLAY ARGUMENTS...: one run without a display (or with an
# unreachable one). STDOUT and STDERR are bash regular expressions for the whole output, which
# must be at most one line unless the expression says otherwise.
expect()
{
    local code=$1 out=$2 err=$3 display=$4
    shift 4
    local setting=(-u DISPLAY)
    [ -z "$display" ] || setting=("DISPLAY=$display")
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "${setting[@]}" "$program" "$@" \
        >"$dir/out" 2>"$dir/err"
    local got=$? stdout stderr
    stdout=$(<"$dir/out")
    stderr=$(<"$dir/err")
    if [ "$got" -ne "$code" ] || [[ ! $stdout =~ ^$out$ ]] || [[ ! $stderr =~ ^$err$ ]] ||
        [ "$(wc -l <"$dir/err")" -gt 1 ]; then
        echo "FAIL: '$*' (DISPLAY=${display:-unset}): exit $got (expected $code)"
        echo "  stdout: $stdout"
        echo "  stderr: $stderr"
        failures=$((failures + 1))
    fi
}

no_display='tarvex-configurator: cannot open a display for the window '
no_display+='\(DISPLAY unset, WAYLAND_DISPLAY unset\)\.'
expect 0 'Usage: .*--port <N=DEVICE>.*--demo .*' '' '' --help
expect 0 "tarvex-configurator $version" '' '' --version
expect 0 "tarvex-configurator $version" '' '' --demo --version
expect 1 '' "$no_display" ''
expect 1 '' "$no_display" '' --demo
expect 1 '' 'tarvex-configurator: cannot open a display for the window \(DISPLAY=:9871, .*\)\.' \
    ':9871'
# A malformed --port is a usage error (exit 2) with or without a display.
expect 2 '' 'tarvex-configurator: --port 1=tcp://127.0.0.1: .*' '' --port 1=tcp://127.0.0.1
[ "$failures" -eq 0 ] && echo "all checks passed"
exit $((failures != 0))
