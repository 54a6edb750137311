#!/usr/bin/env bash
# Our S-record path against SRecord's on the same 15 MB S28 file:
#  - the reader benchmark (when the benchmarks are built) and srec_cat converting its file;
#  - the CPU time (user + system) of `jqz6811-cli convert big.s28 out.bin`, the whole path of
#    file read, parse, image and write, beside that of `srec_info big.s28`, three runs each.
# Argument 1: the build folder (default: build).
set -euo pipefail
build=${1:-build}
cli="$build/src/cli/jqz6811-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ -x "$build/bench/jqz_bench" ]]; then
  "$build/bench/jqz_bench" --benchmark_filter='S28' --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true
  file=$(dirname "$(mktemp -u)")/jqz_bench_16mb.s28
  echo "srec_cat $file -> binary:"
  for i in 1 2 3; do
    /usr/bin/time -f "  %e s elapsed, %M KB peak memory" srec_cat "$file" -motorola -o "$work/cat.bin" -binary
  done
fi

big="$work/big.s28"
srec_cat -generate 0 0x600000 -random -o "$big"
echo "big.s28: $(stat -c %s "$big") bytes"
# CPU seconds (user + system) of one run of the command.
cpu() {
  /usr/bin/time -f "%U %S" -o "$work/time" "$@" >/dev/null 2>&1 || true
  awk '{ printf "%.3f", $1 + $2 }' "$work/time"
}
best_info=""
best_cli=""
for i in 1 2 3; do
  info=$(cpu srec_info "$big")
  conv=$(cpu "$cli" convert "$big" "$work/out.bin")
  echo "run $i: srec_info ${info} s CPU, jqz6811-cli convert ${conv} s CPU"
  best_info=$(awk -v a="$info" -v b="$best_info" 'BEGIN { print (b == "" || a < b) ? a : b }')
  best_cli=$(awk -v a="$conv" -v b="$best_cli" 'BEGIN { print (b == "" || a < b) ? a : b }')
done
awk -v i="$best_info" -v c="$best_cli" 'BEGIN {
  printf "best of 3: srec_info %.3f s, jqz6811-cli convert %.3f s CPU: %.0f %% of srec_info\n",
         i, c, (i > 0 ? 100 * c / i : 0) }'
