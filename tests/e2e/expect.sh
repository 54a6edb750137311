# Sourced by the end-to-end scripts, which set $tmp (their scratch folder) and fail().
# expect RC EXPECTED_STDERR COMMAND...: the command's exit code and its standard error, byte
# for byte (EXPECTED_STDERR holds the lines without their final line end).
expect() {
  local want_rc=$1 want_err=$2
  shift 2
  "$@" > "$tmp/out" 2> "$tmp/err"
  local rc=$?
  if [ -n "$want_err" ]; then printf '%s\n' "$want_err"; fi > "$tmp/want"
  if [ "$rc" -ne "$want_rc" ] || ! cmp -s "$tmp/want" "$tmp/err"; then
    echo "command: $*"
    echo "exit code $rc, expected $want_rc; standard error (expected, then got):"
    diff "$tmp/want" "$tmp/err"
    fail "unexpected result"
  fi
}
