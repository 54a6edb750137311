#!/usr/bin/env bash
# Builds everything from scratch and runs every test: the normal build with all tests (the
# fault soak among them), then the core, link and window tests under AddressSanitizer+UBSan,
# the core and link tests with a short fault soak under ThreadSanitizer, then the Windows
# build (MinGW-w64) of the core, the command-line program and their tests, run under Wine,
# with the end-to-end run of jqz6811-cli.exe against the Linux simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
summary=()

run_suite() { # dir label-regex cmake-args...
  local dir=$1 labels=$2; shift 2
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > "$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$jobs"
  local log="$dir.ctest.log"
  set +e
  if [ -n "$labels" ]; then
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600 -L "$labels" 2>&1 | tee "$log"
  else
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600 2>&1 | tee "$log"
  fi
  local rc=${PIPESTATUS[0]}
  set -e
  summary+=("$dir: $(grep -E 'tests passed|tests failed' "$log" | tail -1)")
  return "$rc"
}

mkdir -p build
run_suite build ""
run_suite build-asan "core|link|ui" -DJQZ_BUILD_BENCH=OFF -DJQZ_SANITIZE=address,undefined
# The fault soak (label soak) runs with its modest default count in the normal build, and a
# shorter one under ThreadSanitizer, where the sequences' threads meet the link's.
JQZ_SOAK_RUNS=15 TSAN_OPTIONS="halt_on_error=1" run_suite build-tsan "core|link|soak" -DJQZ_BUILD_UI=OFF -DJQZ_BUILD_BENCH=OFF -DJQZ_SANITIZE=thread
# Lean: optimised a little, no debug information; the Wine prefix is made once, on first use.
start=$SECONDS
run_suite build-windows "" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DJQZ_HOST_BUILD_DIR="$PWD/build"
summary[-1]="${summary[-1]} (Windows build and Wine run: $((SECONDS - start)) s)"

echo
printf '%s\n' "${summary[@]}"
