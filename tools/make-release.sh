#!/usr/bin/env bash
# The binary release (make release): one zip of the modules of every platform built here, built
# as for MATLAB (they read nothing but the processor and call nothing beyond the host's API),
# each platform in a folder of its own with the help texts, named as MATLAB's computer('arch'):
#   make-release.sh ZIP BUILD_DIR WIN_BUILD_DIR MAC_BUILD_DIR
#   glnxa64/  <module>.mexa64     Linux x86-64 (build/release/mexa64), linux profile
#   win64/    <module>.mexw64     Windows x64 (build-windows/release/mexw64), windows profile
#   maci64/   <module>.mexmaci64  macOS on Intel (build-macos/x86_64), macos profile
#   maca64/   <module>.mexmaca64  macOS on Apple silicon (build-macos/arm64), macos profile
# with README.txt and COPYING at the top.
set -euo pipefail
zip=$1 build=$2 win=$3 mac=$4
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(grep -m1 -o 'pairkernels VERSION [0-9.]*' "$root/CMakeLists.txt" | cut -d' ' -f3)
top=pairkernels-$version
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$top"

folders=("glnxa64 $build/release/mexa64 mexa64" "win64 $win/release/mexw64 mexw64"
         "maci64 $mac/x86_64 mexmaci64" "maca64 $mac/arm64 mexmaca64")
for f in "${folders[@]}"; do
  read -r arch dir ext <<<"$f"
  mkdir "$stage/$top/$arch"
  for m in $("$root/tools/modules.sh" names); do
    for file in "$dir/$m.$ext" "$dir/$m.m"; do
      [ -f "$file" ] || { echo "make-release: $file is missing (make release builds it)" >&2; exit 1; }
      cp "$file" "$stage/$top/$arch/"
    done
  done
done
cp "$root/COPYING" "$stage/$top/"
sed "s/@VERSION@/$version/g" "$root/packaging/release/README.txt" >"$stage/$top/README.txt"

mkdir -p "$(dirname "$zip")"
rm -f "$zip"
zip_path=$(cd "$(dirname "$zip")" && pwd)/$(basename "$zip")
(cd "$stage" && TZ=UTC find "$top" -exec touch -t 202001010000 {} + && zip -q -X -r "$zip_path" "$top")
echo "$zip: $(unzip -Z1 "$zip" | grep -c '\.mex') modules"
