# Cross build for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, so that
# std::thread and std::mutex work). Programs run under Wine when tests are run:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(JQZ_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${JQZ_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${JQZ_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${JQZ_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${JQZ_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry their runtime (libstdc++, libgcc, winpthread), so that a copied .exe runs
# without MinGW's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run through Wine: wine64 from Debian's wine64 package, or wine.
find_program(JQZ_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(JQZ_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${JQZ_WINE})
endif()
