#!/usr/bin/env bash
# Cross-builds the libraries the Windows build links, from Debian's own sources:
#   libjpeg-turbo  from its Debian source package (apt-get source; needs deb-src)
#   GoogleTest     from /usr/src/googletest (package googletest)
# into <build folder>/deps/prefix, static libraries only. A second run reuses
# what is there.
#   usage: scripts/windows-deps.sh [build folder]     (default: build-win)
# Needs: cmake, ninja-build, g++-mingw-w64-x86-64-posix, dpkg-dev, googletest.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-win}")"
deps="$build/deps"
prefix="$deps/prefix"
toolchain="$root/cmake/toolchain-mingw64.cmake"
jobs="${PLIMBURY_JOBS:-2}"

configure_and_install() { # source-dir build-dir cmake-args...
  local src="$1" bld="$2"
  shift 2
  cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$bld.log" 2>&1 \
    || { cat "$bld.log"; return 1; }
  cmake --build "$bld" -j "$jobs" >>"$bld.log" 2>&1 || { tail -50 "$bld.log"; return 1; }
  cmake --install "$bld" >>"$bld.log" 2>&1 || { tail -50 "$bld.log"; return 1; }
}

mkdir -p "$deps"

if [ ! -f "$prefix/lib/libjpeg.a" ]; then
  rm -rf "$deps/jpeg-src" "$deps/jpeg-build"
  mkdir -p "$deps/jpeg-src"
  # apt-get source unpacks the upstream release with Debian's patches applied.
  if ! (cd "$deps/jpeg-src" && apt-get source -q libjpeg-turbo >"$deps/jpeg-source.log" 2>&1); then
    cat "$deps/jpeg-source.log" >&2
    echo "apt-get source libjpeg-turbo failed: enable deb-src for the Debian archive (.ci/windows does)" >&2
    exit 1
  fi
  src="$(find "$deps/jpeg-src" -mindepth 2 -maxdepth 2 -name CMakeLists.txt -printf '%h\n' | head -n1)"
  [ -n "$src" ] || { echo "no libjpeg-turbo source tree under $deps/jpeg-src" >&2; exit 1; }
  echo "libjpeg-turbo: $(basename "$src")"
  # No SIMD: its assembler (nasm) is not needed for correctness, and the C
  # paths decode to the same pixels.
  configure_and_install "$src" "$deps/jpeg-build" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
fi

if [ ! -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  rm -rf "$deps/gtest-build"
  gtest_src=/usr/src/googletest
  [ -f "$gtest_src/CMakeLists.txt" ] || { echo "$gtest_src missing: apt-get install googletest" >&2; exit 1; }
  echo "googletest: $(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo from $gtest_src)"
  configure_and_install "$gtest_src" "$deps/gtest-build" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
fi

echo "Windows libraries in $prefix"
