"""kavo.evidence and its result, over the extension's compute_many."""

from __future__ import annotations

import numbers
import operator
import sys
from typing import TYPE_CHECKING, Any, Optional, Sequence, Union

import numpy as np

from . import _core

if TYPE_CHECKING:  # pandas is needed only by the frame helpers
    import pandas as pd

ArrayLike = Union[Sequence[float], Sequence[Sequence[float]], np.ndarray, "pd.DataFrame"]
Shape = Union[None, int, "tuple[int, int]"]

#: Result columns added by :func:`evidence_frame` (and the names of :meth:`EvidenceResult.to_frame`).
RESULT_COLUMNS = ("evidence", "error", "draws", "log10_evidence", "sev", "g2", "df", "status",
                  "reason")

_INT64_MAX = 2**63 - 1
# Monte Carlo's settings when not given (the programs' defaults).
_DEFAULT_MAX_DRAWS = 2_000_000
_DEFAULT_PRECISION = 0.001
_DEFAULT_SEED = 11


def hypotheses() -> list[str]:
    """The hypothesis names, in the library's order.

    Examples
    --------
    >>> kavo.hypotheses()
    ['independence', 'symmetry', 'homogeneity', 'hardy_weinberg', 'proportion', 'x_linked_hardy_weinberg']
    """
    return list(_core.hypotheses())


def describe_hypothesis(hypothesis: str) -> dict[str, Any]:
    """What the library says of a hypothesis: its ``name``, the ``program``
    that tests it (with ``program_option``, and the whole ``command``), a
    ``title`` and a ``description``, the ``shape_kind`` of its larger tables
    (``'fixed'``, ``'table'``, ``'square'``, ``'alleles'``, ``'categories'``),
    its fixed shape's ``value_count``, ``dirichlet_count`` and Dirichlet
    ``blocks``, and Monte Carlo's largest parameter (``monte_carlo_limit``).

    Examples
    --------
    >>> d = kavo.describe_hypothesis("x_linked_hardy_weinberg")
    >>> d["command"], d["blocks"], d["shape_kind"]
    ('kavohw --x-linked', [3, 2], 'fixed')
    """
    return dict(_core.describe_hypothesis(_hypothesis(hypothesis)))


def methods() -> list[str]:
    """The method names the library knows, such as ``'monte_carlo'``.

    Examples
    --------
    >>> 'monte_carlo' in kavo.methods()
    True
    """
    return list(_core.methods())


def describe_method(method: str) -> dict[str, Any]:
    """What the library says of a method: its ``name``, a ``title``, a
    ``description`` (how it computes), the name of its error as an output
    column (``error_column``) with its ``error_meaning``, and whether its
    figures carry every digit (``full_digits``).

    Examples
    --------
    >>> d = kavo.describe_method("exact")
    >>> d["error_column"], d["full_digits"]
    ('error_bound', True)
    """
    return dict(_core.describe_method(_method(method)))


