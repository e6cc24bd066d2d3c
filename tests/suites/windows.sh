#!/usr/bin/env bash
# The x64 plug-in DLL in a Windows host under Wine, with a display (Xvfb):
#   1. renders the reference cases through the native module (torvo-make-reference) and, when the
#      native editor snapshot tool is built, the native composition of the editor;
#   2. runs torvo-wine-host.exe (GoogleTest) in a throw-away Wine prefix under build/, which loads the
#      DLL like a host, compares its sound with the native renders, drives the editor in a real
#      window and writes dist/demo/editor-wine.png;
#   3. stops that prefix's wineserver and prints the counts of the GoogleTest summary.
# Trees: TORVO_WIN64_TREE (default build/win64) and TORVO_NATIVE_TREE (default build/native);
# TORVO_DLL_X64 overrides the DLL (default: the win64 tree's, else dist/Torvo-Mell_x64.dll).
# The last line reads "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
win64=${TORVO_WIN64_TREE:-$root/build/win64}
native=${TORVO_NATIVE_TREE:-$root/build/native}
work=$root/build/windows-suite
prefix=$work/wineprefix
log=$work/wine-host.log

fail_setup() {
  echo "$1"
  echo "0 passed, 1 failed"
  exit 1
}

# Windows path of a Unix path: Wine maps / to drive Z:.
winpath() { local p=$1; echo "Z:${p//\//\\}"; }

host=$win64/tests/wine/torvo-wine-host.exe
dll=${TORVO_DLL_X64:-}
if [ -z "$dll" ]; then
  dll=$win64/vst/Torvo-Mell.dll
  [ -f "$dll" ] || dll=$root/dist/Torvo-Mell_x64.dll
fi
so=$native/vst/Torvo-Mell.so
refgen=$native/tests/wine/torvo-make-reference

[ -f "$host" ] || fail_setup "missing $host (build the win64 tree)"
[ -f "$dll" ] || fail_setup "missing the x64 plug-in DLL ($dll)"
for tool in wine wineserver xvfb-run; do
  command -v "$tool" >/dev/null || fail_setup "missing $tool"
done

rm -rf "$work"
mkdir -p "$work" "$root/dist/demo"

# 1. Native references.
env_args=(TORVO_DLL="$(winpath "$dll")" TORVO_EDITOR_PNG_OUT="$(winpath "$root/dist/demo/editor-wine.png")")
if [ -x "$refgen" ] && [ -f "$so" ]; then
  if "$refgen" "$so" "$work/reference.bin" >"$work/make-reference.log" 2>&1; then
    echo "native reference: $(tail -1 "$work/make-reference.log")"
    env_args+=(TORVO_REFERENCE="$(winpath "$work/reference.bin")")
  else
    cat "$work/make-reference.log"
    fail_setup "torvo-make-reference failed"
  fi
else
  echo "note: no native module or torvo-make-reference in $native; the sound comparison is skipped"
fi
snapshot=$(find "$native/tools" -type f -name torvo-editor-snapshot -perm -u+x 2>/dev/null | head -1)
[ -n "$snapshot" ] || { [ -x "$root/dist/torvo-editor-snapshot" ] && snapshot=$root/dist/torvo-editor-snapshot; }
if [ -n "$snapshot" ]; then
  mkdir -p "$work/native-editor"
  if "$snapshot" "$work/native-editor" >"$work/snapshot.log" 2>&1; then
    native_png=$(find "$work/native-editor" -name '*.png' | grep -E '/editor(-native)?(-default)?\.png$' | head -1)
    [ -n "$native_png" ] && env_args+=(TORVO_NATIVE_EDITOR_PNG="$(winpath "$native_png")")
    about_png=$work/native-editor/editor-about.png
    [ -f "$about_png" ] && env_args+=(TORVO_NATIVE_EDITOR_ABOUT_PNG="$(winpath "$about_png")")
  fi
fi
[ -n "${native_png:-}" ] || echo "note: no native editor composition; the pixel comparison is skipped"

# 2. The host under Wine with a 24-bit display.
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
timeout 900 xvfb-run -a -s "-screen 0 1280x1024x24" \
  env "${env_args[@]}" wine "$host" --gtest_color=no >"$log" 2>&1
rc=$?

# 3. Stop this prefix's server; the prefix itself is thrown away.
wineserver -k >/dev/null 2>&1 || true
rm -rf "$prefix"

grep -E '^\[ +(OK|FAILED|SKIPPED) +\] [A-Za-z]|^\[ (sound|editor) +\]|^\[  SKIPPED \] *$' "$log" | grep -v 'listed below'
grep -B2 -A12 -E '^[^[].*Failure$' "$log" | head -80
p=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$log" | sed -E 's/.*\] ([0-9]+) test.*/\1/')
f=$(grep -E '^\[  FAILED  \] [0-9]+ test' "$log" | sed -E 's/.*\] ([0-9]+) test.*/\1/')
s=$(grep -E '^\[  SKIPPED \] [0-9]+ test' "$log" | sed -E 's/.*\] ([0-9]+) test.*/\1/')
if [ -z "$p" ] && [ -z "$f" ]; then
  tail -30 "$log"
  echo "the host ended without a GoogleTest summary (exit code $rc)"
  echo "0 passed, 1 failed"
  exit 1
fi
[ -f "$root/dist/demo/editor-wine.png" ] && echo "editor picture: dist/demo/editor-wine.png"
echo "note: only the x64 DLL runs here (this Wine runs 64-bit programs only); dll-inspect.sh checks the x86 one"
[ -n "${s:-}" ] && echo "${s} test(s) skipped (see above)"
grep -E '^ *YOU HAVE [0-9]+ DISABLED TESTS?' "$log" | sed -E 's/^ *//; s/$/ (known open issues, see the test sources)/'

echo "${p:-0} passed, ${f:-0} failed"
[ "${f:-0}" -eq 0 ] && [ "$rc" -eq 0 ]
