#!/usr/bin/env python3
"""Reads a fetched article (server form, un-stuffed) with Python's mail library,
so the client's postings are checked by an independent reader.

  article_peer.py FILE header NAME        decoded header value
  article_peer.py FILE body CHARSET       body of a single-part article
  article_peer.py FILE attachment DIR     writes the attachment to DIR/out.bin,
                                          prints its type, a line end and the text part
Text comes out as UTF-8."""
import binascii, email, email.header, os, subprocess, sys

path, mode, arg = sys.argv[1:4]
msg = email.message_from_bytes(open(path, "rb").read().replace(b"\r\n", b"\n"))
out = sys.stdout.buffer
if mode == "header":
    parts = email.header.decode_header(msg.get(arg, ""))
    out.write("".join(p.decode(c or "ascii") if isinstance(p, bytes) else p for p, c in parts).encode())
elif mode == "body":
    out.write(msg.get_payload(decode=True).decode(arg).encode())
elif mode == "attachment":
    part = msg.get_payload()[1]
    ctype = part.get_content_type()
    if ctype == "application/octet-stream":
        data = part.get_payload(decode=True)
    elif ctype == "application/x-uuencode":
        lines = part.get_payload().split("\n")
        body = lines[[l.startswith("begin ") for l in lines].index(True) + 1:]
        data = b"".join(binascii.a2b_uu(l) for l in body[:[l.strip() for l in body].index("end")] if l)
    elif ctype == "application/mac-binhex40":
        work = os.path.join(arg, "hexbin")
        os.makedirs(work, exist_ok=True)
        with open(os.path.join(work, "in.hqx"), "w") as f:
            f.write(part.get_payload())
        subprocess.run(["hexbin", "-d", "in.hqx"], cwd=work, check=True)
        data = open(os.path.join(work, next(n for n in os.listdir(work) if n.endswith(".data"))), "rb").read()
    else:
        sys.exit("unexpected type " + ctype)
    open(os.path.join(arg, "out.bin"), "wb").write(data)
    out.write(ctype.encode() + b"\n" + msg.get_payload()[0].get_payload(decode=True))
else:
    sys.exit("unknown mode")
