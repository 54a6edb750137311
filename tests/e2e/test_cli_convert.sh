#!/usr/bin/env bash
# jqz6811-cli convert against srec_cat: the same S-record files give the same bytes, and our
# S-records read back through srec_cat give the original image.
set -euo pipefail
build=$1
cli="$build/src/cli/jqz6811-cli"
data="$(cd "$(dirname "$0")/../data/interop" && pwd)"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# S28 at 0xF800: ours to binary (saving only the file's range) equals srec_cat's.
"$cli" --quiet convert "$data/srec_s28_obs32.s28" "$tmp/ours.bin" --save-lowest 0xF800 --save-highest 0xFFFF
srec_cat "$data/srec_s28_obs32.s28" -motorola -offset -0xF800 -o "$tmp/theirs.bin" -binary
cmp "$tmp/ours.bin" <(head -c 2048 "$tmp/theirs.bin") || fail "S28 to binary differs from srec_cat"

# S19 at 0xC000 with one byte per record: back to the original data.
"$cli" --quiet convert "$data/srec_s19_obs1.s19" "$tmp/c000.bin" --save-lowest 0xC000 --save-highest 0xCBB7
cmp "$tmp/c000.bin" "$data/data.bin" || fail "S19 (1 byte records) to binary differs"

# Binary placed by --offset, written as S19 and S28: srec_cat reads both back to the data.
for fmt in s19 s28; do
  "$cli" --quiet convert --format bin --offset 0x4000 --lowest 0 --highest 0xBB7 \
    "$data/data.bin" "$tmp/out.$fmt" --save-lowest 0x4000 --save-highest 0x4BB7
  srec_cat "$tmp/out.$fmt" -motorola -offset -0x4000 -o "$tmp/back_$fmt.bin" -binary
  cmp "$tmp/back_$fmt.bin" "$data/data.bin" || fail "srec_cat reads our $fmt differently"
done

# Intel HEX both ways: objcopy's file to binary (its gap between the sections is zeros), and
# ours (by extension and by --to ihex) read back through srec_cat to the data.
"$cli" --quiet convert --clear 00 "$data/gnu_blink.hex" "$tmp/blink.bin" --save-lowest 0xE000 --save-highest 0xFFFF
cmp "$tmp/blink.bin" "$data/gnu_blink.bin" || fail "objcopy's Intel HEX to binary differs"
"$cli" --quiet convert --format bin --offset 0x4000 --lowest 0 --highest 0xBB7 \
  "$data/data.bin" "$tmp/out.hex" --save-lowest 0x4000 --save-highest 0x4BB7
"$cli" --quiet convert --to ihex "$tmp/out.hex" "$tmp/out.txt" --save-lowest 0x4000 --save-highest 0x4BB7
cmp "$tmp/out.hex" "$tmp/out.txt" || fail "--to ihex and .hex write different files"
srec_cat "$tmp/out.hex" -intel -offset -0x4000 -o "$tmp/back_hex.bin" -binary
cmp "$tmp/back_hex.bin" "$data/data.bin" || fail "srec_cat reads our Intel HEX differently"

# Unreadable input and bad usage give exit code 2.
set +e
"$cli" --quiet convert "$tmp/missing.s19" "$tmp/x.bin"; rc=$?
[ "$rc" -eq 2 ] || fail "missing input gave $rc"
"$cli" --quiet convert "$tmp/only-one-argument"; rc=$?
[ "$rc" -eq 2 ] || fail "bad usage gave $rc"
"$cli" --quiet --json convert "$tmp/missing.s19" "$tmp/x.bin" 2> "$tmp/json.txt"
grep -q '"result":"failed","exit":2' "$tmp/json.txt" || fail "no JSON result line"
set -e
echo "cli convert: ok"
