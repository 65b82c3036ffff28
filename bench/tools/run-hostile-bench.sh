#!/usr/bin/env bash
# Time, peak memory and output bytes of lumetra-tool render and extract on
# articles built to make a reader work without end: 16 000 unclosed
# alternative parts, 10 MB of Base64 text without a line end, a 500 MB Base64
# text part, and 2.1 MB of BinHex whose run-length coding unfolds to about
# 200 MB.
#   bench/tools/run-hostile-bench.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build}
tool=$build/tools/lumetra-tool
[ -x "$tool" ] || { echo "build lumetra-tool first ($tool)" >&2; exit 1; }
command -v /usr/bin/time >/dev/null || { echo "missing /usr/bin/time" >&2; exit 1; }
dir=$(mktemp -d /tmp/lumetra-hostile-bench.XXXXXX)
trap 'rm -rf "$dir"' EXIT

python3 - "$dir" <<'PY'
import base64, binascii, struct, sys
d = sys.argv[1]

def write(name, head, body_chunks):
    with open(f"{d}/{name}.msg", "wb") as f:
        f.write(head)
        for c in body_chunks:
            f.write(c)

part = (b'--o\nContent-Type: multipart/alternative; boundary="i"\n\n--i\n'
        b"Content-Type: application/octet-stream\n\n" + b"x" * 200 + b"\n")
write("alternatives", b'Subject: s\nContent-Type: multipart/mixed; boundary="o"\n\n',
      [part * 16000, b"--o--\n"])

b64text = b"Subject: s\nContent-Type: text/plain\nContent-Transfer-Encoding: base64\n\n"
write("base64-one-line", b64text, [base64.encodebytes(b"a" * (10 * 1024 * 1024 * 3 // 4))])

# 57 bytes a Base64 line; 500 MB of Base64 in chunks of whole lines.
line = b"\x82\xa0 text of a long Base64 part, line after line\n"
chunk = (line * (57 * 20000 // len(line) + 1))[: 57 * 20000]
write("base64-500mb", b64text, (base64.encodebytes(chunk) for _ in range(500 * 1024 * 1024 // (77 * 20000))))

# BinHex 4.0: one zero byte, then "repeat it 255 times" for as long as 2.1 MB of text allows.
runs = 2_100_000 * 3 // 4 // 2 - 64
size = 1 + 254 * runs
def lit(b):
    return b.replace(b"\x90", b"\x90\x00")
head = bytes([5]) + b"zeros" + b"\0" + b"BINA????" + b"\0\0" + struct.pack(">II", size, 0)
head += struct.pack(">H", binascii.crc_hqx(head, 0))
crc = 0
zeros = bytes(1 << 20)
left = size
while left:
    n = min(left, len(zeros))
    crc = binascii.crc_hqx(zeros[:n], crc)
    left -= n
stream = lit(head) + b"\0" + b"\x90\xff" * runs + lit(struct.pack(">H", crc)) + lit(struct.pack(">H", 0))
alphabet = b"!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr"
out = bytearray(b":")
for i in range(0, len(stream), 3):
    g = stream[i:i + 3]
    v = int.from_bytes(g.ljust(3, b"\0"), "big")
    for k in range(len(g) + 1):
        out.append(alphabet[(v >> (18 - 6 * k)) & 63])
out += b":"
text = b"\n".join(bytes(out[i:i + 64]) for i in range(0, len(out), 64))
write("binhex-rle", b"Subject: s\n\n(This file must be converted with BinHex 4.0)\n\n", [text, b"\n"])
PY

# Runs a command under /usr/bin/time: sets t (seconds), m (peak KiB) and rc.
measure() {
  local out=$1; shift
  set +e
  /usr/bin/time -f "%e %M" -o "$dir/t" "$@" > "$out" 2>/dev/null
  rc=$?
  set -e
  read -r t m < <(tail -n 1 "$dir/t")
}
row() { printf '%-16s %8.1f  %-7s %8.2f %8.1f %14d %4d\n' "$1" "$2" "$3" "$t" "$(echo "$m/1024" | bc -l)" "$4" "$rc"; }

printf '%-16s %8s  %-7s %8s %8s %14s %4s\n' article "size MB" command seconds "peak MB" "output bytes" exit
for a in alternatives base64-one-line base64-500mb binhex-rle; do
  in=$dir/$a.msg
  mb=$(echo "$(stat -c %s "$in")/1048576" | bc -l)
  measure "$dir/out" "$tool" render --message "$in"
  row "$a" "$mb" render "$(stat -c %s "$dir/out")"
  mkdir "$dir/x"
  measure /dev/null "$tool" extract --message "$in" "$dir/x"
  row "" "$mb" extract "$(find "$dir/x" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')"
  rm -rf "$dir/x" "$dir/out"
done
