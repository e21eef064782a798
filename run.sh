#!/usr/bin/env bash
# The project's one driver.
#   ./run.sh demo    install what is missing, build, and run the main job
#                    (--ldap: with the directory on a slapd of its own)
#   ./run.sh demo mail   the same with the whole mail system (Postfix, Dovecot)
#   ./run.sh test    install what is missing, build both sides, run every test
#   ./run.sh build   build both sides (Windows cross build and native build)
#   ./run.sh bench   build and run the benchmarks
#   ./run.sh deps    install the Debian packages only
#   ./run.sh dist    build the Windows side and write dist/zelm-windows.zip
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
# Windows builds: 64-bit (x86_64) in build/win, 32-bit (i686) in build/win-i686.
WIN=$ROOT/build/win
WIN_I686=$ROOT/build/win-i686
NATIVE=$ROOT/build/native
TEMPLATE=$ROOT/build/wine/template
export WINEPREFIX=$ROOT/build/wine/test
export WINEDEBUG=${WINEDEBUG:--all}
JOBS=${JOBS:-$(nproc)}

say() { printf '\n== %s\n' "$*"; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# Whether this machine's kernel starts 32-bit x86 programs: some virtual
# machines' kernels are built without that, and there 32-bit Wine cannot run
# at all. The probe is the smallest such program: it exits with status 0.
runs_32bit() {
  local probe=$ROOT/build/.probe32 ok=0
  mkdir -p "$ROOT/build"
  printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0\xb8\x01\0\0\0\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" >/dev/null 2>&1 && ok=1
  rm -f "$probe"
  [ "$ok" = 1 ]
}
NO_32BIT="this machine's kernel cannot start 32-bit x86 programs, so 32-bit Wine cannot run here"

deps() {
  local pkgs missing=() with32=1
  pkgs=$(grep -v '^#' scripts/packages.txt | tr -s ' \n' ' ')
  if ! runs_32bit; then
    with32=0
    if dpkg -s wine32:i386 >/dev/null 2>&1; then
      # Debian's wine starts every program through the 32-bit loader once it
      # is installed, so here it breaks the 64-bit programs too.
      echo "run.sh: wine32:i386 is installed, but $NO_32BIT; it stops 64-bit Wine as well. Remove it: apt-get purge wine32:i386" >&2
      exit 1
    fi
    pkgs=${pkgs//wine32:i386/}
  fi
  for p in $pkgs; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
  if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${missing[*]}"
    # 32-bit Wine (wine32:i386) comes from Debian's i386 architecture.
    if [ "$with32" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
      as_root dpkg --add-architecture i386
    fi
    # A mirror caught mid-sync can fail one index (seen: the security
    # suite's i386 list); what the others hold may still be enough.
    as_root apt-get update -q || echo "run.sh: apt-get update reported errors; going on with the lists it has" >&2
    # The mail daemons and the directory server come as packages whose
    # scripts would configure and start the machine's own services; the
    # project runs instances of its own, so keep those unconfigured and
    # stopped. A policy-rc.d already in place is the machine's, left alone.
    as_root debconf-set-selections <<'SEL'
postfix postfix/main_mailer_type select No configuration
slapd slapd/no_configuration boolean true
SEL
    local policy=/usr/sbin/policy-rc.d own_policy=0
    if [ ! -e "$policy" ]; then
      printf '#!/bin/sh\nexit 101\n' | as_root tee "$policy" >/dev/null
      as_root chmod 755 "$policy"
      own_policy=1
    fi
    local ok=1 install=(env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends)
    if ! as_root "${install[@]}" "${missing[@]}"; then
      # 32-bit libraries must match their 64-bit twins' versions exactly; when
      # one architecture's update list is missing, the release's own versions
      # (which every architecture's list has) still match.
      . /etc/os-release
      echo "run.sh: install failed; trying once more with the versions of the release itself ($VERSION_CODENAME)" >&2
      as_root "${install[@]}" -t "$VERSION_CODENAME" "${missing[@]}" || ok=0
    fi
    if [ "$own_policy" = 1 ]; then as_root rm -f "$policy"; fi
    [ "$ok" = 1 ] || { echo "run.sh: installing ${missing[*]} failed" >&2; exit 1; }
  fi
  # The store protocol's port is 999; let ordinary users bind it for tests.
  if [ "$(id -u)" != 0 ] && [ "$(sysctl -n net.ipv4.ip_unprivileged_port_start)" -gt 999 ]; then
    as_root sysctl -q -w net.ipv4.ip_unprivileged_port_start=999
  fi
}

# build [NATIVE_TARGETS WINDOWS_TARGETS]: everything, or only the named
# targets of each side (space-separated lists); the 32-bit Windows build
# comes along unless with_i686=0 (the demo runs the 64-bit programs).
with_i686=1
build() {
  local native_targets=() win_targets=()
  [ $# -ge 1 ] && read -r -a native_targets <<<"$1"
  [ $# -ge 2 ] && read -r -a win_targets <<<"$2"
  # Native first: the Windows side's end-to-end tests start native programs.
  say "native build"
  [ -f "$NATIVE/build.ninja" ] || cmake -S . -B "$NATIVE" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$NATIVE" -j "$JOBS" ${native_targets[@]+--target "${native_targets[@]}"}
  local arches=(x86_64)
  [ "$with_i686" = 1 ] && arches+=(i686)
  for arch in "${arches[@]}"; do
    local tree=$WIN other=$WIN_I686
    [ "$arch" = i686 ] && tree=$WIN_I686 other=$WIN
    say "Windows build ($arch)"
    [ -f "$tree/build.ninja" ] || cmake -S . -B "$tree" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-w64-$arch-posix.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DZELM_NATIVE_BIN="$NATIVE/bin" -DZELM_OTHER_WIN_BIN="$other/bin"
    cmake --build "$tree" -j "$JOBS" ${win_targets[@]+--target "${win_targets[@]}"}
  done
}

# What the main job runs, without the suites.
DEMO_NATIVE="zelmstored dsadm ldapgen ldaprules ldap_schema zelmmailsys"
DEMO_WIN="zelmsh zelmsh_pilot storeprobe zelmadmin hostext32 dsclient32 netcalls32 tarq logpage"

prefix() {
  # The template is made once (and again after a Wine upgrade); each run gets
  # a fresh hard-link clone of it with its own registry.
  scripts/prefix.sh template "$TEMPLATE"
  scripts/prefix.sh clone "$TEMPLATE" "$WINEPREFIX"
}

run_tests() {
  local rc=0
  say "native tests"
  (cd "$NATIVE" && ctest -j "$JOBS" --output-on-failure) || rc=1
  # One wineserver for the whole suite: Debian's wrapper starts it with -p0,
  # so it would otherwise exit and start again between two test processes.
  wineserver -p </dev/null >/dev/null 2>&1 || true
  # The two widths one after the other: they share the prefix and its one
  # desktop, which the window suites take in turns within one CTest run.
  # A Windows test that hangs past its timeout runs once more: Wine on a busy
  # machine now and then stalls a process outright. A test that fails, or
  # hangs twice, still fails the run.
  local arch tree summary=() arches=(x86_64)
  if runs_32bit; then
    arches+=(i686)
  else
    say "Windows tests, i686: not run: $NO_32BIT (built and checked when compiled only)"
    summary+=("i686: not run: $NO_32BIT")
  fi
  for arch in "${arches[@]}"; do
    tree=$WIN
    [ "$arch" = i686 ] && tree=$WIN_I686
    say "Windows tests, $arch (under Wine)"
    local log=$tree/Testing/run.log
    mkdir -p "$tree/Testing"
    (cd "$tree" && ctest -j "$JOBS" --output-on-failure --repeat after-timeout:2) | tee "$log" \
      || rc=1
    summary+=("$arch: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
  done
  wineserver -k >/dev/null 2>&1 || true
  say "Windows suites"
  printf '  %s\n' "${summary[@]}"
  return $rc
}

demo() {
  if [ "${1:-}" = mail ]; then scripts/mail-demo.sh "${@:2}"; else scripts/demo.sh "$@"; fi
}

case "${1:-}" in
  deps) deps ;;
  build) deps; build ;;
  test) deps; build; prefix; run_tests ;;
  demo) deps; with_i686=0; build "$DEMO_NATIVE" "$DEMO_WIN"; prefix; demo "${@:2}" ;;
  bench) deps; build; prefix; scripts/bench.sh ;;
  dist) deps; scripts/dist.sh ;;
  *) sed -n '2,10p' "$0"; exit 2 ;;
esac
