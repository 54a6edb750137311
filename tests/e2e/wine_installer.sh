#!/usr/bin/env bash
# The setup program for Windows, as a user and an administrator meet it, under Wine in a fresh
# prefix: the programs' resources, an install per machine (files, Start menu, the uninstall
# entry, the file types, the programs run from there), an older setup over it refused, an
# upgrade that keeps the settings, the uninstall that leaves nothing but the settings, the same
# per user with PATH, a PATH too long to change left alone, and two builds of the same bytes.
#   wine_installer.sh <source folder> <Windows build folder>
set -uo pipefail
src=$1
win=$(cd "$2" && pwd)
tmp=$(mktemp -d)
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
export LC_ALL=C.UTF-8 LANG=C.UTF-8 TZ=UTC
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$wine" ] || wine=$(command -v wine)
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
cleanup() { "$wineserver" -k 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
step() { echo "-- $* ($SECONDS s)"; }
# A Windows program's run; its exit code (modulo 256, as Wine gives it) in $rc.
run() { "$wine" "$@"; rc=$?; }
# A registry value's data, as `reg query` prints it; from a key read once (read_key) or afresh.
value_in() { # dump value-name (empty: the default value)
  local name=${2:-(Default)}
  awk -v n="$name" '{ sub(/\r$/, ""); p = "    " n "    REG_" }
    index($0, p) == 1 { s = substr($0, length(p) + 1); sub(/^[A-Z_]+ */, "", s); print s; exit }' "$1"
}
read_key() { "$wine" reg query "$1" > "$tmp/key" 2>/dev/null; }
reg_value() { read_key "$1"; value_in "$tmp/key" "$2"; }
reg_exists() { "$wine" reg query "$1" > /dev/null 2>&1; }
unix() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }

