#!/usr/bin/env bash
# The modules of the module table (kernels/modules.txt), once each, in the table's order:
#   modules.sh names                  one module name per line
#   modules.sh entries                <folder>/<module> per line
# and one module's form in a profile (linux, windows or macos):
#   modules.sh args MODULE PROFILE    its arguments by position: name:size, name:real or
#                                     name:LENGTH (an array), one line
#   modules.sh form MODULE PROFILE    the name of that form (its form= field), or "-" where the
#                                     module has one form
#   modules.sh shape MODULE PROFILE   its result's rows and columns (formulas in N and K)
set -euo pipefail
table="$(cd "$(dirname "$0")/.." && pwd)/kernels/modules.txt"
# The table line of MODULE in PROFILE: its profiles field is "all" or a list naming PROFILE.
line() {
  awk -v m="$1" -v p="$2" '$1 == m { n = split($3, ps, ","); for (k = 1; k <= n; k++)
    if (ps[k] == "all" || ps[k] == p) { print; exit } }' "$table"
}
case "${1:-}" in
  names)   awk '/^[a-z]/ && !seen[$1]++ { print $1 }' "$table" ;;
  entries) awk '/^[a-z]/ && !seen[$1]++ { print $2 "/" $1 }' "$table" ;;
  args)
    [ $# -eq 3 ] || { echo "usage: $0 args MODULE PROFILE" >&2; exit 2; }
    line "$2" "$3" | awk '{ s = ""; for (k = 6; k <= NF && $k !~ /=/; k++) s = s (s ? " " : "") $k
                           print s }' ;;
  form)
    [ $# -eq 3 ] || { echo "usage: $0 form MODULE PROFILE" >&2; exit 2; }
    line "$2" "$3" | awk '{ f = "-"; for (k = 6; k <= NF; k++) if ($k ~ /^form=/) f = substr($k, 6)
                           print f }' ;;
  shape)
    [ $# -eq 3 ] || { echo "usage: $0 shape MODULE PROFILE" >&2; exit 2; }
    line "$2" "$3" | awk '{ print $4, $5 }' ;;
  *) echo "usage: $0 names | entries | args|form|shape MODULE PROFILE" >&2; exit 2 ;;
esac
