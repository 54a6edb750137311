#!/usr/bin/env bash
# Starts and closes the program five times under Xvfb with the openbox window manager and
# prints the stored places and sizes of its windows after each run: they must not change.
# Usage: tools/window_places/check_window_places.sh build/jqz6811 [display-number]
set -euo pipefail
program=$(realpath "$1")
display=":${2:-57}"
work=$(mktemp -d)
trap 'kill $wm $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp &
xvfb=$!
sleep 1
DISPLAY=$display openbox >/dev/null 2>&1 &
wm=$!
sleep 1
mkdir -p "$work/config"
settings="$work/config/jqz6811.ini"
printf '%s\r\n' "COMM_PORT=Virtual Programmer" "P_WIN_POS_LEFT=60" "P_WIN_POS_TOP=50" \
  "P_WIN_POS_HEIGHT=700" "P_WIN_POS_WIDTH=640" "H_WIN_POS_LEFT=720" "H_WIN_POS_TOP=40" \
  "H_WIN_POS_HEIGHT=480" "H_WIN_POS_WIDTH=540" "H_WIN_VISIBLE=1" "E_WIN_POS_LEFT=720" \
  "E_WIN_POS_TOP=560" "E_WIN_POS_HEIGHT=300" "E_WIN_POS_WIDTH=420" "E_WIN_VISIBLE=1" > "$settings"
for run in 1 2 3 4 5; do
  DISPLAY=$display XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$program" \
    >"$work/out.log" 2>&1 &
  pid=$!
  window=""
  for _ in $(seq 100); do
    window=$(DISPLAY=$display xdotool search --name '^JQZ 68\(7\)11 Programmer$' 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.2
  done
  [ -n "$window" ] || { echo "no main window"; cat "$work/out.log"; exit 1; }
  sleep 2
  DISPLAY=$display xdotool windowactivate --sync "$window" key --clearmodifiers alt+x
  wait $pid || true
  echo "after run $run: $(grep -E '^(P|H|E)_WIN_POS' "$settings" | tr -d '\r' | tr '\n' ' ')"
done
