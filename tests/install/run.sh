#!/usr/bin/env bash
# Installs the Octave and stand-in components of a build tree into a temporary prefix and
# checks that they work from there: every Octave module, MEX and native, answers its help
# example, and every stand-in module finds the stand-in host libraries through its run path.
# Usage: run.sh SOURCE_DIR BUILD_DIR [OCTAVE_CLI]
set -euo pipefail
source=$1
build=$2
octave=${3:-octave-cli}
prefix=$(mktemp -d "$build/install-test.XXXXXX")
trap 'rm -rf "$prefix"' EXIT

for component in octave standin; do
  "${CMAKE:-cmake}" --install "$build" --prefix "$prefix" --component "$component" > /dev/null
done
libdir=$(find "$prefix" -type d -path '*/pairkernels/octave')
[ -n "$libdir" ] || { echo "no pairkernels/octave folder under $prefix" >&2; exit 1; }
root=$(dirname "$libdir")

modules=$("$source/tools/modules.sh" names)
count=0
for m in $modules; do
  for f in "$root/octave/$m.mex" "$root/octave/$m.m" "$root/oct/$m.oct" "$root/oct/$m.m"; do
    [ -f "$f" ] || { echo "missing: $f" >&2; exit 1; }
  done
  for profile in linux windows macos; do
    module=$root/standin/$profile/$m.mexa64
    [ -f "$module" ] || { echo "missing: $module" >&2; exit 1; }
    if ldd "$module" | grep -q 'not found'; then
      echo "unresolved libraries in $module:" >&2; ldd "$module" >&2; exit 1
    fi
  done
  count=$((count + 1))
done
echo "installed: $count modules for Octave (MEX and native) and for the stand-in host in 3 profiles"
# The toolbox beside them: the version function, the demo, the reference, Contents.m,
# functionSignatures.json.
for f in octave/pairkernels_version.mex oct/pairkernels_version.oct; do
  dir=$(dirname "$f")
  for g in "$f" "$dir"/{pairkernels_version.m,pairkernels_demo.m,pairkernels_reference.m} \
    "$dir"/{Contents.m,functionSignatures.json}
  do
    [ -f "$root/$g" ] || { echo "missing: $root/$g" >&2; exit 1; }
  done
done

for f in COPYING NEWS CITATION; do
  cmp -s "$root/$f" "$source/$f" || { echo "not installed: $root/$f" >&2; exit 1; }
done

# Octave modules: their help examples, from each installed folder only.
profile=$(sed -n 's/^PAIRKERNELS_PROFILE:[A-Z]*=//p' "$build/CMakeCache.txt")
for kind in octave oct; do
host=mex
[ "$kind" = oct ] && host=native
"$octave" --norc --no-history --quiet --eval "
  addpath ('$source/tests/octave'); addpath ('$root/$kind');
  bad = 0; checked = 0;
  for e = pk_catalog ('$profile')
    assert (strcmp (fileparts (which (e.name)), '$root/$kind'), e.name);
    for x = pk_help_examples (get_help_text (e.name), '$profile')
      [names, actual, expected] = pk_run_example (x);
      for k = 1:numel (names)
        checked += 1; bad += ! pk_same_bits (actual{k}, expected{k});
      end
    end
  end
  printf ('installed Octave modules ($kind): %d example results, %d wrong\n', checked, bad);
  v = pairkernels_version ();
  assert (strcmp (v.profile, '$profile') && strcmp (v.host, '$host'));
  exit (double (bad > 0 || checked < numel (pk_catalog ('$profile'))));"
done
