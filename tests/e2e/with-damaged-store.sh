#!/usr/bin/env bash
# Runs a command while the store server serves the sample store with two
# faults a repair puts right in alice's INBOX: a message whose flag letters
# are out of order and given twice, and a delivery left unfinished in tmp/
# for three days.
#   with-damaged-store.sh --server BIN -- command...
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
server=""
while [ $# -gt 0 ]; do
  case "$1" in
    --server) server=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "with-damaged-store.sh: unexpected $1" >&2; exit 2 ;;
  esac
done
[ -n "$server" ] && [ $# -gt 0 ] || { sed -n '2,6p' "$0" >&2; exit 2; }
work=$(mktemp -d /tmp/zelm-damaged-store.XXXXXX)
trap 'rm -rf "$work"' EXIT
python3 "$root/server/tools/mkstore.py" sample --out "$work/store" >/dev/null
inbox=$work/store/alice
mv "$inbox/cur/1700000002.M2P1.zelm,S=11242:2,RS" "$inbox/cur/1700000002.M2P1.zelm,S=11242:2,SRS"
printf 'half a message' >"$inbox/tmp/1600000000.M9P1.zelm"
touch -d '3 days ago' "$inbox/tmp/1600000000.M9P1.zelm"
"$root/scripts/with-store.sh" --server "$server" --store "$work/store" -- "$@"
