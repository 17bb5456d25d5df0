"""The pandas helpers: EvidenceResult.to_frame and evidence_frame."""
import numpy as np
import pandas as pd
import pytest

import kavo

PANEL = pd.DataFrame({
    "marker": ["rs1", "rs2", "rs3", "rs4"],
    "aa": [11, 24, 40, 5], "ab": [9, 49, 20, 0], "bb": [3, 29, 40, 12],
})


def test_evidence_frame_matches_the_batch_mode_example():
    # The panel through kavohw --batch panel.tsv --method monte_carlo --prior 1.
    out = kavo.evidence_frame(PANEL, "hardy_weinberg", ["aa", "ab", "bb"], label="marker", prior=1,
                              method="monte_carlo")
    assert list(out.index) == ["rs1", "rs2", "rs3", "rs4"]
    assert list(out.columns) == ["aa", "ab", "bb", "evidence", "error", "draws", "log10_evidence",
                                 "sev", "g2", "df", "status", "reason"]
    assert [f"{v:e}" for v in out["evidence"][:3]] == ["8.622669e-01", "9.315372e-01", "0.000000e+00"]
    assert [f"{v:e}" for v in out["error"][:3]] == ["9.999463e-04", "9.998845e-04", "3.349989e-06"]
    assert str(out["draws"].dtype) == "Int64"
    assert out["draws"][:3].tolist() == [795800, 427400, 2000000]
    assert out["draws"].isna().tolist() == [False, False, False, True]
    # rs4's zero count is a parameter of exactly 1, which Monte Carlo leaves to the exact method.
    assert np.isnan(out.loc["rs4", "evidence"]) and out.loc["rs4", "status"] == "needs_exact_method"
    assert out.loc["rs4", "reason"].startswith("a Dirichlet parameter of exactly 1")
    assert list(PANEL.columns) == ["marker", "aa", "ab", "bb"]  # the input is left alone


def test_evidence_frame_default_columns_prefix_and_index():
    frame = pd.DataFrame({"A1": [3, 30], "A2": [5, 70], "p0": [0.4, 0.25]}, index=[10, 20])
    mc = dict(method="monte_carlo", max_draws=20000, precision=0.01)
    out = kavo.evidence_frame(frame, "kavoprop", prefix="kavo_", **mc)
    assert list(out.index) == [10, 20]
    assert list(out.columns)[3:] == ["kavo_" + c for c in kavo.RESULT_COLUMNS]
    assert kavo.RESULT_COLUMNS == ("evidence", "error", "draws", "log10_evidence", "sev", "g2",
                                   "df", "status", "reason")
    direct = kavo.evidence("kavoprop", frame, **mc)
    np.testing.assert_array_equal(out["kavo_evidence"].to_numpy(), direct.evidence)


def test_evidence_frame_refuses_what_would_lose_or_guess_data():
    with pytest.raises(ValueError, match="lacks A11"):
        kavo.evidence_frame(PANEL, "kavoind")
    with pytest.raises(ValueError, match="takes 3 columns"):
        kavo.evidence_frame(PANEL, "kavohw", ["aa", "ab"])
    with pytest.raises(ValueError, match="not in the frame"):
        kavo.evidence_frame(PANEL, "kavohw", ["aa", "ab", "cc"])
    done = kavo.evidence_frame(PANEL, "kavohw", ["aa", "ab", "bb"], prior=1)
    with pytest.raises(ValueError, match="already has columns"):
        kavo.evidence_frame(done, "kavohw", ["aa", "ab", "bb"], prior=1)
    with pytest.raises(TypeError, match="column 'marker' is not numeric"):
        kavo.evidence_frame(PANEL, "kavohw", ["marker", "ab", "bb"])


def test_to_frame_for_one_and_many_tables():
    one = kavo.evidence("kavoind", [12, 5, 7, 9], prior=0, method="monte_carlo").to_frame()
    assert one.shape == (1, 9) and one["draws"].tolist() == [1569000]
    many = kavo.evidence("kavoind", [[12, 5, 7, 9], [0, 5, 7, 9]], prior=0.5,
                         method="monte_carlo", max_draws=10000).to_frame()
    assert many["status"].tolist() == ["ok", "refused_values"]
    assert many["draws"].isna().tolist() == [False, True]
    failed = kavo.evidence("kavoind", [0, 5, 7, 9], prior=0).to_frame()
    assert failed["draws"].isna().tolist() == [True] and np.isnan(failed["evidence"][0])
