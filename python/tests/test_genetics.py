"""Hardy-Weinberg in the genomics argument order, and the panel plots."""
import numpy as np
import pytest

import kavo


def test_hardy_weinberg_frame_is_the_evidence_with_the_markers_figures():
    out = kavo.hardy_weinberg([11, 0, np.nan], [9, 264, 5], 3, index=["rs1", "rs2", "rs3"])
    direct = kavo.evidence("hardy_weinberg", [[11, 9, 3], [0, 264, 3]])
    np.testing.assert_array_equal(out["evidence"][:2], direct.evidence)
    np.testing.assert_array_equal(out["g2"][:2], direct.g2)
    assert out["n_hom_var"].tolist() == [3, 3, 3]                 # as given: no prior added
    assert out.loc["rs1", "alt_freq"] == pytest.approx(15 / 46)
    assert out.loc["rs1", "het_exp"] == pytest.approx(2 * 15 / 46 * 31 / 46)
    assert out.loc["rs2", "het_obs"] == pytest.approx(264 / 267)
    assert out.loc["rs3", "status"] == "missing_value" and np.isnan(out.loc["rs3", "evidence"])
    with pytest.raises(ValueError, match="different lengths"):
        kavo.hardy_weinberg([1, 2], [1, 2, 3], 1)


def test_alleles_orders_genotype_classes_like_the_library():
    # k = 3 in the order 11 12 22 13 23 33: allele 1 is in 11 (twice), 12 and 13.
    genotypes = np.array([[4, 3, 2, 5, 1, 6]])
    np.testing.assert_array_equal(kavo.genetics.allele_counts(genotypes, 3),
                                  [[2 * 4 + 3 + 5, 3 + 2 * 2 + 1, 5 + 1 + 2 * 6]])
    out = kavo.hardy_weinberg_alleles(genotypes)
    assert out["freq_1"][0] + out["freq_2"][0] + out["freq_3"][0] == pytest.approx(1)
    assert out["het_obs"][0] == pytest.approx((3 + 5 + 1) / 21)
    two = kavo.hardy_weinberg_alleles([[11, 9, 3]])
    assert two["evidence"][0] == pytest.approx(kavo.hardy_weinberg(11, 9, 3)["evidence"][0],
                                               abs=1e-12)
    with pytest.raises(ValueError, match="genotype classes"):
        kavo.hardy_weinberg_alleles([[1, 2, 3, 4]])


def test_expected_evidence_of_a_point_hypothesis_is_uniform():
    # With df equal to the dimension the evidence is its own standardized evidence.
    expected = kavo.plots.expected_log10_evidence(4, 2, 2)
    np.testing.assert_allclose(expected, np.log10([0.125, 0.375, 0.625, 0.875]), rtol=1e-12)
    assert np.all(np.diff(kavo.plots.expected_log10_evidence(50, 1, 2)) > 0)


def test_plots_render_to_png(tmp_path):
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    x, y = kavo.plots.ternary_coordinates([10, 0, 0], [0, 10, 0], [0, 0, 10])
    np.testing.assert_allclose(x, [0, 0.5, 1])
    np.testing.assert_allclose(y, [0, np.sqrt(3) / 2, 0])
    panel = kavo.hardy_weinberg([30, 10, 25, 40, 0], [50, 20, 0, 44, 0], [20, 70, 25, 12, 0])
    for draw in (kavo.plots.ternary_plot, kavo.plots.qq_plot):
        ax = draw(panel)
        path = tmp_path / f"{draw.__name__}.png"
        ax.figure.savefig(path)
        plt.close(ax.figure)
        assert path.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    with pytest.raises(ValueError, match="df"):
        kavo.plots.qq_plot(panel.assign(df=[1, 3, 1, 1, 1]))
