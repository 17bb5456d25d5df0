"""Evidence values against the digits the command-line programs print."""
import subprocess

import numpy as np
import pandas as pd
import pytest

import kavo

# Printed by the programs with their Monte Carlo defaults (max_draws 2000000, precision 0.001,
# seed 11).
PROGRAM_DIGITS = [
    ("kavoind", [12, 5, 7, 9], "3.741918e-01"),
    ("kavoind", [20, 8, 6, 30], "1.000000e-04"),
    ("kavomcn", [12, 5, 7, 9], "9.306918e-01"),
    ("kavomcn", [3.5, 9, 2.5, 4], "1.239700e-01"),
    ("kavohomo", [12, 5, 7, 9], "2.129115e-01"),
    ("kavohw", [12, 10, 4], "8.622669e-01"),
    ("kavohw", [25, 50, 30], "9.315372e-01"),
    ("kavoprop", [3, 5, 0.4], "7.072672e-01"),
    ("kavoprop", [30, 70, 0.25], "2.990630e-01"),
]

# Batch mode of the programs built from this tree, copied from their output:
# PROGRAM --batch FILE --method monte_carlo --maxMC 20000 --precision 0.01 --prior 0.5 --seed 7
# --threads 2
BATCH_SETTINGS = dict(method="monte_carlo", max_draws=20000, precision=0.01, prior=0.5, seed=7)
TABLES_4 = [[12, 5, 7, 9], [20, 8, 6, 30], [2.5, 3, 4.5, 5.5], [0, 4, 4, 4]]
BATCH_DIGITS = {
    "kavoind": (TABLES_4, [("4.083951e-01", 16200, "9.997604e-03"),
                           ("2.000000e-04", 10000, "3.661053e-04"),
                           ("1.000000e+00", 20000, "3.348878e-04"), None]),
    "kavomcn": (TABLES_4, [("9.394000e-01", 10000, "6.177262e-03"),
                           ("9.550000e-01", 10000, "5.367133e-03"),
                           ("9.333000e-01", 10000, "6.459635e-03"), None]),
    "kavohomo": (TABLES_4, [("2.371311e-01", 12200, "9.969107e-03"),
                            ("2.000000e-04", 10000, "3.661053e-04"),
                            ("1.000000e+00", 20000, "3.348878e-04"), None]),
    "kavohw": ([[11, 9, 3], [24, 49, 29], [2.2, 3.7, 1.5], [5, 0, 12]],
               [("9.282000e-01", 10000, "6.683707e-03"), ("9.496000e-01", 10000, "5.663958e-03"),
                ("9.644000e-01", 10000, "4.797202e-03"), None]),
    "kavoprop": ([[3, 5, 0.4], [30, 70, 0.25], [1.7, 2.3, 0.6], [4, 4, 1.5]],
                 [("8.033645e-01", 10700, "9.947718e-03"), ("2.709774e-01", 13300, "9.977496e-03"),
                  ("3.870625e-01", 16000, "9.968658e-03"), None]),
}

REFUSED = "Dirichlet parameters must be greater than 1 and p0 must be in interval (0,1)"


def printed(results):
    """Rows as the programs' batch mode prints them (None for an NA row)."""
    return [None if s != "ok" else (f"{e:e}", int(d), f"{h:e}")
            for e, d, h, s in zip(results.evidence, results.draws, results.error, results.status)]


@pytest.mark.parametrize("program,values,digits", PROGRAM_DIGITS)
def test_default_settings_print_the_programs_digits(program, values, digits):
    r = kavo.evidence(program, values, prior=0, method="monte_carlo")
    assert f"{r.evidence:e}" == digits
    assert r.status == "ok" and r.reason == "" and r.method == "monte_carlo"
    assert r.draws % 100 == 0 and 10000 <= r.draws <= 2_000_000
    assert 0 < r.error <= 0.001 or r.draws == 2_000_000 or r.draws == 10000


def test_known_draw_count_and_names_are_aliases():
    r = kavo.evidence("independence", (12, 5, 7, 9), prior=0, method="monte_carlo")
    assert r.draws == 1569000  # the library's own documented example
    for name, program in zip(kavo.hypotheses(), ["kavoind", "kavomcn", "kavohomo", "kavohw", "kavoprop"]):
        values = [3, 5, 0.4] if name == "proportion" else [12, 5, 7, 9][: len(kavo.value_names(name))]
        a = kavo.evidence(name, values, method="monte_carlo", max_draws=10000)
        b = kavo.evidence(program, values, method="monte_carlo", max_draws=10000)
        assert (a.evidence, a.error, a.draws) == (b.evidence, b.error, b.draws)


