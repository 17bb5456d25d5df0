"""kavo.evidence and its result, over the extension's compute_many."""

from __future__ import annotations

import numbers
import operator
from typing import TYPE_CHECKING, Any, Optional, Sequence, Union

import numpy as np

from . import _core

if TYPE_CHECKING:  # pandas is needed only by the frame helpers
    import pandas as pd

ArrayLike = Union[Sequence[float], Sequence[Sequence[float]], np.ndarray, "pd.DataFrame"]
Shape = Union[None, int, "tuple[int, int]"]

#: Result columns added by :func:`evidence_frame` (and the names of :meth:`EvidenceResult.to_frame`).
RESULT_COLUMNS = ("evidence", "error", "draws", "status", "reason")

_INT64_MAX = 2**63 - 1


def hypotheses() -> list[str]:
    """The hypothesis names, in the library's order.

    Examples
    --------
    >>> kavo.hypotheses()
    ['independence', 'symmetry', 'homogeneity', 'hardy_weinberg', 'proportion']
    """
    return list(_core.hypotheses())


def methods() -> list[str]:
    """The method names the library knows, such as ``'monte_carlo'``.

    Examples
    --------
    >>> 'monte_carlo' in kavo.methods()
    True
    """
    return list(_core.methods())


def value_names(hypothesis: str, shape: Shape = None) -> list[str]:
    """The names of a hypothesis's values, in the order ``values`` takes them.

    Examples
    --------
    >>> kavo.value_names("proportion")
    ['A1', 'A2', 'p0']
    >>> kavo.value_names("hardy_weinberg", shape=3)
    ['A11', 'A12', 'A22', 'A13', 'A23', 'A33']
    """
    hypothesis = _name(hypothesis, "hypothesis")
    return list(_core.hypothesis_info(hypothesis, *_shape_args(hypothesis, shape))[4])


def _shape_args(hypothesis: str, shape: Shape) -> tuple[int, int]:
    """(rows, columns) for the library; (0, 0) is the fixed shape."""
    if shape is None:
        return 0, 0
    name = _core.hypothesis_info(hypothesis)[0]
    if isinstance(shape, (tuple, list)):
        if len(shape) != 2:
            raise ValueError(f"shape must be (rows, columns) or a whole number, got {shape!r}")
        return _whole(shape[0], "shape"), _whole(shape[1], "shape")
    k = _whole(shape, "shape")
    if name == "symmetry":
        return k, k
    if name == "hardy_weinberg":
        return k, 1
    if name == "proportion":
        return 1, k
    raise ValueError(f"hypothesis {name} takes a shape (rows, columns), got {shape!r}")


