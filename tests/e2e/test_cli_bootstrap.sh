#!/usr/bin/env bash
# jqz6811-cli over the bootstrap cable against jqz6811-sim --hc11 E9 on a pseudo-terminal, in
# real time at 7812 baud: program (the smart write), a production run, verify, read, checksum,
# the secured part's refusal, the programmer's own commands refused, a wrong crystal, a pulled
# cable, Ctrl+C during a write, the cable's options and its device list.
set -uo pipefail
build=$1
cli="$build/src/cli/jqz6811-cli"
sim="$build/src/sim/jqz6811-sim"
tmp=$(mktemp -d)
simpid=""
cleanup() { [ -n "$simpid" ] && kill "$simpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$tmp/err" ] && cat "$tmp/err"; exit 1; }
export XDG_CONFIG_HOME="$tmp/config"
source "$(dirname "$0")/expect.sh"
E9="MC68HC11  E9 (E28B)"

source "$(dirname "$0")/lib_sim.sh"
sim_options=(--hc11 E9)
run() { timeout 60 "$cli" --link bootstrap --port "$tmp/pty" "$@" > "$tmp/out" 2> "$tmp/err"; rc=$?; }
expect_rc() { [ "$rc" -eq "$1" ] || fail "$2: exit code $rc, expected $1"; }
expect_log() { grep -qF -- "$1" "$tmp/err" || fail "missing log line: $1"; }

# The part's EEPROM at power-up, and an image that differs from it in four bytes.
head -c 512 /dev/urandom > "$tmp/base.bin"
cp "$tmp/base.bin" "$tmp/image.bin"
for at in 3 100 257 511; do
  printf '\x5a' | dd of="$tmp/image.bin" bs=1 seek=$at conv=notrunc status=none
done
"$cli" --quiet convert --format bin --offset 0xB600 "$tmp/image.bin" "$tmp/image.s19" \
  --save-lowest 0xB600 --save-highest 0xB7FF || fail "convert"

start_sim --eeprom "$tmp/base.bin"
run --device "$E9" program "$tmp/image.s19"
expect_rc 0 program
expect_log "Bootstrap cable on $tmp/pty, 7812 baud (8 MHz crystal): talker \"JQZ TALK 1.2\" running on the E9"
changed=$(cmp -l "$tmp/base.bin" "$tmp/image.bin" | wc -l)
grep -qE "^512 bytes: $((512 - changed)) already right, .*; verified" "$tmp/err" || fail "the smart write's account"

start_sim --eeprom "$tmp/image.bin"
run --device "$E9" verify "$tmp/image.s19"
expect_rc 0 verify
expect_log "Program Sequence completed successful"
run --device "$E9" verify "$tmp/image.s19"   # each run resets the part anew
expect_rc 0 "verify again"

start_sim --eeprom "$tmp/base.bin"
run --device "$E9" verify "$tmp/image.s19"
expect_rc 1 "verify of a different EEPROM"
expect_log "Verify Error at Address : 0x0B603"

start_sim --eeprom "$tmp/image.bin"
run --device "$E9" --eeprom read "$tmp/read.bin"
expect_rc 0 read
cmp -s <(dd if="$tmp/read.bin" bs=1 skip=$((0xB600)) count=512 status=none) "$tmp/image.bin" \
  || fail "read gives the part's EEPROM"

# A production run over the cable: the serial number goes into the image, the report and the
# serial file follow the verified write.
start_sim --eeprom "$tmp/image.bin"
run --device "$E9" --serial 0xB600,2,1000 --serial-file "$tmp/serial.state" \
  --report "$tmp/report.csv" program "$tmp/image.s19"
expect_rc 0 "program with a serial number"
grep -q "next=1001" "$tmp/serial.state" || fail "the serial file keeps the next number"
grep -q ",$E9,1000,passed," "$tmp/report.csv" || fail "the report's line"
run --device "$E9" --eeprom read "$tmp/serial.bin"
[ "$(od -An -tx1 -j $((0xB600)) -N2 "$tmp/serial.bin" | tr -d ' ')" = "03e8" ] \
  || fail "the part holds serial number 1000"

