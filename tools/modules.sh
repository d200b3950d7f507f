#!/usr/bin/env bash
# The modules of the module table (kernels/modules.txt), once each, in the table's order:
#   modules.sh names      one module name per line
#   modules.sh entries    <folder>/<module> per line
set -euo pipefail
table="$(cd "$(dirname "$0")/.." && pwd)/kernels/modules.txt"
case "${1:-}" in
  names)   awk '/^[a-z]/ && !seen[$1]++ { print $1 }' "$table" ;;
  entries) awk '/^[a-z]/ && !seen[$1]++ { print $2 "/" $1 }' "$table" ;;
  *) echo "usage: $0 names|entries" >&2; exit 2 ;;
esac
