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

# interrupt_after PATTERN COMMAND...: runs the command in the background (standard output to
# $tmp/out, standard error to $tmp/err), sends it SIGINT half a second after PATTERN shows in
# its standard error, and leaves its exit code in rc. The command is the program itself, so
# that it gets the one signal once.
interrupt_after() {
  local pattern=$1
  shift
  : > "$tmp/err"  # emptied first: the last command's lines must not answer for this one's
  "$@" > "$tmp/out" 2>> "$tmp/err" &
  local pid=$!
  for _ in $(seq 100); do grep -q -- "$pattern" "$tmp/err" && break; sleep 0.1; done
  sleep 0.5
  kill -INT "$pid"
  wait "$pid"; rc=$?
}
