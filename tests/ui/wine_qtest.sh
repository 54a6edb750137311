#!/usr/bin/env bash
# Runs a window test program built for Windows under Wine, on the offscreen platform, and
# prints its report: wine_qtest.sh <wine-run.sh> <prefix> <program.exe> [args...]. Under Wine
# QtTest's report reaches a pipe only through a file (Z: is the file system's root).
set -uo pipefail
run=$1 prefix=$2 program=$3; shift 3
report_dir=$(mktemp -d "${TMPDIR:-/tmp}/jqz-qtest-XXXXXX") || exit 1
trap 'rm -rf "$report_dir"' EXIT
"$run" "$prefix" "$program" -platform offscreen -o "Z:$report_dir/report.txt,txt" "$@"
rc=$?
cat "$report_dir/report.txt" 2>/dev/null || echo "no report from $program"
exit "$rc"
