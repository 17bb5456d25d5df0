#include "vcf_row_source.hpp"

#include <atomic>
#include <memory>

#include "reader.hpp"
#include "vcf_columns.hpp"

namespace kavo::cli {

namespace {

// What a record holds besides its text: a BCF record as decoded, or why the
// record cannot be read.
struct VcfData final : RecordData {
  VcfRecord decoded;
  std::string problem;
};

// A thread's parser, for the source it last parsed for, and its site.
struct ThreadParse {
  std::uint64_t source = 0;
  std::unique_ptr<VcfRecordParser> parser;
  VcfSite site;
};

std::atomic<std::uint64_t> next_serial{1};

VcfSelection selection_of(const RunOptions& opt) {
  VcfSelection selection;
  selection.samples = opt.samples;
  selection.regions = opt.regions;
  selection.sex_file = opt.sex_file;
  selection.threads = opt.threads;
  return selection;
}

// CHROM:POS, then the ID when there is one.
void name_site(const VcfSite& site, std::string& name) {
  name = printable(site.chrom);
  name += ':';
  name += std::to_string(site.pos);
  if (site.id != ".") {
    name += ' ';
    name += printable(site.id);
  }
}

// What a site is tested by: the k-allele hypothesis of its diploid calls, or
// the X-linked one of diploid and haploid calls.
void choose_test(const SiteCounts& c, RowInput& row) {
  if (c.table == SiteTable::autosomal) {
    row.hypothesis = Hypothesis::hardy_weinberg;
    int k = 2;
    while (k * (k + 1) / 2 < static_cast<int>(c.counts.size())) ++k;
    row.shape = Shape::alleles(k);
  } else {
    row.hypothesis = Hypothesis::x_linked_hardy_weinberg;
    row.shape = default_shape(row.hypothesis);
  }
}

}  // namespace

VcfRows::VcfRows(const std::string& path, const RunOptions& opt)
    : source_(path, selection_of(opt)), prior_(opt.prior), method_(opt.settings.method),
      serial_(next_serial++) {}

bool VcfRows::read(RawRecord& record) {
  if (ended_) return false;
  if (record.data == nullptr) record.data = std::make_unique<VcfData>();
  auto& data = static_cast<VcfData&>(*record.data);
  data.problem.clear();
  if (source_.next(record.text, data.decoded, record.line)) return true;
  ended_ = true;
  if (source_.record_problem().empty()) return false;
  data.problem = source_.record_problem();  // the run stops at this row
  return true;
}

void VcfRows::parse(const RawRecord& record, RowInput& row) const {
  thread_local ThreadParse local;
  const auto& data = static_cast<const VcfData&>(*record.data);
  row.fatal = !data.problem.empty();
  if (row.fatal) {
    row.failure = data.problem;
    return;
  }
  VcfSite& site = local.site;
  if (source_.text()) {
    if (local.source != serial_) {
      local.parser = std::make_unique<VcfRecordParser>(source_);
      local.source = serial_;
    }
    row.fatal = !local.parser->parse(record.text, record.line, site, row.failure);
    if (row.fatal) return;
  } else {
    source_.fill(data.decoded, site);
  }
  row.leading.clear();
  append_vcf_prefix(row.leading, site, prior_);
  name_site(site, row.name);
  row.name_leads = true;
  row.echoed = false;  // the columns show the counts and the prior
  row.failure = site.counts.problem;
  const std::vector<std::int64_t>& counts = site.counts.counts;
  row.value_count = row.failure.empty() ? static_cast<int>(counts.size()) : 0;
  row.dirichlet_count = row.value_count;
  row.values.resize(static_cast<std::size_t>(row.value_count));
  for (int i = 0; i < row.value_count; ++i) {
    row.values[static_cast<std::size_t>(i)] = static_cast<double>(counts[static_cast<std::size_t>(i)]);
  }
  row.values_read = true;
  row.prior = prior_;
  if (row.failure.empty()) choose_test(site.counts, row);
}

std::string VcfRows::header() const { return vcf_header_line(method_); }

void VcfRows::reject(const RawRecord&, const RowInput& row, const RowInput* previous) {
  // The site before it by CHROM:POS: its name without the ID.
  fatal_ = source_.cannot_read(row.failure,
                               previous != nullptr ? previous->name.substr(0, previous->name.find(' '))
                                                   : std::string());
}

std::string VcfRows::record_name(const RawRecord&, const RowInput& row) const {
  return "site " + row.name;
}

}  // namespace kavo::cli
