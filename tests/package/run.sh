#!/usr/bin/env bash
# Makes the Octave package, installs it with pkg into a temporary folder, calls every module
# (check_package.m), and checks from pkg's verbose log that every source was compiled with
# contraction off.
# Usage: run.sh SOURCE_DIR WORK_PARENT [OCTAVE_CLI]
set -euo pipefail
source=$1
octave=${3:-octave-cli}
mkdir -p "$2"
work=$(mktemp -d "$2/package-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

tarball=$("$source/tools/make-dist.sh" "$work" | tail -n 1)
echo "package: $tarball"
set +e
"$octave" --norc --no-history --quiet "$source/tests/package/check_package.m" \
  "$tarball" "$work" "$source" > "$work/log" 2>&1
status=$?
set -e
cat "$work/log"
[ "$status" -eq 0 ] || exit "$status"

# mkoctfile --verbose prints one "<compiler> -c ... <source> -o <object>" line per source.
compiles=$(grep -E -c -- ' -c .*\.cpp -o ' "$work/log" || true)
plain=$(grep -E -- ' -c .*\.cpp -o ' "$work/log" | grep -v -c -- '-ffp-contract=off' || true)
# each module and its installer; gateway, cpu, entry; pairkernels_version
sources=$(( 2 * $("$source/tools/modules.sh" names | wc -l) + 4 ))
echo "package build: $compiles compiles ($sources sources), $plain without -ffp-contract=off"
[ "$compiles" -eq "$sources" ] && [ "$plain" -eq 0 ]
