#include "evidence.hpp"

#include <algorithm>
#include <cmath>
#include <span>

#include "kernel_gap.hpp"
#include "methods/registry.hpp"
#include "random/dirichlet.hpp"
#include "standardized_evidence.hpp"

namespace kavo {

namespace {

// Above this rounding of the gap (a double point for large tables) the point
// is computed again in extended precision; below it the evidence moves by
// less than 1e-13. The gap's density is below about 1 but for two cells,
// where it grows like 1 / sqrt(y) near 0 (a point by the mode): there the
// limit shrinks with it.
constexpr double kGapErrorLimit = 1e-13;

KernelGap table_gap(const Table& table, const double* values, const double* point) {
  const std::span<const double> a(values, static_cast<std::size_t>(table.layout.dimension));
  const std::span<const int> blocks(table.layout.blocks.sizes,
                                    static_cast<std::size_t>(table.layout.blocks.count));
  KernelGap gap = kernel_gap(a, blocks, point);
  if (gap.error > kGapErrorLimit * std::min(1.0, std::sqrt(gap.gap))) {
    long double precise[kMaxCells];
    table.spec->exact.precise_point(table.shape, values, precise);
    gap = kernel_gap(a, blocks, precise);
  }
  return gap;
}

// g2, df, sev and log10 of the evidence, for either method.
void add_statistics(const Table& table, const KernelGap& gap, Result& result) {
  const int t = table.layout.dimension - table.layout.blocks.count;
  result.df = t - table.spec->exact.dimension(table.shape);
  result.g2 = 2.0 * gap.gap;
  result.sev = standardized_evidence(result.evidence, t, result.df);
  if (std::isnan(result.log10_evidence)) result.log10_evidence = std::log10(result.evidence);
}

}  // namespace

double hypothesis_f_star(const HypothesisSpec& spec, const double* values) {
  double point[kMaxCells];
  spec.hypothesis_point(values, point);
  return log_kernel(values, point, spec.dimension);
}

Status validate_values(const Table& table, const double* values, Method method,
                       Threshold& threshold) {
  // A missing or infinite value is told apart from a refused one: a panel's
  // missing data are not its zero counts.
  const double* end = values + table.layout.value_count;
  const auto any = [&](bool (*test)(double)) { return std::any_of(values, end, test); };
  if (any([](double v) { return std::isnan(v); })) return Status::missing_value;
  if (any([](double v) { return std::isinf(v); })) return Status::infinite_value;
  if (!method_valid(method)) return Status::unknown_method;
  const MethodSpec& spec = method_spec(method);
  const Status status = spec.check_values(table, values);
  if (status != Status::ok) return status;
  table_point(table, values, threshold.point);
  threshold.f_star = 0.0;  // a method without a threshold works from the gap
  if (!spec.needs_threshold) return Status::ok;
  threshold.f_star = log_kernel(values, threshold.point, table.layout.dimension);
  // Values so large that their sum overflows give no usable hypothesis point;
  // a NaN or infinite threshold would give a meaningless evidence.
  if (!std::isfinite(threshold.f_star)) return Status::parameters_too_large;
  return Status::ok;
}

Result compute_evidence(const Table& table, const double* values, const Settings& settings,
                        const std::atomic<bool>* stop) {
  Result result;
  result.method = settings.method;
  Threshold threshold;
  MethodOutput out;
  KernelGap gap;
  out.status = validate_values(table, values, settings.method, threshold);
  if (out.status == Status::ok) {
    gap = table_gap(table, values, threshold.point);
    const MethodInput input{table, values, threshold.point, threshold.f_star, gap.gap, gap.error};
    out = method_spec(settings.method).compute(input, settings, stop);
  }
  result.status = out.status;
  if (out.status != Status::ok) return result;  // evidence and error stay NaN
  result.evidence = out.evidence;
  result.error = out.error;
  result.draws = out.draws;
  result.log10_evidence = out.log10_evidence;
  add_statistics(table, gap, result);
  return result;
}

}  // namespace kavo
