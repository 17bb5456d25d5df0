#include "vcf_source.hpp"

#include <htslib/bgzf.h>
#include <htslib/hts.h>
#include <htslib/kseq.h>
#include <htslib/kstring.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <stdexcept>
#include <unordered_map>

#include "number_parse.hpp"
#include "reader.hpp"

namespace kavo::cli {

namespace {

// A name in quotes, as messages show it (built by appending: GCC 12 warns
// falsely about "'" + std::string).
std::string in_quotes(std::string_view text) {
  std::string shown(1, '\'');
  shown += printable(text);
  shown += '\'';
  return shown;
}

std::string quoted(const std::string& path) {
  return path == "-" ? "standard input" : in_quotes(path);
}

struct Region {
  std::string chrom;
  std::int64_t beg = 1;  // 1-based, inclusive
  std::int64_t end = INT64_MAX;
  int tid = -1;          // in the index; -1: no sites
};

// CHR, CHR:POS, CHR:BEG-END or CHR:BEG-; false when malformed.
bool parse_region(const std::string& text, Region& region) {
  region = Region{};
  const std::size_t colon = text.rfind(':');
  region.chrom = text.substr(0, colon);
  if (region.chrom.empty()) return false;
  if (colon == std::string::npos) return true;
  const std::string range = text.substr(colon + 1);
  const std::size_t dash = range.find('-');
  std::int64_t beg = 0, end = 0;
  if (!parse_whole(range.substr(0, dash), beg) || beg < 1) return false;
  region.beg = beg;
  if (dash == std::string::npos) {
    region.end = beg;
  } else if (dash + 1 < range.size()) {
    if (!parse_whole(range.substr(dash + 1), end) || end < beg) return false;
    region.end = end;
  }
  return true;
}

// The start of a record's line, for a message.
std::string excerpt(const char* text, std::size_t length) {
  constexpr std::size_t kShown = 60;
  std::string cut(text, std::min(length, kShown));
  std::replace(cut.begin(), cut.end(), '\t', ' ');
  std::string shown = printable(cut);
  if (length > kShown) shown += "...";
  return shown;
}

}  // namespace

struct VcfSource::Impl {
  std::string path;
  VcfSelection selection;
  htsFile* fp = nullptr;
  bcf_hdr_t* hdr = nullptr;
  bool text = false;
  // --regions: the index, the regions and the one being read.
  hts_idx_t* idx = nullptr;
  tbx_t* tbx = nullptr;
  hts_itr_t* itr = nullptr;
  std::vector<Region> regions;
  std::size_t region = 0;
  kstring_t line = {0, 0, nullptr};
  // --sex, per sample of the records.
  std::vector<Sex> sexes;
  // A text VCF: the header before --samples, for the parsers' copies.
  bcf_hdr_t* full_hdr = nullptr;
  bool samples_from_file = false;

