#!/usr/bin/env bash
# Starts a private INN, feeds 20 000 articles with today's header sizes into
# local.bulk, and times one OVER of them (raw client plain and after COMPRESS
# DEFLATE, Lumetra's CNntp with and without it) on loopback and through a
# 200 ms, 10 Mbit/s link; then loads 100 000 records from the header store.
#   bench/news/run-compress-bench.sh [BUILD_DIR] [ARTICLES]
source "$(dirname "$0")/../inn-bench.sh"
articles=${2:-20000}
bench_build bench_compress
bench_build bench_headerstore
server_start
mkdir -p "$dir/articles"
python3 - "$dir/articles" "$articles" <<'PY'
import base64, os, random, sys
out, count = sys.argv[1], int(sys.argv[2])
rnd = random.Random(28)
def word(text):
    return "=?ISO-2022-JP?B?" + base64.b64encode(text.encode("iso2022_jp")).decode() + "?="
subjects = ["日本語の記事について", "質問があります", "新しい版が出ました", "不具合の報告", "設定の方法"]
names = ["山田太郎", "佐藤花子", "鈴木一郎", "高橋次郎"]
for n in range(1, count + 1):
    refs = " ".join("<%d.%d@news.example.jp>" % (rnd.randrange(1, n + 1), rnd.randrange(1 << 30))
                    for _ in range(rnd.randrange(0, 6)))
    head = [
        "Path: news.example.jp!feeder1.example.net!feeder2.example.org!peer.example.com!not-for-mail",
        "From: %s <user%d@mail.example.jp>" % (word(rnd.choice(names)), rnd.randrange(500)),
        "Newsgroups: local.bulk",
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
    with open(os.path.join(out, "%06d" % n), "w", encoding="ascii") as f:
        f.write("\n".join(head) + "\n\nbody %d\n" % n)
PY
find "$dir/articles" -type f | sort | xargs python3 "$here/scripts/nntp-load.py" --port "$port" --feed >/dev/null
echo "== loopback"
"$build/bench/news/bench_compress" 127.0.0.1 "$port" local.bulk
proxy "$dir/link.port" --rtt-ms 200 --bandwidth 10M
echo "== 200 ms, 10 Mbit/s"
"$build/bench/news/bench_compress" 127.0.0.1 "$(cut -d' ' -f1 "$dir/link.port")" local.bulk
echo "== header store"
"$build/bench/news/bench_headerstore" 100000
