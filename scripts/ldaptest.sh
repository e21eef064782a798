#!/usr/bin/env bash
# One slapd for a CTest run of the Windows suites' LDAP variants (".ldap"):
# an empty directory on a free port of a loopback address, which each test
# then clears and seeds with its own tree (tests/support/test_directory.h).
# The variants take turns on it.
#
#   scripts/ldaptest.sh start DIR [NATIVE_BIN]   DIR/url, DIR/admin.pw
#   scripts/ldaptest.sh stop DIR
#
# NATIVE_BIN: the native build's bin folder (ldapgen; default
# build/native/bin). With ZELM_NO_SLAPD=1 nothing starts and the variants
# skip, saying so. ZELM_LDAP_TEST_ADDR picks the loopback address.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

die() { echo "ldaptest.sh: $*" >&2; exit 1; }

start() {
  local dir=$1 bin=${2:-$root/build/native/bin}
  [ -d "$dir" ] && "$root/scripts/slapd.sh" stop "$dir"
  rm -rf "$dir"
  mkdir -p "$dir"
  if [ "${ZELM_NO_SLAPD:-}" = 1 ]; then
    echo "ZELM_NO_SLAPD=1: no slapd, the LDAP variants skip"
    return 0
  fi
  [ -x "$bin/ldapgen" ] || die "build the native tree first ($bin/ldapgen)"
  : >"$dir/empty.txt"
  "$bin/ldapgen" ldif "${ZELM_LDAP_BASE:-o=Zelm}" "$dir/empty.txt" >"$dir/empty.ldif"
  local addr=${ZELM_LDAP_TEST_ADDR:-127.0.0.1} port try
  # Another program may take the free port before slapd does: try again.
  for try in 1 2 3; do
    port=$(python3 -c 'import socket, sys
s = socket.socket(); s.bind((sys.argv[1], 0)); print(s.getsockname()[1])' "$addr")
    if ZELM_NATIVE=$(cd "$bin/.." && pwd) ZELM_LDAP_LDIF=$dir/empty.ldif \
         "$root/scripts/slapd.sh" start "$dir" "$addr" "$port"; then
      echo "slapd for the LDAP variants: $(cat "$dir/url")"
      return 0
    fi
    rm -rf "$dir/db"
  done
  die "slapd did not start"
}

case "${1:-}" in
  start) [ $# -ge 2 ] || die "usage: ldaptest.sh start DIR [NATIVE_BIN]"; start "$2" "${3:-}" ;;
  stop)
    [ $# -eq 2 ] || die "usage: ldaptest.sh stop DIR"
    "$root/scripts/slapd.sh" stop "$2"
    rm -rf "$2"
    ;;
  *) die "usage: ldaptest.sh start DIR [NATIVE_BIN] | stop DIR" ;;
esac
