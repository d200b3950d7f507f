#!/usr/bin/env bash
# The binary release as a user gets it, from the source tree's root:
#   tests/release/check.sh ZIP BUILD_DIR WIN_BUILD_DIR ARM_BUILD_DIR
# Unpacks ZIP into a temporary folder and checks:
#   - the top folder: README.txt (the MATLAB releases and Octave versions each folder is for,
#     what was tested, the quarantine of a downloaded folder), COPYING and SHA256SUMS, which
#     lists every other file of the zip and matches each (sha256sum -c);
#   - each platform's folder holds exactly: the fourteen modules with that platform's extension
#     and pairkernels_version, each with its help text; pairkernels_demo.m,
#     pairkernels_reference.m, NEWS; Contents.m with MATLAB's dated version line (the release
#     and its date in NEWS); resources/functionSignatures.json in the folder's profile;
#     info.xml (the Help browser's entry, pointing at html/) and html/: the reference pages
#     (the same files make build writes into BUILD_DIR/doc) and helptoc.xml, whose every
#     entry is one of them;
#   - pairkernels_version of each folder, run through its platform's runner (pkhost-run of
#     x86-64 Linux for glnxa64 and maci64, of Windows under Wine for win64, of aarch64 Linux
#     under QEMU for maca64), reports the release, the folder's profile and a MEX host;
#   - the arm64 bundles' code signatures against their bytes as shipped (codesign-check of
#     BUILD_DIR, whose SHA-256 must agree with sha256sum's), and that a copy with one byte
#     flipped is caught;
#   - one call of the same modules in each folder, through the same runners, gives the same
#     shape and bits in every folder (item_pair_scatter's linux form aside).
# Ends with "N passed, N failed".
set -uo pipefail
zip=$(realpath "$1") build=$(realpath "$2") win=$(realpath "$3") arm=$(realpath "$4")
root=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$root/tests/run/common.sh"
passed=0
failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAILED  $*"; }

unzip -q "$zip" -d "$work/unpacked" || { echo "FAILED  cannot unpack $zip"; exit 1; }
top=$(ls "$work/unpacked")
dir=$work/unpacked/$top
version=$(grep -m1 -o 'pairkernels VERSION [0-9.]*' CMakeLists.txt | cut -d' ' -f3)
date=$(sed -n "s/^pairkernels $version (\([0-9-]*\))\$/\1/p" NEWS)
[ "$top" = "pairkernels-$version" ] && ok || bad "the zip's top folder is $top"
for f in README.txt COPYING SHA256SUMS; do
  [ -f "$dir/$f" ] && ok || bad "$f missing"
done
readme=$(cat "$dir/README.txt" 2>/dev/null)
for says in "pairkernels $version ($date)" "R2017b" "macOS 11 or later" "x86-64" "arm64" \
            "Octave 6.2 or later" "xattr -r -d com.apple.quarantine" \
            "Nothing here ran on real macOS or in MATLAB"; do
  [[ $readme == *"$says"* ]] && ok || bad "README.txt does not say $says"
done

# Every other file, each once, and each matching its checksum.
listed=$(awk '{ print $2 }' "$dir/SHA256SUMS" | sort)
present=$(cd "$dir" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort)
[ -n "$listed" ] && [ "$listed" = "$present" ] && ok ||
  bad "SHA256SUMS does not list exactly the zip's files: $(diff <(echo "$listed") \
    <(echo "$present") | grep '^[<>]' | head -n 3 | tr '\n' ' ')"
(cd "$dir" && sha256sum --quiet -c SHA256SUMS) && ok || bad "SHA256SUMS does not match the files"

modules=$(tools/modules.sh names)
extras="pairkernels_version pairkernels_demo pairkernels_reference"
platforms=("glnxa64 mexa64 linux" "win64 mexw64 windows" "maci64 mexmaci64 linux"
           "maca64 mexmaca64 arm")
