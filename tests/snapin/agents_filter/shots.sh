#!/bin/sh
# Pictures of the anti-spam and alias agents' pages under Xvfb with Wine's
# X11 driver:
#   tests/snapin/agents_filter/shots.sh BUILD_DIR [OUT_DIR] [DISPLAY_NUMBER]
set -e
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "$1" && pwd)
out=${2:-$root/docs/shots}
num=${3:-71}
prefix=$root/build/wine/spam-x11
mkdir -p "$out"
[ -d "$prefix" ] || "$root/scripts/prefix.sh" x11 "$root/build/wine/template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY=:$num
unset ZELM_DIRECTORY ZELM_IDENTITY
Xvfb ":$num" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wineserver -k >/dev/null 2>&1 || true' EXIT
until xdpyinfo >/dev/null 2>&1; do sleep 0.2; done

mkdir -p "$prefix/drive_c/zelm-shots"
db='C:\zelm-shots\filter.zdb'
(cd "$build/bin" && wine filter_shots.exe make "$db" </dev/null)

shoot() { # title file args...
  title=$1 file=$2; shift 2
  (cd "$build/bin" && exec wine filter_shots.exe "$db" "$@" </dev/null >/dev/null 2>&1) &
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
shoot "Properties for AntiSpam Agent.MS1.Internet Services" agent-antispam-configuration.png antispam
shoot "Properties for Alias Agent.MS1.Internet Services" agent-alias-configuration.png alias 0
shoot "Properties for Alias Agent.MS1.Internet Services" agent-alias-local.png alias 1
shoot "Properties for Alias Agent.MS1.Internet Services" agent-alias-global.png alias 2
echo "pictures in $out"
