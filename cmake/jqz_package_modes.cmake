# Run by cpack, so that the packages do not depend on the builder's umask (with umask 027 the
# folders would be packed 0750, and /usr/share/applications, installed so, unreadable to users).
# Before packing (CPACK_PRE_BUILD_SCRIPTS): every folder of the staged files becomes 0755.
# After packing (CPACK_POST_BUILD_SCRIPTS, CPACK_PACKAGE_FILES set): the members of each .deb
# (an ar archive: debian-binary, control.tar.*, data.tar.*) are marked 0644, as dpkg-deb marks
# them, in their headers' fields of the same width.
if(NOT DEFINED CPACK_PACKAGE_FILES)
  file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TOPLEVEL_DIRECTORY}/*")
  foreach(entry "${CPACK_TOPLEVEL_DIRECTORY}" ${staged})
    if(IS_DIRECTORY "${entry}" AND NOT IS_SYMLINK "${entry}")
      file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
        GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    endif()
  endforeach()
  return()
endif()
foreach(deb ${CPACK_PACKAGE_FILES})
  file(SIZE "${deb}" total)
  set(header 8)  # after "!<arch>\n"; a member's header is 60 bytes, its data padded to even
  while(header LESS total)
    math(EXPR size_at "${header} + 48")
    file(READ "${deb}" size OFFSET ${size_at} LIMIT 10)
    string(STRIP "${size}" size)
    if(NOT size MATCHES "^[0-9]+$")
      message(FATAL_ERROR "${deb}: no ar member header at ${header}")
    endif()
    math(EXPR mode_at "${header} + 40")
    execute_process(COMMAND sh -c "printf '100644  ' | dd of=\"$1\" bs=1 seek=\"$2\" conv=notrunc status=none"
      sh "${deb}" ${mode_at} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${deb}: cannot mark the member at ${header} 0644")
    endif()
    math(EXPR header "${header} + 60 + ${size} + ${size} % 2")
  endwhile()
endforeach()
