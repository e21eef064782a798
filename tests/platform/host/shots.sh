#!/bin/sh
# Pictures of the administration host under Xvfb with Wine's X11 driver, on
# the sample directory with the test snap-in loaded:
#   tests/platform/host/shots.sh BUILD_DIR [OUT_DIR] [DISPLAY_NUMBER]
set -e
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "$1" && pwd)
out=${2:-$root/docs/shots}
num=${3:-79}
prefix=$root/build/wine/host-x11
mkdir -p "$out"
[ -d "$prefix" ] || "$root/scripts/prefix.sh" x11 "$root/build/wine/template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY=:$num
unset ZELM_DIRECTORY ZELM_IDENTITY
Xvfb ":$num" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wineserver -k >/dev/null 2>&1 || true' EXIT
until xdpyinfo >/dev/null 2>&1; do sleep 0.2; done
# A few folders on the sample file server's first volume, for the browser.
sys=$prefix/drive_c/users/$(id -un)/AppData/Roaming/Zelm/volumes/FS1/SYS
mkdir -p "$sys/mail/queue" "$sys/logs" "$sys/system"

shoot() { # title file program args...
  title=$1 file=$2; shift 2
  (cd "$build/bin" && exec wine "$@" </dev/null >/dev/null 2>&1) &
  app=$!
  n=0
  until xwininfo -name "$title" 2>/dev/null | grep -q IsViewable; do
    n=$((n + 1)); [ $n -lt 150 ] || { echo "no window '$title'" >&2; exit 1; }
    sleep 0.2
  done
  sleep 1
  xwd -name "$title" -silent | convert xwd:- "$out/$file"
  kill $app 2>/dev/null || true
  wait $app 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
}
shoot "Directory Administrator" host-main.png zelmadmin.exe --snapin hosttestsnap.dll --select Joe.Sales.Acme
shoot "Properties for Joe.Sales.Acme" host-sheet-mved.png host_shots.exe sheet
shoot "Select Postmaster" host-browser.png host_shots.exe browser
shoot "Select Server Work Directory" host-fs-browser.png host_shots.exe files
echo "pictures in $out"
