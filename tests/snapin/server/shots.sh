#!/bin/sh
# Pictures of the messaging server's creation dialog and its five pages in
# the administration host's code with tarq.dll, under Xvfb with Wine's X11
# driver, beside the native store server (so the statistics are its own):
#   tests/snapin/server/shots.sh BUILD_DIR [OUT_DIR] [DISPLAY_NUMBER]
# The directory and the server come from tests/e2e/with-directory-server.sh;
# ZELM_NATIVE_BIN names the native build's bin folder.
set -e
root=$(cd "$(dirname "$0")/../../.." && pwd)
if [ "${1:-}" != --inner ]; then
  build=$(cd "$1" && pwd)
  out=${2:-$root/docs/shots}
  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  exec "$root/tests/e2e/with-directory-server.sh" --bin "${ZELM_NATIVE_BIN:-$root/build/native/bin}" \
    -- "$0" --inner "$build" "$out" "${3:-76}"
fi
build=$2 out=$3 num=$4
native=${ZELM_NATIVE_BIN:-$root/build/native/bin}
# The server's database, from the Windows path the script hands on.
db=$(printf '%s' "$ZELM_DIRECTORY" | sed 's/^[Zz]://; s#\\#/#g')
set_value() { "$native/dsadm" set "$db" "$@" >/dev/null; }
ms="MS1.Internet Services"
set_value "$ms" "Quorvel:Postmaster" "Admin.Acme"
set_value "$ms" "Quorvel:Official Name" "mail.acme.example"
set_value "$ms" "Quorvel:Work Directory" "FS1/MAIL:zelm"
set_value "$ms" "Quorvel:Resolver" "10.0.0.53" "10.0.0.54"
set_value "$ms" "TARQ:ConnMgr Config" "1"
set_value "$ms" "TARQ:ConnMgr" "Connection Manager.MS1.Internet Services"
set_value "$ms" "Quorvel:SSL Options" "5"
set_value "$ms" "Quorvel:SNMP Organization" "Acme Corporation"
set_value "$ms" "Quorvel:SNMP Location" "Building 2, basement
Rack 14"
set_value "$ms" "Quorvel:SNMP Contact" "postmaster@acme.example"
set_value "$ms" "Quorvel:SNMP Name" "mail1"

prefix=$root/build/wine/msg-x11
[ -d "$prefix" ] || "$root/scripts/prefix.sh" x11 "$root/build/wine/template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY=:$num
Xvfb ":$num" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wineserver -k >/dev/null 2>&1 || true' EXIT
until xdpyinfo >/dev/null 2>&1; do sleep 0.2; done

shoot() { # title file wait args...
  title=$1 file=$2 pause=$3; shift 3
  (cd "$build/bin" && exec wine msgsrv_shots.exe "$@" </dev/null >/dev/null 2>&1) &
  app=$!
  n=0
  until xwininfo -name "$title" 2>/dev/null | grep -q IsViewable; do
    n=$((n + 1)); [ $n -lt 150 ] || { echo "no window '$title'" >&2; exit 1; }
    sleep 0.2
  done
  sleep "$pause"
  xwd -name "$title" -silent | convert xwd:- "$out/$file"
  kill $app 2>/dev/null || true
  wait $app 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
}
sheet="Properties for $ms"
shoot "Create Messaging Server" msgsrv-create.png 1 create
shoot "$sheet" msgsrv-identification.png 1 page 0
shoot "$sheet" msgsrv-security.png 1 page 1
shoot "$sheet" msgsrv-statistics.png 4 page 2
shoot "$sheet" msgsrv-snmp.png 1 page 3
shoot "$sheet" msgsrv-status.png 1 page 4
echo "pictures in $out"
