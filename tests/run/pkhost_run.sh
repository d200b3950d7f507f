#!/usr/bin/env bash
# pkhost-run on every host the tests use and every kind of module file built, from the source
# tree's root:
#   tests/run/pkhost_run.sh BUILD_DIR WIN_BUILD_DIR ARM_BUILD_DIR MAC_BUILD_DIR
# The runners: BUILD_DIR/pkhost-run (x86-64 Linux), WIN_BUILD_DIR/bin/pkhost-run.exe (under
# Wine), ARM_BUILD_DIR/pkhost-run (under QEMU). The module files: the release builds of Linux
# (ELF, x86-64 and aarch64) and Windows (PE), and the macOS bundles (Mach-O, x86_64 and arm64).
# Every module is called with the same arguments on each (file, runner) pair that can run it; the
# results' shapes and elements must agree bit for bit (any NaN matching any NaN: which NaN an
# invalid operation yields is the processor's), and agree with the stand-in-host ELF build of the
# same profile. Then the call form itself: s: values, f: files of any length, relative paths and
# copied files, the exit statuses and what is printed. Ends with "N passed, N failed".
set -uo pipefail
build=$(realpath "$1") win=$(realpath "$2") arm=$(realpath "$3") mac=$(realpath "$4")
root=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAILED  $*"; }

source "$root/tests/run/common.sh"

# (runner, module file pattern, profile) of every build; %m stands for the module's name.
builds=(
  "linux   $build/release/mexa64/%m.mexa64     linux"
  "arm     $arm/release/mexa64/%m.mexa64       linux"
  "windows $win/release/mexw64/%m.mexw64       windows"
  "linux   $mac/x86_64/%m.mexmaci64            macos"
  "arm     $mac/arm64/%m.mexmaca64             macos"
  "linux   $build/standin/linux/%m.mexa64      linux"
  "linux   $build/standin/windows/%m.mexa64    windows"
  "linux   $build/standin/macos/%m.mexa64      macos"
)

# Inputs: 96 values of mixed sign and magnitude, with an infinity, a NaN, signed zeros and a
# subnormal among them; a second set shifted by 7.
awk 'BEGIN { srand(20261209)
  for (k = 0; k < 96; k++) {
    top = (rand() < 0.5 ? 2048 : 0) + 1013 + int(rand() * 21)
    m = ""; for (d = 0; d < 13; d++) m = m sprintf("%x", int(rand() * 16))
    w = sprintf("%03x", top) m
    if (k == 11) w = "7ff0000000000000"; if (k == 29) w = "7ff8000000000000"
    if (k == 40) w = "8000000000000000"; if (k == 41) w = "0000000000000000"
    if (k == 57) w = "000fffffffffffff"
    print w } }' >"$work/values.txt"
f64 "$work/a.bin" $(cat "$work/values.txt")
f64 "$work/b.bin" $(tail -n +8 "$work/values.txt") $(head -n 7 "$work/values.txt")
a="f:$work/a.bin" b="f:$work/b.bin"

# Arguments of a module's call in a profile, from the module table: N = 3, K = 2, r = 1, t = 0.75
# and m = -0 (the windows form's bound -m is then +0, as in the other forms), the arrays
# alternately a and b (each longer than any call needs, which is allowed).
args_for() {  # args_for MODULE PROFILE
  local arg out=() arrays=0
  for arg in $(tools/modules.sh args "$1" "$2"); do
    case $arg in
      N:size) out+=(s:3) ;;
      K:size) out+=(s:2) ;;
      r:size) out+=(s:1) ;;
      t:real) out+=(s:0.75) ;;
      m:real) out+=(s:-0) ;;
      *:size | *:real) echo "pkhost_run.sh: no value for argument $arg of $1" >&2; return 1 ;;
      *) if [ $((arrays++ % 2)) -eq 0 ]; then out+=("$a"); else out+=("$b"); fi ;;
    esac
  done
  echo "${out[@]}"
}

# Results are compared among the forms of a module that have the same result shape in the table
# (item_pair_scatter's tensor and scatter differ; clamped_pair_model_gap's two forms agree at
# m = -0).
form_of() { tools/modules.sh shape "$1" "$2" | tr ' ' '_'; }

