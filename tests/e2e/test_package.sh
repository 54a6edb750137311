#!/usr/bin/env bash
# The Debian packages: built by the package target from the finished build, jqz6811-cli (the
# command-line programmer and the simulator, needing only libc and libstdc++) and jqz6811 (the
# window program and its files, depending on jqz6811-cli of its version). Each holds exactly its
# files under /usr, lintian finds no errors and no missing hardening, the programs unpacked
# from them run and find their documents and manual, jqz6811-cli alone reads a device from the
# simulator, and the packages are reproducible: dated at the source's date throughout, and built
# from two fresh clones of the last commit in two folders, with two umasks, time zones and
# locales, the same bytes.
# Argument 1: the build folder.
set -euo pipefail
build=$(cd "$1" && pwd)
# This test makes the build's packages and generated files again, and the install test reads
# them: one of the two at a time, also across two test runs of one build.
exec 9> "$build/.generated-files.lock"
flock 9
tmp=$(mktemp -d)
simpid=""
cleanup() { [ -n "$simpid" ] && kill "$simpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

version=$("$build/src/cli/jqz6811-cli" --version | sed -n 's/^jqz6811-cli //p')
[ -n "$version" ] || fail "jqz6811-cli --version prints no version"
arch=$(dpkg --print-architecture)
packages=(jqz6811-cli jqz6811)
deb_of() { echo "$2/${1}_${version}_${arch}.deb"; }
for p in "${packages[@]}"; do rm -f "$(deb_of "$p" "$build")"; done
cmake --build "$build" --target package > "$tmp/package.log" 2>&1 || { cat "$tmp/package.log"; fail "package target"; }
for p in "${packages[@]}"; do [ -f "$(deb_of "$p" "$build")" ] || fail "no $(deb_of "$p" "$build")"; done
cli_deb=$(deb_of jqz6811-cli "$build")
deb=$(deb_of jqz6811 "$build")

# Dated: every member of both packages at the source's date (the last commit's, when this is a
# clone and SOURCE_DATE_EPOCH is not set), and so are the change logs and the manual.
source=$(cd "$(dirname "$0")/../.." && pwd)
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  epoch=$SOURCE_DATE_EPOCH
elif epoch=$(git -C "$source" log -1 --format=%ct 2>/dev/null) && [ -n "$epoch" ]; then
  :
else
  epoch=
fi
: > "$tmp/mtimes"
for p in "${packages[@]}"; do
  dpkg-deb --fsys-tarfile "$(deb_of "$p" "$build")" | tar -tv --full-time --utc | awk '{ print $4 "T" $5 }' >> "$tmp/mtimes"
  dpkg-deb --ctrl-tarfile "$(deb_of "$p" "$build")" | tar -tv --full-time --utc | awk '{ print $4 "T" $5 }' >> "$tmp/mtimes"
done
[ "$(sort -u "$tmp/mtimes" | wc -l)" -eq 1 ] || { sort -u "$tmp/mtimes"; fail "members of the packages carry different dates"; }
member_date=$(head -1 "$tmp/mtimes")
for p in "${packages[@]}"; do
  changelog_date=$(dpkg-deb --fsys-tarfile "$(deb_of "$p" "$build")" | tar -xO "./usr/share/doc/$p/changelog.gz" \
    | zcat | sed -n 's/^ -- .*>  //p')
  [ "$(date -u -d "$changelog_date" +%s)" = "$(date -u -d "${member_date/T/ }" +%s)" ] \
    || fail "$p: change log dated $changelog_date, members $member_date"
done
pdf_date=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/jqz6811/j11prog.pdf \
  | grep -ao '/CreationDate (D:[0-9]*Z)' | grep -o '[0-9]\{14\}')
[ "$pdf_date" = "$(date -u -d "${member_date/T/ }" +%Y%m%d%H%M%S)" ] || fail "manual dated $pdf_date, members $member_date"
if [ -n "$epoch" ]; then
  [ "$(date -u -d "${member_date/T/ }" +%s)" = "$epoch" ] || fail "package dated $member_date, the source $epoch"
