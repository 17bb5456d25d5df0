#include "genotype_counts.hpp"

#include <htslib/vcf.h>

#include <algorithm>

namespace kavo::cli {

namespace {

// Class (a, b), 0-based alleles a <= b, in the order 11 12 22 13 23 33 ...
inline std::size_t genotype_class(int a, int b) {
  return static_cast<std::size_t>(b * (b + 1) / 2 + a);
}

}  // namespace

// htslib's end-of-call marker for each width of GT values.
template <typename T>
constexpr T vector_end();
template <>
constexpr std::int8_t vector_end<std::int8_t>() { return bcf_int8_vector_end; }
template <>
constexpr std::int32_t vector_end<std::int32_t>() { return bcf_int32_vector_end; }

// Whether every value of `samples` diploid calls is allele 0 or 1, phased
// or not (2 to 5 in htslib's encoding): no missing allele, no haploid call.
template <typename T>
bool all_known_two_alleles(std::span<const T> genotypes, int samples) {
  unsigned outside = 0;
  const auto n = static_cast<std::size_t>(2 * samples);
  for (std::size_t i = 0; i < n; ++i) outside |= static_cast<unsigned>(genotypes[i] - 2) > 3u;
  return outside == 0;
}

template <typename T>
void count_calls(std::span<const T> genotypes, int samples, int ploidy, int alleles,
                 const SexRule& sex, SiteCounts& site) {
  constexpr T kEnd = vector_end<T>();
  site = SiteCounts{};
  site.allele_counts.assign(static_cast<std::size_t>(std::max(alleles, 0)), 0);
  if (alleles < 2) {
    site.problem = "a single allele (no ALT): nothing to test";
  } else if (alleles > kMaxSiteAlleles) {
    site.problem = std::to_string(alleles) + " alleles: more genotype classes than a table holds";
  }
  // Sites with too many alleles for a table are still counted, for their columns.
  const int k = std::max(alleles, 1);
  std::vector<std::int64_t> diploid(static_cast<std::size_t>(k * (k + 1) / 2), 0);
  std::vector<std::int64_t> haploid(static_cast<std::size_t>(k), 0);
  int bad_allele = -1;
  bool polyploid = false;
  const auto limit = static_cast<unsigned>(k);

  // Any call: its ploidy, missing alleles, a male's or a female's X.
  const auto count_call = [&](const T* call, int s) {
    int n = 0;
    bool known = true;
    int a = 0, b = 0;
    for (; n < ploidy && call[n] != kEnd; ++n) {
      if (bcf_gt_is_missing(call[n])) {
        known = false;
        continue;
      }
      const int allele = bcf_gt_allele(call[n]);
      if (allele >= alleles) {
        bad_allele = std::max(bad_allele, allele);
        known = false;
      }
      if (n == 0) a = allele;
      if (n == 1) b = allele;
    }
    if (n > 2) polyploid = polyploid || known;
    if (!known || n == 0 || n > 2) {
      ++site.missing;
      return;
    }
    if (sex.active) {
      const Sex who = sex.sexes[static_cast<std::size_t>(s)];
      if (who == Sex::male && n == 2) {
        if (a != b) {  // a heterozygous male outside the pseudo-autosomal regions: an error
          ++site.missing;
          return;
        }
        n = 1;
      } else if (who == Sex::female && n == 1) {
        ++site.missing;
        return;
      }
    }
    if (n == 1) {
      ++haploid[static_cast<std::size_t>(a)];
    } else {
      ++diploid[genotype_class(std::min(a, b), std::max(a, b))];
    }
  };

  const T* gt = genotypes.data();
  if (ploidy == 2 && !sex.active && alleles == 2 && all_known_two_alleles(genotypes, samples)) {
    // Every call diploid of alleles 0 and 1 (values 2 to 5, allele v >> 2):
    // branch-free sums, which the compiler vectorises.
    std::uint64_t het = 0, hom_alt = 0;
    for (int s = 0; s < samples; ++s) {
      const unsigned a = static_cast<unsigned>(gt[2 * s]) >> 2;
      const unsigned b = static_cast<unsigned>(gt[2 * s + 1]) >> 2;
      het += a ^ b;
      hom_alt += a & b;
    }
    diploid[0] = samples - static_cast<std::int64_t>(het + hom_alt);
    diploid[1] = static_cast<std::int64_t>(het);
    diploid[2] = static_cast<std::int64_t>(hom_alt);
  } else if (ploidy == 2 && !sex.active && alleles == 2) {
    // Two alleles, diploid calls: the class is a + b, counted in registers
    // (counting in memory waits on the previous sample's store).
    std::int64_t known = 0, het = 0, hom_alt = 0;
    for (int s = 0; s < samples; ++s, gt += 2) {
      const unsigned a = static_cast<unsigned>(static_cast<int>(gt[0]) >> 1) - 1u;
      const unsigned b = static_cast<unsigned>(static_cast<int>(gt[1]) >> 1) - 1u;
      if (gt[1] == kEnd || a >= 2u || b >= 2u) {
        count_call(gt, s);
        continue;
      }
      het += (a + b) == 1u;
      hom_alt += (a + b) == 2u;
      ++known;
    }
    diploid[0] += known - het - hom_alt;
    diploid[1] += het;
    diploid[2] += hom_alt;
  } else if (ploidy == 2 && !sex.active) {
    // The common case, diploid calls of known alleles, decoded inline.
    for (int s = 0; s < samples; ++s, gt += 2) {
      const unsigned a = static_cast<unsigned>(static_cast<int>(gt[0]) >> 1) - 1u;
      const unsigned b = static_cast<unsigned>(static_cast<int>(gt[1]) >> 1) - 1u;
      if (gt[1] == kEnd || a >= limit || b >= limit) {
        count_call(gt, s);
        continue;
      }
      ++diploid[genotype_class(static_cast<int>(std::min(a, b)), static_cast<int>(std::max(a, b)))];
    }
  } else {
    for (int s = 0; s < samples; ++s) count_call(gt + static_cast<std::ptrdiff_t>(s) * ploidy, s);
  }

  // Allele counts and heterozygotes from the classes.
  std::int64_t haploid_called = 0;
  for (int b = 0; b < k; ++b) {
    for (int a = 0; a <= b; ++a) {
      const std::int64_t n = diploid[genotype_class(a, b)];
      site.diploid_called += n;
      if (a != b) site.heterozygous += n;
      if (a < alleles) site.allele_counts[static_cast<std::size_t>(a)] += n;
      if (b < alleles) site.allele_counts[static_cast<std::size_t>(b)] += n;
    }
    haploid_called += haploid[static_cast<std::size_t>(b)];
    if (b < alleles) site.allele_counts[static_cast<std::size_t>(b)] += haploid[static_cast<std::size_t>(b)];
  }
  site.called = site.diploid_called + haploid_called;

  if (!site.problem.empty()) return;
  if (bad_allele >= 0) {
    site.problem = "a call names allele " + std::to_string(bad_allele) + ", but the site has " +
                   std::to_string(alleles) + " (REF is 0)";
  } else if (polyploid) {
    site.problem = "calls of more than two alleles per sample";
  } else if (site.called == 0) {
    site.problem = "no called genotypes";
  } else if (sex.active || (haploid_called > 0 && site.diploid_called > 0)) {
    if (alleles > 2) {
      site.problem = "an X-linked site with more than two alleles";
      return;
    }
    site.table = SiteTable::x_linked;
    site.counts = {diploid[0], diploid[1], diploid[2], haploid[0], haploid[1]};
  } else if (haploid_called > 0) {
    site.problem = "haploid calls only: no Hardy-Weinberg test";
  } else {
    site.table = SiteTable::autosomal;
    site.counts = std::move(diploid);
  }
}

void count_genotypes(std::span<const std::int32_t> genotypes, int samples, int ploidy,
                     int alleles, const SexRule& sex, SiteCounts& site) {
  count_calls(genotypes, samples, ploidy, alleles, sex, site);
}

void count_genotypes(std::span<const std::int8_t> genotypes, int samples, int ploidy,
                     int alleles, const SexRule& sex, SiteCounts& site) {
  count_calls(genotypes, samples, ploidy, alleles, sex, site);
}

}  // namespace kavo::cli
