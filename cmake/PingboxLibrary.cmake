# pingbox_library(NAME DEPENDS lib...): a static library from every source file
# in the calling folder.
function(pingbox_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  add_library(${name} STATIC ${sources})
  # The generated ui_*.h headers are public so that tests can reach the controls.
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_BINARY_DIR}/${name}_autogen/include)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} PRIVATE pingbox_warnings)
endfunction()

# Every target and library file that `target` links, directly or through
# other targets, imported ones (Qt6::Widgets, PkgConfig::XCB) included. Aliases
# are followed to the target they name.
function(pingbox_linked_targets target out)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue current)
    get_target_property(links ${current} LINK_LIBRARIES)
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    foreach(link IN LISTS links interface)
      string(REGEX REPLACE "^\\$<(LINK_ONLY|BUILD_INTERFACE|TARGET_NAME_IF_EXISTS):(.*)>$" "\\2" link "${link}")
      if(link MATCHES "^\\$<" OR link MATCHES "NOTFOUND$" OR link STREQUAL "")
        continue()
      endif()
      if(TARGET ${link})
        get_target_property(aliased ${link} ALIASED_TARGET)
        if(aliased)
          set(link ${aliased})
        endif()
      endif()
      if(NOT link IN_LIST seen)
        list(APPEND seen ${link})
        if(TARGET ${link})
          list(APPEND queue ${link})
        endif()
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# pingbox_forbid_links(TARGETS t... FORBIDDEN lib... [FORBIDDEN_MATCHING regex...]):
# stops the configuration when one of the targets links one of the forbidden
# targets, or a target or library file whose name matches one of the regexes.
function(pingbox_forbid_links)
  cmake_parse_arguments(ARG "" "" "TARGETS;FORBIDDEN;FORBIDDEN_MATCHING" ${ARGN})
  foreach(target ${ARG_TARGETS})
    if(NOT TARGET ${target})
      continue()
    endif()
    pingbox_linked_targets(${target} linked)
    foreach(forbidden ${ARG_FORBIDDEN})
      if(forbidden IN_LIST linked)
        message(FATAL_ERROR "${target} must not link ${forbidden}")
      endif()
    endforeach()
    foreach(pattern ${ARG_FORBIDDEN_MATCHING})
      foreach(link ${linked})
        if(link MATCHES "${pattern}")
          message(FATAL_ERROR "${target} must not link ${link}")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()

# Adds every subfolder of the calling folder that has a CMakeLists.txt.
function(pingbox_add_subfolders)
  file(GLOB children CONFIGURE_DEPENDS LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
