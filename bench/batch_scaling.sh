#!/usr/bin/env bash
# Batch mode's scaling and its cost outside the computing, on Hardy-Weinberg
# panels whose genotype counts come from a fixed pseudo-random sequence:
#  - exact (the default): ROWS rows (default 1000000) with 1 and 2 threads;
#  - Monte Carlo: 3000 rows at precision 0.005 with 1 and 2 threads;
#  - the time per row outside the computing (reading, parsing, writing): the
#    CPU time of the exact run on 1 thread less that of the library computing
#    the same rows alone (bench/panel_compute.cpp), per row; and, directly,
#    the time per row of a panel whose rows are all refused at validation.
# Wall times are the best of REPEATS runs (default 3); CPU time is also
# given, as other work on the machine inflates wall time, not CPU time.
# Usage: bench/batch_scaling.sh [build-dir] [rows] [repeats]   (default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
rows=${2:-1000000}
repeats=${3:-3}
if [ ! -x "$build/programs/kavohw" ] || [ ! -x "$build/bench/kavo_panel_compute" ]; then
  cmake -S . -B "$build" -G Ninja -DKAVO_BUILD_BENCH=ON -DKAVO_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target kavohw kavo_panel_compute >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
panel() {
  awk -v rows="$1" 'BEGIN { srand(7); print "marker\taa\tab\tbb";
    for (i = 1; i <= rows; i++) {
      n = 50 + int(rand() * 450); p = 0.1 + rand() * 0.8; f = rand() * 0.2 - 0.05;
      aa = int(n * (p * p + f * p * (1 - p))); bb = int(n * ((1 - p) * (1 - p) + f * p * (1 - p)));
      ab = n - aa - bb; if (ab < 0) ab = 0;
      printf "rs%d\t%d\t%d\t%d\n", i, aa, ab, bb } }'
}
panel "$rows" > "$work/exact.tsv"
panel 3000 > "$work/mc.tsv"

# best_of THREADS PANEL OUT [options]: prints "wall cpu" (seconds), the best wall of the runs.
best_of() {
  local threads=$1 input=$2 out=$3 best="" run
  shift 3
  for _ in $(seq "$repeats"); do
    /usr/bin/time -o "$work/time" -f "%e %U %S" "$build/programs/kavohw" --batch "$input" \
      --prior 1 --threads "$threads" --no-progress "$@" > "$out" 2>/dev/null || true
    run=$(tail -1 "$work/time" | awk '{ printf "%.2f %.2f", $1, $2 + $3 }')
    best=$(printf '%s\n%s\n' "$best" "$run" | awk 'NF == 2' | sort -n | head -1)
  done
  echo "$best"
}

report() {
  local name=$1 n=$2 one=$3 two=$4 same=$5
  awk -v name="$name" -v n="$n" -v one="$one" -v two="$two" -v same="$same" 'BEGIN {
    split(one, a, " "); split(two, b, " ");
    printf "%s, %d rows: 1 thread %.2f s (CPU %.2f s), 2 threads %.2f s (CPU %.2f s); speed-up %.2f; outputs %s\n",
      name, n, a[1], a[2], b[1], b[2], a[1] / b[1], same }'
}

one=$(best_of 1 "$work/exact.tsv" "$work/exact-1.out")
two=$(best_of 2 "$work/exact.tsv" "$work/exact-2.out")
cmp -s "$work/exact-1.out" "$work/exact-2.out" && same=identical || same=DIFFERENT
report "kavohw --batch (exact)" "$rows" "$one" "$two" "$same"

compute=$("$build/bench/kavo_panel_compute" "$work/exact.tsv" | tail -1)
awk -v one="$one" -v compute="$compute" 'BEGIN {
  split(one, a, " "); split(compute, c, " ");
  printf "computing alone (library, 1 thread): %.2f s CPU, %.3f us a row; outside it: %.3f us a row\n",
    c[3], c[3] / c[1] * 1e6, (a[2] - c[3]) / c[1] * 1e6 }'

# The same path with nothing to compute: every row refused at validation
# (a negative count), written NA.
awk -v rows="$rows" 'BEGIN { print "marker\taa\tab\tbb";
  for (i = 1; i <= rows; i++) printf "rs%d\t%d\t%d\t-%d\n", i, 100 + i % 300, 50 + i % 200, 1 + i % 100 }' \
  > "$work/refused.tsv"
refused=$(best_of 1 "$work/refused.tsv" "$work/refused.out")
awk -v r="$refused" -v n="$rows" 'BEGIN { split(r, a, " ");
  printf "rows refused at validation (read, parse, validate, write NA), 1 thread: %.2f s (CPU %.2f s), %.3f us a row\n",
    a[1], a[2], a[2] / n * 1e6 }'

one=$(best_of 1 "$work/mc.tsv" "$work/mc-1.out" --method monte_carlo --precision 0.005)
two=$(best_of 2 "$work/mc.tsv" "$work/mc-2.out" --method monte_carlo --precision 0.005)
cmp -s "$work/mc-1.out" "$work/mc-2.out" && same=identical || same=DIFFERENT
report "kavohw --batch --method monte_carlo --precision 0.005" 3000 "$one" "$two" "$same"
