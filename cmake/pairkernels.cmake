# Module targets. A module's source (its kernel and its entry) knows no host: it is compiled once
# per platform into an object library, pairkernels_kernel_<module> (and, for the modules whose
# forms differ between profiles, once per profile: pairkernels_kernel_<profile>_<module>), and
# that object is linked into the module file of every host, with the host's binding (the
# gateway and the variant choice, compiled once per host) and its entry point. kernels/build.mk
# says what each piece is compiled from.
#
# Hosts: standin (the stand-in test host, all three profiles, in build/standin/<profile>/),
# release (MATLAB's modules and pairkernels_version, this platform's profile, in
# build/release/<extension>/), octave (GNU Octave MEX) and oct (native Octave functions):
# build/octave and build/oct hold the
# selected profile, build/octave-<profile> and build/oct-<profile> the others when the tests are
# built. Every folder holds all fourteen modules of its profile; only two of them differ between
# profiles, so the rest of a folder is the same objects linked again.
#
# Beside the Octave modules, each folder gets the toolbox: pairkernels_version (a compiled
# function built like the modules, not one of them), pairkernels_demo.m, Contents.m and
# functionSignatures.json (tools/toolbox_files.m, from the module table and the help texts).

set(PAIRKERNELS_PROFILES linux windows macos)

# The module files: ELF shared objects on Linux, DLLs when cross-built for Windows, Mach-O
# bundles when cross-built for macOS.
if(WIN32)
  set(PAIRKERNELS_MODULE_SUFFIX ".mexw64")
elseif(APPLE AND CMAKE_SYSTEM_PROCESSOR STREQUAL "arm64")
  set(PAIRKERNELS_MODULE_SUFFIX ".mexmaca64")
elseif(APPLE)
  set(PAIRKERNELS_MODULE_SUFFIX ".mexmaci64")
else()
  set(PAIRKERNELS_MODULE_SUFFIX ".mexa64")
endif()

# Installed layout (cmake --install): <libdir>/pairkernels/octave and .../oct hold the Octave MEX
# and native modules of the selected profile with their help; <libdir>/pairkernels/standin/
# <profile> the stand-in-host modules, beside the stand-in host libraries in .../standin/lib.
if(APPLE)
  set(CMAKE_INSTALL_LIBDIR lib)  # the cross-build knows no target layout; nothing installs there
else()
  include(GNUInstallDirs)
endif()
set(PAIRKERNELS_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/pairkernels)
# The licence, release notes and citation go to <libdir>/pairkernels, with the components that
# install modules for users (octave, matlab).
set(PAIRKERNELS_NOTES ${PROJECT_SOURCE_DIR}/COPYING ${PROJECT_SOURCE_DIR}/NEWS
  ${PROJECT_SOURCE_DIR}/CITATION)

set(_pk_include_dirs)
foreach(dir IN LISTS PK_INCLUDE_DIRS)
  list(APPEND _pk_include_dirs ${PROJECT_SOURCE_DIR}/${dir})
endforeach()
set(_pk_warnings -Wall -Wextra)

