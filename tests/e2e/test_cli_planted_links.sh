#!/usr/bin/env bash
# jqz6811-cli run by root in a folder that another user may write to (group-writable, without
# the sticky bit, where the system's own link protection does not reach): a symbolic link that
# the other user planted there, as the output, the report, the serial number file (whose lock is the file itself),
# or as a folder on the way to one, is refused before the port opens. The file it names is
# left as it was, and nothing is made where it points. The same link made by root is followed.
# Runs as root in a mount namespace of its own, the shared folder a fresh tmpfs; skipped (77)
# elsewhere.
set -uo pipefail
build=$(cd "$1" && pwd)
if [ -z "${JQZ_PRIVATE_MOUNTS:-}" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root (links of another user)"; exit 77; }
  unshare -m --propagation private true 2>/dev/null ||
    { echo "SKIP: no mount namespace (unshare -m is not allowed)"; exit 77; }
  JQZ_PRIVATE_MOUNTS=1 exec unshare -m --propagation private bash "$0" "$@"
fi
cli="$build/src/cli/jqz6811-cli"
sim="$build/src/sim/jqz6811-sim"
tmp=$(mktemp -d)
chmod 755 "$tmp"
simpid=""
cleanup() {
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null
  wait 2>/dev/null
  umount "$tmp/shared" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$tmp/err" ] && cat "$tmp/err"; exit 1; }
export XDG_CONFIG_HOME="$tmp/config"
E9="MC68HC11  E9 (E28B)"
other=12345   # a user and group that no account has

mkdir "$tmp/shared" "$tmp/private"
mount -t tmpfs -o mode=0775 tmpfs "$tmp/shared" || fail "cannot mount a tmpfs"
chgrp "$other" "$tmp/shared"
chmod 0775 "$tmp/private"

head -c 512 /dev/urandom > "$tmp/ee.bin"
"$cli" --quiet convert --format bin --offset 0xB600 --lowest 0 --highest 0x1FF "$tmp/ee.bin" \
  "$tmp/ee.s19" --save-lowest 0xB600 --save-highest 0xB7FF < /dev/null || fail "convert"

# The files that links lead to: root's, with known contents, and names that do not exist.
reset_private() {
  rm -rf "$tmp/private"/*
  for f in victim.csv victim.bin victim-state; do
    echo "root's own $f" > "$tmp/private/$f"
  done
  cp -r "$tmp/private" "$tmp/private.before"
}
private_unchanged() {
  diff -r "$tmp/private.before" "$tmp/private" > /dev/null || {
    ls -la "$tmp/private"; fail "$1: the files where the links lead changed"; }
  rm -rf "$tmp/private.before"
}
# plant OWNER NAME TARGET: a symbolic link in the shared folder, owned by OWNER.
plant() {
  rm -rf "${tmp:?}/shared/$2"
  mkdir -p "$(dirname "$tmp/shared/$2")"
  ln -s "$3" "$tmp/shared/$2"
  chown -h "$1:$1" "$tmp/shared/$2"
}
clear_shared() { find "$tmp/shared" -mindepth 1 -delete; }

# --- Links of another user: refused, before the port opens (it does not exist here) --------
gone="$tmp/no-such-port"
while IFS='|' read -r what link target cmd; do
  reset_private
  clear_shared
  plant "$other" "$link" "$target"
  # shellcheck disable=SC2086
  eval "set -- $cmd"
  "$cli" "$@" < /dev/null > "$tmp/out" 2> "$tmp/err"
  rc=$?
  [ "$rc" -ne 0 ] || fail "$what: exit code 0"
  grep -qF "$tmp/shared/${link%%/*} is a symbolic link owned by another user (uid $other); links of other users are not followed." "$tmp/err" ||
    fail "$what: no refusal that names the link"
  grep -qF "Programmer" "$tmp/err" && fail "$what: the port was tried"
  private_unchanged "$what"
  [ -z "$(find "$tmp/shared" -mindepth 1 ! -type l ! -type d)" ] || fail "$what: a file was made in the shared folder"
done <<EOF
convert over a file|out.bin|$tmp/private/victim.bin|convert "$tmp/ee.s19" "$tmp/shared/out.bin"
convert to a new name|out.bin|$tmp/private/new.bin|convert "$tmp/ee.s19" "$tmp/shared/out.bin"
convert into a folder|dir|$tmp/private|convert "$tmp/ee.s19" "$tmp/shared/dir/new.bin"
read over a file|ee.s19|$tmp/private/victim.bin|--port "$gone" --device "$E9" --eeprom read "$tmp/shared/ee.s19"
report over a file|report.csv|$tmp/private/victim.csv|--port "$gone" --device "$E9" program --report "$tmp/shared/report.csv" "$tmp/ee.s19"
report to a new name|report.csv|$tmp/private/new.csv|--port "$gone" --device "$E9" program --report "$tmp/shared/report.csv" "$tmp/ee.s19"
report into a folder|dir|$tmp/private|--port "$gone" --device "$E9" program --report "$tmp/shared/dir/new.csv" "$tmp/ee.s19"
state file over a file|state|$tmp/private/victim-state|--port "$gone" --device "$E9" program --serial 0xB600,2,1 --serial-file "$tmp/shared/state" "$tmp/ee.s19"
state file to a new name|state|$tmp/private/new-state|--port "$gone" --device "$E9" program --serial 0xB600,2,1 --serial-file "$tmp/shared/state" "$tmp/ee.s19"
EOF

# --- The same links made by root: followed ---------------------------------------------------
"$sim" --link "$tmp/pty" > "$tmp/sim.out" 2>&1 &
simpid=$!
for _ in $(seq 50); do [ -e "$tmp/pty" ] && break; sleep 0.1; done
[ -e "$tmp/pty" ] || fail "simulator did not start"
reset_private
clear_shared
rm -f "$tmp/private/victim.csv" "$tmp/private/victim-state"
plant root out.s19 "$tmp/private/victim.bin"
plant root report.csv "$tmp/private/victim.csv"
plant root state "$tmp/private/victim-state"
plant root dir "$tmp/private"
"$cli" --quiet convert "$tmp/ee.s19" "$tmp/shared/out.s19" --save-lowest 0xB600 \
  --save-highest 0xB7FF < /dev/null 2> "$tmp/err" || fail "convert through root's link"
cmp -s "$tmp/private/victim.bin" "$tmp/ee.s19" || fail "convert did not write where root's link leads"
[ -L "$tmp/shared/out.s19" ] || fail "root's link was replaced"
"$cli" --port "$tmp/pty" --device "$E9" --erase program --serial 0xB600,2,1 \
  --serial-file "$tmp/shared/state" --report "$tmp/shared/report.csv" "$tmp/ee.s19" \
  < /dev/null > "$tmp/out" 2> "$tmp/err" || fail "program through root's links"
grep -qF ",$E9,1,passed," "$tmp/private/victim.csv" || fail "no report line where root's link leads"
[ "$(cat "$tmp/private/victim-state")" = "next=2" ] || fail "no state where root's link leads"
"$cli" --quiet convert "$tmp/ee.s19" "$tmp/shared/dir/into.s19" --save-lowest 0xB600 \
  --save-highest 0xB7FF < /dev/null 2> "$tmp/err" || fail "convert through root's folder link"
cmp -s "$tmp/private/into.s19" "$tmp/ee.s19" || fail "convert did not write into root's folder link"
echo "PASS"
