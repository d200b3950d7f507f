#!/usr/bin/env bash
# Module times of two compilers' builds side by side: the benchmark (bench/) built with each, in
# each kernel variant this processor has from AVX2 up, case by case, the two builds' runs of a case
# one right after the other (which goes first flips from case to case and from round to round, so
# that drift on the machine falls on both), round after round. Prints, per module, size and
# variant, the median over the rounds of the ratio OLD time / BASE time, with its smallest and
# largest round and the ratio of the two builds' best rounds, and marks every median above LIMIT.
#   tools/bench-compilers.sh OUTDIR [OLD [BASE]]       defaults: gcc-9 gcc-12 (names as in
#                                                      tests/compilers/run.sh)
# ROUNDS (default 5), REPETITIONS (per case and run, default 5), LIMIT (default 1.2), CASES (an
# extended regular expression the case names must match, e.g. 'pair_residual/N=4000'; default all),
# VARIANTS (e.g. avx512; default every one from AVX2 up that this processor has). Run it on a
# quiet machine: about 5 minutes a round with AVX-512, half that with AVX2 only, after the builds.
# Exits non-zero when a build fails or a median exceeds LIMIT.
set -euo pipefail

SRC=$(cd "$(dirname "$0")/.." && pwd)
OUT=$(mkdir -p "$1" && cd "$1" && pwd)
OLD=${2:-gcc-9}
BASE=${3:-gcc-12}
ROUNDS=${ROUNDS:-5}
REPETITIONS=${REPETITIONS:-5}
LIMIT=${LIMIT:-1.2}

. "$SRC/tools/toolchain.sh"

grep -qw avx2 /proc/cpuinfo || { echo "bench-compilers: this processor has no AVX2" >&2; exit 2; }
if [ -n "${VARIANTS:-}" ]; then
  read -r -a variants <<< "$VARIANTS"
else
  variants=(avx2)
  grep -qw avx512f /proc/cpuinfo && variants+=(avx512)
fi

for c in "$OLD" "$BASE"; do
  read -r host cc cxx < <(toolchain "$c") || { echo "unknown compiler $c" >&2; exit 2; }
  echo "== $c: building the benchmark into $OUT/$c (log: $OUT/$c.log)"
  if ! run "$host" env CC="$cc" CXX="$cxx" cmake -S "$SRC" -B "$OUT/$c" -DCMAKE_BUILD_TYPE=Release \
        -DPAIRKERNELS_OCTAVE=OFF -DPAIRKERNELS_MATLAB=OFF -DPAIRKERNELS_BENCH=ON > "$OUT/$c.log" 2>&1 ||
     ! run "$host" cmake --build "$OUT/$c" -j "$(nproc)" --target pairkernels_bench >> "$OUT/$c.log" 2>&1; then
    tail -20 "$OUT/$c.log"
    exit 1
  fi
  run "$host" "$cxx" --version | head -1
done

# The cases, each run on its own so that the two builds' runs of a case come one right after the
# other (a run of one case takes a second or two, too short for the machine to drift much).
read -r base_host _ _ < <(toolchain "$BASE")
mapfile -t cases < <(run "$base_host" "$OUT/$BASE/bench/pairkernels_bench" --benchmark_filter='^[a-z_:]+/N=' \
  --pk_literal=0 --benchmark_list_tests | sed -n 's,/min_time.*,,p' | grep -E "${CASES:-.}" || true)
[ ${#cases[@]} -gt 0 ] || { echo "bench-compilers: no module cases${CASES:+ match $CASES}" >&2; exit 1; }

# A previous run's results would mix into the summary.
rm -rf "$OUT/results" "$OUT"/r[0-9]*-*.log

echo "== ${ROUNDS} rounds of ${#cases[@]} cases, variants: ${variants[*]}$(grep -qw avx512f /proc/cpuinfo || echo ' (this processor has no AVX-512)')"
for r in $(seq "$ROUNDS"); do
  echo "round $r (load $(cut -d' ' -f1 /proc/loadavg))"
  for v in "${variants[@]}"; do
    for i in "${!cases[@]}"; do
      # Which build goes first flips from case to case and from round to round.
      order=("$OLD" "$BASE")
      [ $(((r + i) % 2)) = 1 ] || order=("$BASE" "$OLD")
      for c in "${order[@]}"; do
        read -r host _ _ < <(toolchain "$c")
        dir="$OUT/results/r$r-$v-$c/$(printf %02d "$i")"
        mkdir -p "$dir"
        log="$OUT/r$r-$v-$c.log"
        run "$host" "$OUT/$c/bench/pairkernels_bench" --benchmark_filter="^${cases[$i]}/" \
          --pk_literal=0 --pk_variant="$v" --pk_repetitions="$REPETITIONS" \
          --pk_results="$dir" --benchmark_color=false >> "$log" 2>&1 ||
          { tail -20 "$log"; echo "bench-compilers: $c's run of ${cases[$i]} ($v) failed (log: $log)" >&2; exit 1; }
      done
    done
  done
done

# bench.csv: module,form,size,module_s,... per case.
for v in "${variants[@]}"; do
  for r in $(seq "$ROUNDS"); do
    for c in "$OLD" "$BASE"; do
      for f in "$OUT/results/r$r-$v-$c"/*/bench.csv; do tail -n +2 "$f"; done | awk -F, -v r="$r" -v v="$v" -v c="$c" \
        '{ print v "\t" $1 ($2 == "" ? "" : " (" $2 ")") "\t" $3 "\t" r "\t" c "\t" $4 }'
    done
  done
done | awk -F'\t' -v old="$OLD" -v base="$BASE" -v limit="$LIMIT" '
  # Sorts v[1..m] in place (insertion sort; a handful of rounds) and returns its median.
  function median(v, m,    x, y, s) {
    for (x = 2; x <= m; ++x) for (y = x; y > 1 && v[y] < v[y-1]; --y) { s = v[y]; v[y] = v[y-1]; v[y-1] = s }
    return m % 2 ? v[(m+1)/2] : (v[m/2] + v[m/2+1]) / 2
  }
  { key = $1 "\t" $2 "\t" $3; t[key, $4, $5] = $6; if (!(key in seen)) { seen[key] = 1; keys[++n] = key }
    if ($4 > rounds) rounds = $4 }
  END {
    printf "%-7s %-44s %-18s %10s %10s %7s %13s %6s\n", "variant", "module", "size", old " ms", base " ms", "ratio", "round range", "best"
    bad = 0
    for (i = 1; i <= n; ++i) {
      k = keys[i]; m = 0
      for (r = 1; r <= rounds; ++r) {
        if (!((k, r, old) in t) || !((k, r, base) in t)) continue
        ++m; q[m] = t[k, r, old] / t[k, r, base]; a[m] = t[k, r, old]; b[m] = t[k, r, base]
      }
      if (m == 0) continue
      med = median(q, m); ma = median(a, m); mb = median(b, m)
      split(k, f, "\t")
      flag = med > limit ? "  ABOVE " limit : ""
      if (med > limit) bad = 1
      printf "%-7s %-44s %-18s %10.3f %10.3f %7.2f %6.2f-%-6.2f %6.2f%s\n", f[1], f[2], f[3], ma * 1e3, mb * 1e3, med, q[1], q[m], a[1] / b[1], flag
    }
    printf "\nratio: median over the rounds of %s time / %s time (each time a median of its run); round range: the smallest and largest round; best: %s best round / %s best round.\n", old, base, old, base
    exit bad
  }'
