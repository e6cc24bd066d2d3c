#!/usr/bin/env bash
# Bounded libFuzzer runs (clang, AddressSanitizer + UndefinedBehaviorSanitizer) of every fuzz
# target, each on its committed seed corpus (fuzz/corpus/<target without "fuzz_">).
# A crash, leak or sanitizer report fails that target. FUZZ_SECONDS sets each run's length.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
seconds=${FUZZ_SECONDS:-45}
tree=build/fuzz
if ! { [ -f $tree/Makefile ] || cmake --preset fuzz >/dev/null; } || ! cmake --build $tree -j"$(nproc)" >"$tree.build.log" 2>&1; then
  tail -30 "$tree.build.log" 2>/dev/null
  echo "0 passed, 1 failed"; exit 1
fi
passed=0; failed=0
for fz in $(find $tree/fuzz -type f -name 'fuzz_*' -perm -u+x | sort); do
  name=$(basename "$fz"); corpus="$root/fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d); [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  if (cd "$work" && "$root/$fz" -max_total_time="$seconds" -seed=1 -rss_limit_mb=2048 -print_final_stats=1 "$work" >"$root/$tree.$name.log" 2>&1); then
    echo "$name: clean after ${seconds}s ($(grep -m1 -E 'stat::number_of_executed_units' "$root/$tree.$name.log" | awk '{print $2}') runs)"
    passed=$((passed + 1))
  else
    echo "$name: FAILED"; grep -E 'ERROR|SUMMARY|Test unit written' "$root/$tree.$name.log" | head -10
    failed=$((failed + 1))
  fi
  rm -rf "$work"
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
