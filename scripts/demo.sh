#!/usr/bin/env bash
# The main job: a store of real mail on this machine, served by the store
# server at 127.0.0.1:999, which takes its configuration from a directory
# (the sample tree with a messaging server and its store agent); the store
# shell zelmsh.exe browses the store under Wine, and the administration host
# shows the configuration and the server's live statistics.
# The store and the directory are built anew under build/demo.
# With $DISPLAY set each program opens on that display (close it to go on);
# without one they run on a virtual screen and pictures of their main
# screens are written to build/shots.
#   scripts/demo.sh [--ldap]
# --ldap keeps the directory on a slapd of the project's own instead of the
# file (build/demo/slapd, ldap://127.0.0.1:38389/o=Zelm, stopped at the end):
# the store server binds there as Zelmstored.Acme with a password from a
# file only its owner reads, and the host uses the same address, asking for
# a login (Admin.Acme with the administrator's password, slapd/admin.pw;
# without a display the pictures log in with that file).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
ldap=""
case "${1:-}" in
  --ldap) ldap=1 ;;
  "") ;;
  *) echo "usage: scripts/demo.sh [--ldap]" >&2; exit 2 ;;
esac
native_bin=${ZELM_NATIVE_BIN:-$root/build/native/bin}
win_bin=${ZELM_WIN_BIN:-$root/build/win/bin}
demo=build/demo
db=$root/$demo/directory.zdb
# FS1.Acme's volume MAIL is the folder volumes/FS1/MAIL beside the database;
# the store agent's store is "FS1/MAIL:zelm".
store=$demo/volumes/FS1/MAIL/zelm
rm -rf "$demo/volumes" "$db"
mkdir -p "$demo"
corpus=$(scripts/corpus.sh)
python3 server/tools/mkstore.py demo --corpus "$corpus" --out "$store"
printf 'Demo store %s: %s messages of real mail\n' "$store" "$(find "$store" -path '*/cur/*' -o -path '*/new/*' -type f | wc -l)"
cat directory/sample-directory.txt scripts/demo-services.txt >"$demo/directory.txt"
password_file=""
host_password=""  # the administrator's password file, for the host's login
if [ -n "$ldap" ]; then
  # The store server's own password, and the volume where it lies (the
  # server is not beside a database file there).
  password_file=$root/$demo/zelmstored.pw
  (umask 077; head -c 12 /dev/urandom | base64 | tr -d '\n/+=' >"$password_file")
  sed -i -e "/^object Zelmstored.Acme : User/a\\    Password = $(cat "$password_file")" \
         -e "s|MAIL=volumes/FS1/MAIL|MAIL=$root/$demo/volumes/FS1/MAIL|" "$demo/directory.txt"
  chmod 600 "$demo/directory.txt"
fi
"$native_bin/dsadm" create "$db" "$demo/directory.txt" >/dev/null
if [ -n "$ldap" ]; then
  slapd_dir=$root/$demo/slapd
  scripts/slapd.sh stop "$slapd_dir"
  rm -rf "$slapd_dir"
  mkdir -p "$slapd_dir"
  "$native_bin/dsadm" ldif "$db" >"$slapd_dir/demo.ldif"
  rm -f "$db"
  ZELM_LDAP_LDIF=$slapd_dir/demo.ldif scripts/slapd.sh start "$slapd_dir" 127.0.0.1 38389
  trap 'scripts/slapd.sh stop "$slapd_dir"' EXIT
  db=$(cat "$slapd_dir/url")
  host_password=$slapd_dir/admin.pw
fi
echo "Demo directory $db: the sample tree with messaging server MS1.Internet Services on FS1.Acme"

# How the host finds the directory (and over a server, its login).
host_demo() {
  scripts/host-demo.sh --database "$db" ${host_password:+--password-file "$host_password"} "$@"
}

on_display() {
  # Wine's X11 driver needs a prefix without the null display driver.
  local prefix=${ZELM_DEMO_PREFIX:-$root/build/wine/demo-x11}
  scripts/prefix.sh x11 build/wine/template "$prefix"
  export WINEPREFIX=$prefix WINEDEBUG=-all
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  cat >"$prefix/drive_c/zelmsh-demo.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Quorvel\\ZELMShell\\1.0]
"Last Connected"="$ZELM_STORE_HOST"
"Autoconnect"="On"
"View Flags"="7"
REG
  wine regedit /S 'C:\zelmsh-demo.reg' </dev/null >/dev/null 2>&1
  echo "zelmsh.exe is open on $DISPLAY, connected to the store at $ZELM_STORE_HOST; close it to go on to the administration host."
  wine "$win_bin/zelmsh.exe" </dev/null >/dev/null 2>&1
  # The server keeps running: the host's statistics page shows it live.
  host_demo
}

headless() {
  # The server's statistics before and after the shell's browse.
  host_demo statistics=host-statistics-start.png
  scripts/shots.sh "$ZELM_STORE_HOST" build/shots
  echo
  echo "The mailbox as zelmsh.exe listed it (build/shots/zelmsh-mailbox.txt):"
  sed -n '/^\[list\]/,/^\[details\]/p' build/shots/zelmsh-mailbox.txt | sed '1d;$d'
  echo
  host_demo ${host_password:+login} main statistics status
  echo "No display: pictures of the store shell's and the host's main screens are in $root/build/shots"
}

export -f host_demo on_display headless
export root win_bin db host_password
serve=(scripts/with-store.sh --server "$native_bin/zelmstored" --directory "$db" FS1.Acme
       --address 127.0.0.1 ${password_file:+--password-file "$password_file"} --)
# The steps run in a shell of their own: it stops at the first that fails,
# and with-store.sh hands its status on.
if [ -n "${DISPLAY:-}" ]; then
  "${serve[@]}" bash -euo pipefail -c on_display
else
  "${serve[@]}" bash -euo pipefail -c headless
fi
