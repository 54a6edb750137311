#!/usr/bin/env bash
# jqz6811-cli's checksum command and the figures it logs after a load, a program and a read,
# held against srec_cat's CRC-32 and a plain byte sum of the same bytes; and what --skip-blank
# leaves off the wire of jqz6811-sim.
set -uo pipefail
build=$1
cli="$build/src/cli/jqz6811-cli"
sim="$build/src/sim/jqz6811-sim"
data="$(cd "$(dirname "$0")/../data/interop" && pwd)"
tmp=$(mktemp -d)
simpid=""
cleanup() { [ -n "$simpid" ] && kill "$simpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$tmp/err" ] && cat "$tmp/err"; [ -f "$tmp/out" ] && cat "$tmp/out"; exit 1; }
export XDG_CONFIG_HOME="$tmp/config"
E9="MC68HC11  E9 (E28B)"

# "0xFIRST-0xLAST: sum 0x...., CRC-32 0x........" for the bytes first..last of the image a
# file makes (cells the file leaves out are 0xFF), as srec_cat and od see them; a fourth
# argument is srec_cat's name of the file's format.
figures() {
  local file=$1 first=$2 last=$3 format=${4:-} end crc sum
  end=$((last + 1))
  # shellcheck disable=SC2086
  srec_cat "$file" $format -fill 0xFF "$first" "$end" -crop "$first" "$end" -offset "-$first" \
    -o "$tmp/range.bin" -binary || fail "srec_cat on $file"
  crc=$(srec_cat "$tmp/range.bin" -binary -crc32-l-e "$((end - first))" \
          -crop "$((end - first))" "$((end - first + 4))" -offset "-$((end - first))" \
          -o - -binary | od -An -tx4 | tr -d ' \n' | tr a-f A-F)
  sum=$(od -An -tu1 -v "$tmp/range.bin" |
        awk '{ for (i = 1; i <= NF; ++i) s += $i } END { printf "%04X", s % 65536 }')
  printf '0x%04X-0x%04X: sum 0x%s, CRC-32 0x%s' "$first" "$last" "$sum" "$crc"
}

runf() { "$cli" "$@" > "$tmp/out" 2> "$tmp/err"; rc=$?; }
expect_rc() { [ "$rc" -eq "$1" ] || fail "$2: exit code $rc, expected $1"; }
expect_out() { [ "$(cat "$tmp/out")" = "$1" ] || fail "$2: printed '$(cat "$tmp/out")', expected '$1'"; }

# The checksum command: the file's extent, a range (reversed ends are swapped), the device's
# EEPROM with a gap in the file; S-records and Intel HEX alike.
blink="$data/gnu_blink.s19"
runf checksum "$blink"
expect_rc 0 "checksum of a file"
expect_out "$blink $(figures "$blink" 0xE000 0xFFFF)" "the file's extent"
runf checksum --lowest 0xE000 --highest 0xE0FF "$blink"
expect_rc 0 "checksum of a range"
expect_out "$blink $(figures "$blink" 0xE000 0xE0FF)" "a range"
# A range whose lowest is above its highest is refused, also when the highest is the file's
# last address; a range the file fills in part is summed as the image holds it (0xFF beyond).
runf checksum --lowest 0xE0FF --highest 0xE000 "$blink"
expect_rc 2 "checksum of a reversed range"
grep -qxF "error: --lowest 0xE0FF is above --highest 0xE000: the range is empty." "$tmp/err" \
  || fail "a reversed range: no message"
[ ! -s "$tmp/out" ] || fail "a reversed range printed figures"
runf --device "$E9" checksum --lowest 0xB800 "$data/gnu_blink.hex"
expect_rc 2 "checksum with the lowest above the EEPROM's last address"
grep -qxF "error: --lowest 0xB800 is above the EEPROM's last address, 0xB7FF: the range is empty." \
  "$tmp/err" || fail "the lowest above the EEPROM: no message"