profile_of() {
  case $1 in glnxa64) echo linux ;; win64) echo windows ;; *) echo macos ;; esac
}
for arch in glnxa64 win64 maci64 maca64; do
  case $arch in glnxa64) ext=mexa64 ;; win64) ext=mexw64 ;; *) ext=mex$arch ;; esac
  expected=$(for m in $modules pairkernels_version; do echo "$m.$ext"; echo "$m.m"; done
             for f in pairkernels_demo.m pairkernels_reference.m NEWS Contents.m info.xml \
                      resources/functionSignatures.json html/index.html html/helptoc.xml; do
               echo "$f"
             done
             for m in $modules $extras; do echo "html/$m.html"; done)
  held=$(cd "$dir/$arch" && find . -type f | sed 's|^\./||' | sort)
  [ "$held" = "$(sort <<<"$expected")" ] && ok ||
    bad "$arch does not hold exactly what a folder must: $(diff <(sort <<<"$expected") \
      <(echo "$held") | grep '^[<>]' | tr '\n' ' ')"
  months=(Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  dated="% Version $version ${date:8:2}-${months[$((10#${date:5:2} - 1))]}-${date:0:4}"
  [ "$(sed -n 2p "$dir/$arch/Contents.m")" = "$dated" ] && ok ||
    bad "$arch/Contents.m line 2 is '$(sed -n 2p "$dir/$arch/Contents.m")', not '$dated'"
  cmp -s NEWS "$dir/$arch/NEWS" && ok || bad "$arch/NEWS is not the tree's NEWS"
  diff -r "$build/doc" "$dir/$arch/html" >/dev/null && ok ||
    bad "$arch/html is not what make build wrote into $build/doc"
  grep -q '<help_location>html</help_location>' "$dir/$arch/info.xml" && ok ||
    bad "$arch/info.xml does not point at html/"
  targets=$(grep -o 'target="[^"#]*' "$dir/$arch/html/helptoc.xml" | cut -d'"' -f2 | sort -u)
  missing=$(for t in $targets; do [ -f "$dir/$arch/html/$t" ] || echo "$t"; done)
  [ -n "$targets" ] && [ -z "$missing" ] && ok || bad "$arch/html/helptoc.xml names $missing"
done

# The argument hints of each folder's profile: valid JSON, every module, this profile's forms.
hints=$(octave-cli --norc --no-history --quiet --eval "
  for arch = {'glnxa64', 'win64', 'maci64', 'maca64'}
    s = jsondecode (fileread (fullfile ('$dir', arch{1}, 'resources', 'functionSignatures.json')));
    printf ('%s %d %d %d\n', arch{1}, numel (fieldnames (s)) - 1,
            numel (s.item_pair_scatter.inputs), numel (s.clamped_pair_model_gap.inputs));
  end" 2>&1)
functions=$(( $(wc -w <<<"$modules") + 3 ))
for want in "glnxa64 $functions 1 7" "win64 $functions 4 8" "maci64 $functions 4 7" \
            "maca64 $functions 4 7"; do
  grep -qx "$want" <<<"$hints" && ok ||
    bad "functionSignatures.json: want '$want' (folder, functions, arguments of item_pair_scatter \
and clamped_pair_model_gap), got: $(tr '\n' ';' <<<"$hints")"
done

# pairkernels_version from each folder, through its platform's runner.
for p in "${platforms[@]}"; do
  read -r arch ext runner <<<"$p"
  shown=$("run_$runner" "$dir/$arch/pairkernels_version.$ext" "$work/version.out")
  status=$?
  want="version=$version profile=$(profile_of "$arch") simd=.* host=mex"
  if [ $status -eq 0 ] && [[ $(tr '\n' ' ' <<<"$shown") =~ ^$want\ $ ]]; then
    ok
    echo "version    $arch ($runner): $(tr '\n' ' ' <<<"$shown")"
  else
    bad "$arch/pairkernels_version.$ext ($runner) exited $status: $shown"
  fi
done

# The arm64 bundles' signatures as shipped; and one flipped byte in a copy is caught.
signed=$("$build/tests/codesign-check" "$dir"/maca64/*.mexmaca64)
[ $? -eq 0 ] && [ "$(grep -c '^ok ' <<<"$signed")" -eq $(( $(wc -w <<<"$modules") + 1 )) ] && ok ||
  bad "code signatures: $signed"
echo "signatures $(tail -n 1 <<<"$signed"): $(grep -m1 '^ok ' <<<"$signed" | cut -d: -f2-)"
own=$("$build/tests/codesign-check" --sha256 "$dir/maca64/pair_residual.mexmaca64")
[ "$own" = "$(sha256sum "$dir/maca64/pair_residual.mexmaca64" | cut -d' ' -f1)" ] && ok ||
  bad "codesign-check's SHA-256 of pair_residual.mexmaca64 is not sha256sum's"
cp "$dir/maca64/pair_residual.mexmaca64" "$work/flipped.mexmaca64"
at=$(( $(stat -c %s "$work/flipped.mexmaca64") / 3 ))
byte=$(od -An -tu1 -j "$at" -N1 "$work/flipped.mexmaca64" | tr -d ' ')
printf "$(printf '\\%03o' $(( byte ^ 1 )))" |
  dd of="$work/flipped.mexmaca64" bs=1 seek="$at" conv=notrunc status=none
caught=$("$build/tests/codesign-check" "$work/flipped.mexmaca64")
[ $? -ne 0 ] && [[ $caught == *"FAILED"*"page $(( at / 4096 )) "* ]] && ok ||
  bad "a flipped byte at $at went unnoticed: $caught"
echo "flipped    byte $at of pair_residual.mexmaca64: $(head -n 1 <<<"$caught" | cut -d: -f2-)"

f64 "$work/a.bin" 3ff8000000000000 c002000000000000 3fb999999999999a 8000000000000000 \
  4008000000000000 c01e000000000000 3fd5555555555555 3ff0000004000000 3feffffff8000000 \
  7ff0000000000000 000fffffffffffff 4059000000000000 bfe0000000000000 3f50624dd2f1a9fc \
  c0f86a0000000000 0000000000000000 3ff0000000000000 4000000000000000
a="f:$work/a.bin"
calls=("pair_residual s:3 $a $a $a $a s:2"
       "clamped_pair_model_gap s:3 s:0.5 $a $a $a $a s:2 s:-0"
       "item_closed_form_update s:3 s:2 s:-1.25 $a $a $a $a $a $a"
       "pair_difference_operator s:3"
       "item_pair_scatter s:3 s:2 s:2 $a")
for c in "${calls[@]}"; do
  read -r m args <<<"$c"
  reference="" tensor=""
  for p in "${platforms[@]}"; do
    read -r arch ext runner <<<"$p"
    out=$work/$m.$arch.$runner.out
    printed=$("run_$runner" "$dir/$arch/$m.$ext" "$out" $args)
    status=$?
    if [ $status -ne 0 ]; then bad "$arch/$m.$ext exited $status: $printed"; continue; fi
    digest="$printed $(words "$out" | tr '\n' ' ')"
    if [ "$m" = item_pair_scatter ] && [ "$arch" = glnxa64 ]; then
      [ "$printed" = "9 3" ] && ok || bad "glnxa64/item_pair_scatter printed $printed, not 9 3"
    elif [ -z "$reference" ]; then
      reference=$digest first=$arch
      ok
    elif [ "$digest" = "$reference" ]; then
      ok
    else
      bad "$arch/$m: $digest; $first gave $reference"
    fi
  done
  echo "compared   $m"
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
