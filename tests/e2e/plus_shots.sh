#!/usr/bin/env bash
# Pictures of the store shell's repair, messages dragged out of the list,
# quick help and About: zelmsh.exe under Wine's X11 driver on a virtual
# screen, driven by zelmsh_pilot.exe, against the store server on the sample
# store with faults to repair (with-damaged-store.sh).
#   tests/e2e/plus_shots.sh [OUT_DIR]        (default docs/shots)
# ZELM_WIN_BIN and ZELM_NATIVE_BIN name the builds (default build/win/bin
# and build/native/bin).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
win_bin=${ZELM_WIN_BIN:-$root/build/win/bin}
native_bin=${ZELM_NATIVE_BIN:-$root/build/native/bin}
out=${1:-$root/docs/shots}
if [ -z "${ZELM_STORE_HOST:-}" ]; then
  exec "$root/tests/e2e/with-damaged-store.sh" --server "$native_bin/zelmstored" -- "$0" "$@"
fi
host=$ZELM_STORE_HOST
mkdir -p "$out"
out=$(cd "$out" && pwd)
prefix=${ZELM_SHOTS_PREFIX:-$root/build/wine/plus-x11}
work=$(mktemp -d /tmp/zelm-plus-shots.XXXXXX)

num=77
while [ -e "/tmp/.X11-unix/X$num" ] || [ -e "/tmp/.X$num-lock" ]; do num=$((num + 1)); done
"$root/scripts/prefix.sh" x11 "$root/build/wine/template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY=:$num
xvfb="" app=""
cleanup() {
  if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; wait "$app" 2>/dev/null || true; fi
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb ":$num" -screen 0 1400x800x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

cat >"$prefix/drive_c/zelmsh-plus-shots.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Quorvel\\ZELMShell\\1.0]
"Last Connected"="$host"
"Autoconnect"="On"
"View Flags"="4"
"DetailsSplit Percent"="55"
"TreeSplit Percent"="45"

[HKEY_CURRENT_USER\\Software\\Quorvel\\ZELMShell\\1.0\\WindowPositions]
"ZELM Shell Main Window"="0,0,900,560,0"
"Repair Progress Dialog"="250,200,0,0,0"
REG
wine regedit /S 'C:\zelmsh-plus-shots.reg' </dev/null >/dev/null 2>&1
wine "$win_bin/zelmsh.exe" </dev/null >/dev/null 2>&1 &
app=$!
pilot() { wine "$win_bin/zelmsh_pilot.exe" "$@" </dev/null; }
# The screen's top-left w x h, with what the program shows settled.
shoot() { # name w h
  sleep 0.6
  xwd -root -silent | convert xwd:- -crop "$2x$3+0+0" +repage "$out/$1.png"
  echo "  $out/$1.png"
}

# Xvfb's root image leaves windows shown from a nested loop or without
# activation black: such a window's own image is laid over the screen's
# where it stands.
overlay() { # name w h xwininfo-selector...
  local name=$1 w=$2 h=$3
  shift 3
  sleep 0.6
  xwd -root -silent | convert xwd:- "$work/screen.png"
  if xwininfo "$@" 2>/dev/null | grep -q IsViewable; then
    xwd "$@" -silent | convert xwd:- "$work/window.png"
    local at
    at=$(xwininfo "$@" |
      awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print "+" x "+" y}')
    convert "$work/screen.png" "$work/window.png" -geometry "$at" -composite "$work/screen.png"
  fi
  convert "$work/screen.png" -crop "${w}x$h+0+0" +repage "$out/$name.png"
  echo "  $out/$name.png"
}

echo "Pictures of zelmsh.exe repairing and dragging on $host:"
pilot tree "$host>alice" "User message-store information"
pilot tree "$host>alice>INBOX" "Mailbox information"

# Quick help: the pointer resting on a mailbox. The pop-up is titled with
# the text it shows.
tip=""
for _ in 1 2 3; do
  pilot hover "$host>alice>INBOX"
  sleep 1.5
  tip=$(xwininfo -root -tree | awk '/"INBOX: / {print $1; exit}')
  [ -n "$tip" ] && break
done
if [ -n "$tip" ]; then
  overlay zelmsh-quickhelp 560 320 -id "$tip"
else
  echo "  (no quick help showed)"
fi

# Repair of the selected mailbox, finished.
pilot menu 102
pilot button "Select Repair Type..." 1
# The sample store is small: the repair has ended by the time the dialog
# has painted, and the dialog shows its summary.
for _ in $(seq 1 100); do
  xwininfo -name "Repair in progress..." 2>/dev/null | grep -q IsViewable && break
  sleep 0.1
done
overlay zelmsh-repair 900 560 -name "Repair in progress..."
pilot button "Repair in progress..." 2
sleep 0.5

# Two messages dragged onto a window that takes files, pointer drawn in.
pilot list 0 "Message 1 details"
pilot shiftlist 2
pilot drag 1 2500 >"$work/drag.txt" &
dragger=$!
for _ in $(seq 1 100); do grep -q '^at ' "$work/drag.txt" 2>/dev/null && break; sleep 0.1; done
sleep 0.8
read -r _ x y < <(grep '^at ' "$work/drag.txt")
xwd -root -silent | convert xwd:- "$work/screen.png"
convert "$root/resources/zelmsh/dropmultiple.cur" "$work/cursor.png"
convert "$work/screen.png" "$work/cursor.png" -geometry "+$x+$y" -composite \
  -crop 1200x560+0+0 +repage "$out/zelmsh-drag.png"
echo "  $out/zelmsh-drag.png"
wait "$dragger" || true
sed -n 's/^dropped /  dropped: /p' "$work/drag.txt"

# About.
pilot menu 112
sleep 1
xwd -name "About ZELM Management" -silent | convert xwd:- "$out/zelmsh-about.png"
echo "  $out/zelmsh-about.png"
pilot button "About ZELM Management" 1

pilot close
wait "$app" 2>/dev/null || true
app=""
