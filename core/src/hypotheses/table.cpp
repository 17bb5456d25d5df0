#include "hypotheses/table.hpp"

#include "hypotheses/registry.hpp"

namespace kavo {

Table fixed_table(const HypothesisSpec& spec) {
  return Table{&spec, spec.fixed_shape, true, {spec.value_count, spec.dimension, spec.blocks}};
}

Status make_table(Hypothesis hypothesis, Shape shape, Table& table) {
  if (!hypothesis_valid(hypothesis)) return Status::bad_shape;
  const HypothesisSpec& spec = hypothesis_spec(hypothesis);
  if (shape == spec.fixed_shape) {
    table = fixed_table(spec);
    return Status::ok;
  }
  if (!spec.shaped.valid(shape)) return Status::bad_shape;
  table = Table{&spec, shape, false, spec.shaped.layout(shape)};
  return Status::ok;
}

bool table_values_valid(const Table& table, const double* values) {
  return table.fixed ? table.spec->validate_parameters(values)
                     : table.spec->shaped.validate_parameters(table.shape, values);
}

bool table_other_values_valid(const Table& table, const double* values) {
  const auto check = table.spec->exact.other_values_valid;
  return check == nullptr || check(table.shape, values);
}

void table_point(const Table& table, const double* values, double* point) {
  if (table.fixed) {
    table.spec->hypothesis_point(values, point);
  } else {
    table.spec->shaped.hypothesis_point(table.shape, values, point);
  }
}

}  // namespace kavo
