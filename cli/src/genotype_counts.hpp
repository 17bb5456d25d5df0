#pragma once
// A site's genotype calls, as htslib encodes them, counted into the tables
// the Hardy-Weinberg hypotheses take: genotype classes of diploid calls and
// alleles of haploid ones. Missing calls are left out and counted.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kavo::cli {

// The sex of a sample as plink codes it (1 male, 2 female, else unknown).
enum class Sex : std::uint8_t { unknown, male, female };

// Which table a site's calls make.
enum class SiteTable {
  none,         // nothing to test (see SiteCounts::problem)
  autosomal,    // diploid calls: the k-allele genotype classes
  x_linked,     // diploid and haploid calls of two alleles: AA AB BB A B
};

// The largest number of alleles whose genotype classes fit a table.
inline constexpr int kMaxSiteAlleles = 13;

struct SiteCounts {
  SiteTable table = SiteTable::none;
  std::int64_t called = 0;   // samples with every allele of their call known
  std::int64_t missing = 0;  // the others (male heterozygous calls on X included)
  // autosomal: k (k + 1) / 2 classes in the library's order 11 12 22 13 23 33 ...;
  // x_linked: the diploid (female) classes AA AB BB, then the haploid (male) A B.
  std::vector<std::int64_t> counts;
  std::vector<std::int64_t> allele_counts;  // per allele, over every called allele
  std::int64_t diploid_called = 0;
  std::int64_t heterozygous = 0;  // of the diploid calls
  std::string problem;            // why the site has no table; empty when it has one
};

// How the calls of an X-chromosome site are read when the samples' sexes
// are known: males' diploid homozygous calls are one allele and their
// heterozygous calls missing; females' haploid calls are missing.
struct SexRule {
  bool active = false;
  std::span<const Sex> sexes;  // per sample, in the record's order
};

// Counts a site of `samples` samples and `alleles` alleles (REF included)
// from `genotypes`: `ploidy` values per sample, htslib's GT encoding, shorter
// calls padded with the vector-end marker. The 8-bit form reads a BCF
// record's values as stored, without widening them.
void count_genotypes(std::span<const std::int32_t> genotypes, int samples, int ploidy,
                     int alleles, const SexRule& sex, SiteCounts& site);
void count_genotypes(std::span<const std::int8_t> genotypes, int samples, int ploidy,
                     int alleles, const SexRule& sex, SiteCounts& site);

}  // namespace kavo::cli
