#!/usr/bin/env bash
# A million-variant Hardy-Weinberg panel end to end: plink2 makes 1000
# samples' genotypes (plink2 --dummy) and counts them (plink2 --hardy, timed),
# then kavohw computes the exact evidence of every variant from those counts
# with the uniform prior (timed). Needs Debian's plink2 and a build of the
# programs (the folder holding kavohw; default build/programs).
#
#   bench/panel_vs_plink.sh [PROGRAMS_DIR] [VARIANTS] [THREADS]
set -euo pipefail
programs="${1:-build/programs}"
variants="${2:-1000000}"
threads="${3:-2}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

plink2 --dummy 1000 "$variants" --make-pgen --out "$work/panel" --threads "$threads" >/dev/null

timed() {  # label, command...: wall and CPU seconds
  local label="$1"; shift
  /usr/bin/time -f "$label: %e s wall, %U s user, %S s system, %M KB" "$@"
}

timed "plink2 --hardy" plink2 --pfile "$work/panel" --hardy --threads "$threads" \
  --out "$work/panel" >/dev/null
# ID and the genotype counts: HOM_A1_CT HET_A1_CT TWO_AX_CT.
awk 'BEGIN { OFS = "\t"; print "id", "aa", "ab", "bb" }
     NR > 1 { print $2, $5, $6, $7 }' "$work/panel.hardy" > "$work/counts.tsv"
rows=$(($(wc -l < "$work/counts.tsv") - 1))
empty=$(awk 'NR > 1 && ($2 == 0 || $3 == 0 || $4 == 0)' "$work/counts.tsv" | wc -l)
echo "$rows variants, $empty with an empty genotype class"

timed "kavohw --batch --prior 1 (exact)" "$programs/kavohw" --batch "$work/counts.tsv" \
  --prior 1 --threads "$threads" --no-progress --output "$work/evidence.tsv" || true
failed=$(awk -F'\t' 'NR > 1 && $5 == "NA"' "$work/evidence.tsv" | wc -l)
echo "$(($(wc -l < "$work/evidence.tsv") - 1)) rows written, $failed without an evidence"
