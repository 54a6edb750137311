#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of its own, made on first use (once per build
# folder): wine-run.sh <prefix> <program.exe> [args...]
set -euo pipefail
prefix=$1; shift
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$wine" ] || wine=$(command -v wine)
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=
# Wine maps Windows names to the file system's bytes through the locale: UTF-8, whatever the
# caller's (a bare environment has none, and accented names would not map).
export LC_ALL=C.UTF-8 LANG=C.UTF-8
if [ ! -f "$prefix/.jqz-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.jqz-ready" ]; then
    "$wine" wineboot -i >/dev/null 2>&1
    "$(dirname "$wine")/wineserver" -w 2>/dev/null || wineserver -w 2>/dev/null || true
    touch "$prefix/.jqz-ready"
  fi
  flock -u 9
fi
exec "$wine" "$@"
