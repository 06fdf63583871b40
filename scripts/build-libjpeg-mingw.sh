#!/usr/bin/env bash
# Builds a static i686 MinGW libjpeg from Debian's libjpeg-turbo source package, once, into
# DEPS/libjpeg-i686 (Debian ships no MinGW libjpeg). Later runs find it and return at once.
set -euo pipefail
deps=${1:?usage: build-libjpeg-mingw.sh DEPS_DIR}
here=$(cd "$(dirname "$0")/.." && pwd)
prefix=$deps/libjpeg-i686
[ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ] && exit 0

mkdir -p "$deps/src"
cd "$deps/src"
if ! ls -d libjpeg-turbo-*/ >/dev/null 2>&1; then
  apt-get source -qq libjpeg-turbo >/dev/null 2>&1 || apt-get source libjpeg-turbo
fi
src=$(ls -d "$deps"/src/libjpeg-turbo-*/ | head -n 1)
rm -rf "$deps/libjpeg-build"
# SIMD would need nasm and buys nothing for decoding one logo.
cmake -S "$src" -B "$deps/libjpeg-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
  -DWITH_JPEG8=OFF -DREQUIRE_SIMD=OFF -Wno-dev >/dev/null
cmake --build "$deps/libjpeg-build" --target jpeg-static >/dev/null
mkdir -p "$prefix/lib" "$prefix/include"
cp "$deps/libjpeg-build/libjpeg.a" "$prefix/lib/libjpeg.a"
cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$deps/libjpeg-build/jconfig.h" "$prefix/include/"
echo "libjpeg for i686 MinGW built into $prefix"
