#!/usr/bin/env bash
# Store shell benchmark: a Maildir of 100,000 real messages (the corpus,
# repeated, made by the server's store generator) served by the store server;
# the time from selecting the mailbox in the shown main window until the list
# is filled and painted, against a raw socket reader that only reads the same
# INFO answer, and the memory per listed message beyond its text.
#   bench/shell/run.sh [COUNT]      default: 100000
# Goals: the shell at most twice the raw read; at most 200 bytes per message.
set -euo pipefail
root=${ZELM_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
native=${ZELM_NATIVE:-$root/build/native}
win=${ZELM_WIN:-$root/build/win}
count=${1:-100000}
work=$root/build/bench/shell
exe=$win/bin/shell_bench.exe
[ -x "$native/bin/zelmstored" ] || { echo "shell bench: build the native side first" >&2; exit 1; }
[ -f "$exe" ] || { echo "shell bench: $exe is not built" >&2; exit 1; }
: "${WINEPREFIX:=$root/build/wine/test}"
export WINEPREFIX

mkdir -p "$work"
store=$work/store-$count
if [ ! -f "$store/.complete" ]; then
  echo "making a store of $count messages in $store"
  python3 "$root/server/tools/mkstore.py" flat --corpus "$("$root/scripts/corpus.sh")" \
    --out "$store" --count "$count"
  touch "$store/.complete"
fi
# ZELM_BENCH_ADDR picks the loopback address (a range of one's own on a shared machine).
addr=${ZELM_BENCH_ADDR:-127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 2))}
"$native/bin/zelmstored" --root "$store" --listen "$addr" >"$work/server.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT
for _ in $(seq 1 200); do grep -q serving "$work/server.log" && break; sleep 0.05; done
grep -q serving "$work/server.log" || { cat "$work/server.log" >&2; exit 1; }
"$root/scripts/wine-emu.sh" "$exe" "$addr" corpus INBOX "${ZELM_BENCH_RUNS:-3}"
