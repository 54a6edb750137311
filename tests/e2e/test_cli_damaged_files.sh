#!/usr/bin/env bash
# jqz6811-cli takes a file only as it is: formats told by the whole first line, a byte order
# mark skipped, damaged files refused by program, verify, convert and checksum before anything
# is sent or written (--lenient loads them as the window program does), Intel HEX addresses
# past 64 KiB, convert writing only what the input filled, the figures of an unverified
# program, and the options' own words; against jqz6811-sim on a pseudo-terminal.
set -uo pipefail
build=$(cd "$1" && pwd)
cli="$build/src/cli/jqz6811-cli"
sim="$build/src/sim/jqz6811-sim"
tmp=$(mktemp -d)
simpid=""
cleanup() { [ -n "$simpid" ] && kill "$simpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
export XDG_CONFIG_HOME="$tmp/config"
E9="MC68HC11  E9 (E28B)"
source "$(dirname "$0")/expect.sh"

source "$(dirname "$0")/lib_sim.sh"
start_sim
# A port that does not exist: a refusal that came after the port was opened would show.
gone="$tmp/no-such-port"

# ihex ADDRESS TYPE HEXBYTES: one Intel HEX record with its checksum.
ihex() {
  local address=$1 type=$2 data=$3 n sum i
  n=$((${#data} / 2))
  sum=$((n + (address >> 8) + (address & 255) + type))
  for ((i = 0; i < ${#data}; i += 2)); do sum=$((sum + 16#${data:i:2})); done
  printf ':%02X%04X%02X%s%02X\r\n' "$n" "$address" "$type" "$data" $(((256 - sum % 256) % 256))
}
# srec TYPE ADDRESS_DIGITS ADDRESS HEXBYTES: one S-record with its checksum.
srec() {
  local type=$1 digits=$2 address=$3 data=$4 n sum i
  n=$((${#data} / 2 + digits / 2 + 1))
  sum=$n
  for ((i = 0; i < digits; i += 2)); do sum=$((sum + ((address >> (4 * (digits - 2 - i))) & 255))); done
  for ((i = 0; i < ${#data}; i += 2)); do sum=$((sum + 16#${data:i:2})); done
  printf "S%s%02X%0${digits}X%s%02X\r\n" "$type" "$n" "$address" "$data" $((255 - sum % 256))
}
bytes64=$(for i in $(seq 0 63); do printf '%02X' "$i"; done)

# --- 1. The whole first line, a byte order mark, binary look-alikes ------------------------
# An Intel HEX record of 64 bytes (a first line of 139 characters) and an S3-free S-record
# file with 64-byte lines are read as what they are: convert writes the same 64 bytes back.
{ ihex 0xB600 0 "$bytes64"; ihex 0 1 ""; } > "$tmp/long.hex"
{ srec 2 6 0xB600 "$bytes64"; srec 8 6 0 ""; } > "$tmp/long.s28"
printf '\xEF\xBB\xBF' > "$tmp/bom.s19"; { srec 1 4 0xB600 "$bytes64"; srec 9 4 0 ""; } >> "$tmp/bom.s19"
for f in long.hex long.s28 bom.s19; do
  expect 0 "" "$cli" -q --save-lowest 0xB600 --save-highest 0xB63F convert "$tmp/$f" "$tmp/$f.bin"
  [ "$(od -An -tx1 -v "$tmp/$f.bin" | tr -d ' \n')" = "$(echo "$bytes64" | tr A-F a-f)" ] \
    || fail "$f: the 64 bytes were not read as records"
  expect 0 "" "$cli" -q --device "$E9" --port "$pty" --erase program "$tmp/$f"
done
# Intel HEX whose first line is no record: convert and checksum refuse it as program does.
{ printf ':10B600000102030405060708090A0B0C0D0E0F1068\r\n'; ihex 0 1 ""; } > "$tmp/badfirst.hex"
hint="Check its first line (count, address, type, data and checksum), or give --format ihex to skip lines that are not records, or give --format bin to take its bytes as they are."
for cmd in convert checksum; do
  args=("$tmp/badfirst.hex"); [ "$cmd" = convert ] && args+=("$tmp/badfirst.s19")
  case $cmd in convert) verb=converted ;; checksum) verb=summed ;; esac
  expect 2 "error: $tmp/badfirst.hex looks like Intel HEX (its lines start with ':'), but its first line is not a valid record: taken as binary, its text would be $verb as data.
$hint" "$cli" "$cmd" "${args[@]}"
done
[ ! -e "$tmp/badfirst.s19" ] || fail "convert wrote a refused file"
expect 0 "" "$cli" -q --format bin checksum "$tmp/badfirst.hex"
# A binary file with "S1" among its first bytes is taken as S-records, as documented; the
# refusal names --format bin.
{ printf '\x7FELF\x02\x01S1\x00\x00\x00'; head -c 500 /dev/zero; } > "$tmp/lookalike.bin"
expect 2 "error: $tmp/lookalike.bin holds nothing for the EEPROM (0xB600-0xB7FF) of $E9, so there is nothing to program: none of its 1 line is a Motorola S data record that lands in the memory image.
If it is a binary file, give --format bin." \
  "$cli" --port "$gone" --device "$E9" program "$tmp/lookalike.bin"
{ printf 'X0\x01\x02'; head -c 100 /dev/zero; } > "$tmp/lookalike2.bin"
expect 2 "Reading file : $tmp/lookalike2.bin
error: No data found in file : $tmp/lookalike2.bin
If it is a binary file, give --format bin." "$cli" convert "$tmp/lookalike2.bin" "$tmp/x.s19"

# --- 2. Damaged files: refused with the line, nothing sent or written ----------------------
ok1=$(srec 1 4 0xB600 0102030405060708)
ok2=$(srec 1 4 0xB610 1112131415161718)
end=$(srec 9 4 0 "")
bad2=$(printf '%s' "$ok2" | sed 's/..\r$/00\r/')
hok=$(ihex 0xB600 0 0102030405060708)
hend=$(ihex 0 1 "")
printf '%s\n%s\n%s\n' "$ok1" "$bad2" "$end" > "$tmp/checksum.s19"
printf '%s\nhello\n%s\n' "$ok1" "$end" > "$tmp/junk.s19"
printf '%s%s\n%s\n' "${ok1%$'\r'}" "$ok2" "$end" > "$tmp/two.s19"
printf '%s ; note\n%s\n' "${ok1%$'\r'}" "$end" > "$tmp/after.s19"
printf '%s\n%s\n' "$ok1" "$ok2" > "$tmp/cut.s19"
printf '%s\n%s\n%s\n' "$ok1" "$(srec 1 4 0xB604 AA)" "$end" > "$tmp/overlap.s19"
printf '%s\n' "$hok" > "$tmp/cut.hex"
printf '%s\n%s\n%s\n' "$hok" "$(ihex 0xB601 0 BB)" "$hend" > "$tmp/overlap.hex"
printf '%s\n%s\n%s\n' "$ok1" "$ok1" "$end" > "$tmp/same-twice.s19"
while IFS='|' read -r file fault notice; do
  for cmd in program verify convert checksum; do
    case $cmd in program) verb=programmed ;; verify) verb=verified ;; convert) verb=converted ;; checksum) verb=summed ;; esac
    args=(); [ "$cmd" = program ] || [ "$cmd" = verify ] && args=(--port "$gone" --device "$E9")
    out=(); [ "$cmd" = convert ] && out=("$tmp/out-$file")
    expect 2 "error: $tmp/$file: $fault. A damaged file is not $verb (--lenient takes it as the window program does, with notices)." \
      "$cli" "${args[@]}" "$cmd" "$tmp/$file" "${out[@]}"
    [ ! -e "$tmp/out-$file" ] || fail "convert of $file wrote a file"
  done
  # --lenient: as the window program, with its notice.
  "$cli" --lenient convert "$tmp/$file" "$tmp/out-$file" 2> "$tmp/err" || fail "--lenient convert of $file"
  grep -qxF "$notice" "$tmp/err" || { cat "$tmp/err"; fail "--lenient convert of $file: no notice \"$notice\""; }
done <<'EOF'
checksum.s19|line 2 has a bad checksum|Unrecognized Line in S file !
junk.s19|line 2 is not a Motorola S record|Unrecognized Line in S file !
two.s19|line 1 has text after its record's checksum (two records on one line?)|Text after a record's checksum ignored on 1 line, the first line 1.
after.s19|line 1 has text after its record's checksum (two records on one line?)|Text after a record's checksum ignored on 1 line, the first line 1.
cut.s19|the file ends after line 2 without its end record (cut short?)|The file ends without its end record: it may have been cut short.
overlap.s19|line 2 gives 0xB604 another value than an earlier line|1 byte is given again with another value, the first at 0xB604 on line 2: the last value is kept.
cut.hex|the file ends after line 1 without its end record (cut short?)|The file ends without its end record: it may have been cut short.
overlap.hex|line 2 gives 0xB601 another value than an earlier line|1 byte is given again with another value, the first at 0xB601 on line 2: the last value is kept.
EOF
# Each refusal came before the port was opened (the port named does not exist); a whole file
# with a value given twice alike is taken.
expect 0 "" "$cli" -q --port "$pty" --device "$E9" --erase program "$tmp/same-twice.s19"
expect 0 "" "$cli" -q --lenient --port "$pty" --device "$E9" --erase program "$tmp/overlap.s19"
expect 0 "" "$cli" -q --port "$pty" --device "$E9" --eeprom read "$tmp/back.s19" \
  --save-lowest 0xB600 --save-highest 0xB607
grep -q "^S10BB60001020304AA060708" "$tmp/back.s19" || fail "--lenient: the last value did not win"

# --- 3. Intel HEX addresses past 64 KiB -------------------------------------------------------
# After an 04 record a record running past 0xFFFF goes on at 0x10000 (outside the image), not
# back to 0x0000; file addresses of 0x1000000 and above are counted outside the image too.
{ ihex 0 4 0000; ihex 0xFFFC 0 A1A2A3A4A5A6A7A8; ihex 0 4 0100; ihex 0 0 B1B2; ihex 0 1 ""; } > "$tmp/linear.hex"
expect 0 "Reading file : $tmp/linear.hex
Read file complete
Not loaded: 6 bytes outside the buffer (0x0000-0xFFFF).
Writing file : $tmp/linear.s19
Write file complete" "$cli" convert "$tmp/linear.hex" "$tmp/linear.s19"
[ "$(grep -c '^S1' "$tmp/linear.s19")" -eq 1 ] && grep -q '^S107FFFCA1A2A3A4' "$tmp/linear.s19" \
  || { cat "$tmp/linear.s19"; fail "linear addresses: 0xFFFC-0xFFFF alone"; }

# --- 4. The figures of a program that was not verified --------------------------------------
"$cli" --port "$pty" --device "$E9" --erase --no-verify program "$tmp/long.s28" 2> "$tmp/err" \
  || fail "program --no-verify"
grep -q "^EEPROM 0xB600-0xB7FF as written (not verified): sum 0x" "$tmp/err" \
  || { cat "$tmp/err"; fail "program --no-verify: the figures do not say they are as written"; }
"$cli" --port "$pty" --device "$E9" --erase program "$tmp/long.s28" 2> "$tmp/err" || fail "program"
[ "$(grep -c '^EEPROM 0xB600-0xB7FF: sum 0x' "$tmp/err")" -eq 2 ] \
  || { cat "$tmp/err"; fail "program: the load's and the device's figures"; }

# --- 7. Options ------------------------------------------------------------------------------
while IFS='|' read -r args want; do
  # shellcheck disable=SC2086
  expect 2 "error: $want (see jqz6811-cli --help)" "$cli" --port "$gone" --device "$E9" $args
done <<EOF
--serial 0xB600,2,1 --serial 0xB602,2,1 program $tmp/long.s28|--serial is given twice
--serial 0xB600,2,1 --report a.csv --report b.csv program $tmp/long.s28|--report is given twice
--serial 0xB600,2,1 --serial-file a --serial-file b program $tmp/long.s28|--serial-file is given twice
--to s19 program $tmp/long.s28|--to does not go with program (it goes with convert)
--rom program $tmp/long.s28|--rom does not go with program (it goes with read)
--save-lowest 0xB600 program $tmp/long.s28|--save-lowest does not go with program (it goes with read and convert)
--erase verify $tmp/long.s28|--erase does not go with verify (it goes with program)
--lenient read $tmp/x.s19|--lenient does not go with read (it goes with program, verify, convert and checksum)
--serial 0xB600,2,10,-1 program $tmp/long.s28|--serial: STEP -1 is negative: numbers only count up, by a STEP of 1 or more
EOF
"$cli" --json devices > "$tmp/out" 2> "$tmp/err" || fail "devices --json"
perl -MJSON::PP -e 'local $/; my $d = decode_json(<STDIN>); exit(@{$d->{devices}} == 31 ? 0 : 1)' \
  < "$tmp/out" || fail "devices --json: $(cat "$tmp/out")"
"$cli" --json ports > "$tmp/out" 2> /dev/null || fail "ports --json"
perl -MJSON::PP -e 'local $/; my $d = decode_json(<STDIN>); exit($d->{ports}[-1] eq "Virtual Programmer" ? 0 : 1)' \
  < "$tmp/out" || fail "ports --json: $(cat "$tmp/out")"
"$cli" --json --version > "$tmp/out" 2> /dev/null || fail "--version --json"
grep -qE '^\{"version":"[0-9.]+"\}$' "$tmp/out" || fail "--version --json: $(cat "$tmp/out")"
"$cli" --json --port "$pty" detect > "$tmp/out" 2> /dev/null || fail "detect --json"
[ "$(cat "$tmp/out")" = '{"programmer":"MC68HC(7)11 Programmer VER-1.1 detected !"}' ] \
  || fail "detect --json: $(cat "$tmp/out")"
# (Read whole first: head leaving the pipe early would end the program with SIGPIPE.)
"$cli" --json --help > "$tmp/out" 2> /dev/null || fail "--help --json"
head -1 "$tmp/out" | grep -q '^Usage: jqz6811-cli' || fail "--help stays text"
expect 2 "error: $tmp/junk.s19 holds nothing for the EEPROM (0xB600-0xB7FF) of $E9, so there is nothing to program: none of its 3 lines is an Intel HEX data record that lands in the memory image." \
  "$cli" --port "$gone" --device "$E9" --format ihex program "$tmp/junk.s19"

# --- 8. convert writes what the input filled -------------------------------------------------
# A two-record file stays two records (with the header and end records of the format); a range
# of no cell of the device is refused, not written as an end record alone.
printf '%s\n%s\n%s\n' "$ok1" "$ok2" "$end" > "$tmp/two-lines.s19"
expect 0 "" "$cli" -q convert "$tmp/two-lines.s19" "$tmp/two-lines.hex"
[ "$(wc -l < "$tmp/two-lines.hex")" -eq 3 ] || { cat "$tmp/two-lines.hex"; fail "convert filled the holes"; }
srec_cat "$tmp/two-lines.s19" -motorola -o "$tmp/theirs.hex" -intel -obs=16 2>/dev/null
cmp -s <(srec_cat "$tmp/two-lines.hex" -intel -o - -binary 2>/dev/null | od -An -tx1) \
  <(srec_cat "$tmp/theirs.hex" -intel -o - -binary 2>/dev/null | od -An -tx1) \
  || fail "convert's Intel HEX holds other bytes than srec_cat's"
expect 2 "Reading file : $tmp/two-lines.s19
EEPROM 0xB600-0xB7FF: sum 0xEED8, CRC-32 0xBD35DCC0
Read file complete
error: Nothing to write to $tmp/none.s19: 0x8000-0x80FF holds no cell of $E9 (--save-unimplemented writes the range whole)." \
  "$cli" --device "$E9" --save-lowest 0x8000 --save-highest 0x80FF convert "$tmp/two-lines.s19" "$tmp/none.s19"
[ ! -e "$tmp/none.s19" ] || fail "an output of nothing was written"

echo "cli damaged files and options: ok"