# CONFIG over the cable: written by its own cycles, in effect (and read back) after the reset
# that the next run's opening makes.
{ grep -v '^S[5-9]' "$tmp/image.s19"; echo S104103F0D9F; grep '^S[5-9]' "$tmp/image.s19"; } > "$tmp/config.s19"
start_sim --eeprom "$tmp/image.bin"
run --device "$E9" --config program "$tmp/config.s19"
expect_rc 0 "program --config"
expect_log "CONFIG 0x0F: NOSEC 1 (not secured), NOCOP 1, ROMON 1, EEON 1 (EEPROM on)"
expect_log "CONFIG 0x0D written; it takes effect, and reads back, at the next reset."
run --device "$E9" verify "$tmp/image.s19"
expect_rc 0 "verify after the CONFIG write"
expect_log "CONFIG 0x0D: NOSEC 1 (not secured), NOCOP 1, ROMON 0, EEON 1 (EEPROM on)"

# checksum over the cable: the part's EEPROM has the figures of the file it was read into.
start_sim --eeprom "$tmp/image.bin"
run --device "$E9" checksum
expect_rc 0 "checksum over the cable"
part_sums=$(sed -n 's/.*: sum/sum/p' "$tmp/out")
"$cli" --device "$E9" checksum "$tmp/image.s19" > "$tmp/file.out" 2>/dev/null || fail "file checksum"
file_sums=$(sed -n 's/.*: sum/sum/p' "$tmp/file.out")
[ -n "$part_sums" ] && [ "$part_sums" = "$file_sums" ] || fail "checksum: part $part_sums, file $file_sums"

# A secured part: refused before anything is sent.
run --device "MC68S711  E9 (5C47M)" verify "$tmp/image.s19"
expect_rc 1 "secured part"
expect_log "is secured: entering bootstrap mode erases its EEPROM and CONFIG. Nothing was sent"

# The programmer's own commands do not apply to the cable.
run detect
expect_rc 2 detect
expect_log "detect is the programmer's own: it does not apply to the bootstrap cable"

# A wrong crystal: the rate is wrong, the boot ROM's echo garbled or missing.
start_sim --eeprom "$tmp/image.bin" --xtal 4
run --device "$E9" verify "$tmp/image.s19"
expect_rc 1 "wrong crystal"
grep -qE "(No echo from the HC11's boot ROM|The boot ROM echoed).*the crystal \(8 MHz given\)" "$tmp/err" \
  || fail "the wrong crystal's message"

# A pulled cable in the middle of a write: the run ends with its message, and nothing is
# reported written.
start_sim
timeout 60 "$cli" --link bootstrap --port "$tmp/pty" --device "$E9" program "$tmp/image.s19" \
  > "$tmp/out" 2> "$tmp/err" &
clipid=$!
sleep 2
kill "$simpid"; wait "$simpid" 2>/dev/null; simpid=""
wait "$clipid"; rc=$?
expect_rc 1 "a pulled cable"
grep -qE "The talker( does not answer|'s answer stopped| received a damaged)" "$tmp/err" || fail "the pulled cable's message"
grep -q "; verified" "$tmp/err" && fail "nothing is reported verified after a pulled cable"

# Ctrl+C in the middle of a write stops the sequence as over the programmer: its interrupted
# line, nothing reported written, the port free for the next run.
start_sim
# (Not through timeout, which would hand the one SIGINT on twice: to the command and to its
# process group.)
interrupt_after "^CONFIG 0x" "$cli" --link bootstrap --port "$tmp/pty" --device "$E9" \
  program "$tmp/image.s19"
expect_rc 1 "Ctrl+C during a write"
expect_log "Program Sequence Interrupted."
grep -q "; verified" "$tmp/err" && fail "nothing is reported verified after Ctrl+C"
run --device "$E9" --eeprom read "$tmp/after.bin"
expect_rc 0 "a read after Ctrl+C"

# Options the cable takes, refused with what they take.
for bad in "--link serial|--link takes programmer or bootstrap" \
           "--xtal fast|--xtal takes the crystal in MHz, from 1 to 16" \
           "--reset cts|--reset takes none, dtr or rts" \
           "--boot-rate 9600|--boot-rate takes fast or 1200"; do
  "$cli" ${bad%%|*} devices > /dev/null 2> "$tmp/err"; rc=$?
  expect_rc 2 "${bad%%|*}"
  expect_log "${bad#*|}"
