#include "vcf_run.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <thread>
#include <memory>
#include <utility>
#include <vector>

#include "messages.hpp"
#include "progress.hpp"
#include "resume.hpp"
#include "signals.hpp"
#include "vcf_columns.hpp"
#include "vcf_source.hpp"
#include "writer.hpp"

namespace kavo::cli {

namespace {

// As batch mode: small first chunks so the first rows come soon, then at
// most 1024 sites in flight.
constexpr std::size_t kFirstChunkRows = 16;
constexpr std::size_t kMaxChunkRows = 1024;
constexpr long kMessageCap = 100;

struct SiteRow {
  VcfSite site;
  std::string prefix;  // the columns before the evidence
  std::string reason;  // why no evidence; empty when computed
  Hypothesis hypothesis = Hypothesis::hardy_weinberg;
  Shape shape;
  Result result;
};

// What a site is tested by: its hypothesis and shape, or the reason it is not.
void choose_test(SiteRow& row) {
  const SiteCounts& c = row.site.counts;
  row.reason = c.problem;
  if (!row.reason.empty()) return;
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

std::string site_name(const VcfSite& site) {
  std::string name = printable(site.chrom);
  name += ':';
  name += std::to_string(site.pos);
  if (site.id != ".") {
    name += ' ';
    name += printable(site.id);
  }
  return name;
}

std::string quoted_path(const std::string& path) {
  std::string shown(1, '\'');
  shown += printable(path);
  shown += '\'';
  return shown;
}

class VcfRun {
 public:
  VcfRun(const RunOptions& opt, VcfSource& source, Output& out, Console& console,
         EarlierOutput* earlier)
      : opt_(opt), source_(source), out_(out), console_(console), earlier_(earlier) {}

  // Reads, computes and writes every site; false when stopped early.
  bool go() {
    const std::string header = vcf_header_line(opt_.settings.method);
    if (earlier_ != nullptr) {
      if (earlier_->header() != header) {
        resume_problem_ = "its header is not the one this run writes (other options or input?)";
        return false;
      }
    } else {
      out_.write(header);
      out_.flush();
    }
    std::size_t chunk_rows = kFirstChunkRows;
    std::vector<SiteRow> read, rows;
    bool more = true;
    while (more && !stopping()) {
      read.clear();
      while (read.size() < chunk_rows && !stopping()) {
        SiteRow row;
        if (!source_.next(row.site)) {
          more = false;
          input_complete_ = true;
          break;
        }
        read.push_back(std::move(row));
      }
      if (source_.deferred() && !parse(read)) more = false;
      rows.clear();
      for (SiteRow& row : read) {
        row.prefix = vcf_row_prefix(row.site, opt_.prior);
        if (resumed(row)) continue;
        if (!resume_problem_.empty()) return false;
        ++rows_read_;
        choose_test(row);
        rows.push_back(std::move(row));
      }
      if (!compute(rows)) return false;
      chunk_rows = std::min(kMaxChunkRows, chunk_rows * 2);
    }
    if (stopping() || !source_.problem().empty()) return false;
    if (earlier_ != nullptr && !earlier_->exhausted()) {
      std::string extra;
      if (earlier_->next(extra)) {
        resume_problem_ = "it has more rows than the input has sites";
        return false;
      }
      if (!finish_resume()) return false;
    }
    return true;
  }

  long rows_written() const { return rows_written_; }
  long rows_failed() const { return rows_failed_; }
  const std::string& resume_problem() const { return resume_problem_; }

 private:
  bool stopping() const { return stop_signal() != 0 || out_.failed(); }

  // Parses the chunk's text records, in threads; false when one is not a
  // record: the chunk then ends before it and the source says why.
  bool parse(std::vector<SiteRow>& rows) {
    const std::size_t threads = std::min<std::size_t>(static_cast<std::size_t>(opt_.threads),
                                                      rows.size() / 8 + 1);
    while (parsers_.size() < threads) parsers_.push_back(std::make_unique<VcfRecordParser>(source_));
    std::vector<std::size_t> first_bad(threads, rows.size());
    const auto work = [&](std::size_t t) {
      for (std::size_t i = t * rows.size() / threads; i < (t + 1) * rows.size() / threads; ++i) {
        if (!parsers_[t]->parse(rows[i].site)) {
          first_bad[t] = i;
          return;
        }
      }
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(work, t);
    work(0);
    for (std::thread& h : helpers) h.join();
    const std::size_t bad = *std::min_element(first_bad.begin(), first_bad.end());
    if (bad == rows.size()) {
      if (!rows.empty()) last_site_ = rows.back().site.chrom + ":" + std::to_string(rows.back().site.pos);
      return true;
    }
    const std::string before =
        bad > 0 ? rows[bad - 1].site.chrom + ":" + std::to_string(rows[bad - 1].site.pos) : last_site_;
    source_.reject(rows[bad].site, before);
    rows.resize(bad);
    return false;
  }

  // When resuming, a site whose row the earlier output holds is skipped
  // once that row is checked to be this site's.
  bool resumed(const SiteRow& row) {
    if (earlier_ == nullptr || earlier_->exhausted()) return false;
    std::string earlier_row;
    if (!earlier_->next(earlier_row)) {
      finish_resume();
      return false;
    }
    if (earlier_row.compare(0, row.prefix.size(), row.prefix) != 0) {
      resume_problem_ = "its row " + std::to_string(rows_written_ + 1) + " is not site " +
                        site_name(row.site) + " of the input";
      return false;
    }
    earlier_->keep();
    ++rows_written_;
    ++rows_kept_;
    const std::string na = "\tNA\tNA\tNA";
    if (earlier_row.size() >= na.size() &&
        earlier_row.compare(earlier_row.size() - na.size(), na.size(), na) == 0) {
      ++rows_failed_;
    }
    return true;
  }

  bool finish_resume() {
    if (!earlier_->cut()) {
      resume_problem_ = std::string("it cannot be cut after its complete rows: ") + std::strerror(errno);
      return false;
    }
    return true;
  }

  void report_progress(bool force = false) {
    console_.progress(rows_done_, rows_read_, input_complete_, source_.bytes_read(), source_.size(),
                      rows_kept_, force);
  }

  // Computes the chunk's sites, one compute_many per hypothesis and shape,
  // and writes every row before the first one left uncomputed; false when
  // the run was stopped.
  bool compute(std::vector<SiteRow>& rows) {
    std::map<std::pair<int, int>, std::vector<std::size_t>> groups;  // (hypothesis, alleles)
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (!rows[i].reason.empty()) continue;
      rows[i].result.status = Status::cancelled;
      groups[{static_cast<int>(rows[i].hypothesis), rows[i].shape.rows}].push_back(i);
    }
    const std::uint64_t done_before = rows_done_;
    std::uint64_t done_in_groups = rows.size();
    for (const auto& group : groups) done_in_groups -= group.second.size();
    bool cancelled = false;
    std::vector<double> values;
    std::vector<Result> results;
    for (const auto& [key, members] : groups) {
      if (cancelled) break;
      const SiteRow& first = rows[members.front()];
      values.clear();
      for (std::size_t i : members) {
        for (std::int64_t n : rows[i].site.counts.counts) {
          values.push_back(static_cast<double>(n) + opt_.prior);
        }
      }
      results.assign(members.size(), Result{});
      ManyOptions many;
      many.threads = opt_.threads;
      many.progress_interval_ms = 100;
      const std::uint64_t group_start = done_in_groups;
      many.progress = [&](const Progress& p) {
        rows_done_ = done_before + group_start + p.done;
        report_progress();
        out_.check_reader();
        return !stopping();
      };
      const Status status = compute_many(first.hypothesis, first.shape, values, results,
                                         opt_.settings, many);
      for (std::size_t j = 0; j < members.size(); ++j) rows[members[j]].result = results[j];
      done_in_groups += members.size();
      cancelled = status == Status::cancelled;
    }
    for (const SiteRow& row : rows) {
      if (row.reason.empty() && row.result.status == Status::cancelled) break;
      write_row(row);
    }
    out_.flush();
    rows_done_ = done_before + rows.size();
    report_progress();
    return !cancelled && !stopping();
  }

  void write_row(const SiteRow& row) {
    const bool failed = !row.reason.empty() || row.result.status != Status::ok;
    out_.write(row.prefix + row_result(failed ? nullptr : &row.result));
    ++rows_written_;
    if (failed) {
      ++rows_failed_;
      console_.row_failed(row.site.line, site_name(row.site) + ": " +
                                             (!row.reason.empty() ? row.reason
                                                                  : describe(row.result.status)));
    }
  }

  const RunOptions& opt_;
  VcfSource& source_;
  Output& out_;
  Console& console_;
  EarlierOutput* earlier_;
  bool input_complete_ = false;
  std::uint64_t rows_read_ = 0;
  std::uint64_t rows_done_ = 0;
  std::uint64_t rows_kept_ = 0;
  long rows_written_ = 0;
  long rows_failed_ = 0;
  std::string resume_problem_;
  std::vector<std::unique_ptr<VcfRecordParser>> parsers_;
  std::string last_site_;  // of the chunks parsed so far, to name a bad record after it
};

int error(Console& console, const std::string& message) {
  console.say(console.program() + " ERROR : " + message);
  console.say("Exiting...");
  return kExitFailure;
}

}  // namespace

int run_vcf(const Program&, const RunOptions& opt, ProgramStreams io, const std::string& name) {
  VcfSelection selection;
  selection.samples = opt.samples;
  selection.regions = opt.regions;
  selection.sex_file = opt.sex_file;
  selection.threads = opt.threads;
  const std::string& path = *opt.vcf;
  VcfSource source(path, selection);
  if (!source.problem().empty()) return report_error(io.err, name.c_str(), source.problem());

  // The output, opened before any computation; never the input itself.
  if (opt.output && path != "-") {
    struct stat input_info, output_info;
    if (stat(path.c_str(), &input_info) == 0 && stat(opt.output->c_str(), &output_info) == 0 &&
        S_ISREG(output_info.st_mode) && input_info.st_dev == output_info.st_dev &&
        input_info.st_ino == output_info.st_ino) {
      return report_error(io.err, name.c_str(),
                          "the output " + quoted_path(*opt.output) + " is the input file");
    }
  }
  std::FILE* file = nullptr;
  EarlierOutput earlier;
  bool resuming = false;
  if (opt.output) {
    const std::string shown = quoted_path(*opt.output);
    if (opt.resume) {
      file = std::fopen(opt.output->c_str(), "r+");
      if (file == nullptr && errno != ENOENT) {
        return report_error(io.err, name.c_str(), "cannot write " + shown + ": " + std::strerror(errno));
      }
      if (file != nullptr) {
        resuming = earlier.open(file);
        if (!resuming && (ftruncate(fileno(file), 0) != 0 || std::fseek(file, 0, SEEK_SET) != 0)) {
          std::fclose(file);
          return report_error(io.err, name.c_str(), "cannot write " + shown + ": " + std::strerror(errno));
        }
      }
    }
    if (file == nullptr) file = std::fopen(opt.output->c_str(), "w");
    if (file == nullptr) {
      return report_error(io.err, name.c_str(), "cannot write " + shown + ": " + std::strerror(errno));
    }
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> output_closer(
      file, [](std::FILE* f) { return f != nullptr ? std::fclose(f) : 0; });

  if (io.handle_signals) install_stop_handlers();
  const bool show_progress = opt.progress == 1 || (opt.progress == -1 && isatty(fileno(io.err)));
  Console console(io.err, name, show_progress, kMessageCap);
  Output out(file != nullptr ? file : io.out);
  VcfRun run(opt, source, out, console, resuming ? &earlier : nullptr);
  const bool completed = run.go();
  out.flush();
  if (file != nullptr) {
    output_closer.release();
    errno = 0;
    if (std::fclose(file) != 0) out.fail(errno != 0 ? errno : EIO);
  }
  console.finish();

  const std::string target = opt.output ? quoted_path(*opt.output) : "standard output";
  if (out.pipe_closed() && !opt.output) return 128 + SIGPIPE;
  if (out.failed()) {
    return error(console, "cannot write " + target + ": " + std::strerror(out.error_number()));
  }
  if (!run.resume_problem().empty()) {
    return error(console, "cannot resume " + target + ": " + run.resume_problem());
  }
  if (const int signal = stop_signal(); signal != 0) {
    std::string note = name + ": interrupted; " + std::to_string(run.rows_written()) +
                       " complete rows in " + target;
    if (opt.output) note += " (to continue: the same command with --resume)";
    console.say(note);
    return 128 + signal;
  }
  if (!source.problem().empty()) {
    console.say(name + ": " + std::to_string(run.rows_written()) + " complete rows in " + target +
                ", every site before the one that cannot be read");
    return error(console, source.problem());
  }
  if (!completed) return error(console, "the run stopped early");
  if (run.rows_failed() > 0) {
    // Sites without an evidence are results (NA), not a failed run, unless
    // --strict says otherwise.
    console.say(name + " ERROR : " + std::to_string(run.rows_failed()) + " of " +
                std::to_string(run.rows_written()) + " rows failed");
    return opt.strict ? kExitFailure : kExitOk;
  }
  return kExitOk;
}

}  // namespace kavo::cli
