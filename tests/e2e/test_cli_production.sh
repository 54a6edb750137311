#!/usr/bin/env bash
# Production runs of jqz6811-cli against jqz6811-sim on a pseudo-terminal: serial numbers in
# each device's EEPROM and the file that keeps the next one, one device after another driven
# through standard input, Ctrl+C between and during devices, and the CSV report.
set -uo pipefail
build=$1
cli="$build/src/cli/jqz6811-cli"
sim="$build/src/sim/jqz6811-sim"
tmp=$(mktemp -d)
simpid=""
clipid=""
cleanup() {
  [ -n "$clipid" ] && kill "$clipid" 2>/dev/null
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null
  wait 2>/dev/null; rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$tmp/err" ] && cat "$tmp/err"; exit 1; }
export XDG_CONFIG_HOME="$tmp/config"   # no settings file: the port comes from --port
E9="MC68HC11  E9 (E28B)"

source "$(dirname "$0")/lib_sim.sh"
# Runs the cli with standard input from $tmp/in; exit code in $rc, standard error in $tmp/err.
run() { "$cli" --port "$tmp/pty" --device "$E9" "$@" < "$tmp/in" > "$tmp/out" 2> "$tmp/err"; rc=$?; }
expect_rc() { [ "$rc" -eq "$1" ] || fail "$2: exit code $rc, expected $1"; }
expect_log() { grep -qF -- "$1" "$tmp/err" || fail "missing log line: $1"; }
# The device's EEPROM bytes FROM..TO as hexadecimal text, e.g. "03e9".
device_bytes() {
  "$cli" --port "$tmp/pty" --device "$E9" --eeprom read "$tmp/back.bin" \
    --save-lowest "$1" --save-highest "$2" 2> "$tmp/err" < /dev/null || fail "read back $1-$2"
  od -An -tx1 -v "$tmp/back.bin" | tr -d ' \n'
}
# A file's CRC-32 as the report writes it, taken from the trailer of its gzip stream (zlib's
# CRC-32, least significant byte first).
crc_of() {
  gzip -c < "$1" | tail -c 8 | od -An -N4 -tx1 | tr a-f A-F |
    while read -r b0 b1 b2 b3; do echo "0x$b3$b2$b1$b0"; done
}
# The same for the EEPROM image ee.bin with HEX (bytes as text) at its start.
image_crc() {
  { printf "$(echo "$1" | sed 's/../\\x&/g')"; tail -c +$(( ${#1} / 2 + 1 )) "$tmp/ee.bin"; } > "$tmp/expect.bin"
  crc_of "$tmp/expect.bin"
}

head -c 512 /dev/urandom > "$tmp/ee.bin"
"$cli" --quiet convert --format bin --offset 0xB600 --lowest 0 --highest 0x1FF "$tmp/ee.bin" \
  "$tmp/ee.s19" --save-lowest 0xB600 --save-highest 0xB7FF < /dev/null || fail "convert"
: > "$tmp/in"

# Refused before the port is opened (the port named does not exist: opening it would end with
# exit code 3, no programmer).
mkdir "$tmp/folder"
echo "not a file" > "$tmp/plain"
echo "next=abc" > "$tmp/bad-state"
echo "next=70000" > "$tmp/big-state"
while IFS='|' read -r args message; do
  # shellcheck disable=SC2086
  "$cli" --port "$tmp/no-such-port" --device "$E9" --erase program $args "$tmp/ee.s19" \
    < /dev/null > /dev/null 2> "$tmp/err"
  rc=$?
  expect_rc 2 "$args"
  expect_log "$message"
  grep -qF "Programmer" "$tmp/err" && fail "$args: the port was tried"
  [ -e "$tmp/state" ] && fail "$args: a state file was written"
done <<EOF
--serial 0xB7FF,2,1|--serial: 0xB7FF-0xB800 is not inside the EEPROM of $E9 (0xB600-0xB7FF)
--serial 0xB5FF,1,1|--serial: 0xB5FF-0xB5FF is not inside the EEPROM of $E9 (0xB600-0xB7FF)
--serial 0xB600,1,256|--serial: the next serial number 256 does not fit in 1 byte (be: at most 255)
--serial 0xB600,2,10000,bcd|--serial: the next serial number 10000 does not fit in 2 bytes (bcd: at most 9999)
--serial 0xB600,3,1000,ascii|--serial: the next serial number 1000 does not fit in 3 bytes (ascii: at most 999)
--serial 0xB600,2,1,0|--serial: a STEP of 0 would give every device the same number
--serial 0xB600,2|--serial takes ADDR,BYTES,START[,STEP][,FORMAT], not "0xB600,2"
--serial 0xB600,2,1,le,2|FORMAT is be, le, bcd or ascii and comes last
--serial 0xB600,9,1|--serial: be numbers take 1 to 8 bytes, not 9
--serial 0xB600,2,1 --no-verify|cannot go with --no-program or --no-verify
--serial-file $tmp/state|--serial-file needs --serial
--serial 0xB600,2,1 --serial-file $tmp/plain/state|Cannot write $tmp/plain/state
--serial 0xB600,2,1 --serial-file $tmp/folder|$tmp/folder
--serial 0xB600,2,1 --serial-file $tmp/bad-state|$tmp/bad-state holds no serial number (a line next=N is expected)
--serial 0xB600,2,1 --serial-file $tmp/big-state|the next serial number 70000 does not fit in 2 bytes (be: at most 65535)
--report $tmp/folder|Cannot write the report $tmp/folder: It is a directory, not a plain file.
--report $tmp/plain/r.csv|Cannot write the report $tmp/plain/r.csv
EOF

# A series through standard input: the second device fails (a reply of its verify is
# corrupted), its number goes to the third, and q ends the series.
start_sim --corrupt 11:6:5
printf '\n\nq\n' > "$tmp/in"
run --erase program --serial 0xB600,2,1000 --serial-file "$tmp/state" --report "$tmp/r.csv" \
  --repeat "$tmp/ee.s19"
expect_rc 1 "a series with a failed device"
[ "$(grep -cF "Insert the next device and press Enter (q and Enter to stop)." "$tmp/err")" -eq 3 ] \
  || fail "the question is asked after every device"
expect_log "Device 1 passed, serial number 1000."
expect_log "error: PC too Programmer Communication Error."
expect_log "error: Device 2 failed; serial number 1001 is not used up and goes to the next device."
expect_log "Device 3 passed, serial number 1001."
expect_log "Series ended: 3 devices, 2 passed, 1 failed. Serial numbers used: 2 (1000 to 1001); next: 1002."
[ "$(cat "$tmp/state")" = "next=1002" ] || fail "state after the series: $(cat "$tmp/state")"
[ "$(device_bytes 0xB600 0xB601)" = "03e9" ] || fail "the last device does not hold 1001"
crc1000=$(image_crc 03e8)
crc1001=$(image_crc 03e9)
iso='[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z'
last_report_line() { tail -n 1 "$tmp/r.csv" | sed -E "s/^$iso,/TIME,/"; }
diff <(sed -E "s/^$iso,/TIME,/" "$tmp/r.csv") - <<EOF || fail "report after the series"
time,device,serial,result,eeprom_crc32,error
TIME,$E9,1000,passed,$crc1000,
TIME,$E9,1001,failed,,PC too Programmer Communication Error.
TIME,$E9,1001,passed,$crc1001,
EOF

# A new run starts where the state file says, whatever START is; the report gains lines and
# no second header.
start_sim
: > "$tmp/in"
run --erase program --serial 0xB600,2,1000 --serial-file "$tmp/state" --report "$tmp/r.csv" \
  "$tmp/ee.s19"
expect_rc 0 "a single device after a restart"
expect_log "Next serial number 1002 from $tmp/state"
[ "$(device_bytes 0xB600 0xB601)" = "03ea" ] || fail "the device after the restart does not hold 1002"
[ "$(cat "$tmp/state")" = "next=1003" ] || fail "state after the restart: $(cat "$tmp/state")"
[ "$(grep -c '^time,' "$tmp/r.csv")" -eq 1 ] || fail "the header was written again"
[ "$(last_report_line)" = "TIME,$E9,1002,passed,$(image_crc 03ea)," ] \
  || fail "report line after the restart: $(last_report_line)"

# The cable pulled in the middle of a device: its number is not used up, and the next run
# (the series ended by end of input) gives it to the next device.
start_sim --dsr-drop-after 400
run --erase program --serial 0xB600,2,1000 --serial-file "$tmp/state" --report "$tmp/r.csv" \
  --repeat "$tmp/ee.s19"
[ "$rc" -ne 0 ] || fail "a device on a pulled cable passed"
[ "$(cat "$tmp/state")" = "next=1003" ] || fail "state after a pulled cable: $(cat "$tmp/state")"
expect_log "Series ended: 1 device, 0 passed, 1 failed. Serial numbers used: none; next: 1003."
case "$(last_report_line)" in
  "TIME,$E9,1003,failed,,"?*) ;;
  *) fail "report line of the pulled cable: $(last_report_line)" ;;
esac
start_sim
run --erase program --serial 0xB600,2,1000 --serial-file "$tmp/state" "$tmp/ee.s19"
expect_rc 0 "the device after the pulled cable"
[ "$(device_bytes 0xB600 0xB601)" = "03eb" ] || fail "the device after the pulled cable does not hold 1003"

# The formats, each read back from the device; STEP counts from the number the file keeps.
while IFS='|' read -r serial from to bytes; do
  rm -f "$tmp/fmt-state"
  for expected in $bytes; do
    run --erase program --serial "$serial" --serial-file "$tmp/fmt-state" "$tmp/ee.s19"
    expect_rc 0 "program with --serial $serial"
    [ "$(device_bytes "$from" "$to")" = "$expected" ] \
      || fail "--serial $serial: the device holds $(device_bytes "$from" "$to"), expected $expected"
  done
done <<'EOF'
0xB7FE,2,0xBEEF|0xB7FE|0xB7FF|beef bef0
0xB7F0,4,0x12345678,0x10,le|0xB7F0|0xB7F3|78563412 88563412
0xB7F0,4,12345678,BCD|0xB7F0|0xB7F3|12345678 12345679
0xB700,6,1234,5,ascii|0xB700|0xB705|303031323334 303031323339
$B600,1,254,be|0xB600|0xB600|fe ff
EOF
# 255 was the last number a byte holds: the state file says so, and the next run refuses.
run --erase program --serial '$B600,1,254,be' --serial-file "$tmp/fmt-state" "$tmp/ee.s19"
expect_rc 2 "a state file past the last number"
expect_log "the next serial number 256 does not fit in 1 byte"

# Ctrl+C at the question ends the series cleanly: every device passed, so exit code 0.
start_sim
rm -f "$tmp/in"; mkfifo "$tmp/in"
"$cli" --port "$tmp/pty" --device "$E9" --erase program --serial 0xB600,2,1000 \
  --serial-file "$tmp/state" --report "$tmp/r.csv" --repeat "$tmp/ee.s19" \
  < "$tmp/in" > /dev/null 2> "$tmp/err" &
clipid=$!
exec 3> "$tmp/in"   # open, but nothing is ever typed
for _ in $(seq 100); do grep -qF "Insert the next device" "$tmp/err" && break; sleep 0.1; done
expect_log "Device 1 passed, serial number 1004."
# Meanwhile a second run with the same serial file is refused before its port is opened.
"$cli" --port "$tmp/no-such-port" --device "$E9" --erase program --serial 0xB600,2,1000 \
  --serial-file "$tmp/state" "$tmp/ee.s19" < /dev/null > /dev/null 2> "$tmp/err2"
rc=$?
expect_rc 2 "a second run on the same serial file"
grep -qF "error: Another run is using the serial number file $tmp/state now" "$tmp/err2" \
  || fail "second run: $(cat "$tmp/err2")"
kill -INT "$clipid"
wait "$clipid"; rc=$?; clipid=""
exec 3>&-
expect_rc 0 "Ctrl+C at the question"
expect_log "Series ended: 1 device, 1 passed, 0 failed. Serial numbers used: 1 (1004); next: 1005."
[ "$(cat "$tmp/state")" = "next=1005" ] || fail "state after Ctrl+C at the question"

# Ctrl+C during a device stops it as always; the series ends, its number is not used up.
start_sim --timing
rm -f "$tmp/in"; printf '\n\n' > "$tmp/in"
"$cli" --port "$tmp/pty" --device "$E9" --erase program --serial 0xB600,2,1000 \
  --serial-file "$tmp/state" --report "$tmp/r.csv" --repeat "$tmp/ee.s19" \
  < "$tmp/in" > /dev/null 2> "$tmp/err" &
clipid=$!
for _ in $(seq 100); do grep -qF "In-Circuit Programming Interface." "$tmp/err" && break; sleep 0.1; done
sleep 0.5
kill -INT "$clipid"
wait "$clipid"; rc=$?; clipid=""
expect_rc 1 "Ctrl+C during a device"
expect_log "Program Sequence Interrupted."
expect_log "error: Device 1 interrupted; serial number 1005 is not used up and goes to the next device."
expect_log "Series ended: 1 device, 0 passed, 1 failed. Serial numbers used: none; next: 1005."
grep -qF "Insert the next device" "$tmp/err" && fail "the series went on after Ctrl+C"
[ "$(cat "$tmp/state")" = "next=1005" ] || fail "state after Ctrl+C during a device"
[ "$(last_report_line)" = "TIME,$E9,1005,interrupted,,Program Sequence Interrupted." ] \
  || fail "report line of the interrupted device: $(last_report_line)"

# Ctrl+C while the number of a passed device is being kept (the state file's replacement held
# back): the number is kept all the same, and the series ends without asking for the next one.
start_sim
printf '\n\n' > "$tmp/in"
strace -f -qq -o /dev/null -e trace=rename,renameat,renameat2 \
  -e inject=rename,renameat,renameat2:delay_enter=1500000 \
  "$cli" --port "$tmp/pty" --device "$E9" --erase program --serial 0xB600,2,1000 \
  --serial-file "$tmp/state" --repeat "$tmp/ee.s19" < "$tmp/in" > /dev/null 2> "$tmp/err" &
clipid=$!
for _ in $(seq 100); do grep -qF "Program Sequence completed successful" "$tmp/err" && break; sleep 0.05; done
SECONDS=0
kill -INT $(cat "/proc/$clipid/task/$clipid/children")   # the program, not strace
wait "$clipid"; rc=$?; clipid=""
[ "$SECONDS" -ge 1 ] || fail "the state file's replacement was not held back"
expect_rc 0 "Ctrl+C while the number is kept"
expect_log "Device 1 passed, serial number 1005."
expect_log "Series ended: 1 device, 1 passed, 0 failed. Serial numbers used: 1 (1005); next: 1006."
grep -qF "Insert the next device" "$tmp/err" && fail "the series asked for the next device after Ctrl+C"
[ "$(cat "$tmp/state")" = "next=1006" ] || fail "state after Ctrl+C while it was kept: $(cat "$tmp/state")"

# The last number a field holds ends the series; it is no failure.
printf '\n\n\n' > "$tmp/in"
run --erase program --serial 0xB600,1,254 --repeat "$tmp/ee.s19"
expect_rc 0 "a series to the last number"
expect_log "The serial numbers are used up: the next one does not fit in 1 byte."
expect_log "Series ended: 2 devices, 2 passed, 0 failed. Serial numbers used: 2 (254 to 255)."

# The serial file cannot be replaced after a device passed (a folder took its place): the
# series stops at once with exit code 1, and a later run refuses the file rather than give
# the number out again.
rm -f "$tmp/in"; mkfifo "$tmp/in"
"$cli" --port "$tmp/pty" --device "$E9" --erase program --serial 0xB600,2,1000 \
  --serial-file "$tmp/state" --repeat "$tmp/ee.s19" < "$tmp/in" > /dev/null 2> "$tmp/err" &
clipid=$!
exec 3> "$tmp/in"
for _ in $(seq 100); do grep -qF "Insert the next device" "$tmp/err" && break; sleep 0.1; done
expect_log "Device 1 passed, serial number 1006."
rm "$tmp/state"; mkdir "$tmp/state"
printf '\n\n' >&3
wait "$clipid"; rc=$?; clipid=""
exec 3>&-
expect_rc 1 "a serial file that cannot be replaced"
expect_log "Serial number 1007 is used, but the file that keeps the next one could not be written: the series stops."
expect_log "Series ended: 2 devices, 2 passed, 0 failed. Serial numbers used: 2 (1006 to 1007); next: 1008."
"$cli" --port "$tmp/pty" --device "$E9" --erase program --serial 0xB600,2,1000 \
  --serial-file "$tmp/state" "$tmp/ee.s19" < /dev/null > /dev/null 2> "$tmp/err"
rc=$?
expect_rc 2 "a serial file that is a folder"
rmdir "$tmp/state"
rm -f "$tmp/in"

# With --json the question is an object of its own, and --quiet does not hide it.
printf 'q\n' > "$tmp/in"
run --json --quiet --erase program --repeat "$tmp/ee.s19"
expect_rc 0 "a JSON series"
expect_log '{"kind":"prompt","text":"Insert the next device and press Enter (q and Enter to stop)."}'

# Without a serial number: a report of a plain series, ended by the end of the input.
start_sim
printf '\n' > "$tmp/in"
run --erase program --report "$tmp/plain.csv" --repeat "$tmp/ee.s19"
expect_rc 0 "a series without serial numbers"
expect_log "Series ended: 2 devices, 2 passed, 0 failed."
diff <(sed -E "s/^$iso,/TIME,/" "$tmp/plain.csv") - <<EOF || fail "report without serial numbers"
time,device,serial,result,eeprom_crc32,error
TIME,$E9,,passed,$(crc_of "$tmp/ee.bin"),
TIME,$E9,,passed,$(crc_of "$tmp/ee.bin"),
EOF

echo "production runs against the simulator: ok"
