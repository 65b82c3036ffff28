#!/usr/bin/env bash
# Builds every fuzz target with clang (libFuzzer, ASan, UBSan) in build-fuzz/
# and runs each for a bounded time on a copy of its seed corpus and past
# findings, two at a time. Exits non-zero when a target fails; its log and reproducer then stay
# in the work folder it prints.
#   fuzz/run.sh [seconds per target, default 20] [target ...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
shift $(($# > 0 ? 1 : 0))
jobs=${FUZZ_JOBS:-2}
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ not installed; skipping"
  exit 0
fi

targets=()
for src in "$here"/fuzz/*/fuzz_*.cpp; do
  name=$(basename "$src" .cpp)
  if [ $# = 0 ] || [[ " $* " == *" $name "* ]]; then targets+=("$name"); fi
done
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no target named $*"; exit 1; }

build="$here/build-fuzz"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DLUMETRA_BUILD_FUZZ=ON -DLUMETRA_BUILD_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" -j2

# The targets write their input to temporary files: memory is faster than disk.
base=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/lumetra-fuzz.XXXXXX")

run_one() {
  local name=$1 src seeds
  src=$(ls "$here"/fuzz/*/"$name.cpp")
  seeds="$(dirname "$src")/corpus/${name#fuzz_}"
  mkdir -p "$work/$name" "$work/$name.tmp"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work/$name"/
  # Past findings seed the search too, so it starts where they were.
  regressions="$(dirname "$src")/regressions/${name#fuzz_}"
  [ -d "$regressions" ] && cp -r "$regressions"/. "$work/$name"/
  if (cd "$work" && TMPDIR="$work/$name.tmp" nice -n 19 "$build/fuzz/$name" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$work/$name-" \
        "$work/$name" >"$work/$name.log" 2>&1); then
    echo "fuzz: $name clean, $(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log") runs" \
      >"$work/$name.result"
  else
    echo "fuzz: $name FAILED, see $work/$name.log" >"$work/$name.result"
    return 1
  fi
}

status=0
running=0
for name in "${targets[@]}"; do
  if [ $running -ge "$jobs" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
  run_one "$name" &
  running=$((running + 1))
done
while [ $running -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done

for name in "${targets[@]}"; do
  cat "$work/$name.result"
  grep -q FAILED "$work/$name.result" && tail -30 "$work/$name.log"
done
if [ $status = 0 ]; then rm -rf "$work"; fi
exit $status