  ~Impl() {
    std::free(line.s);
    if (itr != nullptr) hts_itr_destroy(itr);
    if (tbx != nullptr) tbx_destroy(tbx);
    if (idx != nullptr) hts_idx_destroy(idx);
    if (hdr != nullptr) bcf_hdr_destroy(hdr);
    if (full_hdr != nullptr) bcf_hdr_destroy(full_hdr);
    if (fp != nullptr) hts_close(fp);
  }
};

namespace {

// GT values widened to 32 bits, for the records whose values are not bytes;
// one buffer per thread.
struct GenotypeBuffer {
  std::int32_t* values = nullptr;
  int capacity = 0;
  ~GenotypeBuffer() { std::free(values); }
};

// A record's site: its identity and its genotype counts.
void fill_site(const bcf_hdr_t* hdr, bcf1_t* rec, const std::vector<Sex>& sexes, VcfSite& site) {
  bcf_unpack(rec, BCF_UN_STR);
  site.chrom = bcf_hdr_id2name(hdr, rec->rid);
  site.pos = rec->pos + 1;
  site.id = rec->d.id != nullptr ? rec->d.id : ".";
  site.ref = rec->n_allele > 0 ? rec->d.allele[0] : ".";
  site.alt.clear();
  for (int i = 1; i < rec->n_allele; ++i) {
    if (i > 1) site.alt += ',';
    site.alt += rec->d.allele[i];
  }
  if (site.alt.empty()) site.alt.push_back('.');

  const int samples = bcf_hdr_nsamples(hdr);
  SexRule sex;
  sex.active = !sexes.empty() && is_x_chromosome(site.chrom);
  sex.sexes = sexes;
  // GT as stored when its values are bytes (nearly always); else widened.
  bcf_unpack(rec, BCF_UN_FMT);
  const bcf_fmt_t* format = samples > 0 ? bcf_get_fmt(hdr, rec, "GT") : nullptr;
  if (format != nullptr && format->type == BCF_BT_INT8 && format->n > 0) {
    const auto values = static_cast<std::size_t>(format->n) * static_cast<std::size_t>(samples);
    count_genotypes(std::span<const std::int8_t>(reinterpret_cast<const std::int8_t*>(format->p), values),
                    samples, format->n, rec->n_allele, sex, site.counts);
    return;
  }
  thread_local GenotypeBuffer buffer;
  std::int32_t*& gt = buffer.values;
  const int values = bcf_get_genotypes(hdr, rec, &gt, &buffer.capacity);
  if (values <= 0 || samples == 0) {  // no GT: every call missing
    count_genotypes(std::span<const std::int32_t>(), 0, 1, rec->n_allele, sex, site.counts);
    site.counts.missing = samples;
    if (site.counts.problem.empty()) site.counts.problem = "no called genotypes";
  } else {
    count_genotypes(std::span<const std::int32_t>(gt, static_cast<std::size_t>(values)), samples,
                    values / samples, rec->n_allele, sex, site.counts);
  }
}

}  // namespace

VcfSource::VcfSource(const std::string& path, const VcfSelection& selection)
    : impl_(std::make_unique<Impl>()) {
  Impl& m = *impl_;
  m.path = path;
  m.selection = selection;
  const std::string shown = quoted(path);
  if (path != "-") {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {  // said here, before htslib says it its way
      problem_ = "cannot read " + shown + ": " + std::strerror(errno);
      return;
    }
    if (S_ISDIR(info.st_mode)) {
      problem_ = "cannot read " + shown + ": " + std::strerror(EISDIR);
      return;
    }
    if (S_ISREG(info.st_mode)) size_ = static_cast<std::uint64_t>(info.st_size);
  }
  errno = 0;
  m.fp = hts_open(path.c_str(), "r");
  if (m.fp == nullptr) {
    problem_ = "cannot read " + shown + ": " + std::strerror(errno != 0 ? errno : EIO);
    return;
  }
  const htsFormat* format = hts_get_format(m.fp);
  if (format->category != variant_data || (format->format != vcf && format->format != bcf)) {
    problem_ = "cannot read " + shown + ": not a VCF or BCF file";
    return;
  }
  m.text = format->format == vcf;
  if (selection.threads > 1 && format->compression == bgzf) {
    hts_set_threads(m.fp, selection.threads);
  }
  m.hdr = bcf_hdr_read(m.fp);
  if (m.hdr == nullptr) {
    problem_ = "cannot read " + shown + ": its VCF header is malformed";
    return;
  }
  if (m.text) m.full_hdr = bcf_hdr_dup(m.hdr);
  if (!selection.samples.empty()) {
    const bool exclude = selection.samples[0] == '^';
    const std::string names = selection.samples.substr(exclude ? 1 : 0);
    struct stat info;
    const bool is_file = stat(names.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    m.samples_from_file = is_file;
    const int status = bcf_hdr_set_samples(m.hdr, selection.samples.c_str(), is_file ? 1 : 0);
    if (status < 0) {
      problem_ = "--samples: cannot read '" + printable(selection.samples) + "'";
      return;
    }
    if (status > 0) {
      std::string which = "sample " + std::to_string(status) + " of '" + printable(names) + "'";
      if (!is_file) {
        std::size_t start = 0;
        for (int i = 1; i < status && start != std::string::npos; ++i) {
          start = names.find(',', start);
          if (start != std::string::npos) ++start;
        }
        if (start != std::string::npos) {
          which = in_quotes(names.substr(start, names.find(',', start) - start));
        }
      }
      problem_ = "--samples: " + which + " is not a sample of " + shown;
      return;
    }
    if (bcf_hdr_nsamples(m.hdr) == 0) {
      problem_ = "--samples leaves no sample of " + shown;
      return;
    }
  }
  if (!selection.sex_file.empty() && !read_sexes()) return;
  if (!selection.regions.empty() && !open_regions()) return;
}

VcfSource::~VcfSource() = default;

std::uint64_t VcfSource::bytes_read() const {
  const Impl& m = *impl_;
  if (m.fp == nullptr || !m.fp->is_bgzf || m.fp->format.compression != bgzf) return 0;
  return static_cast<std::uint64_t>(bgzf_tell(m.fp->fp.bgzf) >> 16);
}

bool VcfSource::read_sexes() {
  Impl& m = *impl_;
  const std::string shown = in_quotes(m.selection.sex_file);
  std::ifstream in(m.selection.sex_file);
  if (!in) {
    problem_ = "--sex: cannot read " + shown + ": " + std::strerror(errno != 0 ? errno : EIO);
    return false;
  }
  std::unordered_map<std::string, int> index;
  const int n = bcf_hdr_nsamples(m.hdr);
  for (int i = 0; i < n; ++i) index.emplace(m.hdr->samples[i], i);
  m.sexes.assign(static_cast<std::size_t>(n), Sex::unknown);
  std::string text;
  for (long number = 1; std::getline(in, text); ++number) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos || text[start] == '#') continue;
    const std::size_t gap = text.find_first_of(" \t", start);
    const std::size_t code_at = gap == std::string::npos ? gap : text.find_first_not_of(" \t", gap);
    const std::string name = text.substr(start, gap - start);
    const std::string code =
        code_at == std::string::npos ? "" : text.substr(code_at, text.find_first_of(" \t", code_at) - code_at);
    Sex sex = Sex::unknown;
    if (code == "1" || code == "M" || code == "m") {
      sex = Sex::male;
    } else if (code == "2" || code == "F" || code == "f") {
      sex = Sex::female;
    } else if (code != "0" && code != "NA" && code != "U" && code != "u") {
      problem_ = "--sex: line " + std::to_string(number) + " of " + shown +
                 " is not SAMPLE and a sex (1 or M, 2 or F, 0 or NA unknown): '" + excerpt(text.data(), text.size()) + "'";
      return false;
    }
    const auto found = index.find(name);
    if (found != index.end()) m.sexes[static_cast<std::size_t>(found->second)] = sex;
  }
  if (in.bad()) {
    problem_ = "--sex: cannot read " + shown;
    return false;
  }
  return true;
}

