// The public interface of kavo/kavo.hpp over the hypothesis registry and the
// evidence computation.

#include <algorithm>

#include "evidence.hpp"
#include "hypotheses/registry.hpp"
#include "methods/registry.hpp"
#include "hypotheses/table.hpp"
#include "kavo/kavo.hpp"

namespace kavo {

namespace {

// Resolves the table of the hypothesis at the shape and copies its values
// into held: ok, bad_shape or wrong_value_count.
Status hold_table(Hypothesis hypothesis, Shape shape, std::span<const double> values,
                  Table& table, double* held) {
  const Status status = make_table(hypothesis, shape, table);
  if (status != Status::ok) return status;
  if (values.size() != static_cast<std::size_t>(table.layout.value_count)) {
    return Status::wrong_value_count;
  }
  std::copy(values.begin(), values.end(), held);
  return Status::ok;
}

}  // namespace

Result compute(Hypothesis hypothesis, std::span<const double> values, const Settings& settings) {
  return compute(hypothesis, default_shape(hypothesis), values, settings);
}

Result compute(Hypothesis hypothesis, Shape shape, std::span<const double> values,
               const Settings& settings) {
  Table table;
  double held[kMaxValues] = {};
  const Status status = hold_table(hypothesis, shape, values, table, held);
  if (status != Status::ok) {
    Result wrong;
    wrong.method = settings.method;
    wrong.status = status;
    return wrong;
  }
  return compute_evidence(table, held, settings);
}

Status validate(Hypothesis hypothesis, std::span<const double> values) {
  return validate(hypothesis, default_shape(hypothesis), values);
}

Status validate(Hypothesis hypothesis, Shape shape, std::span<const double> values) {
  return validate(hypothesis, shape, values, Settings{}.method);
}

Status validate(Hypothesis hypothesis, Shape shape, std::span<const double> values,
                Method method) {
  Table table;
  double held[kMaxValues] = {};
  const Status status = hold_table(hypothesis, shape, values, table, held);
  if (status != Status::ok) return status;
  Threshold threshold;
  return validate_values(table, held, method, threshold);
}

Shape default_shape(Hypothesis hypothesis) { return hypothesis_spec(hypothesis).fixed_shape; }

bool shape_valid(Hypothesis hypothesis, Shape shape) {
  Table table;
  return make_table(hypothesis, shape, table) == Status::ok;
}

int value_count(Hypothesis hypothesis, Shape shape) {
  Table table;
  return make_table(hypothesis, shape, table) == Status::ok ? table.layout.value_count : 0;
}

int dirichlet_count(Hypothesis hypothesis, Shape shape) {
  Table table;
  return make_table(hypothesis, shape, table) == Status::ok ? table.layout.dimension : 0;
}

std::string value_name(Hypothesis hypothesis, Shape shape, int i) {
  Table table;
  if (make_table(hypothesis, shape, table) != Status::ok) return "";
  if (i < 0 || i >= table.layout.value_count) return "";
  if (table.fixed) return table.spec->value_names[i];
  return table.spec->shaped.value_name(shape, i);
}

int value_count(Hypothesis hypothesis) { return hypothesis_spec(hypothesis).value_count; }

int dirichlet_count(Hypothesis hypothesis) { return hypothesis_spec(hypothesis).dimension; }

const char* value_name(Hypothesis hypothesis, int i) {
  const HypothesisSpec& spec = hypothesis_spec(hypothesis);
  return i >= 0 && i < spec.value_count ? spec.value_names[i] : "";
}

const char* hypothesis_name(Hypothesis hypothesis) { return hypothesis_spec(hypothesis).name; }

const char* program_name(Hypothesis hypothesis) {
  const HypothesisSpec& spec = hypothesis_spec(hypothesis);
  return *spec.shown.command != '\0' ? spec.shown.command : spec.program_name;
}

std::optional<Hypothesis> hypothesis_from_name(std::string_view name) {
  for (const HypothesisSpec* spec : kHypothesisSpecs) {
    if (name == spec->name || name == program_name(spec->id)) return spec->id;
  }
  return std::nullopt;
}

const char* shape_kind_name(ShapeKind kind) {
  switch (kind) {
    case ShapeKind::fixed: return "fixed";
    case ShapeKind::table: return "table";
    case ShapeKind::square: return "square";
    case ShapeKind::alleles: return "alleles";
    case ShapeKind::categories: return "categories";
  }
  return "unknown";
}

HypothesisDescription describe_hypothesis(Hypothesis hypothesis) {
  const HypothesisSpec& spec = hypothesis_spec(hypothesis);
  HypothesisDescription d{spec.id,
                          spec.name,
                          spec.program_name,
                          spec.shown.program_option,
                          spec.shown.title,
                          spec.shown.description,
                          spec.shown.shape_kind,
                          spec.fixed_shape,
                          spec.value_count,
                          spec.dimension,
                          spec.blocks.count,
                          {},
                          spec.shown.monte_carlo_limit};
  // Fixed shapes have at most block_sizes' four blocks.
  for (int i = 0; i < spec.blocks.count && i < static_cast<int>(std::size(d.block_sizes)); ++i) {
    d.block_sizes[i] = spec.blocks.sizes[i];
  }
  return d;
}

MethodDescription describe_method(Method method) {
  if (!method_valid(method)) {
    return {method, "unknown", "unknown method", "", "error", "", false};
  }
  return method_spec(method).shown;
}

const char* method_name(Method method) { return describe_method(method).name; }

std::optional<Method> method_from_name(std::string_view name) {
  for (int i = 0; i < kMethodCount; ++i) {
    const Method method = static_cast<Method>(i);
    if (name == method_name(method)) return method;
  }
  return std::nullopt;
}

const char* describe(Status status) {
  switch (status) {
    case Status::ok: return "no error";
    case Status::wrong_value_count: return "wrong number of values for this hypothesis";
    case Status::refused_values:
      return "Dirichlet parameters must be greater than 1 and p0 must be in interval (0,1)";
    case Status::parameters_too_large:
      return "parameters too large: the hypothesis point cannot be computed";
    case Status::bad_seed: return "seed must be a whole number from 1 to 2147483646";
    case Status::bad_precision: return "precision must be a finite number";
    case Status::bad_shape:
      return "shape not possible for this hypothesis (each dimension at least 2, a square for "
             "symmetry, at most 100 cells)";
    case Status::too_large_for_monte_carlo:
      return "parameters too large for Monte Carlo, whose rounding would bias the evidence: "
             "use the exact method";
    case Status::sampler_failure: return "a gamma shape below 1 reached the sampler";
    case Status::unknown_method: return "unknown method";
    case Status::bad_tolerance: return "tolerance must be from 1e-13 to 1e-2";
    case Status::outside_exact_domain:
      return "outside the exact method's domain: a Dirichlet parameter above 1e15";
    case Status::not_converged: return "the exact method did not reach its tolerance";
    case Status::cancelled: return "cancelled before it was computed";
    case Status::parameter_below_one:
      return "a Dirichlet parameter below 1 makes the posterior density unbounded: the evidence "
             "is not defined";
    case Status::needs_exact_method:
      return "a Dirichlet parameter of exactly 1 (a zero count with the uniform prior): only the "
             "exact method computes it";
    case Status::missing_value: return "missing value";
    case Status::infinite_value: return "infinite value";
  }
  return "unknown error";
}

const char* status_name(Status status) {
  switch (status) {
    case Status::ok: return "ok";
    case Status::wrong_value_count: return "wrong_value_count";
    case Status::refused_values: return "refused_values";
    case Status::parameters_too_large: return "parameters_too_large";
    case Status::bad_seed: return "bad_seed";
    case Status::bad_precision: return "bad_precision";
    case Status::bad_shape: return "bad_shape";
    case Status::too_large_for_monte_carlo: return "too_large_for_monte_carlo";
    case Status::sampler_failure: return "sampler_failure";
    case Status::unknown_method: return "unknown_method";
    case Status::bad_tolerance: return "bad_tolerance";
    case Status::outside_exact_domain: return "outside_exact_domain";
    case Status::not_converged: return "not_converged";
    case Status::cancelled: return "cancelled";
    case Status::parameter_below_one: return "parameter_below_one";
    case Status::needs_exact_method: return "needs_exact_method";
    case Status::missing_value: return "missing_value";
    case Status::infinite_value: return "infinite_value";
  }
  return "unknown";
}

const char* version() { return KAVO_VERSION; }

}  // namespace kavo
