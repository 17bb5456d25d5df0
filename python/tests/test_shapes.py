"""Tables larger than the fixed shapes, through the shape argument."""

import numpy as np
import pytest

import kavo


def test_shaped_tables_give_the_librarys_digits():
    # Digits printed by the C++ library for the same tables and default settings.
    cases = [
        ("independence", (2, 3), [13, 6, 8, 10, 5, 7], "9.999762e-01", 42000),
        ("symmetry", 3, [21, 4, 3, 7, 16, 2, 5, 6, 12], "7.616575e-01", 1216300),
        ("homogeneity", (3, 2), [13, 6, 8, 10, 15, 3], "5.020964e-02", 319600),
        ("hardy_weinberg", 3, [10, 13, 5, 9, 7, 2], "9.934943e-01", 43500),
        ("proportion", 3, [21, 31, 12, 0.3, 0.5, 0.2], "8.630160e-01", 792100),
    ]
    for hypothesis, shape, values, digits, draws in cases:
        r = kavo.evidence(hypothesis, values, shape=shape)
        assert f"{r.evidence:e}" == digits, hypothesis
        assert r.draws == draws, hypothesis


def test_shape_names_counts_and_refusals():
    assert kavo.value_names("hardy_weinberg", shape=3) == ["A11", "A12", "A22", "A13", "A23", "A33"]
    assert kavo.value_names("proportion", shape=3) == ["A1", "A2", "A3", "p1", "p2", "p3"]
    assert kavo.value_names("independence", shape=(2, 3))[-1] == "A23"
    # The fixed shape given explicitly is the fixed program, digit for digit.
    fixed = kavo.evidence("independence", [12, 5, 7, 9], max_draws=20000, precision=0.01)
    explicit = kavo.evidence("independence", [12, 5, 7, 9], shape=(2, 2), max_draws=20000,
                             precision=0.01)
    assert (fixed.evidence, fixed.draws) == (explicit.evidence, explicit.draws)
    with pytest.raises(ValueError, match="shape not possible"):
        kavo.evidence("symmetry", np.full(6, 3.0), shape=(2, 3))
    with pytest.raises(ValueError, match="takes a shape"):
        kavo.evidence("independence", np.full(6, 3.0), shape=6)
    with pytest.raises(ValueError, match="takes 6 values"):
        kavo.evidence("independence", np.full(4, 3.0), shape=(2, 3))
    # p0 that does not sum to 1 is a failed row, not an exception.
    r = kavo.evidence("proportion", [[3, 4, 5, 0.2, 0.3, 0.6], [3, 4, 5, 0.2, 0.3, 0.5]], shape=3,
                      max_draws=10000, precision=0.05)
    assert list(r.status) == ["refused_values", "ok"]
    assert np.isnan(r.evidence[0])
