#!/usr/bin/env bash
# jqz6811-cli against jqz6811-sim on a pseudo-terminal when the world around it is hostile:
# signals during a run, closed standard descriptors, an output pipe closed half-way, a cable
# pulled during detection, a stop followed at once by the next command.
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
E9="MC68HC11  E9 (E28B)"
E20="MC68HC711 E20(1H19S)"

source "$(dirname "$0")/lib_sim.sh"
sim_options=(--wire-log "$tmp/wire")
run() { "$cli" --port "$pty" "$@" > "$tmp/out" 2> "$tmp/err"; rc=$?; }
expect_rc() { [ "$rc" -eq "$1" ] || fail "$2: exit code $rc, expected $1"; }
expect_log() { grep -qF -- "$1" "$tmp/err" || fail "missing log line: $1"; }
# The bytes the PC sent, one a line.
sent() { grep -a '^>' "$tmp/wire" | cut -d' ' -f2; }
# Whether the terminal's exclusive-use flag is set (TIOCGEXCL).
exclusive() {
  perl -e 'open(my $f, "+<", $ARGV[0]) or die "$ARGV[0]: $!"; my $v = pack("i", 0);
           ioctl($f, 0x80045440, $v) or die "TIOCGEXCL: $!"; print unpack("i", $v) ? 1 : 0' "$1"
}
# Starts a slow read in the background (pid in $clipid) and waits until it runs.
start_slow_read() {
  "$cli" --port "$pty" --baud 9600 --device "$E20" read "$tmp/slow.jef" > /dev/null 2> "$tmp/err" &
  clipid=$!
  for _ in $(seq 100); do grep -q "Read Sequence in Progress" "$tmp/err" && break; sleep 0.1; done
  grep -q "Read Sequence in Progress" "$tmp/err" || fail "the slow read did not start"
  sleep 0.3
}

head -c 512 /dev/urandom > "$tmp/ee.bin"
"$cli" --quiet convert --format bin --offset 0xB600 --lowest 0 --highest 0x1FF "$tmp/ee.bin" \
  "$tmp/ee.s19" --save-lowest 0xB600 --save-highest 0xB7FF || fail "convert"

# --- Closed standard descriptors: nothing the program writes reaches the programmer ---------
start_sim
run --device "$E9" --eeprom read "$tmp/ref.s19"
expect_rc 0 "reference read"
sent > "$tmp/ref.sent"
for closed in 0 1 2; do
  start_sim
  case $closed in
    0) "$cli" --port "$pty" --device "$E9" --eeprom read "$tmp/c$closed.s19" <&- 2> "$tmp/err"; rc=$? ;;
    1) "$cli" --port "$pty" --device "$E9" --eeprom read "$tmp/c$closed.s19" >&- 2> "$tmp/err"; rc=$? ;;
    2) "$cli" --port "$pty" --device "$E9" --eeprom read "$tmp/c$closed.s19" 2>&-; rc=$? ;;
  esac
  expect_rc 0 "read with descriptor $closed closed"
  sent | cmp -s - "$tmp/ref.sent" || fail "descriptor $closed closed: other bytes went to the programmer"
  cmp -s "$tmp/c$closed.s19" "$tmp/ref.s19" || fail "descriptor $closed closed: the file differs"
done

# --- An output pipe closed half-way: the sequence ends, then exit code 1 -----------------
start_sim --timing
"$cli" --port "$pty" --device "$E9" --erase program "$tmp/ee.s19" 2>&1 | head -1 > /dev/null
rc=${PIPESTATUS[0]}
expect_rc 1 "program with its log pipe closed after one line"
run --device "$E9" --eeprom read "$tmp/back.bin" --save-lowest 0xB600 --save-highest 0xB7FF
expect_rc 0 "read back after the closed pipe"
cmp -s "$tmp/back.bin" "$tmp/ee.bin" || fail "the EEPROM does not hold the whole file after the closed pipe"
# Standard output on a pipe nobody reads any more.
start_sim
{ sleep 0.2; "$cli" --port "$pty" detect 2> "$tmp/err"; } | :
rc=${PIPESTATUS[0]}
expect_rc 1 "detect with its output pipe closed"
expect_log "error: Cannot write the standard output: Broken pipe"

# --- Signals: a first one stops as Ctrl+C does, a second one ends at once; every way out ----
# --- leaves the port's settings as they were found and its exclusive use let go. -----------
while read -r sig code; do
  start_sim --timing
  before=$(stty -g -F "$pty") || fail "stty"
  start_slow_read
  kill -"$sig" "$clipid"
  wait "$clipid"; rc=$?
  expect_rc 1 "one SIG$sig"
  expect_log "Read Sequence Interrupted."
  [ "$(stty -g -F "$pty")" = "$before" ] || fail "SIG$sig: the port's settings were not put back"
  [ "$(exclusive "$pty")" = 0 ] || fail "SIG$sig: the port is left for exclusive use"

  start_slow_read
  kill -"$sig" "$clipid"
  sleep 0.05
  kill -"$sig" "$clipid"
  wait "$clipid"; rc=$?
  expect_rc "$code" "a second SIG$sig"
  expect_log "Stopped again: exiting at once."
  [ "$(stty -g -F "$pty")" = "$before" ] || fail "a second SIG$sig: the port's settings were not put back"
  [ "$(exclusive "$pty")" = 0 ] || fail "a second SIG$sig: the port is left for exclusive use"
done <<'SIGNALS'
INT 130
TERM 143
HUP 129
SIGNALS

# --- A stopped command leaves a silent line: the next detection finds the programmer -------
for cut in 0.3 0.7 1.1; do
  start_sim --timing
  "$cli" --port "$pty" --device "$E9" --erase program "$tmp/ee.s19" > /dev/null 2> "$tmp/err" &
  clipid=$!
  for _ in $(seq 100); do grep -q "Program Sequence in Progress" "$tmp/err" && break; sleep 0.1; done
  sleep "$cut"
  kill -INT "$clipid"
  wait "$clipid"
  run detect
  expect_rc 0 "detect right after a stop ($cut s in)"
  [ "$(cat "$tmp/out")" = "MC68HC(7)11 Programmer VER-1.1 detected !" ] \
    || fail "detect right after a stop ($cut s in) printed: $(cat -v "$tmp/out")"
done

# --- A cable pulled during detection is named as such ------------------------------------
while IFS='|' read -r bytes baud line; do
  start_sim --dsr-drop-after "$bytes"
  run --baud "$baud" detect
  expect_rc 3 "cable pulled after $bytes bytes"
  expect_log "error: $line"
  expect_log "error: The programmer was lost: its cable is out or it has no power."
done <<'PULLED'
1|9600|Receiver TimeOut Error.
2|9600|Receiver TimeOut Error.
5|19200|Error setup Baud Rate
PULLED

# --- A firmware update that fails by itself ends with its failure, not "Interrupted." ------
start_sim --service --firmware-version VER-1.0 --drop D5:5:0
run update-firmware
expect_rc 1 "firmware update without an answer"
expect_log "error: Receiver TimeOut Error."
grep -qF "Firmware Update Interrupted." "$tmp/err" && fail "a failed update said it was interrupted"
[ "$(tail -1 "$tmp/err")" = "error: Receiver TimeOut Error." ] || fail "the update did not end with its failure"

echo "cli under signals, closed descriptors and pipes: ok"
