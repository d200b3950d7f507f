#!/usr/bin/env bash
# Checks how each macOS module is bound, from its Mach-O header, export trie, dylib list and bind
# tables, read with llvm-objdump:
#   macho_binding.sh OBJDUMP ARCH FILE...      ARCH: x86_64 (.mexmaci64) or arm64 (.mexmaca64)
# Each FILE must be a thin Mach-O bundle (MH_BUNDLE) of ARCH named <module>.<extension of ARCH>,
# export _mexFunction and nothing else, link exactly @rpath/libmx.dylib, @rpath/libmex.dylib,
# @rpath/libmat.dylib and /usr/lib/libSystem.B.dylib, import the host calls mxGetScalar, mxGetPr
# and mxCreateDoubleMatrix_700 from libmx and mexErrMsgIdAndTxt from libmex, and nothing from
# libmx that MATLAB's libmx does not have (the stand-in host's pkhostSimdLevel is for its test
# bundles only). Prints every file's imports.
set -uo pipefail
objdump=$1 arch=$2
shift 2
case $arch in
  x86_64) extension=mexmaci64 cpu=X86_64 ;;
  arm64) extension=mexmaca64 cpu=ARM64 ;;
  *) echo "unknown architecture $arch" >&2; exit 2 ;;
esac
expected_dylibs="/usr/lib/libSystem.B.dylib @rpath/libmat.dylib @rpath/libmex.dylib @rpath/libmx.dylib"
host_api="mxCreateDoubleMatrix_700 mxGetClassName mxGetDimensions mxGetNumberOfDimensions
  mxGetNumberOfElements mxGetPr mxGetScalar mxIsDouble mxIsLogical mxIsNumeric mxIsSparse
  mexErrMsgIdAndTxt"

passed=0
failed=0
for file in "$@"; do
  problems=()
  if [ ! -f "$file" ]; then
    problems+=("missing")
  else
    [[ $(basename "$file") == *.$extension ]] || problems+=("not named <module>.$extension")
    header=$("$objdump" --macho --private-header "$file" 2>&1 | awk '$1 ~ /^MH_MAGIC/')
    read -r magic cputype _ _ filetype _ <<<"$header"
    [ "${magic:-}" = MH_MAGIC_64 ] || problems+=("not a thin 64-bit Mach-O file")
    [ "${cputype:-}" = "$cpu" ] || problems+=("CPU type ${cputype:-unknown}, not $cpu")
    [ "${filetype:-}" = BUNDLE ] || problems+=("file type ${filetype:-unknown}, not BUNDLE")
    exports=$("$objdump" --macho --exports-trie "$file" 2>/dev/null |
      awk '/^0x/ { print $2 }' | tr '\n' ' ')
    [ "$exports" = "_mexFunction " ] || problems+=("exports: ${exports:-nothing}")
    dylibs=$("$objdump" --macho --dylibs-used "$file" 2>/dev/null |
      awk 'NR > 1 { print $1 }' | sort | tr '\n' ' ')
    [ "$dylibs" = "$expected_dylibs " ] || problems+=("links: ${dylibs:-nothing}")
    # "<dylib> <symbol>" for every bound pointer, eager and lazy.
    imports=$("$objdump" --macho --bind --lazy-bind "$file" 2>/dev/null | awk '
      /^Bind table:/ { table = "bind"; next }
      /^Lazy bind table:/ { table = "lazy"; next }
      /^segment/ { next }
      table == "bind" && NF >= 7 { print $6, $7 }
      table == "lazy" && NF >= 5 { print $4, $5 }' | sort -u)
    has() { grep -qx "$1" <<<"$imports"; }
    for call in mxGetScalar mxGetPr mxCreateDoubleMatrix_700; do
      has "libmx _$call" || problems+=("does not import $call from libmx")
    done
    has "libmex _mexErrMsgIdAndTxt" || problems+=("does not import mexErrMsgIdAndTxt from libmex")
    while read -r dylib symbol; do
      [ -n "${dylib:-}" ] || continue
      case $dylib in
        libmx | libmex)
          [[ " $(echo $host_api) " == *" ${symbol#_} "* ]] ||
            problems+=("imports $symbol from $dylib, not a call of the host's API") ;;
        libmat) problems+=("imports $symbol from libmat") ;;
        libSystem) ;;
        *) problems+=("imports $symbol from $dylib") ;;
      esac
    done <<<"$imports"
  fi
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok      $file: $(awk '{ print $2 "(" $1 ")" }' <<<"$imports" | tr '\n' ' ')"
    passed=$((passed + 1))
  else
    echo "FAILED  $file"
    printf '          %s\n' "${problems[@]}"
    failed=$((failed + 1))
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
