# Lays out the files of the Windows setup program in STAGE, each dated at EPOCH (the source's
# date), and lists them, sorted, in STAGE/files.nsh for the setup's install and uninstall:
#   cmake -DSTAGE=... -DEPOCH=... -DPROGRAMS="a.exe;b.exe" -DMANUAL=... -DREADME=... -DDHELP=...
#         -DTEXT_SCRIPT=windows_text.cmake -P jqz_installer_stage.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/files)
file(COPY ${PROGRAMS} ${MANUAL} DESTINATION ${STAGE}/files)
execute_process(COMMAND ${CMAKE_COMMAND} -DTEXT=${README} -DOUT=${STAGE}/files/README.txt
                -P ${TEXT_SCRIPT} COMMAND_ERROR_IS_FATAL ANY)
file(COPY ${DHELP} DESTINATION ${STAGE}/files)
file(GLOB_RECURSE names LIST_DIRECTORIES false RELATIVE ${STAGE}/files ${STAGE}/files/*)
list(SORT names)
set(list "; The files the setup installs and the uninstaller removes (made by the build).\n")
set(folders)
foreach(name ${names})
  get_filename_component(folder ${name} DIRECTORY)
  if(folder AND NOT folder IN_LIST folders)
    list(APPEND folders ${folder})
    string(REPLACE "/" "\\" windows_folder "${folder}")
    string(APPEND list "!insertmacro JqzFolder \"${windows_folder}\"\n")
  endif()
endforeach()
foreach(name ${names})
  string(REPLACE "/" "\\" windows_name "${name}")
  string(APPEND list "!insertmacro JqzFile \"${windows_name}\" \"files/${name}\"\n")
endforeach()
file(WRITE ${STAGE}/files.nsh "${list}")
# One date for every file (the setup keeps each file's date and gives it back on install).
execute_process(COMMAND find ${STAGE} -exec touch -h -d @${EPOCH} {} +
                COMMAND_ERROR_IS_FATAL ANY)
