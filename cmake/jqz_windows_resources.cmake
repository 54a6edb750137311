# The Windows programs' resources and link: each .exe carries the program's icon (drawn from
# assets/icons/jqz6811.svg at build time), a VERSIONINFO with the project's version and the
# manifest of assets/windows; it is stripped and linked without a time stamp, so that two
# builds of one source give the same bytes.
enable_language(RC)
find_program(RSVG_CONVERT rsvg-convert NO_CMAKE_FIND_ROOT_PATH)
find_program(PERL_PROGRAM perl NO_CMAKE_FIND_ROOT_PATH)
if(NOT RSVG_CONVERT OR NOT PERL_PROGRAM)
  message(FATAL_ERROR "The Windows programs' icon is drawn with rsvg-convert (Debian: librsvg2-bin) and perl")
endif()

set(JQZ_WINDOWS_ICON ${CMAKE_BINARY_DIR}/windows/jqz6811.ico)
set(jqz_icon_pngs)
foreach(size 16 24 32 48 64 256)
  set(png ${CMAKE_BINARY_DIR}/windows/icon-${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/windows
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${CMAKE_SOURCE_DIR}/assets/icons/jqz6811.svg
    DEPENDS ${CMAKE_SOURCE_DIR}/assets/icons/jqz6811.svg VERBATIM)
  list(APPEND jqz_icon_pngs ${png})
endforeach()
add_custom_command(OUTPUT ${JQZ_WINDOWS_ICON}
  COMMAND ${PERL_PROGRAM} ${CMAKE_SOURCE_DIR}/cmake/ico_from_pngs.pl ${JQZ_WINDOWS_ICON} ${jqz_icon_pngs}
  DEPENDS ${jqz_icon_pngs} ${CMAKE_SOURCE_DIR}/cmake/ico_from_pngs.pl VERBATIM)
add_custom_target(jqz_windows_icon DEPENDS ${JQZ_WINDOWS_ICON})

# The version as Windows writes it: four numbers.
set(JQZ_VERSION_NUMBERS ${PROJECT_VERSION_MAJOR} 0 0 0)
if(PROJECT_VERSION_MINOR)
  list(INSERT JQZ_VERSION_NUMBERS 1 ${PROJECT_VERSION_MINOR})
endif()
if(PROJECT_VERSION_PATCH)
  list(INSERT JQZ_VERSION_NUMBERS 2 ${PROJECT_VERSION_PATCH})
endif()
list(SUBLIST JQZ_VERSION_NUMBERS 0 4 JQZ_VERSION_NUMBERS)
list(JOIN JQZ_VERSION_NUMBERS "," JQZ_VERSION_COMMAS)
list(JOIN JQZ_VERSION_NUMBERS "." JQZ_VERSION_QUAD)
set(JQZ_RC_MANIFEST ${CMAKE_BINARY_DIR}/windows/jqz6811.manifest)
configure_file(${CMAKE_SOURCE_DIR}/assets/windows/jqz6811.manifest ${JQZ_RC_MANIFEST} @ONLY)

# jqz_windows_program(target "description"): the resources and the link of one program.
function(jqz_windows_program target description)
  set(JQZ_RC_NAME ${target})
  set(JQZ_RC_FILE ${target}.exe)
  set(JQZ_RC_DESCRIPTION "${description}")
  set(JQZ_RC_ICON ${JQZ_WINDOWS_ICON})
  set(rc ${CMAKE_BINARY_DIR}/windows/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/assets/windows/program.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${JQZ_WINDOWS_ICON};${JQZ_RC_MANIFEST}")
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} jqz_windows_icon)
  target_link_options(${target} PRIVATE -s -Wl,--no-insert-timestamp)
endfunction()
