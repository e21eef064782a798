#!/bin/sh
# Pictures of the administration host with tarq.dll and logpage.dll loaded,
# under Xvfb with Wine's X11 driver, on a directory holding an agent of every
# class (binding_shot_directory):
#   tests/snapin/binding/shots.sh BUILD_DIR [OUT_DIR] [DISPLAY_NUMBER]
# host-tarq.png: the agents of a server the identity may change (class
# icons); host-tarq-readonly.png: those of one it may not (read-only icons).
set -e
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "$1" && pwd)
out=${2:-$root/docs/shots}
num=${3:-73}
prefix=$root/build/wine/bind-x11
mkdir -p "$out"
[ -d "$prefix" ] || "$root/scripts/prefix.sh" x11 "$root/build/wine/template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY=:$num
unset ZELM_DIRECTORY ZELM_IDENTITY
Xvfb ":$num" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wineserver -k >/dev/null 2>&1 || true' EXIT
until xdpyinfo >/dev/null 2>&1; do sleep 0.2; done

mkdir -p "$prefix/drive_c/zelm-shots"
(cd "$build/bin" && wine binding_shot_directory.exe 'C:\zelm-shots\directory.zdb' </dev/null)

shoot() { # file select
  file=$1 select=$2
  (cd "$build/bin" && exec wine zelmadmin.exe --database 'C:\zelm-shots\directory.zdb' \
      --identity Manager.Sales.Acme --no-config-snapins --snapin tarq.dll --snapin logpage.dll \
      --select "$select" </dev/null >/dev/null 2>&1) &
  app=$!
  n=0
  until xwininfo -name "Directory Administrator" 2>/dev/null | grep -q IsViewable; do
    n=$((n + 1)); [ $n -lt 150 ] || { echo "no host window" >&2; exit 1; }
    sleep 0.2
  done
  sleep 1
  xwd -name "Directory Administrator" -silent | convert xwd:- "$out/$file"
  kill $app 2>/dev/null || true
  wait $app 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
}
shoot host-tarq.png "ZELM Agent.MS1.Internet Services"
shoot host-tarq-readonly.png "ZELM Agent.MS2.Internet Services"
echo "pictures in $out"
