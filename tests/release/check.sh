#!/usr/bin/env bash
# The binary release as a user gets it, from the source tree's root:
#   tests/release/check.sh ZIP BUILD_DIR WIN_BUILD_DIR ARM_BUILD_DIR
# Unpacks ZIP into a temporary folder; each platform's folder must hold the fourteen modules with
# that platform's extension and their help texts, and nothing else. One call of the same modules
# in each folder, through the runner that runs that platform's files (pkhost-run of x86-64 Linux
# for glnxa64 and maci64, of Windows under Wine for win64 and maci64, of aarch64 Linux under QEMU
# for maca64), must give the same shape and bits in every folder (item_pair_scatter's linux form
# aside). Ends with "N passed, N failed".
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
[ -f "$dir/README.txt" ] && [ -f "$dir/COPYING" ] && ok || bad "README.txt or COPYING missing"
modules=$(tools/modules.sh names)
platforms=("glnxa64 mexa64 linux" "win64 mexw64 windows" "maci64 mexmaci64 linux"
           "maci64 mexmaci64 windows" "maca64 mexmaca64 arm")
for p in "${platforms[@]}"; do
  read -r arch ext runner <<<"$p"
  expected=$(for m in $modules; do echo "$m.$ext"; echo "$m.m"; done | sort)
  [ "$(ls "$dir/$arch" | sort)" = "$expected" ] && ok || bad "$arch does not hold exactly the modules and help texts"
done

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
