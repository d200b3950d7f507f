# Cross-build for 64-bit Arm Linux with Debian's cross compilers (g++-aarch64-linux-gnu):
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# The modules, the stand-in host and the C++ tests, with the kernels in their portable form (no
# x86 code). GCC contracts a*b + c into one fused multiply-add by default on this processor; the
# project's -ffp-contract=off keeps every product rounded on its own, as on x86-64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(_cross aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${_cross}-gcc)
set(CMAKE_CXX_COMPILER ${_cross}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${_cross})
# Test programs run under user-mode QEMU, with the cross toolchain's libraries as the target's.
find_program(PAIRKERNELS_QEMU_AARCH64 qemu-aarch64-static)
if(PAIRKERNELS_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PAIRKERNELS_QEMU_AARCH64} -L /usr/${_cross})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
