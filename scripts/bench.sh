#!/usr/bin/env bash
# Runs every benchmark: each bench/<part>/run.sh, given the build folders.
set -euo pipefail
cd "$(dirname "$0")/.."
export ZELM_ROOT=$PWD ZELM_WIN=$PWD/build/win ZELM_NATIVE=$PWD/build/native
for r in bench/*/run.sh; do
  [ -x "$r" ] || continue
  printf '\n== %s\n' "$r"
  "$r"
done
