#!/usr/bin/env bash
# Runs one test program in a world of its own: a fresh folder as its working folder, HOME,
# XDG folders and TMPDIR, removed afterwards; time zone UTC, the C.UTF-8 locale. So a test
# sees no settings file or log of the user's or of another test, and two runs of the same
# build at once do not meet.
set -uo pipefail
base=$(mktemp -d "${TMPDIR:-/tmp}/jqz-test-XXXXXX") || exit 1
trap 'rm -rf "$base"' EXIT
mkdir -p "$base"/{home,config,state,cache,data,runtime,tmp}
# The base and its tmp can be passed through by other users, as /tmp can (tests that drop
# their privileges); the runtime folder is its owner's alone.
chmod 755 "$base"; chmod 1777 "$base/tmp"; chmod 700 "$base/runtime"
export HOME="$base/home" XDG_CONFIG_HOME="$base/config" XDG_STATE_HOME="$base/state" \
  XDG_CACHE_HOME="$base/cache" XDG_DATA_HOME="$base/data" XDG_RUNTIME_DIR="$base/runtime" \
  TMPDIR="$base/tmp" TZ=UTC LC_ALL=C.UTF-8 LANG=C.UTF-8
unset LANGUAGE
# Fonts: a fontconfig file of the test's own over the system's rules, whose only fonts are
# those of one font set, so that no font the machine happens to have decides a result.
#   JQZ_FONT_SET=dejavu (default): DejaVu (fonts-dejavu-core) for every family.
#   JQZ_FONT_SET=noto: a desktop with Noto (fonts-noto-core) as its sans-serif and serif
#     families, and DejaVu Sans Mono as its monospace (fonts-noto-core has none).
# JQZ_MONOSPACE_FAMILY: the desktop's "monospace" resolves to this family (one that need not be
# fixed-pitch).
dejavu_dir=/usr/share/fonts/truetype/dejavu
noto_dir=${JQZ_NOTO_FONT_DIR:-/usr/share/fonts/truetype/noto}
font_dirs="<dir>$dejavu_dir</dir>"
font_rules=""
case ${JQZ_FONT_SET:-dejavu} in
  dejavu) ;;
  noto)
    [ -f "$noto_dir/NotoSans-Regular.ttf" ] || { echo "isolated.sh: no Noto fonts in $noto_dir (fonts-noto-core)" >&2; exit 1; }
    font_dirs="<dir>$noto_dir</dir>$font_dirs"
    for generic in sans-serif:"Noto Sans" serif:"Noto Serif"; do
      font_rules+="<alias binding=\"strong\"><family>${generic%%:*}</family><prefer><family>${generic#*:}</family></prefer></alias>"
    done ;;
  *) echo "isolated.sh: unknown JQZ_FONT_SET ${JQZ_FONT_SET}" >&2; exit 1 ;;
esac
[ -f "$dejavu_dir/DejaVuSans.ttf" ] || { echo "isolated.sh: no DejaVu fonts in $dejavu_dir (fonts-dejavu-core)" >&2; exit 1; }
if [ -n "${JQZ_MONOSPACE_FAMILY:-}" ]; then
  font_rules+="<match target=\"pattern\"><test name=\"family\"><string>monospace</string></test><edit name=\"family\" mode=\"prepend\" binding=\"strong\"><string>$JQZ_MONOSPACE_FAMILY</string></edit></match>"
fi
mkdir -p "$base/fontconfig"
cat > "$base/fontconfig/fonts.conf" <<EOF_CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  $font_rules
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <reset-dirs/>
  $font_dirs
  <cachedir>$base/cache/fontconfig</cachedir>
</fontconfig>
EOF_CONF
export FONTCONFIG_FILE="$base/fontconfig/fonts.conf"
cd "$base" || exit 1
"$@"
