#!/usr/bin/env bash
# Runs a command beside a store server that takes its configuration from a
# directory database, both made here in a temporary folder:
#   with-directory-server.sh --bin NATIVE_BIN -- command...
# The database holds the file server FS1.Acme (at a random loopback address),
# its messaging server MS1 with a store agent whose store is the sample store
# on FS1's volume MAIL, a second messaging server MS2 on FS2.Acme, where
# nobody listens, and the user Zelmstored.Acme the server acts as. The command
# finds the database in ZELM_DIRECTORY (a Windows path), its identity in
# ZELM_IDENTITY, the store's address in ZELM_STORE_HOST and the server's log
# in ZELM_SERVER_LOG. Linux programs are started from here: Wine cannot
# reliably start them itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=${ZELM_NATIVE_BIN:-$root/build/native/bin}
while [ $# -gt 0 ]; do
  case "$1" in
    --bin) bin=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "with-directory-server.sh: unexpected $1" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] || { sed -n '2,12p' "$0" >&2; exit 2; }
for p in zelmstored dsadm; do
  [ -x "$bin/$p" ] || { echo "with-directory-server.sh: no $p in $bin (build the native side first)" >&2; exit 2; }
done

work=$(mktemp -d /tmp/zelm-e2e-dir.XXXXXX)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
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
"$bin/dsadm" create "$work/directory.zdb" "$work/directory.txt" >/dev/null
python3 "$root/server/tools/mkstore.py" sample --out "$work/volumes/FS1/MAIL/zelm"

"$bin/zelmstored" --directory "$work/directory.zdb" --server-object FS1.Acme \
  --identity Zelmstored.Acme >"$work/server.log" 2>&1 &
pid=$!
# Ready once both listeners are up; a server that exits early shows its reason.
for _ in $(seq 1 200); do
  grep -q "request service on" "$work/server.log" && grep -q "serving" "$work/server.log" && break
  if ! kill -0 "$pid" 2>/dev/null; then cat "$work/server.log" >&2; exit 1; fi
  sleep 0.05
done
grep -q "serving" "$work/server.log" || { cat "$work/server.log" >&2; exit 1; }

windows() { echo "Z:$1" | tr / '\\'; }
set +e
ZELM_DIRECTORY=$(windows "$work/directory.zdb") ZELM_IDENTITY=Admin.Acme \
  ZELM_STORE_HOST=$address ZELM_SERVER_LOG=$(windows "$work/server.log") "$@"
rc=$?
set -e
# The server's side of a failure is worth seeing.
[ $rc -eq 0 ] || { echo "--- server log" >&2; cat "$work/server.log" >&2; }
exit $rc
