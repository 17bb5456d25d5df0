#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (fuzzer, address and undefined
# sanitizers) and runs each for a bounded time from the seed corpus.
# Usage: fuzz/run.sh [seconds per target]   (default 60; CI uses a short run)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKAVO_BUILD_FUZZ=ON -DKAVO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build"
for target in number_parse arguments batch_reader; do
  work=$(mktemp -d)
  cp fuzz/corpus/$target/* "$work"/
  log=$(mktemp)
  echo "== ${target}_fuzz for ${seconds}s"
  if ! "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" -max_len=512 -timeout=20 \
      -artifact_prefix="$build/" -print_final_stats=1 "$work" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "${target}_fuzz FAILED (the input is in $build/crash-* or $build/timeout-*)"
    exit 1
  fi
  grep -E "DONE|stat::number_of_executed_units" "$log" || true
  rm -rf "$work" "$log"
done
