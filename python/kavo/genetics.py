"""Hardy-Weinberg equilibrium in the argument order of genomics tools.

Each function takes genotype counts (scalars or arrays, broadcast against
each other; one marker per element) and returns a pandas DataFrame with one
row per marker: the counts as given, the number of called samples, allele
frequencies, observed and expected heterozygosity, then the result columns of
:func:`kavo.evidence` (:data:`kavo.RESULT_COLUMNS`). The prior is added to the
counts only to make the Dirichlet parameters; the frame shows the counts.
"""

from __future__ import annotations

from typing import Any, Sequence

import numpy as np

from ._evidence import evidence, value_names

_TWO_ALLELES = ("n_hom_ref", "n_het", "n_hom_var")
_X_LINKED = ("n_hom_ref", "n_het", "n_hom_var", "n_male_ref", "n_male_var")


def _count_columns(columns: Sequence[Any], names: Sequence[str]) -> np.ndarray:
    """The counts as an (n, len(names)) float array, one marker per row."""
    arrays = []
    for name, column in zip(names, columns):
        array = np.asarray(column, dtype=np.float64)
        if array.ndim > 1:
            raise ValueError(f"{name} must be a number or a 1-D array, got {array.ndim} dimensions")
        arrays.append(array)
    try:
        arrays = np.broadcast_arrays(*arrays)
    except ValueError:
        lengths = ", ".join(f"{n}: {a.size}" for n, a in zip(names, arrays))
        raise ValueError(f"the counts have different lengths ({lengths})") from None
    return np.column_stack([np.atleast_1d(a) for a in arrays])


def _frame(hypothesis: str, counts: np.ndarray, names: Sequence[str], extra: dict,
           settings: dict, index):
    """The counts as given, the extra columns, then the results."""
    import pandas as pd

    result = evidence(hypothesis, counts, **settings)
    frame = pd.DataFrame(dict(zip(names, counts.T)), index=index)
    for name, column in extra.items():
        frame[name] = column
    results = result.to_frame(index=frame.index)
    for name in results.columns:
        frame[name] = results[name]
    return frame


def _ratio(numerator: np.ndarray, denominator: np.ndarray) -> np.ndarray:
    """numerator / denominator, NaN where the denominator is 0."""
    with np.errstate(invalid="ignore", divide="ignore"):
        return np.where(denominator > 0, numerator / np.where(denominator > 0, denominator, 1),
                        np.nan)


def hardy_weinberg(n_hom_ref: Any, n_het: Any, n_hom_var: Any, *, index: Any = None,
                   **settings: Any) -> "pd.DataFrame":
    """The evidence for Hardy-Weinberg equilibrium at two-allele markers.

    Parameters
    ----------
    n_hom_ref, n_het, n_hom_var : number or array-like
        Genotype counts (REF/REF, REF/ALT, ALT/ALT), one marker per element;
        scalars broadcast. Missing counts (NaN) give a row without evidence.
    index : array-like, optional
        The frame's index (marker ids, say).
    **settings
        ``method``, ``prior``, ``max_draws``, ``precision``, ``seed``,
        ``threads``, as for :func:`kavo.evidence` (default: exact, prior 1).

    Returns
    -------
    pandas.DataFrame
        ``n_hom_ref n_het n_hom_var`` as given, ``n_called`` (their sum),
        ``alt_freq`` (the ALT allele's frequency), ``het_obs`` (the
        heterozygotes' share), ``het_exp`` (2 p (1 - p) at p = alt_freq;
        het_obs above it points to a genotyping artefact, below it to
        inbreeding or mixed ancestry), then :data:`kavo.RESULT_COLUMNS`.

    Examples
    --------
    >>> out = kavo.hardy_weinberg([11, 24], [9, 49], [3, 29], index=["rs1", "rs2"])
    >>> out[["n_called", "alt_freq", "het_obs", "het_exp", "evidence", "df"]]
         n_called  alt_freq   het_obs   het_exp  evidence  df
    rs1      23.0  0.326087  0.391304  0.439509  0.862221   1
    rs2     102.0  0.524510  0.480392  0.498799  0.931465   1
    """
    counts = _count_columns((n_hom_ref, n_het, n_hom_var), _TWO_ALLELES)
    hom_ref, het, hom_var = counts.T
    called = counts.sum(axis=1)
    alt = _ratio(het + 2 * hom_var, 2 * called)
    extra = {"n_called": called, "alt_freq": alt, "het_obs": _ratio(het, called),
             "het_exp": 2 * alt * (1 - alt)}
    return _frame("hardy_weinberg", counts, _TWO_ALLELES, extra, settings, index)


