#!/usr/bin/env bash
# Times our S-record reader and srec_cat on the same 16 MB S28 file.
# Argument 1: the build folder (default: build).
set -euo pipefail
build=${1:-build}
"$build/bench/jqz_bench" --benchmark_filter='S28' --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true
file=$(dirname "$(mktemp -u)")/jqz_bench_16mb.s28
out=$(mktemp)
trap 'rm -f "$out"' EXIT
echo "srec_cat $file -> binary:"
for i in 1 2 3; do
  /usr/bin/time -f "  %e s elapsed, %M KB peak memory" srec_cat "$file" -motorola -o "$out" -binary
done