fi
# Every folder is packed 0755 and every file 0644 or 0755, root's, whatever the umask.
for p in "${packages[@]}"; do
  dpkg-deb -c "$(deb_of "$p" "$build")" | awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root") { print }' > "$tmp/dirs"
  [ ! -s "$tmp/dirs" ] || { cat "$tmp/dirs"; fail "$p: folders packed other than root's 0755"; }
done

# Reproducible anywhere: the packages of the last commit built from two fresh clones in two
# folders of different names and depths, one with umask 027, the other in another time zone
# and locale, are the same bytes; diffoscope shows why where they are not. The clones build
# only what the packages need, as this build is configured, through the compiler cache.
if git -C "$source" rev-parse --verify -q HEAD > /dev/null; then
  commit=$(git -C "$source" rev-parse HEAD)
  cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
  generator=$(cache_value CMAKE_GENERATOR)
  build_type=$(cache_value CMAKE_BUILD_TYPE)
  werror=$(cache_value JQZ_WERROR)
  other_locale=C.UTF-8
  if locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8'; then other_locale=de_DE.UTF-8; fi
  clones=$tmp/clones
  # The compiler cache takes paths below the clones' folder as relative and leaves the locale
  # (the language of the compiler's messages) out, so the second clone, and a later run of this
  # test, finds the objects of the first; the cache is the user's, not the test's.
  export CCACHE_BASEDIR=$clones CCACHE_NOHASHDIR=1 CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:+$CCACHE_SLOPPINESS,}locale"
  if [ -z "${CCACHE_DIR:-}" ] && [ -n "${JQZ_CCACHE_DIR:-}" ]; then export CCACHE_DIR=$JQZ_CCACHE_DIR; fi
  clone_package() {  # folder, umask, then the build's environment
    local dir=$1 mask=$2
    shift 2
    mkdir -p "$(dirname "$dir")"
    (
      umask "$mask"
      export "$@"
      git clone --quiet --no-hardlinks "$source" "$dir"
      git -C "$dir" checkout --quiet --detach "$commit"
      cmake -S "$dir" -B "$dir/build" -G "$generator" -DCMAKE_BUILD_TYPE="$build_type" \
        -DJQZ_WERROR="$werror" -DJQZ_BUILD_TESTS=OFF -DJQZ_BUILD_BENCH=OFF
      cmake --build "$dir/build" --target package
    ) > "$dir.log" 2>&1 || { tail -n 40 "$dir.log"; fail "packages from the clone in $dir"; }
  }
  first=$clones/a/jqz6811
  second=$clones/elsewhere/a-longer-folder-name/jqz6811-checkout
  clone_package "$first" 027 TZ=UTC LANG=C.UTF-8 LC_ALL=C.UTF-8
  clone_package "$second" 022 TZ=Asia/Tokyo LANG=$other_locale LC_ALL=$other_locale
  for p in "${packages[@]}"; do
    a=$(deb_of "$p" "$first/build")
    b=$(deb_of "$p" "$second/build")
    if ! cmp "$a" "$b"; then
      if command -v diffoscope > /dev/null; then
        diffoscope --no-progress --text - "$a" "$b" | head -n 300 || true
      else
        echo "(diffoscope, Debian package diffoscope-minimal, would show why)"
      fi
      fail "$p: the packages built in $first (umask 027) and $second (Asia/Tokyo, $other_locale) differ"
    fi
    dpkg-deb -c "$a" | awk '$1 ~ /^d/ && $1 != "drwxr-xr-x" { print }' > "$tmp/dirs"
    [ ! -s "$tmp/dirs" ] || { cat "$tmp/dirs"; fail "$p built with umask 027: folders packed other than 0755"; }
  done
  echo "packages of $commit from two clones: the same bytes"
else
  echo "not a git checkout: the packages are not built again from clones"
fi

