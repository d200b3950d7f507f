#!/usr/bin/env bash
# make test-hosts: the package and the modules in every GNU Octave the package claims, each in a
# chroot of its Debian release (tools/hosts.sh): Octave 6.2 (Debian 11), 9 (Debian 13) and the
# newest (Debian sid) on x86-64, and Octave 7.3 on 64-bit Arm (Debian 12 arm64, under QEMU). In
# each host (tests/hosts/in-host.sh): pkg install of the package, pkg test, the suites on the
# installed native modules and on MEX modules built there, and the fixed cases (cases.m), whose
# results must be the bits of this machine's build (BUILD_DIR/oct and BUILD_DIR/octave). The arm64
# modules are cross-built against the chroot (cross-build.sh), native and MEX, and the package is
# also installed there from source once, emulated.
#   tests/hosts/run.sh BUILD_DIR OUT_DIR [HOST...]          (default: every host of hosts.sh list)
# Needs BUILD_DIR/pairkernels-<version>.tar.gz (make dist). A host that cannot be made here (no
# mirror, no binfmt_misc for arm64) fails the run, unless ALLOW_SKIP=1 reports it as skipped.
# Prints each host's counts and a summary; exits non-zero on any failure.
set -euo pipefail

SRC=$(cd "$(dirname "$0")/../.." && pwd)
here=$SRC/tests/hosts
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
shift 2
hosts=("$@")
[ ${#hosts[@]} -gt 0 ] || mapfile -t hosts < <("$SRC/tools/hosts.sh" list | awk '{ print $1 }')
version=$(sed -n 's/^project(pairkernels VERSION \([0-9.]*\).*/\1/p' "$SRC/CMakeLists.txt")
tarball=$build/pairkernels-$version.tar.gz
[ -f "$tarball" ] || { echo "test-hosts: no $tarball (make dist)" >&2; exit 1; }
octave=(octave-cli --norc --no-history --quiet)
native_arch=$(dpkg --print-architecture)
status=0
summary=()
started_all=$SECONDS

# compare LABEL FILE: FILE's cases against the reference build's; prints the result.
compare() {
  local text
  if text=$("${octave[@]}" "$here/compare_cases.m" "$out/reference/oct.cases" "$2" 2>&1); then
    echo "  cases, $1: $text" | tail -1
    return 0
  fi
  echo "  cases, $1: FAILED"
  sed 's/^/    /' <<< "$text"
  return 1
}

# report WORK: in-host.sh's results, one line each; returns non-zero when any step failed.
report() {
  local what state rest ok=0 k=""
  while read -r what rest; do
    case $what in
      suite|compare|cases) read -r k rest <<< "$rest" ;;  # which folder of modules
    esac
    read -r state rest <<< "$rest"
    read -r -a n <<< "$rest"
    [ "$state" = ok ] || [ "$state" = reused ] || ok=1
    case $what in
      install)
        if [ "$state" = reused ]; then
          echo "  pkg install: reused, the same package installed at ${n[3]} in ${n[0]} s" \
            "(HOSTS_REINSTALL=1 installs it again), ${n[1]} compiler warnings, ${n[2]} about" \
            "deprecations"
        else
          echo "  pkg install: $state in ${n[0]} s, ${n[1]} compiler warnings, ${n[2]} about" \
            "deprecations"
        fi ;;
      mexbuild) echo "  MEX build (build_pairkernels): $state in ${n[0]} s, ${n[1]} compiler" \
                  "warnings, ${n[2]} about deprecations" ;;
      pkgtest) echo "  pkg test pairkernels: $state: ${n[0]} passed, ${n[1]} failed," \
                 "${n[2]} skipped"
               pkgtest="${n[0]} passed, ${n[1]} failed, ${n[2]} skipped" ;;
      suite) echo "  suites, $(kind "$k"): $state: ${n[0]} passed, ${n[1]} failed, ${n[2]} skipped"
             suites_passed=$((suites_passed + n[0])) suites_failed=$((suites_failed + n[1])) ;;
      compare) echo "  MEX modules against $(kind "$k"): $state: ${n[0]} calls, ${n[1]} differ" ;;
      cases) [ "$state" = ok ] || echo "  cases, $(kind "$k"): FAILED to run" ;;
    esac
  done < <(grep -v '^octave ' "$1/results")
  return $ok
}

kind() {
  case $1 in
    installed) echo "installed native modules" ;;
    oct) echo "cross-built native modules" ;;
    mex) echo "MEX modules" ;;
    *) echo "$1" ;;
  esac
}

