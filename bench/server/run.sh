#!/usr/bin/env bash
# Store server benchmark against the other IMAP server (started unprivileged
# on loopback with a configuration of its own), on Maildirs of 10,000 and
# 100,000 real messages (the corpus, repeated). In every round both servers
# do the same work back to back; each figure is the median over the rounds,
# with the lowest and highest ratio of the rounds beside it:
#   the listing (INFO; EXAMINE + FETCH 1:* (FLAGS RFC822.SIZE)): cold (no
#     index, page cache dropped), warm, and restarted with the index on disk;
#   the structure of every message (MIME; FETCH 1:* BODYSTRUCTURE): cold (no
#     index, page cache dropped, from selecting the mailbox to the last
#     answer, the listing included), right after the listing, warm, and
#     restarted with the index on disk;
#   memory: what the messages add to the store server's resident memory
#     per message (and, without a goal, to its peak while listing), against
#     the other server's index files per message.
# A ratio below 1: the store server takes less. Every figure is printed
# beside its goal. Then many clients browsing one mailbox at once, and the
# hostile load (load.sh).
#   bench/server/run.sh [COUNT...]      default: 10000 100000
#   ROUNDS=3 CLIENTS=200 BROWSE_SECONDS=20 (the defaults)
#   ZELM_SERVER=path measures another zelmstored build (an older one, say).
set -euo pipefail
root=${ZELM_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
native=${ZELM_NATIVE:-$root/build/native}
bin=$native/bin
work=$root/build/bench/server
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(10000 100000)
rounds=${ROUNDS:-3}
clients=${CLIENTS:-200}
browse_seconds=${BROWSE_SECONDS:-20}

# The other IMAP server: its program and the Debian package holding it.
other_program=dovecot
other_package=dovecot-imapd
if ! command -v "$other_program" >/dev/null; then
  echo "installing $other_package (for this benchmark only)"
  as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$other_package" >/dev/null
fi
server=${ZELM_SERVER:-$bin/zelmstored}
[ -x "$server" ] && [ -x "$bin/store_bench" ] && [ -x "$bin/load_bench" ] ||
  { echo "build the native side first" >&2; exit 1; }
corpus=$("$root/scripts/corpus.sh")
mkdir -p "$work"
addr=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 2))
imap_port=10143
bench_user=nobody bench_group=nogroup

dropped=1
drop_caches() { sync; (echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null || dropped=0; }
server_pid=""
other_pid=""
stop_all() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; server_pid=""; fi
  # Its master ends its children before it exits; the next one needs the port.
  if [ -n "$other_pid" ]; then kill "$other_pid" 2>/dev/null || true; wait "$other_pid" 2>/dev/null || true; other_pid=""; fi
}
trap stop_all EXIT

start_server() {  # store folder [options]
  local store=$1; shift
  "$server" --root "$store" --listen "$addr" "$@" >"$work/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 1 200); do grep -q serving "$work/server.log" && return 0; sleep 0.05; done
  echo "store server did not start" >&2; cat "$work/server.log" >&2; exit 1
}

