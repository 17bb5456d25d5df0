#pragma once
// kavo: the Bayesian evidence for a sharp hypothesis on categorical data.
//
// The posterior of the cell probabilities is a Dirichlet distribution whose
// parameters are given (each at least 1). The evidence is one minus the posterior
// mass of the points whose density reaches the largest density on the
// hypothesis. This header is the whole public interface: nothing in it prints,
// exits or keeps state between calls, and every function may be called from
// several threads at once.
//
//   #include <kavo/kavo.hpp>
//   const double table[] = {12, 5, 7, 9};
//   kavo::Result r = kavo::compute(kavo::Hypothesis::independence, table);
//   if (r.status == kavo::Status::ok) use(r.evidence, r.error, r.draws);

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#if defined(_WIN32)
#define KAVO_API
#else
#define KAVO_API __attribute__((visibility("default")))
#endif

namespace kavo {

enum class Hypothesis {
  independence,    // rows and columns of a 2x2 table: A11 A12 A21 A22
  symmetry,        // the two discordant cells of a paired 2x2 table: A11 A12 A21 A22
  homogeneity,     // two binomial proportions, one per row: A11 A12 A21 A22
  hardy_weinberg,  // three genotype classes of a two-allele locus: Aaa Aab Abb
  proportion,      // a binomial proportion equals p0: A1 A2 p0
  // females' genotypes AA AB BB and males' alleles A B share one allele
  // frequency: AA AB BB A B
  x_linked_hardy_weinberg,
};
inline constexpr int kHypothesisCount = static_cast<int>(Hypothesis::x_linked_hardy_weinberg) + 1;

// The shape of a table, for tables larger than the hypotheses' fixed ones.
//   independence: rows x columns, cells row-major (A11 A12 ... A1c A21 ...)
//   symmetry: k x k, cells row-major (Shape::square(k))
//   homogeneity: one population per row, over `columns` categories
//   hardy_weinberg: `rows` alleles (Shape::alleles(k)); genotype classes in
//     the order 11, 12, 22, 13, 23, 33, 14, ...: class (i, j), i <= j, at
//     index j (j - 1) / 2 + i - 1
//   proportion: `columns` categories (Shape::categories(c)); the values are
//     A1 .. Ac, then the hypothesis p1 .. pc
//   x_linked_hardy_weinberg: its fixed shape only (two alleles)
// Every dimension is at least 2, and a table has at most kMaxCells cells.
// default_shape() gives each hypothesis's fixed shape (2x2, two alleles, two
// categories), which is what the functions without a shape use.
struct Shape {
  int rows = 0;
  int columns = 0;
  static constexpr Shape table(int r, int c) { return {r, c}; }
  static constexpr Shape square(int k) { return {k, k}; }
  static constexpr Shape alleles(int k) { return {k, 1}; }
  static constexpr Shape categories(int c) { return {1, c}; }
  friend constexpr bool operator==(const Shape&, const Shape&) = default;
};
inline constexpr int kMaxCells = 100;
// The most values a table has: a proportion's A1 .. Ac and p1 .. pc.
inline constexpr int kMaxValues = 2 * kMaxCells;
// A proportion's p0 values may miss a sum of 1 by at most this much.
inline constexpr double kProbabilitySumTolerance = 1e-9;

// How the evidence is computed.
enum class Method {
  // Monte Carlo estimate from a reproducible stream of posterior draws. The
  // result's error is the half-width of the estimate's interval at the final
  // check (the larger of the Fieller and the linearised one); when no draw
  // reached the threshold, or every draw did (evidence exactly 1 or 0), those
  // are 0 and the error is instead the score interval's bound with the same
  // constant, 6.7 / (draws + 6.7).
  monte_carlo,
  // Deterministic: the evidence is the probability that the kernel's gap
  // below its maximum exceeds the hypothesis's gap, computed from the gap's
  // Laplace transform by a Bromwich integral on a parabolic contour. Every
  // shape, every Dirichlet parameter from 1 (a zero count under the uniform
  // prior) to kMaxExactParameter; evidences below the double range keep
  // their logarithm. The error is an estimate of the absolute error, at most
  // settings.tolerance, and at most 1e4 times it relative to the evidence
  // (for evidences below 1e-4); draws are 0.
  exact,
};
inline constexpr int kMethodCount = 2;

inline constexpr std::int64_t kDefaultMaxDraws = 2000000;
inline constexpr double kDefaultPrecision = 0.001;
inline constexpr std::int32_t kDefaultSeed = 11;
inline constexpr std::int32_t kMinSeed = 1;
inline constexpr std::int32_t kMaxSeed = 2147483646;
inline constexpr double kDefaultTolerance = 1e-12;
inline constexpr double kMinTolerance = 1e-13;
inline constexpr double kMaxTolerance = 1e-2;
// The largest Dirichlet parameter the exact method takes.
inline constexpr double kMaxExactParameter = 1e15;

// The library keeps Monte Carlo as its default for the callers written
// before the exact method; every other interface (the option form, batch
// mode, Python, R) defaults to the exact method.
struct Settings {
  Method method = Method::monte_carlo;
  // Monte Carlo: the draws stop at max_draws, or earlier once both half-widths
  // are below precision (checked every 100 draws, from 10000 draws on).
  std::int64_t max_draws = kDefaultMaxDraws;
  double precision = kDefaultPrecision;
  std::int32_t seed = kDefaultSeed;  // the generator's start, kMinSeed .. kMaxSeed
  // Exact: the absolute error to reach (and 1e4 times it relative to
  // evidences below 1e-4), kMinTolerance .. kMaxTolerance.
  double tolerance = kDefaultTolerance;
};

// Why a result has no evidence. describe() gives each one's message.
enum class Status {
  ok,
  wrong_value_count,     // not the hypothesis's count of values
  refused_values,        // Monte Carlo: a parameter below 1; any method: p0 outside (0, 1)
  parameters_too_large,  // no finite hypothesis point (the values' sum overflows)
  bad_seed,              // seed outside 1 .. 2147483646
  bad_precision,         // precision is NaN or infinite
  bad_shape,             // a shape the hypothesis cannot take (see Shape)
  too_large_for_monte_carlo,  // a Dirichlet parameter above monte_carlo_limit(hypothesis)
  sampler_failure,       // the sampler met a shape it cannot draw (cannot follow validation)
  unknown_method,        // settings.method is not a Method
  bad_tolerance,         // exact: tolerance outside kMinTolerance .. kMaxTolerance
  outside_exact_domain,  // exact: a parameter above kMaxExactParameter
  not_converged,         // exact: the tolerance was not reached
  cancelled,             // compute_many was stopped before this table was computed
  parameter_below_one,   // a Dirichlet parameter below 1: the density is unbounded
  needs_exact_method,    // Monte Carlo: a parameter of exactly 1, which only exact computes
  missing_value,         // a value is NaN (a missing count or p0)
  infinite_value,        // a value is infinite
};
inline constexpr int kStatusCount = static_cast<int>(Status::infinite_value) + 1;

// What a computation gives. Beside the evidence, every method reports the
// table's statistics: with y* the gap between the largest log kernel and its
// value on the hypothesis, g2 = 2 y* is the log-likelihood-ratio statistic of
// the table, df = t - h with t the posterior's dimension (cells less blocks)
// and h the hypothesis's, and the standardized evidence
//   sev = 1 - F_chi2(df)(Q_chi2(t)(1 - evidence)),
// the evidence carried over to a hypothesis of the same codimension in a
// space of dimension df (sev = evidence for a point hypothesis).
struct Result {
  Status status = Status::ok;
  Method method = Method::monte_carlo;
  double evidence = std::numeric_limits<double>::quiet_NaN();  // in [0, 1] when ok
  double error = std::numeric_limits<double>::quiet_NaN();     // the method's figure (see Method)
  std::int64_t draws = 0; // Monte Carlo draws used (0 for other methods)
  // log10 of the evidence; for the exact method also where evidence itself
  // is below the double range (and reads 0). -infinity for an evidence of 0.
  double log10_evidence = std::numeric_limits<double>::quiet_NaN();
  double sev = std::numeric_limits<double>::quiet_NaN();
  double g2 = std::numeric_limits<double>::quiet_NaN();
  int df = 0;
};

// The values in the hypothesis's order (see Hypothesis and value_names).
KAVO_API Result compute(Hypothesis hypothesis, std::span<const double> values,
                        const Settings& settings = {});

// A table of another shape: value_count(hypothesis, shape) values.
KAVO_API Result compute(Hypothesis hypothesis, Shape shape, std::span<const double> values,
                        const Settings& settings = {});

// Checks the values as compute does for the method before any computation:
// ok, or bad_shape, wrong_value_count, missing_value, infinite_value,
// refused_values, parameter_below_one, needs_exact_method (Monte Carlo),
// outside_exact_domain (exact) or parameters_too_large. Without a method,
// the default Settings' method.
KAVO_API Status validate(Hypothesis hypothesis, std::span<const double> values);
KAVO_API Status validate(Hypothesis hypothesis, Shape shape, std::span<const double> values);
KAVO_API Status validate(Hypothesis hypothesis, Shape shape, std::span<const double> values,
                         Method method);

// How far compute_many has come: `done` tables computed in all, and the
// first `ready` tables in input order finished (their results may be read).
struct Progress {
  std::size_t done = 0;
  std::size_t ready = 0;
  std::size_t total = 0;
};

// The most tables computed at a time; compute_many uses no more threads.
inline constexpr int kMaxThreads = 1024;

struct ManyOptions {
  // Tables computed at a time; 0 uses every hardware thread.
  int threads = 0;
  // Called on the calling thread about every progress_interval_ms while the
  // tables are computed, and once at the end. Returning false cancels: tables
  // not yet started get Status::cancelled, and those being computed stop at
  // their next check (Monte Carlo: within 100 draws) and are cancelled too.
  // If it throws (or its thread is unwound), the run is cancelled and its
  // threads joined before the exception leaves compute_many.
  std::function<bool(const Progress&)> progress;
  int progress_interval_ms = 100;
};

// Computes many tables of one hypothesis: `values` holds them one after the
// other (value_count(hypothesis) values each) and results[i] receives table
// i's result, exactly what compute gives for it alone, whatever the threads.
// Returns ok, wrong_value_count (values is not a whole number of tables or
// results has another length; nothing is computed) or cancelled.
KAVO_API Status compute_many(Hypothesis hypothesis, std::span<const double> values,
                             std::span<Result> results, const Settings& settings = {},
                             const ManyOptions& options = {});
// Tables of another shape (bad_shape if the hypothesis cannot take it).
KAVO_API Status compute_many(Hypothesis hypothesis, Shape shape, std::span<const double> values,
                             std::span<Result> results, const Settings& settings = {},
                             const ManyOptions& options = {});

// One table, as compute gives it, for callers that run their own threads:
// once stop becomes true the computation ends at its next check (Monte Carlo:
// within 100 draws) with Status::cancelled.
KAVO_API Result compute(Hypothesis hypothesis, Shape shape, std::span<const double> values,
                        const Settings& settings, const std::atomic<bool>& stop);

// What describes a hypothesis, for its fixed shape.
KAVO_API int value_count(Hypothesis hypothesis);
// Of the values, how many are Dirichlet parameters (the rest, p0, are not).
KAVO_API int dirichlet_count(Hypothesis hypothesis);
// The name of value i, such as "A11" or "p0".
KAVO_API const char* value_name(Hypothesis hypothesis, int i);

// The same for a shape (0 or "" for a shape the hypothesis cannot take).
// Names number cells from 1 (A11, A12, ...; genotypes A11 A12 A22 A13 ...;
// A1 .. Ac p1 .. pc), with an underscore between two numbers once a
// dimension reaches 10 (A1_10).
KAVO_API Shape default_shape(Hypothesis hypothesis);
KAVO_API bool shape_valid(Hypothesis hypothesis, Shape shape);
KAVO_API int value_count(Hypothesis hypothesis, Shape shape);
KAVO_API int dirichlet_count(Hypothesis hypothesis, Shape shape);
KAVO_API std::string value_name(Hypothesis hypothesis, Shape shape, int i);
// "independence", "symmetry", "homogeneity", "hardy_weinberg", "proportion",
// "x_linked_hardy_weinberg".
KAVO_API const char* hypothesis_name(Hypothesis hypothesis);
// The command that tests it: kavoind, kavomcn, kavohomo, kavohw, kavoprop,
// "kavohw --x-linked" (see HypothesisDescription for the program alone).
KAVO_API const char* program_name(Hypothesis hypothesis);
// The hypothesis of a hypothesis name or a program_name; nullopt for others.
KAVO_API std::optional<Hypothesis> hypothesis_from_name(std::string_view name);

// The largest Dirichlet parameter Monte Carlo accepts for the hypothesis.
// Beyond it the rounding of the log kernel near its maximum lets draws count
// as reaching the threshold when they do not: for a hypothesis through the
// posterior mode, where the evidence is exactly 1, the estimate falls short by
// at most about 1e-4 at the limit (measured), and by 1e-3 or more a hundred
// times beyond it. Fewer cells suffer more: 1e8 for a proportion, 1e11 for
// Hardy-Weinberg and homogeneity, 1e12 for independence, symmetry and
// X-linked Hardy-Weinberg.
KAVO_API double monte_carlo_limit(Hypothesis hypothesis);

// The shapes a hypothesis takes beyond its fixed one (see Shape).
enum class ShapeKind {
  fixed,       // its fixed shape only
  table,       // rows x columns (Shape::table)
  square,      // k x k (Shape::square)
  alleles,     // k alleles (Shape::alleles)
  categories,  // c categories (Shape::categories)
};
// "fixed", "table", "square", "alleles", "categories".
KAVO_API const char* shape_kind_name(ShapeKind kind);

// Everything a front end shows of a hypothesis, so that command lines,
// bindings and their documentation list the hypotheses from the library.
struct HypothesisDescription {
  Hypothesis hypothesis;
  const char* name;            // "hardy_weinberg"
  const char* program;         // the command-line program that tests it: "kavohw"
  // "" when the program tests it by default; else the option that selects it
  // there (without the dashes): "x-linked".
  const char* program_option;
  const char* title;           // a short noun phrase: "Hardy-Weinberg equilibrium"
  // What is tested, as the end of the sentence "Tests whether ...".
  const char* description;
  ShapeKind shape_kind;
  Shape fixed_shape;
  int value_count;             // for the fixed shape
  int dirichlet_count;         // for the fixed shape
  // The fixed shape's posterior: independent Dirichlet blocks over
  // consecutive cells, block_sizes[0 .. block_count - 1] ({4}; {2, 2}; {3, 2}).
  int block_count;
  int block_sizes[4];
  double monte_carlo_limit;
};
KAVO_API HypothesisDescription describe_hypothesis(Hypothesis hypothesis);

// Everything a front end shows of a method, so that command lines, bindings
// and their documentation describe the methods from the library.
struct MethodDescription {
  Method method;
  const char* name;          // "exact"
  const char* title;         // a short noun phrase: "Monte Carlo"
  // How it computes, as the end of the sentence "Computes the evidence ...".
  const char* description;
  // The result's error as an output column ("half_width", "error_bound"),
  // and what it means.
  const char* error_column;
  const char* error_meaning;
  // Whether its figures are printed with every digit (the shortest text that
  // reads back to the same double); else as the programs' "%e".
  bool full_digits;
};
KAVO_API MethodDescription describe_method(Method method);

// "monte_carlo"; and the method of such a name.
KAVO_API const char* method_name(Method method);
KAVO_API std::optional<Method> method_from_name(std::string_view name);

// The message for a status, in the words every interface uses (no final period).
KAVO_API const char* describe(Status status);
// The status's enumerator as a word: "ok", "refused_values", ...
KAVO_API const char* status_name(Status status);

// The library's version, such as "0.2.0".
KAVO_API const char* version();

}  // namespace kavo
