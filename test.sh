#!/usr/bin/env bash
# Builds what is missing (./build.sh) and runs every test suite:
#   native unit tests (CTest), the Windows x64 unit tests under Wine, the DLL inspection,
#   the sanitizer trees and bounded fuzz runs.
# The last line reads "N passed, N failed"; the exit code is non-zero on any failure.
# FUZZ_SECONDS sets the length of each fuzz run (default 45).
set -uo pipefail
cd "$(dirname "$0")"
root=$(pwd)
jobs=$(nproc)
logs="$root/build/test-logs"
passed=0
failed=0

step() { printf '\n==> %s\n' "$*"; }
tally() { passed=$((passed + $1)); failed=$((failed + $2)); printf -- '--- %s: %d passed, %d failed\n' "$3" "$1" "$2"; }

# Counts from CTest's summary line "NN% tests passed, F tests failed out of T".
run_ctest() {
  local dir=$1 name=$2 log="$logs/$2.log"
  ctest --test-dir "$dir" -j"$jobs" --output-on-failure --timeout 600 >"$log" 2>&1
  local line total fail
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    tail -30 "$log"; tally 0 1 "$name (no summary)"; return
  fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  fail=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
  [ "$fail" -gt 0 ] && sed -n '/The following tests FAILED/,$p' "$log"
  tally $((total - fail)) "$fail" "$name"
}

mkdir -p "$logs"
step "building (./build.sh --no-demo)"
if ! ./build.sh --no-demo >"$logs/build.log" 2>&1; then
  tail -40 "$logs/build.log"
  echo "0 passed, 1 failed"
  exit 1
fi

step "native unit tests"
run_ctest build/native native

# The same GoogleTest suites cross-compiled for x64 Windows, run under Wine.
if ls build/win64/tests/bin/*.exe >/dev/null 2>&1; then
  step "Windows x64 unit tests under Wine"
  export WINEDEBUG=-all WINEPREFIX="$root/build/wineprefix"
  export TORVO_SOURCE_DIR="$root" TORVO_BINARY_DIR="$root/build/win64"
  for exe in build/win64/tests/bin/*.exe; do
    name=win64-$(basename "$exe" .exe)
    (cd "$root/tests" && timeout 900 wine "$root/$exe" >"$logs/$name.log" 2>&1)
    p=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$logs/$name.log" | sed -E 's/.*\] ([0-9]+) test.*/\1/')
    f=$(grep -E '^\[  FAILED  \] [0-9]+ test' "$logs/$name.log" | sed -E 's/.*\] ([0-9]+) test.*/\1/')
    if [ -z "$p" ] && [ -z "$f" ]; then tail -20 "$logs/$name.log"; tally 0 1 "$name (no summary)"; continue; fi
    [ -n "${f:-}" ] && grep -E '^\[  FAILED  \]' "$logs/$name.log"
    tally "${p:-0}" "${f:-0}" "$name"
  done
  wineserver -k >/dev/null 2>&1 || true
fi

# Further suites (DLL inspection, Windows host, sanitizers, fuzzing) live in tests/*.sh.
for script in tests/suites/*.sh; do
  [ -x "$script" ] || continue
  name=$(basename "$script" .sh)
  step "$name"
  out="$logs/suite-$name.out"
  "$script" >"$out" 2>"$logs/suite-$name.err"
  rc=$?
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$out" | tail -1)
  if [ -z "$line" ]; then
    tail -30 "$out" "$logs/suite-$name.err"; tally 0 1 "$name (rc $rc, no summary)"; continue
  fi
  p=${line%% passed*}; f=${line#*, }; f=${f%% failed*}
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
  [ "$f" -gt 0 ] && tail -30 "$out"
  tally "$p" "$f" "$name"
done

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
