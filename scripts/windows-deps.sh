#!/usr/bin/env bash
# Cross-builds the libraries the Windows build links, from Debian's own sources:
#   libjpeg-turbo  JPEG            source package libjpeg-turbo (CMake)
#   libpng         PNG             source package libpng1.6 (CMake)
#   libwebp        WebP            source package libwebp (CMake; webp and webpdemux)
#   giflib         GIF             source package giflib (its library's C files, compiled here)
#   libtiff        TIFF            source package tiff (CMake; zlib and libjpeg, no other codec)
#   GoogleTest                     /usr/src/googletest (package googletest)
# zlib, which libpng and libtiff use, is Debian's libz-mingw-w64-dev
# (/usr/x86_64-w64-mingw32), linked as its static libz.a.
# Everything goes into <build folder>/deps/prefix, static libraries only; a
# second run reuses each library that is there. apt-get source needs deb-src
# entries (.ci/windows adds them).
#   usage: scripts/windows-deps.sh [build folder]     (default: build-win)
# Needs: cmake, ninja-build, g++-mingw-w64-x86-64-posix, dpkg-dev, googletest,
# libz-mingw-w64-dev.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-win}")"
deps="$build/deps"
prefix="$deps/prefix"
toolchain="$root/cmake/toolchain-mingw64.cmake"
jobs="${PLIMBURY_JOBS:-2}"
mingw=x86_64-w64-mingw32
zlib_dir="/usr/$mingw"
# The static zlib, not its import library: the programs need no zlib1.dll.
zlib_args=(-DZLIB_INCLUDE_DIR="$zlib_dir/include" -DZLIB_LIBRARY="$zlib_dir/lib/libz.a")

configure_and_install() { # source-dir build-dir cmake-args...
  local src="$1" bld="$2"
  shift 2
  cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$bld.log" 2>&1 \
    || { cat "$bld.log"; return 1; }
  cmake --build "$bld" -j "$jobs" >>"$bld.log" 2>&1 || { tail -50 "$bld.log"; return 1; }
  cmake --install "$bld" >>"$bld.log" 2>&1 || { tail -50 "$bld.log"; return 1; }
}

# Unpacks Debian's source package $1 (upstream release, Debian's patches
# applied) into $deps/$2-src and prints the folder of its tree, the one that
# holds $3. When the archive no longer serves the version the package lists
# name (a security update superseded since they were fetched), the newest
# version it still serves is taken.
unpack_source() { # package name marker-file
  local package="$1" dir="$deps/$2-src" marker="$3" log="$deps/$2-source.log" version tree
  rm -rf "$dir"
  mkdir -p "$dir"
  if ! (cd "$dir" && apt-get source -q "$package" >"$log" 2>&1); then
    for version in $(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -r -V); do
      rm -rf "${dir:?}"/*
      (cd "$dir" && apt-get source -q "$package=$version" >>"$log" 2>&1) && break
      version=""
    done
    if [ -z "${version:-}" ]; then
      cat "$log" >&2
      echo "apt-get source $package failed: enable deb-src for the Debian archive (.ci/windows does)" >&2
      return 1
    fi
  fi
  tree="$(find "$dir" -mindepth 2 -maxdepth 2 -name "$marker" -printf '%h\n' | head -n1)"
  [ -n "$tree" ] || { echo "no $package source tree under $dir" >&2; return 1; }
  echo "$tree"
}

# Prints how long the library named $1 took since $2.
took() { echo "$1: built in $((SECONDS - $2)) s"; }

mkdir -p "$deps"
[ -f "$zlib_dir/lib/libz.a" ] || { echo "$zlib_dir/lib/libz.a missing: apt-get install libz-mingw-w64-dev" >&2; exit 1; }

if [ ! -f "$prefix/lib/libjpeg.a" ]; then
  t=$SECONDS
  rm -rf "$deps/jpeg-build"
  src="$(unpack_source libjpeg-turbo jpeg CMakeLists.txt)"
  echo "libjpeg-turbo: $(basename "$src")"
  # No SIMD: its assembler (nasm) is not needed for correctness, and the C
  # paths decode to the same pixels.
  configure_and_install "$src" "$deps/jpeg-build" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
  took libjpeg-turbo $t
fi

if [ ! -f "$prefix/lib/libpng16.a" ]; then
  t=$SECONDS
  rm -rf "$deps/png-build"
  src="$(unpack_source libpng1.6 png CMakeLists.txt)"
  echo "libpng: $(basename "$src")"
  configure_and_install "$src" "$deps/png-build" "${zlib_args[@]}" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF
  took libpng $t
fi

if [ ! -f "$prefix/lib/libwebpdemux.a" ]; then
  t=$SECONDS
  rm -rf "$deps/webp-build"
  src="$(unpack_source libwebp webp CMakeLists.txt)"
  echo "libwebp: $(basename "$src")"
  configure_and_install "$src" "$deps/webp-build" -DBUILD_SHARED_LIBS=OFF \
    -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF \
    -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_LIBWEBPMUX=OFF \
    -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF
  took libwebp $t
fi

if [ ! -f "$prefix/lib/libgif.a" ]; then
  t=$SECONDS
  rm -rf "$deps/gif-build"
  src="$(unpack_source giflib gif gif_lib.h)"
  echo "giflib: $(basename "$src")"
  # giflib builds with a Makefile for Unix shared libraries only; its list
  # of the library's sources is read from it, and they are compiled here.
  sources="$(make -s -C "$src" --no-print-directory --eval='plimbury-sources: ; @echo $(SOURCES)' plimbury-sources)"
  mkdir -p "$deps/gif-build" "$prefix/lib" "$prefix/include"
  objects=()
  for c in $sources; do
    "$mingw-gcc-posix" -std=gnu99 -O2 -Wall -c "$src/$c" -o "$deps/gif-build/${c%.c}.o" 2>>"$deps/gif-build.log" ||
      { cat "$deps/gif-build.log"; exit 1; }
    objects+=("$deps/gif-build/${c%.c}.o")
  done
  rm -f "$deps/gif-build/libgif.a"
  "$mingw-ar" rcs "$deps/gif-build/libgif.a" "${objects[@]}"
  install -m 644 "$src/gif_lib.h" "$prefix/include/"
  install -m 644 "$deps/gif-build/libgif.a" "$prefix/lib/"
  took giflib $t
fi

if [ ! -f "$prefix/lib/libtiff.a" ]; then
  t=$SECONDS
  rm -rf "$deps/tiff-build"
  src="$(unpack_source tiff tiff CMakeLists.txt)"
  echo "libtiff: $(basename "$src")"
  # Deflate (zlib) and JPEG, the codecs pictures are usually saved with, and
  # the ones built into libtiff itself; none of the other optional ones.
  configure_and_install "$src" "$deps/tiff-build" "${zlib_args[@]}" \
    -DJPEG_INCLUDE_DIR="$prefix/include" -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" \
    -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
    -Dzlib=ON -Djpeg=ON -Dlibdeflate=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Djpeg12=OFF
  took libtiff $t
fi

if [ ! -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  t=$SECONDS
  rm -rf "$deps/gtest-build"
  gtest_src=/usr/src/googletest
  [ -f "$gtest_src/CMakeLists.txt" ] || { echo "$gtest_src missing: apt-get install googletest" >&2; exit 1; }
  echo "googletest: $(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo from $gtest_src)"
  configure_and_install "$gtest_src" "$deps/gtest-build" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
  took googletest $t
fi

echo "Windows libraries in $prefix"