class EvidenceResult:
    """What :func:`evidence` returns.

    For one table every field is a scalar; for many tables every field but
    ``method`` is a numpy array with one entry per table, in input order.

    Attributes
    ----------
    evidence : float or ndarray of float64
        The evidence, in [0, 1]; NaN where the table could not be computed.
    error : float or ndarray of float64
        The method's error figure: for ``monte_carlo`` the half-width of the
        estimate's interval at the final check; for ``exact`` an absolute
        error bound. NaN where the table could not be computed.
    draws : int, None or ndarray of int64
        Monte Carlo draws used (0 for other methods). Where the table could not
        be computed: None for one table, -1 in an array.
    method : str
        The method used.
    status : str or ndarray of str
        ``'ok'``, or why there is no evidence (``'refused_values'``,
        ``'parameters_too_large'``, ...).
    reason : str or ndarray of str
        The library's message for the status; ``''`` where it is ``'ok'``.
    ok : bool or ndarray of bool
        Where the evidence was computed.

    Examples
    --------
    >>> r = kavo.evidence("kavoind", [12, 5, 7, 9])
    >>> r.evidence, r.draws
    (0.37419184193753974, 1569000)
    """

    __slots__ = ("evidence", "error", "draws", "method", "status", "reason", "_many")

    def __init__(self, evidence, error, draws, method, status, reason, many):
        self.evidence = evidence
        self.error = error
        self.draws = draws
        self.method = method
        self.status = status
        self.reason = reason
        self._many = many

    @property
    def ok(self):
        return self.status == "ok"

    def __len__(self) -> int:
        if not self._many:
            raise TypeError("a result for one table has no length")
        return len(self.evidence)

    def to_frame(self, index=None) -> "pd.DataFrame":
        """The results as a pandas DataFrame, one row per table.

        Columns ``evidence``, ``error``, ``draws`` (nullable ``Int64``, missing
        where there is no evidence), ``status``, ``reason``.

        Parameters
        ----------
        index : array-like, optional
            The frame's index (for example the input frame's index).

        Examples
        --------
        >>> kavo.evidence("kavohw", [[12, 10, 4], [6, 1, 0]]).to_frame()[["evidence", "draws", "status"]]
           evidence   draws          status
        0  0.862267  795800              ok
        1       NaN    <NA>  refused_values
        """
        import pandas as pd

        if self._many:
            evidence, error, draws = self.evidence, self.error, self.draws
            status, reason = self.status, self.reason
        else:
            evidence, error = np.array([self.evidence]), np.array([self.error])
            draws = np.array([-1 if self.draws is None else self.draws], dtype=np.int64)
            status, reason = np.array([self.status]), np.array([self.reason])
        counted = pd.array(draws, dtype="Int64")
        counted[status != "ok"] = pd.NA
        return pd.DataFrame(
            {
                "evidence": evidence,
                "error": error,
                "draws": counted,
                "status": status.astype(object),
                "reason": reason.astype(object),
            },
            index=index,
        )

    def __repr__(self) -> str:
        if self._many:
            n = len(self.evidence)
            failed = int(np.count_nonzero(self.status != "ok"))
            return f"EvidenceResult({n} tables, method={self.method!r}, {failed} without evidence)"
        if self.status == "ok":
            return (f"EvidenceResult(evidence={self.evidence:e}, error={self.error:e}, "
                    f"draws={self.draws}, method={self.method!r})")
        return f"EvidenceResult(evidence=nan, status={self.status!r}, reason={self.reason!r})"


def _name(value: Any, what: str) -> str:
    if not isinstance(value, str):
        raise TypeError(f"{what} must be a string, got {type(value).__name__}")
    return value


def _whole(value: Any, what: str) -> int:
    if isinstance(value, bool):
        raise TypeError(f"{what} must be a whole number, got a bool")
    try:
        return operator.index(value)
    except TypeError:
        raise TypeError(f"{what} must be a whole number, got {type(value).__name__}") from None


def _real(value: Any, what: str) -> float:
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{what} must be a real number, got {type(value).__name__}")
    number = float(value)
    if not np.isfinite(number):
        raise ValueError(f"{what} must be a finite number, got {number}")
    return number


def _table_array(values: Any) -> np.ndarray:
    """A fresh float64 array of the values, refusing what is not numeric."""
    if hasattr(values, "dtypes") and hasattr(values, "columns"):  # a pandas DataFrame
        import pandas as pd

        for column, dtype in values.dtypes.items():
            if not pd.api.types.is_numeric_dtype(dtype) or pd.api.types.is_bool_dtype(dtype):
                raise TypeError(f"column {column!r} is not numeric (dtype {dtype})")
        return values.to_numpy(dtype=np.float64, na_value=np.nan, copy=True)
    array = np.asarray(values)
    if array.dtype.kind == "O":
        for item in array.flat:
            if isinstance(item, bool) or not isinstance(item, numbers.Real):
                raise TypeError(f"values must be real numbers, got {type(item).__name__}")
    elif array.dtype.kind not in "iuf":
        raise TypeError(f"values must be real numbers, got an array of dtype {array.dtype}")
    return np.array(array, dtype=np.float64, order="C", copy=True)


