#!/usr/bin/env bash
# Store server under hostile load: the threads and memory it holds with many
# idle connections and how long a new client then waits for its greeting and
# an answer; then, with the process held to 64 descriptors, what clients get
# and how much CPU the server burns while its descriptors stay exhausted.
#   bench/server/load.sh [IDLE]        default 1000 idle connections
# ZELM_SERVER=path measures another zelmstored build (options it does not
# know are left out with ZELM_SERVER_PLAIN=1).
set -euo pipefail
root=${ZELM_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
bin=${ZELM_NATIVE:-$root/build/native}/bin
server=${ZELM_SERVER:-$bin/zelmstored}
idle=${1:-1000}
work=$root/build/bench/server-load
[ -x "$server" ] && [ -x "$bin/load_bench" ] || { echo "build the native side first" >&2; exit 1; }
rm -rf "$work"; mkdir -p "$work/store/alice/cur" "$work/store/alice/new" "$work/store/alice/tmp"
addr=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 2))
pid=""
stop() { if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; pid=""; fi; }
trap stop EXIT
start() {  # [prlimit options] -- server options
  local pre=()
  while [ "$1" != -- ]; do pre+=("$1"); shift; done; shift
  ${pre[@]+"${pre[@]}"} "$server" --root "$work/store" --listen "$addr" --request-port 0 "$@" \
    >"$work/server.log" 2>&1 &
  pid=$!
  for _ in $(seq 1 200); do grep -q serving "$work/server.log" && return 0; sleep 0.05; done
  echo "server did not start" >&2; cat "$work/server.log" >&2; exit 1
}
status() { awk -v k="$2" '$1 == k":" {print $2}' "/proc/$1/status"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hold_and() {  # until load_bench says it holds; then run the command
  local out=$1; shift
  for _ in $(seq 1 600); do grep -q holding "$out" && break; sleep 0.05; done
  "$@"
}

extra=(--max-per-host 8 --first-command-seconds 300)
[ "${ZELM_SERVER_PLAIN:-0}" = 1 ] && extra=()
start -- --max-clients $((idle + 10)) ${extra[@]+"${extra[@]}"}
threads0=$(status "$pid" Threads); rss0=$(status "$pid" VmRSS)
"$bin/load_bench" idle "$addr" 999 "$idle" 8 5 >"$work/idle.txt" &
bench=$!
hold_and "$work/idle.txt" true
threads=$(status "$pid" Threads); rss=$(status "$pid" VmRSS)
wait "$bench"
stop
echo "idle connections:    $(head -1 "$work/idle.txt")"
echo "server threads:      $threads0 before, $threads with $idle idle connections"
echo "server memory (RSS): ${rss0} kB before, ${rss} kB with them"
echo "new client:          $(sed -n 2p "$work/idle.txt") (seconds)"

# 64 descriptors: about 55 clients fit; the rest come while none is left.
start prlimit --nofile=64:64 -- --max-clients 1000 ${extra:+--max-per-host 1000}
"$bin/load_bench" burst "$addr" 999 100 5 >"$work/burst.txt" &
bench=$!
hold_and "$work/burst.txt" true
t0=$(cpu_ticks "$pid"); sleep 3; t1=$(cpu_ticks "$pid")
wait "$bench"
stop
hz=$(getconf CLK_TCK)
echo "out of descriptors:  $(head -1 "$work/burst.txt") of 100"
echo "server CPU while exhausted: $(awk -v d=$((t1 - t0)) -v hz="$hz" 'BEGIN { printf "%.0f %%", 100 * d / hz / 3 }')"
