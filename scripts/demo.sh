#!/usr/bin/env bash
# The main job: a store of real mail on this machine, served by the store
# server at 127.0.0.1:999, walked by the Windows store client under Wine.
# The store is built anew under build/demo from the mail corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
native_bin=${ZELM_NATIVE_BIN:-build/native/bin}
win_bin=${ZELM_WIN_BIN:-build/win/bin}
store=build/demo/store
corpus=$(scripts/corpus.sh)
python3 server/tools/mkstore.py demo --corpus "$corpus" --out "$store"
printf 'Demo store %s: %s messages of real mail\n' "$store" "$(find "$store" -path '*/cur/*' -o -path '*/new/*' -type f | wc -l)"
walk() {
  for user in alice bob; do
    printf '\n== storeprobe %s %s\n' "$ZELM_STORE_HOST" "$user"
    scripts/wine-emu.sh "$win_bin/storeprobe.exe" "$ZELM_STORE_HOST" "$user"
  done
}
export -f walk
export win_bin
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
scripts/with-store.sh --server "$native_bin/zelmstored" --store "$store" --address 127.0.0.1 -- bash -c walk
