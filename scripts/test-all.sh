#!/usr/bin/env bash
# Builds everything from scratch and runs every test: the normal build with all tests (the
# fault soak among them), then the core, link, window and HC11 model tests under AddressSanitizer+UBSan,
# the core and link tests with a short fault soak under ThreadSanitizer, then the Windows
# build (MinGW-w64) of the core, the command-line program and their tests, run under Wine,
# with the end-to-end run of jqz6811-cli.exe against the Linux simulator.
#
# Every suite runs even when an earlier one failed; the summary of every suite comes at the
# end, and the script fails when any suite failed. Warnings are errors here (JQZ_WERROR).
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
summary=()
failed_suites=0
total_passed=0
total_failed=0

run_suite() { # dir label-regex cmake-args...
  local dir=$1 labels=$2; shift 2
  local start=$SECONDS log="$dir.ctest.log" rc=0
  rm -f "$log"
  if ! cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJQZ_WERROR=ON "$@" \
      > "$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"
    summary+=("$dir: configure failed (see $dir.configure.log)")
    failed_suites=$((failed_suites + 1))
    return 1
  fi
  if ! cmake --build "$dir" -j "$jobs"; then
    summary+=("$dir: build failed")
    failed_suites=$((failed_suites + 1))
    return 1
  fi
  local select=()
  [ -n "$labels" ] && select=(-L "$labels")
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600 "${select[@]}" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed|tests failed' "$log" | tail -1)
  # "100% tests passed, 0 tests failed out of 474"
  local failed_n total_n
  failed_n=$(sed -nE 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/p' <<< "$line")
  total_n=$(sed -nE 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/p' <<< "$line")
  if [ -n "$total_n" ]; then
    total_passed=$((total_passed + total_n - failed_n))
    total_failed=$((total_failed + failed_n))
  fi
  if [ "$rc" -ne 0 ] || [ -z "$line" ]; then
    failed_suites=$((failed_suites + 1))
    [ -z "$line" ] && line="no test summary (ctest exit $rc)"
  fi
  summary+=("$dir: $line ($((SECONDS - start)) s)")
  return "$rc"
}

run_suite build ""
run_suite build-asan "core|link|ui|sim" -DJQZ_BUILD_BENCH=OFF -DJQZ_SANITIZE=address,undefined
# The fault soak (label soak) runs with its modest default count in the normal build, and a
# shorter one under ThreadSanitizer, where the sequences' threads meet the link's.
JQZ_SOAK_RUNS=15 TSAN_OPTIONS="halt_on_error=1" run_suite build-tsan "core|link|soak" \
  -DJQZ_BUILD_UI=OFF -DJQZ_BUILD_BENCH=OFF -DJQZ_SANITIZE=thread
# The Windows build: lean (optimised a little, no debug information); the Wine prefix is
# made once, on first use. Its end-to-end test uses the normal build's Linux programs, its
# window tests the normal build's documents and drawings.
windows_toolchain=$(scripts/windows-toolchain.sh build-windows)
# shellcheck disable=SC2086  # the toolchain arguments are words
run_suite build-windows "" $windows_toolchain \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DJQZ_HOST_BUILD_DIR="$PWD/build"

echo
printf '%s\n' "${summary[@]}"
echo "total: $total_passed passed, $total_failed failed"
if [ "$failed_suites" -ne 0 ]; then
  echo "$failed_suites suite(s) failed"
  exit 1
fi
