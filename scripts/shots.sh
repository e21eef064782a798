#!/usr/bin/env bash
# Pictures of the store shell browsing a store: zelmsh.exe under Wine's X11
# driver on a virtual screen (Xvfb), clicked through by zelmsh_pilot.exe.
#   scripts/shots.sh HOST [OUT_DIR]
# A store server must be serving HOST:999 with the demo store (users alice,
# bob, carol). Writes zelmsh-server.png, zelmsh-user.png, zelmsh-mailbox.png
# and zelmsh-message.png to OUT_DIR (default build/shots), and the text the
# window showed for each beside them (*.txt). ZELM_SHOTS_NAME replaces the
# pictures' "zelmsh" and ZELM_SHOTS_ROW (default 3) picks alice's message.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
host=${1:?usage: scripts/shots.sh HOST [OUT_DIR]}
out=${2:-$root/build/shots}
win_bin=${ZELM_WIN_BIN:-$root/build/win/bin}
prefix=${ZELM_SHOTS_PREFIX:-$root/build/wine/shots}
for exe in zelmsh.exe zelmsh_pilot.exe; do
  [ -f "$win_bin/$exe" ] || { echo "shots.sh: $win_bin/$exe is not built" >&2; exit 1; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

# A display of our own: the first number without a server or a lock.
num=91
while [ -e "/tmp/.X11-unix/X$num" ] || [ -e "/tmp/.X$num-lock" ]; do num=$((num + 1)); done

# A fresh prefix each time: a clean registry, drawn through X11.
"$root/scripts/prefix.sh" x11 "$root/build/wine/template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY=:$num
xvfb="" app=""
cleanup() {
  if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; wait "$app" 2>/dev/null || true; fi
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
}
trap cleanup EXIT
Xvfb ":$num" -screen 0 1280x800x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { echo "shots.sh: Xvfb did not start on :$num" >&2; exit 1; }

# Connect at start-up to HOST with every view on, in a window of a good size.
reg=$prefix/drive_c/zelmsh-shots.reg
cat >"$reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Quorvel\\ZELMShell\\1.0]
"Last Connected"="$host"
"Autoconnect"="On"
"View Flags"="7"
"DetailsSplit Percent"="52"
"TreeSplit Percent"="42"

[HKEY_CURRENT_USER\\Software\\Quorvel\\ZELMShell\\1.0\\WindowPositions]
"ZELM Shell Main Window"="0,0,1040,700,0"
REG
wine regedit /S 'C:\zelmsh-shots.reg' </dev/null >/dev/null 2>&1

wine "$win_bin/zelmsh.exe" </dev/null >/dev/null 2>&1 &
app=$!
pilot() {
  local rc=0
  wine "$win_bin/zelmsh_pilot.exe" "$@" </dev/null || rc=$?
  [ $rc -eq 0 ] || echo "shots.sh: zelmsh_pilot.exe $1 failed with $rc: no picture of that step" >&2
  return $rc
}

shoot() { # name: picture and text of what the window shows now
  sleep 0.5  # the panes repaint on the program's next turn
  xwd -name "ZELM Management" -silent | convert xwd:- "$out/$1.png"
  pilot snapshot >"$out/$1.txt"
  echo "  $out/$1.png"
}

echo "Pictures of zelmsh.exe browsing $host:"
pilot tree "$host" "Server Capabilities"
name=${ZELM_SHOTS_NAME:-zelmsh}
row=${ZELM_SHOTS_ROW:-3}
shoot "$name-server"
pilot tree "$host>alice" "User message-store information"
shoot "$name-user"
pilot tree "$host>alice>INBOX" "Mailbox information"
shoot "$name-mailbox"
pilot list "$row" "Message $((row + 1)) details"
shoot "$name-message"
pilot close
wait "$app" 2>/dev/null || true
app=""
