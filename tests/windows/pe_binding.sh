#!/usr/bin/env bash
# Checks how each module DLL of the Windows build is bound, from its export and import tables:
#   pe_binding.sh OBJDUMP FILE...
# Each FILE must be a PE32+ DLL whose export directory carries its file name and exports
# mexFunction, by name, at ordinal 1, and nothing else; which imports the host calls
# mxGetScalar, mxGetPr and mxCreateDoubleMatrix_700 from libmx.dll and mexErrMsgIdAndTxt from
# libmex.dll; and which needs no DLL beyond the host's (libmx, libmex, libmat) and Windows' own
# (KERNEL32, msvcrt): the GCC runtime must be linked in.
set -uo pipefail
objdump=$1
shift
allowed_dlls="libmx.dll libmex.dll libmat.dll kernel32.dll msvcrt.dll"

# objdump -p, reduced to one fact per line:
#   format F | dll | export-name N | ordinal-base B | eat-count N | name-count N
#   eat INDEX ORDINAL KIND | name INDEX SYMBOL | import DLL SYMBOL
facts() {
  "$objdump" -p "$1" | awk '
    function count(hex,   n, k) {
      n = 0
      for (k = 1; k <= length(hex); k++) n = 16 * n + index("0123456789abcdef", tolower(substr(hex, k, 1))) - 1
      return n
    }
    /file format/             { print "format", $NF }
    /^Characteristics/        { inchar = 1; next }
    inchar && /^\t/           { if ($1 == "DLL" && NF == 1) print "dll"; next }
    inchar                    { inchar = 0 }
    /^The Export Tables/      { section = "export" }
    /^The Import Tables/      { section = "import" }
    /^The Function Table/     { section = "" }
    section == "export" && /^Name[ \t]/          { print "export-name", $NF }
    section == "export" && /^Ordinal Base/       { print "ordinal-base", $NF }
    section == "export" && /^\tExport Address Table[ \t]+[0-9a-f]+$/ && !tables { print "eat-count", count($NF) }
    section == "export" && /^\t\[Name Pointer\/Ordinal\] Table/ { print "name-count", count($NF) }
    section == "export" && /^Table Addresses/    { tables = 1 }
    section == "export" && /^Export Address Table --/ { part = "eat"; next }
    section == "export" && /^\[Ordinal\/Name Pointer\] Table/ { part = "names"; next }
    section == "export" && /^$/                  { part = "" }
    section == "export" && part == "eat" && /\+base\[/ {
      line = $0; gsub(/[\[\]+]/, " ", line); split(line, f, " ")
      # f: index "base" ordinal rva kind...
      print "eat", f[1], f[3], $(NF-1) " " $NF
    }
    section == "export" && part == "names" && /^\t\[/ {
      line = $0; gsub(/[\[\]]/, " ", line); split(line, f, " "); print "name", f[1], f[2]
    }
    section == "import" && /DLL Name:/           { dll = tolower($NF); print "import", dll, "-" ; next }
    section == "import" && /^\t[0-9a-f]+\t/ && dll != "" { print "import", dll, $NF }
    section == "import" && /^ [0-9a-f]+\t/       { dll = "" }
  '
}

passed=0
failed=0
for file in "$@"; do
  name=$(basename "$file")
  problems=()
  if [ ! -f "$file" ]; then
    problems+=("missing")
  else
    f=$(facts "$file")
    has() { [[ $'\n'$f$'\n' == *$'\n'"$1"$'\n'* ]]; }
    has "format pei-x86-64" || problems+=("not a PE32+ x86-64 file")
    has "dll" || problems+=("not a DLL")
    has "export-name $name" || problems+=("export directory names $(grep '^export-name' <<<"$f" | cut -d' ' -f2-), not $name")
    has "ordinal-base 1" || problems+=("ordinal base is not 1")
    has "eat-count 1" || problems+=("export address table has $(grep '^eat-count' <<<"$f" | cut -d' ' -f2) entries, not 1")
    has "name-count 1" || problems+=("$(grep '^name-count' <<<"$f" | cut -d' ' -f2) exported names, not 1")
    has "eat 0 1 Export RVA" || problems+=("ordinal 1 is not an exported address")
    has "name 0 mexFunction" || problems+=("mexFunction is not the name of ordinal 1")
    names=$(grep '^name ' <<<"$f" | cut -d' ' -f3 | tr '\n' ' ')
    [ "$names" = "mexFunction " ] || problems+=("exports by name: ${names:-nothing}")
    for dll in $(grep '^import ' <<<"$f" | cut -d' ' -f2 | sort -u); do
      case " $allowed_dlls " in
        *" $dll "*) ;;
        *) problems+=("imports from $dll") ;;
      esac
    done
    for call in mxGetScalar mxGetPr mxCreateDoubleMatrix_700; do
      has "import libmx.dll $call" || problems+=("does not import $call from libmx.dll")
    done
    has "import libmex.dll mexErrMsgIdAndTxt" || problems+=("does not import mexErrMsgIdAndTxt from libmex.dll")
    stray=$(grep -E '^import (kernel32|msvcrt)\.dll (mx|mex)[A-Z]' <<<"$f" | cut -d' ' -f2- | tr '\n' ' ')
    [ -z "$stray" ] || problems+=("host calls imported from elsewhere: $stray")
  fi
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok      $file"
    passed=$((passed + 1))
  else
    echo "FAILED  $file"
    printf '          %s\n' "${problems[@]}"
    failed=$((failed + 1))
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
