#!/bin/sh
# check_snapin_binary.sh OBJDUMP SNAPIN.DLL EXPORT...
# A snap-in imports the directory client by ordinal only (and the request
# client, once it uses it, too), never links a host library (it looks the
# host's functions up by name at run time), and exports every EXPORT by name.
objdump=$1 binary=$2; shift 2
table=$("$objdump" -p "$binary") || exit 1
rc=0
echo "$table" | awk '
  /DLL Name:/ { dll = tolower($3); next }
  /^[ \t]*$/ { dll = "" }
  /Hint\/Ord/ { next }
  dll == "dsclient32.dll" || dll == "netcalls32.dll" {
    n[dll]++
    if ($NF != "<none>") { print dll ": named import " $NF; bad = 1 }
  }
  END {
    if (!n["dsclient32.dll"]) { print "dsclient32.dll: nothing imported"; bad = 1 }
    for (d in n) print d ": " n[d] " imports, all by ordinal"
    exit bad
  }' || rc=1
for host in hostext32.dll hostvctl95.dll hostcomn95.dll hostcore95.dll; do
  if echo "$table" | grep -qi "DLL Name: $host"; then echo "links $host"; rc=1; fi
done
names=$(echo "$table" | sed -n '/Ordinal\/Name Pointer/,/^$/p')
for e in "$@"; do
  if echo "$names" | grep -q "\] $e\$"; then echo "exports $e"; else echo "does not export $e"; rc=1; fi
done
exit $rc