# Control fields.
field() { dpkg-deb -f "$1" "$2"; }
dep_names() { sed 's/ ([^)]*)//g; s/, /\n/g; s/ | /\n/g' <<< "$1"; }
for p in "${packages[@]}"; do
  d=$(deb_of "$p" "$build")
  [ "$(field "$d" Package)" = "$p" ] || fail "Package: $(field "$d" Package)"
  [ "$(field "$d" Version)" = "$version" ] || fail "$p Version: $(field "$d" Version)"
  [ "$(field "$d" Section)" = electronics ] || fail "$p Section: $(field "$d" Section)"
  [ -n "$(field "$d" Maintainer)" ] || fail "$p: no Maintainer"
  description=$(field "$d" Description)
  [ "$(wc -l <<< "$description")" -gt 3 ] || fail "$p: no long description: $description"
done
[ "$(field "$cli_deb" Description | head -1)" != "$(field "$deb" Description | head -1)" ] \
  || fail "both packages have the summary $(field "$deb" Description | head -1)"
field "$cli_deb" Description | grep -q "Intel HEX" || fail "jqz6811-cli's description does not name Intel HEX"
depends=$(field "$deb" Depends)
for lib in libc6 libstdc++6 libqt6widgets6 libqt6svg6 libqt6printsupport6 libemf2svg1; do
  dep_names "$depends" | grep -qxF "$lib" || fail "jqz6811 Depends lacks $lib: $depends"
done
grep -qF "jqz6811-cli (= $version)" <<< "$depends" || fail "jqz6811 does not depend on jqz6811-cli $version: $depends"
[ "$(field "$deb" Recommends)" = xdg-utils ] || fail "jqz6811 Recommends: $(field "$deb" Recommends)"
# jqz6811-cli: for a headless bench, nothing besides the C and C++ runtime.
cli_depends=$(field "$cli_deb" Depends)
while read -r name; do
  case $name in libc6 | libstdc++6 | libgcc-s1) ;; *) fail "jqz6811-cli depends on $name: $cli_depends" ;; esac
done < <(dep_names "$cli_depends")
dep_names "$cli_depends" | grep -qxF libc6 || fail "jqz6811-cli Depends lacks libc6: $cli_depends"

