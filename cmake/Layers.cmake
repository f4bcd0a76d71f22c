# Each folder of src/ is one layer, built as a target of its own. A layer's code
# sees only its own folder and the folders it declares it uses (with whatever
# those use in turn): its include path is a directory of links to exactly those
# folders, so an include of any other folder, a backend from the core or one
# backend from another, fails the build with "No such file or directory".

# vexor_layer(TARGET FOLDER USES folder...): gives TARGET the view of FOLDER,
# a folder under src/. Layers are declared after the layers they use.
function(vexor_layer target folder)
  cmake_parse_arguments(PARSE_ARGV 2 LAYER "" "" "USES")
  string(MAKE_C_IDENTIFIER "${folder}" key)
  set_property(GLOBAL PROPERTY VEXOR_LAYER_USES_${key} "${LAYER_USES}")
  set(visible ${folder})
  set(pending ${LAYER_USES})
  while(pending)
    list(POP_FRONT pending next)
    if(next IN_LIST visible)
      continue()
    endif()
    if(NOT IS_DIRECTORY ${PROJECT_SOURCE_DIR}/src/${next})
      message(FATAL_ERROR "layer ${folder} uses ${next}, which is no folder of src/")
    endif()
    list(APPEND visible ${next})
    string(MAKE_C_IDENTIFIER "${next}" next_key)
    get_property(uses GLOBAL PROPERTY VEXOR_LAYER_USES_${next_key})
    list(APPEND pending ${uses})
  endwhile()
  set(view ${PROJECT_BINARY_DIR}/layers/${target})
  file(REMOVE_RECURSE ${view})
  foreach(shown IN LISTS visible)
    get_filename_component(parent ${view}/${shown} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${shown} ${view}/${shown} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE ${view} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${target} PUBLIC vexor_warnings)
endfunction()

# A path that climbs out of its own folder ("../") would walk around the views.
file(GLOB_RECURSE vexor_sources ${PROJECT_SOURCE_DIR}/src/*.h ${PROJECT_SOURCE_DIR}/src/*.cpp)
foreach(source IN LISTS vexor_sources)
  file(STRINGS ${source} climbing REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*\\.\\./")
  if(climbing)
    message(FATAL_ERROR "${source} includes a path outside its layer's view: ${climbing}")
  endif()
endforeach()
