#!/usr/bin/env bash
# Starts a private INN holding 50 000 extra groups, runs bench_net against it
# and stops the server.   bench/net/run-bench.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build-bench}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMETRA_BUILD_GUI=OFF -DLUMETRA_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target bench_net -j2 >/dev/null
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
# The 5 MB article is over the default size limits.
sed -i '/^maxartsize:/d; /^localmaxartsize:/d' "$dir/etc/inn.conf"
printf 'maxartsize: 0\nlocalmaxartsize: 0\n' >> "$dir/etc/inn.conf"
chown news:news "$dir/db/active" "$dir/etc/inn.conf"
port=$(bash "$here/scripts/inn-server.sh" start "$dir" "$port")
"$build/bench/net/bench_net" 127.0.0.1 "$port"
