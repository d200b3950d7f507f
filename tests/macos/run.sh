#!/usr/bin/env bash
# The macOS and Arm tests (make test-macos), from the source tree's root, once the builds exist:
#   tests/macos/run.sh BUILD_DIR WIN_BUILD_DIR ARM_BUILD_DIR MAC_BUILD_DIR
#
#   macho_binding_*       every deliverable bundle's header, exports, dylibs and imports
#                         (tests/macos/macho_binding.sh), and that the check refuses what it must
#   suite_macho_x86_64    the C++ suite on the x86_64 bundles of every profile, loaded by the
#                         stand-in host's Mach-O loader
#   suite_aarch64_elf     the aarch64 build of the C++ suite on the aarch64 ELF modules, under QEMU
#   suite_macho_arm64     the same on the arm64 bundles
#   pkhost_run            the runner of every host on every kind of module file, bit for bit
#                         (tests/run/pkhost_run.sh), the Windows runner in a Wine session of
#                         this step's own (prefix WIN_BUILD_DIR/wineprefix-pkhost_run)
# The two QEMU suites run side by side. Ends with the tests the steps ran, "tests: N passed, N
# skipped, N failed", and the steps, "N passed, N failed".
set -uo pipefail
build=$(realpath "$1") win=$(realpath "$2") arm=$(realpath "$3") mac=$(realpath "$4")
objdump=$(command -v llvm-objdump || command -v llvm-objdump-14)
qemu="qemu-aarch64-static -L /usr/aarch64-linux-gnu"
modules=$(tools/modules.sh names)
passed=0
failed=0
results=()
tests_passed=0 tests_skipped=0 tests_failed=0
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# The tests a step's output says it ran: GoogleTest's summary, or a shell suite's last
# "N passed, N failed" line, or the step itself as one test.
tally() {  # tally LOG STATUS
  local log=$1 status=$2 p s f
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | tail -n 1)
  if [ -n "$p" ]; then
    s=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}[.,].*/\1/p' "$log" | tail -n 1)
    f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\},.*/\1/p' "$log" | tail -n 1)
  elif read -r p _ f _ < <(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1) &&
       [ -n "$p" ]; then
    s=0
  elif [ "$status" -eq 0 ]; then
    p=1 s=0 f=0
  else
    p=0 s=0 f=1
  fi
  tests_passed=$((tests_passed + p)) tests_skipped=$((tests_skipped + ${s:-0}))
  tests_failed=$((tests_failed + ${f:-0}))
}

record() {  # record NAME STATUS SECONDS
  if [ "$2" -eq 0 ]; then
    passed=$((passed + 1)); results+=("ok      $1 ($3 s)")
  else
    failed=$((failed + 1)); results+=("FAILED  $1 ($3 s)")
  fi
}

step() {
  local name=$1
  shift
  echo "== $name"
  local start=$SECONDS status
  "$@" > "$logs/$name.log" 2>&1
  status=$?
  cat "$logs/$name.log"
  tally "$logs/$name.log" $status
  record "$name" $status $((SECONDS - start))
}

# Steps that each keep one core busy for minutes (the QEMU suites) run side by side: each to its
# own log, shown when both are done.
parallel_steps=()
step_beside() {
  local name=$1
  shift
  echo "== $name (beside the next steps)"
  ( start=$SECONDS; "$@" > "$logs/$name.log" 2>&1; echo "$? $((SECONDS - start))" \
      > "$logs/$name.status" ) &
  parallel_steps+=("$name:$!")
}
wait_beside() {
  local entry name status seconds
  for entry in "${parallel_steps[@]}"; do
    name=${entry%%:*}
    wait "${entry#*:}"
    read -r status seconds < "$logs/$name.status"
    echo "== $name"
    cat "$logs/$name.log"
    tally "$logs/$name.log" "$status"
    record "$name" "$status" "$seconds"
  done
  parallel_steps=()
}

fails() { ! "$@" >/dev/null; }

bundles() {  # bundles DIR EXTENSION
  for m in $modules; do echo "$1/$m.$2"; done
}

# The ELF binding checks concern the ELF build, which the main suite runs. Under QEMU the suite
# leaves out the one test that scans 6.4 GB of inputs (2.5 minutes there, 1 s natively): it runs
# in the x86-64 suites, on ELF modules and bundles alike.
slow=SmallStack.ClosedFormUpdateWithTwentyThousandItems
# The tests of sizes beyond fixed capacities and of results beyond 64 MiB test the modules' source
# with big inputs (half the suite's time under QEMU): the arm64 bundles leave them to the aarch64
# ELF modules, which are compiled from the same source in the same portable form.
big='ItemClosedFormUpdate.MoreThanTenThousandItems:*.ResultsBeyondSixtyFourMebibytes*'
# The QEMU suites start first and run beside the other steps.
step_beside suite_aarch64_elf $qemu "$arm/tests/pairkernels_tests" --gtest_filter=-$slow
step_beside suite_macho_arm64 env PKTEST_MODULE_DIR="$mac/standin" PKTEST_MODULE_SUFFIX=.mexmaca64 \
  $qemu "$arm/tests/pairkernels_tests" --gtest_filter=-Binding.*:$slow:$big

step macho_binding_x86_64 tests/macos/macho_binding.sh "$objdump" x86_64 $(bundles "$mac/x86_64" mexmaci64)
step macho_binding_arm64 tests/macos/macho_binding.sh "$objdump" arm64 $(bundles "$mac/arm64" mexmaca64)
# The check must be able to fail: another architecture's bundle, and a test bundle, which imports
# the stand-in host's pkhostSimdLevel.
step macho_binding_refuses_other_architecture \
  fails tests/macos/macho_binding.sh "$objdump" x86_64 "$mac/arm64/pair_residual.mexmaca64"
step macho_binding_refuses_test_bundle \
  fails tests/macos/macho_binding.sh "$objdump" arm64 "$mac/standin/macos/pair_residual.mexmaca64"
step macho_binding_refuses_elf fails tests/macos/macho_binding.sh "$objdump" x86_64 \
  "$build/standin/macos/pair_residual.mexa64"

step suite_macho_x86_64 env PKTEST_MODULE_DIR="$mac/standin" PKTEST_MODULE_SUFFIX=.mexmaci64 \
  "$build/tests/pairkernels_tests" --gtest_filter=-Binding.*
wait_beside
step pkhost_run tests/windows/wine_session.sh "$win/wineprefix-pkhost_run" \
  tests/run/pkhost_run.sh "$build" "$win" "$arm" "$mac"

printf '%s\n' "${results[@]}"
echo "tests: $tests_passed passed, $tests_skipped skipped, $tests_failed failed"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
