#!/usr/bin/env bash
# Builds libpng and libjpeg (interface 62) as static libraries for both MinGW targets from
# Debian's own source packages, into .cache/deps/<triplet>. A finished target is reused.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/.cache"
src="$cache/src"
mkdir -p "$src"

say() { printf '==> %s\n' "$*"; }

ensure_deb_src() {
  # Debian's sources come from the same archive the machine already installs from: copy the
  # stanza of its own apt source file that holds the main suites and mark it deb-src.
  if apt-get source --dry-run -qq libpng1.6 >/dev/null 2>&1; then return; fi
  local list=/etc/apt/sources.list.d/torvo-deb-src.sources
  local from=/etc/apt/sources.list.d/debian.sources
  if [ -f "$from" ]; then
    awk 'BEGIN{RS=""; ORS="\n\n"} /Suites:[^\n]*bookworm-updates/ && !/security/ {
           gsub(/Types: deb\n/, "Types: deb-src\n"); print }' "$from" > "$list"
  elif [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | grep -v security | sed 's/^deb /deb-src /' > "${list%.sources}.list"
  fi
  say "apt: adding Debian source entries"
  apt-get update -qq
}

fetch_sources() {
  if ls -d "$src"/libpng1.6-*/ >/dev/null 2>&1 && ls -d "$src"/libjpeg-turbo-*/ >/dev/null 2>&1; then return; fi
  ensure_deb_src
  say "fetching Debian source packages libpng1.6 and libjpeg-turbo"
  (cd "$src" && apt-get source -qq libpng1.6 libjpeg-turbo >/dev/null)
}

build_target() {
  local triplet=$1 tc=$2
  local prefix="$cache/deps/$triplet"
  if [ -f "$prefix/.done" ]; then say "deps for $triplet: cached"; return; fi
  local png_dir jpeg_dir
  png_dir=$(ls -d "$src"/libpng1.6-*/ | head -1)
  jpeg_dir=$(ls -d "$src"/libjpeg-turbo-*/ | head -1)
  say "building libjpeg (62) for $triplet"
  cmake -S "$jpeg_dir" -B "$cache/build/jpeg-$triplet" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$tc" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DWITH_SIMD=OFF -DENABLE_SHARED=OFF \
    -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DCMAKE_POLICY_DEFAULT_CMP0091=NEW >/dev/null
  cmake --build "$cache/build/jpeg-$triplet" -j"$(nproc)" --target install >/dev/null
  say "building libpng for $triplet"
  cmake -S "$png_dir" -B "$cache/build/png-$triplet" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$tc" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DPNG_SHARED=OFF -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_EXECUTABLES=ON \
    -DZLIB_LIBRARY="/usr/$triplet/lib/libz.a" -DZLIB_INCLUDE_DIR="/usr/$triplet/include" >/dev/null
  cmake --build "$cache/build/png-$triplet" -j"$(nproc)" --target install >/dev/null
  touch "$prefix/.done"
}

fetch_sources
build_target x86_64-w64-mingw32 toolchain-win64.cmake
build_target i686-w64-mingw32 toolchain-win32.cmake
