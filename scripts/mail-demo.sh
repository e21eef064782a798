#!/usr/bin/env bash
# The demo with the whole messaging server: the store of real mail served by
# the store server, and the SMTP, IMAP and POP agents served by Postfix and
# Dovecot instances of the demo's own (scripts/mail.sh), all configured from
# the sample directory with the demo's services and the store's users
# (scripts/demo-mail.txt). A message is sent to alice@acme.example over
# SMTP; the store shell zelmsh.exe then shows it in alice's INBOX, and the
# administration host the server's status and statistics.
# With $DISPLAY set each program opens on that display (close it to go on);
# without one, pictures go to build/shots (mail-*.png). Needs root: Postfix
# starts only so.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native_bin=${ZELM_NATIVE_BIN:-$root/build/native/bin}
win_bin=${ZELM_WIN_BIN:-$root/build/win/bin}
if [ "$(id -u)" != 0 ]; then
  echo "mail-demo.sh: Postfix starts only as root; run it as root" >&2
  exit 1
fi
demo=$root/build/demo-mail
db=$demo/directory.zdb
store=$demo/volumes/FS1/MAIL/zelm
rm -rf "$demo"
mkdir -p "$demo"
chmod 755 "$demo"  # the daemons' users pass through it
python3 server/tools/mkstore.py demo --corpus "$(scripts/corpus.sh)" --out "$store"
cat directory/sample-directory.txt scripts/demo-services.txt scripts/demo-mail.txt >"$demo/directory.txt"
"$native_bin/dsadm" create "$db" "$demo/directory.txt" >/dev/null

server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  scripts/mail.sh stop "$demo/run" || true
}
trap cleanup EXIT
scripts/mail.sh start "$demo/run" --directory "$db" --server-object FS1.Acme --address 127.0.0.1 \
  --store "$store"
. "$demo/run/mail.env"
"$native_bin/zelmstored" --directory "$db" --server-object FS1.Acme --identity Zelmstored.Acme \
  --mail-system "127.0.0.1:$REQUEST_PORT" >"$demo/server.log" 2>&1 &
server=$!
for _ in $(seq 1 200); do grep -q "request service on" "$demo/server.log" && break; sleep 0.05; done
echo "Mail system on 127.0.0.1: SMTP port $SMTP_PORT, IMAP $IMAP_PORT, POP $POP_PORT; store server on port 999"

# One message over SMTP, as any mail program sends it.
inbox=$(find "$store/alice/new" "$store/alice/cur" -type f | wc -l)
exec 3<>"/dev/tcp/127.0.0.1/$SMTP_PORT"
smtp() { [ -z "$1" ] || printf '%s\r\n' "$1" >&3; local line; while IFS= read -r line <&3; do echo "  S: ${line%$'\r'}"; [ "${line:3:1}" = "-" ] || break; done; }
smtp ""
smtp "EHLO demo.example"
smtp "MAIL FROM:<carol@acme.example>"
smtp "RCPT TO:<alice@acme.example>"
smtp "DATA"
smtp "From: Carol <carol@acme.example>
To: Alice <alice@acme.example>
Subject: Sent over SMTP
Date: $(date -R)

Hello Alice,
this came in over SMTP to Postfix,
which handed it to Dovecot, which
put it into your mailbox in the store.
Carol
."
smtp "QUIT"
exec 3>&-
for _ in $(seq 1 100); do
  [ "$(find "$store/alice/new" "$store/alice/cur" -type f | wc -l)" -gt "$inbox" ] && break
  sleep 0.1
done
echo "alice's INBOX now holds $(find "$store/alice/new" "$store/alice/cur" -type f | wc -l) messages"

export WINEPREFIX=$root/build/wine/test WINEDEBUG=-all
if [ -n "${DISPLAY:-}" ]; then
  prefix=${ZELM_DEMO_PREFIX:-$root/build/wine/demo-x11}
  scripts/prefix.sh x11 build/wine/template "$prefix"
  export WINEPREFIX=$prefix
  cat >"$prefix/drive_c/zelmsh-demo.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Quorvel\\ZELMShell\\1.0]
"Last Connected"="127.0.0.1"
"Autoconnect"="On"
"View Flags"="7"
REG
  wine regedit /S 'C:\zelmsh-demo.reg' </dev/null >/dev/null 2>&1
  echo "zelmsh.exe is open on $DISPLAY: the new message is the last one of alice's INBOX; close it to go on."
  wine "$win_bin/zelmsh.exe" </dev/null >/dev/null 2>&1
  scripts/host-demo.sh --database "$db"
else
  rows=$(find "$store/alice/new" "$store/alice/cur" -type f | wc -l)
  ZELM_SHOTS_NAME=mail ZELM_SHOTS_ROW=$((rows - 1)) scripts/shots.sh 127.0.0.1 build/shots
  scripts/host-demo.sh --database "$db" status=mail-status.png statistics=mail-statistics.png
  # A message limit that is no number never reaches Postfix: the status says so.
  "$native_bin/dsadm" set "$db" "SMTP Agent.MS1.Internet Services" "Quorvel:Message Limit" ten
  for _ in $(seq 1 100); do
    "$native_bin/dsadm" get "$db" "MS1.Internet Services" "Quorvel:Server Status" | grep -q refused && break
    sleep 0.1
  done
  scripts/host-demo.sh --database "$db" status=mail-status-refused.png
  grep refused "$demo/run/mailsys.log" || true
  echo "No display: pictures of the message in the store shell and of the server's pages are in $root/build/shots"
fi
