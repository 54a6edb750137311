#!/usr/bin/env bash
# The window program started with files, as the desktop starts it for a double-click on one:
# the first loads at start as Load loads it (the log says so, the recent list keeps the whole
# name), a second is refused with a log line; a file that cannot be loaded gives the load's
# error and exit code 1 with --print-log. Argument 1: the build folder.
set -uo pipefail
build=$(cd "$1" && pwd)
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME"
printf 'COMM_PORT=Virtual Programmer\r\n' > "$XDG_CONFIG_HOME/jqz6811.ini"
printf 'S106B6000102033D\r\nS9030000FC\r\n' > "first file.s19"

"$build/jqz6811" --print-log "first file.s19" second.s19 > out 2> err
rc=$?
[ "$rc" -eq 0 ] || { cat out err; fail "exit code $rc"; }
grep -qxF "Reading file : $work/first file.s19" out || { cat out; fail "the first file was not loaded"; }
grep -qxF "Read file complete" out || { cat out; fail "the load did not complete"; }
grep -qxF "One file at a time: not loaded second.s19" out || { cat out; fail "the second file was not refused"; }
grep -qxF "LOF0=$work/first file.s19"$'\r' "$XDG_CONFIG_HOME/jqz6811.ini" \
  || { cat "$XDG_CONFIG_HOME/jqz6811.ini"; fail "the recent list lacks the file"; }

"$build/jqz6811" --print-log missing.s19 > out 2> err
rc=$?
[ "$rc" -eq 1 ] || { cat out err; fail "a missing file: exit code $rc, not 1"; }
grep -qF "$work/missing.s19" out || { cat out; fail "the log does not name the missing file"; }
echo "files named on the command line: ok"