# The file lists: these files (and in jqz6811 the dhelp folder's documents and drawings),
# nothing else.
check_contents() {  # package, then its files
  local d p=$1 path mode owner
  shift
  d=$(deb_of "$p" "$build")
  dpkg-deb -c "$d" | awk '$1 !~ /^d/ { print $1, $2, $6 }' > "$tmp/contents"
  for f in "$@"; do
    grep -q " \./$f$" "$tmp/contents" || fail "$p lacks /$f"
  done
  while read -r mode owner path; do
    path=${path#./}
    if [[ $path == usr/bin/* ]]; then
      [ "$mode $owner" = "-rwxr-xr-x root/root" ] || fail "/$path is $mode $owner"
    else
      [ "$mode $owner" = "-rw-r--r-- root/root" ] || fail "/$path is $mode $owner"
    fi
    case " $* " in *" $path "*) continue ;; esac
    [ "$p" = jqz6811 ] && [[ $path =~ ^usr/share/jqz6811/dhelp/[A-Za-z0-9_]+\.(rtf|emf)$ ]] \
      || fail "unexpected file /$path in $p"
  done < "$tmp/contents"
}
check_contents jqz6811-cli usr/bin/jqz6811-cli usr/bin/jqz6811-sim \
  usr/share/man/man1/jqz6811-cli.1.gz usr/share/man/man1/jqz6811-sim.1.gz \
  usr/share/doc/jqz6811-cli/copyright usr/share/doc/jqz6811-cli/changelog.gz
check_contents jqz6811 usr/bin/jqz6811 usr/share/jqz6811/j11prog.pdf \
  usr/share/applications/jqz6811.desktop \
  usr/share/mime/packages/jqz6811.xml \
  usr/share/icons/hicolor/scalable/apps/jqz6811.svg \
  usr/share/icons/hicolor/48x48/apps/jqz6811.png \
  usr/share/icons/hicolor/128x128/apps/jqz6811.png \
  usr/share/metainfo/org.example.jqz6811.metainfo.xml \
  usr/share/man/man1/jqz6811.1.gz \
  usr/share/doc/jqz6811/copyright usr/share/doc/jqz6811/changelog.gz
[ "$(grep -c '/dhelp/.*\.rtf$' "$tmp/contents")" -gt 0 ] || fail "no quick-info documents"
[ "$(grep -c '/dhelp/.*\.emf$' "$tmp/contents")" -gt 0 ] || fail "no package drawings"

# jqz6811-cli alone, as on a bench without the window program or Qt: its programs need no
# library besides the C and C++ runtime, and read a device from the simulator.
cli_root=$tmp/cli-root
dpkg-deb -x "$cli_deb" "$cli_root"
for b in jqz6811-cli jqz6811-sim; do
  ldd "$cli_root/usr/bin/$b" | awk '{ print $1 }' > "$tmp/libs"
  while read -r lib; do
    case $lib in linux-vdso.so.* | /lib*/ld-linux*.so.* | libc.so.6 | libm.so.6 | libstdc++.so.6 | libgcc_s.so.1) ;;
      *) fail "/usr/bin/$b of jqz6811-cli needs $lib" ;;
    esac
  done < "$tmp/libs"
done
"$cli_root/usr/bin/jqz6811-sim" --link "$tmp/pty" > "$tmp/sim.out" 2>&1 &
simpid=$!
for _ in $(seq 50); do [ -e "$tmp/pty" ] && break; sleep 0.1; done
[ -e "$tmp/pty" ] || { cat "$tmp/sim.out"; fail "jqz6811-sim of the package did not start"; }
XDG_CONFIG_HOME=$tmp/cli-config "$cli_root/usr/bin/jqz6811-cli" --port "$tmp/pty" \
  --device "MC68HC11  E9 (E28B)" --eeprom read "$tmp/eeprom.bin" --save-lowest 0xB600 \
  --save-highest 0xB7FF > "$tmp/read.out" 2> "$tmp/read.err" \
  || { cat "$tmp/read.err"; fail "jqz6811-cli of the package: read from jqz6811-sim"; }
grep -qF "Read Sequence completed successful." "$tmp/read.err" || { cat "$tmp/read.err"; fail "read log"; }
[ "$(stat -c %s "$tmp/eeprom.bin")" -eq 512 ] || fail "the EEPROM read is $(stat -c %s "$tmp/eeprom.bin") bytes"
kill "$simpid"; wait "$simpid" 2>/dev/null || true; simpid=""

# lintian: warnings are shown, errors fail.
lintian --tag-display-limit 0 "$cli_deb" "$deb" > "$tmp/lintian" 2>&1 || true
cat "$tmp/lintian"
if grep -q '^E: ' "$tmp/lintian"; then fail "lintian reports errors"; fi
if grep -q ' hardening-' "$tmp/lintian"; then fail "lintian finds the programs not hardened"; fi

# Unpacked together: the files are what they claim to be, and the programs run from the
# packaged layout.
root=$tmp/root
dpkg-deb -x "$cli_deb" "$root"
dpkg-deb -x "$deb" "$root"
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'; }
for s in 48 128; do
  png=$root/usr/share/icons/hicolor/${s}x${s}/apps/jqz6811.png
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "$s px icon is no PNG"
  [ "$(png_size "$png")" = "${s}x${s}" ] || fail "$s px icon is $(png_size "$png")"
done
# No icon draws text: no installed font decides their pixels.
for svg in "$source"/assets/icons/*.svg; do
  if grep -q '<text' "$svg"; then fail "${svg#"$source"/} draws text with whatever font is installed"; fi
done
for page in jqz6811 jqz6811-cli jqz6811-sim; do
  gz=$root/usr/share/man/man1/$page.1.gz
  gzip -t "$gz" || fail "$page.1.gz"
  zcat "$gz" > "$tmp/page"
  grep -q "^\.TH ${page^^} 1 .*$version" "$tmp/page" || fail "$page.1 has no title with $version"
done
# Every option a program lists in its --help is in its manual page.
# (The page is read whole first: grep -q leaving a pipe early would fail it under pipefail.)
for p in jqz6811 jqz6811-cli jqz6811-sim; do
  page=$(zcat "$root/usr/share/man/man1/$p.1.gz" | sed 's/\\-/-/g')
  for opt in $("$root/usr/bin/$p" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "$opt" <<< "$page" || fail "$p.1 does not describe $opt"
  done
done
appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.jqz6811.metainfo.xml" \
  > "$tmp/appstream" 2>&1 || { cat "$tmp/appstream"; fail "appstreamcli validate"; }
# The releases of the AppStream metadata are the change log's.
grep -qF "<release version=\"$version\" date=\"$(date -u -d "${member_date/T/ }" +%Y-%m-%d)\"/>" \
  "$root/usr/share/metainfo/org.example.jqz6811.metainfo.xml" || fail "AppStream lacks the release $version"
grep -q '^Icon=jqz6811$' "$root/usr/share/applications/jqz6811.desktop" || fail "desktop entry icon"
grep -q '^Exec=jqz6811 %f$' "$root/usr/share/applications/jqz6811.desktop" || fail "desktop entry takes no file"
desktop-file-validate "$root/usr/share/applications/jqz6811.desktop" || fail "desktop-file-validate"

# The file types: S-records and Intel HEX open in the program. The package names them in a
# MIME package of its own, since the shared MIME database has no name for them; installed,
# the triggers of shared-mime-info and desktop-file-utils make the caches that the desktop
# reads, as here.
for type in text/x-srecord text/x-ihex; do
  ! grep -q "type=\"$type\"" /usr/share/mime/packages/freedesktop.org.xml \
    || fail "$type is in the shared MIME database: the package need not name it"
done
update-mime-database "$root/usr/share/mime" > "$tmp/mime.log" 2>&1 || { cat "$tmp/mime.log"; fail "update-mime-database"; }
update-desktop-database "$root/usr/share/applications" || fail "update-desktop-database"
for glob in text/x-srecord:*.s19 text/x-srecord:*.s28 text/x-ihex:*.hex text/x-ihex:*.ihx; do
  grep -qF ":$glob" "$root/usr/share/mime/globs2" || fail "no glob $glob"
done
for type in text/x-srecord text/x-ihex; do
  default=$(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION XDG_DATA_HOME="$tmp/no-data" \
    XDG_DATA_DIRS="$root/usr/share" XDG_CONFIG_HOME="$tmp/no-config" xdg-mime query default "$type")
  [ "$default" = jqz6811.desktop ] || fail "xdg-mime query default $type: '$default'"
done
head -1 "$root/usr/share/doc/jqz6811/copyright" \
  | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' \
  || fail "copyright is not machine-readable"

for p in jqz6811 jqz6811-cli jqz6811-sim; do
  [ "$("$root/usr/bin/$p" --version)" = "$p $version" ] || fail "$p --version: $("$root/usr/bin/$p" --version)"
done
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_RUNTIME_DIR=$tmp/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$root/usr/bin/jqz6811-cli" devices > "$tmp/devices"
[ "$(wc -l < "$tmp/devices")" -eq 31 ] || fail "jqz6811-cli devices lists $(wc -l < "$tmp/devices") devices"
grep -qx 'MC68HC11  E9 (E28B)' "$tmp/devices" || fail "jqz6811-cli devices lacks the E9"
share=$root/usr/share/jqz6811
# Without a display: the check needs none.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/jqz6811" --check-files > "$tmp/check" 2>&1 \
  || { cat "$tmp/check"; fail "jqz6811 --check-files"; }
cat "$tmp/check"
grep -qx "program files: $share" "$tmp/check" || fail "the window program looks elsewhere than $share"
grep -qx "manual: $share/j11prog.pdf" "$tmp/check" || fail "the window program does not find its manual"
grep -q "^quick-info documents: \([0-9]*\) of \1 in $share/dhelp/$" "$tmp/check" || fail "documents"
grep -q "^package drawings: \([0-9]*\) of \1 in $share/dhelp/$" "$tmp/check" || fail "drawings"
echo "packages $cli_deb and $deb complete"
