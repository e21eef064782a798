#!/usr/bin/env bash
# Starts and stops the mail system: Postfix and Dovecot instances of the
# project's own (configuration, queue and logs in DIR, never /etc/postfix or
# /etc/dovecot), on a loopback address and free high ports, configured from
# a directory by zelmmailsys.
#   mail.sh start DIR --directory DB --server-object OBJECT [--address ADDR]
#                     [--store STORE] [--request-port N]
#   mail.sh stop DIR
# start gives the store's folders (STORE, the store agent's) to the mail
# user (mail), starts zelmmailsys (which starts the daemons) and writes
# DIR/mail.env with ADDRESS, SMTP_PORT, IMAP_PORT, POP_PORT, REQUEST_PORT
# and PID; stop ends it (and the daemons) and waits. The store server passes
# notices on to it with --mail-system ADDRESS:REQUEST_PORT. Needs root:
# Postfix starts only so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${ZELM_NATIVE_BIN:-$root/build/native/bin}
usage() { sed -n '2,15p' "$0" >&2; exit 2; }
[ $# -ge 2 ] || usage
command=$1 dir=$2
shift 2

alive() { [ -f "$1" ] && kill -0 "$(head -n 1 "$1" | tr -d ' ')" 2>/dev/null; }

stop() {
  [ -f "$dir/mail.env" ] || return 0
  local pid
  pid=$(sed -n 's/^PID=//p' "$dir/mail.env")
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  # Whatever outlived it (a killed zelmmailsys leaves its daemons running).
  if alive "$dir/mail/spool/pid/master.pid"; then
    postfix -c "$dir/mail/postfix" stop >/dev/null 2>&1 || true
  fi
  if alive "$dir/mail/run/dovecot/master.pid"; then
    dovecot -c "$dir/mail/dovecot/dovecot.conf" stop >/dev/null 2>&1 || true
  fi
  rm -f "$dir/mail.env"
}

# A free TCP port on the address: one nobody listens on, picked at random
# (each run has a loopback address of its own, so nobody takes it meanwhile).
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    case " $taken " in *" $port "*) continue ;; esac
    if ! (exec 3<>"/dev/tcp/$1/$port") 2>/dev/null; then echo "$port"; return; fi
  done
}

case "$command" in
  stop) stop; exit 0 ;;
  start) ;;
  *) usage ;;
esac

database="" object="" address=127.0.0.1 store="" request_port=""
while [ $# -gt 0 ]; do
  case "$1" in
    --directory) database=$2; shift 2 ;;
    --server-object) object=$2; shift 2 ;;
    --address) address=$2; shift 2 ;;
    --store) store=$2; shift 2 ;;
    --request-port) request_port=$2; shift 2 ;;
    *) echo "mail.sh: unexpected $1" >&2; exit 2 ;;
  esac
done
[ -n "$database" ] && [ -n "$object" ] || usage
if [ "$(id -u)" != 0 ]; then
  echo "mail.sh: Postfix starts only as root; not started" >&2
  exit 77
fi
[ -x "$bin/zelmmailsys" ] || { echo "mail.sh: no zelmmailsys in $bin (build the native side first)" >&2; exit 2; }
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
stop
# Delivery writes the store's folders as the mail user, never as root.
[ -n "$store" ] && chown -R mail:mail "$store"
taken=$request_port
smtp=$(free_port "$address"); taken+=" $smtp"
imap=$(free_port "$address"); taken+=" $imap"
pop=$(free_port "$address"); taken+=" $pop"
[ -n "$request_port" ] || request_port=$(free_port "$address")
log=$dir/mailsys.log
args=(--directory "$database" --server-object "$object" --folder "$dir/mail"
      --listen "$address" --smtp-port "$smtp" --imap-port "$imap" --pop-port "$pop"
      --request-port "$request_port" --watch-seconds 1)
"$bin/zelmmailsys" "${args[@]}" >"$log" 2>&1 &
pid=$!
cat >"$dir/mail.env" <<EOF
ADDRESS=$address
SMTP_PORT=$smtp
IMAP_PORT=$imap
POP_PORT=$pop
REQUEST_PORT=$request_port
PID=$pid
EOF
# Ready once it listens; one that exits early shows its reason.
for _ in $(seq 1 600); do
  grep -q "request service on" "$log" && exit 0
  if ! kill -0 "$pid" 2>/dev/null; then cat "$log" >&2; rm -f "$dir/mail.env"; exit 1; fi
  sleep 0.05
done
echo "mail.sh: zelmmailsys did not start" >&2
cat "$log" >&2
stop
exit 1
