#!/usr/bin/env bash
# Builds what is missing and writes dist/zelm-windows.zip: the store shell,
# the administration host with its library, the directory and request
# clients, both snap-ins and a README on running them on Windows, in a
# folder per width: 32-bit (i686, build/win-i686) and 64-bit (x86_64,
# build/win).
#   scripts/dist.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-$(nproc)}
out=$root/dist
name=zelm-windows

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name"

# The binaries, by target; the store shell goes in when the tree has it.
required=(zelmadmin hostext32 dsclient32 netcalls32 tarq logpage)
optional=(zelmsh)
for arch in i686 x86_64; do
  case $arch in
    i686) build=$root/build/win-i686 folder=32-bit ;;
    x86_64) build=$root/build/win folder=64-bit ;;
  esac
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch-posix.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo
  fi
  targets=$(cmake --build "$build" --target help | sed -n 's/^\([A-Za-z0-9_]*\): .*/\1/p')
  has() { grep -qx "$1" <<<"$targets"; }
  wanted=()
  for t in "${required[@]}"; do
    has "$t" || { echo "dist.sh: $build has no target $t (limited by ZELM_ONLY?)" >&2; exit 1; }
    wanted+=("$t")
  done
  for t in "${optional[@]}"; do has "$t" && wanted+=("$t"); done
  cmake --build "$build" -j "$jobs" --target "${wanted[@]}"
  mkdir -p "$stage/$name/$folder"
  for t in "${wanted[@]}"; do
    case $t in zelmadmin|zelmsh) file=$t.exe ;; *) file=$t.dll ;; esac
    # Release copies: the debugging information stays in the build tree.
    "$arch-w64-mingw32-strip" -o "$stage/$name/$folder/$file" "$build/bin/$file"
  done
done

cat >"$stage/$name/README-windows.txt" <<'EOF'
Zelm administration tools for Windows
=====================================

Unpack the folder anywhere and run the programs from one of its two folders;
nothing needs to be installed. Every file carries its own C++ runtime.

  32-bit\   32-bit Windows binaries (i686). The snap-ins here are the ones an
            administration host that is a 32-bit program loads: take these
            for such a host, on 32-bit and 64-bit Windows alike.
  64-bit\   the same programs and libraries as 64-bit binaries (x86_64), for
            64-bit Windows and a 64-bit host.

A host loads only snap-ins of its own width: keep zelmadmin.exe, hostext32.dll,
tarq.dll, logpage.dll, dsclient32.dll and netcalls32.dll of one folder together.
zelmsh.exe runs alone; either width does.

  zelmsh.exe      the store shell: browses a message store (when included)
  zelmadmin.exe   the directory administration host
  hostext32.dll   the host's library the snap-ins bind to
  tarq.dll        the messaging snap-in
  logpage.dll     the syslog snap-in
  dsclient32.dll  the directory client (used by the host and the snap-ins)
  netcalls32.dll  the server request client (tells running servers of changes)


The directory database
----------------------
The host and the snap-ins keep all configuration in one directory database
file, found in this order:

  1. the environment variables ZELM_DIRECTORY (the database file) and
     ZELM_IDENTITY (the full name of the user to act as, e.g.
     Manager.Sales.Acme);
  2. the string values "Database" and "Identity" under
     HKEY_CURRENT_USER\Software\Zelm\Directory, then the same key under
     HKEY_LOCAL_MACHINE;
  3. otherwise %APPDATA%\Zelm\directory.zdb, created with a small sample tree
     (organization Acme, the container "Internet Services") the first time it
     is used. Its default identity is Admin.Acme, who may change everything.

Several programs may use the same file at once; every change is on disk
before it is reported done.


Starting the host with the snap-ins
-----------------------------------
From the folder of your width:

  zelmadmin.exe --snapin tarq.dll --snapin logpage.dll

Other options: --database FILE and --identity USER (instead of the settings
above), --sign-in (ask for the identity at start), --select NAME (show an
object), --open NAME (open its pages), --no-config-snapins.

To load the snap-ins on every start, put their paths into the value
"Snap-ins" under HKEY_CURRENT_USER\Software\Zelm\Admin (a multi-string, or
one string with ";" between the libraries).

In the host: Enter opens an object's pages, Insert creates an object in the
selected container, Delete deletes, F5 refreshes, Backspace goes up.

Language libraries and help: the snap-ins look for TARQRES.DLL, LOGPGRES.DLL
and tarq.hlp in the folder the host names: the value "NLS Folder" under
HKEY_CURRENT_USER\Software\Zelm\Admin, else the "nls" folder beside
hostext32.dll, with the value "Language" naming a subfolder to try first.
Without them the snap-ins use their own texts and pictures, and look for
tarq.hlp beside tarq.dll.

The snap-in setting "Auto QMD Reload" (HKEY_CURRENT_USER\Software\Halcyn\
Tarqsuite\2.0, "On" or "Off") says whether running messaging servers are told
of configuration changes; the snap-in writes it when the host closes.


The store shell
---------------
  zelmsh.exe

Connect with Alt+C and type the message store's host name or address; the
store answers on TCP port 999. The shell lists the store's users, their
mailboxes and messages; Alt+H, Alt+B and Alt+D show or hide the header, the
body and the details of what is selected.
Its preferences and recent servers are kept under
HKEY_CURRENT_USER\Software\Quorvel\ZELMShell\1.0.
EOF
# Windows line ends for Notepad.
sed -i 's/$/\r/' "$stage/$name/README-windows.txt"

mkdir -p "$out"
rm -f "$out/$name.zip"
(cd "$stage" && zip -q -r -X "$out/$name.zip" "$name")
echo "wrote $out/$name.zip:"
unzip -l "$out/$name.zip" | sed -n '4,$p'
