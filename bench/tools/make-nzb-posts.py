#!/usr/bin/env python3
"""Writes a random file, its yEnc parts as articles to feed a news server
(scripts/nntp-load.py --feed) and the NZB that lists them.

  make-nzb-posts.py DIR MB PARTS TAG

DIR gets bench.bin, part-NNN.art and bench.nzb. TAG makes the Message-IDs
unique, so the same server can take a second run.
"""
import os
import re
import sys
import zlib

out, mb, parts, tag = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
size = mb * 1000000
data = os.urandom(size)
open(os.path.join(out, "bench.bin"), "wb").write(data)

shift = bytes((i + 42) & 255 for i in range(256))
escape = {bytes([c]): b"=" + bytes([(c + 64) & 255]) for c in (0, 10, 13, 61)}
critical = re.compile(rb"[\x00\n\r=]")
line = re.compile(rb"(?:=.|[^=]){1,128}", re.S)

piece = (size + parts - 1) // parts
segments = []
for k in range(1, parts + 1):
    begin = (k - 1) * piece
    chunk = data[begin:begin + piece]
    enc = critical.sub(lambda m: escape[m.group(0)], chunk.translate(shift))
    body = b"\r\n".join(line.findall(enc))
    mid = "%s.%d@bench.lumetra.test" % (tag, k)
    head = ("Path: bench!not-for-mail\r\nFrom: bench@example.invalid\r\nNewsgroups: local.test\r\n"
            "Subject: \"bench.bin\" yEnc (%d/%d)\r\nDate: Mon, 07 Dec 2026 12:00:00 +0000\r\n"
            "Message-ID: <%s>\r\n\r\n" % (k, parts, mid)).encode()
    text = (b"=ybegin part=%d total=%d line=128 size=%d name=bench.bin\r\n=ypart begin=%d end=%d\r\n"
            % (k, parts, size, begin + 1, begin + len(chunk)) + body +
            b"\r\n=yend size=%d part=%d pcrc32=%08x\r\n" % (len(chunk), k, zlib.crc32(chunk)))
    open(os.path.join(out, "part-%03d.art" % k), "wb").write(head + text)
    segments.append('<segment bytes="%d" number="%d">%s</segment>' % (len(text), k, mid))

with open(os.path.join(out, "bench.nzb"), "w") as f:
    f.write('<?xml version="1.0" encoding="utf-8"?>\n<nzb xmlns="http://www.newzbin.com/DTD/2003/nzb">\n'
            '<file poster="bench@example.invalid" date="1796644800" subject="&quot;bench.bin&quot; yEnc (1/%d)">\n'
            '<groups><group>local.test</group></groups>\n<segments>\n%s\n</segments>\n</file>\n</nzb>\n'
            % (parts, "\n".join(segments)))