version=$(sed -nE 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win/CMakeCache.txt")
[ -n "$version" ] || fail "no version in $win/CMakeCache.txt"
setup=$win/jqz6811-$version-setup.exe

step "the setup program and the programs' resources"
cmake --build "$win" --target windows-installer > "$tmp/build.log" 2>&1 || { cat "$tmp/build.log"; fail "windows-installer"; }
[ -f "$setup" ] || fail "no $setup"
stage=$win/installer/stage/files
[ -f "$stage/jqz6811.exe" ] || fail "the setup holds no jqz6811.exe (no Qt for Windows?)"
objdump=x86_64-w64-mingw32-objdump
for exe in jqz6811.exe jqz6811-cli.exe; do
  f=$stage/$exe
  strings -n 3 -el "$f" > "$tmp/strings16"
  for key in FileVersion ProductVersion; do
    [ "$(grep -A1 -x "$key" "$tmp/strings16" | sed -n 2p)" = "$version" ] || fail "$exe: no $key $version"
  done
  grep -qx "$exe" "$tmp/strings16" || fail "$exe: no OriginalFilename"
  for text in PerMonitorV2 '<longPathAware' 'Microsoft.Windows.Common-Controls'; do
    grep -qF "$text" "$f" || fail "$exe: its manifest lacks $text"
  done
  "$objdump" -x "$f" > "$tmp/headers"
  grep -qE '^Time/Date[[:space:]]+(Thu Jan  1 00:00:00 1970|0+)$' "$tmp/headers" \
    || fail "$exe carries a link time: $(grep Time/Date "$tmp/headers")"
  grep -q 'no symbols' <("$objdump" -t "$f") || fail "$exe is not stripped"
  ! grep -qE '\.debug_' "$tmp/headers" || fail "$exe has debug sections"
  ! grep -qaF -e "$src" -e "$win" "$f" || fail "$exe holds a build path"
  # The icon: a group of icon pictures in the resources (type 14, RT_GROUP_ICON).
  x86_64-w64-mingw32-windres -i "$f" -O rc > "$tmp/resources" 2>/dev/null
  grep -q 'RT_GROUP_ICON' "$tmp/resources" || fail "$exe has no icon"
done

"$wine" wineboot -i > /dev/null 2>&1
"$wineserver" -p
"$wineserver" -w
appdata=$(unix "$("$wine" cmd /c 'echo %APPDATA%' | tr -d '\r')")
[ -d "$appdata" ] || fail "no %APPDATA% ($appdata)"
settings=$appdata/jqz6811/jqz6811.ini
files_of() { (cd "$1" && find . -type f | sort); }

# Installed: every file of the setup, the Start menu entries, the uninstall entry and the file
# types; the programs run from there.
check_installed() { # root-key install-folder start-menu-folder
  local root=$1 dir=$2 menu=$3
  local key="$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\jqz6811"
  local udir; udir=$(unix "$dir")
  (files_of "$stage"; echo ./uninstall.exe) | sort > "$tmp/expected"
  files_of "$udir" | grep -v '^./6811prog.log$' > "$tmp/installed"
  diff "$tmp/expected" "$tmp/installed" || fail "installed files differ from the setup's"
  for lnk in "JQZ 68(7)11 Programmer.lnk" "User Manual.lnk"; do
    [ -f "$(unix "$menu")/JQZ 68(7)11 Programmer/$lnk" ] || fail "no Start menu entry $lnk"
  done
  read_key "$key" && cp "$tmp/key" "$tmp/entry" || fail "no uninstall entry $key"
  v() { value_in "$tmp/entry" "$1"; }
  [ "$(v DisplayName)" = "JQZ 68(7)11 Programmer" ] || fail "DisplayName: $(v DisplayName)"
  [ "$(v DisplayVersion)" = "$version" ] || fail "DisplayVersion: $(v DisplayVersion)"
  [ "$(v Publisher)" = "The JQZ 6811 project" ] || fail "Publisher: $(v Publisher)"
  [ "$(v DisplayIcon)" = "\"$dir\\jqz6811.exe\",0" ] || fail "DisplayIcon: $(v DisplayIcon)"
  [ "$(v InstallLocation)" = "$dir" ] || fail "InstallLocation: $(v InstallLocation)"
  [ $(( $(v EstimatedSize) )) -gt 10000 ] || fail "EstimatedSize: $(v EstimatedSize)"
  [[ "$(v QuietUninstallString)" == "\"$dir\\uninstall.exe\" "*" /S" ]] \
    || fail "QuietUninstallString: $(v QuietUninstallString)"
  for ext in .s19:jqz6811.srec .s28:jqz6811.srec .hex:jqz6811.ihex .ihx:jqz6811.ihex; do
    [ "$(reg_value "$root\\Software\\Classes\\${ext%%:*}" "")" = "${ext#*:}" ] || fail "${ext%%:*} does not open in the program"
  done
  local command; command=$(reg_value "$root\\Software\\Classes\\jqz6811.srec\\shell\\open\\command" "")
  [ "$command" = "\"$dir\\jqz6811.exe\" \"%1\"" ] || fail "the S-records' open command: $command"
  # A double-click runs the command registered: the program loads the file (its log names it).
  printf 'S1061000010203E3\r\nS9030000FC\r\n' > "$WINEPREFIX/drive_c/a file.s19"
  local exe=${command#\"}; exe=${exe%%\"*}
  run "$exe" --print-log 'C:\a file.s19' > "$tmp/log" 2> "$tmp/err"
  [ "$rc" -eq 0 ] || { cat "$tmp/log" "$tmp/err"; fail "the program did not load the file (exit $rc)"; }
  grep -qxF 'Reading file : C:\a file.s19' <(tr -d '\r' < "$tmp/log") || { cat "$tmp/log"; fail "the log does not name the file"; }
  run "$dir\\jqz6811-cli.exe" --help > "$tmp/help" 2>&1
  [ "$rc" -eq 0 ] && grep -q 'COM port, e.g. COM3' "$tmp/help" || { cat "$tmp/help"; fail "jqz6811-cli.exe --help"; }
  run "$dir\\jqz6811-cli.exe" convert 'C:\a file.s19' 'C:\a file.bin' > "$tmp/convert" 2>&1
  [ "$rc" -eq 0 ] || { cat "$tmp/convert"; fail "jqz6811-cli.exe convert (exit $rc)"; }
  [ "$(od -An -tx1 -j4096 -N3 "$WINEPREFIX/drive_c/a file.bin" | tr -d ' ')" = 010203 ] || fail "convert wrote other bytes"
}

# Uninstalled: nothing of the program is left but the settings.
check_uninstalled() { # root-key install-folder start-menu-folder
  local root=$1 dir=$2 menu=$3
  [ ! -e "$(unix "$dir")" ] || { ls -R "$(unix "$dir")"; fail "$dir is left"; }
  [ ! -e "$(unix "$menu")/JQZ 68(7)11 Programmer" ] || fail "the Start menu folder is left"
  ! reg_exists "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\jqz6811" || fail "the uninstall entry is left"
  for k in jqz6811.srec jqz6811.ihex .s19 .s28 .ihx; do
    ! reg_exists "$root\\Software\\Classes\\$k" || fail "Software\\Classes\\$k is left"
  done
}

uninstall() { # install-folder mode [options]
  local dir=$1 mode=$2; shift 2
  run "$dir\\uninstall.exe" "/$mode" /S "$@"
  [ "$rc" -eq 0 ] || fail "the uninstaller exits $rc"
  # The uninstaller runs on from a copy in %TEMP%.
  "$wineserver" -w
}

step "per machine: an older version, then this one over it"
older=$tmp/jqz6811-0.9-setup.exe
"$win/installer/make-setup.sh" 0.9 "$older" -DCOMPRESSOR=zlib > "$tmp/older.log" 2>&1 || { cat "$tmp/older.log"; fail "the older setup"; }
machine_dir='C:\Program Files\jqz6811'
machine_menu='C:\ProgramData\Microsoft\Windows\Start Menu\Programs'
run "$older" /S /AllUsers
[ "$rc" -eq 0 ] || fail "the older setup exits $rc"
"$wineserver" -w
mkdir -p "$(dirname "$settings")"
printf 'COMM_PORT=COM3\r\n' > "$settings"
run "$setup" /S /AllUsers
[ "$rc" -eq 0 ] || fail "the upgrade exits $rc"
"$wineserver" -w
[ "$(cat "$settings")" = $'COMM_PORT=COM3\r' ] || fail "the upgrade lost the settings"
check_installed HKLM "$machine_dir" "$machine_menu"

step "an older setup over a newer version"
run "$older" /S /AllUsers
[ "$rc" -eq 3 ] || fail "the older setup over a newer one exits $rc, not 3"
"$wineserver" -w
[ "$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\jqz6811' DisplayVersion)" = "$version" ] \
  || fail "the older setup replaced the newer version"

step "uninstall per machine"
# A file type another program has taken since stays that program's.
"$wine" reg add 'HKLM\Software\Classes\.hex' /ve /d other.hex /f > /dev/null
uninstall "$machine_dir" AllUsers
check_uninstalled HKLM "$machine_dir" "$machine_menu"
[ "$(reg_value 'HKLM\Software\Classes\.hex' "")" = other.hex ] || fail "the uninstall took .hex from another program"
[ -f "$settings" ] || fail "the uninstall removed the settings"

step "per user, with PATH"
user_dir="$("$wine" cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')\\Programs\\jqz6811"
user_menu="$("$wine" cmd /c 'echo %APPDATA%' | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs"
"$wine" reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d '%USERPROFILE%\bin' /f > /dev/null
run "$setup" /S /CurrentUser /PATH
[ "$rc" -eq 0 ] || fail "the per-user setup exits $rc"
"$wineserver" -w
check_installed HKCU "$user_dir" "$user_menu"
[ "$(reg_value 'HKCU\Environment' Path)" = "%USERPROFILE%\\bin;$user_dir" ] || fail "PATH: $(reg_value 'HKCU\Environment' Path)"
! reg_exists 'HKLM\Software\Classes\jqz6811.srec' || fail "a per-user install wrote the machine's file types"
uninstall "$user_dir" CurrentUser /PURGE
check_uninstalled HKCU "$user_dir" "$user_menu"
[ "$(reg_value 'HKCU\Environment' Path)" = '%USERPROFILE%\bin' ] || fail "PATH after the uninstall: $(reg_value 'HKCU\Environment' Path)"
[ ! -e "$settings" ] || fail "/PURGE left the settings"

step "per user, no file types, a PATH too long to change"
long=$(printf 'C:\\tools\\%04d;' $(seq 1 120))
"$wine" reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$long" /f > /dev/null
run "$setup" /S /CurrentUser /PATH /NOASSOC
[ "$rc" -eq 0 ] || fail "the setup with /NOASSOC exits $rc"
"$wineserver" -w
[ "$(reg_value 'HKCU\Environment' Path)" = "$long" ] || fail "a PATH of ${#long} characters was changed"
! reg_exists 'HKCU\Software\Classes\.s19' || fail "/NOASSOC wrote the file types"
uninstall "$user_dir" CurrentUser
[ "$(reg_value 'HKCU\Environment' Path)" = "$long" ] || fail "the uninstall changed a long PATH"
[ ! -e "$(unix "$user_dir")" ] || fail "$user_dir is left"

step "reproducible: the setup and the command-line program built again"
cp "$setup" "$tmp/first-setup.exe"
cp "$stage/jqz6811-cli.exe" "$tmp/first-cli.exe"
rm -f "$setup" "$win/src/cli/jqz6811-cli.exe"
sleep 1
cmake --build "$win" --target windows-installer > "$tmp/build.log" 2>&1 || { cat "$tmp/build.log"; fail "windows-installer, again"; }
cmp "$tmp/first-cli.exe" "$stage/jqz6811-cli.exe" || fail "jqz6811-cli.exe linked again differs"
cmp "$tmp/first-setup.exe" "$setup" || fail "the setup built again differs"
echo "the Windows setup program: ok ($SECONDS s)"
