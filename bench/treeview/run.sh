#!/bin/sh
# Runs the tree control benchmark under Wine: bulk appends and deletions of
# list entries, opening, closing and deleting an item with many children.
set -eu
root=${ZELM_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
win=${ZELM_WIN:-$root/build/win}
exe=$win/bin/treeview_bench.exe
if [ ! -f "$exe" ]; then
  echo "treeview bench: $exe is not built" >&2
  exit 1
fi
: "${WINEPREFIX:=$root/build/wine/test}"
export WINEPREFIX
exec "$root/scripts/wine-emu.sh" "$exe" "$@"