done

"$cli" --link bootstrap devices > "$tmp/out" || fail "devices"
grep -qF "MC68HC711 K4 (K59D)	The bootstrap cable does not serve the K4 family yet" "$tmp/out" \
  || fail "devices names the rows the cable does not serve"
grep -qF "MC68HC711 E9 (4K81H)	EEPROM and CONFIG: read, program, verify" "$tmp/out" \
  || fail "devices names what the cable does"

# A soak, each run with one scripted fault of the part, the cable or the adapter drawn from a
# seed (an echo lost, a byte of the host's that never arrives, the last echo lost as the rate
# changes, a stuck EEPROM cell, another crystal fitted): a program run that exits 0 left
# exactly the image in the part's EEPROM, one that fails says why, and none hangs.
# JQZ_SOAK_RUNS sets the number of runs (3 by default), JQZ_SOAK_SEED repeats a printed seed.
runs=${JQZ_SOAK_RUNS:-3}
seed=${JQZ_SOAK_SEED:-$(( $(date +%s) % 32768 ))}
RANDOM=$seed
echo "bootstrap cable soak: seed $seed, $runs runs"

# 512 bytes drawn from the seed, as binary.
random_bytes() {
  local i out=""
  for ((i = 0; i < 512; ++i)); do out+=$(printf '\\x%02x' $((RANDOM % 256))); done
  printf "$out"
}

passed=0 failed=0
for ((run = 1; run <= runs; ++run)); do
  random_bytes > "$tmp/base.bin"
  # The image differs from the part in a few cells, so that the smart write stays short.
  cp "$tmp/base.bin" "$tmp/image.bin"
  for ((k = RANDOM % 6 + 1; k > 0; --k)); do
    printf "\\x$(printf %02x $((RANDOM % 256)))" |
      dd of="$tmp/image.bin" bs=1 seek=$((RANDOM % 512)) conv=notrunc status=none
  done
  "$cli" --quiet convert --format bin --offset 0xB600 "$tmp/image.bin" "$tmp/image.s19" \
    --save-lowest 0xB600 --save-highest 0xB7FF < /dev/null || fail "convert"
  case $((RANDOM % 6)) in
    0) fault=() ;;
    1) fault=(--lost-echo $((RANDOM % 520 + 1))) ;;
    2) fault=(--lost-last-echo) ;;
    3) fault=(--dropped-byte $((RANDOM % 1200 + 1))) ;;
    4) fault=(--stuck-cell "$(printf 'B%03X=%02X' $((0x600 + RANDOM % 512)) $((RANDOM % 256)))") ;;
    *) fault=(--fitted-xtal "$(echo 7.3728 7.6 8.4 4 | cut -d' ' -f$((RANDOM % 4 + 1)))") ;;
  esac
  rm -f "$tmp/after.bin"
  start_sim --eeprom "$tmp/base.bin" --eeprom-out "$tmp/after.bin" "${fault[@]}"
  timeout 120 "$cli" --link bootstrap --port "$tmp/pty" --device "$E9" program "$tmp/image.s19" \
    < /dev/null > "$tmp/out" 2> "$tmp/err"
  rc=$?
  kill "$simpid"; wait "$simpid"; simpid=""
  what="run $run (${fault[*]:-no fault})"
  [ "$rc" -ne 124 ] || fail "(JQZ_SOAK_SEED=$seed) $what: no end within 120 s"
  [ -f "$tmp/after.bin" ] || fail "(JQZ_SOAK_SEED=$seed) $what: the simulator wrote no EEPROM"
  if [ "$rc" -eq 0 ]; then
    cmp -s "$tmp/after.bin" "$tmp/image.bin" || fail "(JQZ_SOAK_SEED=$seed) $what: exit code 0, but the part's EEPROM differs from the image"
    passed=$((passed + 1))
  else
    grep -q "^error: " "$tmp/err" || fail "(JQZ_SOAK_SEED=$seed) $what: exit code $rc without an error line"
    failed=$((failed + 1))
  fi
done
echo "bootstrap cable soak: $runs runs: exit code 0 $passed (each with the right bytes), failed with an error $failed; silent corruptions 0, hangs 0"
echo "bootstrap cable: ok"