def hardy_weinberg_x(n_hom_ref: Any, n_het: Any, n_hom_var: Any, n_male_ref: Any,
                     n_male_var: Any, *, index: Any = None, **settings: Any) -> "pd.DataFrame":
    """The evidence for Hardy-Weinberg equilibrium at X-linked two-allele markers.

    Females' genotypes and males' alleles share one allele frequency theta:
    females are REF/REF, REF/ALT, ALT/ALT with frequencies theta^2,
    2 theta (1 - theta), (1 - theta)^2, males REF or ALT with theta, 1 - theta.

    Parameters
    ----------
    n_hom_ref, n_het, n_hom_var : number or array-like
        Females' genotype counts.
    n_male_ref, n_male_var : number or array-like
        Males' allele counts (hemizygous calls).
    index, **settings
        As for :func:`hardy_weinberg`.

    Returns
    -------
    pandas.DataFrame
        The five counts as given, ``n_female``, ``n_male``, ``alt_freq`` (over
        all ``2 n_female + n_male`` X chromosomes), ``het_obs`` and
        ``het_exp`` among females, then :data:`kavo.RESULT_COLUMNS`.
    """
    counts = _count_columns((n_hom_ref, n_het, n_hom_var, n_male_ref, n_male_var), _X_LINKED)
    hom_ref, het, hom_var, male_ref, male_var = counts.T
    females = hom_ref + het + hom_var
    males = male_ref + male_var
    alt = _ratio(het + 2 * hom_var + male_var, 2 * females + males)
    extra = {"n_female": females, "n_male": males, "alt_freq": alt,
             "het_obs": _ratio(het, females), "het_exp": 2 * alt * (1 - alt)}
    return _frame("x_linked_hardy_weinberg", counts, _X_LINKED, extra, settings, index)


def allele_counts(genotypes: np.ndarray, alleles: int) -> np.ndarray:
    """Allele counts (n, k) of genotype counts (n, k (k + 1) / 2) in the
    library's order 11, 12, 22, 13, 23, 33, ...: class (i, j), i <= j, at
    index j (j - 1) / 2 + i - 1."""
    counts = np.zeros((genotypes.shape[0], alleles))
    for j in range(1, alleles + 1):
        for i in range(1, j + 1):
            g = genotypes[:, j * (j - 1) // 2 + i - 1]
            counts[:, i - 1] += g
            counts[:, j - 1] += g
    return counts


def hardy_weinberg_alleles(genotypes: Any, *, index: Any = None,
                           **settings: Any) -> "pd.DataFrame":
    """The evidence for Hardy-Weinberg equilibrium at markers with k alleles.

    Parameters
    ----------
    genotypes : array-like or DataFrame, shape (n, k (k + 1) / 2)
        One marker per row, genotype counts in the library's order
        ``A11 A12 A22 A13 A23 A33 ...`` (see :func:`kavo.value_names` with
        ``shape=k``); k is read from the number of columns.
    index, **settings
        As for :func:`hardy_weinberg`.

    Returns
    -------
    pandas.DataFrame
        The genotype counts as given (columns ``A11 A12 ...``), ``n_called``,
        ``freq_1`` .. ``freq_k`` (allele frequencies), ``het_obs`` and
        ``het_exp`` (1 - sum of squared frequencies), then
        :data:`kavo.RESULT_COLUMNS`.
    """
    array = np.asarray(genotypes, dtype=np.float64)
    if array.ndim == 1:
        array = array.reshape(1, -1)
    if array.ndim != 2:
        raise ValueError(f"genotypes must be a 2-D array, one marker per row, got {array.ndim} dimensions")
    classes = array.shape[1]
    k = int(round((np.sqrt(8 * classes + 1) - 1) / 2))
    if k < 2 or k * (k + 1) // 2 != classes:
        raise ValueError(f"{classes} genotype classes are not k (k + 1) / 2 for k >= 2 alleles")
    if index is None and hasattr(genotypes, "columns"):  # a DataFrame keeps its index
        index = genotypes.index
    names = value_names("hardy_weinberg", shape=k)
    called = array.sum(axis=1)
    freqs = _ratio(allele_counts(array, k), 2 * called[:, None])
    homozygous = array[:, [j * (j + 1) // 2 - 1 for j in range(1, k + 1)]].sum(axis=1)
    extra = {"n_called": called}
    extra.update({f"freq_{i + 1}": freqs[:, i] for i in range(k)})
    extra["het_obs"] = _ratio(called - homozygous, called)
    extra["het_exp"] = 1 - (freqs ** 2).sum(axis=1)
    return _frame("hardy_weinberg", array, names, extra, dict(settings, shape=k), index)