def value_names(hypothesis: str, shape: Shape = None) -> list[str]:
    """The names of a hypothesis's values, in the order ``values`` takes them.

    Examples
    --------
    >>> kavo.value_names("proportion")
    ['A1', 'A2', 'p0']
    >>> kavo.value_names("hardy_weinberg", shape=3)
    ['A11', 'A12', 'A22', 'A13', 'A23', 'A33']
    """
    hypothesis = _hypothesis(hypothesis)
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
    kind = _core.describe_hypothesis(name)["shape_kind"]
    if kind == "square":
        return k, k
    if kind == "alleles":
        return k, 1
    if kind == "categories":
        return 1, k
    if kind == "fixed":
        raise ValueError(f"hypothesis {name} takes its fixed shape only, got shape={shape!r}")
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
    log10_evidence : float or ndarray of float64
        log10 of the evidence. The exact method keeps it where the evidence is
        below the double range (and reads 0); -inf for an evidence of exactly 0.
    sev : float or ndarray of float64
        The standardized evidence: the evidence carried over to a hypothesis
        of the same codimension in a space of ``df`` dimensions (equal to the
        evidence for a point hypothesis such as ``proportion``).
    g2 : float or ndarray of float64
        Twice the gap between the largest log kernel and its largest value on
        the hypothesis: the table's log-likelihood-ratio statistic.
    df : int, None or ndarray of int32
        The degrees of freedom of ``g2``: the posterior's dimension less the
        hypothesis's. None or -1 where the table could not be computed, as
        for ``draws``.
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
    >>> r = kavo.evidence("kavoind", [12, 5, 7, 9], prior=0)
    >>> r.evidence, r.draws, r.g2, r.df
    (0.37469934893814266, 0, 2.8172627722359076, 1)
    """

    __slots__ = ("evidence", "error", "draws", "log10_evidence", "sev", "g2", "df", "method",
                 "status", "reason", "_many")

    def __init__(self, figures, method, status, reason, many):
        (self.evidence, self.error, self.draws, self.log10_evidence, self.sev, self.g2,
         self.df) = figures
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

        Columns ``evidence``, ``error``, ``draws``, ``log10_evidence``, ``sev``,
        ``g2``, ``df``, ``status``, ``reason`` (:data:`RESULT_COLUMNS`); ``draws``
        and ``df`` are nullable ``Int64``, missing where there is no evidence.

        Parameters
        ----------
        index : array-like, optional
            The frame's index (for example the input frame's index).

        Examples
        --------
        >>> kavo.evidence("kavohw", [[12, 10, 4], [6, 0.5, 1]], prior=0).to_frame()[["evidence", "df", "status"]]
           evidence    df               status
        0  0.862221     1                   ok
        1       NaN  <NA>  parameter_below_one
        """
        import pandas as pd

        columns = {}
        for name in RESULT_COLUMNS:
            value = getattr(self, name)
            if not self._many:
                value = np.array([-1 if value is None else value])
            if name in ("draws", "df"):
                value = pd.array(value.astype(np.int64), dtype="Int64")
                value[~np.atleast_1d(self.ok)] = pd.NA
            elif name in ("status", "reason"):
                value = value.astype(object)
            columns[name] = value
        return pd.DataFrame(columns, index=index)

    def __repr__(self) -> str:
        if self._many:
            n = len(self.evidence)
            failed = int(np.count_nonzero(self.status != "ok"))
            return f"EvidenceResult({n} tables, method={self.method!r}, {failed} without evidence)"
        if self.status == "ok":
            return (f"EvidenceResult(evidence={self.evidence:e}, error={self.error:e}, "
                    f"draws={self.draws}, log10_evidence={self.log10_evidence:.6g}, "
                    f"sev={self.sev:e}, g2={self.g2:.6g}, df={self.df}, method={self.method!r})")
        return f"EvidenceResult(evidence=nan, status={self.status!r}, reason={self.reason!r})"


def _name(value: Any, what: str) -> str:
    if not isinstance(value, str):
        raise TypeError(f"{what} must be a string, got {type(value).__name__}")
    return value


def _choose(value: Any, what: str, names: Sequence[str], aliases: dict, shown: str) -> str:
    """A name among names: itself, an alias, or an unambiguous start of one."""
    value = _name(value, what)
    if value in names:
        return value
    if value in aliases:
        return aliases[value]
    starting = [n for n in names if value and n.startswith(value)]
    if len(starting) == 1:
        return starting[0]
    if starting:
        raise ValueError(f"ambiguous {what} '{value}' (the start of {' and '.join(starting)}); "
                         f"known: {shown}")
    raise ValueError(f"unknown {what} '{value}'; known: {shown}")


def _hypothesis(value: Any) -> str:
    """The hypothesis of a name, a program name or an unambiguous start of a name."""
    names = _core.hypotheses()
    programs = {_core.hypothesis_info(n)[1]: n for n in names}
    shown = ", ".join(f"{n} ({p})" for p, n in programs.items())
    return _choose(value, "hypothesis", names, programs, shown)


def _method(value: Any) -> str:
    """The method of a name or an unambiguous start of one."""
    names = _core.methods()
    return _choose(value, "method", names, {}, ", ".join(names))


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


