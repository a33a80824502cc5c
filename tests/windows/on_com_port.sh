#!/usr/bin/env bash
# Makes a Linux tarvex-sim the unit on COM<N> of the Wine prefix, runs a command there with
# TARVEX_TEST_PORT=N, TARVEX_TEST_SIM_LOG (the simulator's --log) and TARVEX_WINE_RUN set, and
# stops the simulator:  on_com_port.sh SIM N WINE_RUN COMMAND [ARGUMENTS...]
# (COMMAND is WINE_RUN and a Windows program, or a script that runs them itself.)
set -euo pipefail
sim=$1 number=$2 wine_run=$3
shift 3

prefix=$("$wine_run" --prefix)
scratch=$(mktemp -d)
link="$prefix/dosdevices/com$number"
# The simulator prints its terminal once it serves; reading that line is the wait for it.
exec 3< <(exec "$sim" --link "$link" --log "$scratch/log" --state "$scratch/state.json")
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null; wait $sim_pid 2>/dev/null; rm -rf "$scratch"' EXIT
read -r -t 10 -u 3 terminal || { echo "tarvex-sim did not start" >&2; exit 1; }
echo "COM$number is $terminal"

TARVEX_TEST_PORT=$number TARVEX_TEST_SIM_LOG="$scratch/log" TARVEX_WINE_RUN=$wine_run "$@"
