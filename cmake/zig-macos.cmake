# Cross-build of the macOS modules: Mach-O bundles compiled with Zig's clang (`zig c++`, which
# carries the macOS libc and libc++ headers) and linked with LLVM's ld64.lld against link-time
# stubs of the host libraries (macos/stubs/*.tbd) and Zig's stub of libSystem. No macOS SDK.
#   cmake -S . -B DIR -DCMAKE_TOOLCHAIN_FILE=cmake/zig-macos.cmake -DPAIRKERNELS_ZIG=.../zig
#         -DPAIRKERNELS_MACOS_ARCH=x86_64|arm64
# (macos/zig.sh installs Zig and prints its path). Only the module files are built, nothing that
# would run here: the stand-in host's test bundles of every profile and the deliverables.
set(CMAKE_SYSTEM_NAME Darwin)
if(NOT PAIRKERNELS_MACOS_ARCH)
  set(PAIRKERNELS_MACOS_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${PAIRKERNELS_MACOS_ARCH})
set(PAIRKERNELS_MACOS_MIN 11.0)
if(NOT PAIRKERNELS_ZIG)
  message(FATAL_ERROR "PAIRKERNELS_ZIG must name Zig's zig program (macos/zig.sh installs one)")
endif()
# The variables a try_compile's own configure needs again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PAIRKERNELS_ZIG PAIRKERNELS_MACOS_ARCH)

# zig c++ is one program with a subcommand: CMake gets a small wrapper per language, which also
# names the target (aarch64 is Zig's name of arm64). The wrappers only compile: every bundle is
# linked by ld64.lld (below), and a link through Zig first builds its libc++ for the target (a
# minute per tree, for CMake's identification of the compiler alone, which then identifies it
# from an object file instead).
if(PAIRKERNELS_MACOS_ARCH STREQUAL "arm64")
  set(_zig_target aarch64-macos.${PAIRKERNELS_MACOS_MIN})
else()
  set(_zig_target x86_64-macos.${PAIRKERNELS_MACOS_MIN})
endif()
get_filename_component(_zig_dir ${PAIRKERNELS_ZIG} DIRECTORY)
set(_wrappers ${CMAKE_BINARY_DIR}/zig-wrappers)
foreach(lang cc c++)
  file(WRITE ${_wrappers}/zig-${lang}.tmp
    "#!/bin/sh\ncase \" $* \" in *' -c '*|*' -E '*|*' -S '*) ;;\n"
    "*) echo \"zig-${lang}: compiles only (-c, -E or -S); bundles are linked by ld64.lld\" >&2; exit 1 ;;\n"
    "esac\nexec '${PAIRKERNELS_ZIG}' ${lang} -target ${_zig_target} \"$@\"\n")
  file(COPY ${_wrappers}/zig-${lang}.tmp DESTINATION ${_wrappers}/bin
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
    WORLD_EXECUTE)
  file(RENAME ${_wrappers}/bin/zig-${lang}.tmp ${_wrappers}/bin/zig-${lang})
endforeach()
set(CMAKE_C_COMPILER ${_wrappers}/bin/zig-cc)
set(CMAKE_CXX_COMPILER ${_wrappers}/bin/zig-c++)
# Zig keeps its caches in the build tree.
set(ENV{ZIG_GLOBAL_CACHE_DIR} ${CMAKE_BINARY_DIR}/zig-cache)
set(ENV{ZIG_LOCAL_CACHE_DIR} ${CMAKE_BINARY_DIR}/zig-cache)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# The static libraries (the host bindings) are archives of Mach-O objects, which ld64.lld reads
# only with a Darwin symbol index: GNU ar writes none for them, LLVM's archiver writes one in the
# format asked for (the archive rules below).
find_program(PAIRKERNELS_LLVM_AR NAMES llvm-ar llvm-ar-14
  PATHS /usr/lib/llvm-14/bin /usr/lib/llvm-15/bin /usr/lib/llvm-16/bin REQUIRED)

# The bundles are linked by ld64.lld itself: a bundle of this architecture exporting
# _mexFunction alone (-exported_symbol, set per target), against libSystem's stub.
find_program(PAIRKERNELS_LD64 NAMES ld64.lld ld64.lld-14
  PATHS /usr/lib/llvm-14/bin /usr/lib/llvm-15/bin /usr/lib/llvm-16/bin REQUIRED)
set(PAIRKERNELS_LIBSYSTEM ${_zig_dir}/lib/libc/darwin/libSystem.11.tbd)
# CMake's own Darwin rules would link through the compiler driver; these rules replace them once
# they are loaded (a rules override file): the bundle's link, and the archives' (above).
set(_rules "set(CMAKE_CXX_CREATE_SHARED_MODULE \"${PAIRKERNELS_LD64} -arch ${PAIRKERNELS_MACOS_ARCH} -bundle -platform_version macos ${PAIRKERNELS_MACOS_MIN} ${PAIRKERNELS_MACOS_MIN} -dead_strip <LINK_FLAGS> -o <TARGET> <OBJECTS> <LINK_LIBRARIES> ${PAIRKERNELS_LIBSYSTEM}\")\n")
string(APPEND _rules
  "set(CMAKE_CXX_ARCHIVE_CREATE \"${PAIRKERNELS_LLVM_AR} --format=darwin crs <TARGET> <OBJECTS>\")\n"
  "set(CMAKE_CXX_ARCHIVE_APPEND \"${PAIRKERNELS_LLVM_AR} --format=darwin rs <TARGET> <OBJECTS>\")\n"
  "set(CMAKE_CXX_ARCHIVE_FINISH \"\")\n")
file(WRITE ${_wrappers}/bundle-rule.cmake "${_rules}")
set(CMAKE_USER_MAKE_RULES_OVERRIDE_CXX ${_wrappers}/bundle-rule.cmake)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
