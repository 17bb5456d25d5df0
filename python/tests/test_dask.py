"""kavo.dask on a two-process local cluster gives the single-process results row for row."""
import numpy as np
import pandas as pd
import pytest

import kavo
import kavo.dask

dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")

SETTINGS = dict(method="monte_carlo", max_draws=10000, precision=0.01, prior=1)


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster:
        with distributed.Client(cluster) as c:
            yield c


def panel(rows):
    # Small counts keep the draws cheap; every 50th marker lacks a genotype and is refused.
    rng = np.random.default_rng(2024)
    frame = pd.DataFrame({
        "marker": [f"rs{i}" for i in range(rows)],
        "aa": rng.integers(1, 6, rows), "ab": rng.integers(1, 6, rows),
        "bb": rng.integers(1, 6, rows),
    })
    frame.loc[::50, "ab"] = 0
    return frame


def test_cluster_result_equals_the_single_process_call(client):
    pdf = panel(10000)
    expected = kavo.evidence_frame(pdf, "hardy_weinberg", ["aa", "ab", "bb"], **SETTINGS)
    ddf = dd.from_pandas(pdf, npartitions=8)
    lazy = kavo.dask.evidence_frame(ddf, "hardy_weinberg", ["aa", "ab", "bb"], **SETTINGS)
    got = client.compute(lazy).result()
    # Both worker processes took part.
    assert len(client.scheduler_info()["workers"]) == 2
    pd.testing.assert_frame_equal(got, expected, check_exact=True)
    assert (got["status"] == "needs_exact_method").sum() == 200  # a zero count with prior 1
    assert (got["status"] == "ok").sum() == 9800


def test_bad_arguments_raise_on_the_client():
    ddf = dd.from_pandas(panel(10), npartitions=2)
    with pytest.raises(ValueError, match="unknown hypothesis"):
        kavo.dask.evidence_frame(ddf, "hw", ["aa", "ab", "bb"])
    with pytest.raises(ValueError, match="threads is fixed at 1"):
        kavo.dask.evidence_frame(ddf, "kavohw", ["aa", "ab", "bb"], threads=2)
    with pytest.raises(ValueError, match="takes 3 columns"):
        kavo.dask.evidence_frame(ddf, "kavohw", ["aa", "ab"])
