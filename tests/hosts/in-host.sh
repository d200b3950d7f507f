#!/usr/bin/env bash
# Runs inside one host's chroot (tests/hosts/run.sh starts it through tools/hosts.sh): installs
# the package with pkg into WORK (never the chroot's own Octave folders), runs pkg test, builds the
# MEX modules with build_pairkernels, then the suites (tests/hosts/suites.sh) and the case
# generator (cases.m) on each folder of modules.
#   tests/hosts/in-host.sh [--reuse-install] WORK TARBALL [FOLDER...]
# FOLDER: modules built elsewhere for this host (the arm64 cross-builds, WORK/oct and WORK/mex);
# without any, the MEX modules are built here into WORK/mex. The modules of each folder are tested,
# and the installed package's too. --reuse-install keeps an earlier run's install of a package of
# the same contents (an emulated install takes half an hour); pkg test and the rest run again.
# Writes WORK/results (one line per step: what, status, counts), WORK/<kind>.cases per folder and
# a log per step, and exits non-zero when any step failed.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
reuse=0
[ "${1:-}" = --reuse-install ] && { reuse=1; shift; }
work=$1
tarball=$2
shift 2
prebuilt=("$@")
octave=(octave-cli --norc --no-history --quiet)
status=0
mkdir -p "$work"
: > "$work/results"

result() {  # result LINE...: one line of WORK/results
  echo "$*" >> "$work/results"
}

# built NAME LOG STARTED RC: the result line of a build step: its status (a warning about a
# deprecated declaration fails it too), seconds, compiler warnings ("file:line:column: warning:")
# and those of them about deprecations.
built() {
  local all deprecated state=ok
  all=$(grep -c ': warning: ' "$2" || true)
  deprecated=$(grep ': warning: ' "$2" | grep -c -i deprecat || true)
  if [ "$4" -ne 0 ] || [ "$deprecated" -ne 0 ]; then
    state=FAILED
    status=1
  fi
  result "$1" $state $((SECONDS - $3)) "$all" "$deprecated"
}

"${octave[@]}" --eval 'printf ("octave %s %s\n", OCTAVE_VERSION, computer ())' >> "$work/results"

# pkg install into WORK/pkg, with the package lists there too.
pkg_setup="pkg ('prefix', '$work/pkg/share', '$work/pkg/arch');
  pkg ('local_list', '$work/pkg/octave_packages');
  pkg ('global_list', '$work/pkg/octave_packages_global');"
# The stamp of an install: the package's contents (the tar stream, whose gzip header may differ),
# and the install's result line and date.
contents=$(gzip -dc "$tarball" | sha256sum | cut -d ' ' -f 1)
stamp=$work/pkg/installed-package
if [ $reuse = 1 ] && [ -f "$stamp" ] && [ "$(sed -n 1p "$stamp")" = "$contents" ]; then
  result "$(sed -n 2p "$stamp" | sed 's/^install ok/install reused/')" "$(sed -n 3p "$stamp")"
else
  rm -rf "$work/pkg"
  mkdir -p "$work/pkg"
  started=$SECONDS
  rc=0
  "${octave[@]}" --eval "$pkg_setup pkg ('install', '-local', '-verbose', '$tarball');" \
    > "$work/pkg-install.log" 2>&1 || rc=$?
  built install "$work/pkg-install.log" $started $rc
  [ $rc -eq 0 ] && printf '%s\n%s\n%s\n' "$contents" "$(tail -1 "$work/results")" \
    "$(date -u +%FT%TZ)" > "$stamp"
fi
rm -rf "$work/pkg/test"
mkdir -p "$work/pkg/test"

# pkg test; __run_test_suite__'s summary gives the counts (its format varies between versions).
installed="" installed_files=""
if (cd "$work/pkg/test" && "${octave[@]}" --eval "$pkg_setup pkg ('load', 'pairkernels');
    printf ('installed-modules %s\n', fileparts (which ('pair_residual')));
    printf ('installed-files %s\n', fileparts (which ('pairkernels_demo')));
    pkg ('test', 'pairkernels');") > "$work/pkg-test.log" 2>&1; then
  installed=$(sed -n 's/^installed-modules //p' "$work/pkg-test.log")
  installed_files=$(sed -n 's/^installed-files //p' "$work/pkg-test.log")
fi
pass=$(sed -n 's/^ *PASS *\([0-9]*\)$/\1/p' "$work/pkg-test.log")
fail=$(sed -n 's/^ *FAIL *\([0-9]*\)$/\1/p' "$work/pkg-test.log")
# skipped: "SKIP (run-time condition)   3", "SKIP (missing feature)   1", ...
skip=$(sed -n 's/^ *SKIP[^0-9]* \([0-9][0-9]*\)$/\1/p' "$work/pkg-test.log" |
  awk '{ n += $1 } END { print n + 0 }')
if [ -n "$installed" ] && [ "${pass:-0}" -gt 0 ] && [ "${fail:-1}" -eq 0 ]; then
  result pkgtest ok "${pass:-0}" "${fail:-0}" "$skip"
else
  result pkgtest FAILED "${pass:-0}" "${fail:-?}" "$skip"
  status=1
fi

folders=()
[ -n "$installed" ] && folders+=("installed=$installed")
if [ ${#prebuilt[@]} -eq 0 ]; then
  rm -rf "$work/mex" "$work/mex-build"
  mkdir -p "$work/mex-build"
  started=$SECONDS
  rc=0
  (cd "$work/mex-build" && "${octave[@]}" --eval "addpath ('$src');
    build_pairkernels ('mex', true, 'outdir', '$work/mex', 'verbose', true);") \
    > "$work/mex-build.log" 2>&1 || rc=$?
  built mexbuild "$work/mex-build.log" $started $rc
  [ $rc -eq 0 ] && folders+=("mex=$work/mex")
else
  for dir in "${prebuilt[@]}"; do
    folders+=("$(basename "$dir")=$dir")
  done
fi

# The suites and the cases on every folder; the MEX modules against each native folder.
mex=""
for f in "${folders[@]}"; do
  [ "${f%%=*}" = mex ] && mex=${f#*=}
done
for f in "${folders[@]}"; do
  kind=${f%%=*} dir=${f#*=}
  with=()
  [ "$kind" = installed ] && with=("$installed_files")
  if counts=$("$here/suites.sh" "$dir" linux "$work/suites-$kind.log" "${with[@]}"); then
    result suite "$kind" ok $counts
  else
    result suite "$kind" FAILED ${counts:-0 0 0}
    status=1
  fi
  if [ "$kind" != mex ] && [ -n "$mex" ]; then
    if counts=$("$here/suites.sh" --compare "$mex" "$dir" linux "$work/suites-$kind.log"); then
      result compare "$kind" ok $counts
    else
      result compare "$kind" FAILED ${counts:-0 0}
      status=1
    fi
  fi
  if "${octave[@]}" "$here/cases.m" "$dir" "$work/$kind.cases" > "$work/cases-$kind.log" 2>&1
  then
    result cases "$kind" ok
  else
    result cases "$kind" FAILED
    status=1
  fi
done
exit $status