# Whatever is compiled into a module file: position-independent, hidden unless exported, the
# numerics flags.
function(_pairkernels_compile_settings target)
  target_compile_options(${target} PRIVATE ${PAIRKERNELS_NUMERIC_FLAGS} ${_pk_warnings})
  set_target_properties(${target} PROPERTIES
    POSITION_INDEPENDENT_CODE ON CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# The object library of a module in `profile`: its profile's own for a module whose forms differ,
# the one of every profile otherwise.
function(pairkernels_kernel_target var name profile)
  if(name IN_LIST PAIRKERNELS_PROFILED_MODULES)
    set(${var} pairkernels_kernel_${profile}_${name} PARENT_SCOPE)
  else()
    set(${var} pairkernels_kernel_${name} PARENT_SCOPE)
  endif()
endfunction()

function(_pairkernels_kernel_object name source profile)
  pairkernels_kernel_target(target ${name} "${profile}")
  add_library(${target} OBJECT ${source})
  target_include_directories(${target} PRIVATE ${_pk_include_dirs})
  if(profile)
    string(TOUPPER ${profile} upper)
    target_compile_definitions(${target} PRIVATE PK_PROFILE_${upper}=1)
  endif()
  _pairkernels_compile_settings(${target})
endfunction()

foreach(entry IN LISTS PAIRKERNELS_MODULES)
  get_filename_component(name ${entry} NAME)
  set(source ${PROJECT_SOURCE_DIR}/kernels/${entry}.cpp)
  if(name IN_LIST PAIRKERNELS_PROFILED_MODULES)
    foreach(profile IN LISTS PAIRKERNELS_PROFILES)
      _pairkernels_kernel_object(${name} ${source} ${profile})
    endforeach()
  else()
    _pairkernels_kernel_object(${name} ${source} "")
  endif()
endforeach()

# The link of one module file: the name and extension a host looks for, and only the entry point
# exported: mexFunction (MEX hosts) or `export` (the installer of a native Octave function).
function(_pairkernels_module_file target name outdir suffix export)
  set_target_properties(${target} PROPERTIES
    PREFIX "" SUFFIX "${suffix}" OUTPUT_NAME ${name} LINKER_LANGUAGE CXX
    LIBRARY_OUTPUT_DIRECTORY ${outdir})
  if(WIN32)
    # The .def file exports mexFunction by name at ordinal 1 and nothing else (no symbol of the
    # statically linked runtime either); the DLL imports only from the host DLLs and Windows.
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/gateway/mex.def)
    return()
  endif()
  if(APPLE)
    # ld64.lld links the bundle (cmake/zig-macos.cmake): _mexFunction is its one export, and
    # what no export reaches is dropped.
    target_link_options(${target} PRIVATE -exported_symbol _${export})
    return()
  endif()
  # The version script keeps the entry point global (mexFunction at node MEX) and makes
  # everything else local; host libraries are linked even where nothing is called from them
  # (libmat).
  if(export STREQUAL "mexFunction")
    set(map ${PROJECT_SOURCE_DIR}/gateway/mex.map)
  else()
    set(map ${PROJECT_BINARY_DIR}/generated/${export}.map)
    file(CONFIGURE OUTPUT ${map} CONTENT "{\n  global: ${export};\n  local: *;\n};\n")
  endif()
  target_link_options(${target} PRIVATE "-Wl,--version-script=${map}" "-Wl,--no-as-needed")
  set_target_properties(${target} PROPERTIES LINK_DEPENDS "${map}")
  if(NOT PAIRKERNELS_SANITIZE AND NOT PAIRKERNELS_FUZZ)
    # Every symbol resolved at link time (sanitizer runtimes live in the executable instead).
    target_link_options(${target} PRIVATE "-Wl,-z,defs")
  endif()
endfunction()

# The help text of <module>.m (its leading comment block) as a C++ string literal, for a native
# Octave function's docstring (Octave reads no .m beside a .oct for help). Sets `var` to the file.
function(_pairkernels_help_literal var help)
  get_filename_component(name ${help} NAME_WE)
  set(out ${PROJECT_BINARY_DIR}/generated/help/${name}.help.inc)
  if(NOT TARGET pairkernels_help_literal_${name})
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -DIN=${help} -DOUT=${out}
        -P ${PROJECT_SOURCE_DIR}/cmake/help-text.cmake
      DEPENDS ${help} ${PROJECT_SOURCE_DIR}/cmake/help-text.cmake)
    add_custom_target(pairkernels_help_literal_${name} DEPENDS ${out})
  endif()
  set(${var} ${out} PARENT_SCOPE)
endfunction()