def _table_array(values: Any) -> tuple[np.ndarray, bool]:
    """A fresh float64 array of the values, refusing what is not numeric, and
    whether they came as a DataFrame (whose rows are always tables).

    Missing values (NaN, ``pd.NA``) become NaN: the library gives them their
    own status."""
    if hasattr(values, "dtypes") and hasattr(values, "columns"):  # a pandas DataFrame
        import pandas as pd

        for column, dtype in values.dtypes.items():
            if not pd.api.types.is_numeric_dtype(dtype) or pd.api.types.is_bool_dtype(dtype):
                raise TypeError(f"column {column!r} is not numeric (dtype {dtype})")
        return values.to_numpy(dtype=np.float64, na_value=np.nan, copy=True), True
    array = np.asarray(values)
    if array.dtype.kind == "O":
        pandas = sys.modules.get("pandas")  # pd.NA exists only once pandas is loaded
        missing = pandas.NA if pandas is not None else None
        items = []
        for item in array.flat:
            if missing is not None and item is missing:
                items.append(np.nan)
            elif isinstance(item, bool) or not isinstance(item, numbers.Real):
                raise TypeError(f"values must be real numbers, got {type(item).__name__}")
            else:
                items.append(float(item))
        return np.array(items, dtype=np.float64).reshape(array.shape), False
    if array.dtype.kind not in "iuf":
        raise TypeError(f"values must be real numbers, got an array of dtype {array.dtype}")
    return np.array(array, dtype=np.float64, order="C", copy=True), False


# The hypotheses whose table is a matrix, cells read row by row.
_MATRIX_HYPOTHESES = tuple(n for n in _core.hypotheses()
                           if _core.describe_hypothesis(n)["shape_kind"] in ("table", "square"))


def _read_tables(array: np.ndarray, frame: bool, name: str, shape: Shape,
                 rows: int, columns: int) -> tuple[np.ndarray, bool, int, int]:
    """The tables of the values as an (n, value_count) array, whether there
    are many (else one), and the shape (rows, columns) they have.

    One rule, which never reads an array two ways: a 1-D array is one table; a
    3-D array is a stack of matrix tables; a 2-D array is one table when its
    shape is the table's (the given ``shape``, the fixed 2x2, or for symmetry
    any square), else one table per row, and an error when it could be both.
    A DataFrame's rows are always tables."""
    if array.ndim == 1:
        return array.reshape(1, -1), False, rows, columns
    if array.ndim == 3:
        n, a, b = array.shape
        if name not in _MATRIX_HYPOTHESES:
            raise ValueError(f"values must be one table or a 2-D array of tables for {name}, "
                             f"got 3 dimensions")
        if shape is None:
            rows, columns = a, b
            try:
                _core.hypothesis_info(name, rows, columns)
            except ValueError as e:
                raise ValueError(f"a stack of {a}x{b} tables (got 3 dimensions): {e}") from None
        elif (a, b) != _matrix_of(name, rows, columns):
            raise ValueError(f"a stack of {a}x{b} tables (got 3 dimensions) does not fit "
                             f"shape={shape!r}")
        return array.reshape(n, a * b), True, rows, columns
    if array.ndim != 2:
        raise ValueError(f"values must be one table, a 2-D array of tables or a 3-D stack of "
                         f"tables, got {array.ndim} dimensions")
    a, b = array.shape
    square = name == "symmetry" and shape is None and a == b and not frame
    table = (a, a) if square else _matrix_of(name, rows, columns)
    one = not frame and name in _MATRIX_HYPOTHESES and (a, b) == table
    count = _core.hypothesis_info(name, rows, columns)[2]
    if one and b == count:
        raise ValueError(
            f"a {a}x{b} array is ambiguous for {name}: one {a}x{b} table (pass shape={a}) or "
            f"{a} tables of {b} values, one per row (pass shape=2, or a 3-D array of 2x2 tables)")
    if one:
        rows, columns = (a, b) if square else (rows, columns)
        return array.reshape(1, -1), False, rows, columns
    return array, True, rows, columns


def _matrix_of(name: str, rows: int, columns: int) -> Optional[tuple[int, int]]:
    """The table's matrix (rows, columns), or None for a table that is not one."""
    if name not in _MATRIX_HYPOTHESES:
        return None
    return (rows, columns) if rows else (2, 2)


