# The date of the source: SOURCE_DATE_EPOCH when the builder sets it, else the date of the last
# commit, else that of this file (a source archive keeps it). Everything the build dates (the
# package's change log, the manual, the members of the package) takes this date, never the
# time of the build.
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  set(JQZ_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} log -1 --format=%ct
    OUTPUT_VARIABLE JQZ_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE git_result ERROR_QUIET)
  if(NOT git_result EQUAL 0 OR NOT JQZ_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    file(TIMESTAMP ${CMAKE_SOURCE_DIR}/CMakeLists.txt JQZ_SOURCE_DATE_EPOCH "%s" UTC)
  else()
    # A new commit (or another one checked out) moves HEAD, which git records in this file:
    # the build configures again and takes the new date.
    execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} rev-parse --path-format=absolute
        --git-path logs/HEAD
      OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(head_log AND EXISTS "${head_log}")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${head_log}")
    endif()
  endif()
  # string(TIMESTAMP) takes its time from here.
  set(ENV{SOURCE_DATE_EPOCH} ${JQZ_SOURCE_DATE_EPOCH})
endif()

# No path of the checkout or the build folder reaches the programs (debug information, and the
# build-id computed over it, __FILE__): the same bytes from any folder. The build folder is
# mapped on its own when it lies outside the sources (the last map that matches wins).
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.)
  string(FIND "${CMAKE_BINARY_DIR}/" "${CMAKE_SOURCE_DIR}/" binary_in_source)
  if(NOT binary_in_source EQUAL 0)
    add_compile_options(-ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
  endif()
endif()

# Qt's resource compiler stores every file's modification time (the checkout's) unless
# SOURCE_DATE_EPOCH is set where it runs, at build time: the target's resources are compiled
# by a wrapper that sets it.
function(jqz_dated_resources target)
  if(NOT TARGET Qt6::rcc OR CMAKE_HOST_WIN32)
    return()
  endif()
  get_target_property(rcc Qt6::rcc LOCATION)
  set(wrapper ${CMAKE_BINARY_DIR}/rcc-dated)
  file(CONFIGURE OUTPUT ${wrapper} CONTENT
    "#!/bin/sh\nSOURCE_DATE_EPOCH=${JQZ_SOURCE_DATE_EPOCH} exec '${rcc}' \"$@\"\n")
  file(CHMOD ${wrapper} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set_target_properties(${target} PROPERTIES AUTORCC_EXECUTABLE ${wrapper})
endfunction()
