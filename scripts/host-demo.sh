#!/usr/bin/env bash
# The administration host with both snap-ins on a directory:
#   scripts/host-demo.sh [--database DB|ADDRESS [--password-file FILE] | --ldap] [SHOT[=FILE]]...
# On $DISPLAY when set (close it to end), else on a virtual screen, writing
# pictures to build/shots: SHOT is one of
#   main         the host on Sales.Acme                      (host-main.png)
#   statistics   MS1's statistics page, live from its server (host-statistics.png)
#   status       MS1's status page                           (host-status.png)
#   page:OBJECT:TITLE=FILE   the page titled TITLE of OBJECT's sheet
#   login        the login a directory on a server asks for    (host-login.png)
# (default: main; over a server login and main). Without --database the
# directory is made anew from the sample tree in build/demo/directory.zdb;
# with --ldap it lives on a slapd of its own (scripts/slapd.sh,
# build/demo/slapd, stopped at the end). A directory address (ADDRESS, or
# --ldap's) makes the host ask for a login: Admin.Acme, the directory's
# supervisor, with the administrator's password (--password-file, or
# build/demo/slapd/admin.pw with --ldap); pictures other than login log in
# with that file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native_bin=${ZELM_NATIVE_BIN:-$root/build/native/bin}
win_bin=${ZELM_WIN_BIN:-$root/build/win/bin}
out=${ZELM_SHOTS:-$root/build/shots}
db=""
ldap=0
password=""
shots=()
while [ $# -gt 0 ]; do
  case "$1" in
    --database) db=$2; shift 2 ;;
    --password-file) password=$2; shift 2 ;;
    --ldap) ldap=1; shift ;;
    -*) echo "host-demo.sh: unexpected $1" >&2; exit 2 ;;
    *) shots+=("$1"); shift ;;
  esac
done
case "$db" in ldap://*) address=1 ;; *) address=$ldap ;; esac
if [ ${#shots[@]} -eq 0 ]; then
  shots=(main)
  [ "$address" = 1 ] && shots=(login main)
fi
for f in "$win_bin/zelmadmin.exe" "$win_bin/tarq.dll" "$win_bin/logpage.dll"; do
  [ -f "$f" ] || { echo "host-demo.sh: $f is not built" >&2; exit 1; }
done
mkdir -p "$out"
slapd_dir=$root/build/demo/slapd
if [ "$ldap" = 1 ]; then
  "$root/scripts/slapd.sh" stop "$slapd_dir"
  rm -rf "$slapd_dir"
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  ZELM_NATIVE=$(cd "$native_bin/.." && pwd) "$root/scripts/slapd.sh" start "$slapd_dir" 127.0.0.1 "$port"
  db=$(cat "$slapd_dir/url")
  password=$slapd_dir/admin.pw
  echo "Demo directory $db (the sample tree on slapd; log in as Admin.Acme" \
       "with the password in $password)"
elif [ -z "$db" ]; then
  [ -x "$native_bin/dsadm" ] || { echo "host-demo.sh: $native_bin/dsadm is not built" >&2; exit 1; }
  db=$root/build/demo/directory.zdb
  mkdir -p "$(dirname "$db")"
  rm -f "$db"
  "$native_bin/dsadm" create "$db" "$root/directory/sample-directory.txt" >/dev/null
  echo "Demo directory $db (the sample tree; signed in as Admin.Acme)"
fi
# Wine sees the Linux root as drive Z:.
winpath() { local p; p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); echo "Z:${p//\//\\}"; }
# A directory address goes to the host as it is; a file by its Wine path.
if [ "$address" = 1 ]; then
  where=$db
  [ -n "$password" ] || { echo "host-demo.sh: a directory address needs --password-file" >&2; exit 2; }
  password_file=$(winpath "$password")
else
  where=$(winpath "$db")
fi

prefix=${ZELM_HOST_PREFIX:-$root/build/wine/host-demo}
"$root/scripts/prefix.sh" x11 "$root/build/wine/template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all
unset ZELM_DIRECTORY ZELM_IDENTITY ZELM_LDAP_PASSWORD_FILE
args=(--database "$where" --identity Admin.Acme --snapin tarq.dll --snapin logpage.dll)

xvfb="" app=""
cleanup() {
  if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; wait "$app" 2>/dev/null || true; fi
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  if [ "$ldap" = 1 ]; then "$root/scripts/slapd.sh" stop "$slapd_dir"; fi
}
trap cleanup EXIT

if [ -n "${DISPLAY:-}" ] && [ -z "${ZELM_HEADLESS:-}" ]; then
  echo "zelmadmin.exe is open on $DISPLAY with tarq and logpage; close it to end."
  [ "$address" = 1 ] && echo "It asks for a login: Admin.Acme with the password in $password."
  (cd "$win_bin" && wine zelmadmin.exe "${args[@]}" </dev/null >/dev/null 2>&1)
  exit 0
fi

num=95
while [ -e "/tmp/.X11-unix/X$num" ] || [ -e "/tmp/.X$num-lock" ]; do num=$((num + 1)); done
export DISPLAY=:$num
Xvfb ":$num" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

shoot() { # file window-title settle-seconds args...
  local file=$1 title=$2 settle=$3; shift 3
  # Over a server every picture but the login's logs in with the password file.
  if [ "$address" = 1 ] && [ "$title" != "Log In" ]; then
    export ZELM_LDAP_PASSWORD_FILE=$password_file
  else
    unset ZELM_LDAP_PASSWORD_FILE
  fi
  (cd "$win_bin" && exec wine zelmadmin.exe "${args[@]}" "$@" </dev/null >/dev/null 2>&1) &
  app=$!
  local n=0
  until xwininfo -name "$title" 2>/dev/null | grep -q IsViewable; do
    n=$((n + 1))
    [ $n -lt 300 ] || { echo "host-demo.sh: no window '$title'" >&2; return 1; }
    kill -0 "$app" 2>/dev/null ||
      { echo "host-demo.sh: zelmadmin.exe ended before its window '$title' showed" >&2; return 1; }
    sleep 0.2
  done
  sleep "$settle"
  xwd -name "$title" -silent | convert xwd:- "$out/$file"
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  app=""
  wineserver -k >/dev/null 2>&1 || true
}

server="MS1.Internet Services"
for shot in "${shots[@]}"; do
  name=${shot%%=*}
  file=${shot#*=}
  [ "$file" != "$shot" ] || file=host-$name.png
  case "$name" in
    main) shoot "$file" "Directory Administrator" 1 --select "Sales.Acme" ;;
    login) shoot "$file" "Log In" 1 ;;
    # The page asks the server every 1.5 s; a few ticks show the counters move.
    statistics) shoot "$file" "Properties for $server" 5 --open "$server" --page Statistics ;;
    status) shoot "$file" "Properties for $server" 1 --open "$server" --page Status ;;
    page:*)
      what=${name#page:}
      object=${what%%:*}
      shoot "$file" "Properties for $object" 1 --open "$object" --page "${what#*:}" ;;
    *) echo "host-demo.sh: no shot '$name'" >&2; exit 2 ;;
  esac
done
echo "No display: pictures of the administration host are in $out"
