#include "vcf_columns.hpp"

#include <charconv>

#include "writer.hpp"

namespace kavo::cli {

namespace {

// Descriptive figures: six significant digits are plenty.
void append_fraction(std::string& out, double value) {
  append_number(out, value, std::chars_format::general, 6);
}

}  // namespace

std::string site_hypothesis_name(SiteTable table) {
  switch (table) {
    case SiteTable::autosomal: return hypothesis_name(Hypothesis::hardy_weinberg);
    case SiteTable::x_linked: return hypothesis_name(Hypothesis::x_linked_hardy_weinberg);
    case SiteTable::none: break;
  }
  return "NA";
}

std::string vcf_header_line(Method method) {
  OutputColumns evidence;
  evidence.method = method;
  return "CHROM\tPOS\tID\tREF\tALT\tn_called\tn_missing\tgenotype_counts\tallele_freqs\t"
         "het_obs\thet_exp\thypothesis\tprior\t" + header_line(evidence);
}

void append_vcf_prefix(std::string& out, const VcfSite& site, double prior) {
  const SiteCounts& c = site.counts;
  const auto field = [&](std::string_view text) {
    append_field(out, text);
    out += '\t';
  };
  const auto whole = [&](std::int64_t n) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, n).ptr);
  };
  field(site.chrom);
  whole(site.pos);
  out += '\t';
  field(site.id);
  field(site.ref);
  field(site.alt);
  whole(c.called);
  out += '\t';
  whole(c.missing);
  out += '\t';
  if (c.counts.empty()) {
    out += "NA";
  } else {
    for (std::size_t i = 0; i < c.counts.size(); ++i) {
      if (i > 0) out += ',';
      whole(c.counts[i]);
    }
  }
  out += '\t';
  std::int64_t alleles = 0;
  for (std::int64_t n : c.allele_counts) alleles += n;
  double homozygosity = 0.0;
  if (alleles == 0) {
    out += "NA";
  } else {
    for (std::size_t i = 0; i < c.allele_counts.size(); ++i) {
      const double p = static_cast<double>(c.allele_counts[i]) / static_cast<double>(alleles);
      homozygosity += p * p;
      if (i > 0) out += ',';
      append_fraction(out, p);
    }
  }
  out += '\t';
  if (c.diploid_called == 0) {
    out += "NA\tNA\t";
  } else {
    append_fraction(out, static_cast<double>(c.heterozygous) / static_cast<double>(c.diploid_called));
    out += '\t';
    append_fraction(out, 1.0 - homozygosity);
    out += '\t';
  }
  out += site_hypothesis_name(c.table);
  out += '\t';
  append_number(out, prior);
  out += '\t';
}

}  // namespace kavo::cli
