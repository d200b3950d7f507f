#!/usr/bin/env bash
# Runs a GoogleTest program once, under Wine in the current session (tests/windows/wine.sh), and
# ends with its counts:  gtest_suite.sh PROGRAM [ARGUMENTS...]
# GoogleTest's output is passed on as it comes; then every failed case is named, and the last
# line is "N passed, N failed, N skipped". Fails when the program fails, when a case failed, when
# the program ended without its summary (a crash), or when it ran no test.
set -uo pipefail
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$(dirname "$0")/wine.sh" "$@" | tee "$log"
status=${PIPESTATUS[0]}
count() { sed -n "s/^\[  $1 *\] \([0-9]*\) tests\{0,1\}[.,].*/\1/p" "$log" | tail -n 1; }
ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$log" | tail -n 1)
passed=$(count PASSED) failed=$(count FAILED) skipped=$(count SKIPPED)
if [ -z "$ran" ] || [ -z "$passed" ]; then
  echo "FAILED  $1 ended (status $status) before its summary"
  exit 1
fi
if [ "$ran" -eq 0 ] || [ "$ran" -ne $((passed + ${failed:-0} + ${skipped:-0})) ]; then
  echo "FAILED  $1 ran $ran tests: $passed passed, ${failed:-0} failed, ${skipped:-0} skipped"
  exit 1
fi
awk '/^\[  FAILED  \] [0-9]+ tests?, listed below:/ { listed = 1; next }
     listed && /^\[  FAILED  \] / { sub(/^\[  FAILED  \] /, "FAILED  "); print }' "$log"
echo "${passed} passed, ${failed:-0} failed, ${skipped:-0} skipped"
[ "$status" -eq 0 ] && [ "${failed:-0}" -eq 0 ]
