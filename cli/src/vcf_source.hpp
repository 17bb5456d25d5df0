#pragma once
// Reading a VCF, bgzipped VCF or BCF (or standard input) site by site with
// htslib: each record becomes its identity and its genotype counts. Nothing
// here writes output; a record htslib cannot read ends the reading.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "genotype_counts.hpp"

struct bcf1_t;  // htslib's record

namespace kavo::cli {

struct VcfSite {
  std::string chrom;
  std::int64_t pos = 0;  // 1-based, as the file writes it
  std::string id;
  std::string ref;
  std::string alt;       // the ALT alleles joined by commas, "." when none
  SiteCounts counts;
};

struct VcfSelection {
  std::string samples;   // "" (all), a comma list or a file; "^" first excludes
  std::string regions;   // "" (all), or CHR[:BEG[-END]],...: sites whose POS lies within
  std::string sex_file;  // "": sexes unknown
  int threads = 1;       // for bgzf decompression
};

// A record as htslib decodes it, reused from record to record.
class VcfRecord {
 public:
  VcfRecord();
  ~VcfRecord();
  VcfRecord(const VcfRecord&) = delete;
  VcfRecord& operator=(const VcfRecord&) = delete;

 private:
  bcf1_t* rec_;
  friend class VcfSource;
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

  // A text VCF gives its records as lines, for VcfRecordParser to parse in
  // the caller's threads (parsing is most of the reading); a BCF gives them
  // decoded, for fill().
  bool text() const;

  // The next record: its line into `text`, or decoded into `record`; `line`
  // is its line in a text VCF read from the start (else 0). False at the
  // end or when a record cannot be read (record_problem() then says what).
  bool next(std::string& text, VcfRecord& record, long& line);
  const std::string& record_problem() const { return record_problem_; }

  // A decoded record's site (unpacking the record). Safe from several
  // threads at once, each on its own record.
  void fill(const VcfRecord& record, VcfSite& site) const;

  // The message for a record that cannot be read, by what is wrong with it
  // and the site before it ("CHROM:POS"; "" for none).
  std::string cannot_read(const std::string& what, const std::string& previous_site) const;

  // Compressed bytes read so far and the input's size (0 when unknown).
  std::uint64_t bytes_read() const;
  std::uint64_t size() const { return size_; }

 private:
  struct Impl;
  bool open_regions();
  bool read_sexes();
  bool read_record(std::string& text, bcf1_t* rec);

  std::unique_ptr<Impl> impl_;
  std::string problem_;
  std::string record_problem_;
  std::uint64_t size_ = 0;
  friend class VcfRecordParser;
};

// Parses a text source's records; one parser per thread, each with its own
// copy of the header.
class VcfRecordParser {
 public:
  explicit VcfRecordParser(const VcfSource& source);
  ~VcfRecordParser();
  VcfRecordParser(const VcfRecordParser&) = delete;
  VcfRecordParser& operator=(const VcfRecordParser&) = delete;

  // Fills the site from a record's line (`line` its number, 0 when not
  // known); false, saying why, when the line is not a VCF record.
  bool parse(std::string_view text, long line, VcfSite& site, std::string& problem);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Whether a chromosome's name is the X chromosome's (X, chrX, 23).
bool is_x_chromosome(const std::string& name);

}  // namespace kavo::cli
