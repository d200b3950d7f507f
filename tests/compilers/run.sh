#!/usr/bin/env bash
# The modules, the stand-in host and the C++ suite built with each compiler users have, and the
# suite run on each build: GCC 11 and 12 and Clang 13 and 14 from this Debian 12, GCC 9 and 10 from
# a Debian 11 chroot (tools/hosts.sh). Every build must give the suite's bits, in every kernel
# variant this processor has.
#   tests/compilers/run.sh OUTDIR [COMPILER...]     COMPILER: gcc-9 gcc-10 gcc-11 gcc-12 clang-13 clang-14
# Prints one line per compiler (its version, tests passed / skipped / failed) and exits non-zero
# when any build or test failed. With ALLOW_SKIP=1 a compiler that cannot be had here (no Debian
# 11 chroot) is reported as skipped; otherwise that fails too.
set -uo pipefail

SRC=$(cd "$(dirname "$0")/../.." && pwd)
OUT=$(mkdir -p "$1" && cd "$1" && pwd)
shift
compilers=("$@")
[ ${#compilers[@]} -gt 0 ] || compilers=(gcc-9 gcc-10 gcc-11 gcc-12 clang-13 clang-14)
JOBS=${JOBS:-$(nproc)}

. "$SRC/tools/toolchain.sh"

status=0
summary=()
for c in "${compilers[@]}"; do
  read -r host cc cxx < <(toolchain "$c") || { echo "unknown compiler $c" >&2; exit 2; }
  log=$OUT/$c.log
  if [ "$host" != . ] && ! "$SRC/tools/hosts.sh" ensure "$host" > /dev/null 2> "$log.host"; then
    reason=$(tail -1 "$log.host")
    if [ "${ALLOW_SKIP:-0}" = 1 ]; then
      summary+=("$c: SKIPPED ($reason)")
    else
      summary+=("$c: FAILED, cannot be had here: $reason (ALLOW_SKIP=1 reports it as skipped)")
      status=1
    fi
    continue
  fi
  if [ "$host" = . ] && ! command -v "$cxx" > /dev/null; then
    summary+=("$c: FAILED, $cxx is not installed (make deps installs it)")
    status=1
    continue
  fi
  build=$OUT/$c
  echo "== $c: building into $build (log: $log)"
  if ! run "$host" env CC="$cc" CXX="$cxx" cmake -S "$SRC" -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -DPAIRKERNELS_OCTAVE=OFF -DPAIRKERNELS_MATLAB=OFF -DPAIRKERNELS_BENCH=OFF > "$log" 2>&1 ||
     ! run "$host" cmake --build "$build" -j "$JOBS" >> "$log" 2>&1; then
    summary+=("$c: FAILED to build (tail of $log below)")
    tail -20 "$log"
    status=1
    continue
  fi
  version=$(run "$host" "$cxx" --version | head -1)
  warnings=$(grep -c "warning:" "$log" || true)
  run "$host" "$build/tests/pairkernels_tests" --gtest_brief=1 > "$OUT/$c.tests.log" 2>&1
  rc=$?
  passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$OUT/$c.tests.log")
  skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) test.*/\1/p' "$OUT/$c.tests.log")
  failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$OUT/$c.tests.log")
  line="$c ($version): ${passed:-0} passed, ${skipped:-0} skipped, ${failed:-0} failed, $warnings compiler warnings"
  if [ $rc -ne 0 ]; then
    status=1
    line="$line: FAILED (log: $OUT/$c.tests.log)"
    grep -E "^\[  FAILED  \]" "$OUT/$c.tests.log" | head -20
  fi
  summary+=("$line")
done
echo
echo "C++ suite per compiler:"
printf '  %s\n' "${summary[@]}"
exit $status
