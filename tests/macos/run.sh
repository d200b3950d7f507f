#!/usr/bin/env bash
# The macOS and Arm tests (make test-macos), from the source tree's root, once the builds exist:
#   tests/macos/run.sh BUILD_DIR WIN_BUILD_DIR ARM_BUILD_DIR MAC_BUILD_DIR
#
#   macho_binding_*       every deliverable bundle's header, exports, dylibs and imports
#                         (tests/macos/macho_binding.sh), and that the check refuses what it must
#   suite_macho_x86_64    the C++ suite on the x86_64 bundles of every profile, loaded by the
#                         stand-in host's Mach-O loader
#   suite_macho_x86_64_windows  the Windows build of the suite on the same bundles, under Wine
#   suite_aarch64_elf     the aarch64 build of the C++ suite on the aarch64 ELF modules, under QEMU
#   suite_macho_arm64     the same on the arm64 bundles
#   pkhost_run            the runner of every host on every kind of module file, bit for bit
#                         (tests/run/pkhost_run.sh)
# Ends with "N passed, N failed".
set -uo pipefail
build=$(realpath "$1") win=$(realpath "$2") arm=$(realpath "$3") mac=$(realpath "$4")
objdump=$(command -v llvm-objdump || command -v llvm-objdump-14)
qemu="qemu-aarch64-static -L /usr/aarch64-linux-gnu"
modules=$(tools/modules.sh names)
passed=0
failed=0
results=()

step() {
  local name=$1
  shift
  echo "== $name"
  local start=$SECONDS
  if "$@"; then
    passed=$((passed + 1)); results+=("ok      $name ($((SECONDS - start)) s)")
  else
    failed=$((failed + 1)); results+=("FAILED  $name ($((SECONDS - start)) s)")
  fi
}

fails() { ! "$@" >/dev/null; }

bundles() {  # bundles DIR EXTENSION
  for m in $modules; do echo "$1/$m.$2"; done
}

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

# The ELF binding checks concern the ELF build, which the main suite runs. Under QEMU the suite
# leaves out the one test that scans 6.4 GB of inputs (2.5 minutes there, 1 s natively): it runs
# in the x86-64 suites, on ELF modules and bundles alike.
slow=SmallStack.ClosedFormUpdateWithTwentyThousandItems
step suite_macho_x86_64 env PKTEST_MODULE_DIR="$mac/standin" PKTEST_MODULE_SUFFIX=.mexmaci64 \
  "$build/tests/pairkernels_tests" --gtest_filter=-Binding.*
step suite_macho_x86_64_windows env PKTEST_MODULE_DIR="$mac/standin" \
  PKTEST_MODULE_SUFFIX=.mexmaci64 tests/windows/wine.sh "$win/wineprefix" /usr/lib/wine/wine64 \
  "$win/bin/pairkernels_tests.exe"
step suite_aarch64_elf $qemu "$arm/tests/pairkernels_tests" --gtest_filter=-$slow
step suite_macho_arm64 env PKTEST_MODULE_DIR="$mac/standin" PKTEST_MODULE_SUFFIX=.mexmaca64 \
  $qemu "$arm/tests/pairkernels_tests" --gtest_filter=-Binding.*:$slow
step pkhost_run tests/run/pkhost_run.sh "$build" "$win" "$arm" "$mac"

printf '%s\n' "${results[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
