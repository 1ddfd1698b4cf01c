# The version of project() as the rest of the build uses it: PELLRUN_VERSION (1.0.0),
# PELLRUN_VERSION_QUAD (1.0.0.0, as Windows numbers files), a header for the programs
# and the Windows resource script (target pellrun_version), and the copyright line.
set(PELLRUN_VERSION ${PROJECT_VERSION})
set(PELLRUN_VERSION_PARTS)
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    list(APPEND PELLRUN_VERSION_PARTS 0)
  else()
    list(APPEND PELLRUN_VERSION_PARTS ${PROJECT_VERSION_${part}})
  endif()
endforeach()
string(REPLACE ";" "." PELLRUN_VERSION_QUAD "${PELLRUN_VERSION_PARTS}")
string(REPLACE ";" "," PELLRUN_VERSION_COMMAS "${PELLRUN_VERSION_PARTS}")
set(PELLRUN_COPYRIGHT "Copyright (c) 2026 Pellrun developers")
set(PELLRUN_PUBLISHER "Pellrun developers")

configure_file(${CMAKE_CURRENT_LIST_DIR}/pellrun_version.h.in ${CMAKE_BINARY_DIR}/generated/pellrun_version.h @ONLY)
add_library(pellrun_version INTERFACE)
target_include_directories(pellrun_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
