#!/usr/bin/env bash
# The window program (offscreen) against jqz6811-sim on a pseudo-terminal, started as a
# launcher may start it (standard output and error closed) and ended by a signal: it closes
# as at any close, without a question, and ends with 128 plus the signal's number; under a
# file-size limit its saves fail instead of the program being killed.
set -uo pipefail
build=$(cd "$1" && pwd)
sim="$build/src/sim/jqz6811-sim"
tmp=$(mktemp -d)
simpid=""
winpid=""
cleanup() {
  [ -n "$winpid" ] && kill -KILL "$winpid" 2>/dev/null
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
[ -x "$build/jqz6811" ] || fail "no window program in $build"
# Its own copy: the log file goes beside the program in a folder that is not installed.
mkdir -p "$tmp/bin" "$tmp/config"
cp "$build/jqz6811" "$tmp/bin/"
export XDG_CONFIG_HOME="$tmp/config" QT_QPA_PLATFORM=offscreen
settings="$tmp/config/jqz6811.ini"
logfile="$tmp/bin/6811prog.log"

start_sim() {
  [ -n "$simpid" ] && { kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null; }
  rm -f "$tmp/pty" "$tmp/wire"
  "$sim" --link "$tmp/pty" --wire-log "$tmp/wire" > "$tmp/sim.out" 2>&1 &
  simpid=$!
  for _ in $(seq 50); do [ -e "$tmp/pty" ] && break; sleep 0.1; done
  [ -e "$tmp/pty" ] || fail "simulator did not start"
  pty=$(readlink -f "$tmp/pty")
}
# Whether the terminal's exclusive-use flag is set (TIOCGEXCL).
exclusive() {
  perl -e 'open(my $f, "+<", $ARGV[0]) or die "$ARGV[0]: $!"; my $v = pack("i", 0);
           ioctl($f, 0x80045440, $v) or die "TIOCGEXCL: $!"; print unpack("i", $v) ? 1 : 0' "$1"
}
# Starts the window program with its standard output and error closed (pid in $winpid) under
# a file-size limit of $1 KiB, and waits until it has found the programmer and moved the
# line to 57600 baud.
start_window() {
  (ulimit -f "$1"; exec "$tmp/bin/jqz6811" >&- 2>&-) &
  winpid=$!
  for _ in $(seq 100); do grep -qx '> 06 57600' "$tmp/wire" && break; sleep 0.1; done
  grep -qx '> 06 57600' "$tmp/wire" || fail "the window program did not find the programmer"
  sleep 0.3
}
stop_window() {
  kill -"$1" "$winpid"
  wait "$winpid"; rc=$?
  winpid=""
}

while read -r sig code; do
  start_sim
  printf 'COMM_PORT=%s\r\nCOMM_SPEED=57600\r\n' "$pty" > "$settings"
  rm -f "$logfile"
  before=$(stty -g -F "$pty") || fail "stty"
  start_window unlimited
  # Standard output and error are /dev/null, never a file or port the program opened.
  for fd in 1 2; do
    [ "$(readlink "/proc/$winpid/fd/$fd")" = /dev/null ] \
      || fail "descriptor $fd of the window program is $(readlink "/proc/$winpid/fd/$fd")"
  done
  stop_window "$sig"
  [ "$rc" -eq "$code" ] || fail "SIG$sig: exit code $rc, expected $code"
  [ "$(stty -g -F "$pty")" = "$before" ] || fail "SIG$sig: the port's settings were not put back"
  [ "$(exclusive "$pty")" = 0 ] || fail "SIG$sig: the port is left for exclusive use"
  # Closed as at any close: the target powered off (PowerOff, 09), the settings written.
  sed -n '/^> 06 57600$/,$p' "$tmp/wire" | grep -qx '> 09 57600' || fail "SIG$sig: no power-off at the close"
  grep -q $'^P_WIN_POS_LEFT=[0-9]*\r$' "$settings" || fail "SIG$sig: the settings file was not written"
  grep -vq $'^[A-Z0-9_]*=[^\r]*\r$' "$settings" && { cat -A "$settings"; fail "SIG$sig: the settings file holds other lines"; }
  # The log file: its header and the program's own lines, nothing else.
  diff <(tail -n +2 "$logfile") - <<EOF || fail "SIG$sig: the log file"
MC68HC(7)11 Programmer VER-1.1 detected !$(printf '\r')
SIG$sig received: the program closes.$(printf '\r')
EOF
  head -n 1 "$logfile" | grep -q '^Stored: ' || fail "SIG$sig: the log file has no header"
done <<'SIGNALS'
TERM 143
HUP 129
INT 130
SIGNALS

# --- Under a file-size limit of nothing: the saves fail, the old settings stay whole, no ---
# --- temporary file is left and the program ends as the signal asks, not killed. ------------
start_sim
printf 'COMM_PORT=%s\r\nCOMM_SPEED=57600\r\n' "$pty" > "$settings"
cp "$settings" "$tmp/settings.keep"
rm -f "$logfile"
start_window 0
stop_window TERM
[ "$rc" -eq 143 ] || fail "SIGTERM under a file-size limit: exit code $rc, expected 143"
cmp -s "$settings" "$tmp/settings.keep" || fail "the settings file changed under a file-size limit"
[ ! -e "$logfile" ] || fail "a log file was written under a file-size limit of nothing"
leftovers=$(ls -a "$tmp/config" "$tmp/bin" | grep -c 'tmp~')
[ "$leftovers" -eq 0 ] || fail "a temporary file was left behind"

echo "window program under signals and limits: ok"
