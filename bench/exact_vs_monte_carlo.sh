#!/usr/bin/env bash
# The exact method against a default Monte Carlo run on the same tables: for
# each program, tables drawn around a point of its hypothesis (sizes 20 to
# 2000, so that the evidence is neither 0 nor 1 and Monte Carlo runs its
# course), each run in batch mode on one thread with each method (the exact
# method on the tables repeated, so that starting the process does not count).
# Prints the cost per table of each and their ratio.
# Usage: bench/exact_vs_monte_carlo.sh [build-dir] [tables]   (default: build 24)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tables=${2:-24}
[ -x "$build/programs/kavoind" ] || { cmake -S . -B "$build" -G Ninja >/dev/null && cmake --build "$build" >/dev/null; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Counts (at least 1) drawn around cell probabilities on the hypothesis, plus
# one (the uniform prior), so every parameter is at least 2.
make_tables() {
  awk -v program="$1" -v tables="$tables" 'BEGIN {
    srand(11);
    for (i = 1; i <= tables; i++) {
      n = int(exp(log(20) + rand() * log(100))); u = 0.1 + 0.8 * rand(); v = 0.1 + 0.8 * rand();
      if (program == "kavoprop") { k = int(n * u + sqrt(n * u * (1 - u)) * (rand() - 0.5));
        if (k < 1) k = 1; if (k > n - 1) k = n - 1;
        printf "%d\t%d\t%.6f\n", k + 1, n - k + 1, u; continue }
      if (program == "kavohw") { p[1] = u * u; p[2] = 2 * u * (1 - u); p[3] = (1 - u) * (1 - u); cells = 3 }
      else if (program == "kavomcn") { p[1] = u * v; p[2] = p[3] = 0.5 * (1 - v); p[4] = (1 - u) * v; cells = 4 }
      else { p[1] = u * v; p[2] = u * (1 - v); p[3] = (1 - u) * v; p[4] = (1 - u) * (1 - v); cells = 4 }
      line = "";
      for (c = 1; c <= cells; c++) {
        x = int(n * p[c] + sqrt(n * p[c]) * 2 * (rand() - 0.5)); if (x < 1) x = 1;
        line = line (c > 1 ? "\t" : "") (x + 1)
      }
      print line
    } }' > "$work/$1.tsv"
}

repeats=2000

seconds() {
  local file=$1 start end
  shift
  start=$(date +%s%N)
  "$build/programs/$program" --batch "$file" --threads 1 --no-progress "$@" > /dev/null
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.9f", ns / 1e9 }'
}

printf '%-9s %14s %14s %10s\n' program monte_carlo exact ratio
for program in kavoprop kavohw kavohomo kavoind kavomcn; do
  make_tables "$program"
  for ((r = 0; r < repeats; r++)); do cat "$work/$program.tsv"; done > "$work/repeated.tsv"
  mc=$(seconds "$work/$program.tsv")
  exact=$(seconds "$work/repeated.tsv" --method exact)
  awk -v p="$program" -v mc="$mc" -v ex="$exact" -v n="$tables" -v r="$repeats" 'BEGIN {
    mc /= n; ex /= n * r; printf "%-9s %11.1f ms %11.1f us %10.0f\n", p, 1e3 * mc, 1e6 * ex, mc / ex }'
done
