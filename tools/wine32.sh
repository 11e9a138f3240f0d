#!/usr/bin/env bash
# 32-bit Wine for the i686 build, without touching the machine's own packages.
#
# Debian 12's i386 Wine (wine32, with Mesa's OpenGL so that Wine's DirectDraw
# has a 3D device) is downloaded with a private apt configuration and
# unpacked with dpkg-deb into a root folder of its own; no maintainer script
# runs, and the machine's dpkg architectures and /usr/bin/wine stay as they
# are (installing wine32:i386 into the machine would replace its 64-bit
# Wine). Programs of that root run in a private mount namespace, chrooted,
# with /proc, /dev, /tmp and the checkout visible at their usual paths.
#
# Usage: tools/wine32.sh COMMAND
#   check              exit 0 when the kernel runs 32-bit programs; otherwise
#                      one loud line on standard error and exit status 3
#   root               make the root when it is missing; print its path
#   exec PROGRAM ARGS  run a program of the root (/usr/lib/wine/wine,
#                      /usr/lib/wine/wineserver32, ...) in the namespace with
#                      the caller's environment plus WINEARCH=win32 and
#                      WINESERVER; its exit status passes through
#   run EXE ARGS       run one 32-bit Windows program as a player would: a
#                      private display (xvfb-run -a), a fresh 32-bit prefix,
#                      a HOME whose ALSA goes to a null device; waits until
#                      wineserver has ended; the program's exit status
#                      passes through
#
# HALCYRA_WINE32_DIR   where the downloaded packages and the root are kept
#                      (default: build/wine-i386 in the checkout); they are
#                      reused by later runs
# Needs root (apt-get, unshare, mount, chroot).
set -euo pipefail
CHECKOUT=$(cd "$(dirname "$0")/.." && pwd)
CACHE=${HALCYRA_WINE32_DIR:-$CHECKOUT/build/wine-i386}
ROOTFS=$CACHE/root
# What the root holds: Wine, the OpenGL that its DirectDraw and Direct3D
# draw with, and a shell and core tools for scripts run inside.
PACKAGES=(wine32 libgl1 libgl1-mesa-dri libglx-mesa0 dash coreutils)
# Changing the package list or the unpacking makes a new root.
ROOT_RECIPE="1 ${PACKAGES[*]}"
WINE_LOADER=/usr/lib/wine/wine
WINE_SERVER=/usr/lib/wine/wineserver32

say() { printf '[wine32] %s\n' "$*" >&2; }

# A tiny i386 program that exits with 42: the kernel either runs it or
# refuses 32-bit code (a kernel without IA-32 emulation, or booted with
# ia32_emulation=off).
kernel_runs_i386() {
  local dir status=0
  dir=$(mktemp -d /tmp/halcyra-i386-check.XXXXXX)
  printf '.globl _start\n_start:\n movl $1, %%eax\n movl $42, %%ebx\n int $0x80\n' >"$dir/exit42.s"
  if as --32 -o "$dir/exit42.o" "$dir/exit42.s" 2>/dev/null &&
     ld -m elf_i386 -o "$dir/exit42" "$dir/exit42.o" 2>/dev/null; then
    "$dir/exit42" 2>/dev/null || status=$?
  else
    say "could not assemble the i386 check program (binutils' as and ld)"
  fi
  rm -rf "$dir"
  [ "$status" = 42 ]
}

cmd_check() {
  if ! kernel_runs_i386; then
    echo "!!!!! 32-BIT WINE TESTS SKIPPED: this kernel does not run 32-bit (i386) programs (IA-32 emulation is off); the i686 build is only compiled and inspected here; run its Wine part on a machine that runs them: HALCYRA_WINE_BUILD=win32 tests/win32/run_wine_tests.sh !!!!!" >&2
    return 3
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "!!!!! 32-BIT WINE TESTS SKIPPED: making and entering the i386 Wine root needs root (apt-get, unshare, chroot); as root: HALCYRA_WINE_BUILD=win32 tests/win32/run_wine_tests.sh !!!!!" >&2
    return 3
  fi
}

