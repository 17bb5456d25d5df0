// The R interface over kavo/kavo.hpp. Every call runs on R's main thread;
// compute_many's workers never touch the R API, and the progress callback
// (on this thread) checks for a user interrupt without letting R longjmp
// through C++ frames.

#include <Rcpp.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "kavo/kavo.hpp"

namespace {

kavo::Hypothesis hypothesis_or_stop(const std::string& name) {
  const std::optional<kavo::Hypothesis> h = kavo::hypothesis_from_name(name);
  if (!h) Rcpp::stop("unknown hypothesis \"%s\"", name);
  return *h;
}

std::string method_names() {
  std::string names;
  for (int i = 0; i < kavo::kMethodCount; ++i) {
    if (i > 0) names += ", ";
    names += kavo::method_name(static_cast<kavo::Method>(i));
  }
  return names;
}

// R_CheckUserInterrupt longjmps to the top level when an interrupt is
// pending; R_ToplevelExec stops that jump here and reports it as FALSE.
void check_interrupt(void*) { R_CheckUserInterrupt(); }

bool interrupt_pending() { return R_ToplevelExec(check_interrupt, nullptr) == FALSE; }

}  // namespace

// [[Rcpp::export(.kavo_library)]]
Rcpp::List kavo_library() {
  Rcpp::CharacterVector hypotheses(kavo::kHypothesisCount);
  Rcpp::CharacterVector programs(kavo::kHypothesisCount);
  Rcpp::CharacterVector titles(kavo::kHypothesisCount);
  Rcpp::CharacterVector shape_kinds(kavo::kHypothesisCount);
  Rcpp::IntegerVector dirichlet(kavo::kHypothesisCount);
  Rcpp::List value_names(kavo::kHypothesisCount);
  Rcpp::List blocks(kavo::kHypothesisCount);
  for (int i = 0; i < kavo::kHypothesisCount; ++i) {
    const auto h = static_cast<kavo::Hypothesis>(i);
    const kavo::HypothesisDescription info = kavo::describe_hypothesis(h);
    hypotheses[i] = kavo::hypothesis_name(h);
    programs[i] = kavo::program_name(h);
    titles[i] = info.title;
    shape_kinds[i] = kavo::shape_kind_name(info.shape_kind);
    blocks[i] = Rcpp::IntegerVector(info.block_sizes, info.block_sizes + info.block_count);
    dirichlet[i] = kavo::dirichlet_count(h);
    Rcpp::CharacterVector names(kavo::value_count(h));
    for (int j = 0; j < kavo::value_count(h); ++j) names[j] = kavo::value_name(h, j);
    value_names[i] = names;
  }
  value_names.names() = hypotheses;
  dirichlet.names() = hypotheses;
  programs.names() = hypotheses;
  titles.names() = hypotheses;
  shape_kinds.names() = hypotheses;
  blocks.names() = hypotheses;
  Rcpp::CharacterVector methods(kavo::kMethodCount);
  for (int i = 0; i < kavo::kMethodCount; ++i) {
    methods[i] = kavo::method_name(static_cast<kavo::Method>(i));
  }
  return Rcpp::List::create(Rcpp::Named("version") = kavo::version(),
                            Rcpp::Named("hypotheses") = hypotheses,
                            Rcpp::Named("programs") = programs,
                            Rcpp::Named("titles") = titles,
                            Rcpp::Named("shape_kinds") = shape_kinds,
                            Rcpp::Named("blocks") = blocks,
                            Rcpp::Named("value_names") = value_names,
                            Rcpp::Named("dirichlet_count") = dirichlet,
                            Rcpp::Named("methods") = methods);
}

namespace {

// rows x columns, or the hypothesis's fixed shape for 0 x 0.
kavo::Shape shape_or_stop(kavo::Hypothesis h, int rows, int columns) {
  if (rows == 0 && columns == 0) return kavo::default_shape(h);
  const kavo::Shape shape{rows, columns};
  if (!kavo::shape_valid(h, shape)) {
    Rcpp::stop("%s: %s %dx%d", kavo::describe(kavo::Status::bad_shape), kavo::hypothesis_name(h),
               rows, columns);
  }
  return shape;
}

}  // namespace

// The value names and the count of Dirichlet parameters of a shape.
// [[Rcpp::export(.kavo_shape_info)]]
Rcpp::List kavo_shape_info(std::string hypothesis, int rows, int columns) {
  const kavo::Hypothesis h = hypothesis_or_stop(hypothesis);
  const kavo::Shape shape = shape_or_stop(h, rows, columns);
  Rcpp::CharacterVector names(kavo::value_count(h, shape));
  for (int j = 0; j < names.size(); ++j) names[j] = kavo::value_name(h, shape, j);
  return Rcpp::List::create(Rcpp::Named("value_names") = names,
                            Rcpp::Named("dirichlet_count") = kavo::dirichlet_count(h, shape));
}

