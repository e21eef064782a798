#!/usr/bin/env bash
# zelmsh.exe against a store that breaks its answers (hostile_store.py), under
# Xvfb with Wine's X11 driver: for each mode, how long the shell takes until
# it lets the broken answer go, its peak memory, and a picture.
#   bench/shell/hostile/run.sh [OUT_DIR] [MODE...]
# Loopback addresses 127.0.1.N and up (N = ZELM_HOSTILE_BASE, default 10),
# prefix ZELM_HOSTILE_PREFIX (default build/wine/hostile); pictures and a log
# go to OUT_DIR (default build/hostile).
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
out=${1:-$root/build/hostile}
shift || true
modes=("$@")
[ ${#modes[@]} -gt 0 ] || modes=(drip-show drip-repair endless-capa endless-users endless-show
                                   endless-info count-33bit endless-body bad-ainfo)
bin=$root/build/win/bin
prefix=${ZELM_HOSTILE_PREFIX:-$root/build/wine/hostile}
mkdir -p "$out"
out=$(cd "$out" && pwd)

num=81
while [ -e "/tmp/.X11-unix/X$num" ] || [ -e "/tmp/.X$num-lock" ]; do num=$((num + 1)); done
"$root/scripts/prefix.sh" x11 "$root/build/wine/template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY=:$num
xvfb="" app="" store=""
stop_app() {
  if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; wait "$app" 2>/dev/null || true; fi
  app=""
  if [ -n "$store" ]; then kill "$store" 2>/dev/null || true; wait "$store" 2>/dev/null || true; fi
  store=""
}
cleanup() {
  stop_app
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
}
trap cleanup EXIT
Xvfb ":$num" -screen 0 1280x800x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

pilot() { timeout 60 wine "$bin/zelmsh_pilot.exe" "$@" </dev/null 2>/dev/null || true; }
shoot() {
  sleep 0.7
  xwd -root -silent | convert xwd:- -crop 1060x720+0+0 "$out/$1.png"
  echo "  picture $out/$1.png"
}
# The Linux process of zelmsh.exe (this build's, so no other program's):
# Wine names it by its Unix path.
shell_pid() { pgrep -x -f "$bin/zelmsh.exe" | head -n 1 || true; }
peak_kb() { awk '/VmHWM/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
rss_kb() { awk '/VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
# Waits until the store's log has a line matching $1, at most $2 seconds.
await_log() {
  for _ in $(seq 1 $(($2 * 5))); do grep -q "$1" "$log" && return 0; sleep 0.2; done
  echo "  (no \"$1\" from the store within $2 s)"
}

i=${ZELM_HOSTILE_BASE:-10}
for mode in "${modes[@]}"; do
  host=127.0.1.$i
  i=$((i + 1))
  log=$out/$mode.log
  python3 "$root/bench/shell/hostile/hostile_store.py" "$host" "$mode" >"$log" 2>&1 &
  store=$!
  await_log serving 10
  reg=$prefix/drive_c/hostile.reg
  cat >"$reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Quorvel\\ZELMShell\\1.0]
"Last Connected"="$host"
"Autoconnect"="On"
"View Flags"="7"
"DetailsSplit Percent"="50"
"TreeSplit Percent"="45"

[HKEY_CURRENT_USER\\Software\\Quorvel\\ZELMShell\\1.0\\WindowPositions]
"ZELM Shell Main Window"="0,0,1060,720,0"
REG
  wine regedit /S 'C:\hostile.reg' </dev/null >/dev/null 2>&1
  wine "$bin/zelmsh.exe" </dev/null >/dev/null 2>&1 &
  app=$!
  sleep 2
  pid=$(shell_pid)
  echo "== $mode (zelmsh.exe pid $pid, $(rss_kb "$pid") KB at start)"
  case $mode in
    drip-show)
      pilot tree "$host>alice" "nothing" &
      sleep 8; shoot "$mode-during"
      await_log "client closed" 90 ;;
    drip-repair)
      pilot tree "$host>alice" "User message-store information"
      pilot tree "$host>alice>INBOX" "Mailbox information"
      pilot menu 102 &
      sleep 1; pilot button "Select Repair Type..." 1 &
      await_log begin 20; sleep 3; shoot "$mode-during"
      pilot button "Repair in progress..." 2
      sleep 1; shoot "$mode-cancelled"
      await_log "client closed" 90 ;;
    endless-users)
      await_log "client closed" 120 ;;
    endless-capa)
      pilot tree "$host" "Server Configuration"
      await_log "client closed" 120 ;;
    endless-show)
      pilot tree "$host>alice" "User message-store information"
      await_log "client closed" 120 ;;
    endless-info|count-33bit)
      pilot tree "$host>alice" "User message-store information"
      (pilot tree "$host>alice>INBOX" "Mailbox information" &)
      # A refused count ends with the shell's QUIT before the store sends more.
      await_log "client closed\|QUIT" 600
      # The pilot waiting for the details would ask for the whole list's text
      # again and again (each longer than it waits for): it has seen enough.
      pkill -f "$bin/zelmsh_pilot.exe" || true ;;
    endless-body|bad-ainfo)
      pilot tree "$host>alice" "User message-store information"
      pilot tree "$host>alice>INBOX" "Mailbox information"
      pilot list 0 "Message body:"
      await_log "begin" 30; await_log "client closed\|asked" 120 ;;
  esac
  sleep 2
  pilot wait "nothing" >/dev/null &
  shoot "$mode"
  pilot snapshot >"$out/$mode.txt"
  echo "  store: $(grep -v serving "$log" | tr '\n' ';')"
  echo "  peak $(peak_kb "$pid") KB, now $(rss_kb "$pid") KB"
  grep -A1 '^\[error\]' "$out/$mode.txt" | tail -n 1 | sed 's/^/  error part: /' || true
  pilot close
  stop_app
done
