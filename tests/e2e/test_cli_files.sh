#!/usr/bin/env bash
# jqz6811-cli with files that hold nothing for the device, outputs that are not plain files,
# and its own words: exit codes and the exact standard error of each case, against
# jqz6811-sim on a pseudo-terminal.
set -uo pipefail
build=$(cd "$1" && pwd)
cli="$build/src/cli/jqz6811-cli"
sim="$build/src/sim/jqz6811-sim"
tmp=$(mktemp -d)
chmod 755 "$tmp"
simpid=""
cleanup() { [ -n "$simpid" ] && kill "$simpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
[ -n "${KEEP:-}" ] && trap - EXIT
fail() { echo "FAIL: $*"; exit 1; }
export XDG_CONFIG_HOME="$tmp/config"
E9="MC68HC11  E9 (E28B)"
root=0; [ "$(id -u)" -eq 0 ] && root=1

# Runs the cli as the user nobody when the tests run as root (so that permissions count),
# otherwise as the user running them.
unprivileged() {
  if [ "$root" -eq 1 ]; then setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"
  else "$@"; fi
}

source "$(dirname "$0")/expect.sh"

source "$(dirname "$0")/lib_sim.sh"
start_sim
gone="$tmp/no-such-port"

# --- Files that hold nothing for the device ----------------------------------------------
head -c 512 /dev/urandom > "$tmp/ee.bin"
"$cli" -q convert --format bin --offset 0xB600 --lowest 0 --highest 0x1FF "$tmp/ee.bin" \
  "$tmp/ee.s19" --save-lowest 0xB600 --save-highest 0xB7FF || fail "convert"
"$cli" -q convert --format bin "$tmp/ee.bin" "$tmp/low.s19" --save-lowest 0 --save-highest 0x1FF \
  || fail "convert"
"$cli" -q convert --format bin --offset 0x103F --lowest 0 --highest 0 "$tmp/ee.bin" \
  "$tmp/config.s19" --save-lowest 0x103F --save-highest 0x103F || fail "convert"
printf ':10B600000102030405060708090A0B0C0D0E0F1068\r\n:00000001FF\r\n' > "$tmp/fw.hex"
: > "$tmp/empty.s19"
printf 'S1 not a record\r\nhello\r\n' > "$tmp/junk.s19"
expect 0 "" "$cli" -q --port "$pty" --device "$E9" --erase program "$tmp/ee.s19"

# Each refusal comes before the port is opened: the log ends at the refusal. The port given
# is one that does not exist, so that opening it would show.
ee="the EEPROM (0xB600-0xB7FF) of $E9"
while IFS='|' read -r opts file want; do
  # shellcheck disable=SC2086
  expect 2 "error: $tmp/$file $want" "$cli" --port "$gone" --device "$E9" $opts "$tmp/$file"
done <<EOF
verify|empty.s19|holds nothing for $ee, so there is nothing to verify: the file is empty.
program|low.s19|holds nothing for $ee, so there is nothing to program: its 512 bytes land at 0x0000-0x01FF.
--config program|low.s19|holds nothing for the EEPROM (0xB600-0xB7FF) or the CONFIG register (0x103F) of $E9, so there is nothing to program: its 512 bytes land at 0x0000-0x01FF.
program|config.s19|holds nothing for $ee, so there is nothing to program: its 1 byte lands at 0x103F-0x103F.
--format bin verify|fw.hex|holds nothing for $ee, so there is nothing to verify: its 58 bytes land at 0x0000-0x0039.
EOF
hint="Check its first line (count, address, type, data and checksum), or give --format ihex to skip lines that are not records"
expect 2 "error: $tmp/fw.hex looks like Intel HEX (its lines start with ':'), but its first line is not a valid record: taken as binary, its text would be programmed as data.
$hint, or give --format bin to take its bytes as they are." \
  "$cli" --port "$gone" --device "$E9" --erase program "$tmp/fw.hex"
# The file is judged before it is loaded: the refusal says what the lines were.
expect 2 "error: $tmp/junk.s19 holds nothing for $ee, so there is nothing to program: none of its 2 lines is a Motorola S data record that lands in the memory image." \
  "$cli" --port "$gone" --device "$E9" --erase program "$tmp/junk.s19"
expect 2 "error: $tmp/fw.hex holds nothing for $ee, so there is nothing to verify: the file looks like Intel HEX (its lines start with ':'), but its first line is not a valid Intel HEX record.
$hint." "$cli" --port "$gone" --device "$E9" --format S19 verify "$tmp/fw.hex"
# A valid Intel HEX file is read as such: programmed, then verified against its S-record twin.
printf ':020000040000FA\r\n:10B600000102030405060708090A0B0C0D0E0F10B2\r\n:00000001FF\r\n' > "$tmp/ee.hex"
expect 0 "" "$cli" -q --port "$pty" --device "$E9" --erase program "$tmp/ee.hex"
"$cli" -q convert "$tmp/ee.hex" "$tmp/ee-from-hex.s19" || fail "convert of Intel HEX failed"
expect 0 "" "$cli" -q --port "$pty" --device "$E9" verify "$tmp/ee-from-hex.s19"
expect 0 "" "$cli" -q --port "$pty" --device "$E9" --erase program "$tmp/ee.s19"
# The refused erase left the EEPROM as programmed; CONFIG alone is taken with --config, and
# erasing alone needs nothing of the file.
expect 0 "" "$cli" -q --port "$pty" --device "$E9" verify "$tmp/ee.s19"
expect 0 "" "$cli" -q --port "$pty" --device "$E9" --config --no-program --no-verify program "$tmp/config.s19"
expect 0 "" "$cli" -q --port "$pty" --device "$E9" --erase --no-program program "$tmp/empty.s19"

# --- Outputs that are not plain files ------------------------------------------------------
mkfifo "$tmp/pipe"
mkdir "$tmp/closed"; chmod 555 "$tmp/closed"
expect 1 "error: Cannot write $tmp/missing/x.s19: No such file or directory" \
  "$cli" --port "$pty" --device "$E9" --eeprom read "$tmp/missing/x.s19"
expect 1 "error: Cannot write $tmp/pipe: It is a named pipe (FIFO), not a plain file." \
  "$cli" --port "$pty" --device "$E9" --eeprom read "$tmp/pipe"
[ -p "$tmp/pipe" ] || fail "the named pipe was replaced"
expect 1 "Reading file : $tmp/ee.s19
Read file complete
Writing file : $tmp/pipe
error: Cannot write $tmp/pipe: It is a named pipe (FIFO), not a plain file." \
  "$cli" convert "$tmp/ee.s19" "$tmp/pipe"
if [ "$root" -eq 1 ]; then
  # A device node of the test's own, as /dev/null is the system's.
  mknod "$tmp/null" c 1 3
  expect 1 "error: Cannot write $tmp/null: It is a device, not a plain file." \
    "$cli" --port "$pty" --device "$E9" --eeprom read "$tmp/null"
  [ -c "$tmp/null" ] || fail "the device node was replaced"
fi
# A folder the user may not write in: refused before the device is read, as the user would be.
expect 1 "error: Cannot write $tmp/closed/x.s19: Permission denied" \
  unprivileged "$cli" --port "$gone" --device "$E9" --eeprom read "$tmp/closed/x.s19"
# A read-only file of someone else's in a folder open to all stays as it was.
mkdir "$tmp/shared"; chmod 777 "$tmp/shared"
echo theirs > "$tmp/shared/theirs.s19"; chmod 444 "$tmp/shared/theirs.s19"
[ "$root" -eq 1 ] || chmod 555 "$tmp/shared"
expect 1 "Reading file : $tmp/ee.s19
Read file complete
Writing file : $tmp/shared/theirs.s19
error: Cannot write $tmp/shared/theirs.s19: Permission denied" \
  unprivileged "$cli" convert "$tmp/ee.s19" "$tmp/shared/theirs.s19"
[ "$(cat "$tmp/shared/theirs.s19")" = theirs ] || fail "a read-only file was replaced"
# A symbolic link: its target is replaced, in the target's folder, and keeps its mode.
mkdir "$tmp/real"
echo old > "$tmp/real/ee.s19"; chmod 640 "$tmp/real/ee.s19"
chmod 755 "$tmp/shared"
ln -s ../real/ee.s19 "$tmp/shared/link.s19"
expect 0 "" "$cli" -q --port "$pty" --device "$E9" --erase program "$tmp/ee.s19"
expect 0 "" "$cli" -q --port "$pty" --device "$E9" --eeprom read "$tmp/shared/link.s19" \
  --save-lowest 0xB600 --save-highest 0xB7FF
[ -L "$tmp/shared/link.s19" ] || fail "the link was replaced by a file"
cmp -s "$tmp/real/ee.s19" "$tmp/ee.s19" || fail "the link's target does not hold the EEPROM"
[ "$(stat -c %a "$tmp/real/ee.s19")" = 640 ] || fail "mode 640 became $(stat -c %a "$tmp/real/ee.s19")"
# A hard link keeps sharing the file.
ln "$tmp/real/ee.s19" "$tmp/real/second.s19"
expect 0 "" "$cli" -q convert "$tmp/low.s19" "$tmp/real/ee.s19"
! cmp -s "$tmp/real/ee.s19" "$tmp/ee.s19" || fail "the convert did not write"
cmp -s "$tmp/real/second.s19" "$tmp/real/ee.s19" || fail "the hard link no longer shares the file"

# --- The command line's own words ----------------------------------------------------------
while IFS='|' read -r opts want; do
  # shellcheck disable=SC2086
  expect 2 "error: $want (see jqz6811-cli --help)" "$cli" $opts convert "$tmp/ee.s19" "$tmp/x.bin"
done <<'EOF'
--lowest -1|--lowest -1 is negative: file addresses go from 0 to 0xFFFFFF
--lowest 0x1000000000|--lowest 0x1000000000 is too large: file addresses go from 0 to 0xFFFFFF
--highest 0x1000000|--highest 0x1000000 is too large: file addresses go from 0 to 0xFFFFFF
--highest $FFFFFFFF|--highest $FFFFFFFF is too large: file addresses go from 0 to 0xFFFFFF
--lowest 12ab|--lowest takes a number, decimal or hexadecimal after 0x or $, not "12ab"
--offset -0x1000000|--offset -0x1000000 is too small: offsets go from -0xFFFFFF to 0xFFFFFF
--offset -0xFFFFFFFF|--offset -0xFFFFFFFF is too small: offsets go from -0xFFFFFF to 0xFFFFFF
--offset -$FFFFFF00|--offset -$FFFFFF00 is too small: offsets go from -0xFFFFFF to 0xFFFFFF
--offset -0x80000001|--offset -0x80000001 is too small: offsets go from -0xFFFFFF to 0xFFFFFF
--offset 0xFFFFFFFF|--offset 0xFFFFFFFF is too large: offsets go from -0xFFFFFF to 0xFFFFFF
--offset -4294967295|--offset -4294967295 is too small: offsets go from -0xFFFFFF to 0xFFFFFF
--lowest -0xFFFFFFFF|--lowest -0xFFFFFFFF is negative: file addresses go from 0 to 0xFFFFFF
--save-lowest -0xFFFFFFFF|--save-lowest -0xFFFFFFFF is negative: image addresses go from 0 to 0xFFFF
--save-highest -$FFFF0000|--save-highest -$FFFF0000 is negative: image addresses go from 0 to 0xFFFF
--verify=no|option --verify takes no value
--no-verify=yes|option --no-verify takes no value
--quiet=no|option --quiet takes no value
--save-lowest -5|--save-lowest -5 is negative: image addresses go from 0 to 0xFFFF
--save-highest 0x10000|--save-highest 0x10000 is too large: image addresses go from 0 to 0xFFFF
--format hex|formats are jef, s19, s28, bin and ihex
EOF
# Unreadable inputs say what they are, each error once, in text and in JSON.
mkdir "$tmp/folder"
echo secret > "$tmp/secret.s19"; chmod 600 "$tmp/secret.s19"
expect 2 "error: File not Accessible or not Exist! $tmp/gone.s19" "$cli" convert "$tmp/gone.s19" "$tmp/x.bin"
expect 2 "error: Cannot open file \"$tmp/pipe\". It is a named pipe (FIFO), not a plain file." \
  "$cli" convert "$tmp/pipe" "$tmp/x.bin"
expect 2 "error: Cannot open file \"$tmp/folder\". It is a directory, not a plain file." \
  "$cli" convert "$tmp/folder" "$tmp/x.bin"
if [ "$root" -eq 1 ]; then
  expect 2 "error: Cannot open file \"$tmp/secret.s19\". Permission denied" \
    unprivileged "$cli" convert "$tmp/secret.s19" "$tmp/x.bin"
fi
expect 2 "error: Cannot open file \"$tmp/gone.s19\". No such file or directory" \
  "$cli" --format s19 convert "$tmp/gone.s19" "$tmp/x.bin"
expect 2 "{\"kind\":\"error\",\"text\":\"Cannot open file \\\"$tmp/gone.s19\\\". No such file or directory\"}
{\"result\":\"failed\",\"exit\":2,\"summary\":\"Cannot open file \\\"$tmp/gone.s19\\\". No such file or directory\"}" \
  "$cli" --json --format s19 convert "$tmp/gone.s19" "$tmp/x.bin"
# --json is honoured when a refused option comes before it.
expect 2 "{\"kind\":\"error\",\"text\":\"unknown option --bogus (see jqz6811-cli --help)\"}
{\"result\":\"failed\",\"exit\":2,\"summary\":\"unknown option --bogus (see jqz6811-cli --help)\"}" \
  "$cli" --bogus --json convert "$tmp/ee.s19" "$tmp/x.bin"
# JSON strings carry UTF-8 as it is; a byte that is not UTF-8 becomes \ufffd. Every line is JSON.
expect 2 "{\"kind\":\"error\",\"text\":\"Cannot open file \\\"$tmp/café.s19\\\". No such file or directory\"}
{\"result\":\"failed\",\"exit\":2,\"summary\":\"Cannot open file \\\"$tmp/café.s19\\\". No such file or directory\"}" \
  "$cli" --json --format s19 convert "$tmp/café.s19" "$tmp/x.bin"
"$cli" --json --format s19 convert "$tmp/$(printf 'caf\xe9\xff\xc3.s19')" "$tmp/x.bin" 2> "$tmp/err"
grep -qF "Cannot open file \\\"$tmp/caf\\ufffd\\ufffd\\ufffd.s19\\\"" "$tmp/err" \
  || fail "bytes that are not UTF-8: $(cat -v "$tmp/err")"
perl -MJSON::PP -ne 'JSON::PP->new->utf8->decode($_)' "$tmp/err" || fail "a line that is not JSON"
# JSON is UTF-8: a name's characters pass as they are; bytes of another encoding are U+FFFD.
expect 2 "{\"kind\":\"error\",\"text\":\"Cannot open file \\\"$tmp/gone é 程序.s19\\\". No such file or directory\"}
{\"result\":\"failed\",\"exit\":2,\"summary\":\"Cannot open file \\\"$tmp/gone é 程序.s19\\\". No such file or directory\"}" \
  "$cli" --json --format s19 convert "$tmp/gone é 程序.s19" "$tmp/x.bin"
expect 2 "{\"kind\":\"error\",\"text\":\"Cannot open file \\\"$tmp/gone\\ufffd.s19\\\". No such file or directory\"}
{\"result\":\"failed\",\"exit\":2,\"summary\":\"Cannot open file \\\"$tmp/gone\\ufffd.s19\\\". No such file or directory\"}" \
  "$cli" --json --format s19 convert "$tmp/gone"$'\xe9'".s19" "$tmp/x.bin"
# A missing port: advice in the command line's words, and which port came from where.
expect 3 "error: Error opening port: $gone
The port $gone does not exist. Is the programmer's cable or USB serial adapter plugged in? Name the programmer's port with --port (the ports command lists them)." \
  "$cli" --port "$gone" detect
mkdir -p "$tmp/config"
printf 'COMM_PORT=%s\r\n' "$gone" > "$tmp/config/jqz6811.ini"
expect 3 "Port $gone from the settings file $tmp/config/jqz6811.ini
error: Error opening port: $gone
The port $gone does not exist. Is the programmer's cable or USB serial adapter plugged in? Name the programmer's port with --port (the ports command lists them)." \
  "$cli" detect
rm "$tmp/config/jqz6811.ini"
# A settings file that is a named pipe: one line, at once.
mkfifo "$tmp/config/jqz6811.ini"
expect 3 "Cannot read $tmp/config/jqz6811.ini: It is a named pipe (FIFO), not a plain file. Using the default rate of 9600 baud.
error: Error opening port: $gone
The port $gone does not exist. Is the programmer's cable or USB serial adapter plugged in? Name the programmer's port with --port (the ports command lists them)." \
  timeout 20 "$cli" --port "$gone" detect
timeout 20 "$cli" detect > /dev/null 2> "$tmp/err"
[ $? -ne 124 ] || fail "a settings file that is a named pipe hangs detect"
[ "$(head -1 "$tmp/err")" = "Cannot read $tmp/config/jqz6811.ini: It is a named pipe (FIFO), not a plain file. Trying the default port COM1 (/dev/ttyS0)." ] \
  || fail "a settings file that is a named pipe: $(head -1 "$tmp/err")"
rm "$tmp/config/jqz6811.ini"
"$cli" detect > /dev/null 2> "$tmp/err"
[ $? -eq 3 ] || fail "detect on the default port"
[ "$(head -1 "$tmp/err")" = "No --port given and no settings file $tmp/config/jqz6811.ini: trying the default port COM1 (/dev/ttyS0)" ] \
  || fail "the default port is not named: $(head -1 "$tmp/err")"
# Output that cannot be written fails the run.
"$cli" devices > /dev/full 2> "$tmp/err"; rc=$?
[ "$rc" -eq 1 ] || fail "devices > /dev/full gave exit code $rc"
[ "$(cat "$tmp/err")" = "error: Cannot write the standard output: No space left on device" ] || fail "$(cat "$tmp/err")"
"$cli" --help > /dev/full 2> /dev/null; rc=$?
[ "$rc" -eq 1 ] || fail "--help > /dev/full gave exit code $rc"
"$cli" convert "$tmp/ee.s19" "$tmp/y.s19" 2> /dev/full; rc=$?
[ "$rc" -eq 1 ] || fail "a log on a full standard error gave exit code $rc"
"$cli" convert "$tmp/gone.s19" "$tmp/y.s19" 2> /dev/full; rc=$?
[ "$rc" -eq 2 ] || fail "a failure keeps its exit code with a full standard error, got $rc"
# The exit codes --help gives are the README's and the manual page's, word for word.
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
codes=$("$cli" --help | sed -n '/^Exit codes: /,$p' | tr -s ' \n' ' ' | sed 's/^Exit codes: //; s/ $//')
[ -n "$codes" ] || fail "--help gives no exit codes"
tr -s ' \n' ' ' < "$source_dir/README.md" | grep -qF "Exit codes: $codes" \
  || fail "the README's exit codes differ from --help's: $codes"
sed -n '/^\.SH EXIT STATUS/,/^\.SH /p' "$source_dir/assets/man/jqz6811-cli.1.in" | sed '1d;$d' \
  | sed 's/\\-/-/g' | tr -s ' \n' ' ' | grep -qF "$codes" \
  || fail "the manual page's exit codes differ from --help's: $codes"
# "--" ends the options; formats in any case.
expect 2 "error: unknown option -dash.bin (see jqz6811-cli --help)" \
  "$cli" -q convert "$tmp/ee.s19" -dash.bin
(cd "$tmp" && expect 0 "" "$cli" -q --format S19 --to BIN convert -- ee.s19 -dash.bin) || exit 1
cmp -s <(tail -c +$((0xB600 + 1)) "$tmp/-dash.bin" | head -c 512) "$tmp/ee.bin" \
  || fail "-dash.bin does not hold the EEPROM image as binary"

echo "cli files and words: ok"
