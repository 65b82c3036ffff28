#!/usr/bin/env python3
"""A TCP relay that makes a loopback server look far away.

Every byte is delayed by half the round-trip time in each direction and, when
a bandwidth is given, queued behind the bytes before it as on a link of that
speed. Order is kept; --split cuts what it forwards into random small writes,
so a reader meets lines broken at any byte. --lose-ahead makes the server
look like one that reads only the first command of what arrives together
(the client's commands sent ahead of their replies are dropped). --count FILE
appends "received sent" (bytes to and from the client) for each connection
when it ends.

  latency-proxy.py --target-port 1119 --rtt-ms 50 [--bandwidth 10M] [--split]

Prints the port it listens on and its process id (first line of stdout) and
runs until killed.
"""
import argparse
import asyncio
import os
import random
import socket
import sys


def parse_rate(text):
    """Bits per second: 10M, 512k, 1000000; 0 for unlimited."""
    scale = {"k": 1e3, "m": 1e6, "g": 1e9}
    text = text.strip().lower()
    if text and text[-1] in scale:
        return float(text[:-1]) * scale[text[-1]]
    return float(text)


class Link:
    """One direction: arrival stamps, a serialising bottleneck, a fixed delay."""

    def __init__(self, delay, rate, split, rng, lose_ahead=False):
        self.lose_ahead = lose_ahead
        self.pending = b""
        self.delay = delay
        self.bytes_per_sec = rate / 8 if rate > 0 else 0
        self.split = split
        self.rng = rng
        self.free_at = 0.0
        self.bytes = 0

    def first_line(self, data):
        """The first whole line that this read completes; later ones are lost."""
        self.pending += data
        end = self.pending.find(b"\n")
        if end < 0:
            return b""
        line, rest = self.pending[:end + 1], self.pending[end + 1:]
        # A line still arriving is kept; whole lines behind the first are dropped.
        self.pending = rest[rest.rfind(b"\n") + 1:]
        return line

    async def run(self, reader, writer):
        loop = asyncio.get_running_loop()
        queue = asyncio.Queue()

        async def take():
            while True:
                data = await reader.read(65536)
                now = loop.time()
                if not data:
                    await queue.put((now + self.delay, b""))
                    return
                self.bytes += len(data)
                if self.lose_ahead:
                    data = self.first_line(data)
                    if not data:
                        continue
                depart = now
                if self.bytes_per_sec:
                    depart = max(now, self.free_at) + len(data) / self.bytes_per_sec
                    self.free_at = depart
                await queue.put((depart + self.delay, data))

        async def give():
            while True:
                due, data = await queue.get()
                wait = due - loop.time()
                if wait > 0:
                    await asyncio.sleep(wait)
                if not data:
                    if writer.can_write_eof():
                        writer.write_eof()
                    await writer.drain()
                    return
                if self.split:
                    while data:
                        cut = self.rng.randint(1, max(1, min(len(data), 300)))
                        writer.write(data[:cut])
                        data = data[cut:]
                        await writer.drain()
                        await asyncio.sleep(0)
                else:
                    writer.write(data)
                    await writer.drain()

        taker = asyncio.ensure_future(take())
        taker.add_done_callback(lambda t: t.cancelled() or t.exception())
        try:
            await give()
        finally:
            taker.cancel()


async def serve(args):
    rng = random.Random(args.seed)
    rate = parse_rate(args.bandwidth)
    delay = args.rtt_ms / 2000.0

    async def handle(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection(args.target_host, args.target_port)
        except OSError:
            client_writer.close()
            return
        for w in (client_writer, server_writer):
            sock = w.get_extra_info("socket")
            if sock is not None:
                sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        up = Link(delay, rate, args.split, rng, args.lose_ahead)
        down = Link(delay, rate, args.split, rng)
        tasks = [asyncio.ensure_future(up.run(client_reader, server_writer)),
                 asyncio.ensure_future(down.run(server_reader, client_writer))]
        try:
            await asyncio.wait(tasks, return_when=asyncio.ALL_COMPLETED)
        finally:
            for t in tasks:
                if t.done() and not t.cancelled():
                    t.exception()
                t.cancel()
            for w in (client_writer, server_writer):
                w.close()
            if args.count:
                with open(args.count, "a") as f:
                    f.write("%d %d\n" % (down.bytes, up.bytes))

    server = await asyncio.start_server(handle, args.listen_host, args.listen_port)
    port = server.sockets[0].getsockname()[1]
    print(port, os.getpid(), flush=True)
    async with server:
        await server.serve_forever()


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--listen-host", default="127.0.0.1")
    p.add_argument("--listen-port", type=int, default=0)
    p.add_argument("--target-host", default="127.0.0.1")
    p.add_argument("--target-port", type=int, required=True)
    p.add_argument("--rtt-ms", type=float, default=50.0)
    p.add_argument("--bandwidth", default="0", help="bits per second (10M, 512k); 0 unlimited")
    p.add_argument("--split", action="store_true", help="forward in random small writes")
    p.add_argument("--lose-ahead", action="store_true", help="pass on only the first command of each read")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--count", help="append each connection's byte counts to this file")
    args = p.parse_args()
    try:
        asyncio.run(serve(args))
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
