#!/usr/bin/env bash
# Starts a private INN, feeds ARTICLES (100 000) with today's header sizes
# into local.bulk, and opens its newest 20 000 with the document against a
# raw OVER: on loopback, and through a 200 ms, 10 Mbit/s link with COMPRESS;
# then reopens 1000 and 20 000 after a restart with 100 new articles, and
# loads the whole group from the header store.
#   bench/news/run-open-bench.sh [BUILD_DIR] [ARTICLES]
source "$(dirname "$0")/../inn-bench.sh"
articles=${2:-100000}
bench_build bench_open
server_start
python3 "$here/bench/news/make-bulk-articles.py" "$dir/articles" "$articles"
find "$dir/articles" -type f | sort | xargs python3 "$here/scripts/nntp-load.py" --port "$port" --feed >/dev/null
rm -rf "$dir/articles"
proxy "$dir/far.port" --rtt-ms 200 --bandwidth 10M
"$build/bench/news/bench_open" 127.0.0.1 "$port" "$(cut -d' ' -f1 "$dir/far.port")" 20000
"$build/bench/news/bench_open" 127.0.0.1 "$port" store "$articles"
