#!/usr/bin/env bash
# The Debian package: built by the package target from the finished build, it holds exactly the
# programs and their files under /usr, lintian finds no errors and no missing hardening, the
# programs unpacked from it run and find their documents and manual, and it is reproducible:
# dated at the source's date throughout, and built again later, the same bytes.
# Argument 1: the build folder.
set -euo pipefail
build=$(cd "$1" && pwd)
# This test makes the build's package and generated files again, and the install test reads
# them: one of the two at a time, also across two test runs of one build.
exec 9> "$build/.generated-files.lock"
flock 9
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

version=$("$build/src/cli/jqz6811-cli" --version | sed -n 's/^jqz6811-cli //p')
[ -n "$version" ] || fail "jqz6811-cli --version prints no version"
deb=$build/jqz6811_${version}_$(dpkg --print-architecture).deb
rm -f "$deb"
cmake --build "$build" --target package > "$tmp/package.log" 2>&1 || { cat "$tmp/package.log"; fail "package target"; }
[ -f "$deb" ] || fail "no $deb"

# Reproducible: everything dated is dated at the source's date (the last commit's, when this is
# a clone and SOURCE_DATE_EPOCH is not set), and the generated files made again a moment later
# give the same package.
source=$(cd "$(dirname "$0")/../.." && pwd)
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  epoch=$SOURCE_DATE_EPOCH
elif epoch=$(git -C "$source" log -1 --format=%ct 2>/dev/null) && [ -n "$epoch" ]; then
  :
else
  epoch=
fi
dpkg-deb --fsys-tarfile "$deb" | tar -tv --full-time --utc | awk '{ print $4 "T" $5 }' | sort -u > "$tmp/mtimes"
dpkg-deb --ctrl-tarfile "$deb" | tar -tv --full-time --utc | awk '{ print $4 "T" $5 }' | sort -u >> "$tmp/mtimes"
[ "$(sort -u "$tmp/mtimes" | wc -l)" -eq 1 ] || { cat "$tmp/mtimes"; fail "members of the package carry different dates"; }
member_date=$(head -1 "$tmp/mtimes")
changelog_date=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/jqz6811/changelog.gz | zcat \
  | sed -n 's/^ -- .*>  //p')
[ "$(date -u -d "$changelog_date" +%s)" = "$(date -u -d "${member_date/T/ }" +%s)" ] \
  || fail "change log dated $changelog_date, members $member_date"
pdf_date=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/jqz6811/j11prog.pdf \
  | grep -ao '/CreationDate (D:[0-9]*Z)' | grep -o '[0-9]\{14\}')
[ "$pdf_date" = "$(date -u -d "${member_date/T/ }" +%Y%m%d%H%M%S)" ] || fail "manual dated $pdf_date, members $member_date"
if [ -n "$epoch" ]; then
  [ "$(date -u -d "${member_date/T/ }" +%s)" = "$epoch" ] || fail "package dated $member_date, the source $epoch"
fi
cp "$deb" "$tmp/first.deb"
rm -f "$build/j11prog.pdf" "$build"/debian/changelog.gz "$build"/man/*.gz "$build"/icons/*/*.png "$deb"
sleep 1.1
cmake --build "$build" --target package > "$tmp/package.log" 2>&1 || { cat "$tmp/package.log"; fail "package target, again"; }
cmp "$tmp/first.deb" "$deb" || fail "a second build of the package differs from the first"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = jqz6811 ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = electronics ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
names=$(sed 's/ ([^)]*)//g; s/, /\n/g' <<< "$depends")
for lib in libc6 libstdc++6 libqt6widgets6 libqt6svg6 libqt6printsupport6 libemf2svg1; do
  grep -qxF "$lib" <<< "$names" || fail "Depends lacks $lib: $depends"
done
description=$(field Description)
[ "$(wc -l <<< "$description")" -gt 3 ] || fail "no long description: $description"

# The file list: these files and the dhelp folder's documents and drawings, nothing else.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' > "$tmp/contents"
expected=(
  usr/bin/jqz6811 usr/bin/jqz6811-cli usr/bin/jqz6811-sim
  usr/share/jqz6811/j11prog.pdf
  usr/share/applications/jqz6811.desktop
  usr/share/mime/packages/jqz6811.xml
  usr/share/icons/hicolor/scalable/apps/jqz6811.svg
  usr/share/icons/hicolor/48x48/apps/jqz6811.png
  usr/share/icons/hicolor/128x128/apps/jqz6811.png
  usr/share/metainfo/org.example.jqz6811.metainfo.xml
  usr/share/man/man1/jqz6811.1.gz usr/share/man/man1/jqz6811-cli.1.gz
  usr/share/man/man1/jqz6811-sim.1.gz
  usr/share/doc/jqz6811/copyright usr/share/doc/jqz6811/changelog.gz
)
for f in "${expected[@]}"; do
  grep -q " \./$f$" "$tmp/contents" || fail "package lacks /$f"
done
for b in jqz6811 jqz6811-cli jqz6811-sim; do
  grep -q "^-rwxr-xr-x root/root \./usr/bin/$b$" "$tmp/contents" || fail "/usr/bin/$b not root's 0755"
done
while read -r mode owner path; do
  path=${path#./}
  case " ${expected[*]} " in *" $path "*) continue ;; esac
  [[ $path =~ ^usr/share/jqz6811/dhelp/[A-Za-z0-9_]+\.(rtf|emf)$ ]] || fail "unexpected file /$path"
  [ "$mode $owner" = "-rw-r--r-- root/root" ] || fail "/$path is $mode $owner"
done < "$tmp/contents"
[ "$(grep -c '/dhelp/.*\.rtf$' "$tmp/contents")" -gt 0 ] || fail "no quick-info documents"
[ "$(grep -c '/dhelp/.*\.emf$' "$tmp/contents")" -gt 0 ] || fail "no package drawings"

# lintian: warnings are shown, errors fail.
lintian --tag-display-limit 0 "$deb" > "$tmp/lintian" 2>&1 || true
cat "$tmp/lintian"
if grep -q '^E: ' "$tmp/lintian"; then fail "lintian reports errors"; fi
if grep -q ' hardening-' "$tmp/lintian"; then fail "lintian finds the programs not hardened"; fi

# Unpacked: the files are what they claim to be, and the programs run from the packaged layout.
root=$tmp/root
dpkg-deb -x "$deb" "$root"
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'; }
for s in 48 128; do
  png=$root/usr/share/icons/hicolor/${s}x${s}/apps/jqz6811.png
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "$s px icon is no PNG"
  [ "$(png_size "$png")" = "${s}x${s}" ] || fail "$s px icon is $(png_size "$png")"
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
echo "package $deb complete"
