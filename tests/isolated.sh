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
# JQZ_MONOSPACE_FAMILY: the desktop's "monospace" resolves to this family (one that need not be
# fixed-pitch), through a fontconfig file of the test's own over the system's.
if [ -n "${JQZ_MONOSPACE_FAMILY:-}" ]; then
  mkdir -p "$base/fontconfig"
  cat > "$base/fontconfig/fonts.conf" <<EOF_CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <match target="pattern">
    <test name="family"><string>monospace</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>$JQZ_MONOSPACE_FAMILY</string></edit>
  </match>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <cachedir>$base/cache/fontconfig</cachedir>
</fontconfig>
EOF_CONF
  export FONTCONFIG_FILE="$base/fontconfig/fonts.conf"
fi
cd "$base" || exit 1
"$@"
