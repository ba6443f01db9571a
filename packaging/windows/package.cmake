# The Windows packages: an installer (installer.nsi), and a zip a user unpacks into the
# emulator folder. orvelane.exe and all it loads lie at the top, as Windows looks for DLLs
# beside the program; the two default companion files wait in defaults/, so unpacking over an
# older copy never overwrites the user's own ORVELANE.DAT and ORVELANE.TXT.
install(TARGETS orvelane RUNTIME DESTINATION .)
install(FILES ${ORVELANE_QT_DLLS} ${ORVELANE_MINGW_DLLS} DESTINATION .)
foreach(plugin IN LISTS ORVELANE_QT_PLUGINS)
  get_filename_component(folder ${plugin} DIRECTORY)
  install(FILES ${ORVELANE_QT_PREFIX}/plugins/${plugin}.dll DESTINATION ${folder})
endforeach()
# The DLLs come with their debugging sections (the C++ runtime's are four fifths of it); the
# zip leaves them out, as it strips the program.
foreach(dll IN LISTS ORVELANE_QT_DLLS ORVELANE_MINGW_DLLS)
  get_filename_component(name ${dll} NAME)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${name}\")
  endif()")
endforeach()
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/windows/README.txt.in ${CMAKE_CURRENT_BINARY_DIR}/README.txt @ONLY
               NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/data/ORVELANE.DAT ${PROJECT_SOURCE_DIR}/data/ORVELANE.TXT DESTINATION defaults)

set(CPACK_PACKAGE_NAME orvelane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Orvelane developers")
# The installer is made by CPack's External generator from the same staged files, with
# makensis (Debian's nsis).
set(CPACK_GENERATOR ZIP External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/windows/installer.cmake)
find_program(ORVELANE_MAKENSIS makensis)
set(CPACK_ORVELANE_MAKENSIS ${ORVELANE_MAKENSIS})
set(CPACK_ORVELANE_NSIS_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/windows/installer.nsi)
set(CPACK_ORVELANE_ICON ${CMAKE_BINARY_DIR}/src/app/orvelane.ico)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGE_FILE_NAME "orvelane-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR}")
# Unpacked, the files land in the folder unpacked into, not in a folder of the zip's name.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
include(CPack)
