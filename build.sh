#!/usr/bin/env bash
# Builds every target of Torvo-Mell into dist/ on a Debian 12 machine, as root:
#   1. installs the packages that are missing (apt-get),
#   2. builds libpng and libjpeg for both MinGW targets from Debian's source packages (cached in .cache/),
#   3. configures and builds the native, win64 and win32 trees (CMake presets),
#   4. copies the plug-ins and tools into dist/ and renders the demo into dist/demo/.
# A rerun with nothing changed takes seconds. Options: --no-demo (skip step 4's rendering).
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
jobs=$(nproc)
demo=1
for arg in "$@"; do
  case "$arg" in
    --no-demo) demo=0 ;;
    *) echo "build.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

step() { printf '\n==> %s\n' "$*"; }

packages=(
  g++ cmake make pkg-config dpkg-dev
  libpng-dev libjpeg62-turbo-dev zlib1g-dev libsndfile1-dev libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine xvfb xauth
  clang libclang-rt-14-dev
)

step "checking packages"
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  step "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "all ${#packages[@]} packages present"
fi

step "libpng and libjpeg for the MinGW targets"
./cmake/mingw-deps.sh

for preset in native win64 win32; do
  step "configuring and building the $preset tree (build/$preset)"
  if [ ! -f "build/$preset/Makefile" ]; then
    cmake --preset "$preset" >/dev/null
  fi
  cmake --build "build/$preset" -j"$jobs"
done

step "collecting the results in dist/"
mkdir -p dist/demo
install -m 0755 build/native/vst/Torvo-Mell.so dist/Torvo-Mell.so
install -m 0644 build/win64/vst/Torvo-Mell.dll dist/Torvo-Mell_x64.dll
install -m 0644 build/win32/vst/Torvo-Mell.dll dist/Torvo-Mell_x86.dll
for tool in torvo-render torvo-make-riff torvo-compare-plot torvo-editor-snapshot; do
  found=$(find build/native/tools -type f -name "$tool" -perm -u+x 2>/dev/null | head -1)
  if [ -n "$found" ]; then install -m 0755 "$found" "dist/$tool"; fi
done
ls -l dist | sed 1d

if [ "$demo" = 1 ]; then
  step "rendering the demo into dist/demo/"
  if [ -x tools/demo/render-demo.sh ] && [ -x dist/torvo-render ]; then
    tools/demo/render-demo.sh "$root/dist"
  fi
  if [ -x dist/torvo-editor-snapshot ]; then
    dist/torvo-editor-snapshot "$root/dist/demo"
  fi
  ls -l dist/demo | sed 1d
fi
step "done"
