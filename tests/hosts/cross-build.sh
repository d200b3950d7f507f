#!/usr/bin/env bash
# The Octave modules for another architecture's Octave, cross-built on this machine against that
# host's chroot: native modules into OUTDIR/oct and MEX files into OUTDIR/mex, each folder with the
# help texts and toolbox files as build_pairkernels leaves them. Compiles and links as the chroot's
# mkoctfile would (its flags, read by running it under QEMU), with the cross compiler and the
# chroot as its system root, against the chroot's Octave headers and libraries; every undefined
# symbol must be one of those libraries'.
#   tests/hosts/cross-build.sh CHROOT HOST_NAME TRIPLET OUTDIR     (TRIPLET: aarch64-linux-gnu)
# HOST_NAME is the chroot's name for tools/hosts.sh. Prints the compiler's warning count.
set -euo pipefail

src=$(cd "$(dirname "$0")/../.." && pwd)
root=$1 name=$2 triplet=$3
mkdir -p "$4"
out=$(cd "$4" && pwd)
cxx=$triplet-g++
command -v "$cxx" > /dev/null ||
  { echo "cross-build: $cxx is not installed (tools/install-deps.sh --hosts)" >&2; exit 1; }

# mkoctfile's settings in the chroot; its paths are the chroot's, so they move under it here.
config=$("$src/tools/hosts.sh" run "$name" "$out" bash -c \
  'for v in CPPFLAGS CXXPICFLAG INCFLAGS CXXFLAGS DL_LDFLAGS OCTLIBDIR OCTAVE_LIBS; do
     printf "%s=%s\n" "$v" "$(mkoctfile -p "$v")"
   done')
setting() {
  sed -n "s/^$1=//p" <<< "$config"
}
in_root() {  # -I/usr/... -> -I$root/usr/..., and so on for -L
  sed -e "s| -I/| -I$root/|g; s| -L/| -L$root/|g; s|^-I/|-I$root/|; s|^-L/|-L$root/|"
}
# What a module is compiled from and with which flags: the description every build reads.
build_var() {  # build_var NAME: a variable of kernels/build.mk
  make -s --no-print-directory -C "$src" -f - pk-print VAR="$1" <<'EOF'
include kernels/build.mk
pk-print: ; @echo $($(VAR))
EOF
}
read -r -a includes <<< "$(build_var PK_INCLUDE_DIRS)"
read -r -a binding_sources <<< "$(build_var PK_GATEWAY_SOURCES)"
entry_source=$(build_var PK_ENTRY_SOURCE)
installer_source=$(build_var PK_OCTAVE_INSTALLER_SOURCE)
version_source=$(build_var PK_VERSION_SOURCE)
read -r -a refused <<< "$(build_var PK_REFUSED_FLAGS)"

read -r -a cppflags <<< "$(setting CPPFLAGS) $(setting CXXPICFLAG) $(setting INCFLAGS | in_root)"
read -r -a cxxflags <<< "$(setting CXXFLAGS) -pthread -std=$(build_var PK_STD) $(build_var PK_NUMERIC_FLAGS)"
read -r -a ldflags <<< "$(setting DL_LDFLAGS) -L$root$(setting OCTLIBDIR) $(setting OCTAVE_LIBS)"
for flag in "${refused[@]}"; do
  case " $(setting CXXFLAGS) " in
    *" $flag "*) echo "cross-build: the chroot's CXXFLAGS change results: $flag" >&2; exit 1 ;;
  esac
done
cc=("$cxx" "--sysroot=$root" "${cppflags[@]}" "${cxxflags[@]}" "${includes[@]/#/-I$src/}"
    -DPK_PROFILE_LINUX)
link=(-Wl,--no-undefined "${ldflags[@]}" -Wl,-z,relro)
version=$(sed -n 's/^project(pairkernels VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
log=$out/cross-build.log
: > "$log"
compile() {  # compile OUTPUT ARGS...
  local target=$1
  shift
  echo "${cc[*]} $*" >> "$log"
  "${cc[@]}" "$@" >> "$log" 2>&1 || { echo "cross-build: $target failed, see $log" >&2; exit 1; }
}
docstring() {  # docstring HELP_FILE OUT: the help block (leading % lines) as a string literal
  { printf 'R"pkhelp('; sed -n '/^%/!q; s/^%//p' "$1"; printf ')pkhelp"\n'; } > "$2"
}

for kind in oct mex; do
  dir=$out/$kind obj=$stage/$kind
  rm -rf "$dir"
  mkdir -p "$dir" "$obj"
  defines=()
  [ "$kind" = oct ] && defines=(-DPK_HOST_OCTAVE)
  [ "$kind" = mex ] && defines=(-DMEX_DEBUG)  # as mkoctfile --mex adds with -g
  # The host binding and the entry point, once per host.
  binding=()
  for shared in "${binding_sources[@]}"; do
    binding+=("$obj/$(basename "$shared" .cpp).o")
    compile "$shared" "${defines[@]}" -c -o "${binding[-1]}" "$src/$shared"
  done
  entry=$obj/entry.o
  compile "$entry_source" "${defines[@]}" -c -o "$entry" "$src/$entry_source"
  for path in $("$src/tools/modules.sh" entries); do
    module=$(basename "$path")
    objects=("$obj/$module.o" "$entry" "${binding[@]}")
    compile "$module" "${defines[@]}" -c -o "$obj/$module.o" "$src/kernels/$path.cpp"
    if [ "$kind" = oct ]; then
      docstring "$src/kernels/$path.m" "$stage/$module.help.inc"
      printf '#define PK_MODULE %s\n#define PK_HELP_TEXT "%s.help.inc"\n#include "%s"\n' \
        "$module" "$module" "$src/$installer_source" > "$stage/$module-installer.cpp"
      objects+=("$obj/$module-installer.o")
      compile "$module" -I"$stage" -c -o "${objects[-1]}" "$stage/$module-installer.cpp"
    fi
    compile "$module" -o "$dir/$module.$kind" "${objects[@]}" "${link[@]}"
    cp "$src/kernels/$path.m" "$dir/"
  done
  # pairkernels_version: its own entry, with the binding but not the modules' entry point.
  version_cpp=$src/$version_source
  if [ "$kind" = oct ]; then
    docstring "$src/toolbox/pairkernels_version.m" "$stage/pairkernels_version.help.inc"
    printf '#define PK_HELP_TEXT "pairkernels_version.help.inc"\n#include "%s"\n' \
      "$version_cpp" > "$stage/pairkernels_version-oct.cpp"
    version_cpp=$stage/pairkernels_version-oct.cpp
  fi
  compile pairkernels_version "${defines[@]}" -DPK_VERSION="$version" -I"$stage" \
    -o "$dir/pairkernels_version.$kind" "$version_cpp" "${binding[@]}" "${link[@]}"
  cp "$src/toolbox/pairkernels_version.m" "$src/toolbox/pairkernels_demo.m" \
    "$src/toolbox/pairkernels_reference.m" "$dir/"
  octave-cli --norc --no-history --quiet --eval "addpath ('$src/tools');
    toolbox_files ('$src', '$dir', 'linux', {'Contents.m', 'functionSignatures.json'});"
done
grep -c 'warning:' "$log" || true
