# The layers of src/, bottom to top: seams/ (interfaces and the plain types they
# pass), base/ (helpers with no platform), then side by side core/ (the
# program's logic) and backends/<system>/ (each implements seams), and app/
# (the entry points, which wire backends to the core). A layer may use the
# layers below it; folders of core/ may use one another; a backend uses no other
# backend and not the core. Each folder of src/ is built as a target of its own. A layer's code
# sees only its own folder and the folders it declares it uses (with whatever
# those use in turn): its include path is a directory of links to exactly those
# folders, so an include of any other folder, a backend from the core or one
# backend from another, fails the build with "No such file or directory".

# The rank of a folder under src/: its place from the bottom of the house.
function(vexor_layer_rank folder out)
  string(REGEX REPLACE "/.*" "" top "${folder}")
  set(ranks seams base core backends app)
  list(FIND ranks "${top}" rank)
  if(rank EQUAL -1)
    message(FATAL_ERROR "${folder} is in no layer: src/ holds ${ranks}")
  endif()
  if(top STREQUAL "backends")
    set(rank 2)
  elseif(top STREQUAL "app")
    set(rank 3)
  endif()
  set(${out} ${rank} PARENT_SCOPE)
endfunction()

# Whether FOLDER's code may include USED's, by the rule above.
function(vexor_layer_may folder used out)
  vexor_layer_rank(${folder} from)
  vexor_layer_rank(${used} to)
  string(REGEX REPLACE "/.*" "" from_top "${folder}")
  string(REGEX REPLACE "/.*" "" to_top "${used}")
  if(to LESS from OR used STREQUAL folder OR (from_top STREQUAL "core" AND to_top STREQUAL "core"))
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# vexor_layer(TARGET FOLDER USES folder...): gives TARGET the view of FOLDER, a
# folder under src/, and of the folders it uses. A folder the rule above
# forbids is refused at configure time: the house has no exceptions. Layers are
# declared after the layers they use.
function(vexor_layer target folder)
  # REACHES, the exceptions of earlier trees, is parsed only to be refused.
  cmake_parse_arguments(PARSE_ARGV 2 LAYER "" "" "USES;REACHES")
  if(LAYER_UNPARSED_ARGUMENTS OR LAYER_REACHES)
    message(FATAL_ERROR "layer ${folder} lists exceptions: there are none")
  endif()
  vexor_layer_rank(${folder} rank)
  foreach(used IN LISTS LAYER_USES)
    vexor_layer_may(${folder} ${used} allowed)
    if(NOT allowed)
      message(FATAL_ERROR "layer ${folder} may not use ${used}: a layer uses only the layers below it")
    endif()
  endforeach()
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
