# MATLAB builds of the modules, when MATLAB is found: one matlab_add_mex target per module
# (matlab_<module>), built into build/matlab/ with its help text beside it, in the selected
# profile. Each module is compiled together with the gateway, against MATLAB's own mex.h, with
# the separate-complex API (R2017b: a complex argument is read through its real part) and with
# floating-point contraction off. pairkernels_version is built the same way, and the toolbox
# files go beside the modules (Contents.m and functionSignatures.json when GNU Octave is there to
# run tools/toolbox_files.m).

find_package(Matlab QUIET)
if(NOT Matlab_FOUND)
  message(STATUS "MATLAB not found: the MATLAB modules are not built (set Matlab_ROOT_DIR to use one)")
  return()
endif()
message(STATUS "MATLAB found in ${Matlab_ROOT_DIR}: building the MATLAB modules into ${PROJECT_BINARY_DIR}/matlab")

if(MSVC)
  # The sources use GCC and Clang extensions (vector types, __builtin_mul_overflow, cpuid.h).
  message(FATAL_ERROR "pairkernels needs GCC or Clang; on Windows build with MinGW-w64")
endif()
set(matlab_numeric_flags ${PAIRKERNELS_NUMERIC_FLAGS})
string(TOUPPER ${PAIRKERNELS_PROFILE} profile_upper)
set(matlab_outdir ${PROJECT_BINARY_DIR}/matlab)

set(matlab_entries)
foreach(entry IN LISTS PAIRKERNELS_MODULES)
  list(APPEND matlab_entries ${PROJECT_SOURCE_DIR}/kernels/${entry})
endforeach()
list(APPEND matlab_entries ${PROJECT_SOURCE_DIR}/toolbox/pairkernels_version)
foreach(entry IN LISTS matlab_entries)
  get_filename_component(name ${entry} NAME)
  # matlab_add_mex lists the help file among the target's sources; a .m source would otherwise
  # be taken for Objective-C and compiled.
  set_source_files_properties(${entry}.m PROPERTIES HEADER_FILE_ONLY TRUE)
  matlab_add_mex(
    NAME matlab_${name}
    MODULE
    SRC ${entry}.cpp ${PROJECT_SOURCE_DIR}/gateway/gateway.cpp ${PROJECT_SOURCE_DIR}/simd/cpu.cpp
    OUTPUT_NAME ${name}
    DOCUMENTATION ${entry}.m
    R2017b)
  target_include_directories(matlab_${name} PRIVATE ${PROJECT_SOURCE_DIR}/gateway
    ${PROJECT_SOURCE_DIR}/simd)
  target_compile_definitions(matlab_${name} PRIVATE PK_PROFILE_${profile_upper}=1
    PK_VERSION=${PROJECT_VERSION})
  target_compile_options(matlab_${name} PRIVATE ${matlab_numeric_flags})
  set_target_properties(matlab_${name} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${matlab_outdir}
    RUNTIME_OUTPUT_DIRECTORY ${matlab_outdir})
  install(TARGETS matlab_${name} COMPONENT matlab
    LIBRARY DESTINATION ${PAIRKERNELS_INSTALL_DIR}/matlab
    RUNTIME DESTINATION ${PAIRKERNELS_INSTALL_DIR}/matlab)
  install(FILES ${entry}.m COMPONENT matlab DESTINATION ${PAIRKERNELS_INSTALL_DIR}/matlab)
endforeach()

set(matlab_toolbox)
foreach(name IN ITEMS pairkernels_demo pairkernels_reference)
  add_custom_command(OUTPUT ${matlab_outdir}/${name}.m
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/toolbox/${name}.m
      ${matlab_outdir}/${name}.m
    DEPENDS ${PROJECT_SOURCE_DIR}/toolbox/${name}.m)
  list(APPEND matlab_toolbox ${matlab_outdir}/${name}.m)
endforeach()
find_program(OCTAVE_CLI octave-cli)
if(OCTAVE_CLI)
  set(call "addpath('${PROJECT_SOURCE_DIR}/tools'); ")
  string(APPEND call
    "toolbox_files('${PROJECT_SOURCE_DIR}', '${matlab_outdir}', '${PAIRKERNELS_PROFILE}')")
  add_custom_command(OUTPUT ${matlab_outdir}/Contents.m ${matlab_outdir}/functionSignatures.json
    COMMAND ${OCTAVE_CLI} --norc --no-history --quiet --eval "${call}"
    DEPENDS ${PAIRKERNELS_MODULE_TABLE} ${PROJECT_SOURCE_DIR}/tools/toolbox_files.m
    VERBATIM)
  list(APPEND matlab_toolbox ${matlab_outdir}/Contents.m ${matlab_outdir}/functionSignatures.json)
else()
  message(STATUS "octave-cli not found: no Contents.m and functionSignatures.json in build/matlab")
endif()
add_custom_target(pairkernels_matlab_toolbox ALL DEPENDS ${matlab_toolbox})
install(FILES ${matlab_toolbox} COMPONENT matlab DESTINATION ${PAIRKERNELS_INSTALL_DIR}/matlab)
install(FILES ${PAIRKERNELS_NOTES} COMPONENT matlab DESTINATION ${PAIRKERNELS_INSTALL_DIR})
