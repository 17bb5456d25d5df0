#include "exact_evidence.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "beta_tails.hpp"
#include "gap_survival.hpp"
#include "gap_transform.hpp"

namespace kavo::exact {
namespace {

// Below this gap the contour's scale 1 / y would take squared moduli out of
// the double range; the evidence differs from its value here by far less
// than any tolerance.
constexpr double kSmallestGap = 1e-100;

// A standard contour's error falls by 0.91 decades a node in theory
// (exp(-2 pi N / 3)), and by at least 0.75 on every table tried, once the
// rules have settled; the previous rule's difference (its own error) shrunk
// at that rate estimates the finer one's. The balanced contours for many
// cells are counted the same way from their nominal error levels, widened
// by e^6.
constexpr double kDecadesPerNode = 0.75;
// The nested contours' gain, 7.6 decades or more in theory, counted as 6, as
// the standard contours' 0.91 decades a node count as 0.75; a halved
// contour's, exp(-2 pi / h) in theory, counted as that share of it.
constexpr double kNestedGain = 1e-6;
constexpr double kGainShare = 0.79;
// The first balanced contour's digits: enough for the rules to settle.
constexpr double kManyCellsFirstDigits = 18.0;

ExactEvidence certain() {
  ExactEvidence r;
  r.status = ExactStatus::ok;
  r.evidence = 1.0;
  r.log10_evidence = 0.0;
  r.error = 0.0;
  return r;
}

}  // namespace

ExactEvidence exact_evidence(std::span<const double> a, std::span<const int> blocks,
                             std::span<const double> point, double gap, double gap_error,
                             double tolerance) {
  // The hypothesis through the mode: nothing lies above f*.
  if (!(gap > 0.0)) return certain();
  ExactEvidence r;
  if (gap == std::numeric_limits<double>::infinity()) {
    // The point gives no mass to a cell the kernel needs: every p beats it.
    r.status = ExactStatus::ok;
    r.evidence = 0.0;
    r.log10_evidence = -std::numeric_limits<double>::infinity();
    return r;
  }
  // Two cells: Beta tails, in closed form.
  if (blocks.size() == 1 && blocks[0] == 2) {
    const double first = point[0] / (point[0] + point[1]);
    if (const auto closed = beta_tails(a[0], a[1], first, gap, gap_error, tolerance)) return *closed;
  }
  GapTransform transform(a, blocks);
  if (!transform.varies()) return certain();  // a flat kernel: f(p) = f* everywhere
  const double y = std::clamp(gap, kSmallestGap, 1e100);

  // Far below Y's bulk (many cells, a small gap) the evidence is 1 but for
  // P(Y < y) <= exp(s y) E[exp(-s Y)] (any s > 0), which at the saddle point
  // of a gamma-like Y, s = tau / y - beta, is often far below the tolerance.
  const double saddle_s = transform.order() / y - transform.beta();
  // For a gamma variable of shape tau the bound is (e beta y / tau)^tau; with
  // a few cells (the first nested contour's orders) it is not worth its
  // evaluation unless that comes within e^10 of the target.
  const double tau = transform.order();
  const bool worth_bounding =
      tau > kNestedContours[0].up_to_order ||
      tau * (1.0 + std::log(transform.beta() * y / tau)) < std::log(1e-2 * tolerance) + 10.0;
  if (saddle_s > 0.0 && worth_bounding) {
    const double log_bound = saddle_s * y + transform.log_at(saddle_s + transform.beta());
    if (log_bound < std::log(1e-2 * tolerance)) {
      ExactEvidence r = certain();
      r.error = std::exp(log_bound);
      return r;
    }
  }

  // A few cells: the nested contour, which checks itself (gap_survival.hpp).
  // Otherwise, and for the rare table it leaves short of the target, a
  // sequence of contours, each checked against the one before it. A
  // contour crosses the real axis at s y = a - beta y; the integrand's saddle
  // point lies near a = tau for Y spread like a gamma variable of shape tau
  // (many cells), or, below Y's mean, where exp(s y) / s is least, near
  // a = beta y + 2. Few cells: Weideman and Trefethen's contours of N nodes
  // (a = pi N / 12), from the one crossing near the saddle point on. Many
  // cells (tau from kManyCells): contours balanced for that a at errors of
  // exp(-18), then what the target needs (exp(-36) at most), ..., far
  // cheaper there than raising N. From just above the nested contours'
  // orders: there the standard rules of 8 and 16 nodes converge slower than
  // their count assumes (four alleles with three empty classes, order 6,
  // claimed 6e-14 and missed by 4e-12).
  constexpr int kRuleCount = static_cast<int>(std::size(kStandardNodes));
  constexpr double kManyCells = 5.5;
  const double saddle = std::min(transform.order(), transform.beta() * y + 2.0);
  Contour contours[kRuleCount];
  double digits[kRuleCount];  // each contour's error is about exp(-digits)
  double margin = 0.0;        // e-folds by which the estimate is widened
  int first = 0;
  const bool many = transform.order() >= kManyCells;
  // A crossing near s = 0 (a near beta y) would leave 1 - M there to the
  // rounding of ln M: one unit of a to the right instead.
  double many_a = std::max(standard_contour(16).mu_y, saddle);
  if (std::fabs(many_a - transform.beta() * y) < 1.0) many_a = transform.beta() * y + 1.0;
  const double log_transform = many ? transform.log_at(many_a / y) : 0.0;
  const auto balanced = [&](int from, double first_digits) {
    for (int i = from; i < kRuleCount; ++i) {
      digits[i] = first_digits + 12.0 * (i - from);
      contours[i] = i < 4 ? contour_for(many_a, digits[i], transform.order(), log_transform) : Contour{};
    }
  };
  if (many) {
    balanced(0, kManyCellsFirstDigits);
    margin = 6.0;
  } else {
    for (int i = 0; i < kRuleCount; ++i) {
      contours[i] = standard_contour(kStandardNodes[i]);
      digits[i] = kDecadesPerNode * std::numbers::ln10 * kStandardNodes[i];
    }
    while (first + 2 < kRuleCount && contours[first + 1].mu_y < 0.8 * saddle) ++first;
  }
  // The result from a contour whose value changed by `change` (relative)
  // from a coarser rule's, whose error that change shrunk by `gain`
  // estimates; it stands if it meets the target.
  const auto accept = [&](const GapSurvival& current, double change, double gain) {
    // Before the rules settle (a change above 1e-4) nothing is concluded.
    const double relative =
        (change > 1e-4 ? 1.0 : change * gain) + current.truncation + current.relative_error;
    const double value = std::exp(current.log_value);
    const double density = std::exp(current.log_density);
    r.evidence = std::min(value, 1.0);
    r.log10_evidence = std::min(current.log_value, 0.0) / std::numbers::ln10;
    r.error = relative * value + density * gap_error + std::max(value - 1.0, 0.0);
    r.status = ExactStatus::ok;
    return r.error <= tolerance * std::min(1.0, 1e4 * r.evidence) ||
           (r.evidence == 0.0 && relative <= tolerance * 1e4);
  };
  // Every contour from the first crosses at mu = a / y or further right.
  // Y spread like a gamma variable of shape tau and rate beta has P(Y >= y)
  // below 1e-8 once beta y exceeds tau by kDeepTail; a wrong guess only
  // costs the tail contour, whose result then misses the tolerance.
  constexpr double kDeepTail = 25.0;
  const bool deep_tail = transform.beta() * y >= transform.order() + kDeepTail;
  const NestedContour* nested_first =
      many ? nullptr : nested_contour_for(transform.order(), deep_tail, transform.smallest_c());
  transform.expand((nested_first != nullptr
                        ? std::min(contours[first].mu_y, nested_first->contour.mu_y)
                        : contours[first].mu_y) / y);
  // A nested contour, and for the rare table it leaves short of the target
  // the same parabola at half the step, its even nodes those just computed.
  const auto nested_settles = [&](const NestedContour& n) {
    NodeTerms terms;
    const GapSurvival nested = gap_survival(transform, y, n.contour, &terms);
    if (nested.ok && std::isfinite(nested.half_log_value) &&
        accept(nested, std::fabs(std::expm1(nested.half_log_value - nested.log_value)),
               kNestedGain)) {
      return true;
    }
    const GapSurvival refined = gap_survival(transform, y, halved(n.contour), &terms);
    return nested.ok && refined.ok &&
           accept(refined, std::fabs(std::expm1(nested.log_value - refined.log_value)),
                  std::exp(-kGainShare * 2.0 * std::numbers::pi / n.contour.step));
  };
  if (deep_tail && nested_first) {
    // Deep in the tail Stirling's series to 1e-12 a term serves too; a table
    // the guess misplaced goes on at full precision.
    transform.set_precision(SeriesPrecision::coarse);
    if (nested_settles(*nested_first)) return r;
    transform.set_precision(SeriesPrecision::full);
    nested_first = nested_contour_for(transform.order(), false, transform.smallest_c());
  }
  if (nested_first && nested_settles(*nested_first)) return r;
  GapSurvival previous = gap_survival(transform, y, contours[first]);
  if (many && previous.ok) {
    // The next contour's digits from the target the first one's value sets
    // (a relative 1e4 tolerance below evidences of 1e-4), widened by e^3.
    const double log_value = std::min(previous.log_value, 0.0);
    const double log_target =
        std::log(tolerance) + std::min(0.0, std::log(1e4) + log_value) - log_value;
    balanced(1, std::clamp(margin + 3.0 - log_target, kManyCellsFirstDigits + 6.0, 36.0));
  }
  for (int i = first + 1; i < kRuleCount && contours[i].nodes > 0; ++i) {
    const GapSurvival current = gap_survival(transform, y, contours[i]);
    if (!current.ok) {
      previous = current;
      continue;
    }
    const double change =
        previous.ok ? std::fabs(std::expm1(previous.log_value - current.log_value)) : 1.0;
    if (accept(current, change, std::exp(digits[i - 1] - digits[i] + margin))) return r;
    previous = current;
  }
  r.status = ExactStatus::not_converged;
  return r;
}

}  // namespace kavo::exact
