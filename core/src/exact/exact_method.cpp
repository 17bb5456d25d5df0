#include "exact/exact_evidence.hpp"

#include <span>

#include "methods/method.hpp"

namespace kavo {

MethodOutput exact_method(const MethodInput& input, const Settings& settings) {
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

}  // namespace kavo
