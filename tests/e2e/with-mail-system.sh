#!/usr/bin/env bash
# Runs a command beside the whole messaging server: the store server and the
# mail system (Postfix and Dovecot instances of its own, scripts/mail.sh),
# both configured from one directory database made here, on a random
# loopback address:
#   with-mail-system.sh --bin NATIVE_BIN -- command...
# The database holds the file server FS1.Acme, its messaging server MS1 with
# a store agent, SMTP, anti-spam, alias, auto-reply, IMAP and POP agents,
# and the users Joe, Ann, Kim, Bob and Eve of Acme (password: their name in
# lower case) with a mailbox each. The command finds the database in
# ZELM_DIRECTORY (a Windows path), the address in ZELM_STORE_HOST, the
# daemons' ports in ZELM_SMTP_PORT, ZELM_IMAP_PORT and ZELM_POP_PORT, and the
# mail system's folder in ZELM_MAIL_FOLDER. Without root it exits with 77
# (skipped): Postfix starts only as root.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=${ZELM_NATIVE_BIN:-$root/build/native/bin}
while [ $# -gt 0 ]; do
  case "$1" in
    --bin) bin=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "with-mail-system.sh: unexpected $1" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] || { sed -n '2,15p' "$0" >&2; exit 2; }
if [ "$(id -u)" != 0 ]; then
  echo "with-mail-system.sh: Postfix starts only as root; skipped" >&2
  exit 77
fi
for p in zelmstored zelmmailsys dsadm; do
  [ -x "$bin/$p" ] || { echo "with-mail-system.sh: no $p in $bin (build the native side first)" >&2; exit 2; }
done

work=$(mktemp -d /tmp/zelm-e2e-mail.XXXXXX)
chmod 755 "$work"  # the daemons' users pass through it
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  ZELM_NATIVE_BIN=$bin "$root/scripts/mail.sh" stop "$work/run" || true
  rm -rf "$work"
}
trap cleanup EXIT

address=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 2))
users="Joe Ann Kim Bob Eve"
{
  cat <<EOF
supervisor Admin.Acme
identity Admin.Acme
object [Root]
    grant [Public] : [Entry Rights] = browse
    grant [Public] : [All Attributes Rights] = compare read
object Acme : Organization
    Quorvel:Domain = acme.example
object Admin.Acme : User
object Zelmstored.Acme : User
    Description = The store server's own identity
EOF
  for u in $users; do
    printf 'object %s.Acme : User\n    Password = %s\n' "$u" "${u,,}"
  done
  cat <<EOF
object FS1.Acme : HVX Server
    Network Address = $address
    Volume = MAIL=volumes/FS1/MAIL
    Quorvel:Messaging Server = .MS1.Internet Services
object Internet Services : Quorvel:Services
    grant Zelmstored.Acme : Quorvel:Config Changed = compare read write
    grant Zelmstored.Acme : Quorvel:Server Status = compare read write
    grant Zelmstored.Acme : Quorvel:IP Address = compare read write
object MS1.Internet Services : Quorvel:Messaging Server
    Quorvel:Host = .FS1.Acme
    Quorvel:Context = .Acme
object ZELM Agent.MS1.Internet Services : Quorvel:ZELM Agent
    Quorvel:Module Name = STORAGNT.QMD
    Quorvel:Message Store = FS1/MAIL:zelm
EOF
  for a in "SMTP Agent:SMTP:SMTPAGNT" "AntiSpam Agent:AntiSpam:SPAMAGNT" "Alias Agent:Alias:ALIASAGT" \
           "AutoReply Agent:AutoReply:FWDAGENT" "IMAP Agent:IMAP:IMAPAGNT" "POP Agent:POP:POPAGENT"; do
    IFS=: read -r name class module <<<"$a"
    printf 'object %s.MS1.Internet Services : Quorvel:%s Agent\n' "$name" "$class"
    printf '    Quorvel:Module Name = %s.QMD\n    Quorvel:Module Version = 1\n' "$module"
    # The SMTP agent's own values, as its creation dialog leaves them.
    if [ "$class" = SMTP ]; then
      printf '    Quorvel:Domain = acme.example\n    Quorvel:Message Limit = 10\n'
    fi
  done
} >"$work/directory.txt"
"$bin/dsadm" create "$work/directory.zdb" "$work/directory.txt" >/dev/null
store=$work/volumes/FS1/MAIL/zelm
for u in $users; do mkdir -p "$store/${u,,}/cur" "$store/${u,,}/new" "$store/${u,,}/tmp"; done

ZELM_NATIVE_BIN=$bin "$root/scripts/mail.sh" start "$work/run" --directory "$work/directory.zdb" \
  --server-object FS1.Acme --address "$address" --store "$store"
. "$work/run/mail.env"
"$bin/zelmstored" --directory "$work/directory.zdb" --server-object FS1.Acme \
  --identity Zelmstored.Acme --mail-system "$ADDRESS:$REQUEST_PORT" >"$work/server.log" 2>&1 &
pid=$!
for _ in $(seq 1 200); do
  grep -q "request service on" "$work/server.log" && grep -q "serving" "$work/server.log" && break
  if ! kill -0 "$pid" 2>/dev/null; then cat "$work/server.log" >&2; exit 1; fi
  sleep 0.05
done
grep -q "serving" "$work/server.log" || { cat "$work/server.log" >&2; exit 1; }

windows() { echo "Z:$1" | tr / '\\'; }
set +e
ZELM_DIRECTORY=$(windows "$work/directory.zdb") ZELM_IDENTITY=Admin.Acme ZELM_STORE_HOST=$address \
  ZELM_SMTP_PORT=$SMTP_PORT ZELM_IMAP_PORT=$IMAP_PORT ZELM_POP_PORT=$POP_PORT \
  ZELM_MAIL_FOLDER=$(windows "$work/run/mail") "$@"
rc=$?
set -e
if [ $rc -ne 0 ]; then
  echo "--- store server" >&2; cat "$work/server.log" >&2
  echo "--- mail system" >&2; cat "$work/run/mailsys.log" >&2
  echo "--- Postfix" >&2; tail -n 60 "$work/run/mail/log/postfix.log" >&2
  echo "--- Dovecot" >&2; tail -n 60 "$work/run/mail/log/dovecot.log" >&2 || true
fi
exit $rc
