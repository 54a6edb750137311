#!/usr/bin/env bash
# Two jqz6811-cli runs at once against jqz6811-sim on pseudo-terminals: on the same port (the
# second is refused plainly and the first goes on undisturbed, whichever reaches the port
# first), into the same output file (one whole file, never a mix, no temporary file left) and
# into the same production report (one header, whole lines). strace holds one run back where
# the other must overtake it.
set -uo pipefail
build=$1
cli="$build/src/cli/jqz6811-cli"
sim="$build/src/sim/jqz6811-sim"
tmp=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null; rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for f in "$tmp"/err*; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done; exit 1; }
export XDG_CONFIG_HOME="$tmp/config"   # no settings file: the port comes from --port
E9="MC68HC11  E9 (E28B)"
in_use="is in use by another program"

# Starts a simulator on $tmp/NAME with the given options.
start_sim() {
  local name=$1; shift
  rm -f "$tmp/$name"
  "$sim" --link "$tmp/$name" "$@" > "$tmp/$name.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -e "$tmp/$name" ] && break; sleep 0.1; done
  [ -e "$tmp/$name" ] || fail "simulator $name did not start"
}
# Waits for the background run with this pid; its exit code in $rc.
finish() { wait "$1"; rc=$?; }
expect_rc() { [ "$rc" -eq "$1" ] || fail "$2: exit code $rc, expected $1"; }

head -c 512 /dev/urandom > "$tmp/ee.bin"
"$cli" --quiet convert --format bin --offset 0xB600 --lowest 0 --highest 0x1FF "$tmp/ee.bin" \
  "$tmp/ee.s19" --save-lowest 0xB600 --save-highest 0xB7FF || fail "convert"

# --- The same port: a second run is refused while the first programs -----------------------
start_sim pty --timing
"$cli" --port "$tmp/pty" --device "$E9" --erase program "$tmp/ee.s19" > /dev/null 2> "$tmp/err1" &
first=$!
for _ in $(seq 100); do grep -qF "Program Sequence in Progress" "$tmp/err1" && break; sleep 0.05; done
grep -qF "Program Sequence in Progress" "$tmp/err1" || fail "the first run did not start"
second_run() {  # a name for the messages, then the command's words
  local what=$1; shift
  "$cli" --port "$tmp/pty" "$@" > /dev/null 2> "$tmp/err2" < /dev/null
  rc=$?
  expect_rc 3 "a second run ($what) on the port in use"
  grep -qF "error: Error opening port: $tmp/pty" "$tmp/err2" || fail "second run ($what): no plain refusal"
  grep -qF "The port $tmp/pty $in_use" "$tmp/err2" || fail "second run ($what): no advice"
}
second_run detect detect
second_run read --device "$E9" read "$tmp/second.s19"
second_run program --device "$E9" --erase program "$tmp/ee.s19"
[ -e "$tmp/second.s19" ] && fail "a refused read wrote its file"
finish "$first"
expect_rc 0 "the first run, next to refused ones"
grep -qF "Program Sequence completed successful" "$tmp/err1" || fail "the first run did not complete"
"$cli" --port "$tmp/pty" --device "$E9" verify "$tmp/ee.s19" > /dev/null 2> "$tmp/err1"
rc=$?
expect_rc 0 "the device holds the first run's file"

# --- The same port, both at once: the run held back between opening the port and locking it
# finds it taken by the one that overtook it, and only it is refused.
"$cli" --port "$tmp/pty" --device "$E9" --erase program "$tmp/ee.s19" > /dev/null 2> "$tmp/err1" &
overtaking=$!
strace -f -qq -o /dev/null -e trace=flock -e inject=flock:delay_enter=1000000 \
  "$cli" --port "$tmp/pty" detect > /dev/null 2> "$tmp/err2" < /dev/null &
