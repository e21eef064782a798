#!/usr/bin/env bash
# Runs a command beside a store server that takes its configuration from a
# directory database, both made here in a temporary folder:
#   with-directory-server.sh --bin NATIVE_BIN [--ldap] -- command...
# The database holds the file server FS1.Acme (at a random loopback address),
# its messaging server MS1 with a store agent whose store is the sample store
# on FS1's volume MAIL, a second messaging server MS2 on FS2.Acme, where
# nobody listens, and the user Zelmstored.Acme the server acts as. The command
# finds the database in ZELM_DIRECTORY (a Windows path), its identity in
# ZELM_IDENTITY, the store's address in ZELM_STORE_HOST and the server's log
# in ZELM_SERVER_LOG. Linux programs are started from here: Wine cannot
# reliably start them itself.
# With --ldap the same tree lives on a slapd of its own (scripts/slapd.sh):
# ZELM_DIRECTORY is its address, the command logs in as the supervisor with
# the administrator's password (ZELM_LDAP_PASSWORD_FILE), and the server
# binds as Zelmstored.Acme with a password file of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=${ZELM_NATIVE_BIN:-$root/build/native/bin}
ldap=0
while [ $# -gt 0 ]; do
  case "$1" in
    --bin) bin=$2; shift 2 ;;
    --ldap) ldap=1; shift ;;
    --) shift; break ;;
    *) echo "with-directory-server.sh: unexpected $1" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] || { sed -n '2,16p' "$0" >&2; exit 2; }
for p in zelmstored dsadm; do
  [ -x "$bin/$p" ] || { echo "with-directory-server.sh: no $p in $bin (build the native side first)" >&2; exit 2; }
done

work=$(mktemp -d /tmp/zelm-e2e-dir.XXXXXX)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  if [ "$ldap" = 1 ]; then "$root/scripts/slapd.sh" stop "$work/slapd" || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

address=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 2))
nobody=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).1
cat >"$work/directory.txt" <<EOF
supervisor Admin.Acme
identity Admin.Acme
object [Root]
    grant [Public] : [Entry Rights] = browse
    grant [Public] : [All Attributes Rights] = compare read
object Acme : Organization
object Admin.Acme : User
object Zelmstored.Acme : User
    Description = The store server's own identity
object FS1.Acme : HVX Server
    Network Address = $address
    Volume = MAIL=volumes/FS1/MAIL
    Quorvel:Messaging Server = .MS1.Internet Services
object FS2.Acme : HVX Server
    Network Address = $nobody
    Volume = MAIL=volumes/FS2/MAIL
object Internet Services : Quorvel:Services
    grant Zelmstored.Acme : Quorvel:Config Changed = compare read write
    grant Zelmstored.Acme : Quorvel:Server Status = compare read write
    grant Zelmstored.Acme : Quorvel:IP Address = compare read write
object MS1.Internet Services : Quorvel:Messaging Server
    Quorvel:Host = .FS1.Acme
    Quorvel:Context = .Internet Services
object ZELM Agent.MS1.Internet Services : Quorvel:ZELM Agent
    Quorvel:Module Name = STORAGNT.QMD
    Quorvel:Message Store = FS1/MAIL:zelm
object MS2.Internet Services : Quorvel:Messaging Server
    Quorvel:Host = .FS2.Acme
object ZELM Agent.MS2.Internet Services : Quorvel:ZELM Agent
    Quorvel:Module Name = STORAGNT.QMD
EOF
python3 "$root/server/tools/mkstore.py" sample --out "$work/volumes/FS1/MAIL/zelm"
windows() { echo "Z:$1" | tr / '\\'; }
directory=$work/directory.zdb
login=()
if [ "$ldap" = 1 ]; then
  # A server has no folder of its own: the volume is named in full.
  (umask 077; head -c 12 /dev/urandom | base64 | tr -d '\n/+=' >"$work/zelmstored.pw")
  sed -i -e "/^object Zelmstored.Acme : User/a\\    Password = $(cat "$work/zelmstored.pw")" \
         -e "s|MAIL=volumes/FS1/MAIL|MAIL=$work/volumes/FS1/MAIL|" "$work/directory.txt"
fi
"$bin/dsadm" create "$work/directory.zdb" "$work/directory.txt" >/dev/null
if [ "$ldap" = 1 ]; then
  mkdir -p "$work/slapd"
  "$bin/dsadm" ldif "$work/directory.zdb" >"$work/slapd/tree.ldif"
  rm -f "$work/directory.zdb"
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  ZELM_NATIVE=$(cd "$bin/.." && pwd) ZELM_LDAP_LDIF=$work/slapd/tree.ldif \
    "$root/scripts/slapd.sh" start "$work/slapd" 127.0.0.1 "$port" >/dev/null
  directory=$(cat "$work/slapd/url")
  login=(--password-file "$work/zelmstored.pw")
  export ZELM_LDAP_PASSWORD_FILE
  ZELM_LDAP_PASSWORD_FILE=$(windows "$work/slapd/admin.pw")
fi

"$bin/zelmstored" --directory "$directory" --server-object FS1.Acme \
  --identity Zelmstored.Acme "${login[@]}" >"$work/server.log" 2>&1 &
pid=$!
# Ready once both listeners are up; a server that exits early shows its reason.
for _ in $(seq 1 200); do
  grep -q "request service on" "$work/server.log" && grep -q "serving" "$work/server.log" && break
  if ! kill -0 "$pid" 2>/dev/null; then cat "$work/server.log" >&2; exit 1; fi
  sleep 0.05
done
grep -q "serving" "$work/server.log" || { cat "$work/server.log" >&2; exit 1; }

set +e
[ "$ldap" = 1 ] || directory=$(windows "$directory")
ZELM_DIRECTORY=$directory ZELM_IDENTITY=Admin.Acme \
  ZELM_STORE_HOST=$address ZELM_SERVER_LOG=$(windows "$work/server.log") "$@"
rc=$?
set -e
# The server's side of a failure is worth seeing.
[ $rc -eq 0 ] || { echo "--- server log" >&2; cat "$work/server.log" >&2; }
exit $rc