// The tables are `values`, one after the other, value_count(hypothesis, shape)
// each (shape rows x columns; 0 x 0 is the fixed one). Returns the columns
// evidence, error, draws, log10_evidence, sev, g2, df, status (0 = ok) and
// reason.
// [[Rcpp::export(.kavo_compute_many)]]
Rcpp::List kavo_compute_many(std::string hypothesis, Rcpp::NumericVector values,
                             std::string method, double max_draws, double precision,
                             double seed, int threads, int rows = 0, int columns = 0) {
  const kavo::Hypothesis h = hypothesis_or_stop(hypothesis);
  const kavo::Shape shape = shape_or_stop(h, rows, columns);
  const std::optional<kavo::Method> m = kavo::method_from_name(method);
  if (!m) {
    Rcpp::stop("%s \"%s\" (this build of the kavo library has: %s)",
               kavo::describe(kavo::Status::unknown_method), method, method_names());
  }
  // The settings are checked here, once, rather than reported on every row.
  // 2^63 is exactly representable; anything from it up does not fit.
  if (!std::isfinite(max_draws) || max_draws != std::floor(max_draws) ||
      max_draws >= 9223372036854775808.0 || max_draws < -9223372036854775808.0) {
    Rcpp::stop("max_draws must be a whole number in the signed 64-bit range");
  }
  if (!std::isfinite(precision)) Rcpp::stop(kavo::describe(kavo::Status::bad_precision));
  if (!(seed >= kavo::kMinSeed && seed <= kavo::kMaxSeed && seed == std::floor(seed))) {
    Rcpp::stop(kavo::describe(kavo::Status::bad_seed));
  }
  if (threads < 0) Rcpp::stop("threads must be a positive whole number");

  kavo::Settings settings;
  settings.method = *m;
  settings.max_draws = static_cast<std::int64_t>(max_draws);
  settings.precision = precision;
  settings.seed = static_cast<std::int32_t>(seed);

  const std::size_t count = static_cast<std::size_t>(kavo::value_count(h, shape));
  if (static_cast<std::size_t>(values.size()) % count != 0) {
    Rcpp::stop(kavo::describe(kavo::Status::wrong_value_count));
  }
  const std::size_t n = static_cast<std::size_t>(values.size()) / count;
  // Copies, so the workers read memory that R cannot move or collect.
  const std::vector<double> input(values.begin(), values.end());
  std::vector<kavo::Result> results(n);

  bool interrupted = false;
  kavo::ManyOptions options;
  options.threads = threads;
  options.progress_interval_ms = 100;
  options.progress = [&interrupted](const kavo::Progress&) {
    if (interrupt_pending()) interrupted = true;
    return !interrupted;
  };
  const kavo::Status status = kavo::compute_many(h, shape, input, results, settings, options);
  if (interrupted) {
    // Signalled by Rcpp's wrapper once every C++ frame is gone.
    throw Rcpp::internal::InterruptedException();
  }
  if (status != kavo::Status::ok) Rcpp::stop(kavo::describe(status));

  Rcpp::NumericVector evidence(n), error(n), draws(n), log10_evidence(n), sev(n), g2(n);
  Rcpp::IntegerVector codes(n), df(n);
  Rcpp::CharacterVector reason(n);
  for (std::size_t i = 0; i < n; ++i) {
    const kavo::Result& r = results[i];
    codes[i] = static_cast<int>(r.status);
    const bool ok = r.status == kavo::Status::ok;
    // A table without evidence has none of the figures.
    evidence[i] = ok ? r.evidence : NA_REAL;
    error[i] = ok ? r.error : NA_REAL;
    draws[i] = ok ? static_cast<double>(r.draws) : NA_REAL;
    log10_evidence[i] = ok ? r.log10_evidence : NA_REAL;
    sev[i] = ok ? r.sev : NA_REAL;
    g2[i] = ok ? r.g2 : NA_REAL;
    df[i] = ok ? r.df : NA_INTEGER;
    reason[i] = ok ? NA_STRING : Rcpp::String(kavo::describe(r.status));
  }
  return Rcpp::List::create(Rcpp::Named("evidence") = evidence, Rcpp::Named("error") = error,
                            Rcpp::Named("draws") = draws,
                            Rcpp::Named("log10_evidence") = log10_evidence,
                            Rcpp::Named("sev") = sev, Rcpp::Named("g2") = g2,
                            Rcpp::Named("df") = df, Rcpp::Named("status") = codes,
                            Rcpp::Named("reason") = reason);
}
