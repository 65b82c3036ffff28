#!/usr/bin/env bash
# Starts a private INN that takes articles of up to 16 MB, runs bench_post
# (an article with a 5 MB attachment, posted by the posting code and by
# lumetra-tool, each against a raw client sending the same bytes) into
# local.test, and stops the server.
#   bench/news/run-post-bench.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build-bench}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMETRA_BUILD_GUI=OFF -DLUMETRA_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target bench_post -j2 >/dev/null
dir=$(mktemp -d /tmp/lumetra-post-bench.XXXXXX)
trap 'bash "$here/scripts/inn-server.sh" stop "$dir" >/dev/null 2>&1 || true; rm -rf "$dir"' EXIT
port=$(bash "$here/scripts/inn-server.sh" start "$dir")
bash "$here/scripts/inn-server.sh" stop "$dir"
sed -i 's/^maxartsize: .*/maxartsize:         16000000/; s/^localmaxartsize: .*/localmaxartsize:    16000000/' \
  "$dir/etc/inn.conf"
port=$(bash "$here/scripts/inn-server.sh" start "$dir" "$port")
"$build/bench/news/bench_post" 127.0.0.1 "$port" local.test
