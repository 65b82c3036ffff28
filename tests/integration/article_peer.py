#!/usr/bin/env python3
"""Reads a fetched article (server form, un-stuffed) the way a standard mail
library does, so the client's postings are checked by an independent reader.

  article_peer.py FILE header NAME        decoded header value (UTF-8)
  article_peer.py FILE body CHARSET       body of a single-part article (UTF-8)
  article_peer.py FILE textpart CHARSET   text part of a multipart article (UTF-8)
  article_peer.py FILE attachment DIR     writes the decoded attachment to DIR/out.bin,
                                          prints its type, a line end and the text part
"""
import binascii
import email
import email.header
import os
import subprocess
import sys


def main():
    path, mode, arg = sys.argv[1], sys.argv[2], sys.argv[3]
    raw = open(path, "rb").read().replace(b"\r\n", b"\n")
    msg = email.message_from_bytes(raw)
    out = sys.stdout.buffer
    if mode == "header":
        value = msg.get(arg, "")
        parts = email.header.decode_header(value)
        text = "".join(p.decode(c or "ascii") if isinstance(p, bytes) else p for p, c in parts)
        out.write(text.encode("utf-8"))
    elif mode == "body":
        out.write(msg.get_payload(decode=True).decode(arg).encode("utf-8"))
    elif mode == "textpart":
        part = msg.get_payload()[0]
        out.write(part.get_payload(decode=True).decode(arg).encode("utf-8"))
    elif mode == "attachment":
        part = msg.get_payload()[1]
        ctype = part.get_content_type()
        target = os.path.join(arg, "out.bin")
        if ctype == "application/octet-stream":
            data = part.get_payload(decode=True)
        elif ctype == "application/x-uuencode":
            data = b""
            lines = part.get_payload().split("\n")
            inside = False
            for line in lines:
                if line.startswith("begin "):
                    inside = True
                    continue
                if line.strip() == "end":
                    break
                if inside and line:
                    data += binascii.a2b_uu(line)
        elif ctype == "application/mac-binhex40":
            hqx = os.path.join(arg, "in.hqx")
            with open(hqx, "w") as f:
                f.write(part.get_payload())
            work = os.path.join(arg, "hexbin")
            os.makedirs(work, exist_ok=True)
            subprocess.run(["hexbin", "-d", os.path.abspath(hqx)], cwd=work, check=True)
            produced = [n for n in os.listdir(work) if n.endswith(".data")]
            data = open(os.path.join(work, produced[0]), "rb").read()
        else:
            sys.exit("unexpected type " + ctype)
        with open(target, "wb") as f:
            f.write(data)
        out.write(ctype.encode() + b"\n" + msg.get_payload()[0].get_payload(decode=True))
    else:
        sys.exit("unknown mode")


main()
