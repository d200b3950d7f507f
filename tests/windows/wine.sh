#!/usr/bin/env bash
# Runs a Windows program under Wine, headless and quiet, in the Wine prefix PREFIX (created on
# first use, which takes several seconds):  wine.sh PREFIX WINE64 PROGRAM [ARGUMENTS...]
#
# The Wine server and the Windows services that the first program of a session starts outlive that
# program, and would hold on to its standard output and error: whoever reads them (ctest) would
# wait until the server exits. So the server and its services are started here with their output
# going nowhere, once, under a lock, and the server stays up for a while after the last program
# ends so that a run of many short programs shares it.
set -euo pipefail
prefix=$1 wine64=$2
shift 2
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver=$(dirname "$wine64")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
mkdir -p "$prefix"
{
  flock 9
  # Fails when a server of this prefix is already running. The first program that the new server
  # runs sets up the prefix if it is new, and starts the services.
  if "$wineserver" -p15 </dev/null >/dev/null 2>&1 9>&-; then
    "$wine64" wineboot </dev/null >/dev/null 2>&1 9>&-
  fi
} 9>"$prefix.lock"
exec "$wine64" "$@"
