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

void count_genotypes(std::span<const std::int32_t> genotypes, int samples, int ploidy,
                     int alleles, const SexRule& sex, SiteCounts& site) {
  site = SiteCounts{};
  site.allele_counts.assign(static_cast<std::size_t>(std::max(alleles, 0)), 0);
  if (alleles < 2) {
    site.problem = "a single allele (no ALT): nothing to test";
  } else if (alleles > kMaxSiteAlleles) {
    site.problem = std::to_string(alleles) + " alleles: more genotype classes than a table holds";
  }
  const int k = std::clamp(alleles, 1, kMaxSiteAlleles);
  std::vector<std::int64_t> diploid(static_cast<std::size_t>(k * (k + 1) / 2), 0);
  std::vector<std::int64_t> haploid(static_cast<std::size_t>(k), 0);
  std::int64_t haploid_called = 0;
  int bad_allele = -1;
  bool polyploid = false;

  for (int s = 0; s < samples; ++s) {
    const std::int32_t* call = genotypes.data() + static_cast<std::ptrdiff_t>(s) * ploidy;
    int n = 0;
    bool known = true;
    int a = 0, b = 0;
    for (; n < ploidy && call[n] != bcf_int32_vector_end; ++n) {
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
    if (!known || n == 0 || n > 2 || alleles > kMaxSiteAlleles) {
      ++site.missing;
      continue;
    }
    if (sex.active) {
      const Sex who = sex.sexes[static_cast<std::size_t>(s)];
      if (who == Sex::male && n == 2) {
        if (a != b) {  // a heterozygous male outside the pseudo-autosomal regions: an error
          ++site.missing;
          continue;
        }
        n = 1;
      } else if (who == Sex::female && n == 1) {
        ++site.missing;
        continue;
      }
    }
    ++site.called;
    if (n == 1) {
      ++haploid[static_cast<std::size_t>(a)];
      ++haploid_called;
      ++site.allele_counts[static_cast<std::size_t>(a)];
    } else {
      if (a > b) std::swap(a, b);
      ++diploid[genotype_class(a, b)];
      ++site.diploid_called;
      site.heterozygous += a != b;
      ++site.allele_counts[static_cast<std::size_t>(a)];
      ++site.allele_counts[static_cast<std::size_t>(b)];
    }
  }

  if (!site.problem.empty()) return;
  if (bad_allele >= 0) {
    site.problem = "a call names allele " + std::to_string(bad_allele) + ", but the site has " +
                   std::to_string(alleles) + " (REF is 0)";
  } else if (polyploid) {
    site.problem = "calls of more than two alleles per sample";
  } else if (site.called == 0) {
    site.problem = "no called genotypes";
  } else if (sex.active || (haploid_called > 0 && site.diploid_called > 0)) {
    site.table = SiteTable::x_linked;
    if (alleles > 2) {
      site.problem = "an X-linked site with more than two alleles";
      site.table = SiteTable::none;
      return;
    }
    site.counts = {diploid[0], diploid[1], diploid[2], haploid[0], haploid[1]};
  } else if (haploid_called > 0) {
    site.problem = "haploid calls only: no Hardy-Weinberg test";
  } else {
    site.table = SiteTable::autosomal;
    site.counts = std::move(diploid);
  }
}

}  // namespace kavo::cli