# A module file of a host that is not one of the library's modules (pairkernels_version, the
# benchmark's floor): `source` compiled for the host and linked with its binding.
function(_pairkernels_module_target target source host profile outdir suffix)
  add_library(${target} MODULE ${source})
  get_filename_component(name ${source} NAME_WE)
  string(TOUPPER ${profile} upper)
  target_compile_definitions(${target} PRIVATE PK_PROFILE_${upper}=1)
  # Its entry point is its own (default visibility); the link exports nothing else.
  target_compile_options(${target} PRIVATE ${PAIRKERNELS_NUMERIC_FLAGS} ${_pk_warnings})
  target_link_libraries(${target} PRIVATE pairkernels_gateway_${host})
  set(export mexFunction)
  if(host STREQUAL "oct")
    set(export G${name})
    get_filename_component(folder ${source} DIRECTORY)
    if(EXISTS ${folder}/${name}.m)
      _pairkernels_help_literal(help ${folder}/${name}.m)
      add_dependencies(${target} pairkernels_help_literal_${name})
      target_compile_definitions(${target} PRIVATE PK_HELP_TEXT="${help}")
    endif()
  endif()
  _pairkernels_module_file(${target} ${name} ${outdir} "${suffix}" ${export})
endfunction()

# One of the library's module files: the module's object, linked with the host's binding and
# entry point (and, for a native Octave function, its installer).
function(_pairkernels_module host name profile outdir suffix)
  set(target ${host}_${profile}_${name})
  pairkernels_kernel_target(kernel ${name} ${profile})
  add_library(${target} MODULE)
  target_link_libraries(${target} PRIVATE ${kernel} pairkernels_entry_${host}
    pairkernels_gateway_${host})
  set(export mexFunction)
  if(host STREQUAL "oct")
    set(export G${name})
    _pairkernels_help_literal(help ${PROJECT_SOURCE_DIR}/kernels/${PAIRKERNELS_ENTRY_${name}}.m)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/${PK_OCTAVE_INSTALLER_SOURCE})
    add_dependencies(${target} pairkernels_help_literal_${name})
    target_compile_definitions(${target} PRIVATE PK_MODULE=${name} PK_HELP_TEXT="${help}")
    _pairkernels_compile_settings(${target})
  endif()
  _pairkernels_module_file(${target} ${name} ${outdir} "${suffix}" ${export})
endfunction()

foreach(entry IN LISTS PAIRKERNELS_MODULES)
  get_filename_component(name ${entry} NAME)
  set(PAIRKERNELS_ENTRY_${name} ${entry})
endforeach()

# Where the Octave build of a profile goes: build/octave (MEX) and build/oct (native) for the
# selected one, build/octave-<profile> and build/oct-<profile> for the others. `host` is octave
# (the default) or oct.
function(pairkernels_octave_dir var profile)
  set(folder octave)
  if(ARGC GREATER 2)
    set(folder ${ARGV2})
  endif()
  if(profile STREQUAL PAIRKERNELS_PROFILE)
    set(${var} ${PROJECT_BINARY_DIR}/${folder} PARENT_SCOPE)
  else()
    set(${var} ${PROJECT_BINARY_DIR}/${folder}-${profile} PARENT_SCOPE)
  endif()
endfunction()

# A help text beside a module file, so that `help <module>` finds it.
function(_pairkernels_help_beside var help outdir)
  get_filename_component(name ${help} NAME)
  add_custom_command(OUTPUT ${outdir}/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${help} ${outdir}/${name}
    DEPENDS ${help})
  set(${var} ${${var}} ${outdir}/${name} PARENT_SCOPE)
endfunction()

