# The Debian package: `cmake --build build --target package` (or `make package`) writes
# build/jqz6811_<version>_<arch>.deb. Everything installed goes under /usr.

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
    install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(jqz_icons ALL DEPENDS ${JQZ_ICON_PNGS})
else()
  message(WARNING "rsvg-convert not found (Debian: librsvg2-bin): no PNG menu icons")
endif()

# Manual pages, with the project's version, compressed as Debian wants them.
set(JQZ_MAN_PAGES)
foreach(page jqz6811 jqz6811-cli jqz6811-sim)
  configure_file(${CMAKE_SOURCE_DIR}/assets/man/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  set(gz ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/man/${page}.1
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1 VERBATIM)
  list(APPEND JQZ_MAN_PAGES ${gz})
endforeach()
add_custom_target(jqz_man_pages ALL DEPENDS ${JQZ_MAN_PAGES})
install(FILES ${JQZ_MAN_PAGES} DESTINATION share/man/man1)

set(CPACK_PACKAGE_CONTACT "The JQZ 6811 project <packages@jqz6811.example.org>")

# The package's change log, dated at the source's date (jqz_source_date.cmake).
string(TIMESTAMP JQZ_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_SOURCE_DIR}/assets/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
  COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/debian/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog VERBATIM)
add_custom_target(jqz_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz DESTINATION share/doc/jqz6811)

install(FILES ${CMAKE_SOURCE_DIR}/assets/org.example.jqz6811.metainfo.xml DESTINATION share/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/assets/debian/copyright DESTINATION share/doc/jqz6811)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME jqz6811)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "programmer software for MC68HC11 and MC68HC711 microcontrollers")
# Lines of the long description stay within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
"Drives the JQZ 68(7)11 device programmer on a serial port: finds the
programmer, checks its identity and firmware and, for one of 31 supported
MC68HC11 and MC68HC711 devices, erases, programs and verifies the on-chip
EEPROM and the CONFIG register, reads EEPROM, EPROM/ROM and BOOT ROM into a
64 KiB memory image, and updates the programmer's firmware. The image is
edited in a hex editor, loaded and saved as JQZ Extended Format, Motorola
S-records or binary, and printed.

The package holds the window program jqz6811, the command-line programmer
jqz6811-cli for scripts and production lines, and jqz6811-sim, a virtual
programmer on a pseudo-terminal that lets the programs be tried without
hardware.")
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
