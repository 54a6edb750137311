#!/usr/bin/env bash
# The manual's PDF is dated at SOURCE_DATE_EPOCH in UTC, and rendered the same byte for byte,
# whatever the builder's time zone and locale: east and west of UTC, and with a locale whose
# decimal separator is a comma when the machine has one.
# Argument 1: the build folder.
set -euo pipefail
build=$(cd "$1" && pwd)
tool=$build/tools/make_manual/make_manual
fail() { echo "FAIL: $*"; exit 1; }
[ -x "$tool" ] || { echo "no make_manual in this build: nothing to test"; exit 0; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cat > "$tmp/manual.html" <<'HTML'
<html><body><h1>Manual</h1><p>A page of text, 1.5 lines and 2,5 columns.</p></body></html>
HTML
export SOURCE_DATE_EPOCH=1700000000   # 2023-11-14 22:13:20 UTC: the next day in Tokyo
locales=(C.UTF-8)
if locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8'; then locales+=(de_DE.UTF-8); fi
for tz in UTC Europe/Berlin America/New_York Asia/Tokyo; do
  [ "$tz" = UTC ] || [ -f "/usr/share/zoneinfo/$tz" ] || fail "no time zone data for $tz (tzdata)"
  for loc in "${locales[@]}"; do
    out=$tmp/${tz//\//_}-$loc.pdf
    TZ=$tz LC_ALL=$loc LANG=$loc "$tool" "$tmp/manual.html" "$out" > "$tmp/log" 2>&1 \
      || { cat "$tmp/log"; fail "make_manual in $tz, $loc"; }
    date=$(grep -ao '/CreationDate ([^)]*)' "$out")
    [ "$date" = "/CreationDate (D:20231114221320Z)" ] || fail "in $tz, $loc the manual is dated $date"
    cmp "$tmp/UTC-C.UTF-8.pdf" "$out" || fail "the manual made in $tz, $loc differs from that made in UTC"
  done
done
echo "manual dated 2023-11-14 22:13:20 UTC in every time zone and locale (${locales[*]})"
