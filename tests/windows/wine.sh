#!/usr/bin/env bash
# Runs a Windows program in the Wine session this runs in (tests/windows/wine_session.sh):
#   wine.sh PROGRAM [ARGUMENTS...]
# Outside a session it refuses, rather than start a Wine server of its own that would outlive the
# program.
if [ -z "${PK_WINE_SESSION:-}" ]; then
  echo "wine.sh: not in a Wine session; run: tests/windows/wine_session.sh PREFIX $0 $*" >&2
  exit 2
fi
exec "$PK_WINE64" "$@"
