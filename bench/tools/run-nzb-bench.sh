#!/usr/bin/env bash
# `lumetra-tool nzb` next to nzbget (Debian's) on one NZB and one server: a
# random file posted to the test INN in yEnc parts, downloaded and joined on
# loopback. Checks both files against the original (cmp) and prints the best
# wall time and peak memory (max RSS) of each and the ratio ours / nzbget
# (at most 1.2 is the goal). nzbget runs standalone with one connection, as
# we use one, and again with its default four for reference.
#   bench/tools/run-nzb-bench.sh [BUILD_DIR] [ROUNDS] [MB] [PARTS]
# Uses the INN of $LUMETRA_TEST_NNTP_PORT when set, else starts its own.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build}
rounds=${2:-3}
mb=${3:-100}
parts=${4:-200}
tool=$build/tools/lumetra-tool
[ -x "$tool" ] || { echo "build lumetra-tool first ($tool)" >&2; exit 1; }
if ! command -v nzbget >/dev/null; then
  [ "$(id -u)" = 0 ] || { echo "missing nzbget (apt-get install nzbget)" >&2; exit 1; }
  apt-get install -y nzbget >/dev/null
fi
dir=$(mktemp -d /tmp/lumetra-nzb-bench.XXXXXX)
own_inn=
cleanup() {
  [ -z "$own_inn" ] || bash "$here/scripts/inn-server.sh" stop "$dir/inn" >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT
port=${LUMETRA_TEST_NNTP_PORT:-}
if [ -z "$port" ]; then
  own_inn=1
  port=$(bash "$here/scripts/inn-server.sh" start "$dir/inn")
fi

mkdir -p "$dir/posts"
python3 "$here/bench/tools/make-nzb-posts.py" "$dir/posts" "$mb" "$parts" "b$$x$RANDOM"
python3 "$here/scripts/nntp-load.py" --port "$port" --feed "$dir"/posts/part-*.art
printf '[config]\r\nstrNntpServer=127.0.0.1\r\nnNntpPort=%s\r\n' "$port" > "$dir/bench.lum"
zcat /usr/share/doc/nzbget/examples/nzbget.conf.gz > "$dir/nzbget.conf"

ours() {
  rm -rf "$dir/ours"
  XDG_CONFIG_HOME="$dir/xdg" XDG_CACHE_HOME="$dir/xdg" "$tool" nzb "$dir/posts/bench.nzb" "$dir/ours" --config "$dir/bench.lum" >/dev/null
}
nzbget_run() {
  local ng=$dir/ng$1
  rm -rf "$ng"
  mkdir -p "$ng"
  # Standalone: downloads the one NZB and exits; no par check, no unpack.
  (cd "$ng" && nzbget -c "$dir/nzbget.conf" -o MainDir="$ng" -o DestDir="$ng/dst" -o InterDir= -o WebDir= \
    -o ConfigTemplate= -o LockFile="$ng/lock" -o WriteLog=none -o OutputMode=loggable \
    -o Server1.Host=127.0.0.1 -o Server1.Port="$port" -o Server1.Username= -o Server1.Password= \
    -o Server1.Connections="$1" -o ParCheck=manual -o Unpack=no -o UpdateCheck=none \
    "$dir/posts/bench.nzb" >/dev/null 2>&1)
}
export -f ours nzbget_run
export dir tool port

# Rounds alternate, so a busy machine weighs on all alike.
declare -A best mem
for _ in $(seq "$rounds"); do
  for who in ours "nzbget_run 1" "nzbget_run 4"; do
    /usr/bin/time -f "%e %M" -o "$dir/last.time" bash -c "$who"
    read -r t m < "$dir/last.time"
    if [ -z "${best[$who]:-}" ] || awk -v a="$t" -v b="${best[$who]}" 'BEGIN{exit !(a<b)}'; then
      best[$who]=$t
      mem[$who]=$m
    fi
  done
done
same() { if cmp -s "$1" "$dir/posts/bench.bin"; then echo "identical"; else echo "DIFFERENT"; fi; }
echo "load: $(uptime | sed 's/.*load average: //')"
echo "input: $mb MB in $parts yEnc parts, $(cat "$dir"/posts/part-*.art | wc -c) B of articles"
row() {
  printf '%-24s %6.2f s %7.1f MB  file %s\n' "$1" "${best[$2]}" "$(echo "${mem[$2]}/1024" | bc -l)" "$3"
}
row "lumetra-tool nzb" ours "$(same "$dir/ours/bench.bin")"
row "nzbget, 1 connection" "nzbget_run 1" "$(same "$dir/ng1/dst/bench/bench.bin")"
row "nzbget, 4 connections" "nzbget_run 4" "$(same "$dir/ng4/dst/bench/bench.bin")"
printf 'ratio ours / nzbget: %.2f (1 connection), %.2f (4 connections)\n' \
  "$(echo "${best[ours]}/${best[nzbget_run 1]}" | bc -l)" "$(echo "${best[ours]}/${best[nzbget_run 4]}" | bc -l)"
