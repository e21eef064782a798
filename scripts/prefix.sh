#!/bin/sh
# Wine prefixes for tests and pictures.
#   prefix.sh template DIR         make a headless prefix (null display driver) once
#   prefix.sh clone TEMPLATE DIR   hard-link clone with a private registry (~0.1 s)
#   prefix.sh x11 TEMPLATE DIR     clone that draws through X11 (for screenshots)
set -e
cmd=$1; shift
quiet() { "$@" </dev/null >/dev/null 2>&1; }
case "$cmd" in
template)
  dir=$1
  # A prefix works only with the Wine that made it: the version and which
  # widths are installed (a prefix made before 32-bit Wine was added, or after
  # it was removed, cannot start programs). Bump the suffix when the
  # template's settings change.
  widths=""
  for w in /usr/lib/wine/wine /usr/lib/wine/wine64; do
    [ -x "$w" ] && widths="$widths ${w##*/}"
  done
  stamp="$(wine --version 2>/dev/null)$widths t3"
  if [ -f "$dir/.stamp" ] && [ "$(cat "$dir/.stamp")" = "$stamp" ]; then exit 0; fi
  rm -rf "$dir"; mkdir -p "$dir"
  WINEPREFIX=$(cd "$dir" && pwd); export WINEPREFIX WINEDEBUG=-all
  unset DISPLAY
  quiet wineboot -i
  quiet wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
  # A crashing test must end at once, not wait in the crash debugger until its
  # timeout: a debugger that cannot start makes Wine end the process.
  quiet wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d 'no-crash-debugger' /f
  quiet wineserver -w
  # Prove the prefix starts programs of each installed width before anything
  # relies on it; a broken one is said so here, not by every test later.
  check() {
    if ! quiet wine "$@"; then
      echo "prefix.sh: Wine cannot start $1 in the new prefix $dir (installed: $stamp)" >&2
      quiet wineserver -k || true
      exit 1
    fi
  }
  check 'C:\windows\system32\cmd.exe' /c exit
  # 32-bit programs need the 32-bit loader (package wine32:i386).
  if [ -x /usr/lib/wine/wine ]; then check 'C:\windows\syswow64\cmd.exe' /c exit; fi
  quiet wineserver -w
  echo "$stamp" >"$dir/.stamp"
  ;;
clone|x11)
  tpl=$1 dir=$2
  # A server still running on an old clone would keep serving its stale registry.
  if [ -d "$dir" ]; then WINEPREFIX=$(cd "$dir" && pwd) quiet wineserver -k || true; fi
  rm -rf "$dir"; mkdir -p "$(dirname "$dir")"
  cp -al "$tpl" "$dir"
  for f in "$tpl"/*.reg; do rm -f "$dir/${f##*/}"; cp -p "$f" "$dir/"; done
  if [ "$cmd" = x11 ]; then
    WINEPREFIX=$(cd "$dir" && pwd); export WINEPREFIX WINEDEBUG=-all
    quiet wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f
    quiet wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    quiet wineserver -w
  fi
  ;;
*) echo "usage: prefix.sh template DIR | clone TEMPLATE DIR | x11 TEMPLATE DIR" >&2; exit 2 ;;
esac
