#!/bin/sh
# Pictures of the web-mail agent's pages and the connection manager's page
# under Xvfb with Wine's X11 driver:
#   tests/snapin/agents_web/shots.sh BUILD_DIR DSADM [OUT_DIR] [DISPLAY_NUMBER]
set -e
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "$1" && pwd)
dsadm=$2
out=${3:-$root/docs/shots}
num=${4:-73}
prefix=$root/build/wine/web-x11
mkdir -p "$out"
[ -d "$prefix" ] || "$root/scripts/prefix.sh" x11 "$root/build/wine/template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY=:$num
Xvfb ":$num" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wineserver -k >/dev/null 2>&1 || true' EXIT
until xdpyinfo >/dev/null 2>&1; do sleep 0.2; done

dir=$prefix/drive_c/zelm-shots
mkdir -p "$dir"
rm -f "$dir/web.zdb"
cat >"$dir/web.txt" <<'TREE'
supervisor Admin.Acme
identity Admin.Acme
object Acme : Organization
object Admin.Acme : User
object Internet Services : Quorvel:Services
object MS1.Internet Services : Quorvel:Messaging Server
object WebMail Agent.MS1.Internet Services : Quorvel:WebMail Agent
    Quorvel:Port = 80
    Quorvel:SSL Port = 443
    Quorvel:Configuration = Behaviour:32621
    Quorvel:Configuration = MsgPerPage:10
    Quorvel:Configuration = Name:TARQ WebMail
    Quorvel:Addressbook Config = Entries:50 Flags:7
    Quorvel:Addressbook URL System = ldap://directory.acme.example
    Quorvel:Advertising Config = URL:http://ads.acme.example/top.html
    Quorvel:Advertising Config = Location:1
    Quorvel:Message Limit = 10
    TARQ:Recipient Limit = 50
    Quorvel:Color = Section: ff0000 00ff00 Arial
object Connection Manager.MS1.Internet Services : TARQ:ConnMgr Agent
    Quorvel:Timeout = 15
TREE
"$dsadm" create "$dir/web.zdb" "$dir/web.txt" >/dev/null
export ZELM_DIRECTORY='C:\zelm-shots\web.zdb' ZELM_IDENTITY=Admin.Acme

shoot() { # object template file
  (cd "$build/bin" && exec wine web_shots.exe "$1" "$2" </dev/null >/dev/null 2>&1) &
  app=$!
  title="Properties for $1"
  n=0
  until xwininfo -name "$title" 2>/dev/null | grep -q IsViewable; do
    n=$((n + 1)); [ $n -lt 150 ] || { echo "no window '$title'" >&2; exit 1; }
    sleep 0.2
  done
  sleep 1
  xwd -name "$title" -silent | convert xwd:- "$out/$3"
  kill $app 2>/dev/null || true
  wait $app 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
}
web="WebMail Agent.MS1.Internet Services"
shoot "$web" WebMailIdent agent-webmail-configuration.png
shoot "$web" WebMailConfig agent-webmail-interface.png
shoot "$web" WebMailAppearance agent-webmail-appearance.png
shoot "$web" WebMailAddrBook agent-webmail-addressbook.png
shoot "Connection Manager.MS1.Internet Services" ConnManagerConfig agent-connmgr-configuration.png
echo "pictures in $out"
