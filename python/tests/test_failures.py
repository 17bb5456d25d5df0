"""Rows without evidence, and arguments that raise."""
import numpy as np
import pandas as pd
import pytest

import kavo

REFUSED = "Dirichlet parameters must be greater than 1 and p0 must be in interval (0,1)"
TOO_LARGE = "parameters too large: the hypothesis point cannot be computed"
NEEDS_EXACT = ("a Dirichlet parameter of exactly 1 (a zero count with the uniform prior): only the "
               "exact method computes it")


def test_rows_that_cannot_be_computed_get_nan_and_their_reason():
    tables = [[12, 10, 4], [1, 3, 4], [np.nan, 3, 4], [np.inf, 3, 4], [1e308, 1e308, 4],
              [-5, 3, 4], [25, 50, 30]]
    r = kavo.evidence("kavohw", tables, method="monte_carlo", max_draws=10000, prior=0)
    assert list(r.status) == ["ok", "needs_exact_method", "missing_value", "infinite_value",
                              "parameters_too_large", "refused_values", "ok"]
    assert list(r.reason) == ["", NEEDS_EXACT, "missing value", "infinite value", TOO_LARGE,
                              REFUSED, ""]
    assert list(r.ok) == [True, False, False, False, False, False, True]
    bad = ~r.ok
    assert np.isnan(r.evidence[bad]).all() and np.isnan(r.error[bad]).all()
    assert (r.draws[bad] == -1).all()
    assert np.isfinite(r.evidence[r.ok]).all() and (r.draws[r.ok] >= 10000).all()


def test_one_failed_table_has_scalar_nan_and_no_draws():
    r = kavo.evidence("kavoprop", [3, 5, 1.0], prior=0, method="monte_carlo")
    assert r.status == "refused_values" and r.reason == REFUSED
    assert np.isnan(r.evidence) and np.isnan(r.error) and r.draws is None and not r.ok
    assert "refused_values" in repr(r)


def test_missing_values_in_a_frame_are_failed_rows():
    frame = pd.DataFrame({"aa": [11, None, 24], "ab": [9, 3, 49], "bb": [3, 4, 29]}).astype("Int64")
    r = kavo.evidence("kavohw", frame, prior=1, method="monte_carlo", max_draws=10000)
    assert list(r.status) == ["ok", "missing_value", "ok"]
    # pd.NA among plain numbers is missing too, and a zero count is not.
    r = kavo.evidence("kavohw", [[11, pd.NA, 3], [11, 0, 3]], prior=0.5, method="monte_carlo",
                      max_draws=10000)
    assert list(r.status) == ["missing_value", "refused_values"]
    assert r.reason[0] == "missing value"


@pytest.mark.parametrize("kwargs,message", [
    (dict(hypothesis="independance"), "unknown hypothesis 'independance'; known: independence"),
    (dict(method="exakt"), "unknown method 'exakt'"),
    (dict(values=[12, 5, 7]), "takes 4 values per table (A11 A12 A21 A22), got 3"),
    (dict(values=[[12, 5, 7], [1, 2, 3]]), "takes 4 values per table (A11 A12 A21 A22), got 3"),
    (dict(values=[[[12, 5, 7, 9]]]), "got 3 dimensions"),
    (dict(values=5.0), "got 0 dimensions"),
    (dict(threads=-1), "threads must be from 1 to 1024"),
    (dict(threads=0), "threads must be from 1 to 1024"),
    (dict(threads=5000), "threads must be from 1 to 1024"),
    (dict(seed=0), "seed must be a whole number from 1 to 2147483646, got 0"),
    (dict(seed=2**31 - 1), "seed must be a whole number from 1 to 2147483646"),
    (dict(precision=float("nan")), "precision must be a finite number"),
    (dict(prior=float("inf")), "prior must be a finite number"),
    (dict(max_draws=2**70), "max_draws must fit in 64 bits"),
    (dict(hypothesis="h"), "ambiguous hypothesis 'h' (the start of homogeneity and hardy_weinberg)"),
    (dict(method="exact", seed=5), "seed applies to the monte_carlo method only, not to exact"),
    (dict(method="exact", max_draws=10**6), "max_draws applies to the monte_carlo method only"),
    (dict(method="ex", precision=0.01), "precision applies to the monte_carlo method only"),
])
def test_bad_arguments_raise_value_error(kwargs, message):
    args = dict(hypothesis="independence", values=[12, 5, 7, 9], method="monte_carlo")
    args.update(kwargs)
    with pytest.raises(ValueError) as info:
        kavo.evidence(args.pop("hypothesis"), args.pop("values"), **args)
    assert message in str(info.value)


@pytest.mark.parametrize("kwargs,message", [
    (dict(values=["12", "5", "7", "9"]), "values must be real numbers"),
    (dict(values=[12, 5, None, 9]), "values must be real numbers, got NoneType"),
    (dict(values=np.array([True, True, False, True])), "dtype bool"),
    (dict(values=np.array([1 + 2j, 5, 7, 9])), "dtype complex128"),
    (dict(values=pd.DataFrame({"a": ["x"], "b": [1], "c": [1], "d": [1]})), "column 'a' is not numeric"),
    (dict(hypothesis=3), "hypothesis must be a string"),
    (dict(method=None), "method must be a string"),
    (dict(max_draws=1e6), "max_draws must be a whole number, got float"),
    (dict(seed=11.0), "seed must be a whole number"),
    (dict(threads=2.0), "threads must be a whole number"),
    (dict(threads=True), "threads must be a whole number, got a bool"),
    (dict(precision="0.01"), "precision must be a real number, got str"),
])
def test_wrong_types_raise_type_error(kwargs, message):
    args = dict(hypothesis="independence", values=[12, 5, 7, 9], method="monte_carlo")
    args.update(kwargs)
    with pytest.raises(TypeError) as info:
        kavo.evidence(args.pop("hypothesis"), args.pop("values"), **args)
    assert message in str(info.value)


def test_the_extension_checks_its_own_arguments():
    from kavo import _core
    values = np.array([[12.0, 5, 7, 9]])
    with pytest.raises(ValueError, match="seed"):
        _core.compute_many("kavoind", values, "monte_carlo", 10000, 0.01, 0, 1)
    with pytest.raises(ValueError, match="threads"):
        _core.compute_many("kavoind", values, "monte_carlo", 10000, 0.01, 11, -3)
    with pytest.raises(ValueError, match="takes 4 values"):
        _core.compute_many("kavoind", values[:, :3], "monte_carlo", 10000, 0.01, 11, 1)
    codes, evidence, error, draws, *_ = _core.compute_many("kavoind", values, "monte_carlo",
                                                           10000, 0.01, 11, 1)
    assert codes.tolist() == [0] and draws.tolist() == [10000]
