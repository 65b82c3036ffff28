#!/usr/bin/env bash
# Starts a private INN that takes articles of up to 16 MB, runs bench_post
# (an article with a 5 MB attachment, posted by the posting code and by
# lumetra-tool, each against a raw client sending the same bytes) into
# local.test, and stops the server.
#   bench/news/run-post-bench.sh [BUILD_DIR]
source "$(dirname "$0")/../inn-bench.sh"
bench_build bench_post
server_start
server_stop
sed -i 's/^maxartsize: .*/maxartsize:         16000000/; s/^localmaxartsize: .*/localmaxartsize:    16000000/' \
  "$dir/etc/inn.conf"
chown news:news "$dir/etc/inn.conf"
server_start
"$build/bench/news/bench_post" 127.0.0.1 "$port" local.test
