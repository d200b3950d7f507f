#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and this machine lacks.
#   install-deps.sh                 the build, the tests and the C++ benchmarks (chromium for the
#                                   reference pages' test, which opens them headless)
#   install-deps.sh --compilers     the other compilers the tests build with (GCC 11, Clang 13 and
#                                   14; GCC 9 and 10 come from a Debian 11 chroot: debootstrap)
#   install-deps.sh --hosts         what makes and enters the chroots of other Debian releases
#                                   and of arm64 (debootstrap, user-mode QEMU, binfmt-support)
#   install-deps.sh bench-octave    also what the Octave benchmark's chart needs (gnuplot without X,
#                                   and the font Octave's text renderer expects)
#   install-deps.sh --windows       the Windows cross-build and its tests: MinGW-w64 (the
#                                   posix-threads compiler), GoogleTest's sources, Wine
#   install-deps.sh --aarch64       the 64-bit Arm Linux cross-build and its tests: the cross
#                                   compilers, GoogleTest's sources, user-mode QEMU
#   install-deps.sh --macos         the macOS modules and their checks: LLVM's Mach-O linker
#                                   (lld) and llvm-objdump, npm (for Zig's clang and macOS
#                                   headers, which macos/zig.sh installs into the build tree), zip
set -euo pipefail
packages=(cmake make g++ binutils libgtest-dev libbenchmark-dev octave liboctave-dev clang libclang-rt-14-dev
          chromium)
if [ "${1:-}" = "--windows" ]; then
  packages=(cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine64)
elif [ "${1:-}" = "--aarch64" ]; then
  packages=(cmake make g++-aarch64-linux-gnu binutils-aarch64-linux-gnu googletest qemu-user-static)
elif [ "${1:-}" = "--macos" ]; then
  packages=(make lld llvm zip unzip)
  # Any npm will do; Debian's nodejs and npm where there is none.
  command -v npm >/dev/null || packages+=(nodejs npm)
elif [ "${1:-}" = "--compilers" ]; then
  packages=(cmake make libgtest-dev g++-11 clang-13 clang-14 debootstrap curl)
elif [ "${1:-}" = "--hosts" ]; then
  packages=(debootstrap qemu-user-static binfmt-support curl g++-aarch64-linux-gnu)
elif [ "${1:-}" = "bench-octave" ]; then
  packages+=(gnuplot-nox fonts-freefont-otf)
elif [ $# -gt 0 ]; then
  echo "usage: $0 [--windows | --aarch64 | --macos | --compilers | --hosts | bench-octave]" >&2
  exit 2
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
# make test's stages run side by side: one installer at a time (apt would refuse a second).
exec 9> "${TMPDIR:-/tmp}/pairkernels-install-deps.lock"
flock 9
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
