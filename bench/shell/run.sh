#!/usr/bin/env bash
# Store shell benchmark: Maildirs of 100,000 and 1,000,000 real messages (the
# corpus, repeated, made by the server's store generator) served by the store
# server; the time from selecting the mailbox in the shown main window until
# the list is filled and painted, against a raw socket reader that only reads
# the same INFO answer; the memory per listed message beyond its text; what
# the window shows while a long list fills; and how the time grows from the
# first count to the last.
#   bench/shell/run.sh [COUNT...]      default: 100000 1000000
# Each figure is the best of ZELM_BENCH_RUNS runs (default 5): on a shared
# virtual machine single runs of a few milliseconds wander by a third.
# Goals: the shell at most twice the raw read; at most 200 bytes per message;
# ten times the messages in at most eleven times the time.
set -euo pipefail
root=${ZELM_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
native=${ZELM_NATIVE:-$root/build/native}
win=${ZELM_WIN:-$root/build/win}
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(100000 1000000)
work=$root/build/bench/shell
exe=$win/bin/shell_bench.exe
[ -x "$native/bin/zelmstored" ] || { echo "shell bench: build the native side first" >&2; exit 1; }
[ -f "$exe" ] || { echo "shell bench: $exe is not built" >&2; exit 1; }
: "${WINEPREFIX:=$root/build/wine/test}"
export WINEPREFIX

mkdir -p "$work"
pid=""
trap 'if [ -n "$pid" ]; then kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; fi' EXIT
declare -A shown
for count in "${counts[@]}"; do
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
  for _ in $(seq 1 200); do grep -q serving "$work/server.log" && break; sleep 0.05; done
  grep -q serving "$work/server.log" || { cat "$work/server.log" >&2; exit 1; }
  printf '\n-- %s messages\n' "$count"
  out=$("$root/scripts/wine-emu.sh" "$exe" "$addr" corpus INBOX "${ZELM_BENCH_RUNS:-5}")
  printf '%s\n' "$out"
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  pid=""
  shown[$count]=$(printf '%s\n' "$out" | awk '/mailbox selected until list shown .* x raw/ {print $7; exit}')
done
if [ ${#counts[@]} -ge 2 ]; then
  first=${counts[0]} last=${counts[${#counts[@]}-1]}
  awk -v a="${shown[$first]}" -v b="${shown[$last]}" -v n="$first" -v m="$last" 'BEGIN {
    more = m / n; goal = more * 1.1; grow = b / a
    printf "\n%-44s %10.2f x  %s (goal: at most %.1f x for %.0f x the messages)\n",
           "shell time, " m " against " n " messages", grow, grow <= goal ? "ok" : "SLOW", goal, more }'
fi
