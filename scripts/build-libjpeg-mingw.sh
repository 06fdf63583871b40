#!/usr/bin/env bash
# Builds a static MinGW libjpeg from Debian's libjpeg-turbo source package, once per machine
# type, into DEPS/libjpeg-i686 or DEPS/libjpeg-x86_64 (Debian ships no MinGW libjpeg). Later
# runs find it and return at once. Usage: build-libjpeg-mingw.sh DEPS_DIR [i686|x86_64]
set -euo pipefail
deps=${1:?usage: build-libjpeg-mingw.sh DEPS_DIR [i686|x86_64]}
arch=${2:-i686}
mkdir -p "$deps"
deps=$(cd "$deps" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
toolchain=$here/cmake/mingw-$arch.cmake
[ -f "$toolchain" ] || { echo "build-libjpeg-mingw.sh: no toolchain for '$arch'" >&2; exit 2; }
prefix=$deps/libjpeg-$arch
[ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ] && exit 0

mkdir -p "$deps/src"
cd "$deps/src"
if ! ls -d libjpeg-turbo-*/ >/dev/null 2>&1; then
  apt-get source -qq libjpeg-turbo >/dev/null 2>&1 || apt-get source libjpeg-turbo
fi
src=$(ls -d "$deps"/src/libjpeg-turbo-*/ | head -n 1)
build=$deps/libjpeg-build-$arch
rm -rf "$build"
# SIMD would need nasm and buys nothing for decoding one logo.
cmake -S "$src" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
  -DWITH_JPEG8=OFF -DREQUIRE_SIMD=OFF -Wno-dev >/dev/null
cmake --build "$build" --target jpeg-static >/dev/null
mkdir -p "$prefix/lib" "$prefix/include"
cp "$build/libjpeg.a" "$prefix/lib/libjpeg.a"
cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$build/jconfig.h" "$prefix/include/"
echo "libjpeg for $arch MinGW built into $prefix"
