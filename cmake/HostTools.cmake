# A cross build makes its tools with the build machine's compiler and Qt in a build of their
# own (host-tools/ in the build folder), and uses them as imported programs of the same names
# as a native build's.
include(ExternalProject)

set(host_tools_dir ${CMAKE_BINARY_DIR}/host-tools)
set(host_tool_args -DORVELANE_SOURCE_DIR=${PROJECT_SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release)
foreach(launcher CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER)
  if(${launcher})
    list(APPEND host_tool_args -D${launcher}=${${launcher}})
  endif()
endforeach()
ExternalProject_Add(orvelane_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/cmake/host-tools
  BINARY_DIR ${host_tools_dir}
  CMAKE_ARGS ${host_tool_args}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${host_tools_dir}/orvelane_render_icon ${host_tools_dir}/orvelane_render_previews)

foreach(tool orvelane_render_icon orvelane_render_previews)
  add_executable(${tool} IMPORTED GLOBAL)
  set_target_properties(${tool} PROPERTIES IMPORTED_LOCATION ${host_tools_dir}/${tool})
  add_dependencies(${tool} orvelane_host_tools)
endforeach()
