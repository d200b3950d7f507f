#!/usr/bin/env bash
# Makes the GNU Octave package pairkernels-<version>.tar.gz in OUTDIR (default: build/) and
# prints its path. `pkg install` of it builds every module and pairkernels_version
# (src/Makefile); `pkg load pairkernels` puts them, their help, pairkernels_demo and
# pairkernels_reference on the path, and (inst/PKG_ADD) the folder pairkernels/ whose Contents.m
# `help pairkernels` shows.
# Contents.m, INDEX and functionSignatures.json come from tools/toolbox_files.m, the reference
# pages in doc/ (which pkg install puts into the package's doc/ folder) from
# tools/reference_pages.m, both run with GNU Octave ($OCTAVE, default octave-cli). The package's
# date is the release's, from its heading in NEWS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
outdir=${1:-$root/build}
octave=${OCTAVE:-octave-cli}
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)

version=$(sed -n 's/^project(pairkernels VERSION \([0-9][0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "make-dist: no version in CMakeLists.txt" >&2; exit 1; }
date=$(sed -n "s/^pairkernels $version (\([0-9-]*\))\$/\1/p" "$root/NEWS")
[ -n "$date" ] ||
  { echo "make-dist: NEWS has no heading \"pairkernels $version (YYYY-MM-DD)\"" >&2; exit 1; }
modules=$("$root/tools/modules.sh" entries)
name=pairkernels-$version

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
pkg=$stage/$name
mkdir -p "$pkg/src/help" "$pkg/src/kernels" "$pkg/src/gateway" "$pkg/src/simd" "$pkg/src/toolbox" \
  "$pkg/inst/pairkernels"

sed -e "s/@VERSION@/$version/" -e "s/@DATE@/$date/" "$root/packaging/octave/DESCRIPTION.in" \
  > "$pkg/DESCRIPTION"
cp "$root/COPYING" "$root/README.md" "$root/NEWS" "$root/CITATION" "$pkg/"
cp "$root/packaging/octave/Makefile" "$pkg/src/Makefile"
cp "$root/packaging/octave/PKG_ADD" "$root/packaging/octave/PKG_DEL" "$pkg/inst/"
cp "$root"/gateway/*.cpp "$root"/gateway/*.h "$pkg/src/gateway/"
cp "$root"/simd/*.cpp "$root"/simd/*.h "$pkg/src/simd/"
cp "$root/toolbox/pairkernels_version.cpp" "$pkg/src/toolbox/"
cp "$root/toolbox/pairkernels_version.m" "$pkg/src/help/"
cp "$root/toolbox/pairkernels_demo.m" "$root/toolbox/pairkernels_reference.m" "$pkg/inst/"

# The index and Contents.m, and the function signatures of each profile (the package's
# Makefile puts the one it builds beside the modules).
toolbox() {
  "$octave" --norc --no-history --quiet --eval \
    "addpath ('$root/tools'); toolbox_files ('$root', '$1', '$2', {$3});"
}
toolbox "$pkg" linux "'INDEX'"
toolbox "$pkg/inst/pairkernels" linux "'Contents.m'"
for profile in linux windows macos; do
  toolbox "$pkg/src/toolbox" "$profile" "'functionSignatures.json'"
  mv "$pkg/src/toolbox/functionSignatures.json" "$pkg/src/toolbox/functionSignatures-$profile.json"
done
"$octave" --norc --no-history --quiet --eval \
  "addpath ('$root/tools'); reference_pages ('$root', '$pkg/doc');"

# The module table and the build description, which the package's Makefile reads as every build
# does, and the modules' sources and help texts.
cp "$root/kernels/modules.txt" "$root/kernels/build.mk" "$pkg/src/kernels/"
for m in $modules; do
  [ -f "$root/kernels/$m.m" ] || { echo "make-dist: $m has no help file kernels/$m.m" >&2; exit 1; }
  mkdir -p "$pkg/src/kernels/${m%/*}"
  cp "$root/kernels/$m.cpp" "$pkg/src/kernels/$m.cpp"
  cp "$root/kernels/$m.m" "$pkg/src/help/"
done
# Headers beside the module sources, if any.
for h in "$root"/kernels/*/*.h; do
  [ -e "$h" ] || continue
  sub=$(basename "$(dirname "$h")")
  mkdir -p "$pkg/src/kernels/$sub"
  cp "$h" "$pkg/src/kernels/$sub/"
done

tar_opts=()
if tar --version 2>/dev/null | grep -q 'GNU tar'; then
  tar_opts=(--sort=name --owner=0 --group=0 --numeric-owner --mtime="$date")
fi
tar -C "$stage" "${tar_opts[@]}" -czf "$outdir/$name.tar.gz" "$name"
echo "$outdir/$name.tar.gz"
