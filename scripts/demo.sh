#!/usr/bin/env bash
# The main job: a store on this machine and the Windows store client walking it.
set -euo pipefail
cd "$(dirname "$0")/.."
python3 scripts/demo_store.py 127.0.0.1 & store=$!
trap 'kill $store 2>/dev/null || true; wineserver -k >/dev/null 2>&1 || true' EXIT
sleep 1
scripts/wine-emu.sh build/win/bin/storeprobe.exe 127.0.0.1
