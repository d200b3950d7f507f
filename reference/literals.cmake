# The literal references' declarations and binders, generated from the module table at configure
# time into ${PROJECT_BINARY_DIR}/generated/:
#   pk_literal_declarations.inc  one function per table line, its arguments in the table's order
#                                (a size as int32_t, a real as double, an array as const double *),
#                                then the result (double *out); a module's two forms are overloads
#   pk_literal_binders.inc       per line {module, form, argument count, binder}: the binder reads
#                                each argument of a call by its position and calls that overload
# so that a module added to the table needs only its literal's definition in literal.cpp.
file(STRINGS ${PAIRKERNELS_MODULE_TABLE} _pk_lines REGEX "^[a-z]")
set(_pk_declarations "")
set(_pk_binders "")
foreach(_pk_line IN LISTS _pk_lines)
  string(REPLACE ";" "," _pk_line "${_pk_line}")  # bench=N,K;N,K is one field
  string(REGEX REPLACE "[ \t]+" ";" _pk_fields "${_pk_line}")
  list(GET _pk_fields 0 _pk_name)
  list(SUBLIST _pk_fields 5 -1 _pk_tokens)
  set(_pk_form "")
  set(_pk_parameters)
  set(_pk_captures)
  set(_pk_names)
  set(_pk_position 0)
  foreach(_pk_token IN LISTS _pk_tokens)
    if(_pk_token MATCHES "^form=(.*)$")
      set(_pk_form ${CMAKE_MATCH_1})
    elseif(_pk_token MATCHES "=")
      # another key=value field
    elseif(_pk_token MATCHES "^([A-Za-z_][A-Za-z0-9_]*):(.+)$")
      set(_pk_arg ${CMAKE_MATCH_1})
      if(CMAKE_MATCH_2 STREQUAL "size")
        list(APPEND _pk_parameters "int32_t ${_pk_arg}")
        list(APPEND _pk_captures "${_pk_arg} = c.size(${_pk_position})")
      elseif(CMAKE_MATCH_2 STREQUAL "real")
        list(APPEND _pk_parameters "double ${_pk_arg}")
        list(APPEND _pk_captures "${_pk_arg} = c.real(${_pk_position})")
      else()
        list(APPEND _pk_parameters "const double *${_pk_arg}")
        list(APPEND _pk_captures "${_pk_arg} = c.array(${_pk_position})")
      endif()
      list(APPEND _pk_names ${_pk_arg})
      math(EXPR _pk_position "${_pk_position} + 1")
    else()
      message(FATAL_ERROR "kernels/modules.txt: ${_pk_name} has the argument ${_pk_token}, "
        "which is not name:kind")
    endif()
  endforeach()
  list(APPEND _pk_parameters "double *out")
  list(APPEND _pk_names out)
  list(JOIN _pk_parameters ", " _pk_parameters)
  list(JOIN _pk_captures ", " _pk_captures)
  list(JOIN _pk_names ", " _pk_names)
  string(APPEND _pk_declarations "void ${_pk_name}(${_pk_parameters});\n")
  string(APPEND _pk_binders "{\"${_pk_name}\", \"${_pk_form}\", ${_pk_position},\n"
    " [](const Call &c) -> Bound {\n"
    "     return [${_pk_captures}](double *out) { ${_pk_name}(${_pk_names}); };\n"
    " }},\n")
endforeach()
set(_pk_header "// Generated from kernels/modules.txt by reference/literals.cmake; do not edit.\n")
# Each file rewritten only when its text changes (configure_file copies only then), so that a
# new configure does not rebuild the reference. (CMake before 3.20 refuses a ">" in the CONTENT
# of file(CONFIGURE).)
foreach(_pk_file IN ITEMS declarations binders)
  file(WRITE ${PROJECT_BINARY_DIR}/generated/pk_literal_${_pk_file}.inc.new
    "${_pk_header}${_pk_${_pk_file}}")
  configure_file(${PROJECT_BINARY_DIR}/generated/pk_literal_${_pk_file}.inc.new
    ${PROJECT_BINARY_DIR}/generated/pk_literal_${_pk_file}.inc COPYONLY)
endforeach()
