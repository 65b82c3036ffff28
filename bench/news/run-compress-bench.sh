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
python3 "$here/bench/news/make-bulk-articles.py" "$dir/articles" "$articles"
find "$dir/articles" -type f | sort | xargs python3 "$here/scripts/nntp-load.py" --port "$port" --feed >/dev/null
echo "== loopback"
"$build/bench/news/bench_compress" 127.0.0.1 "$port" local.bulk
proxy "$dir/link.port" --rtt-ms 200 --bandwidth 10M
echo "== 200 ms, 10 Mbit/s"
"$build/bench/news/bench_compress" 127.0.0.1 "$(cut -d' ' -f1 "$dir/link.port")" local.bulk
echo "== header store"
"$build/bench/news/bench_headerstore" 100000
