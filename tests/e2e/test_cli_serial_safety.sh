#!/usr/bin/env bash
# Serial numbers are never used twice, whatever happens to a production run: a second bench
# reaching the serial file through a symbolic or a hard link, a kill -9 between a device's
# verify and the serial file's replacement, a report that another process holds locked (one
# Ctrl+C ends the wait), a full disk under the serial file.
source "$(dirname "$0")/production_preamble.sh"

head -c 512 /dev/urandom > "$tmp/ee.bin"
"$cli" --quiet convert --format bin --offset 0xB600 --lowest 0 --highest 0x1FF "$tmp/ee.bin" \
  "$tmp/ee.s19" --save-lowest 0xB600 --save-highest 0xB7FF < /dev/null || fail "convert"
serial=(--erase program --serial 0xB600,2,1000 --repeat)
iso='[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z'
report_lines() { sed -E "s/^$iso,/TIME,/; s/,0x[0-9A-F]{8},$/,CRC,/" "$tmp/r.csv"; }

# --- Two benches at once on one serial file, by three names ----------------------------------
# The first run holds the file while it waits at the question; a run through a symbolic link
# and one through a hard link are refused before their port is opened.
start_sim
mkdir "$tmp/bench"
echo "next=1000" > "$tmp/state"
ln -s "$tmp/state" "$tmp/bench/symbolic.state"
ln "$tmp/state" "$tmp/bench/hard.state"
rm -f "$tmp/in"; mkfifo "$tmp/in"
"$cli" --port "$tmp/pty" --device "$E9" "${serial[@]}" --serial-file "$tmp/state" \
  "$tmp/ee.s19" < "$tmp/in" > /dev/null 2> "$tmp/err" &
clipid=$!
exec 3> "$tmp/in"
for _ in $(seq 100); do grep -qF "Insert the next device" "$tmp/err" && break; sleep 0.1; done
expect_log "Device 1 passed, serial number 1000."
for name in symbolic hard; do
  "$cli" --port "$tmp/no-such-port" --device "$E9" "${serial[@]}" \
    --serial-file "$tmp/bench/$name.state" "$tmp/ee.s19" < /dev/null > /dev/null 2> "$tmp/err2"
  rc=$?
  expect_rc 2 "a second run through the $name link"
  grep -qF "error: Another run is using the serial number file $tmp/bench/$name.state now" \
    "$tmp/err2" || fail "second run through the $name link: $(cat "$tmp/err2")"
done
echo q >&3
exec 3>&-
wait "$clipid"; rc=$?; clipid=""
expect_rc 0 "the first run"
# The next run through either link goes on after the first run's number.
rm -f "$tmp/in"; : > "$tmp/in"
run "${serial[@]}" --serial-file "$tmp/bench/hard.state" "$tmp/ee.s19"
expect_rc 0 "a run through the hard link afterwards"
expect_log "Device 1 passed, serial number 1001."
[ "$(cat "$tmp/bench/symbolic.state")" = "next=1002" ] || fail "the links no longer share the file"

# --- kill -9 between the verify and the serial file's replacement ----------------------------
# strace holds every rename back; the run is killed once its device has been verified, while
# the file's replacement waits. The device holds 1002 and the report has no line for it.
rm -f "$tmp/state" "$tmp/bench/"*
echo "next=1002" > "$tmp/state"
strace -f -qq -o /dev/null -e trace=rename,renameat,renameat2 \
  -e inject=rename,renameat,renameat2:delay_enter=1500000 \
  "$cli" --port "$tmp/pty" --device "$E9" "${serial[@]}" --serial-file "$tmp/state" \
  --report "$tmp/r.csv" "$tmp/ee.s19" < "$tmp/in" > /dev/null 2> "$tmp/err" &
clipid=$!
for _ in $(seq 300); do grep -qF "Program Sequence completed successful" "$tmp/err" && break; sleep 0.05; done
expect_log "Program Sequence completed successful"
kill -KILL $(cat "/proc/$clipid/task/$clipid/children")   # the program, not strace
wait "$clipid" 2> /dev/null; clipid=""
grep -qF "Device 1 passed" "$tmp/err" && fail "the kill came after the serial file was replaced"
[ "$(device_bytes 0xB600 0xB601)" = "03ea" ] || fail "the killed run's device does not hold 1002"
compgen -G "$tmp/state.tmp~*" > /dev/null || fail "the killed run left no temporary file"
# The next run: 1002 is not used again, its device gets a report line "unknown", and the
# killed run's temporary file goes.
printf 'q\n' > "$tmp/in"
run "${serial[@]}" --serial-file "$tmp/state" --report "$tmp/r.csv" "$tmp/ee.s19"
expect_rc 0 "the run after the kill"
expect_log "Serial number 1002 was being programmed when an earlier run ended: its device's result is not known, and the number is not used again."
expect_log "Removed 1 temporary file of $tmp/state that an ended run left."
expect_log "Device 1 passed, serial number 1003."
[ "$(device_bytes 0xB600 0xB601)" = "03eb" ] || fail "the device after the kill does not hold 1003"
[ "$(cat "$tmp/state")" = "next=1004" ] || fail "state after the kill: $(cat "$tmp/state")"
compgen -G "$tmp/state.tmp~*" > /dev/null && fail "a temporary file is left: $(ls "$tmp")"
diff <(report_lines) - <<EOF || fail "report after the kill: $(cat "$tmp/r.csv")"
time,device,serial,result,eeprom_crc32,error
TIME,$E9,1002,unknown,,The run ended while this device was programmed; its result is not known.
TIME,$E9,1003,passed,CRC,
EOF

