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

if(checked EQUAL 0)
  message(FATAL_ERROR "no core includes found under ${CORE_DIR}")
endif()
if(faults)
  message(FATAL_ERROR "includes that reach up a room (rooms bottom up: ${ROOMS}):${faults}")
endif()
message(STATUS "${checked} core includes, none reaching up a room")
