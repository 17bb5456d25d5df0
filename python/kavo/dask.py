"""kavo over Dask DataFrames: each partition's tables are computed by one task.

The tasks run wherever the user's Dask client sends them (a LocalCluster, or a
real cluster through ``distributed.Client("tcp://scheduler:8786")``); every
worker needs the kavo package installed. Each task computes with one thread,
so the scheduler's threads and processes own the parallelism.

Examples
--------
>>> from distributed import Client
>>> import dask.dataframe as dd, kavo.dask
>>> client = Client("tcp://scheduler:8786")       # or Client() for a local cluster
>>> panel = dd.read_csv("panel-*.csv")            # columns marker, aa, ab, bb
>>> out = kavo.dask.evidence_frame(panel, "hardy_weinberg", ["aa", "ab", "bb"])  # exact, prior 1
>>> out.to_csv("results-*.csv")                   # or out.compute()
"""

from __future__ import annotations

from typing import Any, Optional, Sequence

import dask.dataframe as dd

from ._evidence import evidence_frame as _evidence_frame


def evidence_frame(
    frame: dd.DataFrame,
    hypothesis: str,
    columns: Optional[Sequence[Any]] = None,
    *,
    prefix: str = "",
    **settings: Any,
) -> dd.DataFrame:
    """A lazy Dask DataFrame with the evidence of each row's table added.

    Same arguments and columns as :func:`kavo.evidence_frame` (but no
    ``label``: set an index with Dask's ``set_index`` if needed). Computed
    partition by partition with ``map_partitions``, one thread per task;
    each row's result is exactly what :func:`kavo.evidence` gives for it.

    Parameters
    ----------
    frame : dask.dataframe.DataFrame
        One table per row.
    hypothesis : str
        As for :func:`kavo.evidence`.
    columns : sequence of column labels, optional
        The value columns in the hypothesis's order (default: the columns
        named as the values).
    prefix : str, default ''
        Put before the names of the added columns.
    **settings
        ``method`` (default ``'exact'``), ``prior``, ``max_draws``,
        ``precision``, ``seed`` (Monte Carlo only), as for
        :func:`kavo.evidence`; ``threads`` is fixed at 1.

    Returns
    -------
    dask.dataframe.DataFrame
        Lazy: call ``.compute()``, ``.to_parquet(...)`` or ``.persist()``.

    Examples
    --------
    >>> import pandas as pd, dask.dataframe as dd, kavo.dask
    >>> pdf = pd.DataFrame({"aa": [11, 24], "ab": [9, 49], "bb": [3, 29]})
    >>> ddf = dd.from_pandas(pdf, npartitions=2)
    >>> out = kavo.dask.evidence_frame(ddf, "kavohw", ["aa", "ab", "bb"]).compute()
    >>> out[["aa", "ab", "bb", "evidence", "g2", "df", "status"]]
       aa  ab  bb  evidence        g2  df status
    0  11   9   3  0.862221  0.272325   1     ok
    1  24  49  29  0.931465  0.138911   1     ok
    """
    if "threads" in settings:
        raise ValueError("threads is fixed at 1 per task; size the Dask cluster instead")
    if "label" in settings:
        raise ValueError("label is not supported on Dask frames; use set_index")
    options = dict(settings, threads=1)
    # The empty partition checks the arguments now, on the client, and gives the meta.
    meta = _evidence_frame(frame._meta, hypothesis, columns, prefix=prefix, **options)
    return frame.map_partitions(_evidence_frame, hypothesis, columns, prefix=prefix, meta=meta,
                                **options)
