#!/usr/bin/env python3
"""Writes articles with today's header sizes (a Japanese group's: encoded
words, references, injection and trace lines) for nntp-load.py --feed.

  make-bulk-articles.py DIR COUNT [FIRST] [GROUP]

Files are named by their index (FIRST..FIRST+COUNT-1), so a sorted feed keeps
the order; the same index always gives the same article.
"""
import base64
import os
import random
import sys

out, count = sys.argv[1], int(sys.argv[2])
first = int(sys.argv[3]) if len(sys.argv) > 3 else 1
group = sys.argv[4] if len(sys.argv) > 4 else "local.bulk"
os.makedirs(out, exist_ok=True)


def word(text):
    return "=?ISO-2022-JP?B?" + base64.b64encode(text.encode("iso2022_jp")).decode() + "?="


subjects = ["日本語の記事について", "質問があります", "新しい版が出ました", "不具合の報告", "設定の方法"]
names = ["山田太郎", "佐藤花子", "鈴木一郎", "高橋次郎"]
for n in range(first, first + count):
    rnd = random.Random(n * 28 + 1)
    refs = " ".join("<%d.%d@news.example.jp>" % (rnd.randrange(1, n + 1), rnd.randrange(1 << 30))
                    for _ in range(rnd.randrange(0, 6)))
    head = [
        "Path: news.example.jp!feeder1.example.net!feeder2.example.org!peer.example.com!not-for-mail",
        "From: %s <user%d@mail.example.jp>" % (word(rnd.choice(names)), rnd.randrange(500)),
        "Newsgroups: " + group,
        "Subject: %s%s %d" % ("Re: " if refs else "", word(rnd.choice(subjects)), n),
        "Date: Mon, %d Jan 2024 %02d:%02d:00 +0900" % (1 + n % 28, n % 24, n % 60),
        "Organization: %s" % word("株式会社 例"),
        "Lines: %d" % rnd.randrange(3, 80),
        "Message-ID: <%d.%d@news.example.jp>" % (n, rnd.randrange(1 << 30)),
    ] + (["References: " + refs] if refs else []) + [
        "NNTP-Posting-Host: p%d.example.ne.jp" % rnd.randrange(1 << 20),
        "Mime-Version: 1.0",
        "Content-Type: text/plain; charset=ISO-2022-JP",
        "Content-Transfer-Encoding: 7bit",
        "X-Trace: news.example.jp %d %d (Mon, 1 Jan 2024 00:00:00 +0900)" % (rnd.randrange(1 << 31), n),
        "X-Complaints-To: abuse@example.jp",
        "User-Agent: Newsreader/%d.%d" % (rnd.randrange(1, 9), rnd.randrange(20)),
        "Injection-Info: news.example.jp; posting-host=\"p%d.example.ne.jp\"; logging-data=\"%d\"; "
        "mail-complaints-to=\"abuse@example.jp\"" % (n, rnd.randrange(1 << 31)),
    ]
    with open(os.path.join(out, "%07d" % n), "w", encoding="ascii") as f:
        f.write("\n".join(head) + "\n\nbody %d\n" % n)
