#pragma once
// Reading a VCF, bgzipped VCF or BCF (or standard input) site by site with
// htslib: each record becomes its identity and its genotype counts. Nothing
// here writes output; a record htslib cannot read ends the reading, with a
// message naming it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "genotype_counts.hpp"

namespace kavo::cli {

struct VcfSite {
  std::string chrom;
  std::int64_t pos = 0;  // 1-based, as the file writes it
  std::string id;
  std::string ref;
  std::string alt;       // the ALT alleles joined by commas, "." when none
  long line = 0;         // its line in a text VCF read from the start; else 0
  SiteCounts counts;
  // A text record read but not yet parsed (see VcfSource::deferred).
  std::string record;
  bool parsed = false;
};

struct VcfSelection {
  std::string samples;   // "" (all), a comma list or a file; "^" first excludes
  std::string regions;   // "" (all), or CHR[:BEG[-END]],...: sites whose POS lies within
  std::string sex_file;  // "": sexes unknown
  int threads = 1;       // for bgzf decompression
};

class VcfSource {
 public:
  // Opens the file ("-": standard input) and reads its header; check
  // problem() before reading.
  VcfSource(const std::string& path, const VcfSelection& selection);
  ~VcfSource();
  VcfSource(const VcfSource&) = delete;
  VcfSource& operator=(const VcfSource&) = delete;

  // Why the file cannot be read (empty when it can).
  const std::string& problem() const { return problem_; }

  // The next site; false at the end or when a record cannot be read
  // (problem() then says which and why).
  bool next(VcfSite& site);

  // A text VCF read from the start gives its lines unparsed (site.parsed
  // false): parsing is most of the reading, so the caller parses them in
  // threads with VcfRecordParser, and hands a line that is not a record
  // back to reject(), with the site before it ("CHROM:POS", or "").
  bool deferred() const;
  void reject(const VcfSite& site, const std::string& previous_site);

  int samples() const;
  // Compressed bytes read so far and the input's size (0 when unknown).
  std::uint64_t bytes_read() const;
  std::uint64_t size() const { return size_; }

 private:
  struct Impl;
  bool open_regions();
  bool read_sexes();
  bool read_record();

  std::unique_ptr<Impl> impl_;
  std::string problem_;
  std::uint64_t size_ = 0;
  friend class VcfRecordParser;
};

// Parses the deferred records of a source; one parser per thread, each with
// its own copy of the header.
class VcfRecordParser {
 public:
  explicit VcfRecordParser(const VcfSource& source);
  ~VcfRecordParser();
  VcfRecordParser(const VcfRecordParser&) = delete;
  VcfRecordParser& operator=(const VcfRecordParser&) = delete;

  // Fills the site from its record; false when the line is not a VCF record.
  bool parse(VcfSite& site);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Whether a chromosome's name is the X chromosome's (X, chrX, 23).
bool is_x_chromosome(const std::string& name);

}  // namespace kavo::cli
