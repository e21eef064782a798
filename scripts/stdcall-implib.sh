#!/bin/sh
# 32-bit Windows: remakes a DLL's import library so callers linking against it
# find its __stdcall functions under their decorated symbols (Name@N) while
# the DLL itself exports the plain names a host looks up by name.
#   stdcall-implib.sh NM DLLTOOL DEF DLL IMPLIB
set -eu
nm=$1 dlltool=$2 def=$3 dll=$4 implib=$5
decorated=$implib.def
# The DLL keeps its symbol table (it is stripped only when packed for
# shipping): each "_Name@N" there gives the decoration of export Name.
"$nm" "$dll" | awk '$2 == "T" && $3 ~ /^_[A-Za-z0-9_]+@[0-9]+$/ { print substr($3, 2) }' >"$decorated.syms"
awk -v syms="$decorated.syms" '
  BEGIN { while ((getline s < syms) > 0) { n = s; sub(/@.*/, "", n); at[n] = s } }
  /^[ \t]*(LIBRARY|EXPORTS|;|$)/ { print; next }
  { name = $1; rest = $0; sub(/^[ \t]*[^ \t]+/, "", rest)
    print "    " ((name in at) ? at[name] : name) rest }
' "$def" >"$decorated"
rm -f "$decorated.syms"
"$dlltool" --kill-at --input-def "$decorated" --dllname "$(basename "$dll")" --output-lib "$implib"