def evidence(
    hypothesis: str,
    values: ArrayLike,
    *,
    method: str = "monte_carlo",
    prior: float = 0.0,
    max_draws: int = 2_000_000,
    precision: float = 0.001,
    seed: int = 11,
    threads: Optional[int] = None,
    shape: Shape = None,
) -> EvidenceResult:
    """The Bayesian evidence for a sharp hypothesis, for one table or many.

    Each table holds the parameters of the Dirichlet posterior of the cell
    probabilities (counts plus the prior's parameters, each above 1), in the
    order of the command-line program, and for ``proportion`` then ``p0``.
    Results are digit for digit what the programs print for the same values and
    settings, whatever the number of threads.

    Parameters
    ----------
    hypothesis : str
        ``'independence'`` (A11 A12 A21 A22), ``'symmetry'`` (A11 A12 A21 A22),
        ``'homogeneity'`` (A11 A12 A21 A22, one population per row),
        ``'hardy_weinberg'`` (Aaa Aab Abb) or ``'proportion'`` (A1 A2 p0); the
        program names ``'kavoind'``, ``'kavomcn'``, ``'kavohomo'``, ``'kavohw'``
        and ``'kavoprop'`` are aliases.
    values : array-like
        One table (a sequence of its values) or a 2-D array-like with one table
        per row, of any real dtype; for a pandas DataFrame, its columns in
        order. Missing values (NaN, ``pd.NA``) give a row without evidence.
    method : str, default 'monte_carlo'
        One of :func:`kavo.methods`.
    prior : float, default 0.0
        Added to each Dirichlet parameter of every table (never to ``p0``), so
        raw counts can be given: 1 is the uniform prior, 0.5 Jeffreys'.
    max_draws : int, default 2000000
        Monte Carlo: the most draws. Runs end at a multiple of 100 and never
        before 10000 draws, so any value up to 10000 gives the 10000-draw minimum.
    precision : float, default 0.001
        Monte Carlo: stop once both half-widths are below it (0 or less: never early).
    seed : int, default 11
        The generator's start for every table, 1 to 2147483646.
    threads : int or None, default None
        Tables computed at a time, 1 to 1024; None uses every core.
    shape : (int, int) or int, optional
        For tables larger than the fixed ones: ``(rows, columns)`` for
        independence and homogeneity (one population per row), ``k`` (or
        ``(k, k)``) for a k x k symmetry table, ``k`` alleles for
        hardy_weinberg (genotypes A11 A12 A22 A13 A23 A33 ...), ``c``
        categories for proportion (values A1 .. Ac, then p1 .. pc). Cells are
        row-major; at most 100 cells. See :func:`value_names`.

    Returns
    -------
    EvidenceResult
        Fields ``evidence``, ``error``, ``draws``, ``method``, ``status``,
        ``reason`` (scalars for one table, arrays for many) and ``to_frame()``.
        A table that cannot be computed (a parameter not above 1, ``p0``
        outside (0, 1), NaN, overflowing values) gets NaN and its reason; it
        never raises.

    Raises
    ------
    ValueError
        Unknown hypothesis or method, wrong number of values per table, a
        seed, precision, prior or threads out of range.
    TypeError
        Values that are not real numbers, or settings of the wrong type.
    KeyboardInterrupt
        On Ctrl-C, within about 0.1 s: the computation is cancelled.

    Examples
    --------
    >>> import kavo
    >>> r = kavo.evidence("independence", [12, 5, 7, 9])
    >>> print(f"{r.evidence:e}")
    3.741918e-01
    >>> many = kavo.evidence("kavohw", [[11, 9, 3], [24, 49, 29]], prior=1)
    >>> many.evidence
    array([0.8622669, 0.9315372])
    >>> print(f"{kavo.evidence('independence', [13, 6, 8, 10, 5, 7], shape=(2, 3)).evidence:e}")
    9.999762e-01
    """
    hypothesis = _name(hypothesis, "hypothesis")
    method = _name(method, "method")
    rows, columns = _shape_args(hypothesis, shape)
    name, _program, count, dirichlet, names = _core.hypothesis_info(hypothesis, rows, columns)
    prior = _real(prior, "prior")
    precision = _real(precision, "precision")
    max_draws = _whole(max_draws, "max_draws")
    if not -_INT64_MAX <= max_draws <= _INT64_MAX:
        raise ValueError(f"max_draws must fit in 64 bits, got {max_draws}")
    seed = _whole(seed, "seed")
    if not 1 <= seed <= 2147483646:
        raise ValueError(f"seed must be a whole number from 1 to 2147483646, got {seed}")
    if threads is None:
        threads = 0
    else:
        threads = _whole(threads, "threads")
        if not 1 <= threads <= 1024:
            raise ValueError(f"threads must be from 1 to 1024 (or None for every core), got {threads}")

    array = _table_array(values)
    many = array.ndim == 2
    if array.ndim == 1:
        array = array.reshape(1, -1)
    elif array.ndim != 2:
        raise ValueError(f"values must be one table or a 2-D array of tables, got {array.ndim} dimensions")
    if array.shape[1] != count:
        got = array.shape[1] if many else array.size
        raise ValueError(f"hypothesis {name} takes {count} values per table "
                         f"({' '.join(names)}), got {got}")
    if prior != 0.0:
        array[:, :dirichlet] += prior

    codes, evid, err, draws = _core.compute_many(name, array, method, max_draws, precision,
                                                 seed, threads, rows, columns)
    ok = codes == 0
    if many:
        status, reason = _status_text(codes)
        draws[~ok] = -1
        return EvidenceResult(evid, err, draws, method, status, reason, True)
    code = int(codes[0])
    return EvidenceResult(float(evid[0]), float(err[0]), int(draws[0]) if ok[0] else None, method,
                          _core.status_name(code), "" if code == 0 else _core.describe(code), False)


