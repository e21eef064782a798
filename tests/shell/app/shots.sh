#!/bin/sh
# Pictures of the details pane and the server dialog, taken under Xvfb with
# Wine's X11 driver:  tests/shell/app/shots.sh BUILD_DIR [OUT_DIR] [DISPLAY_NUMBER]
set -e
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "$1" && pwd)
out=${2:-$root/docs/shots}
num=${3:-73}
prefix=$root/build/wine/app-x11
mkdir -p "$out"
[ -d "$prefix" ] || "$root/scripts/prefix.sh" x11 "$root/build/wine/template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY=:$num
Xvfb ":$num" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wineserver -k >/dev/null 2>&1 || true' EXIT
until xdpyinfo >/dev/null 2>&1; do sleep 0.2; done

shoot() { # title file mode
  wine "$build/bin/shellapp_demo.exe" "$3" 20 </dev/null >/dev/null 2>&1 &
  app=$!
  n=0
  until xwininfo -name "$1" 2>/dev/null | grep -q IsViewable; do
    n=$((n + 1)); [ $n -lt 150 ] || { echo "no window '$1'" >&2; exit 1; }
    sleep 0.2
  done
  sleep 1
  xwd -name "$1" -silent | convert xwd:- "$out/$2"
  kill $app 2>/dev/null || true
  wait $app 2>/dev/null || true
}
shoot "ZELM Management" details.png details
shoot "Enter Address" select-server.png select
echo "pictures in $out"
