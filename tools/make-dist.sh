#!/usr/bin/env bash
# Makes the GNU Octave package pairkernels-<version>.tar.gz in OUTDIR (default: build/) and
# prints its path. `pkg install` of it builds every module (src/Makefile); `pkg load pairkernels`
# puts them and their help on the path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
outdir=${1:-$root/build}
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)

version=$(sed -n 's/^project(pairkernels VERSION \([0-9][0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "make-dist: no version in CMakeLists.txt" >&2; exit 1; }
date=$(git -C "$root" log -1 --format=%cs 2>/dev/null || date +%F)
modules=$("$root/tools/modules.sh" entries)
name=pairkernels-$version

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
pkg=$stage/$name
mkdir -p "$pkg/src/help" "$pkg/src/gateway" "$pkg/src/simd"

sed -e "s/@VERSION@/$version/" -e "s/@DATE@/$date/" "$root/packaging/octave/DESCRIPTION.in" \
  > "$pkg/DESCRIPTION"
cp "$root/COPYING" "$root/README.md" "$pkg/"
cp "$root/packaging/octave/Makefile" "$pkg/src/Makefile"
cp "$root"/gateway/*.cpp "$root"/gateway/*.h "$pkg/src/gateway/"
cp "$root"/simd/*.cpp "$root"/simd/*.h "$pkg/src/simd/"

{
  echo "pairkernels >> Bit-exact kernels over items and their ordered pairs"
  subsystem=""
  for m in $modules; do
    dir=${m%/*}
    base=${m#*/}
    if [ "$dir" != "$subsystem" ]; then
      subsystem=$dir
      case $dir in
        pairwise) echo "Pairwise construction" ;;
        aggregate) echo "Aggregate update" ;;
        pair_matrix) echo "Pair-matrix update" ;;
        *) echo "$dir" ;;
      esac
    fi
    echo " $base"
  done
} > "$pkg/INDEX"

printf 'MODULES :=' > "$pkg/src/modules.mk"
for m in $modules; do
  [ -f "$root/kernels/$m.m" ] || { echo "make-dist: $m has no help file kernels/$m.m" >&2; exit 1; }
  mkdir -p "$pkg/src/kernels/${m%/*}"
  cp "$root/kernels/$m.cpp" "$pkg/src/kernels/$m.cpp"
  cp "$root/kernels/$m.m" "$pkg/src/help/"
  printf ' \\\n  kernels/%s' "$m" >> "$pkg/src/modules.mk"
done
echo >> "$pkg/src/modules.mk"
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