def _status_text(codes: np.ndarray) -> tuple[np.ndarray, np.ndarray]:
    """Status names and reasons for an array of status codes."""
    if codes.size == 0 or not codes.any():
        return np.full(codes.shape, "ok", dtype=object), np.full(codes.shape, "", dtype=object)
    unique, inverse = np.unique(codes, return_inverse=True)
    names = np.array([_core.status_name(int(c)) for c in unique], dtype=object)
    reasons = np.array(["" if c == 0 else _core.describe(int(c)) for c in unique], dtype=object)
    return names[inverse], reasons[inverse]


def evidence_frame(
    frame: "pd.DataFrame",
    hypothesis: str,
    columns: Optional[Sequence[Any]] = None,
    *,
    label: Optional[Any] = None,
    prefix: str = "",
    **settings: Any,
) -> "pd.DataFrame":
    """A copy of a DataFrame with the evidence of each row's table added.

    Parameters
    ----------
    frame : pandas.DataFrame
        One table per row.
    hypothesis : str
        As for :func:`evidence`.
    columns : sequence of column labels, optional
        The columns holding the table's values, in the hypothesis's order
        (see :func:`value_names`). Default: the columns named as the values
        (``A11 A12 A21 A22``, ``Aaa Aab Abb`` or ``A1 A2 p0``).
    label : column label, optional
        A column to become the returned frame's index (a marker id, say).
    prefix : str, default ''
        Put before the names of the added columns ``evidence``, ``error``,
        ``draws``, ``status`` and ``reason``; a name already in the frame is
        an error rather than overwritten.
    **settings
        ``method``, ``prior``, ``max_draws``, ``precision``, ``seed``,
        ``threads``, ``shape``, as for :func:`evidence`.

    Returns
    -------
    pandas.DataFrame
        The frame's columns, then the result columns (``draws`` as nullable
        ``Int64``; failed rows have NaN, ``<NA>`` and their reason).

    Examples
    --------
    >>> panel = pd.DataFrame({"marker": ["rs1", "rs2"], "aa": [11, 24], "ab": [9, 49],
    ...                       "bb": [3, 29]})
    >>> kavo.evidence_frame(panel, "hardy_weinberg", ["aa", "ab", "bb"], label="marker", prior=1)
            aa  ab  bb  evidence  error   draws status reason
    marker
    rs1     11   9   3  0.862267  0.001  795800     ok
    rs2     24  49  29  0.931537  0.001  427400     ok
    """
    hypothesis = _name(hypothesis, "hypothesis")
    shape = settings.get("shape")
    name, _program, count, _dirichlet, names = _core.hypothesis_info(
        hypothesis, *_shape_args(hypothesis, shape))
    if columns is None:
        missing = [n for n in names if n not in frame.columns]
        if missing:
            raise ValueError(f"no columns given and the frame lacks {', '.join(missing)}; "
                             f"pass columns= in the order {' '.join(names)}")
        columns = names
    columns = list(columns)
    if len(columns) != count:
        raise ValueError(f"hypothesis {name} takes {count} columns ({' '.join(names)}), "
                         f"got {len(columns)}")
    absent = [c for c in columns if c not in frame.columns]
    if absent:
        raise ValueError(f"columns not in the frame: {absent}")
    added = [prefix + c for c in RESULT_COLUMNS]
    clash = [c for c in added if c in frame.columns]
    if clash:
        raise ValueError(f"the frame already has columns {clash}; choose a prefix")
    result = evidence(name, frame[columns], **settings)
    out = frame.copy()
    results = result.to_frame(index=frame.index)
    for column, new in zip(RESULT_COLUMNS, added):
        out[new] = results[column]
    if label is not None:
        out = out.set_index(label)
    return out
