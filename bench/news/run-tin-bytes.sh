#!/usr/bin/env bash
# Bytes a reader receives opening a group of 1000 articles with today's
# header sizes: tin (Debian's; its batch index update fetches the overview
# as entering the group does) against lumetra-tool open, each through a
# counting relay in front of a private INN. Not part of CI.
#   bench/news/run-tin-bytes.sh [BUILD_DIR] [ARTICLES]
source "$(dirname "$0")/../inn-bench.sh"
articles=${2:-1000}
command -v tin >/dev/null || { echo "tin is not installed (apt-get install tin)" >&2; exit 1; }
bench_build lumetra-tool
server_start
python3 "$here/bench/news/make-bulk-articles.py" "$dir/articles" "$articles"
find "$dir/articles" -type f | sort | xargs python3 "$here/scripts/nntp-load.py" --port "$port" --feed >/dev/null

count() { # name command...: runs the command through a fresh counting relay
  local name=$1; shift
  proxy "$dir/$name.port" --rtt-ms 0 --count "$dir/$name.bytes"
  relay=$(cut -d' ' -f1 "$dir/$name.port")
  "$@" >/dev/null 2>"$dir/$name.err" || { cat "$dir/$name.err" >&2; exit 1; }
  until [ -s "$dir/$name.bytes" ]; do sleep 0.1; done
  printf '%-36s %9d bytes received, %6d sent\n' "$name" "$(cut -d' ' -f1 "$dir/$name.bytes")" \
    "$(cut -d' ' -f2 "$dir/$name.bytes")"
}

tin_open() {
  # With the overview cached, -u reads the subscribed groups' overview and exits.
  rm -rf "$dir/tin" && mkdir -p "$dir/tin/.tin"
  printf 'local.bulk: \n' >"$dir/tin/.newsrc"
  printf 'cache_overview_files=ON\n' >"$dir/tin/.tin/tinrc"
  HOME="$dir/tin" NNTPSERVER=127.0.0.1 tin -r -p "$relay" -u -Q </dev/null
}
lumetra_open() { # options...
  printf '[config]\r\nstrNntpServer=127.0.0.1\r\nnNntpPort=%s\r\nstrMarkFile=news.rc\r\nnMaxReadArtcleCount=100000\r\n' \
    "$relay" >"$dir/bench.lum"
  rm -f "$dir/news.rc"
  LUMETRA_NNTP_PASSWORD=lumetra-secret XDG_CONFIG_HOME="$dir/cfg" XDG_CACHE_HOME="$dir/cache" \
    "$build/tools/lumetra-tool" open --config "$dir/bench.lum" "$@" local.bulk
}
echo "opening local.bulk with $articles articles:"
count "tin $(tin -V 2>&1 | sed -n 's/^Version: tin \([^ ]*\).*/\1/p')" tin_open
count "lumetra-tool, plain" lumetra_open --no-compress
count "lumetra-tool, COMPRESS after login" lumetra_open --user tester --allow-plain-password
