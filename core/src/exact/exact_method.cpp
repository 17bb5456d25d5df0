#include "exact/exact_evidence.hpp"

#include <span>

#include "methods/registry.hpp"

namespace kavo {

namespace {

Status exact_values(const Table& table, const double* values) {
  for (int i = 0; i < table.layout.dimension; ++i) {
    if (values[i] < 1.0) return Status::parameter_below_one;
    if (values[i] > kMaxExactParameter) return Status::outside_exact_domain;
  }
  return table_other_values_valid(table, values) ? Status::ok : Status::refused_values;
}

// Deterministic: draws 0, and nothing to cancel.
MethodOutput exact_method(const MethodInput& input, const Settings& settings,
                          const std::atomic<bool>*) {
  MethodOutput out;
  if (!(settings.tolerance >= kMinTolerance && settings.tolerance <= kMaxTolerance)) {
    out.status = Status::bad_tolerance;
    return out;
  }
  const DirichletLayout& layout = input.table.layout;
  const exact::ExactEvidence e = exact::exact_evidence(
      std::span<const double>(input.values, static_cast<std::size_t>(layout.dimension)),
      std::span<const int>(layout.blocks.sizes, static_cast<std::size_t>(layout.blocks.count)),
      std::span<const double>(input.point, static_cast<std::size_t>(layout.dimension)), input.gap,
      input.gap_error, settings.tolerance);
  if (e.status != exact::ExactStatus::ok) {
    out.status = Status::not_converged;
    return out;
  }
  out.evidence = e.evidence;
  out.error = e.error;
  out.log10_evidence = e.log10_evidence;
  return out;
}

}  // namespace

const MethodSpec kExactMethod{
    {Method::exact, "exact", "exact",
     "from the Laplace transform of the kernel's gap, by a Bromwich integral on a parabolic "
     "contour, to an absolute error of the tolerance (1e-12 by default)",
     "error_bound", "an estimate of the absolute error of the evidence", true},
    exact_values,
    false,
    exact_method,
};

}  // namespace kavo
