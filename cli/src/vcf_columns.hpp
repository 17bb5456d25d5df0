#pragma once
// The leading columns of a VCF site's output row: its identity, its calls
// as counted, its allele frequencies and heterozygosities, the hypothesis
// and the prior. The evidence columns follow (writer.hpp's row_result).

#include <string>

#include "kavo/kavo.hpp"
#include "vcf_source.hpp"

namespace kavo::cli {

// The hypothesis a site's table is tested by, as its column shows it.
std::string site_hypothesis_name(SiteTable table);

// The header: these columns, then the evidence columns of the method.
std::string vcf_header_line(Method method);

// Appends a site's columns before the evidence, each followed by a tab.
void append_vcf_prefix(std::string& out, const VcfSite& site, double prior);

}  // namespace kavo::cli
