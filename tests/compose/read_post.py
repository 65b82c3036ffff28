"""Reads a posted article with Python's email package and the peers.

usage: read_post.py ARTICLE CODE   (CODE: jis, sjis, euc)
Prints the decoded Subject, From, the body text and the attachment bytes
(hex) on four lines, all UTF-8.
"""
import email
import email.policy
import glob
import os
import subprocess
import sys
import tempfile

CHARSETS = {"jis": "iso-2022-jp", "sjis": "cp932", "euc": "euc_jp"}


def header(msg, name):
    # Encoded words are folded with CR LF TAB; the fold is not the text.
    return " ".join(str(msg[name] or "").split())


def attachment(part):
    raw = part.get_payload(decode=True)
    kind = part.get_content_type()
    if kind == "application/octet-stream":
        return raw
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "in")
        with open(src, "wb") as f:
            f.write(raw)
        if kind == "application/x-uuencode":
            subprocess.run(["uudecode", "-o", os.path.join(tmp, "out"), src], check=True)
            path = os.path.join(tmp, "out")
        else:
            subprocess.run(["hexbin", "-d", "-n", "out", src], cwd=tmp, check=True)
            path = glob.glob(os.path.join(tmp, "out*"))[0]
        with open(path, "rb") as f:
            return f.read()


def main():
    with open(sys.argv[1], "rb") as f:
        msg = email.message_from_binary_file(f, policy=email.policy.default)
    charset = CHARSETS[sys.argv[2]]
    body, data = "", b""
    for part in msg.walk():
        if part.is_multipart():
            continue
        if part.get_content_type() == "text/plain":
            body = part.get_payload(decode=True).decode(charset)
        else:
            data = attachment(part)
    print(header(msg, "Subject"))
    print(header(msg, "From"))
    print(body.replace("\r\n", "\n").replace("\n", "\\n"))
    print(data.hex(" ").upper())


main()
