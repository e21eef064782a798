#!/usr/bin/env bash
# The main job: a store of real mail on this machine, served by the store
# server at 127.0.0.1:999, browsed by the store shell zelmsh.exe under Wine;
# then the administration host with both snap-ins on a sample directory.
# The store is built anew under build/demo from the mail corpus.
# With $DISPLAY set each program opens on that display (close it to go on);
# without one they run on a virtual screen and pictures of their main
# screens are written to build/shots.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native_bin=${ZELM_NATIVE_BIN:-$root/build/native/bin}
win_bin=${ZELM_WIN_BIN:-$root/build/win/bin}
store=build/demo/store
corpus=$(scripts/corpus.sh)
python3 server/tools/mkstore.py demo --corpus "$corpus" --out "$store"
printf 'Demo store %s: %s messages of real mail\n' "$store" "$(find "$store" -path '*/cur/*' -o -path '*/new/*' -type f | wc -l)"

on_display() {
  # Wine's X11 driver needs a prefix without the null display driver.
  local prefix=${ZELM_DEMO_PREFIX:-$root/build/wine/demo-x11}
  scripts/prefix.sh x11 build/wine/template "$prefix"
  export WINEPREFIX=$prefix WINEDEBUG=-all
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  cat >"$prefix/drive_c/zelmsh-demo.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Quorvel\\ZELMShell\\1.0]
"Last Connected"="$ZELM_STORE_HOST"
"Autoconnect"="On"
"View Flags"="7"
REG
  wine regedit /S 'C:\zelmsh-demo.reg' </dev/null >/dev/null 2>&1
  echo "zelmsh.exe is open on $DISPLAY, connected to the store at $ZELM_STORE_HOST; close it to end the demo."
  wine "$win_bin/zelmsh.exe" </dev/null >/dev/null 2>&1
}

headless() {
  scripts/shots.sh "$ZELM_STORE_HOST" build/shots
  echo
  echo "The mailbox as zelmsh.exe listed it (build/shots/zelmsh-mailbox.txt):"
  sed -n '/^\[list\]/,/^\[details\]/p' build/shots/zelmsh-mailbox.txt | sed '1d;$d'
  echo
  echo "No display: pictures of the store shell's main screens are in $root/build/shots"
}

export -f on_display headless
export root win_bin
if [ -n "${DISPLAY:-}" ]; then
  scripts/with-store.sh --server "$native_bin/zelmstored" --store "$store" --address 127.0.0.1 -- bash -c on_display
else
  scripts/with-store.sh --server "$native_bin/zelmstored" --store "$store" --address 127.0.0.1 -- bash -c headless
fi

scripts/host-demo.sh
