#!/usr/bin/env bash
# pkhost-run on every host the tests use and every kind of module file built, from the source
# tree's root:
#   tests/run/pkhost_run.sh BUILD_DIR WIN_BUILD_DIR ARM_BUILD_DIR MAC_BUILD_DIR
# The runners: BUILD_DIR/pkhost-run (x86-64 Linux), WIN_BUILD_DIR/bin/pkhost-run.exe (under
# Wine), ARM_BUILD_DIR/pkhost-run (under QEMU). The module files: the release builds of Linux
# (ELF, x86-64 and aarch64) and Windows (PE), and the macOS bundles (Mach-O, x86_64 and arm64;
# the x86_64 ones through the Linux and the Windows runner).
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
  "windows $mac/x86_64/%m.mexmaci64            macos"
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

# Arguments of each module's call, N = 3 and K = 2 (arrays longer than needed are allowed).
args_for() {
  case $1 in
    pair_difference_blocks | item_squared_norms | pair_difference_vectors) echo "s:3 s:2 $a" ;;
    repeated_vector_sum) echo "s:3 s:2 $a $b" ;;
    pair_scatter_reciprocal) echo "s:3 s:2 $a" ;;
    item_pair_scatter) echo "s:3 s:2 s:1 $a" ;;
    item_net_balance) echo "s:3 $a" ;;
    item_closed_form_update) echo "s:3 s:2 s:0.75 $a $b $a $b $a $b" ;;
    pair_difference_operator) echo "s:3" ;;
    transformed_pair_vector_sum) echo "s:3 s:2 s:0.75 $a $b $a $b $a" ;;
    pair_inner_product_residual) echo "s:3 $a $b $a s:2" ;;
    # m = -0: the windows profile's bound is then +0, as in the others.
    clamped_pair_model_gap) echo "s:3 s:-0.75 $a $b $a $b s:2 s:-0" ;;
    pair_residual) echo "s:3 $a $b $a $b s:2" ;;
    pair_matrix_step) echo "s:3 s:0.75 $a $b" ;;
  esac
}

# The result of item_pair_scatter has another form in the linux profile: results are compared
# within a form.
form_of() {
  if [ "$1" = item_pair_scatter ] && [ "$2" = linux ]; then echo tensor; else echo one; fi
}

for m in $(tools/modules.sh names); do
  declare -A seen=()
  for entry in "${builds[@]}"; do
    read -r runner pattern profile <<<"$entry"
    file=${pattern//%m/$m}
    form=$(form_of "$m" "$profile")
    out="$work/$m.$runner.$profile.$(basename "$file").out"
    printed=$("run_$runner" "$file" "$out" $(args_for "$m"))
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
             "linux $mac/x86_64 mexmaci64" "windows $mac/x86_64 mexmaci64" \
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
