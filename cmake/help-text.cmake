# cmake -DIN=<module>.m -DOUT=<module>.help.inc -P help-text.cmake
# The help block of a module's help file (its leading % comment lines, without the %) as a C++
# string literal, for the docstring of the native Octave module, which `help` shows.
file(STRINGS ${IN} lines)
set(text "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^%")
    break()
  endif()
  string(REGEX REPLACE "^%" "" line "${line}")
  string(APPEND text "${line}\n")
endforeach()
file(WRITE ${OUT}.tmp "R\"pkhelp(${text})pkhelp\"\n")
configure_file(${OUT}.tmp ${OUT} COPYONLY)  # rewritten only when the text changed
file(REMOVE ${OUT}.tmp)
