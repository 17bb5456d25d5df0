"""The exact method by default, and the figures every result carries beside the evidence."""
import math
import subprocess

import numpy as np
import pytest

import kavo

FIELDS = ("evidence", "log10_evidence", "sev", "g2", "df")


def test_the_default_is_the_programs_exact_method(programs_dir):
    # Counts under the default prior 1: a zero count, an evidence below the double range.
    counts = np.array([[11, 9, 3], [5, 0, 12], [200000, 0, 200000]])
    r = kavo.evidence("hardy_weinberg", counts)
    assert r.method == "exact" and (r.draws == 0).all()
    for i, row in enumerate(counts + 1):
        out = subprocess.run([str(programs_dir / "kavohw"), *map(str, row), "--method", "exact"],
                             capture_output=True, text=True, check=True).stdout.splitlines()
        printed = dict(zip(out[0].split("\t"), out[1].split("\t")))
        assert [getattr(r, f)[i] for f in FIELDS] == [float(printed[f]) for f in FIELDS]


def test_a_zero_count_computes_by_default_and_needs_the_exact_method_for_monte_carlo():
    assert kavo.evidence("hardy_weinberg", [5, 0, 12]).evidence > 0
    mc = kavo.evidence("hardy_weinberg", [[5, 0, 12], [11, 9, 3]], method="monte_carlo",
                       max_draws=10000)
    assert list(mc.status) == ["needs_exact_method", "ok"]
    assert np.isnan(mc.g2[0]) and mc.df.tolist() == [-1, 1]
    assert kavo.evidence("hardy_weinberg", [5, 0.5, 12], prior=0).status == "parameter_below_one"


def test_both_methods_carry_consistent_figures():
    table = [12, 5, 7, 9, 4, 6]
    exact = kavo.evidence("independence", table, shape=(2, 3))
    mc = kavo.evidence("independence", table, shape=(2, 3), method="monte_carlo",
                       max_draws=20000, precision=0.01)
    for r in (exact, mc):
        assert r.log10_evidence == pytest.approx(math.log10(r.evidence), rel=1e-12, abs=1e-14)
        assert r.df == 2
    assert mc.g2 == exact.g2  # the table's statistic, whatever the method
    proportion = kavo.evidence("proportion", [2, 4, 0.4])
    assert proportion.sev == proportion.evidence and proportion.df == 1
    frame = kavo.evidence("independence", [table], shape=(2, 3)).to_frame()
    assert str(frame["df"].dtype) == "Int64"


def test_an_evidence_below_the_double_range_keeps_its_logarithm():
    r = kavo.evidence("hardy_weinberg", [200000, 0, 200000])
    assert r.status == "ok" and r.evidence == 0
    assert -1e6 < r.log10_evidence < -308
