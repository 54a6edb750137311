#!/usr/bin/env bash
# jqz6811-cli against jqz6811-sim on a pseudo-terminal: program, verify, read, firmware
# update, the simulator's scripted faults, and Ctrl+C.
set -uo pipefail
build=$1
cli="$build/src/cli/jqz6811-cli"
sim="$build/src/sim/jqz6811-sim"
tmp=$(mktemp -d)
simpid=""
cleanup() { [ -n "$simpid" ] && kill "$simpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$tmp/err" ] && cat "$tmp/err"; exit 1; }
export XDG_CONFIG_HOME="$tmp/config"   # no settings file: the port comes from --port
E9="MC68HC11  E9 (E28B)"

# Starts a simulator with the given options; its terminal's path is in $pty.
source "$(dirname "$0")/lib_sim.sh"
# Runs the cli; its exit code is in $rc, standard error in $tmp/err, standard output in $tmp/out.
run() { "$cli" --port "$pty" "$@" > "$tmp/out" 2> "$tmp/err"; rc=$?; }
expect_rc() { [ "$rc" -eq "$1" ] || fail "$2: exit code $rc, expected $1"; }
source "$(dirname "$0")/expect.sh"
expect_log() { grep -qF -- "$1" "$tmp/err" || fail "missing log line: $1"; }

# An EEPROM image: 512 bytes at 0xB600 made by the converter from binary.
head -c 512 /dev/urandom > "$tmp/ee.bin"
"$cli" --quiet convert --format bin --offset 0xB600 --lowest 0 --highest 0x1FF "$tmp/ee.bin" \
  "$tmp/ee.s19" --save-lowest 0xB600 --save-highest 0xB7FF || fail "convert"

start_sim
run detect
expect_rc 0 detect
grep -qF "MC68HC(7)11 Programmer VER-1.1 detected !" "$tmp/out" || fail "detect prints the identification"

run --device "$E9" --erase program "$tmp/ee.s19"
expect_rc 0 program
expect_log "Program Sequence completed successful"

run --device "$E9" verify "$tmp/ee.s19"
expect_rc 0 verify

# Verifying alone (--no-program) compares the device with the file, not with a blank image.
run --device "$E9" --no-program program "$tmp/ee.s19"
expect_rc 0 "verify only, device holds the file"
grep -qF "Verify Error" "$tmp/err" && fail "verify only reported errors for matching data"
: > "$tmp/empty.s19"
run --device "$E9" --no-program program "$tmp/empty.s19"
expect_rc 2 "verify only with an empty file"
run --device "$E9" --no-program program "$tmp/missing.s19"
expect_rc 2 "verify only with a missing file"

# The file is read once: one replaced while the command runs (its second opening, if any, held
# back past the swap) still programs the bytes that were judged.
head -c 512 /dev/urandom > "$tmp/other.bin"
"$cli" --quiet convert --format bin --offset 0xB600 --lowest 0 --highest 0x1FF "$tmp/other.bin" \
  "$tmp/other.s19" --save-lowest 0xB600 --save-highest 0xB7FF || fail "convert"
cp "$tmp/ee.s19" "$tmp/swap.s19"
( sleep 0.5; mv "$tmp/other.s19" "$tmp/swap.s19" ) &
mover=$!
strace -f -qq -o /dev/null -P "$tmp/swap.s19" -e trace=openat,open \
  -e inject=openat:delay_enter=1500000:when=2 \
  "$cli" --port "$pty" --device "$E9" --erase program "$tmp/swap.s19" > "$tmp/out" 2> "$tmp/err"
rc=$?; wait "$mover"
expect_rc 0 "program of a file replaced meanwhile"
run --device "$E9" --eeprom read "$tmp/swapped.bin" --save-lowest 0xB600 --save-highest 0xB7FF
expect_rc 0 "read after the replaced file"
cmp -s "$tmp/swapped.bin" "$tmp/ee.bin" || fail "the device holds other bytes than the file judged"

run --device "$E9" --eeprom read "$tmp/back.bin" --save-lowest 0xB600 --save-highest 0xB7FF
expect_rc 0 read
cmp "$tmp/back.bin" "$tmp/ee.bin" || fail "the EEPROM read back differs from what was programmed"

# On a terminal the progress bar runs on one line and is blanked with spaces before the next
# log line: no escape sequence, which a console that takes none would print as it is.
script -qec "$(printf '%q ' "$cli" --port "$pty" --device "$E9" --eeprom read "$tmp/tty.bin" \
  --save-lowest 0xB600 --save-highest 0xB7FF)" /dev/null < /dev/null > "$tmp/tty.out" 2>&1 \
  || { cat "$tmp/tty.out"; fail "read on a terminal"; }
grep -qF "] 100%" "$tmp/tty.out" || { cat -A "$tmp/tty.out"; fail "no progress bar on a terminal"; }
! grep -q $'\e' "$tmp/tty.out" || { cat -A "$tmp/tty.out"; fail "an escape sequence on the terminal"; }
grep -qF "Read Sequence completed successful" "$tmp/tty.out" || { cat -A "$tmp/tty.out"; fail "read on a terminal: no end line"; }

# A file that differs: verify fails with exit code 1 and names the first address.
printf '\x00' | dd of="$tmp/ee.bin" bs=1 seek=5 conv=notrunc status=none
"$cli" --quiet convert --format bin --offset 0xB600 --lowest 0 --highest 0x1FF "$tmp/ee.bin" \
  "$tmp/ee2.s19" --save-lowest 0xB600 --save-highest 0xB7FF
run --device "$E9" verify "$tmp/ee2.s19"
if cmp -s <(head -c 6 "$tmp/ee.bin" | tail -c 1) <(head -c 6 "$tmp/back.bin" | tail -c 1); then
  expect_rc 0 "verify of an unchanged byte"
