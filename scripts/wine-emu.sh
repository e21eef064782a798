#!/bin/sh
# Runs one Windows program under Wine for CTest. Wine's helper processes
# (wineserver, services, explorer) inherit stdio and outlive the program, so the
# program's output goes through files; otherwise CTest waits for the pipes to close.
: "${WINEDEBUG:=-all}"; export WINEDEBUG
if [ -z "$WINEPREFIX" ]; then
  WINEPREFIX=$(cd "$(dirname "$0")/.." && pwd)/build/wine/test; export WINEPREFIX
fi
o=$(mktemp) e=$(mktemp)
run() { wine "$@" <"${WINE_EMU_STDIN:-/dev/null}" >"$o" 2>"$e"; }
run "$@"; rc=$?
# Now and then, with other Wine processes running, a program fails before it
# has written a byte (3 in about 7,000 starts; never alone). Such a start is
# tried once more, and says so; a program that wrote anything is not.
if [ $rc -ne 0 ] && [ ! -s "$o" ] && [ ! -s "$e" ]; then
  echo "wine-emu: $1 ended with $rc before any output; starting it once more" >&2
  run "$@"; rc=$?
fi
cat "$o"; cat "$e" >&2; rm -f "$o" "$e"
exit $rc
