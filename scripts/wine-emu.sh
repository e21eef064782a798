#!/bin/sh
# Runs one Windows program under Wine for CTest. Wine's helper processes
# (wineserver, services, explorer) inherit stdio and outlive the program, so the
# program's output goes through files; otherwise CTest waits for the pipes to close.
: "${WINEDEBUG:=-all}"; export WINEDEBUG
if [ -z "$WINEPREFIX" ]; then
  WINEPREFIX=$(cd "$(dirname "$0")/.." && pwd)/build/wine/test; export WINEPREFIX
fi
o=$(mktemp) e=$(mktemp)
wine "$@" <"${WINE_EMU_STDIN:-/dev/null}" >"$o" 2>"$e"; rc=$?
cat "$o"; cat "$e" >&2; rm -f "$o" "$e"
exit $rc
