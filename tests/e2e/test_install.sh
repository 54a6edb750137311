#!/usr/bin/env bash
# cmake --install puts the program, its dhelp folder, the manual, the menu entry, the MIME
# package of its file types and the icon in their places under the prefix. Argument 1: the build folder.
set -euo pipefail
build=$1
# The package test makes the build's generated files again; one of the two at a time, also
# across two test runs of one build.
exec 9> "$build/.generated-files.lock"
flock 9
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null

fail() { echo "FAIL: $*"; exit 1; }
[ -x "$prefix/bin/jqz6811" ] || fail "no bin/jqz6811"
share=$prefix/share/jqz6811
for f in EA9 E9 E20 A8 A8_48 K4 K1 KA4 F1 KS4 KS8 KS2 PH8 P2 L6; do
  head -c 6 "$share/dhelp/$f.rtf" | grep -q '{\\rtf1' || fail "dhelp/$f.rtf"
done
for f in EA9_PLCC52 E_PLCC52 E_QFP64 E_SDIP56 A8_PLCC52 A8_DIP48 K_PLCC84 K_QFP80 \
         KA_PLCC68 F1_PLCC68 KS_PLCC68 PH8_PLCC84 P2_PLCC84 L6_PLCC68; do
  # an Enhanced Metafile: record type 1 (the header) and the signature " EMF" at offset 40
  [ "$(od -An -tx1 -N4 "$share/dhelp/$f.emf" | tr -d ' ')" = 01000000 ] || fail "dhelp/$f.emf header"
  [ "$(dd if="$share/dhelp/$f.emf" bs=1 skip=40 count=4 2>/dev/null)" = " EMF" ] || fail "dhelp/$f.emf"
done
[ "$(head -c 5 "$share/j11prog.pdf")" = "%PDF-" ] || fail "j11prog.pdf"
grep -q '^Exec=jqz6811 %f$' "$prefix/share/applications/jqz6811.desktop" || fail "desktop entry"
grep -q 'type="text/x-srecord"' "$prefix/share/mime/packages/jqz6811.xml" || fail "MIME package"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/jqz6811.svg" || fail "icon"
echo "installed layout complete"
