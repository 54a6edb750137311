#!/usr/bin/env bash
# jqz6811-cli.exe under Wine against jqz6811-sim (Linux) on a pseudo-terminal that the Wine
# prefix sees as a COM port: detect, erase + program + verify, verify, read of an E9. The bytes
# on the wire must be the same as those of the Linux jqz6811-cli doing the same.
#   wine_cli_programmer.sh <Linux build folder> <Windows build folder>
set -uo pipefail
host=$1
win=$2
here=$(cd "$(dirname "$0")" && pwd)
wine_run="$here/../../scripts/wine-run.sh"
prefix="$win/wineprefix"
sim="$host/src/sim/jqz6811-sim"
cli="$host/src/cli/jqz6811-cli"
exe="$win/src/cli/jqz6811-cli.exe"
port=COM9
tmp=$(mktemp -d)
simpid=""
cleanup() {
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null
  wait 2>/dev/null
  rm -f "$prefix/dosdevices/${port,,}"
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$tmp/err" ] && cat "$tmp/err"; exit 1; }
for f in "$sim" "$cli" "$exe"; do [ -x "$f" ] || [ -f "$f" ] || fail "missing $f"; done
export XDG_CONFIG_HOME="$tmp/config" # no settings file: the port comes from --port
E9="MC68HC11  E9 (E28B)"

# The simulator on a new pseudo-terminal, writing its wire log to $1.
start_sim() {
  [ -n "$simpid" ] && { kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null; }
  rm -f "$tmp/pty"
  "$sim" --link "$tmp/pty" --wire-log "$1" > "$tmp/sim.out" 2>&1 &
  simpid=$!
  for _ in $(seq 50); do [ -e "$tmp/pty" ] && break; sleep 0.1; done
  [ -e "$tmp/pty" ] || fail "simulator did not start"
}
stop_sim() { kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null; simpid=""; }

run_linux() { "$cli" "$@"; }
run_wine() { "$wine_run" "$prefix" "$exe" "$@"; }

# The same four runs with a given program; the programs' own output goes to $tmp/<tag>.*.
session() { # tag runner port-name
  local tag=$1 runner=$2 name=$3 rc
  start_sim "$tmp/$tag.wire"
  [ "$tag" = wine ] && ln -sfn "$(readlink -f "$tmp/pty")" "$prefix/dosdevices/${port,,}"
  for step in "detect" "--device|$E9|--erase|program|ee.s19" "--device|$E9|verify|ee.s19" \
              "--device|$E9|--eeprom|read|back.bin|--save-lowest|0xB600|--save-highest|0xB7FF"; do
    IFS='|' read -r -a args <<< "$step"
    (cd "$tmp/$tag" && "$runner" --port "$name" "${args[@]}") > "$tmp/out" 2> "$tmp/err"
    rc=$?
    [ "$rc" -eq 0 ] || fail "$tag: ${args[*]}: exit code $rc"
    cat "$tmp/err" >> "$tmp/$tag.log"
  done
  stop_sim
}

# An EEPROM image of 512 bytes at 0xB600, the same for both runs.
mkdir -p "$tmp/linux" "$tmp/wine"
head -c 512 /dev/urandom > "$tmp/ee.bin"
"$cli" --quiet convert --format bin --offset 0xB600 --lowest 0 --highest 0x1FF "$tmp/ee.bin" \
  "$tmp/linux/ee.s19" --save-lowest 0xB600 --save-highest 0xB7FF || fail "convert"
cp "$tmp/linux/ee.s19" "$tmp/wine/ee.s19"

session linux run_linux "$tmp/pty"
"$wine_run" "$prefix" cmd /c exit 0 > /dev/null 2>&1 || fail "no Wine prefix"
session wine run_wine "$port"

cmp "$tmp/wine/back.bin" "$tmp/ee.bin" || fail "the EEPROM read back under Wine differs"
grep -qF "Program Sequence completed successful" "$tmp/wine.log" || fail "no program sequence"
[ -s "$tmp/linux.wire" ] || fail "no wire log"
diff "$tmp/linux.wire" "$tmp/wine.wire" > "$tmp/wire.diff" \
  || { head -20 "$tmp/wire.diff"; fail "the bytes on the wire differ from the Linux run"; }
# What a Windows user meets beside the sequences, each against a fresh simulator (options in
# $simopts) whose wire log tells whether the device was touched.
simopts=()
wine_case() { # wire-log args... ; exit code in $rc, output in $tmp/err
  [ -n "$simpid" ] && stop_sim
  rm -f "$tmp/pty"
  "$sim" "${simopts[@]}" --link "$tmp/pty" --wire-log "$1" > "$tmp/sim.out" 2>&1 &
  simpid=$!
  shift
  for _ in $(seq 50); do [ -e "$tmp/pty" ] && break; sleep 0.1; done
  ln -sfn "$(readlink -f "$tmp/pty")" "$prefix/dosdevices/${port,,}"
  (cd "$tmp/wine" && run_wine "$@") > "$tmp/out" 2> "$tmp/err"
  rc=$?
  stop_sim
}
expect() { # exit-code line description
  [ "$rc" -eq "$1" ] || fail "$3: exit code $rc, not $1"
  grep -qF -- "$2" "$tmp/err" || fail "$3: no line \"$2\""
}

# A read-only file (under Wine: the file without write bits) is refused, as an output that
# cannot be written (exit 1), before the port is opened, and stays as it was; so is a folder.
printf 'old' > "$tmp/wine/ro.s19"
chmod 444 "$tmp/wine/ro.s19"
wine_case "$tmp/ro.wire" --port "$port" --device "$E9" read ro.s19
expect 1 "error: Cannot write ro.s19: Permission denied" "read into a read-only file"
[ "$(cat "$tmp/wine/ro.s19")" = old ] || fail "the read-only file was changed"
[ "$(stat -c %a "$tmp/wine/ro.s19")" = 444 ] || fail "the read-only file lost its attribute"
[ ! -s "$tmp/ro.wire" ] || fail "the device was read before the read-only file was refused"
mkdir "$tmp/wine/folder.s19"
wine_case "$tmp/ro.wire" --port "$port" --device "$E9" read folder.s19
expect 1 "error: Cannot write folder.s19: It is a directory, not a plain file." "read into a folder"
[ ! -s "$tmp/ro.wire" ] || fail "the device was read before the folder was refused"

# COM names in any case; names that open but are no serial port.
lower=${port,,}
for name in "$lower" "${port:0:1}${lower:1}" "${lower:0:1}${port:1}"; do  # com9 Com9 cOM9
  wine_case "$tmp/case.wire" --port "$name" detect
  expect 0 "MC68HC(7)11 Programmer VER-1.1 detected !" "port $name"
done
printf 'x' > "$tmp/wine/plain.txt"
for name in NUL nul plain.txt; do
  wine_case "$tmp/none.wire" --port "$name" detect
  expect 3 "The port $name is not a serial port." "port $name"
done

# The programmer lost in the middle of a read (the pseudo-terminal's far end closes): the
# pending read fails, then the next write, and the run ends as on Linux.
simopts=(--dsr-drop-after 40)
wine_case "$tmp/lost.wire" --port "$port" --device "$E9" --eeprom read lost.jef
expect 1 "error: The programmer was lost: its cable is out or it has no power." "lost programmer"
[ ! -e "$tmp/wine/lost.jef" ] || fail "a read that lost the programmer must not write its file"
simopts=()

# Ctrl+C (Wine turns SIGINT into the console's Ctrl+C event): a first one stops a slow read as
# on Linux, a second one exits at once; either way the port gets back the speed it had before.
for presses in 1 2; do
  [ -n "$simpid" ] && stop_sim
  rm -f "$tmp/pty"
  "$sim" --timing --link "$tmp/pty" --wire-log "$tmp/ctrlc.wire" > "$tmp/sim.out" 2>&1 &
  simpid=$!
  for _ in $(seq 50); do [ -e "$tmp/pty" ] && break; sleep 0.1; done
  ln -sfn "$(readlink -f "$tmp/pty")" "$prefix/dosdevices/${port,,}"
  stty -F "$tmp/pty" 4800 > /dev/null || fail "stty"
  (cd "$tmp/wine" && exec "$wine_run" "$prefix" "$exe" --port "$port" --baud 9600 \
    --device "MC68HC711 E20(1H19S)" read slow.jef) > "$tmp/out" 2> "$tmp/err" &
  clipid=$!
  for _ in $(seq 150); do grep -q "Read Sequence in Progress" "$tmp/err" && break; sleep 0.1; done
  grep -q "Read Sequence in Progress" "$tmp/err" || fail "the slow read did not start"
  sleep 0.3
  kill -INT "$clipid"
  if [ "$presses" -eq 2 ]; then sleep 0.05; kill -INT "$clipid"; fi
  wait "$clipid"; rc=$?
  if [ "$presses" -eq 1 ]; then
    expect 1 "Read Sequence Interrupted." "one Ctrl+C"
  else
    expect 130 "Stopped again: exiting at once." "a second Ctrl+C"
  fi
  [ "$(stty -F "$tmp/pty" speed)" = 4800 ] || fail "$presses Ctrl+C: the port's speed was not put back"
  [ ! -e "$tmp/wine/slow.jef" ] || fail "$presses Ctrl+C: a stopped read wrote its file"
  stop_sim
done

# Names longer than MAX_PATH, and names with characters outside ASCII: the file is written,
# and the log line naming it is UTF-8 when it goes to a file or pipe.
long="$tmp/wine"
for i in 1 2 3 4 5; do long="$long/$(printf 'f%.0s' $(seq 60))$i"; done
mkdir -p "$long"
long_win="Z:$(tr / '\\' <<< "$long")\\données 程序.bin"
[ "${#long_win}" -gt 300 ] || fail "the long name is not long"
wine_case "$tmp/long.wire" --port "$port" --device "$E9" --eeprom read "$long_win" \
  --save-lowest 0xB600 --save-highest 0xB7FF
expect 0 "Writing file : $long_win" "read into a long name"
[ -f "$long/données 程序.bin" ] || fail "no file under the long name"
[ "$(stat -c %s "$long/données 程序.bin")" = 512 ] || fail "the file under the long name is not the EEPROM"

# On a console (here a pseudo-terminal that Wine makes the program's console) the log is
# written as characters: the name shows as it is, not as its UTF-8 bytes in the console's
# code page.
cp "$tmp/wine/ee.s19" "$tmp/wine/données 程序.s19"
(cd "$tmp/wine" && script -qec "'$wine_run' '$prefix' '$exe' convert 'données 程序.s19' back.s19" \
  /dev/null < /dev/null) > "$tmp/console" 2>&1
sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$tmp/console" | grep -qF "Reading file : données 程序.s19" \
  || { cat -v "$tmp/console" | head -5; fail "the console does not show the name"; }

echo "jqz6811-cli.exe under Wine on $port: ok ($(wc -l < "$tmp/wine.wire") bytes on the wire, as on Linux)"
