#!/usr/bin/env bash
# Whole-process speed and peak memory of lumetra-tool's conversion and Base64
# next to their peers, on inputs it makes: about 60 MB of ISO-2022-JP and
# EUC-JP Japanese text (the edict dictionary, or generated text without it)
# and 135 MB of random bytes. Checks that the outputs agree (cmp) and prints
# the ratios (peer time / ours: above 1 means lumetra-tool is faster).
#   bench/tools/run-tools-bench.sh [BUILD_DIR] [ROUNDS]
# REFERENCE_TOOL=path: another lumetra-tool whose output must be identical.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build}
rounds=${2:-3}
tool=$build/tools/lumetra-tool
[ -x "$tool" ] || { echo "build lumetra-tool first ($tool)" >&2; exit 1; }
for p in iconv nkf base64 /usr/bin/time; do
  command -v "$p" >/dev/null || { echo "missing $p" >&2; exit 1; }
done
dir=$(mktemp -d /tmp/lumetra-tools-bench.XXXXXX)
trap 'rm -rf "$dir"' EXIT

# Inputs.
if [ -r /usr/share/edict/edict ]; then
  iconv -c -f EUC-JP -t ISO-2022-JP < /usr/share/edict/edict > "$dir/one.jis" || true
else
  python3 - "$dir/one.jis" <<'PY'
import random, sys
random.seed(1)
kana = [chr(c) for c in range(0x3041, 0x3094)] + [chr(c) for c in range(0x30A1, 0x30F7)]
kanji = "日本語漢字変換新聞記事投稿読者返信題名本文時間場所情報設定表示文字言葉世界社会"
lines = []
for i in range(200000):
    n = random.randint(10, 60)
    lines.append("%d: " % i + "".join(random.choice(kana + list(kanji)) for _ in range(n)) + " ascii text")
open(sys.argv[1], "wb").write(("\n".join(lines) + "\n").encode("iso-2022-jp"))
PY
fi
: > "$dir/in.jis"
while [ "$(stat -c %s "$dir/in.jis")" -lt 60000000 ]; do cat "$dir/one.jis" >> "$dir/in.jis"; done
iconv -f ISO-2022-JP -t EUC-JP < "$dir/in.jis" > "$dir/in.euc"
head -c 135000000 /dev/urandom > "$dir/in.bin"
base64 -w 72 "$dir/in.bin" > "$dir/ref.b64"

# Best of the rounds: "seconds KiB".
best() {
  local out=$1; shift
  local t m bt=999999 bm=0
  for _ in $(seq "$rounds"); do
    /usr/bin/time -f "%e %M" -o "$dir/last.time" bash -c "$*" >/dev/null 2>&1
    read -r t m < "$dir/last.time"
    if awk -v a="$t" -v b="$bt" 'BEGIN{exit !(a<b)}'; then bt=$t; bm=$m; fi
  done
  printf '%s %s\n' "$bt" "$bm" > "$dir/$out.time"
}
row() { # name ours-time-file peer-time-file peer-name
  read -r ot om < "$dir/$2.time"
  read -r pt pm < "$dir/$3.time"
  printf '%-26s ours %6.2f s %7.1f MB   %-8s %6.2f s %7.1f MB   ratio %5.2f\n' "$1" "$ot" "$(echo "$om/1024" | bc -l)" \
    "$4" "$pt" "$(echo "$pm/1024" | bc -l)" "$(echo "$pt/($ot+0.005)" | bc -l)"
}
same() { if cmp -s "$1" "$2"; then echo "  $3: identical"; else echo "  $3: DIFFERENT"; fi; }

echo "load: $(uptime | sed 's/.*load average: //')"
echo "inputs: $(stat -c %s "$dir/in.jis") B ISO-2022-JP, $(stat -c %s "$dir/in.euc") B EUC-JP, $(stat -c %s "$dir/in.bin") B binary"
for code in jis euc; do
  from=$([ $code = jis ] && echo ISO-2022-JP || echo EUC-JP)
  best conv-$code "'$tool' conv -i auto < '$dir/in.$code' > '$dir/ours.$code.sjis'"
  best iconv-$code "iconv -f $from -t SHIFT_JIS < '$dir/in.$code' > '$dir/iconv.$code.sjis'"
  best nkf-$code "nkf -s < '$dir/in.$code' > '$dir/nkf.$code.sjis'"
  row "conv $from" conv-$code iconv-$code iconv
  row "conv $from" conv-$code nkf-$code nkf
  same "$dir/ours.$code.sjis" "$dir/iconv.$code.sjis" "against iconv"
  same "$dir/ours.$code.sjis" "$dir/nkf.$code.sjis" "against nkf"
  if [ -n "${REFERENCE_TOOL:-}" ]; then
    "$REFERENCE_TOOL" conv -i auto < "$dir/in.$code" > "$dir/ref.$code.sjis"
    same "$dir/ours.$code.sjis" "$dir/ref.$code.sjis" "against the reference tool"
  fi
done
best enc "'$tool' encode base64 '$dir/in.bin' '$dir/ours.b64'"
best benc "base64 -w 72 '$dir/in.bin' > '$dir/peer.b64'"
row "encode base64" enc benc base64
same "$dir/ours.b64" "$dir/ref.b64" "against base64 -w 72"
best dec "'$tool' decode base64 '$dir/ref.b64' '$dir/ours.bin'"
best bdec "base64 -d '$dir/ref.b64' > '$dir/peer.bin'"
row "decode base64" dec bdec base64
same "$dir/ours.bin" "$dir/in.bin" "against the original"
