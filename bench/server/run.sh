#!/usr/bin/env bash
# Store server benchmark: Maildirs of 10,000 and 100,000 real messages (the
# corpus, repeated); the INFO listing with cold and warm caches, MIME answers
# for every message, and the server's memory; the same listing and structure
# work against Dovecot (started unprivileged on loopback with a config of its
# own) over IMAP; then the ratios (below 1: the store server is faster).
#   bench/server/run.sh [COUNT...]      default: 10000 100000
# Cold means: no index files and, when this user may, the page cache dropped.
set -euo pipefail
root=${ZELM_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
native=${ZELM_NATIVE:-$root/build/native}
bin=$native/bin
work=$root/build/bench/server
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(10000 100000)

if ! command -v dovecot >/dev/null; then
  echo "installing dovecot-imapd (for this benchmark only)"
  as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends dovecot-imapd >/dev/null
fi
[ -x "$bin/zelmstored" ] && [ -x "$bin/store_bench" ] || { echo "build the native side first" >&2; exit 1; }
corpus=$("$root/scripts/corpus.sh")
mkdir -p "$work"
addr=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 2))
imap_port=10143
bench_user=nobody bench_group=nogroup

drop_caches() { sync; (echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null || echo "  (page cache not dropped: not permitted)"; }
server_pid=""
dovecot_pid=""
stop_all() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; server_pid=""; fi
  # Dovecot's master ends its children before it exits; the next one needs the port.
  if [ -n "$dovecot_pid" ]; then kill "$dovecot_pid" 2>/dev/null || true; wait "$dovecot_pid" 2>/dev/null || true; dovecot_pid=""; fi
}
trap stop_all EXIT

start_server() {
  "$bin/zelmstored" --root "$1" --listen "$addr" >"$work/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 1 200); do grep -q serving "$work/server.log" && return 0; sleep 0.05; done
  echo "store server did not start" >&2; cat "$work/server.log" >&2; exit 1
}

start_dovecot() {  # Maildir, state folder [, state folder whose index to start from]
  local d=$2
  rm -rf "$d"; mkdir -p "$d/run" "$d/state" "$d/index" "$d/control" "$d/home"
  if [ $# -gt 2 ]; then cp -a "$3/index/." "$d/index/"; cp -a "$3/control/." "$d/control/"; fi
  cat >"$d/dovecot.conf" <<CONF
protocols = imap
listen = $addr
base_dir = $d/run
state_dir = $d/state
log_path = $d/dovecot.log
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
      dovecot -F -c "$d/dovecot.conf" </dev/null >"$d/stdout.log" 2>&1 &
  else
    dovecot -F -c "$d/dovecot.conf" </dev/null >"$d/stdout.log" 2>&1 &
  fi
  dovecot_pid=$!
  for _ in $(seq 1 200); do
    (exec 3<>"/dev/tcp/$addr/$imap_port") 2>/dev/null && return 0
    sleep 0.05
  done
  echo "dovecot did not start" >&2; cat "$d/dovecot.log" >&2 || true; exit 1
}

measure() { "$bin/store_bench" "$@" | awk '{print $1}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
memory() { awk '/^VmHWM|^VmRSS/ {printf "%s %s kB  ", $1, $2}' "/proc/$1/status"; }

printf '%-8s %-34s %10s %10s %7s\n' messages measurement store dovecot ratio
for n in "${counts[@]}"; do
  store=$work/store-$n
  if [ ! -f "$store/.complete" ]; then
    python3 "$root/server/tools/mkstore.py" flat --corpus "$corpus" --out "$store" --count "$n"
    touch "$store/.complete"
  fi
  maildir=$store/corpus
  # Readable by the unprivileged Dovecot; the store server runs as this user.
  chmod -R a+rX "$store"

  rm -f "$maildir/zelm-index"
  drop_caches
  start_server "$store"
  info_cold=$(measure zelm-info "$addr" 999 corpus INBOX)
  info_warm=$(measure zelm-info "$addr" 999 corpus INBOX)
  mime_first=$(measure zelm-mime "$addr" 999 corpus INBOX)
  mime_warm=$(measure zelm-mime "$addr" 999 corpus INBOX)
  mem=$(memory "$server_pid")
  stop_all
  drop_caches
  start_server "$store"
  info_restart=$(measure zelm-info "$addr" 999 corpus INBOX)
  stop_all

  drop_caches
  start_dovecot "$maildir" "$work/dovecot-$n"
  list_cold=$(measure imap-list "$addr" "$imap_port" bench bench)
  list_warm=$(measure imap-list "$addr" "$imap_port" bench bench)
  bs_first=$(measure imap-structure "$addr" "$imap_port" bench bench)
  bs_warm=$(measure imap-structure "$addr" "$imap_port" bench bench)
  stop_all
  drop_caches
  start_dovecot "$maildir" "$work/dovecot-restart-$n" "$work/dovecot-$n"
  list_restart=$(measure imap-list "$addr" "$imap_port" bench bench)
  stop_all

  row() { printf '%-8s %-34s %10s %10s %7s\n' "$n" "$1" "$2" "$3" "$(ratio "$2" "$3")"; }
  row "listing, cold (no index)" "$info_cold" "$list_cold"
  row "listing, warm" "$info_warm" "$list_warm"
  row "listing, restarted, index on disk" "$info_restart" "$list_restart"
  row "structure of all, first" "$mime_first" "$bs_first"
  row "structure of all, warm" "$mime_warm" "$bs_warm"
  printf '%-8s store server memory: %s\n' "$n" "$mem"
done

# Hostile load: idle connections, descriptors running out.
"$root/bench/server/load.sh"
