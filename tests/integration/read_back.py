#!/usr/bin/env python3
"""Fetches an article by Message-ID and reads it as a strict mail reader would.

  read_back.py HOST PORT MESSAGE-ID [SAVE-AS]

Prints "defects N", then "subject", "from", "references", "body", "filename"
and "data" lines (values UTF-8, line ends in values written as \\n; data in
hex). Fails on any text that does not decode strictly in its declared
charset. SAVE-AS keeps the article as the server sent it, un-stuffed."""
import binascii, email, email.policy, socket, sys

host, port, mid = sys.argv[1], int(sys.argv[2]), sys.argv[3]
with socket.create_connection((host, port)) as s:
    f = s.makefile("rwb")
    f.readline()
    f.write(b"ARTICLE " + mid.encode() + b"\r\n")
    f.flush()
    if not f.readline().startswith(b"220"):
        sys.exit("no such article")
    raw = b""
    while True:
        line = f.readline()
        if line == b".\r\n":
            break
        raw += line[1:] if line.startswith(b"..") else line
if len(sys.argv) > 4:
    open(sys.argv[4], "wb").write(raw)
for line in raw.split(b"\r\n"):
    if len(line) > 998:
        sys.exit("a line over 998 octets")
msg = email.message_from_bytes(raw, policy=email.policy.default)
defects = list(msg.defects) + list(msg["Subject"].defects)
codecs = {"iso-2022-jp": "iso2022_jp", "shift_jis": "shift_jis", "euc-jp": "euc_jp", "utf-8": "utf-8"}
body, name, data = "", "", b""
for part in msg.walk():
    defects += part.defects
    if part.is_multipart():
        continue
    if part.get_content_type() == "text/plain" and not body:
        body = part.get_payload(decode=True).decode(codecs[part.get_content_charset()], "strict")
        continue
    name = part.get_filename() or ""
    payload = part.get_payload(decode=True)
    if part.get_content_type() == "application/x-uuencode":
        lines = payload.decode("ascii").split("\n")
        start = [l.startswith("begin ") for l in lines].index(True) + 1
        data = b"".join(binascii.a2b_uu(l) for l in lines[start:] if l.strip() and l.strip() != "end")
    else:
        data = payload
out = sys.stdout
out.write("defects %d\n" % len(defects))
for key, value in (("subject", str(msg["Subject"])), ("from", str(msg["From"])),
                   ("references", str(msg["References"] or "")), ("body", body.replace("\r\n", "\n")),
                   ("filename", name)):
    out.write(key + " " + value.replace("\n", "\\n") + "\n")
out.write("data " + data.hex() + "\n")
