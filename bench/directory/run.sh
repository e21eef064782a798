#!/usr/bin/env bash
# Directory engine: per-operation cost at 1,000, 10,000 and 100,000 objects.
# Goal: each operation's cost flat (within 2x) across the sizes; a replace at
# 100,000 objects under 20 ms including its durable flush.
set -euo pipefail
root=${ZELM_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
native=${ZELM_NATIVE:-$root/build/native}
exe=$native/bin/dir_bench
if [ ! -x "$exe" ]; then
  echo "dir_bench is not built in $native" >&2
  exit 1
fi
# The databases go beside the build, on the disk the directory would use
# (a tmpfs would make the durable flushes free).
work=$(mktemp -d "$native/dir-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$exe" "$work" "$@"
# The same tree on slapd, when it is installed (ZELM_LDAP_BENCH_ADDR and
# _PORT choose where it listens).
if [ -x /usr/sbin/slapd ] && [ -x "$native/bin/ldap_bench" ]; then
  ZELM_NATIVE=$native "$native/bin/ldap_bench" "$work" "${ZELM_LDAP_BENCH_ADDR:-127.0.0.1}" \
    "${ZELM_LDAP_BENCH_PORT:-38999}" "$@"
fi
