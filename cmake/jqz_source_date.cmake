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
