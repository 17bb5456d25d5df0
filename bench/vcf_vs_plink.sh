#!/usr/bin/env bash
# Hardy-Weinberg straight from genotypes: a panel of VARIANTS variants x 1000
# samples made by plink2 --dummy, exported to BCF and to bgzipped VCF; on
# each file, the wall time of plink2 --hardy and of kavohw --vcf (exact
# evidence of every site, uniform prior), with THREADS threads each. Then
# where kavohw's time goes: the evidence alone (kavohw --batch on the counts
# the VCF run wrote), the rest being htslib's decoding and the counting.
# Needs Debian's plink2 and a build of the programs (default build/programs).
#
#   bench/vcf_vs_plink.sh [PROGRAMS_DIR] [VARIANTS] [THREADS]
#   bench/vcf_vs_plink.sh build/programs 100000     # a quick run
set -euo pipefail
programs="${1:-build/programs}"
variants="${2:-1000000}"
threads="${3:-2}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

timed() {  # label, command...: wall and CPU seconds
  local label="$1"; shift
  /usr/bin/time -f "$label: %e s wall, %U s user, %S s system, %M KB" "$@"
}

plink2 --dummy 1000 "$variants" acgt --export bcf --out "$work/panel" --threads "$threads" --silent
plink2 --dummy 1000 "$variants" acgt --export vcf bgz --out "$work/panel" --threads "$threads" --silent
echo "$variants variants x 1000 samples: BCF $(du -h "$work/panel.bcf" | cut -f1)," \
     "bgzipped VCF $(du -h "$work/panel.vcf.gz" | cut -f1)"

for kind in bcf vcf; do
  file="$work/panel.$kind"
  [ "$kind" = vcf ] && file="$work/panel.vcf.gz"
  timed "plink2 --$kind FILE --hardy" plink2 "--$kind" "$file" --hardy --threads "$threads" \
    --out "$work/plink_$kind" >/dev/null
  timed "kavohw --vcf FILE ($kind) --prior 1" "$programs/kavohw" --vcf "$file" --prior 1 \
    --threads "$threads" --no-progress --output "$work/kavo_$kind.tsv" || true
  echo "  $(($(wc -l < "$work/kavo_$kind.tsv") - 1)) rows," \
       "$(awk -F'\t' 'NR > 1 && $14 == "NA"' "$work/kavo_$kind.tsv" | wc -l) without an evidence"
done

# The evidence alone, on the same counts (ID and the three genotype counts).
awk -F'\t' 'BEGIN { OFS = "\t"; print "id", "aa", "ab", "bb" }
            NR > 1 { split($8, c, ","); print $3, c[1], c[2], c[3] }' "$work/kavo_bcf.tsv" \
  > "$work/counts.tsv"
timed "kavohw --batch counts --prior 1 (the evidence alone)" "$programs/kavohw" --batch \
  "$work/counts.tsv" --prior 1 --threads "$threads" --no-progress --output "$work/batch.tsv" || true
