#!/usr/bin/env bash
# Starts a private INN holding 50 000 extra groups, runs bench_net against it
# and stops the server.   bench/net/run-bench.sh [BUILD_DIR]
source "$(dirname "$0")/../inn-bench.sh"
bench_build bench_net
server_start
server_stop
add_groups bench.group 50000
# The 5 MB article is over the default size limits.
sed -i '/^maxartsize:/d; /^localmaxartsize:/d' "$dir/etc/inn.conf"
printf 'maxartsize: 0\nlocalmaxartsize: 0\n' >> "$dir/etc/inn.conf"
chown news:news "$dir/etc/inn.conf"
server_start
"$build/bench/net/bench_net" 127.0.0.1 "$port"
