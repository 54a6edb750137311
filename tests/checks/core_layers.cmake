# The rooms of the core, bottom up. A file may include its own room's headers and those of the
# rooms below it, never one above: the system calls that differ between Linux and Windows at
# the bottom, the log and the messages on them, the image and its description, the file
# formats on the image, the serial link, the sequences that drive the programmer, production
# runs, and the programs' own settings, folder and version on top of everything.
# Run as `cmake -DCORE_DIR=<src/core> -P <this>`.
set(ROOMS platform messages image files link device production app)

if(NOT IS_DIRECTORY "${CORE_DIR}")
  message(FATAL_ERROR "no core folder at '${CORE_DIR}'")
endif()

file(GLOB_RECURSE sources RELATIVE "${CORE_DIR}" "${CORE_DIR}/*.h" "${CORE_DIR}/*.cpp")
set(faults "")
set(checked 0)
foreach(source IN LISTS sources)
  string(REGEX MATCH "^[^/]+" room "${source}")
  list(FIND ROOMS "${room}" rank)
  if(rank LESS 0)
    string(APPEND faults "\n  ${source}: '${room}' is not a room of the core")
    continue()
  endif()
  file(STRINGS "${CORE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"core/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[^\"]*\"core/([^/\"]+)/.*$" "\\1" target "${line}")
    list(FIND ROOMS "${target}" targetRank)
    if(targetRank LESS 0)
      string(APPEND faults "\n  ${source}: ${line} (no such room)")
    elseif(targetRank GREATER rank)
      string(APPEND faults "\n  ${source}: ${line} (${target} stands above ${room})")
    endif()
    math(EXPR checked "${checked} + 1")
  endforeach()
endforeach()

# No shared file of the core, the CLI or the windows holds a branch on the platform: what
# differs between the systems goes behind an interface of the platform room, whose POSIX and
# Win32 files CMake chooses. The serial backends, the link's transports, choose themselves.
# Where the window toolkit itself differs, a branch may stand with its reason on the same
# line: `#ifdef Q_OS_WIN  // Qt differs: ...`.
get_filename_component(SRC_DIR "${CORE_DIR}" DIRECTORY)
set(PLATFORM_OWN "^core/(platform/|link/(posix_serial_port|posix_any_rate|win32_serial_port|port_enumeration)\\.)")
set(branches "")
foreach(part core cli ui)
  if(NOT IS_DIRECTORY "${SRC_DIR}/${part}")
    continue()
  endif()
  file(GLOB_RECURSE shared RELATIVE "${SRC_DIR}" "${SRC_DIR}/${part}/*.h" "${SRC_DIR}/${part}/*.cpp")
  foreach(source IN LISTS shared)
    if(source MATCHES "${PLATFORM_OWN}")
      continue()
    endif()
    file(STRINGS "${SRC_DIR}/${source}" lines REGEX
      "^[ \t]*#[ \t]*(if|ifdef|ifndef|elif)[^/]*(_WIN32|_WIN64|Q_OS_[A-Z]+|__linux__|__unix__|__APPLE__)")
    foreach(line IN LISTS lines)
      if(NOT line MATCHES "// Qt differs: [^ ]")
        string(APPEND branches "\n  ${source}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(branches)
  message(FATAL_ERROR "platform branches outside the platform room (put them behind an "
    "interface in core/platform/, or give the toolkit's reason: // Qt differs: ...):${branches}")
endif()

if(checked EQUAL 0)
  message(FATAL_ERROR "no core includes found under ${CORE_DIR}")
endif()
if(faults)
  message(FATAL_ERROR "includes that reach up a room (rooms bottom up: ${ROOMS}):${faults}")
endif()
message(STATUS "${checked} core includes, none reaching up a room; no platform branch in shared code")
