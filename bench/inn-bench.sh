# Sourced by the benchmark scripts that run against a private INN: the
# Release build without windows (BUILD_DIR, the script's first argument), a
# server in a fresh folder, stopped and removed on exit with any latency
# proxies started meanwhile.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$here/build-bench}
dir=$(mktemp -d /tmp/lumetra-bench.XXXXXX)
port=
proxies=()
trap 'for p in "${proxies[@]}"; do kill "$p" 2>/dev/null || true; done
      bash "$here/scripts/inn-server.sh" stop "$dir" >/dev/null 2>&1 || true; rm -rf "$dir"' EXIT

bench_build() { # target
  [ -f "$build/CMakeCache.txt" ] || cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DLUMETRA_BUILD_GUI=OFF -DLUMETRA_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build" --target "$1" -j2 >/dev/null
}

# Started again after a stop, the server keeps its port.
server_start() { port=$(bash "$here/scripts/inn-server.sh" start "$dir" $port); }
server_stop() { bash "$here/scripts/inn-server.sh" stop "$dir"; }

# Appends count empty groups prefix00000... to the stopped server's list.
add_groups() { # prefix count
  python3 - "$dir/db/active" "$1" "$2" <<'PY'
import sys
with open(sys.argv[1], "a") as f:
    for i in range(int(sys.argv[3])):
        f.write("%s%05d 0000000000 0000000001 y\n" % (sys.argv[2], i))
PY
  chown news:news "$dir/db/active"
}

# A latency proxy in front of the server; its port is the first word of the
# file out. Not to be called in a subshell: the exit trap must know it.
proxy() { # out options...
  local out=$1; shift
  python3 "$here/scripts/latency-proxy.py" --target-port "$port" "$@" >"$out" &
  proxies+=($!)
  until [ -s "$out" ]; do sleep 0.1; done
}
