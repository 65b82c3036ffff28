#!/usr/bin/env bash
# Whole-process speed and peak memory of `lumetra-tool decode yenc` next to
# python3-sabyenc (the SIMD decoder SABnzbd uses) and uudeview, on 200 MB of
# random bytes encoded by sabyenc as one block with CR LF lines. Checks that
# the outputs agree (cmp) and prints the ratios (peer time / ours: above 1
# means lumetra-tool is faster).
#   bench/tools/run-yenc-bench.sh [BUILD_DIR] [ROUNDS] [MB]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build}
rounds=${2:-3}
mb=${3:-200}
tool=$build/tools/lumetra-tool
py=/usr/bin/python3
[ -x "$tool" ] || { echo "build lumetra-tool first ($tool)" >&2; exit 1; }
"$py" -c 'import sabyenc3' 2>/dev/null || { echo "missing python3-sabyenc" >&2; exit 1; }
for p in uudeview /usr/bin/time; do
  command -v "$p" >/dev/null || { echo "missing $p" >&2; exit 1; }
done
dir=$(mktemp -d /tmp/lumetra-yenc-bench.XXXXXX)
trap 'rm -rf "$dir"' EXIT

head -c $((mb * 1000000)) /dev/urandom > "$dir/in.bin"
"$py" - "$dir/in.bin" "$dir/in.yenc" <<'PY'
import sabyenc3, sys
data = open(sys.argv[1], "rb").read()
enc, crc = sabyenc3.encode(data)
with open(sys.argv[2], "wb") as f:
    f.write(b"=ybegin line=128 size=%d name=out.bin\r\n" % len(data))
    f.write(enc)
    f.write(b"\r\n=yend size=%d crc32=%08x\r\n" % (len(data), crc))
PY
cat > "$dir/sab.py" <<'PY'
import sabyenc3, sys
# sabyenc decodes a list of the chunks an NNTP reply came in.
chunks = []
with open(sys.argv[1], "rb") as f:
    while True:
        b = f.read(1 << 20)
        if not b:
            break
        chunks.append(b)
data, name, ok = sabyenc3.decode_usenet_chunks(chunks)
assert ok
open(sys.argv[2], "wb").write(data)
PY

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
row() {
  read -r ot om < "$dir/$2.time"
  read -r pt pm < "$dir/$3.time"
  printf '%-18s ours %6.2f s %7.1f MB   %-9s %6.2f s %7.1f MB   ratio %5.2f\n' "$1" "$ot" "$(echo "$om/1024" | bc -l)" \
    "$4" "$pt" "$(echo "$pm/1024" | bc -l)" "$(echo "$pt/($ot+0.005)" | bc -l)"
}
same() { if cmp -s "$1" "$2"; then echo "  $3: identical"; else echo "  $3: DIFFERENT"; fi; }

echo "load: $(uptime | sed 's/.*load average: //')"
echo "input: $(stat -c %s "$dir/in.yenc") B of yEnc for $(stat -c %s "$dir/in.bin") B"
best ours "'$tool' decode yenc '$dir/in.yenc' '$dir/ours.bin'"
best sab "'$py' '$dir/sab.py' '$dir/in.yenc' '$dir/sab.bin'"
mkdir -p "$dir/uu"
best uu "rm -f '$dir/uu/out.bin'; uudeview -i -q -p '$dir/uu' '$dir/in.yenc'"
row "decode yEnc" ours sab sabyenc
row "decode yEnc" ours uu uudeview
same "$dir/ours.bin" "$dir/in.bin" "against the input"
same "$dir/ours.bin" "$dir/sab.bin" "against sabyenc"
same "$dir/ours.bin" "$dir/uu/out.bin" "against uudeview"
