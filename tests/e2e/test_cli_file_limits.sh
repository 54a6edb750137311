#!/usr/bin/env bash
# jqz6811-cli at the edges of the file layer, against jqz6811-sim on a pseudo-terminal: files
# without a data record, output names at the length limit, a folder with the sticky bit, and
# an input file cut short while it is read.
set -uo pipefail
build=$(cd "$1" && pwd)
cli="$build/src/cli/jqz6811-cli"
sim="$build/src/sim/jqz6811-sim"
tmp=$(mktemp -d)
chmod 755 "$tmp"
simpid=""
cleanup() { [ -n "$simpid" ] && kill "$simpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
export XDG_CONFIG_HOME="$tmp/config"
E9="MC68HC11  E9 (E28B)"
root=0; [ "$(id -u)" -eq 0 ] && root=1

source "$(dirname "$0")/expect.sh"

source "$(dirname "$0")/lib_sim.sh"
start_sim
gone="$tmp/no-such-port"

# --- Files without a data record: nothing is written, the exit code says so ---------------
while IFS='|' read -r name text; do
  printf "$text" > "$tmp/$name"
  expect 2 "Reading file : $tmp/$name
error: No data found in file : $tmp/$name" "$cli" convert "$tmp/$name" "$tmp/out-$name.bin"
  [ ! -e "$tmp/out-$name.bin" ] || fail "convert of $name wrote a file"
done <<'EOF'
end.s19|S9030000FC
header.s19|S0060000616263D3\r\nS5030001FB\r\nS804000000FB\r\n
end-first.s19|S9030000FC\r\nS1061000010203E3\r\n
end.hex|:00000001FF\r\n
EOF

# --- Output names at the length limit --------------------------------------------------------
head -c 512 /dev/urandom > "$tmp/ee.bin"
"$cli" -q convert --format bin --offset 0xB600 --lowest 0 --highest 0x1FF "$tmp/ee.bin" \
  "$tmp/ee.s19" --save-lowest 0xB600 --save-highest 0xB7FF || fail "convert"
expect 0 "" "$cli" -q --port "$pty" --device "$E9" --erase program "$tmp/ee.s19"
# The longest name the folder takes, new and then replaced, and one byte longer.
long=$(printf 'e%.0s' $(seq 251)).s19
for round in new replaced; do
  expect 0 "" "$cli" -q --port "$pty" --device "$E9" --eeprom read "$tmp/$long" \
    --save-lowest 0xB600 --save-highest 0xB7FF
  cmp -s "$tmp/$long" "$tmp/ee.s19" || fail "the $round file of a 255-byte name does not hold the EEPROM"
done
[ "$(ls "$tmp" | grep -c 'tmp~')" -eq 0 ] || fail "a temporary file was left behind"
# Refused before the device is read (an output that cannot be written: exit 1): the port given
# does not exist.
expect 1 "error: Cannot write $tmp/x$long: File name too long" \
  "$cli" --port "$gone" --device "$E9" --eeprom read "$tmp/x$long"

# --- A folder with the sticky bit: another user's file there is not ours to replace --------
if [ "$root" -eq 1 ]; then
  mkdir "$tmp/sticky"; chmod 1777 "$tmp/sticky"
  echo theirs > "$tmp/sticky/theirs.s19"; chmod 666 "$tmp/sticky/theirs.s19"
  expect 1 "error: Cannot write $tmp/sticky/theirs.s19: Operation not permitted. In this folder only the file's owner may replace it (the folder has the sticky bit)." \
    setpriv --reuid=65534 --regid=65534 --clear-groups -- \
    "$cli" --port "$gone" --device "$E9" --eeprom read "$tmp/sticky/theirs.s19"
  [ "$(cat "$tmp/sticky/theirs.s19")" = theirs ] || fail "another user's file was replaced"
fi

# --- An input file cut short while it is read never crashes the program --------------------
# A few megabytes of S28 records: the EEPROM's records many times over, then the end record.
"$cli" -q convert --format bin --lowest 0 --highest 0xFFFF "$tmp/ee.bin" "$tmp/one.s28" \
  --save-lowest 0 --save-highest 0xFFFF || fail "convert"
grep -v '^S8' "$tmp/one.s28" > "$tmp/body"
for _ in $(seq 25); do cat "$tmp/body"; done > "$tmp/big.s28"
grep '^S8' "$tmp/one.s28" >> "$tmp/big.s28"
size=$(stat -c %s "$tmp/big.s28")
[ "$size" -gt 3000000 ] || fail "the big file has only $size bytes"
# strace holds the program at its closing of the file (the file is read once, whole, and
# judged before it is loaded), and the file is cut to a tenth meanwhile.
strace -f -qq -o /dev/null -P "$tmp/big.s28" -e trace=close \
  -e inject=close:delay_enter=3000000:when=1 \
  "$cli" -q convert "$tmp/big.s28" "$tmp/big.bin" > /dev/null 2> "$tmp/err" &
tracer=$!
# Held: the program's current system call is close (3 on x86-64, 57 on AArch64) of the big
# file, seen twice half a second apart (a close that is not held takes far less).
closing_big() {
  local pid call fd
  for pid in $(pgrep -P "$tracer"); do
    read -r call fd _ < "/proc/$pid/syscall" 2>/dev/null || continue
    case "$(uname -m):$call" in x86_64:3|aarch64:57) ;; *) continue ;; esac
    [ "$(readlink "/proc/$pid/fd/$((fd))" 2>/dev/null)" = "$tmp/big.s28" ] && return 0
  done
  return 1
}
held=0
for _ in $(seq 200); do
  if closing_big; then sleep 0.5; closing_big && { held=1; break; }; fi
  sleep 0.05
