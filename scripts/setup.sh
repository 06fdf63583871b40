#!/usr/bin/env bash
# Prepares a fresh Debian 12 machine (as root) for building and testing the kit, and the
# build tree's own equipment: the Wine prefix of this machine's Windows road and libjpeg for
# both Windows machine types. Safe to run again: every step checks first and a second run takes
# seconds. Never fails because the machine cannot execute 32-bit x86 code: there it takes the
# 64-bit Windows road (scripts/windows-road.sh) and leaves 32-bit Wine out.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTREL_BUILD:-$here/build}
source "$here/scripts/windows-road.sh"

packages=(
  build-essential cmake ninja-build pkg-config git
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth
  googletest libgtest-dev libgmock-dev
  clang libclang-rt-14-dev clang-format
  libjpeg62-turbo-dev libjpeg-turbo-progs libpalm-perl
  dpkg-dev python3
)
# 32-bit Wine only where it can run; installed, it would also become what `wine` starts.
[ "$KESTREL_X86_32" = yes ] && packages+=(wine32:i386)

need_install() {
  if [ "$KESTREL_X86_32" = yes ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || return 0
  fi
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || return 0
  done
  return 1
}

# libjpeg for the Windows build comes from Debian's source package, so apt needs source
# entries for the archive this machine already uses.
src_list=/etc/apt/sources.list.d/kestrel-deb-src.sources
ensure_deb_src() {
  [ -f "$src_list" ] && return 1
  local from=/etc/apt/sources.list.d/debian.sources
  if [ -f "$from" ]; then
    sed 's/^Types: deb$/Types: deb-src/' "$from" >"$src_list"
  else
    grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' \
      >/etc/apt/sources.list.d/kestrel-deb-src.list
    touch "$src_list"
  fi
  return 0
}

# A mirror caught in the middle of a sync fails an index or two; what is already known is
# often enough to install from, so go on and let the install say whether it is.
update_lists() {
  apt-get update -qq || echo "setup: apt-get update reported errors; installing from what it has" >&2
}

if [ "$(id -u)" = 0 ]; then
  ensure_deb_src && fresh_lists=1 || fresh_lists=0
  if need_install; then
    [ "$KESTREL_X86_32" = yes ] && dpkg --add-architecture i386
    update_lists
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
  elif [ "$fresh_lists" = 1 ]; then
    update_lists
  fi
elif need_install; then
  echo "setup: packages are missing and only root can install them" >&2
  exit 1
fi

for arch in i686 x86_64; do
  "$here/scripts/build-libjpeg-mingw.sh" "$build/deps" "$arch"
done
"$here/scripts/wine-prefix.sh"
