# MATLAB builds of the modules, when MATLAB is found: one matlab_add_mex target per module
# (matlab_<module>), built into build/matlab/ with its help text beside it, in the selected
# profile. Each module is compiled together with the gateway, against MATLAB's own mex.h, with
# the separate-complex API (R2017b: a complex argument is read through its real part) and with
# floating-point contraction off.

find_package(Matlab QUIET)
if(NOT Matlab_FOUND)
  message(STATUS "MATLAB not found: the MATLAB modules are not built (set Matlab_ROOT_DIR to use one)")
  return()
endif()
message(STATUS "MATLAB found in ${Matlab_ROOT_DIR}: building the MATLAB modules into ${PROJECT_BINARY_DIR}/matlab")

if(MSVC)
  set(matlab_numeric_flags /fp:precise)
else()
  set(matlab_numeric_flags ${PAIRKERNELS_NUMERIC_FLAGS})
endif()
string(TOUPPER ${PAIRKERNELS_PROFILE} profile_upper)
set(matlab_outdir ${PROJECT_BINARY_DIR}/matlab)

foreach(entry IN LISTS PAIRKERNELS_MODULES)
  get_filename_component(name ${entry} NAME)
  # matlab_add_mex lists the help file among the target's sources; a .m source would otherwise
  # be taken for Objective-C and compiled.
  set_source_files_properties(${PROJECT_SOURCE_DIR}/kernels/${entry}.m PROPERTIES HEADER_FILE_ONLY TRUE)
  matlab_add_mex(
    NAME matlab_${name}
    MODULE
    SRC ${PROJECT_SOURCE_DIR}/kernels/${entry}.cpp ${PROJECT_SOURCE_DIR}/gateway/gateway.cpp
        ${PROJECT_SOURCE_DIR}/simd/cpu.cpp
    OUTPUT_NAME ${name}
    DOCUMENTATION ${PROJECT_SOURCE_DIR}/kernels/${entry}.m
    R2017b)
  target_include_directories(matlab_${name} PRIVATE ${PROJECT_SOURCE_DIR}/gateway
    ${PROJECT_SOURCE_DIR}/simd)
  target_compile_definitions(matlab_${name} PRIVATE PK_PROFILE_${profile_upper}=1)
  target_compile_options(matlab_${name} PRIVATE ${matlab_numeric_flags})
  set_target_properties(matlab_${name} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${matlab_outdir}
    RUNTIME_OUTPUT_DIRECTORY ${matlab_outdir})
  install(TARGETS matlab_${name} COMPONENT matlab
    LIBRARY DESTINATION ${PAIRKERNELS_INSTALL_DIR}/matlab
    RUNTIME DESTINATION ${PAIRKERNELS_INSTALL_DIR}/matlab)
  install(FILES ${PROJECT_SOURCE_DIR}/kernels/${entry}.m COMPONENT matlab
    DESTINATION ${PAIRKERNELS_INSTALL_DIR}/matlab)
endforeach()
