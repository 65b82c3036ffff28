#!/usr/bin/env bash
# Starts a private INN holding 50 000 extra groups, runs bench_online against
# it directly and through latency proxies (50 ms; 50 ms and 10 Mbit/s; the
# overview open at 200 ms and 10 Mbit/s, with the bytes each client received),
# then adds 50 000 more for the memory run, and stops the server.
#   bench/news/run-online-bench.sh [BUILD_DIR]
source "$(dirname "$0")/../inn-bench.sh"
bench_build bench_online
server_start
server_stop
add_groups bench.group 50000
server_start
"$build/bench/news/bench_online" 127.0.0.1 "$port"
proxy "$dir/rtt.port" --rtt-ms 50
proxy "$dir/link.port" --rtt-ms 50 --bandwidth 10M
"$build/bench/news/bench_online" 127.0.0.1 "$port" slow "$(cut -d' ' -f1 "$dir/rtt.port")" \
  "$(cut -d' ' -f1 "$dir/link.port")"
proxy "$dir/far.port" --rtt-ms 200 --bandwidth 10M --count "$dir/far.bytes"
"$build/bench/news/bench_online" 127.0.0.1 "$port" overview "$(cut -d' ' -f1 "$dir/far.port")"
echo "bytes received per connection through the 200 ms proxy (ours, then raw):"
cut -d' ' -f1 "$dir/far.bytes"
server_stop
add_groups bench.more 50000
server_start
"$build/bench/news/bench_online" 127.0.0.1 "$port" memory
