# Module targets for one host. A module is one source file holding its gateway and kernel,
# linked with the host's build of the shared gateway layer into a loadable file that exports its
# entry point only: mexFunction for the MEX hosts (standin, octave), G<module>, the function
# installer of a DEFUN_DLD function, for the native Octave build (oct). The host "release" is
# MATLAB's: the modules of the binary release (make release), built as the stand-in host's are
# but reading nothing beyond the host calls, in this platform's profile, into
# build/release/<extension>/ (mexa64, or mexw64 in the Windows cross-build) with their help.
#
# Beside the modules, each Octave folder gets the toolbox: pairkernels_version (a compiled
# function built like the modules, not one of them), pairkernels_demo.m, Contents.m and
# functionSignatures.json (tools/toolbox_files.m, from the module table and the help texts).

set(PAIRKERNELS_PROFILES linux windows macos)

# The stand-in host's module files: ELF shared objects on Linux, DLLs when cross-built for Windows.
if(WIN32)
  set(PAIRKERNELS_MODULE_SUFFIX ".mexw64")
else()
  set(PAIRKERNELS_MODULE_SUFFIX ".mexa64")
endif()

# Installed layout (cmake --install): <libdir>/pairkernels/octave and .../oct hold the Octave MEX
# and native modules of the selected profile with their help; <libdir>/pairkernels/standin/
# <profile> the stand-in-host modules, beside the stand-in host libraries in .../standin/lib.
include(GNUInstallDirs)
set(PAIRKERNELS_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/pairkernels)
# The licence, release notes and citation go to <libdir>/pairkernels, with the components that
# install modules for users (octave, matlab).
set(PAIRKERNELS_NOTES ${PROJECT_SOURCE_DIR}/COPYING ${PROJECT_SOURCE_DIR}/NEWS
  ${PROJECT_SOURCE_DIR}/CITATION)

function(_pairkernels_module_target target source host profile outdir suffix)
  add_library(${target} MODULE ${source})
  get_filename_component(name ${source} NAME_WE)
  string(TOUPPER ${profile} PROFILE_UPPER)
  target_compile_definitions(${target} PRIVATE PK_PROFILE_${PROFILE_UPPER}=1)
  target_compile_options(${target} PRIVATE ${PAIRKERNELS_NUMERIC_FLAGS} -Wall -Wextra)
  target_link_libraries(${target} PRIVATE pairkernels_gateway_${host})
  if(WIN32)
    # The .def file exports mexFunction by name at ordinal 1 and nothing else (no symbol of the
    # statically linked runtime either); the DLL imports only from the host DLLs and Windows.
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/gateway/mex.def)
  else()
    # The version script keeps the entry point global (mexFunction at node MEX) and makes
    # everything else local; host libraries are linked even where nothing is called from them
    # (libmat).
    if(host STREQUAL "oct")
      set(map ${PROJECT_BINARY_DIR}/generated/oct-${name}.map)
      file(CONFIGURE OUTPUT ${map} CONTENT "{\n  global: G${name};\n  local: *;\n};\n")
      # The help text is the function's docstring (Octave reads no .m beside a .oct for help);
      # one file per target, as the profiles' targets of a module may be built at once.
      get_filename_component(folder ${source} DIRECTORY)
      if(EXISTS ${folder}/${name}.m)
        set(help ${PROJECT_BINARY_DIR}/generated/help/${target}.help.inc)
        add_custom_command(OUTPUT ${help}
          COMMAND ${CMAKE_COMMAND} -DIN=${folder}/${name}.m -DOUT=${help}
            -P ${PROJECT_SOURCE_DIR}/cmake/help-text.cmake
          DEPENDS ${folder}/${name}.m ${PROJECT_SOURCE_DIR}/cmake/help-text.cmake)
        target_sources(${target} PRIVATE ${help})
        target_compile_definitions(${target} PRIVATE PK_HELP_TEXT="${help}")
      endif()
    else()
      set(map ${PROJECT_SOURCE_DIR}/gateway/mex.map)
    endif()
    target_link_options(${target} PRIVATE "-Wl,--version-script=${map}" "-Wl,--no-as-needed")
    set_target_properties(${target} PROPERTIES LINK_DEPENDS "${map}")
    if(NOT PAIRKERNELS_SANITIZE AND NOT PAIRKERNELS_FUZZ)
      # Every symbol resolved at link time (sanitizer runtimes live in the executable instead).
      target_link_options(${target} PRIVATE "-Wl,-z,defs")
    endif()
  endif()
  set_target_properties(${target} PROPERTIES
    PREFIX "" SUFFIX "${suffix}" OUTPUT_NAME ${name}
    LIBRARY_OUTPUT_DIRECTORY ${outdir})
endfunction()

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