else
  expect_rc 1 "verify with a differing byte"
  expect_log "Verify Error at Address : 0x0B605"
fi

# JSON: one object per line and the result.
run --json --device "$E9" --eeprom read "$tmp/j.jef"
expect_rc 0 "json read"
grep -q '^{"kind":"info","text":"Read Sequence completed successful."}$' "$tmp/err" || fail "json log line"
tail -1 "$tmp/err" | grep -q '"result":"ok","exit":0' || fail "json result"

# Faults the simulator scripts: a status code, a pin-tester report.
start_sim --status 7=7 --status 8=7 --status 9=7 --status 10=7
run --device "$E9" --eeprom read "$tmp/x.jef"
expect_rc 1 "status code"
grep -q "^error: " "$tmp/err" || fail "errors are marked"
[ ! -e "$tmp/x.jef" ] || fail "a failed read must not write its file"

# The simulator's other scripted faults, each ending the read with its error line. The
# erased EEPROM's blocks are alike, so a block that lost its check byte (11:2:128) would
# pass against the check byte the block before left in the buffer.
while IFS='|' read -r opts line; do
  # shellcheck disable=SC2086
  start_sim $opts
  run --device "$E9" --eeprom read "$tmp/x.jef"
  expect_rc 1 "fault $opts"
  expect_log "$line"
  [ ! -e "$tmp/x.jef" ] || fail "a failed read must not write its file ($opts)"
done <<'FAULTS'
--corrupt 06:3:0|error: MC68HC(7)11 Programmer not found.
--drop 06:3:0|error: Receiver TimeOut Error.
--truncate 06:3:5|error: Receiver TimeOut Error.
--dsr-drop-after 40|error: Receiver TimeOut Error.
--dsr-drop-after 40|error: The programmer was lost: its cable is out or it has no power.
--drop 11:2:128|error: Receiver TimeOut Error.
--corrupt 11:4:127|error: PC too Programmer Communication Error.
--interface obp --secured --still-secured|error: Error: Device Still Secured
--service|error: Programmer must be in WORK mode.
FAULTS

# A byte from the PC that the programmer receives corrupted (here inside the first block
# written) fails the run; nothing is reported as written.
start_sim --corrupt-received 150
run --device "$E9" program "$tmp/ee.s19"
expect_rc 1 "a corrupted byte from the PC"
expect_log "error: PC too Programmer Communication Error"
grep -q "Program Sequence completed" "$tmp/err" && fail "a run with a corrupted byte from the PC completed"

# A device ID is reported; a wrong firmware acknowledgement is answered by sending the block again.
start_sim --device-id 1234
run --device "$E9" --eeprom read "$tmp/id.jef"
expect_rc 0 "device id"
expect_log 'Device ID:$12 $34'
start_sim --service --wrong-ack 3:1
run update-firmware
expect_rc 0 "firmware update with a resent block"

start_sim --pin-report 01,00
run --device "$E9" verify "$tmp/ee.s19"
expect_rc 1 "pin tester"

# An old firmware is refused; in Service mode the update loads and the programmer is current.
start_sim --firmware-version VER-1.0
run --device "$E9" --eeprom read "$tmp/x.jef"
expect_rc 1 "old firmware"
expect_log "Wrong Firmware Version. Please Update Firmware to current software version"
start_sim --firmware-version VER-1.0 --service
run update-firmware
expect_rc 0 "firmware update"
expect_log "Firmware Update complete."
run detect
grep -qF "VER-1.1" "$tmp/out" || fail "after the update the programmer reports VER-1.1"

# No programmer: exit code 3.
"$cli" --port "$tmp/no-such-port" detect > /dev/null 2> "$tmp/err"; rc=$?
expect_rc 3 "no programmer"

# Ctrl+C during a slow read stops it like the start button: interrupted, port free again.
start_sim --timing
interrupt_after "Read Sequence in Progress" "$cli" --port "$pty" --baud 9600 \
  --device "MC68HC711 E20(1H19S)" read "$tmp/slow.jef"
expect_rc 1 "interrupted read"
expect_log "Read Sequence Interrupted."
run detect
expect_rc 0 "the port is free after Ctrl+C"

# The programmer stops answering in the middle of a read (a block that never comes; its
# time-out is 30 s): Ctrl+C ends the wait at once, and a second Ctrl+C during the stop ends
# the program at once.
start_sim --truncate 11:2:0
"$cli" --port "$pty" --device "$E9" --eeprom read "$tmp/hang.jef" > /dev/null 2> "$tmp/err" &
clipid=$!
for _ in $(seq 100); do grep -q "Read Sequence in Progress" "$tmp/err" && break; sleep 0.1; done
sleep 0.5
SECONDS=0
kill -INT "$clipid"
wait "$clipid"; rc=$?
expect_rc 1 "a read stopped while it waits"
[ "$SECONDS" -le 3 ] || fail "Ctrl+C took $SECONDS s to end the wait"
expect_log "Read Sequence Interrupted."
[ ! -e "$tmp/hang.jef" ] || fail "a stopped read must not write its file"

start_sim --truncate 11:2:0
"$cli" --port "$pty" --device "$E9" --eeprom read "$tmp/hang.jef" > /dev/null 2> "$tmp/err" &
clipid=$!
for _ in $(seq 100); do grep -q "Read Sequence in Progress" "$tmp/err" && break; sleep 0.1; done
sleep 0.5
kill -INT "$clipid"
sleep 0.05
kill -INT "$clipid"
wait "$clipid"; rc=$?
expect_rc 130 "a second Ctrl+C"
expect_log "Stopped again: exiting at once."

echo "cli against the simulator: ok"
