#!/usr/bin/env bash
# Builds the message fuzz targets with clang (libFuzzer, ASan, UBSan) and runs
# each for a short while.   fuzz/message/run-fuzz.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-30}
out=${FUZZ_OUT:-/tmp/lumetra-fuzz-message}
mkdir -p "$out"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$here/src")
sources=("$here"/src/message/*.cpp "$here"/src/textcodec/*.cpp "$here"/src/platform/*.cpp)
for target in fuzz_headers fuzz_render; do
  clang++ "${flags[@]}" "$here/fuzz/message/$target.cpp" "${sources[@]}" -o "$out/$target"
  mkdir -p "$out/corpus-$target"
  seeds=()
  [ "$target" = fuzz_render ] && [ -d "$here/tests/message/data" ] && seeds=("$here/tests/message/data")
  "$out/$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -artifact_prefix="$out/" \
    "$out/corpus-$target" "${seeds[@]}"
done
