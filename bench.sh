#!/usr/bin/env bash
# Builds the Google Benchmark targets in release mode (preset "bench", build/bench) and prints one
# table: the chain's cost per frame by block size and instruction-set level with the ratios to the
# straightforward loop of the same run, silence against signal, the work around the chain,
# start-up, the editor's redraw and the bytes per instance. Not part of CI; run it on a quiet
# machine. The ratios carry from machine to machine, the absolute times do not.
#   ./bench.sh [--repetitions N] [--min-time SECONDS] [--build-dir DIR] [--filter REGEX]
set -euo pipefail
cd "$(dirname "$0")"
reps=5
min_time=0.2
dir=build/bench
filter=.
while [ $# -gt 0 ]; do
  case "$1" in
    --repetitions) reps=$2; shift 2 ;;
    --min-time) min_time=$2; shift 2 ;;
    --build-dir) dir=$2; shift 2 ;;
    --filter) filter=$2; shift 2 ;;
    *) echo "bench.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

if [ "$dir" = build/bench ]; then
  cmake --preset bench > /dev/null
else
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DTORVO_BUILD_BENCHMARKS=ON -DTORVO_BUILD_TESTS=OFF > /dev/null
fi
# The benchmark targets only: every torvo_add_bench(<name> ...) under bench/.
targets=$(grep -ho 'torvo_add_bench( *[A-Za-z0-9_]*' bench/*/CMakeLists.txt | sed 's/torvo_add_bench( *//')
for t in $targets; do
  cmake --build "$dir" -j "$(nproc)" --target "$t" > "$dir/build-$t.log" 2>&1 \
    || { [ "$t" != bench_chain ] && echo "bench.sh: $t did not build (see $dir/build-$t.log)" >&2; } \
    || { echo "bench.sh: bench_chain did not build (see $dir/build-$t.log)" >&2; exit 1; }
done
json=$dir/bench_chain.json
# One processor for the whole run: a thread moved between processors mid-measurement, or sharing
# one with the rest of the machine, adds noise the ratios would carry.
pin=()
if command -v taskset >/dev/null 2>&1; then
  pin=(taskset -c "$(( $(nproc) - 1 ))")
fi

{
  echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), family $(grep -m1 'cpu family' /proc/cpuinfo | cut -d: -f2 | tr -d ' ')," \
       "flags: $(grep -m1 '^flags' /proc/cpuinfo | tr ' ' '\n' | grep -E '^(sse2|avx|avx2|fma|avx512f|avx512dq)$' | tr '\n' ' ')"
  echo "Compiler: $(c++ --version | head -1), release build (-O3), no -mfma, -ffp-contract=off"
  echo "Load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
  if [ ${#pin[@]} -gt 0 ]; then echo "Pinned to processor $(( $(nproc) - 1 )) (taskset)"; fi
} > "$dir/machine.txt"

"${pin[@]}" "$dir/bench/chain/bench_chain" --benchmark_filter="$filter" \
  --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
  --benchmark_enable_random_interleaving=true --benchmark_min_time="$min_time" \
  --benchmark_out="$json" --benchmark_out_format=json > /dev/null

cat "$dir/machine.txt"
echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
python3 bench/chain/table.py "$json"
