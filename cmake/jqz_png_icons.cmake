# The program's icons as PNG files, drawn from the SVG ones at build time with rsvg-convert (as
# the Debian package's menu icons are), for a Qt without the SVG engine. The resource file has
# the name and the paths of the SVG one (:/icons/<name>.png, in 32 and 64 pixels).
function(jqz_png_icons out_sources)
  find_program(RSVG_CONVERT rsvg-convert REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  file(STRINGS ${CMAKE_SOURCE_DIR}/src/ui/app/icons.qrc lines REGEX "<file alias=")
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/png_icons)
  set(qrc "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n")
  set(pngs)
  foreach(size 32 64)
    string(APPEND qrc "  <qresource prefix=\"/icons/${size}\">\n")
    foreach(line ${lines})
      string(REGEX REPLACE ".*alias=\"([^\"]+)\\.svg\".*" "\\1" name "${line}")
      set(svg ${CMAKE_SOURCE_DIR}/assets/icons/${name}.svg)
      set(png ${dir}/${size}/${name}.png)
      add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}/${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg}
        DEPENDS ${svg} VERBATIM)
      list(APPEND pngs ${png})
      string(APPEND qrc "    <file alias=\"${name}.png\">${size}/${name}.png</file>\n")
    endforeach()
    string(APPEND qrc "  </qresource>\n")
  endforeach()
  string(APPEND qrc "</RCC>\n")
  file(CONFIGURE OUTPUT ${dir}/icons.qrc CONTENT "${qrc}")
  add_custom_target(jqz_png_icons DEPENDS ${pngs})
  set_source_files_properties(${dir}/icons.qrc PROPERTIES SKIP_AUTORCC ON)
  qt6_add_resources(sources ${dir}/icons.qrc)
  set(${out_sources} ${sources} PARENT_SCOPE)
endfunction()