def evidence(
    hypothesis: str,
    values: ArrayLike,
    *,
    method: str = "exact",
    prior: float = 1.0,
    max_draws: Optional[int] = None,
    precision: Optional[float] = None,
    seed: Optional[int] = None,
    threads: Optional[int] = None,
    shape: Shape = None,
) -> EvidenceResult:
    """The Bayesian evidence for a sharp hypothesis, for one table or many.

    Each table holds counts in the order of the command-line program, and for
    ``proportion`` then ``p0``. The prior (default 1, the uniform prior) is
    added to each count to give the parameters of the Dirichlet posterior
    (each at least 1, so a zero count computes; Monte Carlo needs them above
    1); ``prior=0`` passes the values as parameters, as the programs take
    them. The default method is ``'exact'``; ``method='monte_carlo'`` gives
    the programs' Monte Carlo digits. Results are digit for digit what the
    library gives for the same parameters and settings, whatever the number
    of threads.

    Parameters
    ----------
    hypothesis : str
        One of :func:`kavo.hypotheses` (the values of its fixed shape):

{hypothesis_list}

        or an unambiguous start of one (``'sym'``). The commands that test
        them are aliases: {command_list}.
    values : array-like
        Any real dtype. Read by one rule that never reads an array two ways:

        - a 1-D array is one table, its values in order;
        - a 2-D array whose shape is the table's (a 2x2 array, an r x c
          array with ``shape=(r, c)``, a k x k array with ``shape=k``, or any
          square array for ``symmetry``) is one table, read row by row;
        - any other 2-D array holds one table per row (a pandas DataFrame
          always: its columns in order);
        - a 3-D array of shape (n, r, c) is a stack of n r x c tables;
        - a 2-D array that fits both readings (a 4x4 array for symmetry) is
          an error naming both.

        Missing values (NaN, ``pd.NA``) give a table without evidence, status
        ``'missing_value'``; infinite ones ``'infinite_value'``.
    method : str, default 'exact'
        One of :func:`kavo.methods`, or an unambiguous start of one:
        ``'exact'`` (deterministic, every shape, parameters from 1 to 1e15,
        good to 1e-12 absolute) or ``'monte_carlo'`` (posterior draws;
        parameters above 1).
    prior : float, default 1.0
        Added to each count of every table (never to ``p0``): 1 is the
        uniform prior, 0.5 Jeffreys', 0 takes the values as Dirichlet
        parameters.
    max_draws : int, default 2000000
        Monte Carlo only: the most draws. Runs end at a multiple of 100 and
        never before 10000 draws, so any value up to 10000 gives the
        10000-draw minimum.
    precision : float, default 0.001
        Monte Carlo only: stop once both half-widths are below it (0 or less:
        never early).
    seed : int, default 11
        Monte Carlo only: the generator's start for every table, 1 to
        2147483646.
    threads : int or None, default None
        Tables computed at a time, 1 to {max_threads}; None uses every core.
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
        Fields ``evidence``, ``error``, ``draws``, ``log10_evidence``, ``sev``,
        ``g2``, ``df``, ``method``, ``status``, ``reason`` (scalars for one
        table, arrays for many) and ``to_frame()``. A table that cannot be
        computed (a missing or infinite value, a parameter below 1, or of
        exactly 1 for Monte Carlo, ``p0`` outside (0, 1), overflowing values)
        gets NaN, its status and its reason; it never raises.

    Raises
    ------
    ValueError
        Unknown or ambiguous hypothesis or method, values that do not make
        tables (or could make them two ways), a Monte Carlo setting given to
        another method, a seed, precision, prior or threads out of range.
    TypeError
        Values that are not real numbers, or settings of the wrong type.
    KeyboardInterrupt
        On Ctrl-C, within about 0.1 s: the computation is cancelled.

    Examples
    --------
    >>> import kavo
    >>> r = kavo.evidence("independence", [11, 4, 6, 8])    # counts; prior 1: parameters 12 5 7 9
    >>> print(f"{r.evidence:e}")
    3.746993e-01
    >>> kavo.evidence("independence", [[11, 4], [6, 8]]).evidence == r.evidence  # the same table
    True
    >>> many = kavo.evidence("kavohw", [[11, 9, 3], [24, 49, 29]])   # one table per row
    >>> many.evidence
    array([0.86222068, 0.93146523])
    >>> table = [[20, 3, 2, 6], [15, 1, 4, 5], [11, 8, 3, 2], [4, 5, 6, 7]]
    >>> print(f"{kavo.evidence('symmetry', table, shape=4).evidence:e}")  # one 4x4 table
    1.219073e-01
    >>> r = kavo.evidence("hardy_weinberg", [200000, 0, 200000])  # below the double range
    >>> r.evidence, r.log10_evidence
    (0.0, -120409.77778186958)
    """
    name = _hypothesis(hypothesis)
    method = _method(method)
    monte_carlo_only = dict(max_draws=max_draws, precision=precision, seed=seed)
    if method != "monte_carlo":
        for setting, value in monte_carlo_only.items():
            if value is not None:
                raise ValueError(f"{setting} applies to the monte_carlo method only, "
                                 f"not to {method}")
    rows, columns = _shape_args(name, shape)
    prior = _real(prior, "prior")
    precision = _real(_DEFAULT_PRECISION if precision is None else precision, "precision")
    max_draws = _whole(_DEFAULT_MAX_DRAWS if max_draws is None else max_draws, "max_draws")
    if not -_INT64_MAX <= max_draws <= _INT64_MAX:
        raise ValueError(f"max_draws must fit in 64 bits, got {max_draws}")
    seed = _whole(_DEFAULT_SEED if seed is None else seed, "seed")
    if not 1 <= seed <= 2147483646:
        raise ValueError(f"seed must be a whole number from 1 to 2147483646, got {seed}")
    if threads is None:
        threads = 0
    else:
        threads = _whole(threads, "threads")
        if not 1 <= threads <= _core.MAX_THREADS:
            raise ValueError(f"threads must be from 1 to {_core.MAX_THREADS} (or None for every "
                             f"core), got {threads}")

    array, frame = _table_array(values)
    array, many, rows, columns = _read_tables(array, frame, name, shape, rows, columns)
    name, _program, count, dirichlet, names = _core.hypothesis_info(name, rows, columns)
    if array.shape[1] != count:
        got = array.shape[1] if many else array.size
        hint = ""
        if many and not frame and shape is None and name in _MATRIX_HYPOTHESES:
            hint = f"; for one {array.shape[0]}x{array.shape[1]} table pass shape="
            hint += str(array.shape[0]) if name == "symmetry" else str(array.shape)
        raise ValueError(f"hypothesis {name} takes {count} values per table "
                         f"({' '.join(names)}), got {got}{hint}")
    if prior != 0.0:
        array[:, :dirichlet] += prior

    codes, *figures = _core.compute_many(name, array, method, max_draws, precision, seed,
                                         threads, rows, columns)
    if many:
        status, reason = _status_text(codes)
        return EvidenceResult(figures, method, status, reason, True)
    code = int(codes[0])
    # One table: Python scalars, and None for the counts of a table without evidence.
    one = [None if v.dtype.kind == "i" and code != 0 else v[0].item() for v in figures]
    return EvidenceResult(one, method, _core.status_name(code),
                          "" if code == 0 else _core.describe(code), False)


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
        Put before the names of the added columns (:data:`RESULT_COLUMNS`:
        ``evidence``, ``error``, ``draws``, ``log10_evidence``, ``sev``,
        ``g2``, ``df``, ``status`` and ``reason``); a name already in the
        frame is an error rather than overwritten.
    **settings
        ``method``, ``prior``, ``max_draws``, ``precision``, ``seed``,
        ``threads``, ``shape``, as for :func:`evidence`.

    Returns
    -------
    pandas.DataFrame
        The frame's columns, then the result columns (``draws`` and ``df`` as
        nullable ``Int64``; failed rows have NaN, ``<NA>`` and their reason).

    Examples
    --------
    >>> panel = pd.DataFrame({"marker": ["rs1", "rs2"], "aa": [11, 24], "ab": [9, 49],
    ...                       "bb": [3, 29]})
    >>> out = kavo.evidence_frame(panel, "hardy_weinberg", ["aa", "ab", "bb"], label="marker")
    >>> out[["aa", "ab", "bb", "evidence", "g2", "df", "status"]]
            aa  ab  bb  evidence        g2  df status
    marker
    rs1     11   9   3  0.862221  0.272325   1     ok
    rs2     24  49  29  0.931465  0.138911   1     ok
    """
    hypothesis = _hypothesis(hypothesis)
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


def _hypothesis_docs() -> dict[str, str]:
    """The parts of evidence's docstring that the library's descriptions give."""
    lines, commands = [], []
    for name in _core.hypotheses():
        d = _core.describe_hypothesis(name)
        values = " ".join(_core.hypothesis_info(name)[4])
        lines.append(f"        - ``'{name}'`` ({values}): {d['title']}")
        commands.append(f"``'{d['command']}'``")
    return {"hypothesis_list": "\n".join(lines), "command_list": ", ".join(commands),
            "max_threads": str(_core.MAX_THREADS)}


if evidence.__doc__:  # None under python -OO
    for _key, _text in _hypothesis_docs().items():
        evidence.__doc__ = evidence.__doc__.replace("{" + _key + "}", _text)