for m in $(tools/modules.sh names); do
  declare -A seen=()
  for entry in "${builds[@]}"; do
    read -r runner pattern profile <<<"$entry"
    file=${pattern//%m/$m}
    form=$(form_of "$m" "$profile")
    out="$work/$m.$runner.$profile.$(basename "$file").out"
    printed=$("run_$runner" "$file" "$out" $(args_for "$m" "$profile"))
    status=$?
    if [ $status -ne 0 ]; then
      bad "$m: $runner $file exited $status: $printed"
      continue
    fi
    digest="$printed $(words "$out" | md5sum | cut -d' ' -f1)"
    if [ -z "${seen[$form]:-}" ]; then
      seen[$form]="$digest|$runner $file"
      ok
    elif [ "${seen[$form]%%|*}" = "$digest" ]; then
      ok
    else
      bad "$m: $runner $file gives $digest, ${seen[$form]#*|} gave ${seen[$form]%%|*}"
    fi
  done
  unset seen
  echo "compared   $m"
done

# The call form, on each runner with a module file of its own.
expect() {  # expect NAME STATUS PRINTED RUNNER FILE OUT ARG...
  local name=$1 want_status=$2 want=$3 runner=$4
  shift 4
  local got status
  got=$("run_$runner" "$@" 2>"$work/stderr")
  status=$?
  if [ "$status" -eq "$want_status" ] && [[ $got == $want ]]; then
    ok
  else
    bad "$name ($runner): status $status, printed '$got' $(head -c 300 "$work/stderr"), expected $want_status '$want'"
  fi
}

f64 "$work/P.bin" 4024000000000000 4034000000000000 403e000000000000 4044000000000000
f64 "$work/q.bin" 3ff0000000000000 4000000000000000
f64 "$work/W.bin" 3ff0000000000000 3ff0000000000000 3ff0000000000000 3ff0000000000000
f64 "$work/X.bin" 4008000000000000 4014000000000000
: >"$work/empty.bin"
printf 'abc' >"$work/odd.bin"
for entry in "linux $build/release/mexa64 mexa64" "windows $win/release/mexw64 mexw64" \
             "linux $mac/x86_64 mexmaci64" \
             "arm $mac/arm64 mexmaca64" "arm $arm/release/mexa64 mexa64"; do
  read -r runner dir ext <<<"$entry"
  residual=$dir/pair_residual.$ext
  out=$work/out.$runner.$ext.bin
  # The worked example: 10 - ((1*3 + 1) - 1) ... = 7, 14, 28, 35.
  expect "worked example $ext" 0 "4 1" $runner "$residual" "$out" s:2 f:"$work/P.bin" \
    f:"$work/q.bin" f:"$work/W.bin" f:"$work/X.bin" s:1
  [ "$(words "$out" | tr '\n' ' ')" = "401c000000000000 402c000000000000 403c000000000000 4041800000000000 " ] &&
    ok || bad "worked example $ext: $(words "$out" | tr '\n' ' ')"
  # Sizes as hexadecimal floats and with fractions: N = 0x1.8p+1 = 3, 2.9 = 2.
  expect "hex size $ext" 0 "9 3" $runner "$dir/pair_difference_operator.$ext" "$out" s:0x1.8p+1
  expect "fractional size $ext" 0 "4 2" $runner "$dir/pair_difference_operator.$ext" "$out" s:2.9
  # Special scalars: t = inf, -inf, nan and -0 in pair_matrix_step (t*Q + P).
  for t in inf -inf nan -0 0x1p-1074; do
    expect "t = $t $ext" 0 "1 1" $runner "$dir/pair_matrix_step.$ext" "$out" s:1 s:$t \
      f:"$work/q.bin" f:"$work/q.bin"
  done
  # Empty files: N = 0 reads nothing; the result is 0-by-1 and the output file empty.
  expect "empty $ext" 0 "0 1" $runner "$residual" "$out" s:0 f:"$work/empty.bin" \
    f:"$work/empty.bin" f:"$work/empty.bin" f:"$work/empty.bin" s:1
  [ -f "$out" ] && [ ! -s "$out" ] && ok || bad "empty $ext: output file not empty"
  # Module errors: status 3, "<identifier> <message>".
  expect "nargin $ext" 3 "pairkernels:pair_residual:nargin *" $runner "$residual" "$out" s:2
  expect "tooLarge $ext" 3 "pairkernels:pair_residual:tooLarge *" $runner "$residual" "$out" \
    s:1e10 f:"$work/empty.bin" f:"$work/empty.bin" f:"$work/empty.bin" f:"$work/empty.bin" s:1
  expect "tooShort $ext" 3 "pairkernels:pair_residual:tooShort *" $runner "$residual" "$out" \
    s:2 f:"$work/q.bin" f:"$work/q.bin" f:"$work/W.bin" f:"$work/X.bin" s:1
  # Calls that cannot be made: status 2.
  expect "bad number $ext" 2 "" $runner "$residual" "$out" s:abc
  expect "bad kind $ext" 2 "" $runner "$residual" "$out" x:1
  expect "odd file $ext" 2 "" $runner "$residual" "$out" f:"$work/odd.bin"
  expect "missing module $ext" 2 "" $runner "$work/none.$ext" "$out" s:1
  # A copy in another folder, named relative to the working directory, bare and with ./.
  mkdir -p "$work/copy-$runner-$ext/sub"
  cp "$residual" "$work/copy-$runner-$ext/sub/"
  cd "$work/copy-$runner-$ext"
  expect "relative path $ext" 0 "4 1" $runner ./sub/pair_residual.$ext out.bin s:2 \
    f:"$work/P.bin" f:"$work/q.bin" f:"$work/W.bin" f:"$work/X.bin" s:1
  cd sub
  expect "bare name $ext" 0 "4 1" $runner pair_residual.$ext out.bin s:2 \
    f:../../P.bin f:"$work/q.bin" f:"$work/W.bin" f:"$work/X.bin" s:1
  for f in ../out.bin out.bin; do
    [ "$(words $f | tr '\n' ' ')" = "401c000000000000 402c000000000000 403c000000000000 4041800000000000 " ] &&
      ok || bad "copied module $ext: $f holds $(words $f | tr '\n' ' ')"
  done
  cd "$root"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
