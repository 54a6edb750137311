#!/usr/bin/env bash
# The zip for Windows users, as a user unpacks it: the program runs from the unpacked folder
# under Wine with nothing beside it, the device documents are there, and README.txt is the
# Windows users' text, whole, with Windows line ends.
#   wine_zip.sh <source folder> <Windows build folder>
set -uo pipefail
src=$1
win=$2
wine_run="$src/scripts/wine-run.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --build "$win" --target windows-zip > "$tmp/build.log" 2>&1 || { cat "$tmp/build.log"; fail "windows-zip"; }
zip=$(ls "$win"/jqz6811-[0-9]*-windows-x86_64.zip) || fail "no zip"
mkdir "$tmp/unpacked here"
(cd "$tmp/unpacked here" && cmake -E tar xf "$zip") || fail "the zip does not unpack"
root=$(ls -d "$tmp/unpacked here"/jqz6811-[0-9]*-windows-x86_64) || fail "no folder in the zip"

for f in README.txt dhelp jqz6811-cli.exe; do [ -e "$root/$f" ] || fail "no $f in the zip"; done
[ -z "$(find "$root" -iname '*.dll')" ] || fail "DLLs in the zip: $(find "$root" -iname '*.dll')"
ls "$root/dhelp"/*.rtf > /dev/null 2>&1 || fail "no quick-info documents in dhelp"
ls "$root/dhelp"/*.emf > /dev/null 2>&1 || fail "no package drawings in dhelp"

# README.txt: every line ends with CR LF, and the text is the source's, line for line
# (backslashes and all: %APPDATA%\jqz6811\jqz6811.ini).
[ "$(grep -c $'\r$' "$root/README.txt")" -eq "$(wc -l < "$root/README.txt")" ] \
  || fail "README.txt has lines without CR LF"
tr -d '\r' < "$root/README.txt" | cmp - "$src/docs/README-windows.txt" \
  || fail "README.txt differs from docs/README-windows.txt"
grep -qF '%APPDATA%\jqz6811\jqz6811.ini' "$root/README.txt" || fail "README.txt lost its backslashes"

# The program runs from there (its runtime is linked in) and knows its devices.
export XDG_CONFIG_HOME="$tmp/config"
"$wine_run" "$win/wineprefix" "$root/jqz6811-cli.exe" devices > "$tmp/devices" 2> "$tmp/err" \
  || { cat "$tmp/err"; fail "the unpacked program does not run"; }
grep -qx 'MC68HC11  E9 (E28B)' <(tr -d '\r' < "$tmp/devices") || fail "no devices listed"
echo "the Windows zip: ok"
