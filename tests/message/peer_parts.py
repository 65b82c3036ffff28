#!/usr/bin/env python3
"""Writes what Python's email package decodes from each top-level part of a
message: OUTDIR/<index>.bin per part with a body, and OUTDIR/manifest.txt with
one line per part: index, content type, transfer encoding, and "leaf" or
"container" (multipart and message parts have no decoded body of their own).
Arguments: pairs of MESSAGE OUTDIR."""
import email
import email.policy
import os
import sys


def one(path, outdir):
    manifest = open(os.path.join(outdir, 'manifest.txt'), 'w')
    with open(path, 'rb') as f:
        raw = f.read()
    if raw.startswith(b'\xef\xbb\xbf'):
        raw = raw[3:]
    msg = email.message_from_bytes(raw, policy=email.policy.compat32)
    parts = msg.get_payload() if msg.is_multipart() else [msg]
    if not isinstance(parts, list):
        parts = [msg]
    for i, part in enumerate(parts):
        ctype = part.get_content_type()
        cte = (part.get('Content-Transfer-Encoding') or '').strip().lower()
        if part.is_multipart() or ctype.startswith('message/'):
            print(f'{i}\t{ctype}\t{cte}\tcontainer', file=manifest)
            continue
        data = part.get_payload(decode=True)
        if data is None:
            data = b''
        with open(os.path.join(outdir, f'{i}.bin'), 'wb') as out:
            out.write(data)
        print(f'{i}\t{ctype}\t{cte}\tleaf', file=manifest)


def main():
    args = sys.argv[1:]
    for k in range(0, len(args) - 1, 2):
        one(args[k], args[k + 1])


if __name__ == '__main__':
    main()
