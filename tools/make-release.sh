#!/usr/bin/env bash
# The binary release (make release): one zip of the modules of every platform built here, built
# as for MATLAB (they read nothing but the processor and call nothing beyond the host's API),
# each platform in a folder of its own named as MATLAB's computer('arch'), a toolbox folder to
# add to MATLAB's path:
#   make-release.sh ZIP BUILD_DIR WIN_BUILD_DIR MAC_BUILD_DIR
#   glnxa64/  <module>.mexa64     Linux x86-64 (build/release/mexa64), linux profile
#   win64/    <module>.mexw64     Windows x64 (build-windows/release/mexw64), windows profile
#   maci64/   <module>.mexmaci64  macOS on Intel (build-macos/x86_64), macos profile
#   maca64/   <module>.mexmaca64  macOS on Apple silicon (build-macos/arm64), macos profile
# Each folder holds the fourteen modules and pairkernels_version, built the same way, with their
# help texts; pairkernels_demo.m and pairkernels_reference.m; Contents.m (the release and its
# date, what `help <folder>` shows) and resources/functionSignatures.json of the folder's
# profile (tools/toolbox_files.m); the reference pages in html/ with info.xml, which lists them
# in MATLAB's Help browser (tools/reference_pages.m); and NEWS. At the top: README.txt, COPYING
# and SHA256SUMS, the SHA-256 of every other file (sha256sum -c SHA256SUMS checks them).
# The Octave tools run with GNU Octave ($OCTAVE, default octave-cli).
set -euo pipefail
zip=$1 build=$2 win=$3 mac=$4
root=$(cd "$(dirname "$0")/.." && pwd)
octave=${OCTAVE:-octave-cli}
version=$(grep -m1 -o 'pairkernels VERSION [0-9.]*' "$root/CMakeLists.txt" | cut -d' ' -f3)
date=$(sed -n "s/^pairkernels $version (\([0-9-]*\))\$/\1/p" "$root/NEWS")
[ -n "$date" ] ||
  { echo "make-release: NEWS has no heading \"pairkernels $version (YYYY-MM-DD)\"" >&2; exit 1; }
top=pairkernels-$version
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$top"

folders=("glnxa64 $build/release/mexa64 mexa64 linux" "win64 $win/release/mexw64 mexw64 windows"
         "maci64 $mac/x86_64 mexmaci64 macos" "maca64 $mac/arm64 mexmaca64 macos")
calls="addpath ('$root/tools');"
for f in "${folders[@]}"; do
  read -r arch dir ext profile <<<"$f"
  out=$stage/$top/$arch
  mkdir -p "$out/resources"
  for m in $("$root/tools/modules.sh" names) pairkernels_version; do
    for file in "$dir/$m.$ext" "$dir/$m.m"; do
      [ -f "$file" ] || { echo "make-release: $file is missing (make release builds it)" >&2; exit 1; }
      cp "$file" "$out/"
    done
  done
  cp "$root/toolbox/pairkernels_demo.m" "$root/toolbox/pairkernels_reference.m" "$root/NEWS" "$out/"
  calls+=" toolbox_files ('$root', '$out', '$profile', {'Contents.m'});"
  calls+=" toolbox_files ('$root', '$out/resources', '$profile', {'functionSignatures.json'});"
  calls+=" reference_pages ('$root', '$out/html', '$out');"
done
"$octave" --norc --no-history --quiet --eval "$calls"
cp "$root/COPYING" "$stage/$top/"
sed -e "s/@VERSION@/$version/g" -e "s/@DATE@/$date/g" "$root/packaging/release/README.txt" \
  >"$stage/$top/README.txt"
# (written beside the folder and moved in: find runs while the redirection creates its file, and
# listed SHA256SUMS itself when it won that race)
(cd "$stage/$top" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum \
  >"$stage/SHA256SUMS" && mv "$stage/SHA256SUMS" SHA256SUMS)

mkdir -p "$(dirname "$zip")"
rm -f "$zip"
zip_path=$(cd "$(dirname "$zip")" && pwd)/$(basename "$zip")
(cd "$stage" && TZ=UTC find "$top" -exec touch -t 202001010000 {} + && zip -q -X -r "$zip_path" "$top")
echo "$zip: $(unzip -Z1 "$zip" | grep -c '\.mex') module files," \
  "$(unzip -Z1 "$zip" | grep -vc '/$') files"
