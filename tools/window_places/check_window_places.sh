#!/usr/bin/env bash
# Starts and closes the program five times for each of a few settings files under Xvfb with
# the openbox window manager, and checks what the user sees of the window places:
#   shown      - every window shown at start keeps its stored place;
#   hidden     - the hex editor and description window hidden at start keep theirs, and the
#                editor, shown in the third run, opens with its frame exactly at its place;
#   no-places  - without window places every window lies inside the screen, cascaded from
#                the main window, and keeps that place afterwards;
#   too-large  - places from a larger monitor layout fit the screen, frame included.
# It prints the stored places after each run and exits 1 when a check fails.
# Usage: tools/window_places/check_window_places.sh build/jqz6811 [display-number]
set -euo pipefail
program=$(realpath "$1")
display=":${2:-57}"
export DISPLAY=$display
work=$(mktemp -d)
xvfb="" wm=""
trap 'kill $wm $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp &
xvfb=$!
sleep 1
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
mkdir -p "$work/config"
settings="$work/config/jqz6811.ini"
screen_w=1280 screen_h=1024
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

places() { grep -E '^(P|DPV|H|E)_WIN_POS' "$settings" | tr -d '\r' | sort | tr '\n' ' '; }
key() { grep -E "^$1=" "$settings" | tr -d '\r' | cut -d= -f2; }

# The outer frame of a window as the window manager drew it: left top width height.
frame_of() {
  local info
  info=$(xwininfo -frame -id "$1")
  local x y w h
  x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  w=$(sed -n 's/.*Width: *//p' <<<"$info")
  h=$(sed -n 's/.*Height: *//p' <<<"$info")
  echo "$x $y $w $h"
}

find_window() {
  local window=""
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.2
  done
  echo "$window"
}

inside_screen() {  # left top width height
  [ "$1" -ge 0 ] && [ "$2" -ge 0 ] && [ $(($1 + $3)) -le $screen_w ] && [ $(($2 + $4)) -le $screen_h ]
}

# One start: waits for the main window, runs the scenario's look at the windows, exits.
start_once() {
  local scenario=$1 run=$2
  XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$program" >"$work/out.log" 2>&1 &
  local pid=$!
  local main
  main=$(find_window '^JQZ 68\(7\)11 Programmer$')
  [ -n "$main" ] || { echo "no main window"; cat "$work/out.log"; exit 1; }
  sleep 2
  local f
  f=$(frame_of "$main")
  # shellcheck disable=SC2086
  inside_screen $f || fail "$scenario run $run: main window frame $f leaves the screen"
  if [ "$scenario" = hidden ] && [ "$run" = 3 ]; then
    xdotool windowactivate --sync "$main" key --clearmodifiers alt+e
    local editor="" w
    for _ in $(seq 25); do
      for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true); do
        [ "$w" != "$main" ] && [ -n "$(xdotool getwindowname "$w")" ] && editor=$w
      done
      [ -n "$editor" ] && break
      sleep 0.2
    done
    if [ -z "$editor" ]; then
      fail "hidden run 3: Alt+E showed no editor"
    else
      sleep 1
      local want
      want="$(key H_WIN_POS_LEFT) $(key H_WIN_POS_TOP) $(key H_WIN_POS_WIDTH) $(key H_WIN_POS_HEIGHT)"
      f=$(frame_of "$editor")
      [ "$f" = "$want" ] || fail "hidden run 3: the editor opened with its frame at $f, its place is $want"
      xdotool windowactivate --sync "$main" key --clearmodifiers alt+e
      sleep 1
    fi
  fi
  xdotool windowactivate --sync "$main" key --clearmodifiers alt+x
  wait $pid || true
}

scenario() {
  local name=$1
  shift
  printf '%s\r\n' "COMM_PORT=Virtual Programmer" "$@" >"$settings"
  local first=""
  for run in 1 2 3 4 5; do
    start_once "$name" "$run"
    local now
    now=$(places)
    echo "$name, after run $run: $now"
    if [ -z "$first" ]; then
      first=$now
      for w in P DPV H E; do
        local l t wd ht
        l=$(key ${w}_WIN_POS_LEFT) t=$(key ${w}_WIN_POS_TOP)
        wd=$(key ${w}_WIN_POS_WIDTH) ht=$(key ${w}_WIN_POS_HEIGHT)
        inside_screen "$l" "$t" "$wd" "$ht" || fail "$name: ${w} stored at $l $t ${wd}x$ht leaves the screen"
      done
    elif [ "$now" != "$first" ]; then
      fail "$name: the places changed in run $run"
    fi
  done
  if [ "$name" = no-places ]; then
    # Cascaded from the main window: each window one step further right and down.
    local pl pt
    pl=$(key P_WIN_POS_LEFT) pt=$(key P_WIN_POS_TOP)
    for w in H E DPV; do
      [ "$(key ${w}_WIN_POS_LEFT)" -gt "$pl" ] && [ "$(key ${w}_WIN_POS_TOP)" -gt "$pt" ] ||
        fail "no-places: $w is not cascaded from the main window"
      pl=$(key ${w}_WIN_POS_LEFT) pt=$(key ${w}_WIN_POS_TOP)
    done
  fi
}

scenario shown "P_WIN_POS_LEFT=60" "P_WIN_POS_TOP=50" "P_WIN_POS_HEIGHT=700" "P_WIN_POS_WIDTH=640" \
  "H_WIN_POS_LEFT=720" "H_WIN_POS_TOP=40" "H_WIN_POS_HEIGHT=480" "H_WIN_POS_WIDTH=540" \
  "H_WIN_VISIBLE=1" "E_WIN_POS_LEFT=720" "E_WIN_POS_TOP=560" "E_WIN_POS_HEIGHT=300" \
  "E_WIN_POS_WIDTH=420" "E_WIN_VISIBLE=1"
scenario hidden "P_WIN_POS_LEFT=60" "P_WIN_POS_TOP=50" "P_WIN_POS_HEIGHT=700" "P_WIN_POS_WIDTH=640" \
  "H_WIN_POS_LEFT=720" "H_WIN_POS_TOP=40" "H_WIN_POS_HEIGHT=480" "H_WIN_POS_WIDTH=540" \
  "H_WIN_VISIBLE=0" "E_WIN_POS_LEFT=720" "E_WIN_POS_TOP=0" "E_WIN_POS_HEIGHT=300" \
  "E_WIN_POS_WIDTH=420" "E_WIN_VISIBLE=0"
scenario no-places
scenario too-large "P_WIN_POS_LEFT=100" "P_WIN_POS_TOP=0" "P_WIN_POS_HEIGHT=2000" \
  "P_WIN_POS_WIDTH=700" "H_WIN_POS_LEFT=2000" "H_WIN_POS_TOP=1500" "H_WIN_POS_HEIGHT=1300" \
  "H_WIN_POS_WIDTH=540" "H_WIN_VISIBLE=1" "E_WIN_POS_LEFT=-800" "E_WIN_POS_TOP=-300" \
  "E_WIN_POS_HEIGHT=300" "E_WIN_POS_WIDTH=420" "E_WIN_VISIBLE=0"
[ "$failures" = 0 ] && echo "all places held" || { echo "$failures check(s) failed"; exit 1; }