done
[ "$held" -eq 1 ] || fail "the program was never held at its closing of the file"
truncate -s $((size / 10)) "$tmp/big.s28"
wait "$tracer"; rc=$?
[ "$rc" -eq 0 ] || { cat "$tmp/err"; fail "convert of a file cut short while read gave exit code $rc"; }
head -c 512 "$tmp/big.bin" | cmp -s - "$tmp/ee.bin" || fail "the converted image is not the file's data"

# --- Files beyond the size limit (ulimit -f, in KiB here): every write says so and leaves ----
# --- what was there whole; no temporary file is left and the process is not killed. --------
# limited KIB COMMAND...: the command under the limit, its standard error through a pipe (not
# a file, which the limit would cut) into $tmp/err, its exit code in $rc.
limited() {
  local kib=$1
  shift
  { (ulimit -f "$kib"; "$@" 2>&1 > /dev/null); echo "rc=$?" > "$tmp/rc"; } | cat > "$tmp/err"
  rc=$(sed 's/^rc=//' "$tmp/rc")
}
no_temporary() { [ "$(ls -a "$1" | grep -c 'tmp~')" -eq 0 ] || fail "$2: a temporary file was left behind"; }
mkdir "$tmp/lim"
head -c 20000 /dev/urandom > "$tmp/lim/20k.bin"
echo "the old contents" > "$tmp/lim/old.s19"
cp "$tmp/lim/old.s19" "$tmp/lim/old.keep"
# convert: an existing file is kept as it was, a new one is not made.
for target in old.s19 new.s19; do
  limited 8 "$cli" convert --format bin "$tmp/lim/20k.bin" "$tmp/lim/$target"
  [ "$rc" -eq 1 ] || fail "convert to $target beyond the size limit: exit code $rc, expected 1"
  grep -qxF "error: Cannot write $tmp/lim/$target: File too large" "$tmp/err" \
    || { cat "$tmp/err"; fail "convert to $target beyond the size limit: no message"; }
  no_temporary "$tmp/lim" "convert to $target"
done
cmp -s "$tmp/lim/old.s19" "$tmp/lim/old.keep" || fail "a file too large for the limit changed the old one"
[ ! -e "$tmp/lim/new.s19" ] || fail "a file too large for the limit was made"
# read from the programmer: the whole image as S-records (about 180 KB) under an 8 KiB limit.
limited 8 "$cli" --port "$pty" --device "$E9" --eeprom read "$tmp/lim/old.s19"
[ "$rc" -eq 1 ] || fail "read beyond the size limit: exit code $rc, expected 1"
grep -qxF "error: Cannot write $tmp/lim/old.s19: File too large" "$tmp/err" \
  || { cat "$tmp/err"; fail "read beyond the size limit: no message"; }
cmp -s "$tmp/lim/old.s19" "$tmp/lim/old.keep" || fail "a read too large for the limit changed the old file"
no_temporary "$tmp/lim" "read"
# The log (standard error) into a file at the limit: a run that did its work fails.
head -c 2048 /dev/zero > "$tmp/lim/log"
(ulimit -f 2; "$cli" --port "$pty" --device "$E9" --eeprom read "$tmp/lim/log-read.s19" \
  --save-lowest 0xB600 --save-highest 0xB7FF 2>> "$tmp/lim/log")
rc=$?
[ "$rc" -eq 1 ] || fail "a log that cannot be written: exit code $rc, expected 1"
cmp -s "$tmp/lim/log-read.s19" "$tmp/ee.s19" || fail "the read with its log at the limit did not write its file"
# The production report at the limit: the line is not written in part, the series stops.
head -c 1000 /dev/zero | tr '\0' 'x' > "$tmp/lim/r.csv"
cp "$tmp/lim/r.csv" "$tmp/lim/r.keep"
limited 1 "$cli" --port "$pty" --device "$E9" --erase program --report "$tmp/lim/r.csv" "$tmp/ee.s19"
[ "$rc" -eq 1 ] || fail "a report that cannot be written: exit code $rc, expected 1"
grep -qxF "error: Cannot write the report $tmp/lim/r.csv: File too large: the series stops." "$tmp/err" \
  || { cat "$tmp/err"; fail "a report that cannot be written: no message"; }
cmp -s "$tmp/lim/r.csv" "$tmp/lim/r.keep" || fail "a report line was written in part"
# The serial-number state under a limit of nothing: refused before the port is opened (the
# file is written once then), the old state stays, and no temporary file is left.
echo "next=2000" > "$tmp/lim/state"
limited 0 "$cli" --port "$pty" --device "$E9" --erase program --serial 0xB600,2,1 \
  --serial-file "$tmp/lim/state" "$tmp/ee.s19"
[ "$rc" -eq 2 ] || fail "a state file that cannot be written: exit code $rc, expected 2"
grep -qxF "error: Cannot write $tmp/lim/state: File too large (it keeps the next serial number)" "$tmp/err" \
  || { cat "$tmp/err"; fail "a state file that cannot be written: no message"; }
grep -qF "Programmer" "$tmp/err" && fail "a state file that cannot be written: the port was opened"
[ "$(cat "$tmp/lim/state")" = "next=2000" ] || fail "the state file changed: $(cat "$tmp/lim/state")"
no_temporary "$tmp/lim" "the state file"

echo "cli file limits: ok"
