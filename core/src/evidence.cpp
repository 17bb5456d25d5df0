#include "evidence.hpp"

#include <algorithm>
#include <cmath>

#include "methods/method.hpp"
#include "random/dirichlet.hpp"

namespace kavo {

double hypothesis_f_star(const HypothesisSpec& spec, const double* values) {
  double point[kMaxCells];
  spec.hypothesis_point(values, point);
  return log_kernel(values, point, spec.dimension);
}

Status validate_values(const Table& table, const double* values, Threshold& threshold) {
  // A missing or infinite value is told apart from a refused one: a panel's
  // missing data are not its zero counts.
  const double* end = values + table.layout.value_count;
  const auto any = [&](bool (*test)(double)) { return std::any_of(values, end, test); };
  if (any([](double v) { return std::isnan(v); })) return Status::missing_value;
  if (any([](double v) { return std::isinf(v); })) return Status::infinite_value;
  if (!table_values_valid(table, values)) return Status::refused_values;
  table_point(table, values, threshold.point);
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
  out.status = validate_values(table, values, threshold);
  if (out.status == Status::ok) {
    const MethodInput input{table, values, threshold.point, threshold.f_star};
    switch (settings.method) {
      case Method::monte_carlo: out = monte_carlo_method(input, settings, stop); break;
      case Method::exact: out = exact_method(input, settings); break;
      default: out.status = Status::unknown_method; break;
    }
  }
  result.status = out.status;
  if (out.status != Status::ok) return result;  // evidence and error stay NaN
  result.evidence = out.evidence;
  result.error = out.error;
  result.draws = out.draws;
  return result;
}

}  // namespace kavo
