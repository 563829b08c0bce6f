# pingbox_library(NAME DEPENDS lib...): a static library from every source file
# in the calling folder and its platform-backend subfolders.
function(pingbox_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  add_library(${name} STATIC ${sources})
  # The generated ui_*.h headers are public so that tests can reach the controls.
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_BINARY_DIR}/${name}_autogen/include)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} PRIVATE pingbox_warnings)
endfunction()
