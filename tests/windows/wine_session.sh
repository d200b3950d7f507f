#!/usr/bin/env bash
# Runs COMMAND in a Wine session of its own, headless and quiet, in the Wine prefix PREFIX:
#   wine_session.sh PREFIX COMMAND [ARGUMENTS...]
# The session's server is started here, and ended here once COMMAND has ended, however it ended;
# COMMAND runs Windows programs in it with tests/windows/wine.sh. The prefix is created on first
# use (several seconds) and belongs to whoever runs sessions in it: one session at a time holds
# it (PREFIX.lock), and a server left in it by a session that was killed is ended first.
#
# Every step waits for what it started: the server is ready when it has detached, wineboot has
# set up the prefix and started the Windows services (with their output going nowhere, so that
# nothing of the session holds COMMAND's output open) when it returns, and the session is over
# when the server has released the prefix's lock. Nothing depends on how long any step takes.
set -uo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 PREFIX COMMAND [ARGUMENTS...]" >&2
  exit 2
fi
prefix=$(realpath -m "$1")
shift
wine64=${PK_WINE64:-/usr/lib/wine/wine64}
wineserver=$(dirname "$wine64")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9

# Ends the prefix's server and every Windows process of it, and waits until the server is gone.
# (Fails, quietly, where none runs.)
end_server() {
  "$wineserver" -k </dev/null >/dev/null 2>&1 9>&-
  "$wineserver" -w </dev/null >/dev/null 2>&1 9>&-
}

end_server
# -p: the server stays until it is ended here, whatever gaps lie between COMMAND's programs.
if ! "$wineserver" -p </dev/null >/dev/null 2>&1 9>&-; then
  echo "wine_session.sh: cannot start a Wine server for $prefix" >&2
  exit 2
fi
trap end_server EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
if ! "$wine64" wineboot </dev/null >/dev/null 2>&1 9>&-; then
  echo "wine_session.sh: wineboot failed in $prefix" >&2
  exit 2
fi
export PK_WINE_SESSION=$prefix PK_WINE64=$wine64
"$@" 9>&-
