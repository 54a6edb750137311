#!/usr/bin/env bash
# Prints the CMake arguments that choose the toolchain of the Windows build: the static Qt for
# MinGW-w64 in ../shared/qt6-mingw (beside the checkout) through Qt's own toolchain file,
# which chain-loads ours; without it our toolchain alone, and the build leaves the window
# program out. windows-toolchain.sh [build-folder]: a build folder configured with the other
# toolchain loses its cache, so that it is configured afresh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ours=$root/cmake/mingw-w64-x86_64.cmake
qt_dir=$root/../shared/qt6-mingw/lib/cmake/Qt6
if [ -f "$qt_dir/qt.toolchain.cmake" ]; then
  toolchain=$(cd "$qt_dir" && pwd)/qt.toolchain.cmake
  args="-DCMAKE_TOOLCHAIN_FILE=$toolchain -DQT_CHAINLOAD_TOOLCHAIN_FILE=$ours"
else
  toolchain=$ours
  args="-DCMAKE_TOOLCHAIN_FILE=$ours"
fi
if [ $# -ge 1 ] && [ -f "$1/CMakeCache.txt" ]; then
  cached=$(sed -nE 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]+=//p' "$1/CMakeCache.txt")
  [ "$cached" = "$toolchain" ] || rm -rf "$1/CMakeCache.txt" "$1/CMakeFiles"
fi
echo "$args"
