# What a Windows program of Qt needs beside it: Qt's DLLs, the platform plugin and the SVG
# plugins, and the MinGW C++ runtime. The target orvelane_windows_runtime copies them into
# the build's bin/ folder, where every program and test lands; packaging/ installs the same.
get_filename_component(ORVELANE_QT_PREFIX ${Qt6_DIR}/../../.. ABSOLUTE)
set(ORVELANE_QT_DLLS Qt6Core Qt6Gui Qt6Widgets Qt6Svg)
list(TRANSFORM ORVELANE_QT_DLLS PREPEND ${ORVELANE_QT_PREFIX}/bin/)
list(TRANSFORM ORVELANE_QT_DLLS APPEND .dll)
set(ORVELANE_QT_PLUGINS platforms/qwindows imageformats/qsvg iconengines/qsvgicon styles/qwindowsvistastyle)
set(ORVELANE_MINGW_DLLS)
foreach(dll libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(found "${found}" ABSOLUTE)
  if(NOT EXISTS "${found}")
    message(FATAL_ERROR "The MinGW runtime ${dll} was not found beside ${CMAKE_CXX_COMPILER}")
  endif()
  list(APPEND ORVELANE_MINGW_DLLS ${found})
endforeach()

set(runtime_dir ${CMAKE_BINARY_DIR}/bin)
set(runtime_copies)
# The tests need QtTest as well; the package does not.
set(test_dlls)
if(ORVELANE_BUILD_TESTS)
  set(test_dlls ${ORVELANE_QT_PREFIX}/bin/Qt6Test.dll)
endif()
foreach(dll IN LISTS ORVELANE_QT_DLLS ORVELANE_MINGW_DLLS test_dlls)
  get_filename_component(name ${dll} NAME)
  list(APPEND runtime_copies COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dll} ${runtime_dir}/${name})
endforeach()
foreach(plugin IN LISTS ORVELANE_QT_PLUGINS)
  get_filename_component(folder ${plugin} DIRECTORY)
  list(APPEND runtime_copies
       COMMAND ${CMAKE_COMMAND} -E make_directory ${runtime_dir}/${folder}
       COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ORVELANE_QT_PREFIX}/plugins/${plugin}.dll
               ${runtime_dir}/${plugin}.dll)
endforeach()
add_custom_target(orvelane_windows_runtime ALL ${runtime_copies} VERBATIM)
