# Sourced by the end-to-end scripts of production runs (its first argument the build folder):
# a scratch folder $tmp, a simulator on $tmp/pty (start_sim OPTIONS), the cli run with standard
# input from $tmp/in (run ARGS: exit code in $rc, standard error in $tmp/err) and the checks.
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

source "$(dirname "${BASH_SOURCE[0]}")/lib_sim.sh"
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