echo "== reference: this machine's build ($build/oct, $build/octave)"
mkdir -p "$out/reference"
for kind in oct mex; do
  dir=$build/oct
  [ $kind = mex ] && dir=$build/octave
  "${octave[@]}" "$here/cases.m" "$dir" "$out/reference/$kind.cases" | sed 's/^/  /'
done
ref_version=$("${octave[@]}" --eval 'printf ("%s %s", OCTAVE_VERSION, computer ())')
if line=$(compare "MEX against native" "$out/reference/mex.cases"); then
  summary+=("reference: Octave $ref_version, this machine: native and MEX agree")
else
  summary+=("reference: Octave $ref_version: FAILED, native and MEX differ")
  status=1
fi
echo "$line"

for host in "${hosts[@]}"; do
  read -r suite arch < <("$SRC/tools/hosts.sh" list | awk -v h="$host" '$1 == h { print $2, $3 }')
  [ -n "${suite:-}" ] || { echo "test-hosts: no host $host (tools/hosts.sh list)" >&2; exit 2; }
  work=$out/$host
  mkdir -p "$work"
  started=$SECONDS
  echo "== $host (Debian $suite, $arch)"
  set +e
  root=$("$SRC/tools/hosts.sh" ensure "$host" 2> "$work/ensure.log")
  made=$?
  set -e
  if [ $made -ne 0 ]; then
    reason=$(tail -1 "$work/ensure.log")
    if [ $made -eq 3 ] && [ "${ALLOW_SKIP:-0}" = 1 ]; then
      echo "  SKIPPED: $reason"
      summary+=("$host: SKIPPED, not tested: $reason")
    else
      echo "  FAILED: the host cannot be made here: $reason"
      [ $made -eq 3 ] && echo "  (ALLOW_SKIP=1 reports it as skipped)"
      summary+=("$host: FAILED, cannot be made here: $reason")
      status=1
    fi
    continue
  fi
  cp "$tarball" "$work/"
  args=("$work" "$work/$(basename "$tarball")")
  env=()
  host_ok=0
  if [ "$arch" != "$native_arch" ]; then
    # Emulated: the modules tested are cross-built here; the package is installed there once.
    case $arch in
      arm64) triplet=aarch64-linux-gnu ;;
      *) echo "test-hosts: no cross compiler known for $arch" >&2; exit 2 ;;
    esac
    if warned=$("$here/cross-build.sh" "$root" "$host" "$triplet" "$work" 2> "$work/cross.err")
    then
      echo "  cross-built native and MEX modules with $triplet-g++: $warned compiler warnings"
      args+=("$work/oct" "$work/mex")
    else
      echo "  cross-build FAILED: $(tail -1 "$work/cross.err")"
      host_ok=1
    fi
    env=(env PAIRKERNELS_EMULATED=1)
    [ "${HOSTS_REINSTALL:-0}" = 1 ] || args=(--reuse-install "${args[@]}")
  fi
  set +e
  "$SRC/tools/hosts.sh" run "$host" "$work" "${env[@]}" "$here/in-host.sh" "${args[@]}" \
    > "$work/in-host.log" 2>&1
  ran=$?
  set -e
  read -r _ octave_version platform < <(grep '^octave ' "$work/results" 2>/dev/null || echo)
  echo "  GNU Octave ${octave_version:-?}, ${platform:-?}"
  suites_passed=0 suites_failed=0 pkgtest="did not run"
  report "$work" || host_ok=1
  [ $ran -eq 0 ] || host_ok=1
  cases=0
  for f in "$work"/*.cases; do
    [ -e "$f" ] || continue
    k=$(basename "$f" .cases)
    compare "$(kind "$k")" "$f" || host_ok=1
    cases=$((cases + 1))
  done
  [ $cases -gt 0 ] || host_ok=1
  took=$((SECONDS - started))
  line="$host: Octave ${octave_version:-?} ${platform%%-*}: pkg test $pkgtest; suites"
  line+=" $suites_passed passed, $suites_failed failed; cases of $cases builds compared; $took s"
  if [ $host_ok -eq 0 ]; then
    summary+=("$line: passed")
  else
    summary+=("$line: FAILED (logs in $work)")
    status=1
  fi
done

echo
echo "test-hosts, $((SECONDS - started_all)) s:"
printf '  %s\n' "${summary[@]}"
exit $status