@pytest.mark.parametrize("program", sorted(BATCH_DIGITS))
def test_batch_settings_match_recorded_program_rows(program):
    tables, rows = BATCH_DIGITS[program]
    if program == "kavomcn":  # four rows of four values would also be one 4x4 table: a stack
        tables = np.reshape(tables, (-1, 2, 2))
    r = kavo.evidence(program, tables, threads=2, **BATCH_SETTINGS)
    assert printed(r) == rows
    assert list(r.status) == ["ok", "ok", "ok", "refused_values"]
    assert r.reason[3] == REFUSED


@pytest.mark.parametrize("program", sorted(BATCH_DIGITS))
def test_random_tables_match_the_built_programs_live(program, programs_dir, tmp_path):
    rng = np.random.default_rng(len(program))
    count = len(BATCH_DIGITS[program][0][0])
    tables = np.round(rng.uniform(0.2, 30, size=(40, count)), 2)
    tables[3, 0] = 0.25  # refused after the prior, in every program
    if program == "kavoprop":
        tables[:, 2] = np.round(rng.uniform(-0.1, 1.1, size=40), 3)  # some p0 refused
    path = tmp_path / "tables.tsv"
    path.write_text("".join("\t".join(repr(float(v)) for v in row) + "\n" for row in tables))
    out = subprocess.run([str(programs_dir / program), "--batch", str(path), "--method",
                          "monte_carlo", "--maxMC", "30000",
                          "--precision", "0.005", "--prior", "0.5", "--seed", "123",
                          "--threads", "2"], capture_output=True, text=True)
    lines = out.stdout.splitlines()[1:]
    assert len(lines) == 40
    # evidence draws half_width, then log10_evidence sev g2 df
    expected = [None if f[-7] == "NA" else (f[-7], int(f[-6]), f[-5])
                for f in (line.split("\t") for line in lines)]
    assert any(e is None for e in expected) and any(e is not None for e in expected)
    assert out.returncode == 0  # refused rows are NA rows of a run that wrote every row
    r = kavo.evidence(program, tables, method="monte_carlo", max_draws=30000, precision=0.005,
                      prior=0.5, seed=123)
    assert printed(r) == expected


@pytest.mark.parametrize("hypothesis", ["independence", "symmetry", "homogeneity",
                                        "hardy_weinberg", "proportion"])
def test_many_rows_equal_one_row_calls_whatever_the_threads(hypothesis):
    rng = np.random.default_rng(5)
    count = len(kavo.value_names(hypothesis))
    tables = rng.uniform(0.5, 12, size=(24, count))
    if hypothesis == "proportion":
        tables[:, 2] = rng.uniform(0.05, 0.95, size=24)
    settings = dict(method="monte_carlo", max_draws=15000, precision=0.02, seed=99, prior=0)
    one = [kavo.evidence(hypothesis, row, **settings) for row in tables]
    for threads in (1, 2, 5, None):
        many = kavo.evidence(hypothesis, tables, threads=threads, **settings)
        assert len(many) == 24
        for i, r in enumerate(one):
            assert many.status[i] == r.status and many.reason[i] == r.reason
            if r.status == "ok":
                assert (many.evidence[i], many.error[i], many.draws[i]) == (r.evidence, r.error, r.draws)
            else:
                assert np.isnan(many.evidence[i]) and np.isnan(many.error[i])
                assert many.draws[i] == -1 and r.draws is None
    assert {r.status for r in one} == {"ok", "refused_values"}


def test_any_numeric_input_form_gives_the_same_result():
    tables = [[12, 5, 7, 9], [3, 4, 5, 6]]
    settings = dict(method="monte_carlo", max_draws=10000, seed=3)
    reference = kavo.evidence("kavoind", tables, **settings).evidence
    forms = [
        np.array(tables, dtype=np.int32), np.array(tables, dtype=np.uint8),
        np.array(tables, dtype=np.float32), np.array(tables, dtype=np.int64).T.copy().T,
        tuple(tuple(t) for t in tables), np.array(tables, dtype=object),
        pd.DataFrame(tables, columns=["a", "b", "c", "d"]),
        pd.DataFrame(tables, columns=["a", "b", "c", "d"]).astype("Int64"),
    ]
    for form in forms:
        np.testing.assert_array_equal(kavo.evidence("kavoind", form, **settings).evidence, reference)
    # A frame's columns are taken in their order.
    frame = pd.DataFrame({"d": [9, 6], "a": [12, 3], "b": [5, 4], "c": [7, 5]})
    assert not np.array_equal(kavo.evidence("kavoind", frame, **settings).evidence, reference)
    np.testing.assert_array_equal(
        kavo.evidence("kavoind", frame[["a", "b", "c", "d"]], **settings).evidence, reference)


