#!/usr/bin/env bash
# The native test suites built and run again under AddressSanitizer + UndefinedBehaviorSanitizer
# (build/asan, leak detection on) and under ThreadSanitizer (build/tsan). Any sanitizer report fails
# its test. The stress suite (tests/stress) is the one that drives several threads through one
# instance; under ThreadSanitizer every race it provokes fails it.
#
# TORVO_ASAN_TREE / TORVO_TSAN_TREE point at other build folders (configured like the presets);
# SANITIZERS=asan or SANITIZERS=tsan runs one of the two.
set -uo pipefail
cd "$(dirname "$0")/../.."
jobs=$(nproc)
passed=0; failed=0
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
for preset in ${SANITIZERS:-asan tsan}; do
  case $preset in
    asan) tree=${TORVO_ASAN_TREE:-build/asan} ;;
    tsan) tree=${TORVO_TSAN_TREE:-build/tsan} ;;
    *) echo "unknown sanitizer tree $preset"; failed=$((failed + 1)); continue ;;
  esac
  start=$(date +%s)
  if ! { [ -f "$tree/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null; } ||
     ! cmake --build "$tree" -j"$jobs" >"$tree.build.log" 2>&1; then
    tail -30 "$tree.build.log"; echo "$preset: build FAILED"; failed=$((failed + 1)); continue
  fi
  built=$(date +%s)
  ctest --test-dir "$tree" -j"$jobs" --output-on-failure --timeout 900 >"$tree.ctest.log" 2>&1
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$tree.ctest.log" | tail -1)
  if [ -z "$line" ]; then tail -30 "$tree.ctest.log"; failed=$((failed + 1)); continue; fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  fail=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
  echo "$preset: $((total - fail)) passed, $fail failed (build $((built - start)) s, tests $(($(date +%s) - built)) s)"
  if [ "$fail" -gt 0 ]; then
    sed -n '/The following tests FAILED/,$p' "$tree.ctest.log"
    grep -E '^SUMMARY: (Address|Leak|UndefinedBehavior|Thread)Sanitizer' "$tree.ctest.log" | sort | uniq -c | head -20
  fi
  passed=$((passed + total - fail)); failed=$((failed + fail))
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
