#!/usr/bin/env bash
# Registers COM ports in a Wine prefix as a user's ports would be, so that enumerating them has
# more to find than the ports Wine sets up itself: Wine lists the COM ports named under
# HKLM\Software\Wine\Ports when its device manager starts, which it does with the first
# program after the prefix's last one ended.
#   register_wine_ports.sh <prefix>
# COM3 and COM12 open (each opening makes a new pseudo-terminal); COM7 names no device and
# does not open. The tests are told so through JQZ_OPENING_PORTS and JQZ_MISSING_PORTS.
set -euo pipefail
prefix=$1
wine_run="$(cd "$(dirname "$0")/.." && pwd)/scripts/wine-run.sh"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver="$(dirname "$(readlink -f "$wine")")/wineserver"
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
key='HKLM\Software\Wine\Ports'
ports=(COM3=/dev/ptmx COM12=/dev/ptmx COM7=/dev/jqz6811-no-such-port)

registered() { "$wine_run" "$prefix" reg query "$key" /v "$1" 2>/dev/null | grep -qF "$2"; }

changed=0
for entry in "${ports[@]}"; do
  name=${entry%%=*} device=${entry#*=}
  if ! registered "$name" "$device"; then
    "$wine_run" "$prefix" reg add "$key" /v "$name" /t REG_SZ /d "$device" /f > /dev/null 2>&1
    changed=1
  fi
done
if [ "$changed" -eq 1 ]; then
  # The device manager reads the key as it starts: let this session end.
  WINEPREFIX=$prefix "$wineserver" -w
  "$wine_run" "$prefix" cmd /c exit 0 > /dev/null 2>&1
fi
for entry in "${ports[@]}"; do
  name=${entry%%=*}
  [ -L "$prefix/dosdevices/${name,,}" ] || { echo "FAIL: Wine did not set up $name"; exit 1; }
done
echo "registered: ${ports[*]}"
