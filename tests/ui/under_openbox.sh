#!/usr/bin/env bash
# Runs a window test program on a virtual 1024x768 display under the openbox window manager,
# on the xcb platform: windows get a real frame, and a window manager places and sizes them.
# The program starts once openbox manages the display; its output and exit status are this
# script's.
set -uo pipefail
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
echo 1 > "$work/status"
{
  echo '#!/usr/bin/env bash'
  printf '%q ' "$@"
  echo "> '$work/output' 2>&1"
  echo "echo \$? > '$work/status'"
  echo 'openbox --exit'
} > "$work/run"
chmod +x "$work/run"
export QT_QPA_PLATFORM=xcb
# openbox runs the --startup command once it manages the display; --exit ends it.
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" openbox --startup "$work/run" >/dev/null 2>&1
cat "$work/output" 2>/dev/null
exit "$(cat "$work/status")"
