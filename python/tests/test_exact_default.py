"""The exact method by default, and the figures every result carries beside the evidence."""
import math
import subprocess

import numpy as np
import pytest

import kavo

FIELDS = ("evidence", "log10_evidence", "sev", "g2", "df")


def option_form(programs_dir, program, *args):
    """The header and the row a program prints for one table in the option form."""
    out = subprocess.run([str(programs_dir / program), *args], capture_output=True, text=True,
                         check=True)
    header, row = out.stdout.splitlines()
    return dict(zip(header.split("\t"), row.split("\t")))


@pytest.mark.parametrize("program,counts,options", [
    ("kavohw", [11, 9, 3], []),
    ("kavoind", [11, 4, 6, 8], []),
    ("kavohw", [5, 0, 12], []),                 # a zero count
    ("kavohw", [200000, 0, 200000], []),        # an evidence below the double range
    ("kavoind", [12, 5, 7, 9, 4, 6], ["--shape", "2x3"]),
])
def test_the_default_is_the_exact_method_of_the_programs(programs_dir, program, counts, options):
    # Counts with the default prior 1 are the parameters the programs take.
    printed = option_form(programs_dir, program, *[str(c + 1) for c in counts], "--method",
                          "exact", *options)
    shape = (2, 3) if options else None
    r = kavo.evidence(program, counts, shape=shape)
    assert r.status == "ok" and r.method == "exact" and r.draws == 0
    # The programs print the exact method's figures with every digit.
    expected = {f: int(printed[f]) if f == "df" else float(printed[f]) for f in FIELDS}
    assert {f: getattr(r, f) for f in FIELDS} == expected
    assert f"{r.error:e}" == printed["error_bound"]


def beta_cdf(x, a, b):
    """The regularized incomplete beta function for whole a and b (a binomial tail)."""
    n = a + b - 1
    return sum(math.comb(n, j) * x**j * (1 - x) ** (n - j) for j in range(a, n + 1))


def test_a_proportion_matches_its_closed_form():
    a, b, p0 = 3, 5, 0.4  # counts 2 and 4
    log_kernel = lambda p: (a - 1) * math.log(p) + (b - 1) * math.log(1 - p)
    mode = (a - 1) / (a + b - 2)
    lo, hi = 1e-300, mode  # the other point of the kernel's level through p0, below the mode
    for _ in range(200):
        mid = (lo + hi) / 2
        lo, hi = (mid, hi) if log_kernel(mid) < log_kernel(p0) else (lo, mid)
    expected = 1 - (beta_cdf(p0, a, b) - beta_cdf(lo, a, b))
    r = kavo.evidence("proportion", [2, 4, p0])
    assert r.evidence == pytest.approx(expected, abs=1e-12)
    assert r.g2 == pytest.approx(2 * (log_kernel(mode) - log_kernel(p0)), rel=1e-12)
    assert r.sev == r.evidence and r.df == 1  # a point hypothesis


def test_a_zero_count_computes_by_default_and_needs_the_exact_method_for_monte_carlo():
    tables = [[5, 0, 12], [11, 9, 3]]
    exact = kavo.evidence("hardy_weinberg", tables)
    assert list(exact.status) == ["ok", "ok"] and (exact.evidence > 0).all()
    mc = kavo.evidence("hardy_weinberg", tables, method="monte_carlo", max_draws=10000)
    assert list(mc.status) == ["needs_exact_method", "ok"]
    assert "only the exact method computes it" in mc.reason[0]
    assert np.isnan([mc.evidence[0], mc.log10_evidence[0], mc.sev[0], mc.g2[0]]).all()
    assert mc.df[0] == -1 and mc.draws[0] == -1
    one = kavo.evidence("hardy_weinberg", [5, 0, 12], method="monte_carlo")
    assert one.status == "needs_exact_method" and one.df is None and np.isnan(one.g2)
    # A parameter below 1 is refused by every method.
    below = kavo.evidence("hardy_weinberg", [5, 0.5, 12], prior=0)
    assert below.status == "parameter_below_one" and "unbounded" in below.reason


def test_both_methods_carry_consistent_figures():
    tables = np.array([[12, 5, 7, 9, 4, 6], [30, 2, 9, 4, 11, 25]])
    exact = kavo.evidence("independence", tables, shape=(2, 3))
    mc = kavo.evidence("independence", tables, shape=(2, 3), method="monte_carlo",
                       max_draws=20000, precision=0.01)
    for r in (exact, mc):
        np.testing.assert_allclose(r.log10_evidence, np.log10(r.evidence), rtol=1e-12, atol=1e-14)
        assert r.df.tolist() == [2, 2] and r.df.dtype == np.int32
        assert ((0 <= r.sev) & (r.sev <= 1)).all()
    # g2 and df belong to the table, not to the method.
    np.testing.assert_array_equal(mc.g2, exact.g2)
    frame = exact.to_frame()
    assert str(frame["df"].dtype) == "Int64" and frame["df"].tolist() == [2, 2]
    np.testing.assert_array_equal(frame["g2"], exact.g2)


def test_an_evidence_below_the_double_range_keeps_its_logarithm():
    r = kavo.evidence("hardy_weinberg", [200000, 0, 200000])
    assert r.status == "ok" and r.evidence == 0
    assert np.isfinite(r.log10_evidence) and r.log10_evidence < -308
