#!/usr/bin/env bash
# Starts a private INN holding 50 000 extra groups, runs bench_tls against its
# plain and its TLS port, and stops the server.   bench/news/run-tls-bench.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build-bench}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMETRA_BUILD_GUI=OFF -DLUMETRA_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target bench_tls -j2 >/dev/null
dir=$(mktemp -d /tmp/lumetra-bench.XXXXXX)
trap 'bash "$here/scripts/inn-server.sh" stop "$dir" || true; rm -rf "$dir"' EXIT
port=$(bash "$here/scripts/inn-server.sh" start "$dir")
bash "$here/scripts/inn-server.sh" stop "$dir"
python3 - "$dir/db/active" <<'PY'
import sys
with open(sys.argv[1], "a") as f:
    for i in range(50000):
        f.write("bench.group%05d 0000000000 0000000001 y\n" % i)
PY
chown news:news "$dir/db/active"
port=$(bash "$here/scripts/inn-server.sh" start "$dir" "$port")
"$build/bench/news/bench_tls" "$port" "$(cat "$dir/tls-port")" "$dir/tls/ca.pem"
