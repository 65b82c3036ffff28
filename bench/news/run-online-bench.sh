#!/usr/bin/env bash
# Starts a private INN holding 50 000 extra groups, runs bench_online against
# it directly and through two latency proxies (50 ms; 50 ms and 10 Mbit/s),
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
server_stop
add_groups bench.more 50000
server_start
"$build/bench/news/bench_online" 127.0.0.1 "$port" memory
