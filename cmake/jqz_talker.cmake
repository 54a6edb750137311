# The bootstrap cable's talker: HC11 assembly (src/core/link/talker), assembled and linked
# with binutils-m68hc1x into bytes that the core embeds. A build for Windows takes the
# generated file from the build for this machine (JQZ_HOST_BUILD_DIR).
set(JQZ_TALKER_SOURCE ${CMAKE_SOURCE_DIR}/src/core/link/talker/talker.s)
set(JQZ_TALKER_SCRIPT ${CMAKE_SOURCE_DIR}/src/core/link/talker/talker.ld)
if(WIN32 AND CMAKE_CROSSCOMPILING)
  set(JQZ_TALKER_CPP ${JQZ_HOST_BUILD_DIR}/generated/talker_image.cpp)
  if(NOT EXISTS ${JQZ_TALKER_CPP})
    message(FATAL_ERROR "Build the Linux tree in ${JQZ_HOST_BUILD_DIR} first: the talker's "
                        "bytes come from it (${JQZ_TALKER_CPP})")
  endif()
else()
  find_program(M68HC11_AS m68hc11-as REQUIRED)
  find_program(M68HC11_LD m68hc11-ld REQUIRED)
  find_program(M68HC11_OBJCOPY m68hc11-objcopy REQUIRED)
  find_program(M68HC11_NM m68hc11-nm REQUIRED)
  set(dir ${CMAKE_BINARY_DIR}/generated)
  set(JQZ_TALKER_CPP ${dir}/talker_image.cpp)
  add_custom_command(OUTPUT ${JQZ_TALKER_CPP} ${dir}/talker.elf
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${M68HC11_AS} -o ${dir}/talker.o ${JQZ_TALKER_SOURCE}
    COMMAND ${M68HC11_LD} -o ${dir}/talker.elf -T ${JQZ_TALKER_SCRIPT} ${dir}/talker.o
    COMMAND ${M68HC11_OBJCOPY} -O binary ${dir}/talker.elf ${dir}/talker.bin
    COMMAND ${M68HC11_NM} ${dir}/talker.elf > ${dir}/talker.sym
    COMMAND ${CMAKE_COMMAND} -DBIN=${dir}/talker.bin -DSYMBOLS=${dir}/talker.sym
            -DOUT=${JQZ_TALKER_CPP} -P ${CMAKE_SOURCE_DIR}/cmake/talker_embed.cmake
    DEPENDS ${JQZ_TALKER_SOURCE} ${JQZ_TALKER_SCRIPT} ${CMAKE_SOURCE_DIR}/cmake/talker_embed.cmake
    COMMENT "Assembling the bootstrap talker")
endif()
