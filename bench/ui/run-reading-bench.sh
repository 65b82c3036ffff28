#!/usr/bin/env bash
# Starts a private INN, feeds 1 000 threaded Japanese articles into local.bulk
# and a 1 MB one into local.test, and runs bench_reading: showing 1 MB
# articles from a file, opening local.bulk in the article pane, and fetching
# and showing the big article, each next to its peer. Stops the server.
#   bench/ui/run-reading-bench.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build-rel}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMETRA_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target bench_reading -j"$(nproc)" >/dev/null
dir=$(mktemp -d /tmp/lumetra-reading.XXXXXX)
trap 'bash "$here/scripts/inn-server.sh" stop "$dir" >/dev/null 2>&1 || true; rm -rf "$dir"' EXIT
port=$(bash "$here/scripts/inn-server.sh" start "$dir")
mkdir "$dir/articles"
python3 - "$dir/articles" <<'PY'
import email.header, os, sys
out = sys.argv[1]
for i in range(1000):
    parent = i - 1 - (i % 7) if i % 7 else None   # threads of seven
    subject = email.header.Header("スレッド %d の記事 %d" % (i // 7, i), "iso-2022-jp").encode()
    refs = "References: <bench-%d@example.jp>\n" % parent if parent is not None and parent >= 0 else ""
    body = ("本文 %d 行目です。\n" % i) * 20
    text = ("Message-ID: <bench-%d@example.jp>\nPath: bench\nDate: Sun, 6 Dec 2026 12:%02d:%02d +0900\n"
            "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <yamada@example.jp>\nNewsgroups: local.bulk\n"
            "Subject: %s\n%sMIME-Version: 1.0\nContent-Type: text/plain; charset=ISO-2022-JP\n\n"
            % (i, (i // 60) % 60, i % 60, subject, refs)).encode() + body.encode("iso-2022-jp")
    open(os.path.join(out, "%04d" % i), "wb").write(text)
# One article of 1 MB of Japanese text, with a URL on every tenth line.
lines = []
for i in range(14000):
    lines.append("%05d 行目: 日本語の本文です。漢字、ひらがな、カタカナ。" % i + (" http://www.example.jp/%d" % i if i % 10 == 0 else ""))
text = ("Message-ID: <bench-big@example.jp>\nPath: bench\nDate: Sun, 6 Dec 2026 13:00:00 +0900\n"
        "From: big@example.jp\nNewsgroups: local.test\nSubject: big\nMIME-Version: 1.0\n"
        "Content-Type: text/plain; charset=ISO-2022-JP\n\n").encode() + "\n".join(lines).encode("iso-2022-jp") + b"\n"
open(os.path.join(out, "big"), "wb").write(text)
PY
python3 "$here/scripts/nntp-load.py" --port "$port" --feed "$dir"/articles/*
export QT_QPA_PLATFORM=offscreen
"$build/bench/ui/bench_reading" display
"$build/bench/ui/bench_reading" open 127.0.0.1 "$port" local.bulk
"$build/bench/ui/bench_reading" article 127.0.0.1 "$port" local.test 1
