#!/bin/sh
# check_ordinal_imports.sh OBJDUMP BINARY DLL...
# Fails unless BINARY imports something from each DLL and imports it by
# ordinal only (no function names), as the snap-ins must import their clients.
objdump=$1 binary=$2; shift 2
table=$("$objdump" -p "$binary") || exit 1
rc=0
for dll in "$@"; do
  echo "$table" | awk -v dll="$dll" '
    /DLL Name:/ { inside = (tolower($3) == tolower(dll)); next }
    inside && /^[ \t]*$/ { inside = 0 }
    inside && /Hint\/Ord/ { next }
    inside { n++; if ($NF != "<none>") { named++; print "named import: " $NF } }
    END {
      if (n == 0) { print dll ": nothing imported"; exit 1 }
      if (named) exit 1
      print dll ": " n " imports, all by ordinal"
    }' || rc=1
done
exit $rc
