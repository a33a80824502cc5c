#!/usr/bin/env python3
"""A TCP proxy that delays every byte, and the end of each connection, by a fixed time each
way: a wide-area link for the tests, where no netem is at hand.

    delay_proxy.py TARGET_PORT DELAY_MS    (prints the port it listens on, on 127.0.0.1)
"""
import asyncio
import sys


async def pump(reader, writer, delay):
    """Copies reader to writer, each chunk (and the end) delivered delay seconds after it came."""
    queue = asyncio.Queue()

    async def deliver():
        while True:
            due, chunk = await queue.get()
            await asyncio.sleep(max(0.0, due - asyncio.get_running_loop().time()))
            if chunk is None:
                writer.close()
                return
            writer.write(chunk)
            await writer.drain()

    delivering = asyncio.ensure_future(deliver())
    try:
        while True:
            chunk = await reader.read(65536)
            queue.put_nowait((asyncio.get_running_loop().time() + delay, chunk or None))
            if not chunk:
                break
        await delivering
    except (ConnectionError, asyncio.CancelledError):
        delivering.cancel()
        writer.close()


async def main():
    target, delay = int(sys.argv[1]), float(sys.argv[2]) / 1000.0

    async def serve(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target)
        except ConnectionError:
            client_writer.close()
            return
        await asyncio.gather(pump(client_reader, server_writer, delay),
                             pump(server_reader, client_writer, delay),
                             return_exceptions=True)

    server = await asyncio.start_server(serve, "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