held=$!
# The held run opened the port before the other locked it (or after: either way it is refused).
finish "$held"
expect_rc 3 "the run that reached the lock second"
grep -qF "The port $tmp/pty $in_use" "$tmp/err2" || fail "the held run: no plain refusal"
finish "$overtaking"
expect_rc 0 "the run that locked the port first"
grep -qF "Program Sequence completed successful" "$tmp/err1" || fail "the overtaking run did not complete"

# --- The same output file: two reads at once, the first one's replacement held back ---------
start_sim pty2
"$cli" --port "$tmp/pty" --device "$E9" --eeprom read "$tmp/eeprom.s19" < /dev/null 2> "$tmp/err1" \
  || fail "read EEPROM alone"
"$cli" --port "$tmp/pty2" --device "$E9" --bootrom read "$tmp/bootrom.s19" < /dev/null 2> "$tmp/err2" \
  || fail "read BOOT ROM alone"
cmp -s "$tmp/eeprom.s19" "$tmp/bootrom.s19" && fail "the two reads must differ"
mkdir "$tmp/shared"
strace -f -qq -o /dev/null -e trace=rename,renameat,renameat2 \
  -e inject=rename,renameat,renameat2:delay_enter=1500000 \
  "$cli" --port "$tmp/pty" --device "$E9" --eeprom read "$tmp/shared/out.s19" < /dev/null 2> "$tmp/err1" &
held=$!
held_temp() { compgen -G "$tmp/shared/*tmp~*" > /dev/null; }
for _ in $(seq 100); do held_temp && break; sleep 0.05; done
held_temp || fail "the held read made no temporary file"
"$cli" --port "$tmp/pty2" --device "$E9" --bootrom read "$tmp/shared/out.s19" < /dev/null 2> "$tmp/err2"
rc=$?
expect_rc 0 "the read that overtook"
cmp -s "$tmp/shared/out.s19" "$tmp/bootrom.s19" || fail "the overtaking read's file is not whole"
finish "$held"
expect_rc 0 "the held read"
# The later replacement wins, whole.
cmp -s "$tmp/shared/out.s19" "$tmp/eeprom.s19" || fail "the output is not the held read's whole file"
[ "$(ls -A "$tmp/shared")" = "out.s19" ] || fail "left in the folder: $(ls -A "$tmp/shared")"

# --- The same report: two production runs at once, the first one's header held back --------
strace -f -qq -o /dev/null -P "$tmp/r.csv" -e trace=write -e inject=write:delay_enter=1000000 \
  "$cli" --port "$tmp/pty" --device "$E9" --erase program --serial 0xB600,2,1000 \
  --serial-file "$tmp/state1" --report "$tmp/r.csv" "$tmp/ee.s19" < /dev/null > /dev/null 2> "$tmp/err1" &
held=$!
for _ in $(seq 100); do [ -e "$tmp/r.csv" ] && break; sleep 0.02; done
"$cli" --port "$tmp/pty2" --device "$E9" --erase program --serial 0xB600,2,2000 \
  --serial-file "$tmp/state2" --report "$tmp/r.csv" "$tmp/ee.s19" < /dev/null > /dev/null 2> "$tmp/err2" &
second=$!
finish "$second"
expect_rc 0 "the second production run"
finish "$held"
expect_rc 0 "the held production run"
iso='[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z'
diff <(sed -E "s/^$iso,/TIME,/; s/,0x[0-9A-F]{8},$/,CRC,/" "$tmp/r.csv" | LC_ALL=C sort) - <<EOF || fail "report of two runs at once: $(cat "$tmp/r.csv")"
TIME,$E9,1000,passed,CRC,
TIME,$E9,2000,passed,CRC,
time,device,serial,result,eeprom_crc32,error
EOF
[ "$(head -n 1 "$tmp/r.csv")" = "time,device,serial,result,eeprom_crc32,error" ] \
  || fail "the header is not the report's first line"

echo "concurrent runs: ok"