# --- A report that another process holds locked: the run says so and waits; one Ctrl+C ends
# the wait and the run, before the port is opened.
(exec 8< "$tmp/r.csv"; flock 8; exec sleep 60) &
holder=$!
trap 'kill "$holder" 2> /dev/null; cleanup' EXIT
for _ in $(seq 50); do flock -n "$tmp/r.csv" true || break; sleep 0.1; done
"$cli" --port "$tmp/no-such-port" --device "$E9" "${serial[@]}" --serial-file "$tmp/state" \
  --report "$tmp/r.csv" "$tmp/ee.s19" < /dev/null > /dev/null 2> "$tmp/err" &
clipid=$!
for _ in $(seq 100); do grep -qF "Waiting for" "$tmp/err" && break; sleep 0.05; done
expect_log "Waiting for $tmp/r.csv, held by another run ..."
kill -INT "$clipid"
wait "$clipid"; rc=$?; clipid=""
kill "$holder"
wait "$holder" 2> /dev/null
expect_rc 1 "one Ctrl+C while waiting for the report"
expect_log "error: Interrupted."
grep -qF "Programmer" "$tmp/err" && fail "the port was tried after the wait was ended"
[ "$(cat "$tmp/state")" = "next=1004" ] || fail "state after the ended wait: $(cat "$tmp/state")"

# --- Files a root run made stop no later run of another user ---------------------------------
# The lock is the file itself, opened for reading only: root's serial file and report, made
# writable for everyone, serve a run of nobody's (which fails only for want of a port, exit
# code 3, after both files were taken and the serial file written).
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
if [ "$(id -u)" -eq 0 ] && "${as_nobody[@]}" "$cli" --version > /dev/null 2>&1; then
  shared=$(mktemp -d /tmp/jqz-shared.XXXXXX)
  chmod 0777 "$shared"
  cp "$tmp/ee.s19" "$shared/"
  run --erase program --serial 0xB600,2,1000 --serial-file "$shared/state" \
    --report "$shared/r.csv" "$shared/ee.s19"
  expect_rc 0 "a run of root's in a shared folder"
  chmod 0666 "$shared/state" "$shared/r.csv"
  "${as_nobody[@]}" "$cli" --port /nonexistent/port --device "$E9" --erase program \
    --serial 0xB600,2,1000 --serial-file "$shared/state" --report "$shared/r.csv" \
    "$shared/ee.s19" < /dev/null > /dev/null 2> "$tmp/err"
  rc=$?
  rm -rf "$shared"
  expect_rc 3 "a run of nobody's after root's"
  expect_log "Next serial number 1001 from $shared/state"
else
  echo "not root, or no other user to run as: files of root's are not tried"
fi

# --- A full disk under the serial file is found before the port is opened --------------------
# A small file system of its own in a private mount namespace (root only).
if unshare -m true 2> /dev/null; then
  mkdir "$tmp/small"
  unshare -m bash -c '
    mount -t tmpfs -o size=64k tmpfs "$1" || exit 9
    echo "next=1004" > "$1/state"
    dd if=/dev/zero of="$1/fill" bs=4k 2> /dev/null
    "$2" --port "$3" --device "$4" --erase program --serial 0xB600,2,1000 \
      --serial-file "$1/state" "$5" < /dev/null > /dev/null 2> "$6"
    echo $? > "$7"
    cat "$1/state" > "$8"
    ls "$1" > "$9"' - "$tmp/small" "$cli" "$tmp/no-such-port" "$E9" "$tmp/ee.s19" \
    "$tmp/err" "$tmp/rc" "$tmp/state-after" "$tmp/listing"
  rc=$(cat "$tmp/rc")
  expect_rc 2 "a serial file on a full disk"
  expect_log "error: Cannot write $tmp/small/state: No space left on device (it keeps the next serial number)"
  grep -qF "Programmer" "$tmp/err" && fail "the port was tried on a full disk"
  [ "$(cat "$tmp/state-after")" = "next=1004" ] || fail "the serial file on a full disk changed"
  [ "$(cat "$tmp/listing")" = "$(printf 'fill\nstate')" ] || fail "left on the full disk: $(cat "$tmp/listing")"
else
  echo "no private mount namespace here (not root): the full disk is not tried"
fi

echo "serial numbers under kills, links, locks and a full disk: ok"
