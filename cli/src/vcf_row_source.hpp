#pragma once
// kavohw --vcf's rows: one per site of a VCF, bgzipped VCF or BCF, its
// columns (counts and prior among them) before the evidence. A text VCF's
// lines are parsed, and every site counted, in the workers. A record that
// cannot be read ends the input as a fatal row: the run stops there once
// every site before it is written.

#include <cstdint>
#include <string>

#include "options.hpp"
#include "row_source.hpp"
#include "vcf_source.hpp"

namespace kavo::cli {

class VcfRows final : public RowSource {
 public:
  VcfRows(const std::string& path, const RunOptions& options);

  // Why the file cannot be read at all (empty when it can).
  const std::string& problem() const { return source_.problem(); }
  std::uint64_t size() const { return source_.size(); }

  bool read(RawRecord& record) override;
  bool may_wait() const override { return false; }
  void parse(const RawRecord& record, RowInput& row) const override;
  std::string header() const override;
  void reject(const RawRecord& record, const RowInput& row, const RowInput* previous) override;
  std::string record_name(const RawRecord& record, const RowInput& row) const override;
  const char* records_name() const override { return "sites"; }
  const std::string& fatal() const override { return fatal_; }
  int read_error() const override { return 0; }
  std::uint64_t bytes() const override { return source_.bytes_read(); }

 private:
  VcfSource source_;
  double prior_;
  Method method_;
  std::uint64_t serial_;  // tells this source's per-thread parsers from another's
  bool ended_ = false;
  std::string fatal_;
};

}  // namespace kavo::cli