function(pairkernels_add_host host)
  # The gateway layer, compiled against this host's mex.h, with the kernels' choice of
  # instruction set (simd/cpu.cpp). Modules for the stand-in test host let the host cap that
  # choice per call, so that the tests reach every variant; no other build reads any setting.
  add_library(pairkernels_gateway_${host} STATIC ${PROJECT_SOURCE_DIR}/gateway/gateway.cpp
    ${PROJECT_SOURCE_DIR}/simd/cpu.cpp)
  target_include_directories(pairkernels_gateway_${host} PUBLIC ${PROJECT_SOURCE_DIR}/gateway
    ${PROJECT_SOURCE_DIR}/simd)
  if(host STREQUAL "standin")
    target_compile_definitions(pairkernels_gateway_${host} PRIVATE PK_SIMD_HOST_CAP=1)
  endif()
  if(PAIRKERNELS_SIMD_MAX STREQUAL "sse2")
    target_compile_definitions(pairkernels_gateway_${host} PRIVATE PK_SIMD_MAX_LEVEL=0)
  elseif(PAIRKERNELS_SIMD_MAX STREQUAL "avx2")
    target_compile_definitions(pairkernels_gateway_${host} PRIVATE PK_SIMD_MAX_LEVEL=1)
  endif()
  target_compile_options(pairkernels_gateway_${host} PRIVATE ${PAIRKERNELS_NUMERIC_FLAGS} -Wall -Wextra)
  set_target_properties(pairkernels_gateway_${host} PROPERTIES
    POSITION_INDEPENDENT_CODE ON CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

  if(host STREQUAL "standin" OR host STREQUAL "release")
    # libmex first: mexErrMsgIdAndTxt; libmat is linked as MATLAB modules link it, unused. A
    # release module records the libraries' names only (libmx.so, libmx.dll, ...): the host that
    # loads it has its own.
    target_link_libraries(pairkernels_gateway_${host} PUBLIC
      pairkernels_standin_headers mex mx mat)
    set(profiles ${PAIRKERNELS_PROFILES})
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
    # build/octave holds the selected profile; the test suite also builds the others beside it.
    set(profiles ${PAIRKERNELS_PROFILE})
    if(PAIRKERNELS_TESTS)
      set(profiles ${PAIRKERNELS_PROFILES})
    endif()
    pairkernels_add_toolbox(${host} "${profiles}")
  endif()

  foreach(entry IN LISTS PAIRKERNELS_MODULES)
    get_filename_component(name ${entry} NAME)
    set(source ${PROJECT_SOURCE_DIR}/kernels/${entry}.cpp)
    if(host STREQUAL "standin")
      foreach(profile IN LISTS profiles)
        _pairkernels_module_target(standin_${profile}_${name} ${source} standin ${profile}
          ${PROJECT_BINARY_DIR}/standin/${profile} "${PAIRKERNELS_MODULE_SUFFIX}")
        set_target_properties(standin_${profile}_${name} PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
        install(TARGETS standin_${profile}_${name} COMPONENT standin
          LIBRARY DESTINATION ${PAIRKERNELS_INSTALL_DIR}/standin/${profile})
      endforeach()
    elseif(host STREQUAL "release")
      string(SUBSTRING "${PAIRKERNELS_MODULE_SUFFIX}" 1 -1 extension)
      set(outdir ${PROJECT_BINARY_DIR}/release/${extension})
      set(profile linux)
      if(WIN32)
        set(profile windows)
      endif()
      _pairkernels_module_target(release_${name} ${source} release ${profile} ${outdir}
        "${PAIRKERNELS_MODULE_SUFFIX}")
      set_target_properties(release_${name} PROPERTIES SKIP_BUILD_RPATH ON)
      add_custom_command(OUTPUT ${outdir}/${name}.m
        COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/kernels/${entry}.m ${outdir}/${name}.m
        DEPENDS ${PROJECT_SOURCE_DIR}/kernels/${entry}.m)
      list(APPEND help_files ${outdir}/${name}.m)
    else()
      if(host STREQUAL "oct")
        set(suffix ".oct")
      else()
        set(suffix ".mex")
      endif()
      foreach(profile IN LISTS profiles)
        pairkernels_octave_dir(outdir ${profile} ${host})
        _pairkernels_module_target(${host}_${profile}_${name} ${source} ${host} ${profile}
          ${outdir} ${suffix})
        # The module's help text sits beside it, so that `help <module>` finds it.
        add_custom_command(OUTPUT ${outdir}/${name}.m
          COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/kernels/${entry}.m ${outdir}/${name}.m
          DEPENDS ${PROJECT_SOURCE_DIR}/kernels/${entry}.m
          COMMENT "Help text ${name}.m for ${outdir}")
        list(APPEND help_files ${outdir}/${name}.m)
      endforeach()
      install(TARGETS ${host}_${PAIRKERNELS_PROFILE}_${name} COMPONENT octave
        LIBRARY DESTINATION ${PAIRKERNELS_INSTALL_DIR}/${host})
      install(FILES ${PROJECT_SOURCE_DIR}/kernels/${entry}.m COMPONENT octave
        DESTINATION ${PAIRKERNELS_INSTALL_DIR}/${host})
    endif()
  endforeach()
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
    ${PROJECT_SOURCE_DIR}/CMakeLists.txt ${toolbox}/pairkernels_version.m
    ${toolbox}/pairkernels_demo.m)
  foreach(entry IN LISTS PAIRKERNELS_MODULES)
    list(APPEND inputs ${PROJECT_SOURCE_DIR}/kernels/${entry}.m)
  endforeach()
  foreach(profile IN LISTS profiles)
    pairkernels_octave_dir(outdir ${profile} ${host})
    set(target ${host}_${profile}_pairkernels_version)
    _pairkernels_module_target(${target} ${toolbox}/pairkernels_version.cpp ${host} ${profile}
      ${outdir} ${suffix})
    target_compile_definitions(${target} PRIVATE PK_VERSION=${PROJECT_VERSION})
    set(files)
    foreach(name IN ITEMS pairkernels_version pairkernels_demo)
      add_custom_command(OUTPUT ${outdir}/${name}.m
        COMMAND ${CMAKE_COMMAND} -E copy ${toolbox}/${name}.m ${outdir}/${name}.m
        DEPENDS ${toolbox}/${name}.m)
      list(APPEND files ${outdir}/${name}.m)
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
