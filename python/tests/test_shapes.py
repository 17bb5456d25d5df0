"""Tables larger than the fixed shapes, through the shape argument."""

import numpy as np
import pytest

import kavo


def test_shaped_tables_give_the_librarys_digits():
    # Digits printed by the C++ library for the same tables and Monte Carlo's default settings.
    cases = [
        ("independence", (2, 3), [13, 6, 8, 10, 5, 7], "9.999762e-01", 42000),
        ("symmetry", 3, [21, 4, 3, 7, 16, 2, 5, 6, 12], "7.616575e-01", 1216300),
        ("homogeneity", (3, 2), [13, 6, 8, 10, 15, 3], "5.020964e-02", 319600),
        ("hardy_weinberg", 3, [10, 13, 5, 9, 7, 2], "9.934943e-01", 43500),
        ("proportion", 3, [21, 31, 12, 0.3, 0.5, 0.2], "8.630160e-01", 792100),
    ]
    for hypothesis, shape, values, digits, draws in cases:
        r = kavo.evidence(hypothesis, values, shape=shape, prior=0, method="monte_carlo")
        assert f"{r.evidence:e}" == digits, hypothesis
        assert r.draws == draws, hypothesis


def test_shape_names_counts_and_refusals():
    assert kavo.value_names("hardy_weinberg", shape=3) == ["A11", "A12", "A22", "A13", "A23", "A33"]
    assert kavo.value_names("proportion", shape=3) == ["A1", "A2", "A3", "p1", "p2", "p3"]
    assert kavo.value_names("independence", shape=(2, 3))[-1] == "A23"
    # The fixed shape given explicitly is the fixed program, digit for digit.
    mc = dict(method="monte_carlo", max_draws=20000, precision=0.01)
    fixed = kavo.evidence("independence", [12, 5, 7, 9], **mc)
    explicit = kavo.evidence("independence", [12, 5, 7, 9], shape=(2, 2), **mc)
    assert (fixed.evidence, fixed.draws) == (explicit.evidence, explicit.draws)
    with pytest.raises(ValueError, match="shape not possible"):
        kavo.evidence("symmetry", np.full(6, 3.0), shape=(2, 3))
    with pytest.raises(ValueError, match="takes a shape"):
        kavo.evidence("independence", np.full(6, 3.0), shape=6)
    with pytest.raises(ValueError, match="takes 6 values"):
        kavo.evidence("independence", np.full(4, 3.0), shape=(2, 3))
    # p0 that does not sum to 1 is a failed row, not an exception.
    r = kavo.evidence("proportion", [[3, 4, 5, 0.2, 0.3, 0.6], [3, 4, 5, 0.2, 0.3, 0.5]], shape=3,
                      method="monte_carlo", max_draws=10000, precision=0.05)
    assert list(r.status) == ["refused_values", "ok"]
    assert np.isnan(r.evidence[0])


def test_a_table_given_as_a_matrix_is_read_one_way_only():
    table = np.array([[21, 4, 3, 7], [16, 2, 5, 6], [12, 9, 4, 3], [5, 6, 7, 8]])
    settings = dict(method="monte_carlo", max_draws=20000, precision=0.01)
    flat = kavo.evidence("symmetry", table.ravel(), shape=4, **settings)
    # With its shape given, the 4x4 array is that one table, not four 2x2 rows.
    assert kavo.evidence("symmetry", table, shape=4, **settings).evidence == flat.evidence
    with pytest.raises(ValueError) as info:
        kavo.evidence("symmetry", table, **settings)
    assert "one 4x4 table (pass shape=4)" in str(info.value)
    assert "4 tables of 4 values, one per row" in str(info.value)
    # A square array is one table for symmetry; a 2x2 array for any 2x2 hypothesis.
    three = table[:3, :3]
    assert (kavo.evidence("symmetry", three, **settings).evidence
            == kavo.evidence("symmetry", three.ravel(), shape=3, **settings).evidence)
    assert (kavo.evidence("independence", [[11, 4], [6, 8]], **settings).evidence
            == kavo.evidence("independence", [11, 4, 6, 8], **settings).evidence)
    # Stacks: rows of flat tables, or a 3-D array of matrices, give the same results.
    rows = kavo.evidence("symmetry", table, shape=2, **settings)
    stack = kavo.evidence("symmetry", table.reshape(4, 2, 2), **settings)
    assert len(rows) == 4
    np.testing.assert_array_equal(rows.evidence, stack.evidence)
    wide = np.arange(12.0).reshape(2, 6) + 3
    np.testing.assert_array_equal(
        kavo.evidence("independence", wide.reshape(2, 2, 3), **settings).evidence,
        kavo.evidence("independence", wide, shape=(2, 3), **settings).evidence)
    with pytest.raises(ValueError, match=r"for one 2x3 table pass shape=\(2, 3\)"):
        kavo.evidence("independence", wide.reshape(4, 3)[:2])
    with pytest.raises(ValueError, match="does not fit shape=3"):
        kavo.evidence("symmetry", table.reshape(4, 2, 2), shape=3)


def test_x_linked_hardy_weinberg_comes_from_the_librarys_description():
    d = kavo.describe_hypothesis("kavohw --x-linked")
    assert (d["name"], d["blocks"], d["shape_kind"]) == ("x_linked_hardy_weinberg", [3, 2], "fixed")
    assert kavo.value_names("x_linked_hardy_weinberg") == ["AA", "AB", "BB", "A", "B"]
    # The first table's females and males are at their common frequency 3/4:
    # the hypothesis point is the posterior mode.
    r = kavo.evidence("x_linked_hardy_weinberg", [[9, 6, 1, 3, 1], [12, 10, 4, 8, 5]])
    assert r.evidence[0] == 1.0
    assert list(r.df) == [2, 2]
    assert kavo.evidence("kavohw --x-linked", [12, 10, 4, 8, 5]).evidence == r.evidence[1]
    with pytest.raises(ValueError, match="fixed shape only"):
        kavo.evidence("x_linked_hardy_weinberg", np.full(5, 3.0), shape=3)
    with pytest.raises(ValueError, match="takes 5 values"):
        kavo.evidence("x_linked_hardy_weinberg", [1, 2, 3])