function(pairkernels_add_host host)
  # The host's binding: the gateway layer, compiled against this host's API, with the kernels'
  # choice of instruction set (simd/cpu.cpp), and the entry point of its module files. Modules
  # for the stand-in test host let the host cap that choice per call, so that the tests reach
  # every variant; no other build reads any setting.
  set(gateway_sources)
  foreach(source IN LISTS PK_GATEWAY_SOURCES)
    list(APPEND gateway_sources ${PROJECT_SOURCE_DIR}/${source})
  endforeach()
  if(APPLE)
    list(APPEND gateway_sources ${PROJECT_SOURCE_DIR}/macos/runtime.cpp)
  endif()
  add_library(pairkernels_gateway_${host} STATIC ${gateway_sources})
  add_library(pairkernels_entry_${host} OBJECT ${PROJECT_SOURCE_DIR}/${PK_ENTRY_SOURCE})
  foreach(target pairkernels_gateway_${host} pairkernels_entry_${host})
    target_include_directories(${target} PUBLIC ${_pk_include_dirs})
    _pairkernels_compile_settings(${target})
  endforeach()
  target_link_libraries(pairkernels_entry_${host} PUBLIC pairkernels_gateway_${host})
  if(host STREQUAL "standin")
    target_compile_definitions(pairkernels_gateway_${host} PRIVATE PK_SIMD_HOST_CAP=1)
  endif()
  if(PAIRKERNELS_SIMD_MAX STREQUAL "sse2")
    target_compile_definitions(pairkernels_gateway_${host} PRIVATE PK_SIMD_MAX_LEVEL=0)
  elseif(PAIRKERNELS_SIMD_MAX STREQUAL "avx2")
    target_compile_definitions(pairkernels_gateway_${host} PRIVATE PK_SIMD_MAX_LEVEL=1)
  endif()

  if(host STREQUAL "standin" OR host STREQUAL "release")
    # libmex first: mexErrMsgIdAndTxt; libmat is linked as MATLAB modules link it, unused. A
    # release module records the libraries' names only (libmx.so, libmx.dll, ...): the host that
    # loads it has its own.
    target_link_libraries(pairkernels_gateway_${host} PUBLIC
      pairkernels_standin_headers mex mx mat)
  else()
    execute_process(COMMAND ${MKOCTFILE} -p INCFLAGS OUTPUT_VARIABLE inc OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${MKOCTFILE} -p OCTLIBDIR OUTPUT_VARIABLE libdir OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${MKOCTFILE} -p OCTAVE_LIBS OUTPUT_VARIABLE libs OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(inc UNIX_COMMAND "${inc}")
    separate_arguments(libs UNIX_COMMAND "${libs}")
    # Octave's headers as system headers: their own warnings are not the modules'.
    foreach(flag IN LISTS inc)
      if(flag MATCHES "^-I(.+)")
        target_include_directories(pairkernels_gateway_${host} SYSTEM PUBLIC ${CMAKE_MATCH_1})
      endif()
    endforeach()
    if(host STREQUAL "oct")
      target_compile_definitions(pairkernels_gateway_${host} PUBLIC PK_HOST_OCTAVE=1)
    endif()
    target_link_directories(pairkernels_gateway_${host} PUBLIC ${libdir})
    target_link_libraries(pairkernels_gateway_${host} PUBLIC ${libs})
  endif()

  set(help_files)
  if(host STREQUAL "standin")
    set(root ${PROJECT_BINARY_DIR})
    if(APPLE)
      set(root ${PAIRKERNELS_MACOS_OUT})
    endif()
    foreach(profile IN LISTS PAIRKERNELS_PROFILES)
      set(outdir ${root}/standin/${profile})
      foreach(entry IN LISTS PAIRKERNELS_MODULES)
        get_filename_component(name ${entry} NAME)
        _pairkernels_module(standin ${name} ${profile} ${outdir} "${PAIRKERNELS_MODULE_SUFFIX}")
        set_target_properties(standin_${profile}_${name} PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
        install(TARGETS standin_${profile}_${name} COMPONENT standin
          LIBRARY DESTINATION ${PAIRKERNELS_INSTALL_DIR}/standin/${profile})
      endforeach()
    endforeach()
  elseif(host STREQUAL "release")
    string(SUBSTRING "${PAIRKERNELS_MODULE_SUFFIX}" 1 -1 extension)
    set(outdir ${PROJECT_BINARY_DIR}/release/${extension})
    set(profile linux)
    if(WIN32)
      set(profile windows)
    elseif(APPLE)
      set(profile macos)
      set(outdir ${PAIRKERNELS_MACOS_OUT}/${CMAKE_SYSTEM_PROCESSOR})
    endif()
    foreach(entry IN LISTS PAIRKERNELS_MODULES)
      get_filename_component(name ${entry} NAME)
      _pairkernels_module(release ${name} ${profile} ${outdir} "${PAIRKERNELS_MODULE_SUFFIX}")
      set_target_properties(release_${profile}_${name} PROPERTIES SKIP_BUILD_RPATH ON)
      _pairkernels_help_beside(help_files ${PROJECT_SOURCE_DIR}/kernels/${entry}.m ${outdir})
    endforeach()
    # pairkernels_version beside them, built the same way, with its help.
    set(target release_${profile}_pairkernels_version)
    _pairkernels_module_target(${target} ${PROJECT_SOURCE_DIR}/${PK_VERSION_SOURCE} release
      ${profile} ${outdir} "${PAIRKERNELS_MODULE_SUFFIX}")
    target_compile_definitions(${target} PRIVATE PK_VERSION=${PROJECT_VERSION})
    set_target_properties(${target} PROPERTIES SKIP_BUILD_RPATH ON)
    _pairkernels_help_beside(help_files ${PROJECT_SOURCE_DIR}/toolbox/pairkernels_version.m
      ${outdir})
  else()
    if(host STREQUAL "oct")
      set(suffix ".oct")
    else()
      set(suffix ".mex")
    endif()
    # build/octave holds the selected profile; the test suite also builds the others beside it.
    set(profiles ${PAIRKERNELS_PROFILE})
    if(PAIRKERNELS_TESTS)
      set(profiles ${PAIRKERNELS_PROFILES})
    endif()
    pairkernels_add_toolbox(${host} "${profiles}")
    foreach(profile IN LISTS profiles)
      pairkernels_octave_dir(outdir ${profile} ${host})
      foreach(entry IN LISTS PAIRKERNELS_MODULES)
        get_filename_component(name ${entry} NAME)
        _pairkernels_module(${host} ${name} ${profile} ${outdir} ${suffix})
        _pairkernels_help_beside(help_files ${PROJECT_SOURCE_DIR}/kernels/${entry}.m ${outdir})
      endforeach()
    endforeach()
    foreach(entry IN LISTS PAIRKERNELS_MODULES)
      get_filename_component(name ${entry} NAME)
      install(TARGETS ${host}_${PAIRKERNELS_PROFILE}_${name} COMPONENT octave
        LIBRARY DESTINATION ${PAIRKERNELS_INSTALL_DIR}/${host})
      install(FILES ${PROJECT_SOURCE_DIR}/kernels/${entry}.m COMPONENT octave
        DESTINATION ${PAIRKERNELS_INSTALL_DIR}/${host})
    endforeach()
  endif()
  if(help_files)
    add_custom_target(pairkernels_${host}_help ALL DEPENDS ${help_files})
  endif()
endfunction()

# The toolbox beside one Octave host's modules, in each of `profiles`: pairkernels_version, the
# demo, Contents.m and functionSignatures.json.
function(pairkernels_add_toolbox host profiles)
  find_program(OCTAVE_CLI octave-cli REQUIRED)
  if(host STREQUAL "oct")
    set(suffix ".oct")
  else()
    set(suffix ".mex")
  endif()
  set(toolbox ${PROJECT_SOURCE_DIR}/toolbox)
  set(inputs ${PAIRKERNELS_MODULE_TABLE} ${PROJECT_SOURCE_DIR}/tools/toolbox_files.m
    ${PROJECT_SOURCE_DIR}/tools/module_table.m
    ${PROJECT_SOURCE_DIR}/CMakeLists.txt ${toolbox}/pairkernels_version.m
    ${toolbox}/pairkernels_demo.m ${toolbox}/pairkernels_reference.m)
  foreach(entry IN LISTS PAIRKERNELS_MODULES)
    list(APPEND inputs ${PROJECT_SOURCE_DIR}/kernels/${entry}.m)
  endforeach()
  foreach(profile IN LISTS profiles)
    pairkernels_octave_dir(outdir ${profile} ${host})
    set(target ${host}_${profile}_pairkernels_version)
    _pairkernels_module_target(${target} ${PROJECT_SOURCE_DIR}/${PK_VERSION_SOURCE} ${host}
      ${profile} ${outdir} ${suffix})
    target_compile_definitions(${target} PRIVATE PK_VERSION=${PROJECT_VERSION})
    set(files)
    foreach(name IN ITEMS pairkernels_version pairkernels_demo pairkernels_reference)
      _pairkernels_help_beside(files ${toolbox}/${name}.m ${outdir})
    endforeach()
    set(call "addpath('${PROJECT_SOURCE_DIR}/tools'); ")
    string(APPEND call "toolbox_files('${PROJECT_SOURCE_DIR}', '${outdir}', '${profile}')")
    add_custom_command(OUTPUT ${outdir}/Contents.m ${outdir}/functionSignatures.json
      COMMAND ${OCTAVE_CLI} --norc --no-history --quiet --eval "${call}"
      DEPENDS ${inputs}
      COMMENT "Contents.m and functionSignatures.json for ${outdir}"
      VERBATIM)
    list(APPEND files ${outdir}/Contents.m ${outdir}/functionSignatures.json)
    add_custom_target(pairkernels_${host}_${profile}_toolbox ALL DEPENDS ${files})
    if(profile STREQUAL PAIRKERNELS_PROFILE)
      install(TARGETS ${target} COMPONENT octave
        LIBRARY DESTINATION ${PAIRKERNELS_INSTALL_DIR}/${host})
      install(FILES ${files} COMPONENT octave DESTINATION ${PAIRKERNELS_INSTALL_DIR}/${host})
    endif()
  endforeach()
  install(FILES ${PAIRKERNELS_NOTES} COMPONENT octave DESTINATION ${PAIRKERNELS_INSTALL_DIR})
endfunction()

# The reference pages, build/doc: one HTML page per module and toolbox function, the index and
# helptoc.xml, from the help texts (tools/reference_pages.m, run with GNU Octave).
function(pairkernels_add_reference_pages)
  find_program(OCTAVE_CLI octave-cli REQUIRED)
  set(outdir ${PROJECT_BINARY_DIR}/doc)
  set(inputs ${PAIRKERNELS_MODULE_TABLE} ${PROJECT_SOURCE_DIR}/tools/reference_pages.m
    ${PROJECT_SOURCE_DIR}/tools/module_table.m ${PROJECT_SOURCE_DIR}/CMakeLists.txt
    ${PROJECT_SOURCE_DIR}/NEWS)
  set(pages ${outdir}/index.html ${outdir}/helptoc.xml)
  foreach(entry IN LISTS PAIRKERNELS_MODULES ITEMS ../toolbox/pairkernels_version
      ../toolbox/pairkernels_demo ../toolbox/pairkernels_reference)
    get_filename_component(name ${entry} NAME)
    list(APPEND inputs ${PROJECT_SOURCE_DIR}/kernels/${entry}.m)
    list(APPEND pages ${outdir}/${name}.html)
  endforeach()
  set(call "addpath('${PROJECT_SOURCE_DIR}/tools'); ")
  string(APPEND call "reference_pages('${PROJECT_SOURCE_DIR}', '${outdir}')")
  add_custom_command(OUTPUT ${pages}
    COMMAND ${OCTAVE_CLI} --norc --no-history --quiet --eval "${call}"
    DEPENDS ${inputs}
    COMMENT "Reference pages in ${outdir}"
    VERBATIM)
  add_custom_target(pairkernels_reference_pages ALL DEPENDS ${pages})
endfunction()
