# The modules of the library, from the module table kernels/modules.txt:
#   PAIRKERNELS_MODULES          <folder>/<module> of every module, in the table's order
#   PAIRKERNELS_PROFILED_MODULES the names of the modules whose forms differ between profiles
#                                (those with more than one line), compiled once per profile
#   PAIRKERNELS_MODULE_TABLE     the table's path
# and ${PROJECT_BINARY_DIR}/generated/pk_module_table.inc, the table as a C++ string literal for
# the C++ catalogue (reference/catalog.cpp). CMake runs again when the table changes.
set(PAIRKERNELS_MODULE_TABLE ${PROJECT_SOURCE_DIR}/kernels/modules.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PAIRKERNELS_MODULE_TABLE})

file(STRINGS ${PAIRKERNELS_MODULE_TABLE} _pk_lines REGEX "^[a-z]")
set(PAIRKERNELS_MODULES)
set(PAIRKERNELS_PROFILED_MODULES)
set(_pk_seen)
foreach(_pk_line IN LISTS _pk_lines)
  string(REGEX REPLACE "[ \t]+" ";" _pk_fields "${_pk_line}")
  list(GET _pk_fields 0 _pk_name)
  list(GET _pk_fields 1 _pk_folder)
  if(NOT EXISTS ${PROJECT_SOURCE_DIR}/kernels/${_pk_folder}/${_pk_name}.cpp)
    message(FATAL_ERROR "kernels/modules.txt names ${_pk_folder}/${_pk_name}, which has no source")
  endif()
  list(APPEND PAIRKERNELS_MODULES ${_pk_folder}/${_pk_name})
  if(_pk_name IN_LIST _pk_seen)
    list(APPEND PAIRKERNELS_PROFILED_MODULES ${_pk_name})
  endif()
  list(APPEND _pk_seen ${_pk_name})
endforeach()
list(REMOVE_DUPLICATES PAIRKERNELS_PROFILED_MODULES)
list(REMOVE_DUPLICATES PAIRKERNELS_MODULES)

file(READ ${PAIRKERNELS_MODULE_TABLE} _pk_table)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/generated/pk_module_table.inc
  CONTENT "R\"pktable(@_pk_table@)pktable\"\n" @ONLY)

# The build description, kernels/build.mk (NAME = value lines), as CMake variables of the same
# names, each a list.
set(PAIRKERNELS_BUILD_DESCRIPTION ${PROJECT_SOURCE_DIR}/kernels/build.mk)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PAIRKERNELS_BUILD_DESCRIPTION})
file(STRINGS ${PAIRKERNELS_BUILD_DESCRIPTION} _pk_lines REGEX "^PK_[A-Z_]+ *=")
foreach(_pk_line IN LISTS _pk_lines)
  string(REGEX MATCH "^(PK_[A-Z_]+) *= *(.*)$" _pk_match "${_pk_line}")
  separate_arguments(_pk_value UNIX_COMMAND "${CMAKE_MATCH_2}")
  set(${CMAKE_MATCH_1} ${_pk_value})
endforeach()
