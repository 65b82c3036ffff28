#!/usr/bin/env python3
"""Loads articles into a news server.

  nntp-load.py --port P FILE...          post each file (POST), headers as written
  nntp-load.py --port P --feed FILE...   offer each file as a feeder (IHAVE from
                                         127.0.0.2), stored byte for byte; the file
                                         needs Message-ID, Path, Date, From,
                                         Newsgroups and Subject headers

Files are articles with LF or CR LF line ends. Exits non-zero when the server
refuses one, printing its reply.
"""
import argparse
import re
import socket
import sys


def to_wire(data: bytes) -> bytes:
    lines = data.replace(b"\r\n", b"\n").split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    out = [(b"." + l if l.startswith(b".") else l) for l in lines]
    return b"\r\n".join(out) + b"\r\n.\r\n"


class Conn:
    def __init__(self, host, port, source=None):
        self.sock = socket.create_connection((host, port), timeout=30,
                                             source_address=(source, 0) if source else None)
        self.f = self.sock.makefile("rwb")
        self.greeting = self.f.readline()

    def cmd(self, text: bytes) -> bytes:
        self.f.write(text + b"\r\n")
        self.f.flush()
        return self.f.readline()

    def send(self, data: bytes) -> bytes:
        self.f.write(data)
        self.f.flush()
        return self.f.readline()

    def close(self):
        try:
            self.cmd(b"QUIT")
        except OSError:
            pass
        self.sock.close()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, required=True)
    ap.add_argument("--feed", action="store_true")
    ap.add_argument("files", nargs="+")
    a = ap.parse_args()

    c = Conn(a.host, a.port, "127.0.0.2" if a.feed else None)
    if not c.greeting.startswith(b"20"):
        sys.exit(f"nntp-load: greeting {c.greeting!r}")
    failed = 0
    for name in a.files:
        data = open(name, "rb").read()
        if a.feed:
            m = re.search(rb"^Message-ID:\s*(<[^>\r\n]+>)", data, re.I | re.M)
            if not m:
                sys.exit(f"nntp-load: {name}: no Message-ID")
            r = c.cmd(b"IHAVE " + m.group(1))
            if r.startswith(b"335"):
                r = c.send(to_wire(data))
            ok = r.startswith(b"235")
        else:
            r = c.cmd(b"POST")
            if r.startswith(b"340"):
                r = c.send(to_wire(data))
            ok = r.startswith(b"240")
        if not ok:
            failed += 1
            print(f"nntp-load: {name}: {r.decode('latin-1').strip()}", file=sys.stderr)
    c.close()
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
