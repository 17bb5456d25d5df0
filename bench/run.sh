#!/usr/bin/env bash
# Builds the draw-loop benchmark in Release mode and runs it (extra arguments go
# to Google Benchmark, e.g. --benchmark_filter=kavohw), then times whole runs
# of `kavoind 12 5 7 9` and prints the median of nine.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVO_BUILD_BENCH=ON \
  -DKAVO_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench >/dev/null
./build-bench/bench/kavo_bench --benchmark_min_time=1 "$@"

echo
times=()
for _ in 1 2 3 4 5 6 7 8 9; do
  start=$(date +%s%N)
  ./build-bench/programs/kavoind 12 5 7 9 2>/dev/null
  end=$(date +%s%N)
  times+=($(( (end - start) / 1000000 )))
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 5p)
echo "kavoind 12 5 7 9, whole process: median ${median} ms of 9 runs (${times[*]} ms)"
