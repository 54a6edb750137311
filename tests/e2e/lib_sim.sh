# shellcheck shell=bash
# Sourced by the end-to-end scripts that run jqz6811-sim on a pseudo-terminal. They set $sim
# (the simulator program), $tmp (their scratch folder) and fail(), and may set the array
# sim_options, the options every start of theirs takes.
# start_sim [OPTION...]: (re)starts the simulator with those options and these on the link
# $tmp/pty, its output in $tmp/sim.out, and waits until the link is there; $simpid is the
# simulator's process (for the script's clean-up) and $pty the link.
simpid=${simpid:-}
declare -p sim_options > /dev/null 2>&1 || sim_options=()
start_sim() {
  [ -n "$simpid" ] && { kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null; }
  rm -f "$tmp/pty"
  "$sim" --link "$tmp/pty" "${sim_options[@]}" "$@" > "$tmp/sim.out" 2>&1 &
  simpid=$!
  for _ in $(seq 50); do [ -e "$tmp/pty" ] && break; sleep 0.1; done
  [ -e "$tmp/pty" ] || fail "simulator did not start"
  pty="$tmp/pty"
}
