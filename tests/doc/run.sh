#!/usr/bin/env bash
# The reference pages in a real browser, from the source tree's root:
#   tests/doc/run.sh DOC_DIR [OCTAVE_CLI [CHROMIUM]]
# Headless Chromium opens DOC_DIR's index.html and pair_residual.html, saves each page's document
# as it built it and a screenshot (into SHOT_DIR, a temporary folder; SHOTS_KEEP=DIR keeps them
# there), and tests/doc/check_pages.m checks them and the pages' files (rendered, every module
# linked, no broken link, each page's parts). Then the check must fail on a copy of the pages
# with one page missing (a broken link) and on a blank screenshot. Ends with "N passed, N failed".
set -uo pipefail
doc=$(realpath "$1")
octave=${2:-octave-cli}
chromium=${3:-chromium}
root=$(pwd)
page=pair_residual
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command -v "$chromium" >/dev/null ||
  { echo "FAILED  $chromium not found (tools/install-deps.sh installs Debian's chromium)"; exit 1; }

# One browser start per call, each with a fresh profile; the network stays closed.
browse() {  # browse URL ARG...
  local url=$1
  shift
  "$chromium" --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --hide-scrollbars \
    --user-data-dir="$(mktemp -d "$work/profile.XXXXXX")" --window-size=1000,1300 "$@" "$url" \
    2>>"$work/chromium.log"
}

# shoot DOC_DIR SHOT_DIR NAME...: each page's DOM and screenshot
shoot() {
  local from=$1 to=$2 name
  shift 2
  mkdir -p "$to"
  for name in "$@"; do
    browse "file://$from/$name.html" --dump-dom >"$to/$name.dom" &&
      browse "file://$from/$name.html" --screenshot="$to/$name.png" >/dev/null ||
      { echo "FAILED  chromium on $name.html"; tail -n 5 "$work/chromium.log"; return 1; }
  done
}

check() {  # check DOC_DIR SHOT_DIR
  "$octave" --norc --no-history --quiet "$root/tests/doc/check_pages.m" "$root" "$1" "$2" "$page"
}

passed=0
failed=0
shots=${SHOTS_KEEP:-$work/shots}
if shoot "$doc" "$shots" index "$page" && check "$doc" "$shots"; then
  passed=$((passed + 1)); echo "ok      the pages of $doc, as Chromium rendered them"
else
  failed=$((failed + 1)); echo "FAILED  the pages of $doc"
fi

# The check must be able to fail: a page gone (every link to it broken), and a blank page.
cp -r "$doc" "$work/broken"
rm "$work/broken/pair_matrix_step.html"
if ! check "$work/broken" "$shots" >"$work/broken.log"; then
  passed=$((passed + 1))
  echo "ok      a missing page is caught: $(grep -m1 'links' "$work/broken.log")"
else
  failed=$((failed + 1)); echo "FAILED  a missing page went unnoticed"
fi
mkdir -p "$work/blank"
printf '<!DOCTYPE html><html><body></body></html>\n' >"$work/blank/blank.html"
cp "$shots"/*.dom "$shots"/*.png "$work/blank/" 2>/dev/null
browse "file://$work/blank/blank.html" --screenshot="$work/blank/$page.png" >/dev/null
if ! check "$doc" "$work/blank" >"$work/blank.log"; then
  passed=$((passed + 1))
  echo "ok      a blank screenshot is caught: $(grep -m1 'drawn' "$work/blank.log")"
else
  failed=$((failed + 1)); echo "FAILED  a blank screenshot went unnoticed"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
