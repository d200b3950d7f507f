# Sourced by the scripts that build with each compiler users have (tests/compilers/run.sh,
# tools/bench-compilers.sh). GCC 11 and 12 and Clang 13 and 14 come from this Debian 12, GCC 9 and
# 10 from a Debian 11 chroot (tools/hosts.sh). Needs SRC (this tree) and OUT (a directory that
# the chroot sees at the same path).

# toolchain COMPILER -> "host CC CXX": host is "." for this machine or a tools/hosts.sh name.
toolchain() {
  case $1 in
    gcc-9) echo "bullseye-amd64 gcc-9 g++-9" ;;
    gcc-10) echo "bullseye-amd64 gcc-10 g++-10" ;;
    gcc-*) echo ". $1 g++-${1#gcc-}" ;;
    clang-*) echo ". $1 clang++-${1#clang-}" ;;
    *) return 1 ;;
  esac
}

# run HOST CMD...: in the chroot, or here.
run() {
  local host=$1
  shift
  if [ "$host" = . ]; then
    "$@"
  else
    "$SRC/tools/hosts.sh" run "$host" "$OUT" "$@"
  fi
}
