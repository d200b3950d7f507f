#!/usr/bin/env bash
# Ctrl-C stops a long call of a native Octave module: repeated_vector_sum with N*K of about 2*10^15
# repetitions (days of work) gets SIGINT after two seconds and must end within 30 seconds, through
# Octave's interrupt (its unwind_protect cleanup runs, nothing after the call does).
# Usage: run.sh NATIVE_MODULE_DIR [OCTAVE_CLI]
set -euo pipefail
dir=$1
octave=${2:-octave-cli}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

"$octave" --norc --no-history --quiet --eval "
  addpath ('$dir');
  a = ones (1e6, 1);
  disp ('calling');
  unwind_protect
    c = repeated_vector_sum (1e6, 2147483647, a, a);
    disp ('the call finished');
  unwind_protect_cleanup
    disp ('the call was left');
  end_unwind_protect
  disp ('went on after the call');" > "$log" 2>&1 &
pid=$!
for _ in $(seq 1 50); do grep -q calling "$log" && break; sleep 0.2; done
sleep 2
start=$SECONDS
kill -INT "$pid"
for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  kill -KILL "$pid"
  echo "repeated_vector_sum ignored the interrupt for 30 seconds" >&2
  exit 1
fi
wait "$pid" || true
cat "$log"
echo "stopped $((SECONDS - start)) s after the interrupt"
grep -q 'the call was left' "$log" && ! grep -q 'the call finished\|went on after' "$log"
