#!/usr/bin/env python3
"""What Python's email package decodes from each part of a message, nested
multiparts flattened depth first.
Arguments: pairs of MESSAGE OUTDIR. Writes OUTDIR/<index>.bin per part with a
body and OUTDIR/manifest.txt: index, type, transfer encoding, leaf|container."""
import email
import email.policy
import os
import sys


def one(path, outdir):
    raw = open(path, 'rb').read()
    if raw.startswith(b'\xef\xbb\xbf'):
        raw = raw[3:]
    msg = email.message_from_bytes(raw, policy=email.policy.compat32)
    parts = []

    def walk(part, depth):
        payload = part.get_payload()
        if part.is_multipart() and isinstance(payload, list) and depth < 32 \
                and not part.get_content_type().startswith('message/'):
            for sub in payload:
                walk(sub, depth + 1)
        else:
            parts.append(part)
    walk(msg, 0)
    with open(os.path.join(outdir, 'manifest.txt'), 'w') as manifest:
        for i, part in enumerate(parts):
            ctype = part.get_content_type()
            cte = (part.get('Content-Transfer-Encoding') or '').strip().lower()
            leaf = not (part.is_multipart() or ctype.startswith('message/'))
            if leaf:
                with open(os.path.join(outdir, f'{i}.bin'), 'wb') as out:
                    out.write(part.get_payload(decode=True) or b'')
            print(f'{i}\t{ctype}\t{cte}\t{"leaf" if leaf else "container"}', file=manifest)


args = sys.argv[1:]
for k in range(0, len(args) - 1, 2):
    one(args[k], args[k + 1])
