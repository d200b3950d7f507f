#!/usr/bin/env bash
# Replaces the generated block of docs/performance.md (between the perf:begin and perf:end
# markers) with the tables of the last benchmark run, and copies its chart to
# docs/octave-bench.png, which the README shows beside its three-line summary (written by hand:
# this script leaves the README alone).
#
#   tools/update-readme-perf.sh [RESULTS_DIR [PAGE]]   defaults: build/bench-results
#                                                      docs/performance.md
#
# RESULTS_DIR holds bench.md (make bench) and octave.md and octave.png (make bench-octave).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
results=${1:-$root/build/bench-results}
page=${2:-$root/docs/performance.md}
for f in bench.md octave.md octave.png; do
  [ -f "$results/$f" ] || { echo "missing $results/$f: run make bench and make bench-octave" >&2; exit 1; }
done
grep -q '<!-- perf:begin' "$page" && grep -q '<!-- perf:end -->' "$page" ||
  { echo "$page has no perf:begin/perf:end markers" >&2; exit 1; }

mkdir -p "$root/docs"
cp "$results/octave.png" "$root/docs/octave-bench.png"
model=$(lscpu | sed -n 's/^Model name: *//p' | head -n 1)
memory=$(awk '/^MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
octave_version=$(octave-cli --version | head -n 1 | awk '{ print $NF }')
section=$(mktemp)
trap 'rm -f "$section"' EXIT
{
  echo "<!-- perf:begin: written by tools/update-readme-perf.sh (make bench-readme); edit the script, not this block -->"
  echo
  echo "Machine: $model, $(nproc) cores, $memory memory, $(uname -sr)."
  echo
  echo "#### C++, through the stand-in host (\`make bench\`)"
  echo
  cat "$results/bench.md"
  echo
  echo "#### GNU Octave $octave_version (\`make bench-octave\`)"
  echo
  cat "$results/octave.md"
  echo
  echo "![Speed-ups of the modules over vectorized Octave expressions](octave-bench.png)"
  echo
  echo "<!-- perf:end -->"
} > "$section"
awk -v section="$section" '
  /<!-- perf:begin/ { while ((getline line < section) > 0) print line; skipping = 1; next }
  /<!-- perf:end -->/ { skipping = 0; next }
  !skipping { print }
' "$page" > "$page.new"
mv "$page.new" "$page"
echo "Updated $page and docs/octave-bench.png from $results"
