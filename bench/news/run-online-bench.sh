#!/usr/bin/env bash
# Starts a private INN holding 50 000 extra groups, runs bench_online against
# it directly and through two latency proxies (50 ms; 50 ms and 10 Mbit/s),
# then adds 50 000 more for the memory run, and stops the server.
#   bench/news/run-online-bench.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build-bench}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMETRA_BUILD_GUI=OFF -DLUMETRA_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target bench_online -j2 >/dev/null
dir=$(mktemp -d /tmp/lumetra-bench.XXXXXX)
proxies=()
trap 'for p in "${proxies[@]}"; do kill "$p" 2>/dev/null || true; done
      bash "$here/scripts/inn-server.sh" stop "$dir" || true; rm -rf "$dir"' EXIT
proxy() { # port file, options... (not in a subshell: the trap must know the proxy)
  local out=$1; shift
  python3 "$here/scripts/latency-proxy.py" --target-port "$port" "$@" >"$out" &
  proxies+=($!)
  until [ -s "$out" ]; do sleep 0.1; done
}
add_groups() { # prefix count
  bash "$here/scripts/inn-server.sh" stop "$dir"
  python3 - "$dir/db/active" "$1" "$2" <<'PY'
import sys
with open(sys.argv[1], "a") as f:
    for i in range(int(sys.argv[3])):
        f.write("%s%05d 0000000000 0000000001 y\n" % (sys.argv[2], i))
PY
  chown news:news "$dir/db/active"
}
port=$(bash "$here/scripts/inn-server.sh" start "$dir")
add_groups bench.group 50000
port=$(bash "$here/scripts/inn-server.sh" start "$dir" "$port")
"$build/bench/news/bench_online" 127.0.0.1 "$port"
proxy "$dir/rtt.port" --rtt-ms 50
proxy "$dir/link.port" --rtt-ms 50 --bandwidth 10M
rtt=$(head -1 "$dir/rtt.port" | cut -d' ' -f1)
link=$(head -1 "$dir/link.port" | cut -d' ' -f1)
"$build/bench/news/bench_online" 127.0.0.1 "$port" slow "$rtt" "$link"
add_groups bench.more 50000
port=$(bash "$here/scripts/inn-server.sh" start "$dir" "$port")
"$build/bench/news/bench_online" 127.0.0.1 "$port" memory
