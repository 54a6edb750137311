# The Debian packages: `cmake --build build --target package` (or `make package`) writes, from
# the components of the install rules, build/jqz6811-cli_<version>_<arch>.deb (component "cli":
# the command-line programmer and the simulator, with their manual pages: only libc and
# libstdc++ besides, for headless benches) and build/jqz6811_<version>_<arch>.deb (component
# "gui": the window program, its documents, manual, menu entry and icons; it depends on
# jqz6811-cli of the same version). Everything installed goes under /usr.

# Menu icons in the sizes desktops look for, drawn from the scalable one.
find_program(RSVG_CONVERT rsvg-convert)
set(JQZ_ICON_SVG ${CMAKE_SOURCE_DIR}/assets/icons/jqz6811.svg)
if(RSVG_CONVERT)
  set(JQZ_ICON_PNGS)
  foreach(size 48 128)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}/jqz6811.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}
      COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${JQZ_ICON_SVG}
      DEPENDS ${JQZ_ICON_SVG} VERBATIM)
    list(APPEND JQZ_ICON_PNGS ${png})
    install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps COMPONENT gui)
  endforeach()
  add_custom_target(jqz_icons ALL DEPENDS ${JQZ_ICON_PNGS})
else()
  message(WARNING "rsvg-convert not found (Debian: librsvg2-bin): no PNG menu icons")
endif()

# Manual pages, with the project's version, compressed as Debian wants them.
set(JQZ_MAN_PAGES)
set(JQZ_MAN_COMPONENT_jqz6811 gui)
set(JQZ_MAN_COMPONENT_jqz6811-cli cli)
set(JQZ_MAN_COMPONENT_jqz6811-sim cli)
foreach(page jqz6811 jqz6811-cli jqz6811-sim)
  configure_file(${CMAKE_SOURCE_DIR}/assets/man/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  set(gz ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/man/${page}.1
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1 VERBATIM)
  list(APPEND JQZ_MAN_PAGES ${gz})
  install(FILES ${gz} DESTINATION share/man/man1 COMPONENT ${JQZ_MAN_COMPONENT_${page}})
endforeach()
add_custom_target(jqz_man_pages ALL DEPENDS ${JQZ_MAN_PAGES})

set(CPACK_PACKAGE_CONTACT "The JQZ 6811 project <packages@jqz6811.example.org>")

# The package's change log, dated at the source's date (jqz_source_date.cmake).
string(TIMESTAMP JQZ_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_SOURCE_DIR}/assets/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
  COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/debian/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog VERBATIM)
add_custom_target(jqz_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
# Every package has its own documents folder with the change log and the copyright.
foreach(package_component jqz6811:gui jqz6811-cli:cli)
  string(REPLACE ":" ";" package_component ${package_component})
  list(GET package_component 0 package)
  list(GET package_component 1 component)
  install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz ${CMAKE_SOURCE_DIR}/assets/debian/copyright
    DESTINATION share/doc/${package} COMPONENT ${component})
endforeach()

# AppStream metadata, with the release of the change log (this version, at the source's date).
string(TIMESTAMP JQZ_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(${CMAKE_SOURCE_DIR}/assets/org.example.jqz6811.metainfo.xml
  ${CMAKE_BINARY_DIR}/org.example.jqz6811.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/org.example.jqz6811.metainfo.xml DESTINATION share/metainfo
  COMPONENT gui)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli gui)
set(CPACK_DEBIAN_CLI_PACKAGE_NAME jqz6811-cli)
set(CPACK_DEBIAN_GUI_PACKAGE_NAME jqz6811)
# The window program's package depends on jqz6811-cli of the same version.
set(CPACK_COMPONENT_GUI_DEPENDS cli)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# Help > User Manual opens the PDF with xdg-open.
set(CPACK_DEBIAN_GUI_PACKAGE_RECOMMENDS xdg-utils)
# Folders made by the package are 0755 whatever the builder's umask: a folder such as
# /usr/share/applications packed 0750 would be unreadable to users once installed. (CPack's
# own setting does not reach the folders it makes itself, nor the .deb's members.)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/jqz_package_modes.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/jqz_package_modes.cmake)
set(CPACK_PACKAGE_NAME jqz6811)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
# The first line of each is the package's summary; the lines of the long descriptions stay
# within 80 columns. (jqz_cpack_config.cmake.in keeps CPack from putting a summary of its own
# before them.)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "programmer software for MC68HC11 and MC68HC711 microcontrollers")
set(JQZ_PACKAGE_DESCRIPTION_COMMON
"The JQZ 68(7)11 device programmer, on a serial port, erases, programs and
verifies the on-chip EEPROM and the CONFIG register of 31 supported MC68HC11
and MC68HC711 devices, and reads EEPROM, EPROM/ROM and BOOT ROM into a 64 KiB
memory image.")
set(CPACK_COMPONENT_CLI_DESCRIPTION
"command-line programmer for MC68HC11 and MC68HC711 microcontrollers
${JQZ_PACKAGE_DESCRIPTION_COMMON}

This package holds jqz6811-cli, which runs the programmer's operations
without a window, for scripts and production lines: it programs, verifies and
reads devices, updates the programmer's firmware, and converts between JQZ
Extended Format, Motorola S-records, Intel HEX and binary files; and
jqz6811-sim, a virtual programmer on a pseudo-terminal that lets the programs
be tried without hardware. It needs no graphical libraries.")
set(CPACK_COMPONENT_GUI_DESCRIPTION
"programmer software for MC68HC11 and MC68HC711 microcontrollers
${JQZ_PACKAGE_DESCRIPTION_COMMON}

This package holds the window program jqz6811: it finds the programmer,
checks its identity and firmware, and edits the image in a hex editor between
jobs; it loads and saves JQZ Extended Format, Motorola S-records or binary, and
prints. With it come the device documents, package drawings and the user
manual. The command-line programmer (with Intel HEX files) is in jqz6811-cli.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://jqz6811.example.org")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Every member of the package is dated at the source's date, so that two builds of one commit
# give the same package byte for byte.
configure_file(${CMAKE_SOURCE_DIR}/cmake/jqz_cpack_config.cmake.in
  ${CMAKE_BINARY_DIR}/jqz_cpack_config.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/jqz_cpack_config.cmake)
include(CPack)
