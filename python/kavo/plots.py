"""Pictures of a panel's Hardy-Weinberg results (matplotlib).

ternary_plot   A de Finetti diagram: each marker's genotype frequencies as a
               point of a triangle, coloured by its log10 evidence, with the
               Hardy-Weinberg parabola.
qq_plot        Observed log10 evidences against those expected when every
               marker is in equilibrium.
"""

from __future__ import annotations

from typing import Any, Optional

import numpy as np

_SQRT3_2 = np.sqrt(3.0) / 2.0


def _axes(ax):
    if ax is None:
        import matplotlib.pyplot as plt

        _, ax = plt.subplots()
    return ax


def ternary_coordinates(n_hom_ref: Any, n_het: Any, n_hom_var: Any) -> tuple[np.ndarray, np.ndarray]:
    """The de Finetti diagram's (x, y) of genotype counts: x is the ALT
    allele's frequency, y the heterozygotes' share times sqrt(3)/2; the
    corners are REF/REF (0, 0), ALT/ALT (1, 0) and REF/ALT (1/2, sqrt(3)/2).
    Markers without a call give NaN."""
    hom_ref, het, hom_var = (np.asarray(v, dtype=np.float64) for v in (n_hom_ref, n_het, n_hom_var))
    n = hom_ref + het + hom_var
    with np.errstate(invalid="ignore", divide="ignore"):
        x = np.where(n > 0, (hom_var + het / 2) / n, np.nan)
        y = np.where(n > 0, het / n * _SQRT3_2, np.nan)
    return x, y


def ternary_plot(frame: "pd.DataFrame", *, ax: Optional[Any] = None, cmap: str = "viridis",
                 floor: float = -10.0, s: float = 12.0) -> Any:
    """A de Finetti diagram of a panel, coloured by log10 evidence.

    Parameters
    ----------
    frame : pandas.DataFrame
        A frame of :func:`kavo.hardy_weinberg` (columns ``n_hom_ref``,
        ``n_het``, ``n_hom_var`` and ``log10_evidence``).
    ax : matplotlib Axes, optional
        Where to draw; a new figure's axes by default.
    cmap : str
        The colour map of log10 evidence.
    floor : float, default -10
        log10 evidences below it take the colour of the floor (and rows without
        evidence are drawn grey), so a few extreme markers do not wash out the
        rest.
    s : float
        The points' size.

    Returns
    -------
    matplotlib Axes

    Examples
    --------
    >>> panel = kavo.hardy_weinberg([30, 10, 25], [50, 20, 0], [20, 70, 25])
    >>> ax = kavo.plots.ternary_plot(panel)
    >>> ax.figure.savefig("panel.png")  # doctest: +SKIP
    """
    ax = _axes(ax)
    x, y = ternary_coordinates(frame["n_hom_ref"], frame["n_het"], frame["n_hom_var"])
    level = np.asarray(frame["log10_evidence"], dtype=np.float64)
    known = np.isfinite(x) & ~np.isnan(level)
    ax.plot([0, 1, 0.5, 0], [0, 0, _SQRT3_2, 0], color="black", linewidth=0.8)
    p = np.linspace(0.0, 1.0, 201)
    ax.plot(p, 2 * p * (1 - p) * _SQRT3_2, color="black", linestyle="--", linewidth=0.8,
            label="Hardy-Weinberg")
    grey = np.isfinite(x) & np.isnan(level)
    if grey.any():
        ax.scatter(x[grey], y[grey], s=s, color="lightgrey", label="no evidence")
    points = ax.scatter(x[known], y[known], c=np.maximum(level[known], floor), cmap=cmap,
                        vmin=floor, vmax=0.0, s=s)
    ax.figure.colorbar(points, ax=ax, label="log10 evidence")
    for text, (tx, ty), align in (("REF/REF", (0, 0), "right"), ("ALT/ALT", (1, 0), "left"),
                                  ("REF/ALT", (0.5, _SQRT3_2), "center")):
        ax.annotate(text, (tx, ty), xytext=(0, 6 if ty else -12), textcoords="offset points",
                    ha=align)
    ax.set_aspect("equal")
    ax.set_xlim(-0.15, 1.15)
    ax.set_ylim(-0.08, _SQRT3_2 + 0.08)
    ax.set_axis_off()
    ax.legend(loc="upper right", fontsize="small", frameon=False)
    return ax


def expected_log10_evidence(n: int, df: int, dimension: int) -> np.ndarray:
    """The log10 evidences of n markers expected in equilibrium, smallest
    first: at the uniform quantiles (i - 1/2) / n of the standardized
    evidence, carried back through sev = 1 - F_chi2(df)(Q_chi2(t)(1 - ev))
    with t the posterior's dimension (large-sample chi-squared limits)."""
    from scipy.stats import chi2

    u = (np.arange(1, n + 1) - 0.5) / n
    return chi2.logsf(chi2.isf(u, df), dimension) / np.log(10.0)


def qq_plot(frame: "pd.DataFrame", *, df: Optional[int] = None, dimension: Optional[int] = None,
            ax: Optional[Any] = None, s: float = 8.0) -> Any:
    """Observed against expected -log10 evidence (a quantile-quantile plot).

    Parameters
    ----------
    frame : pandas.DataFrame
        Results with ``log10_evidence`` and ``df`` columns (a frame of
        :func:`kavo.hardy_weinberg` or :func:`kavo.evidence_frame`).
    df : int, optional
        The degrees of freedom; by default the frame's ``df``, which must then
        be one value.
    dimension : int, optional
        The posterior's dimension t; by default df + 1 (a hypothesis of one
        free parameter: Hardy-Weinberg with two alleles, t = 2, and X-linked,
        t = 3). For k alleles pass k (k + 1) / 2 - 1.
    ax : matplotlib Axes, optional
    s : float
        The points' size.

    Returns
    -------
    matplotlib Axes

    Examples
    --------
    >>> panel = kavo.hardy_weinberg([30, 10, 25, 40], [50, 20, 0, 44], [20, 70, 25, 12])
    >>> ax = kavo.plots.qq_plot(panel)
    """
    level = np.asarray(frame["log10_evidence"], dtype=np.float64)
    level = level[~np.isnan(level)]
    if df is None:
        known = np.unique(np.asarray(frame["df"].dropna(), dtype=np.int64))
        if len(known) != 1:
            raise ValueError(f"the frame's df takes {len(known)} values; pass df= and dimension=")
        df = int(known[0])
    if dimension is None:
        dimension = df + 1
    if not 1 <= df <= dimension:
        raise ValueError(f"need 1 <= df <= dimension, got df={df}, dimension={dimension}")
    ax = _axes(ax)
    observed = -np.sort(level)[::-1]
    expected = -expected_log10_evidence(len(level), df, dimension)[::-1]
    # Evidences of exactly 0 (Monte Carlo) sit on the top edge.
    top = np.nanmax(np.where(np.isfinite(observed), observed, np.nan), initial=1.0)
    observed = np.where(np.isfinite(observed), observed, top)
    ax.scatter(expected, observed, s=s)
    edge = max(float(np.max(expected, initial=1.0)), float(top))
    ax.plot([0, edge], [0, edge], color="grey", linewidth=0.8)
    ax.set_xlabel("expected -log10 evidence")
    ax.set_ylabel("observed -log10 evidence")
    return ax
