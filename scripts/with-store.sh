#!/usr/bin/env bash
# Runs a command while a store server serves a store, then stops the server.
#   with-store.sh [--server BIN] (--sample | --demo | --store DIR | --directory DB OBJECT)
#                 [--address ADDR] [--password-file FILE] -- command...
# --sample builds the small store of messages written here, --demo the demo
# store of real mail (fetching the corpus when needed), both in a temporary
# folder; --store serves an existing one; --directory has the server take its
# store and settings from directory database DB as file server OBJECT (acting
# as Zelmstored.Acme, the sample tree's identity for it; DB may be a directory
# address ldap://HOST:PORT/BASE, with the identity's password in the
# --password-file). The address defaults to a random
# loopback address; the command finds it in ZELM_STORE_HOST. Linux programs
# are started from here: Wine cannot reliably start them itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
server=${ZELM_NATIVE_BIN:-$root/build/native/bin}/zelmstored
kind="" store="" address="" database="" object="" password_file=""
while [ $# -gt 0 ]; do
  case "$1" in
    --server) server=$2; shift 2 ;;
    --sample) kind=sample; shift ;;
    --demo) kind=demo; shift ;;
    --store) kind=existing; store=$2; shift 2 ;;
    --directory) kind=directory; database=$2; object=$3; shift 3 ;;
    --address) address=$2; shift 2 ;;
    --password-file) password_file=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "with-store.sh: unexpected $1" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] && [ -n "$kind" ] || { sed -n '2,13p' "$0" >&2; exit 2; }
[ -x "$server" ] || { echo "with-store.sh: no server at $server (build the native side first)" >&2; exit 2; }

work=$(mktemp -d /tmp/zelm-with-store.XXXXXX)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
case "$kind" in
  sample) store=$work/store; python3 "$root/server/tools/mkstore.py" sample --out "$store" ;;
  demo) store=$work/store
        python3 "$root/server/tools/mkstore.py" demo --corpus "$("$root/scripts/corpus.sh")" --out "$store" ;;
esac
if [ -z "$address" ]; then
  address=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 2))
fi
if [ "$kind" = directory ]; then
  "$server" --directory "$database" --server-object "$object" --identity Zelmstored.Acme \
    ${password_file:+--password-file "$password_file"} --listen "$address" >"$work/server.log" 2>&1 &
else
  "$server" --root "$store" --listen "$address" >"$work/server.log" 2>&1 &
fi
pid=$!
# Ready once it says so; a server that exits early shows its reason.
for _ in $(seq 1 200); do
  grep -q serving "$work/server.log" && break
  if ! kill -0 "$pid" 2>/dev/null; then cat "$work/server.log" >&2; exit 1; fi
  sleep 0.05
done
grep -q serving "$work/server.log" || { echo "with-store.sh: server did not start" >&2; exit 1; }
if grep -q "not serving" "$work/server.log"; then cat "$work/server.log" >&2; exit 1; fi
set +e
ZELM_STORE_HOST=$address "$@"
rc=$?
set -e
exit $rc