# The machine's Debian 12 sources, for i386 only: deb822 stanzas and
# one-line entries whose suite is bookworm*, nothing else (other vendors'
# repositories have no i386 Wine and might not be reachable).
write_sources() {  # output-file
  local file
  : >"$1"
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    awk '/^[ \t]*deb[ \t]/ && / bookworm/ {
           if (match($0, /\[[^]]*\]/)) { opts = substr($0, RSTART + 1, RLENGTH - 2); gsub(/arch=[^ ]*/, "", opts)
             print "deb [arch=i386 " opts "]" substr($0, RSTART + RLENGTH) }
           else { sub(/^[ \t]*deb[ \t]+/, ""); print "deb [arch=i386] " $0 } }' "$file" >>"$1"
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # One stanza a record; Architectures is replaced by i386.
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /(^|\n)Suites:[^\n]*bookworm/ && !/(^|\n)Enabled: *no/ {
           out = ""; n = split($0, lines, "\n")
           for (i = 1; i <= n; i++) if (lines[i] !~ /^Architectures:/ && lines[i] !~ /^#/) out = out lines[i] "\n"
           printf "%sArchitectures: i386\n\n", out }' "$file" >>"${1%.list}.sources"
  done
}

make_root() {
  local apt=$CACHE/apt start=$SECONDS
  [ "$(id -u)" -eq 0 ] || { say "making the root needs root (apt-get)"; return 1; }
  mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$apt/sources.list.d" "$apt/preferences.d"
  : >"$apt/status"
  write_sources "$apt/sources.list.d/debian.list"
  local opts=(-o "Dir::State=$apt/state" -o "Dir::State::status=$apt/status" -o "Dir::Cache=$apt/cache"
              -o "Dir::Etc::sourcelist=/dev/null" -o "Dir::Etc::sourceparts=$apt/sources.list.d"
              -o "Dir::Etc::preferencesparts=$apt/preferences.d"
              -o APT::Architecture=i386 -o APT::Architectures::=i386 -o APT::Install-Recommends=0
              -o Debug::NoLocking=1 -q)
  say "downloading Debian's i386 Wine into $apt/cache (reused by later runs)"
  apt-get "${opts[@]}" update >"$CACHE/apt-update.log" 2>&1 ||
    { cat "$CACHE/apt-update.log" >&2; say "apt-get update failed"; return 1; }
  apt-get "${opts[@]}" install -y --download-only "${PACKAGES[@]}" >"$CACHE/apt-download.log" 2>&1 ||
    { tail -20 "$CACHE/apt-download.log" >&2; say "downloading the packages failed"; return 1; }
  # Exactly the packages of this resolution (the cache may hold older
  # versions from earlier runs).
  local debs=()
  # (apt's simulation names each package with its version and architecture;
  # the archive's file name writes the epoch's colon as %3a.)
  mapfile -t debs < <(apt-get "${opts[@]}" install -y -s "${PACKAGES[@]}" 2>/dev/null |
    awk -v dir="$apt/cache/archives/" '$1 == "Inst" {
      version = $3; sub(/^\(/, "", version); gsub(/:/, "%3a", version)
      arch = $0; sub(/^[^[]*\[/, "", arch); sub(/\].*/, "", arch)
      print dir $2 "_" version "_" arch ".deb" }')
  [ ${#debs[@]} -gt 0 ] || { say "apt resolved no packages"; return 1; }

  say "unpacking ${#debs[@]} packages into $ROOTFS"
  rm -rf "$ROOTFS.new"
  mkdir -p "$ROOTFS.new/usr/bin" "$ROOTFS.new/usr/sbin" "$ROOTFS.new/usr/lib"
  # Debian 12 is merged-/usr: /bin, /sbin and /lib are links into /usr, and
  # tar keeps them (--keep-directory-symlink) while packages unpack into them.
  ln -s usr/bin "$ROOTFS.new/bin"
  ln -s usr/sbin "$ROOTFS.new/sbin"
  ln -s usr/lib "$ROOTFS.new/lib"
  local deb
  for deb in "${debs[@]}"; do
    [ -f "$deb" ] || { say "missing download: $deb"; return 1; }
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$ROOTFS.new" --keep-directory-symlink ||
      { say "could not unpack $deb"; return 1; }
  done

  # libwine's install script makes Wine's zlib1.dll from MinGW's, marked as
  # a Wine builtin DLL (32 bytes at offset 64); without it no prefix can be
  # made ("could not load kernel32.dll").
  local zlib_from=$ROOTFS.new/usr/i686-w64-mingw32/lib/zlib1.dll
  local zlib_to=$ROOTFS.new/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll
  [ -f "$zlib_from" ] || { say "the root lacks $zlib_from"; return 1; }
  rm -f "$zlib_to"
  cp "$zlib_from" "$zlib_to"
  { printf 'Wine builtin DLL'; head -c 16 /dev/zero; } | dd of="$zlib_to" bs=1 seek=64 conv=notrunc status=none
  for deb in "$WINE_LOADER" "$WINE_SERVER"; do
    [ -x "$ROOTFS.new$deb" ] || { say "the root lacks $deb"; return 1; }
  done
  # Mount points of the namespace.
  mkdir -p "$ROOTFS.new/proc" "$ROOTFS.new/dev" "$ROOTFS.new/tmp" "$ROOTFS.new/etc"
  chmod 1777 "$ROOTFS.new/tmp"
  printf '%s\n' "$ROOT_RECIPE" >"$ROOTFS.new/.halcyra-root"
  rm -rf "$ROOTFS"
  mv "$ROOTFS.new" "$ROOTFS"
  say "root ready after $((SECONDS - start)) s ($(du -sh "$ROOTFS" | cut -f1))"
}

cmd_root() {
  if [ "$(cat "$ROOTFS/.halcyra-root" 2>/dev/null)" != "$ROOT_RECIPE" ]; then
    make_root || return 1
  fi
  printf '%s\n' "$ROOTFS"
}

# Runs a program of the root, chrooted in a private mount namespace. The
# mounts vanish with the namespace; the host sees none of them.
cmd_exec() {
  [ $# -gt 0 ] || { say "exec: no program given"; return 2; }
  [ -f "$ROOTFS/.halcyra-root" ] || { say "no root in $ROOTFS (run: $0 root)"; return 1; }
  local binds=(/tmp "$CHECKOUT") dir
  # Further folders the program needs, colon-separated.
  if [ -n "${HALCYRA_WINE32_BIND:-}" ]; then
    IFS=: read -r -a more <<<"$HALCYRA_WINE32_BIND"
    binds+=("${more[@]}")
  fi
  for dir in "${binds[@]}"; do mkdir -p "$ROOTFS$dir"; done
  # WINE32_EXEC: "exec" when the program replaces this script, so that a caller's
  # timeout or kill reaches the program itself.
  WINEARCH=win32 WINESERVER=$WINE_SERVER WINELOADER=$WINE_LOADER \
    unshare=$(command -v unshare) ${WINE32_EXEC:-} unshare --mount --propagation private -- /bin/sh -c '
      root=$1; shift; count=$1; shift
      mount -t proc proc "$root/proc" || exit 125
      mount --rbind /dev "$root/dev" || exit 125
      while [ "$count" -gt 0 ]; do
        mount --rbind "$1" "$root$1" || exit 125
        shift; count=$((count - 1))
      done
      wd=$PWD; [ -d "$root$wd" ] || wd=/
      PATH=/usr/bin:/bin exec "$unshare" --root="$root" --wd="$wd" "$@"' \
    sh "$ROOTFS" "${#binds[@]}" "${binds[@]}" "$@"
}

# One program as a player would run it, from nothing to the end of
# wineserver.
cmd_run() {
  [ $# -gt 0 ] || { say "run: no program given"; return 2; }
  cmd_check || return $?
  cmd_root >/dev/null || return 1
  local tmp status=0
  tmp=$(mktemp -d /tmp/halcyra-wine32-run.XXXXXX)
  mkdir -p "$tmp/home"
  printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$tmp/home/.asoundrc"
  HOME=$tmp/home WINEPREFIX=$tmp/prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=" \
    xvfb-run -a -s '-screen 0 1024x768x24 -nolisten tcp' "$0" _run_inner "$@" || status=$?
  rm -rf "$tmp"
  return "$status"
}

cmd_run_inner() {
  local status=0
  cmd_exec "$WINE_LOADER" "$@" || status=$?
  cmd_exec "$WINE_SERVER" -w || true
  return "$status"
}

case "${1:-}" in
  check) cmd_check ;;
  root) cmd_root ;;
  exec) shift; WINE32_EXEC=exec cmd_exec "$@" ;;
  run) shift; cmd_run "$@" ;;
  _run_inner) shift; cmd_run_inner "$@" ;;
  *) sed -n '/^# Usage/,/^# Needs root/p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
esac
