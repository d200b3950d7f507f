#!/usr/bin/env bash
# The Octave benchmark: run_bench.m once per memory setting (each in a fresh Octave, since glibc
# reads its malloc settings at start-up), then report.m for the tables and the chart.
#
#   bench/octave/run.sh BUILD_DIR OUT_DIR [REPETITIONS]
#
# The first setting is Octave as a user starts it; its run makes the main table.
set -euo pipefail
build=$1
out=$2
reps=${3:-7}
here=$(cd "$(dirname "$0")" && pwd)
octave=(octave-cli --norc --no-history --quiet)
runs=(
  "glibc-defaults|"
  "hugepages|GLIBC_TUNABLES=glibc.malloc.hugetlb=1"
  "mmap-threshold|MALLOC_MMAP_THRESHOLD_=33554432 MALLOC_TRIM_THRESHOLD_=1073741824"
)
mkdir -p "$out"
labels=()
for run in "${runs[@]}"; do
  label=${run%%|*}
  settings=${run#*|}
  echo "== Octave benchmark '$label': ${settings:-no malloc settings}"
  # shellcheck disable=SC2086  # the settings are separate VAR=value words
  env $settings "${octave[@]}" "$here/run_bench.m" "$build/octave" "$build/oct" \
    "$build/bench-octave" "$out/octave-$label.csv" "$label" "$reps"
  labels+=("$label")
done
"${octave[@]}" "$here/report.m" "$out" "${labels[@]}"
