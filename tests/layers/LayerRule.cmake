# The rule of the house, checked without a build: run with cmake -P, given
# -DPROJECT_SOURCE_DIR=<the source tree>. CASE names one declaration that must
# stop the configuration; without it, the table of uses is checked.
include(${PROJECT_SOURCE_DIR}/cmake/Layers.cmake)

if(DEFINED CASE)
  if(CASE STREQUAL "upward")
    vexor_layer(no_target core/discovery USES backends/posix)
  elseif(CASE STREQUAL "sideways")
    vexor_layer(no_target backends/qt USES backends/posix)
  elseif(CASE STREQUAL "exception")
    vexor_layer(no_target backends/posix USES base REACHES core/discovery)
  elseif(CASE STREQUAL "nowhere")
    vexor_layer(no_target platform/api)
  endif()
  return()
endif()

set(uses
  # from               used                  allowed
  "seams               seams                 TRUE"
  "seams               base                  FALSE"
  "base                seams                 TRUE"
  "base                core/discovery        FALSE"
  "core/discovery      base                  TRUE"
  "core/cli            core/main_window      TRUE"
  "core/discovery      backends/posix        FALSE"
  "core/main_window    app                   FALSE"
  "backends/posix      base                  TRUE"
  "backends/posix      core/discovery        FALSE"
  "backends/posix      backends/qt           FALSE"
  "backends/win32      app                   FALSE"
  "app                 backends/win32        TRUE"
  "app                 core/cli              TRUE"
)
set(failures 0)
foreach(row IN LISTS uses)
  string(REGEX REPLACE " +" ";" fields "${row}")
  list(GET fields 0 from)
  list(GET fields 1 used)
  list(GET fields 2 expected)
  vexor_layer_may(${from} ${used} allowed)
  if(NOT allowed STREQUAL expected)
    message(SEND_ERROR "${from} using ${used}: ${allowed}, expected ${expected}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
message(STATUS "layer rule: ${failures} of the table's uses judged wrongly")
