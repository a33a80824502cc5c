#!/usr/bin/env python3
"""A TCP server that floods each client with one pattern as fast as loopback takes it: a line
gone mad, or a server in a loop.

    flood_server.py HEX_PATTERN [after-first-bytes]   (prints the port it listens on, on 127.0.0.1)

With after-first-bytes it waits for the client's first bytes (a command) before flooding.
"""
import socket
import sys
import threading


def flood(client, chunk, wait_for_command):
    try:
        if wait_for_command:
            client.recv(64)
        while True:
            client.sendall(chunk)
    except OSError:
        pass
    finally:
        client.close()


def main():
    pattern = bytes.fromhex(sys.argv[1])
    wait_for_command = len(sys.argv) > 2 and sys.argv[2] == "after-first-bytes"
    chunk = pattern * (65536 // len(pattern))
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(8)
    print(server.getsockname()[1], flush=True)
    while True:
        client, _ = server.accept()
        threading.Thread(target=flood, args=(client, chunk, wait_for_command), daemon=True).start()


if __name__ == "__main__":
    main()