start_other() {  # Maildir, state folder [, state folder whose index to start from]
  local d=$2
  rm -rf "$d"; mkdir -p "$d/run" "$d/state" "$d/index" "$d/control" "$d/home"
  if [ $# -gt 2 ]; then cp -a "$3/index/." "$d/index/"; cp -a "$3/control/." "$d/control/"; fi
  cat >"$d/imap.conf" <<CONF
protocols = imap
listen = $addr
base_dir = $d/run
state_dir = $d/state
log_path = $d/imap.log
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain
mail_location = maildir:$1:INDEX=$d/index:CONTROL=$d/control
default_internal_user = $bench_user
default_internal_group = $bench_group
default_login_user = $bench_user
passdb {
  driver = static
  args = password=bench
}
userdb {
  driver = static
  args = uid=$bench_user gid=$bench_group home=$d/home
}
service imap-login {
  chroot =
  inet_listener imap {
    address = $addr
    port = $imap_port
  }
}
service anvil {
  chroot =
}
service stats {
  chroot =
}
CONF
  chown -R "$bench_user:$bench_group" "$d"
  if [ "$(id -u)" = 0 ]; then
    setpriv --reuid="$bench_user" --regid="$bench_group" --clear-groups \
      "$other_program" -F -c "$d/imap.conf" </dev/null >"$d/stdout.log" 2>&1 &
  else
    "$other_program" -F -c "$d/imap.conf" </dev/null >"$d/stdout.log" 2>&1 &
  fi
  other_pid=$!
  for _ in $(seq 1 200); do
    (exec 3<>"/dev/tcp/$addr/$imap_port") 2>/dev/null && return 0
    sleep 0.05
  done
  echo "the other IMAP server did not start" >&2; cat "$d/imap.log" >&2 || true; exit 1
}

measure() { "$bin/store_bench" "$@" | awk '{print $1}'; }
zelm() { measure "zelm-$1" "$addr" 999 corpus INBOX; }
imap() { measure "imap-$1" "$addr" "$imap_port" bench bench; }
status_kb() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/status"; }

# Figures of one count: name -> "value value ..." (one per round).
declare -A store other
note() { store[$1]+="$2 "; other[$1]+="$3 "; }
median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
ratios() {  # name -> the ratio of each round
  paste -d' ' <(echo "${store[$1]}" | tr ' ' '\n' | grep .) <(echo "${other[$1]}" | tr ' ' '\n' | grep .) |
    awk '{print ($2 > 0 ? $1 / $2 : 0)}'
}
row() {  # name, label, goal ("<" ahead, "<=" at most, "-" none), unit
  local name=$1 label=$2 goal=$3 unit=$4
  local s o r lo hi met
  s=$(echo "${store[$name]}" | median)
  o=$(echo "${other[$name]}" | median)
  r=$(ratios "$name" | median)
  lo=$(ratios "$name" | sort -g | head -1)
  hi=$(ratios "$name" | sort -g | tail -1)
  met=$(awk -v r="$r" -v g="$goal" 'BEGIN { print g == "-" ? "-" : ((g == "<" && r < 1) || (g == "<=" && r <= 1)) ? "yes" : "NO" }')
  printf '%-8s %-46s %10.4g %10.4g %6.2f %11s  %-13s %s\n' "$n" "$label ($unit)" "$s" "$o" "$r" \
    "$(printf '%.2f-%.2f' "$lo" "$hi")" "$([ "$goal" = - ] && echo none || echo "ratio $goal 1")" "$met"
}

printf '%-8s %-46s %10s %10s %6s %11s  %-13s %s\n' messages measurement store other ratio spread goal met
for n in "${counts[@]}"; do
  store=() other=()
  data=$work/store-$n
  if [ ! -f "$data/.complete" ]; then
    python3 "$root/server/tools/mkstore.py" flat --corpus "$corpus" --out "$data" --count "$n"
    touch "$data/.complete"
  fi
  maildir=$data/corpus
  # Readable by the unprivileged other server; the store server runs as this user.
  chmod -R a+rX "$data"
  for r in $(seq 1 "$rounds"); do
    # The store server: cold listing, structure after it, warm; memory.
    rm -f "$maildir/zelm-index"
    drop_caches
    start_server "$data"
    base=$(status_kb "$server_pid" VmRSS)
    list_cold=$(zelm info); mime_first=$(zelm mime); mime_warm=$(zelm mime); list_warm=$(zelm info)
    rss=$(status_kb "$server_pid" VmRSS); peak=$(status_kb "$server_pid" VmHWM)
    stop_all
    rm -f "$maildir/zelm-index"
    drop_caches
    start_server "$data"
    struct_cold=$(zelm structure)
    stop_all
    drop_caches
    start_server "$data"
    list_restart=$(zelm info); mime_restart=$(zelm mime)
    stop_all

    # The other server, the same work.
    drop_caches
    start_other "$maildir" "$work/other-$n"
    o_list_cold=$(imap list); o_bs_first=$(imap structure); o_bs_warm=$(imap structure)
    o_list_warm=$(imap list)
    stop_all
    index_bytes=$(du -sb "$work/other-$n/index" "$work/other-$n/control" | awk '{s += $1} END {print s}')
    drop_caches
    start_other "$maildir" "$work/other-cold-$n"
    o_struct_cold=$(imap examine-structure)
    stop_all
    drop_caches
    start_other "$maildir" "$work/other-restart-$n" "$work/other-$n"
    o_list_restart=$(imap list); o_bs_restart=$(imap structure)
    stop_all

    note list_cold "$list_cold" "$o_list_cold"
    note list_warm "$list_warm" "$o_list_warm"
    note list_restart "$list_restart" "$o_list_restart"
    note struct_cold "$struct_cold" "$o_struct_cold"
    note struct_first "$mime_first" "$o_bs_first"
    note struct_warm "$mime_warm" "$o_bs_warm"
    note struct_restart "$mime_restart" "$o_bs_restart"
    note memory "$(((rss - base) * 1024 / n))" "$((index_bytes / n))"
    note peak "$(((peak - base) * 1024 / n))" "$((index_bytes / n))"
    note started "$base" 0
  done
  row list_cold "listing, cold (no index)" "<" s
  row list_warm "listing, warm" "<" s
  row list_restart "listing, restarted, index on disk" "<" s
  row struct_cold "structure of all, cold (listing included)" "<=" s
  row struct_first "structure of all, right after the listing" "<=" s
  row struct_warm "structure of all, warm" "<=" s
  row struct_restart "structure of all, restarted, index on disk" - s
  row memory "memory per message: resident / index" "<=" bytes
  row peak "memory per message: peak / index" - bytes
  printf '%-8s (the store server holds %s kB before any mailbox is read)\n' "$n" \
    "$(echo "${store[started]}" | median)"
done
[ "$dropped" = 1 ] || echo "(page cache not dropped: not permitted; cold figures are warm)"

# Many clients: browsing one mailbox of the first size at once, as the store
# shell does (listing, then AINFO, MIME, HEAD and BODY of message after
# message), each from its own address.
n=${counts[0]}
start_server "$work/store-$n" --max-clients $((clients + 16))
"$bin/load_bench" browse "$addr" 999 "$clients" "$browse_seconds" corpus INBOX >"$work/browse.txt" || true
threads=$(status_kb "$server_pid" Threads); peak=$(status_kb "$server_pid" VmHWM)
stop_all
echo
echo "$clients clients browsing $n messages for $browse_seconds s (answer times in seconds):"
awk -v c="$clients" '
  $1 == "answers" { printf "  answers: %d, %.0f per second; clients that failed: %d (goal 0)\n", $2, $2 / $4, $6 }
  $2 == "count" { printf "  %-8s %7d answers  p50 %.4f  p99 %.4f  max %.4f\n", $1, $3, $5, $7, $9 }
  $1 == "clients" { printf "  answers per client: fewest %d, median %d, most %d; no client starved (fewest >= half the median): %s\n", $3, $5, $7, ($3 * 2 >= $5 ? "yes" : "NO") }
' "$work/browse.txt"
echo "  server: $threads threads, peak memory $peak kB"
echo

# Hostile load: idle connections, descriptors running out.
"$root/bench/server/load.sh"
