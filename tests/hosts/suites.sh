#!/usr/bin/env bash
# The project's Octave suites on one folder of modules, as tests/CMakeLists.txt runs them, and this
# folder's host checks (test_*.m here) through the same runner; the one place the host tests call
# the suites from.
#   tests/hosts/suites.sh MODULE_DIR PROFILE LOG [FOLDER]
#   tests/hosts/suites.sh --compare MEX_DIR NATIVE_DIR PROFILE LOG
# FOLDER goes on the path too: an installed package's folder of the m-files beside the one of its
# modules (pairkernels_demo), as pkg load puts both. Appends the runner's output to LOG, prints
# "<passed> <failed> <skipped>" (for --compare: "<calls> <differing>") and exits with the suites'
# status.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
octave=(octave-cli --norc --no-history --quiet)

if [ "${1:-}" = --compare ]; then
  [ $# -eq 5 ] || { echo "usage: $0 --compare MEX_DIR NATIVE_DIR PROFILE LOG" >&2; exit 2; }
  log=$5
  out=$("${octave[@]}" "$src/tests/octave/compare_builds.m" "$2" "$3" "$4" 2>&1)
  status=$?
  printf '%s\n' "$out" >> "$log"
  # "<calls> calls (<refused> refused), <n> differ between the MEX and the native modules"
  sed -n 's/^\([0-9]*\) calls (.*), \([0-9]*\) differ .*/\1 \2/p' <<< "$out" | tail -1
  exit $status
fi

[ $# -eq 3 ] || [ $# -eq 4 ] || { echo "usage: $0 MODULE_DIR PROFILE LOG [FOLDER]" >&2; exit 2; }
log=$3
[ $# -eq 4 ] && octave+=(--path "$4")
passed=0 failed=0 skipped=0 status=0
for testdir in "$src/tests/octave" "$here"; do
  out=$("${octave[@]}" "$src/tests/octave/run_tests.m" "$1" "$2" "$testdir" 2>&1) || status=1
  printf '%s\n' "$out" >> "$log"
  read -r p f < <(sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p' <<< "$out" | tail -1)
  [ -n "${p:-}" ] || status=1
  passed=$((passed + ${p:-0})) failed=$((failed + ${f:-0}))
  skipped=$((skipped + $(grep -c '^----- skipped test' <<< "$out")))
done
echo "$passed $failed $skipped"
exit $status