runf checksum --lowest 0xDF00 --highest 0xE0FF "$blink"
expect_rc 0 "checksum of a range the file fills in part"
expect_out "$blink $(figures "$blink" 0xDF00 0xE0FF)" "a range the file fills in part"
runf checksum --lowest 0xFFF0 "$blink"
expect_out "$blink $(figures "$blink" 0xFFF0 0xFFFF)" "only the lowest address"
head -c 300 /dev/urandom > "$tmp/part.bin"
srec_cat "$tmp/part.bin" -binary -offset 0xB650 -o "$tmp/part.hex" -intel || fail "srec_cat -intel"
intel="$tmp/part.hex"
runf --device "$E9" checksum "$intel"
expect_rc 0 "checksum for a device"
expect_out "$intel $(figures "$intel" 0xB600 0xB7FF -intel)" "the device's EEPROM"
grep -qxF "EEPROM $(figures "$intel" 0xB600 0xB7FF -intel)" "$tmp/err" || fail "the load's figures line"
runf --json checksum --lowest 0xE000 --highest 0xE0FF "$blink"
crc=$(figures "$blink" 0xE000 0xE0FF | sed 's/.*CRC-32 0x//')
grep -qF "\"first\":57344,\"last\":57599," "$tmp/out" || fail "json range"
grep -qF "\"crc32\":$((16#$crc)),\"file\":" "$tmp/out" || fail "json CRC-32 as a number"
grep -qF '"range"' "$tmp/out" && fail "json names the file under range"
for bad in "--lowest 0x10000" "--offset 5" "--highest x"; do
  # shellcheck disable=SC2086
  runf checksum $bad "$blink"
  expect_rc 2 "checksum $bad"
done
: > "$tmp/empty.s19"
runf checksum "$tmp/empty.s19"
expect_rc 2 "checksum of a file without data"

# The figures after a program and a read on the simulator are those of the file's EEPROM.
source "$(dirname "$0")/lib_sim.sh"
head -c 512 /dev/urandom > "$tmp/ee.bin"
"$cli" --quiet convert --format bin --offset 0xB600 --lowest 0 --highest 0x1FF "$tmp/ee.bin" \
  "$tmp/ee.s19" --save-lowest 0xB600 --save-highest 0xB7FF || fail "convert"
expected="EEPROM $(figures "$tmp/ee.s19" 0xB600 0xB7FF)"
start_sim
runf --port "$tmp/pty" --device "$E9" --erase program "$tmp/ee.s19"
expect_rc 0 program
[ "$(grep -cxF "$expected" "$tmp/err")" -eq 2 ] || fail "figures after the load and the program"
runf --port "$tmp/pty" --json --device "$E9" --eeprom read "$tmp/back.s19"
expect_rc 0 read
grep -qF "{\"kind\":\"info\",\"text\":\"$expected\",\"range\":\"EEPROM\",\"first\":46592,\"last\":47103," \
  "$tmp/err" || fail "json figures after the read"

# --skip-blank: one block of four holds data (0x55); after the erase only it is written, and
# all four are read back. Without --erase every block is written.
printf '\x55%.0s' $(seq 128) > "$tmp/block.bin"
"$cli" --quiet convert --format bin --offset 0xB700 --lowest 0 --highest 0x7F "$tmp/block.bin" \
  "$tmp/block.s19" || fail "convert"
# The PC's bytes of a run as one hexadecimal string.
pc_bytes() { awk '$1 == ">" { printf "%s", toupper($2) }' "$tmp/wire.txt"; }
while IFS='|' read -r opts writes; do
  start_sim --wire-log "$tmp/wire.txt"
  # shellcheck disable=SC2086
  runf --port "$tmp/pty" --device "$E9" $opts program "$tmp/block.s19"
  expect_rc 0 "program $opts"
  kill "$simpid"; wait "$simpid" 2>/dev/null; simpid=""
  sent=$(pc_bytes)
  for a in B600 B680 B700 B780; do
    if [[ " $writes " == *" $a "* ]]; then
      [[ $sent == *"13$a"* ]] || fail "$opts: block $a not written"
    else
      [[ $sent == *"13$a"* ]] && fail "$opts: blank block $a written"
    fi
    [[ $sent == *"11$a"* ]] || fail "$opts: block $a not verified"
  done
done <<'RUNS'
--erase --skip-blank|B700
--erase|B600 B680 B700 B780
--skip-blank|B600 B680 B700 B780
RUNS
grep -qF -- "--skip-blank leaves out blank blocks only after --erase" "$tmp/err" ||
  fail "--skip-blank without --erase says what it does"
echo "checksums and blank blocks: ok"
