#!/usr/bin/env bash
# The administration host with both snap-ins on a directory:
#   scripts/host-demo.sh [--database DB|ADDRESS] [SHOT[=FILE]]...
# On $DISPLAY when set (close it to end), else on a virtual screen, writing
# pictures to build/shots: SHOT is one of
#   main         the host on Sales.Acme                      (host-main.png)
#   statistics   MS1's statistics page, live from its server (host-statistics.png)
#   status       MS1's status page                           (host-status.png)
#   page:OBJECT:TITLE=FILE   the page titled TITLE of OBJECT's sheet
# (default: main). Without --database the directory is made anew from the
# sample tree in build/demo/directory.zdb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native_bin=${ZELM_NATIVE_BIN:-$root/build/native/bin}
win_bin=${ZELM_WIN_BIN:-$root/build/win/bin}
out=${ZELM_SHOTS:-$root/build/shots}
db=""
shots=()
while [ $# -gt 0 ]; do
  case "$1" in
    --database) db=$2; shift 2 ;;
    -*) echo "host-demo.sh: unexpected $1" >&2; exit 2 ;;
    *) shots+=("$1"); shift ;;
  esac
done
[ ${#shots[@]} -gt 0 ] || shots=(main)
for f in "$win_bin/zelmadmin.exe" "$win_bin/tarq.dll" "$win_bin/logpage.dll"; do
  [ -f "$f" ] || { echo "host-demo.sh: $f is not built" >&2; exit 1; }
done
mkdir -p "$out"
if [ -z "$db" ]; then
  [ -x "$native_bin/dsadm" ] || { echo "host-demo.sh: $native_bin/dsadm is not built" >&2; exit 1; }
  db=$root/build/demo/directory.zdb
  mkdir -p "$(dirname "$db")"
  rm -f "$db"
  "$native_bin/dsadm" create "$db" "$root/directory/sample-directory.txt" >/dev/null
  echo "Demo directory $db (the sample tree; signed in as Admin.Acme)"
fi
# A directory address goes to the host as it is; a file by its Wine path.
case "$db" in
  ldap://*) where=$db ;;
  *) db=$(cd "$(dirname "$db")" && pwd)/$(basename "$db"); where="Z:${db//\//\\}" ;;
esac

prefix=${ZELM_HOST_PREFIX:-$root/build/wine/host-demo}
"$root/scripts/prefix.sh" x11 "$root/build/wine/template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all
unset ZELM_DIRECTORY ZELM_IDENTITY
# Wine sees the Linux root as drive Z:.
args=(--database "$where" --identity Admin.Acme --snapin tarq.dll --snapin logpage.dll)

xvfb="" app=""
cleanup() {
  if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; wait "$app" 2>/dev/null || true; fi
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
}
trap cleanup EXIT

if [ -n "${DISPLAY:-}" ] && [ -z "${ZELM_HEADLESS:-}" ]; then
  echo "zelmadmin.exe is open on $DISPLAY with tarq and logpage; close it to end."
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
