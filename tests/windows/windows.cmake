# Test tooling of the Windows cross-build: Wine to run the test program, and the check of every
# module DLL's binding.

find_program(PAIRKERNELS_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(PAIRKERNELS_WINE64 wine64)
if(NOT PAIRKERNELS_WINE64)
  message(WARNING "wine64 not found: the Windows tests cannot run (make test-windows installs it)")
  set(PAIRKERNELS_WINE64 /usr/lib/wine/wine64)
endif()

# A test NAME that runs the GoogleTest program PROGRAM once under Wine (tests/windows/
# gtest_suite.sh), in a Wine session of the test's own (wine_session.sh): its prefix,
# wineprefix-NAME in the build tree, is created on the first run; its server is started for the
# test and ended with it. Nothing is listed under Wine when ctest starts, and no test meets a
# server that another left behind.
function(pairkernels_wine_test name program)
  add_test(NAME ${name}
    COMMAND bash ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wine_session.sh
      ${PROJECT_BINARY_DIR}/wineprefix-${name}
      bash ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/gtest_suite.sh ${program} ${ARGN})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT PK_WINE64=${PAIRKERNELS_WINE64}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# Every module DLL of every profile, as the module list names them.
set(module_files)
foreach(profile IN LISTS PAIRKERNELS_PROFILES)
  foreach(entry IN LISTS PAIRKERNELS_MODULES)
    get_filename_component(name ${entry} NAME)
    list(APPEND module_files ${PROJECT_BINARY_DIR}/standin/${profile}/${name}${PAIRKERNELS_MODULE_SUFFIX})
  endforeach()
endforeach()
add_test(NAME windows_module_binding
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/pe_binding.sh ${CMAKE_OBJDUMP} ${module_files})
# The check must be able to fail: the host's libmx.dll exports many symbols and imports no host call.
add_test(NAME windows_module_binding_rejects_other_dlls
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/pe_binding.sh ${CMAKE_OBJDUMP} $<TARGET_FILE:mx>)
set_tests_properties(windows_module_binding windows_module_binding_rejects_other_dlls
  PROPERTIES LABELS windows)
set_tests_properties(windows_module_binding_rejects_other_dlls PROPERTIES WILL_FAIL TRUE)
