#!/usr/bin/env bash
# Runs make targets as the stages of a test run, each with its whole output in LOG_DIR/<stage>.log,
# and ends with a table: what each stage built or ran, its seconds, its processor seconds and its
# tests passed / skipped / failed (from the suite's own summary), and where a failed stage's log
# is. Up to TEST_PARALLEL stages (default 2) run side by side: a stage starts, in the order given,
# once the stages among its prerequisites in the Makefile have ended, and make is told not to
# remake those (-o), so that no two stages build the same tree. Every stage runs even when an
# earlier one failed, unless it needs what failed (make then fails it too). Exits non-zero when
# any stage failed.
#   tools/test-stages.sh LOG_DIR STAGE...
# The stages see the make variables of the calling make (MAKEFLAGS).
set -uo pipefail
logs=$1
shift
mkdir -p "$logs"
logs=$(cd "$logs" && pwd)
make=${MAKE:-make}

# What a log says it ran: "passed skipped failed", from the summary lines the suites print:
# "tests: N passed, N skipped, N failed" (a suite of steps, counting its steps' tests); ctest's,
# where a test that runs a whole GoogleTest program under Wine ("N passed, N failed, N skipped",
# tests/windows/gtest_suite.sh, shown with ctest -V) counts as its cases; or a shell suite's
# "N passed, N failed"; "- - -" for a build.
counts() {
  local log=$1 line total failed skipped p s f n
  if line=$(grep -E '^tests: [0-9]+ passed, [0-9]+ skipped, [0-9]+ failed' "$log" | tail -1) &&
     [ -n "$line" ]; then
    read -r _ p _ s _ f _ <<<"$line"
    echo "$p $s $f"
  elif line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1) &&
       [ -n "$line" ]; then
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    skipped=$(awk '/The following tests did not run:/ { on = 1; next }
                   on && /\(Skipped\)/ { n++ } on && !/\(Skipped\)/ { on = 0 }
                   END { print n + 0 }' "$log")
    read -r n nf p s f < <(sed -nE 's/^([0-9]+: )?([0-9]+) passed, ([0-9]+) failed, ([0-9]+) skipped$/\2 \4 \3/p' \
      "$log" | awk '{ n++; nf += ($3 > 0); p += $1; s += $2; f += $3 }
                    END { print n + 0, nf + 0, p + 0, s + 0, f + 0 }')
    # each such program is one ctest test: its cases replace it in the counts
    echo "$((total - failed - skipped - (n - nf) + p)) $((skipped + s)) $((failed - nf + f))"
  elif line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -1) && [ -n "$line" ]; then
    read -r p _ f _ <<<"$line"
    echo "$p 0 $f"
  elif line=$(grep -E '^Done [0-9]+ runs' "$log" | tail -1) && [ -n "$line" ]; then
    echo "$(awk '{ print $2 }' <<<"$line") runs - 0"
  else
    echo "- - -"
  fi
}

# What a stage is, for the table: the "#: ..." line above its target in the Makefile.
what() {
  awk -v t="$1" '/^#:/ { c = substr($0, 4); next } $0 ~ "^" t ":" { print c; exit }
                 !/^#/ { c = "" }' Makefile
}

# The stages among STAGE's prerequisites in the Makefile ("stage: prerequisite...").
prerequisites() {
  local p
  for p in $(awk -v t="$1" '$0 ~ "^" t ":" { sub("^[^:]*:", ""); print; exit }' Makefile); do
    [ "$p" != "$1" ] && [ -n "${state[$p]:-}" ] && echo "$p"
  done
}

# One stage, in the background: its log, then "result seconds cpu" in LOG_DIR/<stage>.end.
run_stage() {
  local stage=$1 log=$logs/$1.log start=$SECONDS result old=() p
  for p in "${!state[@]}"; do [ "${state[$p]}" = ok ] && old+=(-o "$p"); done
  # bash's time keyword: the processor seconds of the stage's processes, user and system (a
  # process that outlives its parent, such as a Wine session's server, is not counted)
  if { time "$make" --no-print-directory "${old[@]}" "$stage" > "$log" 2>&1; } \
       2> "$logs/$stage.cpu"; then
    result=ok
  else
    result=FAILED
  fi
  echo "$result $((SECONDS - start)) $(awk '{ printf "%d", $1 + $2 }' "$logs/$stage.cpu")" \
    > "$logs/$stage.end"
  rm -f "$logs/$stage.cpu"
}

declare -A state
for stage in "$@"; do state[$stage]=pending; done
parallel=${TEST_PARALLEL:-2}
status=0
cpu_all=0
TIMEFORMAT='%U %S'
started_all=$SECONDS
rm -f "$logs"/*.end
while :; do
  running=0 pending=0
  for stage in "$@"; do
    case ${state[$stage]} in running) running=$((running + 1)) ;; pending) pending=$((pending + 1)) ;; esac
  done
  [ $running -eq 0 ] && [ $pending -eq 0 ] && break
  # start what is ready, in order
  for stage in "$@"; do
    [ $running -lt "$parallel" ] || break
    [ "${state[$stage]}" = pending ] || continue
    ready=1
    for p in $(prerequisites "$stage"); do
      case ${state[$p]} in pending|running) ready=0 ;; esac
    done
    [ $ready -eq 1 ] || continue
    echo "== $stage (log: $logs/$stage.log)"
    state[$stage]=running
    running=$((running + 1))
    run_stage "$stage" &
  done
  if [ $running -eq 0 ]; then  # what is left waits for a stage that cannot run: a loop
    for stage in "$@"; do
      [ "${state[$stage]}" = pending ] || continue
      echo "FAILED 0 0" > "$logs/$stage.end"
      echo "$stage: waits for a stage that waits for it" > "$logs/$stage.log"
    done
  else
    wait -n 2>/dev/null || sleep 1  # (no job left to wait for: one ended before)
  fi
  for stage in "$@"; do
    case ${state[$stage]} in running|pending) ;; *) continue ;; esac
    [ -f "$logs/$stage.end" ] || continue
    read -r result seconds cpu < "$logs/$stage.end"
    state[$stage]=$result
    echo "   $stage: $result in $seconds s"
    [ "$result" = ok ] || { status=1; tail -30 "$logs/$stage.log"; }
  done
done

echo
printf '%-15s %-6s %7s %5s %7s %7s %7s  %s\n' stage result seconds cpu passed skipped failed what
for stage in "$@"; do
  log=$logs/$stage.log
  read -r result seconds cpu < "$logs/$stage.end"
  rm -f "$logs/$stage.end"
  cpu_all=$((cpu_all + cpu))
  read -r p s f <<<"$(counts "$log")"
  printf '%-15s %-6s %7d %5d %7s %7s %7s  %s\n' "$stage" "$result" "$seconds" "$cpu" "$p" "$s" "$f" \
    "$([ "$result" = ok ] && what "$stage" || echo "see $log")"
done
echo "total: $((SECONDS - started_all)) s with up to $parallel stages side by side," \
  "$cpu_all processor seconds (cpu: a stage's user and system time on all cores);" \
  "every stage's log is in $logs/"
exit $status