def test_prior_goes_to_dirichlet_parameters_only():
    settings = dict(method="monte_carlo", max_draws=20000, precision=0.01)
    with_prior = kavo.evidence("kavoprop", [2, 4, 0.4], prior=1, **settings)
    assert with_prior.evidence == kavo.evidence("kavoprop", [3, 5, 0.4], prior=0, **settings).evidence
    counts = np.array([[11, 9, 3], [24, 49, 29]])
    a = kavo.evidence("kavohw", counts, prior=0.5, **settings)
    b = kavo.evidence("kavohw", counts + 0.5, prior=0, **settings)
    np.testing.assert_array_equal(a.evidence, b.evidence)
    np.testing.assert_array_equal(counts, [[11, 9, 3], [24, 49, 29]])  # the input is not changed


def test_settings_change_the_computation():
    mc = dict(method="monte_carlo", precision=0)
    base = kavo.evidence("kavoind", [12, 5, 7, 9], max_draws=20000, **mc)
    assert base.draws == 20000
    assert kavo.evidence("kavoind", [12, 5, 7, 9], method="monte_carlo", max_draws=0,
                         precision=1).draws == 10000
    other_seed = kavo.evidence("kavoind", [12, 5, 7, 9], max_draws=20000, seed=12, **mc)
    assert other_seed.evidence != base.evidence
    assert kavo.evidence("kavoind", [12, 5, 7, 9], max_draws=np.int64(20000),
                         seed=np.int32(11), **mc).evidence == base.evidence


def test_empty_input_gives_empty_arrays():
    r = kavo.evidence("kavohw", np.empty((0, 3)))
    assert len(r) == 0 and r.evidence.shape == (0,) and r.draws.dtype == np.int64
    assert r.to_frame().shape == (0, 9)


def test_module_describes_itself():
    assert kavo.hypotheses() == ["independence", "symmetry", "homogeneity", "hardy_weinberg",
                                 "proportion", "x_linked_hardy_weinberg"]
    assert "monte_carlo" in kavo.methods()
    # The method's own description, by an unambiguous start of its name.
    assert [kavo.describe_method(m)["error_column"] for m in ("monte", "ex")] == \
        ["half_width", "error_bound"]
    assert kavo.value_names("kavoind") == ["A11", "A12", "A21", "A22"]
    assert kavo.value_names("hardy_weinberg") == ["Aaa", "Aab", "Abb"]
    assert kavo.__version__.count(".") == 2
    assert "Examples" in kavo.evidence.__doc__ and "threads" in kavo.evidence.__doc__


def test_the_exact_method_agrees_with_monte_carlo_and_reports_a_bound():
    for program, values, digits in PROGRAM_DIGITS:
        exact = kavo.evidence(program, values, method="exact", prior=0)
        assert exact.status == "ok" and exact.method == "exact"
        assert exact.draws == 0 and 0 <= exact.error <= 1e-10
        # Monte Carlo at the default precision is good to about 1e-3.
        assert abs(exact.evidence - float(digits)) < 3e-3, program
    # Every shape; a parameter above 1e15 is outside the method's domain.
    wide = kavo.evidence("independence", [13, 6, 8, 10, 5, 7], shape=(2, 3), prior=0)
    assert wide.status == "ok" and abs(wide.evidence - 9.999762e-01) < 3e-3  # Monte Carlo's
    refused = kavo.evidence("independence", [13, 6, 8, 2e15], method="exact")
    assert refused.status == "outside_exact_domain" and np.isnan(refused.evidence)
    with pytest.raises(ValueError, match="unknown method"):
        kavo.evidence("independence", [12, 5, 7, 9], method="exakt")


def test_counts_take_the_uniform_prior_and_names_their_unambiguous_start():
    # The default prior is 1, as in R: counts 11 4 6 8 are the parameters 12 5 7 9.
    assert (kavo.evidence("independence", [11, 4, 6, 8]).evidence
            == kavo.evidence("independence", [12, 5, 7, 9], prior=0).evidence)
    settings = dict(method="monte_carlo", max_draws=10000, prior=0)
    assert (kavo.evidence("sym", [12, 5, 7, 9], **settings).evidence
            == kavo.evidence("symmetry", [12, 5, 7, 9], **settings).evidence)
    assert kavo.evidence("independence", [12, 5, 7, 9], method="ex").method == "exact"
    assert kavo.value_names("hardy") == ["Aaa", "Aab", "Abb"]
