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
  const TableLayout& layout = input.table.layout;
  const exact::ExactEvidence e = exact::exact_evidence(
      std::span<const double>(input.values, static_cast<std::size_t>(layout.dimension)),
      std::span<const int>(layout.blocks.sizes, static_cast<std::size_t>(layout.blocks.count)),
      std::span<const double>(input.point, static_cast<std::size_t>(layout.dimension)),
      settings.tolerance);
  switch (e.status) {
    case exact::ExactStatus::ok: break;
    case exact::ExactStatus::outside_domain: out.status = Status::outside_exact_domain; return out;
    case exact::ExactStatus::not_converged: out.status = Status::not_converged; return out;
  }
  out.evidence = e.evidence;
  out.error = e.error_bound;
  return out;
}

}  // namespace kavo
