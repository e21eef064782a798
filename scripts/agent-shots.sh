#!/usr/bin/env bash
# Pictures of every agent page and the container options page as the
# administration host shows them, on the demo's directory (the sample tree
# with a messaging server and one agent of every class):
#   scripts/agent-shots.sh [OUT_DIR]      (default build/shots)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native_bin=${ZELM_NATIVE_BIN:-$root/build/native/bin}
out=${1:-$root/build/shots}
[ -x "$native_bin/dsadm" ] || { echo "agent-shots.sh: $native_bin/dsadm is not built" >&2; exit 1; }
work=$(mktemp -d /tmp/zelm-agent-shots.XXXXXX)
trap 'rm -rf "$work"' EXIT
cat "$root/directory/sample-directory.txt" "$root/scripts/demo-services.txt" >"$work/directory.txt"
"$native_bin/dsadm" create "$work/directory.zdb" "$work/directory.txt" >/dev/null

ms="MS1.Internet Services"
shots=()
add() { # object file-stem title...
  local object=$1 stem=$2
  shift 2
  local title
  for title in "$@"; do
    local slug
    slug=$(echo "$title" | tr 'A-Z ' 'a-z-')
    shots+=("page:$object:$title=$stem-$slug.png")
  done
}
add "ZELM Agent.$ms" agent-zelm Parameters Context "Mailbox Quota" "Single Copy Message Store" \
    "Trusted Hosts" Clients
add "SMTP Agent.$ms" agent-smtp Identification Options "UBE Prevention" "Queue Server" \
    "Monitored Queues" Status
add "AntiSpam Agent.$ms" agent-antispam Configuration
add "Alias Agent.$ms" agent-alias Configuration "Local Aliases" "Global Aliases"
add "WebMail Agent.$ms" agent-webmail Configuration Interface Appearance Addressbook
add "Signup Agent.$ms" agent-signup Configuration
add "Proxy Agent.$ms" agent-proxy Configuration
add "Address Book Agent.$ms" agent-addressbook Configuration
add "Connection Manager.$ms" agent-connmgr Configuration
add "Sales.Acme" container "Halcyn Korrat Options"
ZELM_SHOTS=$out "$root/scripts/host-demo.sh" --database "$work/directory.zdb" "${shots[@]}"