bool VcfSource::open_regions() {
  Impl& m = *impl_;
  const std::string shown = quoted(m.path);
  if (m.path == "-") {
    problem_ = "--regions needs an indexed file, not standard input";
    return false;
  }
  if (m.fp->format.compression != bgzf) {
    problem_ = "--regions needs a bgzipped VCF or a BCF with an index; " + shown +
               " is not compressed with bgzip";
    return false;
  }
  if (m.text) {
    m.tbx = tbx_index_load(m.path.c_str());
  } else {
    m.idx = bcf_index_load(m.path.c_str());
  }
  if (m.tbx == nullptr && m.idx == nullptr) {
    problem_ = "--regions needs an index of " + shown + " (make one with: bcftools index " +
               printable(m.path) + ")";
    return false;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = m.selection.regions.find(',', start);
    const std::string text = m.selection.regions.substr(start, comma - start);
    Region region;
    if (!parse_region(text, region)) {
      problem_ = "--regions: '" + printable(text) + "' is not CHR, CHR:POS or CHR:BEG-END";
      return false;
    }
    const int in_header = bcf_hdr_name2id(m.hdr, region.chrom.c_str());
    region.tid = m.tbx != nullptr ? tbx_name2id(m.tbx, region.chrom.c_str()) : in_header;
    if (region.tid < 0 && in_header < 0) {
      problem_ = "--regions: no chromosome '" + printable(region.chrom) + "' in " + shown;
      return false;
    }
    m.regions.push_back(region);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

// Reads the next record: a text VCF's line into text, a BCF's record into
// rec. False at the end or when a record cannot be read (record_problem_).
bool VcfSource::read_record(std::string& text, bcf1_t* rec) {
  Impl& m = *impl_;
  const auto unreadable = [&](std::string what) {
    record_problem_ = std::move(what);
    return false;
  };
  // The end of a compressed stream that failed (decompressing in threads
  // reports a broken block as the end).
  const auto truncated = [&] {
    return m.fp->format.compression == bgzf && m.fp->fp.bgzf->errcode != 0;
  };
  if (m.regions.empty()) {
    if (!m.text) {
      const int status = bcf_read(m.fp, m.hdr, rec);
      if (status == -1 && !truncated()) return false;
      if (status < 0 || rec->errcode != 0) return unreadable("a malformed BCF record");
      return true;
    }
    while (true) {
      const int status = hts_getline(m.fp, KS_SEP_LINE, &m.fp->line);
      if (status == -1 && !truncated()) return false;
      if (status < 0) return unreadable("a read error at line " + std::to_string(m.fp->lineno));
      if (m.fp->line.l == 0 || (m.fp->line.l == 1 && m.fp->line.s[0] == '\r')) continue;
      text.assign(m.fp->line.s, m.fp->line.l);
      return true;
    }
  }
  while (m.region < m.regions.size()) {
    const Region& r = m.regions[m.region];
    if (m.itr == nullptr && r.tid >= 0) {
      m.itr = m.tbx != nullptr ? hts_itr_query(m.tbx->idx, r.tid, r.beg - 1, r.end, tbx_readrec)
                               : hts_itr_query(m.idx, r.tid, r.beg - 1, r.end, bcf_readrec);
      if (m.itr == nullptr) return unreadable("the index cannot be searched for " + r.chrom);
    }
    int status = -1;
    std::int64_t pos = 0;
    if (m.itr != nullptr) {
      if (m.tbx != nullptr) {
        status = tbx_itr_next(m.fp, m.tbx, m.itr, &m.line);
        if (status >= 0) {
          // POS, the second field; a line without one goes to the parser, which refuses it.
          const std::string_view line(m.line.s, m.line.l);
          const std::size_t tab = line.find('\t');
          if (tab == std::string_view::npos ||
              !parse_whole(line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1), pos)) {
            text.assign(line);
            return true;
          }
        }
      } else {
        status = bcf_itr_next(m.fp, m.itr, rec);
        if (status >= 0 && m.hdr->keep_samples != nullptr) bcf_subset_format(m.hdr, rec);
        pos = rec->pos + 1;
      }
    }
    if (status < -1) return unreadable("a malformed record");
    if (status < 0) {
      if (m.itr != nullptr) hts_itr_destroy(m.itr);
      m.itr = nullptr;
      ++m.region;
      continue;
    }
    // A site belongs to the regions its position lies in, and is read once.
    if (pos < r.beg || pos > r.end) continue;
    bool earlier = false;
    for (std::size_t i = 0; i < m.region && !earlier; ++i) {
      const Region& e = m.regions[i];
      earlier = e.chrom == r.chrom && pos >= e.beg && pos <= e.end;
    }
    if (earlier) continue;
    if (m.tbx != nullptr) text.assign(m.line.s, m.line.l);
    return true;
  }
  return false;
}

bool VcfSource::text() const { return impl_->text; }

bool VcfSource::next(std::string& text, VcfRecord& record, long& line) {
  if (!problem_.empty() || !record_problem_.empty() || !read_record(text, record.rec_)) return false;
  const Impl& m = *impl_;
  line = m.text && m.regions.empty() ? static_cast<long>(m.fp->lineno) : 0;
  return true;
}

void VcfSource::fill(const VcfRecord& record, VcfSite& site) const {
  fill_site(impl_->hdr, record.rec_, impl_->sexes, site);
}

std::string VcfSource::cannot_read(const std::string& what, const std::string& previous_site) const {
  return "cannot read " + quoted(impl_->path) + ": " + what +
         (previous_site.empty() ? " (the first record)" : " (after " + previous_site + ")");
}

VcfRecord::VcfRecord() : rec_(bcf_init()) {
  if (rec_ == nullptr) throw std::bad_alloc();
}

VcfRecord::~VcfRecord() { bcf_destroy(rec_); }

struct VcfRecordParser::Impl {
  bcf_hdr_t* hdr = nullptr;
  bcf1_t* rec = nullptr;
  const std::vector<Sex>* sexes = nullptr;
  kstring_t line = {0, 0, nullptr};
  ~Impl() {
    std::free(line.s);
    if (rec != nullptr) bcf_destroy(rec);
    if (hdr != nullptr) bcf_hdr_destroy(hdr);
  }
};

VcfRecordParser::VcfRecordParser(const VcfSource& source) : impl_(std::make_unique<Impl>()) {
  const VcfSource::Impl& s = *source.impl_;
  impl_->hdr = bcf_hdr_dup(s.full_hdr);
  // The source accepted these samples on the same header.
  if (!s.selection.samples.empty() &&
      bcf_hdr_set_samples(impl_->hdr, s.selection.samples.c_str(), s.samples_from_file ? 1 : 0) != 0) {
    throw std::runtime_error("the samples cannot be chosen again");
  }
  impl_->rec = bcf_init();
  impl_->sexes = &s.sexes;
}

VcfRecordParser::~VcfRecordParser() = default;

bool VcfRecordParser::parse(std::string_view text, long line, VcfSite& site, std::string& problem) {
  Impl& m = *impl_;
  m.line.l = 0;
  if (kputsn(text.data(), text.size(), &m.line) < 0 || vcf_parse(&m.line, m.hdr, m.rec) != 0 ||
      m.rec->errcode != 0) {
    const std::string start = excerpt(text.data(), text.size());
    problem = line > 0 ? "line " + std::to_string(line) + " is not a VCF record: '" + start + "'"
                       : "a record that is not VCF: '" + start + "'";
    return false;
  }
  fill_site(m.hdr, m.rec, *m.sexes, site);
  return true;
}

bool is_x_chromosome(const std::string& name) {
  std::string_view n = name;
  if (n.size() > 3 && (n.substr(0, 3) == "chr" || n.substr(0, 3) == "Chr" || n.substr(0, 3) == "CHR")) {
    n.remove_prefix(3);
  }
  return n == "X" || n == "x" || n == "23";
}

}  // namespace kavo::cli
