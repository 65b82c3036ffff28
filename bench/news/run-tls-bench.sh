#!/usr/bin/env bash
# Starts a private INN holding 50 000 extra groups, runs bench_tls against its
# plain and its TLS port, and stops the server.   bench/news/run-tls-bench.sh [BUILD_DIR]
source "$(dirname "$0")/../inn-bench.sh"
bench_build bench_tls
server_start
server_stop
add_groups bench.group 50000
server_start
"$build/bench/news/bench_tls" "$port" "$(cat "$dir/tls-port")" "$dir/tls/ca.pem"
