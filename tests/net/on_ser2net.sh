#!/usr/bin/env bash
# Puts Debian's ser2net on 127.0.0.1, one client at a time, in front of a Linux tarvex-sim, runs
# a command with TARVEX_TEST_SER2NET_PORT (ser2net's raw TCP port), TARVEX_TEST_RFC2217_PORT
# (its Telnet COM-PORT port, same unit), TARVEX_TEST_CLOSED_PORT (one where nothing listens) and
# TARVEX_TEST_SIM_LOG (the simulator's --log) set, and stops both:
#   on_ser2net.sh SIM SER2NET COMMAND [ARGUMENTS...]
set -euo pipefail
sim=$1 ser2net=$2
shift 2

scratch=$(mktemp -d)
server=''
# The simulator prints its terminal once it serves; reading that line is the wait for it.
exec 3< <(exec "$sim" --log "$scratch/log")
sim_pid=$!
# ser2net ends on SIGTERM with 143: no failure of the test's.
trap 'kill $sim_pid $server 2>/dev/null; wait $sim_pid $server 2>/dev/null || true; rm -rf "$scratch"' EXIT
read -r -t 10 -u 3 terminal || { echo "tarvex-sim did not start" >&2; exit 1; }

# Ports the system has just handed out and taken back: free, and the second stays so.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port=$(free_port)
rfc2217=$(free_port)
while [ "$rfc2217" = "$port" ]; do rfc2217=$(free_port); done
closed=$(free_port)
while [ "$closed" = "$port" ] || [ "$closed" = "$rfc2217" ]; do closed=$(free_port); done

cat >"$scratch/ser2net.yaml" <<END
connection: &unit
    accepter: tcp,127.0.0.1,$port
    connector: serialdev,$terminal,9600n81,local
    options:
        max-connections: 1
connection: &unit_rfc2217
    accepter: telnet(rfc2217),tcp,127.0.0.1,$rfc2217
    connector: serialdev,$terminal,9600n81,local
END
# In the foreground, without UUCP lock files (the terminal is the simulator's alone).
"$ser2net" -n -u -c "$scratch/ser2net.yaml" 2>"$scratch/ser2net.log" &
server=$!
# ser2net prints nothing once it listens: its socket in the system's table is the sign.
for _ in $(seq 100); do
    ss -Hltn "sport = :$rfc2217" | grep -q . && ss -Hltn "sport = :$port" | grep -q . && break
    kill -0 $server 2>/dev/null || { cat "$scratch/ser2net.log" >&2; exit 1; }
    sleep 0.1
done
echo "ser2net on 127.0.0.1:$port (raw) and :$rfc2217 (RFC 2217) serves $terminal"

TARVEX_TEST_SER2NET_PORT=$port TARVEX_TEST_RFC2217_PORT=$rfc2217 TARVEX_TEST_CLOSED_PORT=$closed \
    TARVEX_TEST_SIM_LOG="$scratch/log" "$@"
