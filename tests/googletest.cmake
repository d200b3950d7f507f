# GoogleTest for a cross-build (Windows, aarch64): built from Debian's source package (googletest)
# with the cross compiler, as the target's GTest::gtest and GTest::gtest_main.
set(PAIRKERNELS_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")
if(NOT EXISTS ${PAIRKERNELS_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${PAIRKERNELS_GTEST_SOURCE} (Debian package googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${PAIRKERNELS_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# The framework's speed does not matter: -O1 builds it in half the time of the tree's -O3.
target_compile_options(gtest PRIVATE -O1)
target_compile_options(gtest_main PRIVATE -O1)
