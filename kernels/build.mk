# How every pairkernels module is compiled, for every platform and every host: CMake
# (cmake/pairkernels.cmake, which builds every platform), the Octave package's Makefile and
# build_pairkernels.m all read this file, so that each compiles the same sources with the same
# language and numerics flags. The modules themselves, their sources and their forms are in the
# module table, modules.txt beside this file.
#
# A module file is its module's object (its source, kernels/<folder>/<module>.cpp, compiled once
# per platform and, for a module whose forms differ between profiles, once per profile with
# -DPK_PROFILE_LINUX, _WINDOWS or _MACOS) linked with its host's binding: the gateway and the
# variant choice, compiled once per host (-DPK_HOST_OCTAVE for native Octave functions,
# -DPK_SIMD_HOST_CAP for the stand-in test host), and the host's entry point. A native Octave
# module also has its installer, compiled with -DPK_MODULE=<module> and -DPK_HELP_TEXT="<file of
# its help text as a string literal>".

# The language, and the numerics every source is compiled with: every product and every sum
# rounded on its own (no fused multiply-add, nothing that reorders or shortens floating-point
# arithmetic), so that results are the same bits in every build.
PK_STD = c++17
PK_NUMERIC_FLAGS = -ffp-contract=off -fno-fast-math
# Flags that change results: every build refuses to compile when its configured flags hold one.
PK_REFUSED_FLAGS = -ffast-math -Ofast -ffp-contract=fast -funsafe-math-optimizations

# Include folders, from the source root.
PK_INCLUDE_DIRS = gateway simd
# The host binding, compiled once per host and linked into each of its module files.
PK_GATEWAY_SOURCES = gateway/gateway.cpp simd/cpu.cpp
# The entry point of the host's module files.
PK_ENTRY_SOURCE = gateway/entry.cpp
# A native Octave module's installer, compiled once per module.
PK_OCTAVE_INSTALLER_SOURCE = gateway/octave_installer.cpp
# pairkernels_version, built like a module (with -DPK_VERSION=<release> and its profile) but
# with an entry of its own: it links the host binding, not the entry point.
PK_VERSION_SOURCE = toolbox/pairkernels_version.cpp
