#!/usr/bin/env bash
# Builds the textcodec fuzz targets with clang and runs each for a bounded
# time on a copy of its seed corpus. Exits non-zero when a target finds a
# crash (the reproducer is left in the work folder it prints).
#   fuzz/textcodec/run.sh [seconds per target, default 20]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-20}
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ not installed; skipping"
  exit 0
fi
build="$here/build-fuzz"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DLUMETRA_BUILD_FUZZ=ON -DLUMETRA_BUILD_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target fuzz_textcodec_all -j2
work=$(mktemp -d /tmp/lumetra-fuzz.XXXXXX)
status=0
for corpus in "$here"/fuzz/textcodec/corpus/*/; do
  name=$(basename "$corpus")
  mkdir -p "$work/$name"
  if (cd "$work" && "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -rss_limit_mb=1024 -print_final_stats=1 \
        "$work/$name" "$corpus" >"$work/$name.log" 2>&1); then
    echo "fuzz: $name clean ($(grep -o 'stat::number_of_executed_units: [0-9]*' "$work/$name.log" || echo '? runs'))"
  else
    echo "fuzz: $name FAILED, see $work/$name.log"
    tail -30 "$work/$name.log"
    status=1
  fi
done
if [ $status = 0 ]; then rm -rf "$work"; fi
exit $status
