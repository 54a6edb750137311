# The programs are built as Debian builds its packages (dpkg-buildflags with hardening=+all):
# checked string and memory functions, stack protector, format strings checked, relocations
# read-only and every symbol bound at start. Sanitizer and fuzzing builds instrument the code
# their own way, and the Windows build links no libssp, so these are for native Linux builds.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR CMAKE_CROSSCOMPILING OR JQZ_SANITIZE OR JQZ_BUILD_FUZZ)
  return()
endif()
add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
# The checks need optimisation; a Debug build is left without them rather than warned at.
add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
add_link_options(LINKER:-z,relro LINKER:-z,now)
# Control-flow protection (Intel CET: indirect branch tracking and shadow stack), where the
# compiler and target have it, as dpkg-buildflags adds it on amd64.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-fcf-protection JQZ_HAVE_CF_PROTECTION)
if(JQZ_HAVE_CF_PROTECTION)
  add_compile_options(-fcf-protection)
endif()
