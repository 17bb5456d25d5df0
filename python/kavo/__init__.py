"""kavo: the Bayesian evidence for a sharp hypothesis on categorical data.

The posterior of the cell probabilities is a Dirichlet distribution whose
parameters are given; the evidence is one minus the posterior mass of the
points whose density reaches the largest density on the hypothesis.

Functions
---------
evidence        One table or many (numpy arrays, pandas frames); see help(kavo.evidence).
evidence_frame  A pandas DataFrame with result columns added.
kavo.dask       The same over a Dask DataFrame, partition by partition.

Examples
--------
>>> import kavo
>>> print(f"{kavo.evidence('kavoind', [11, 4, 6, 8]).evidence:e}")  # counts, uniform prior, exact
3.746993e-01
"""

from . import _core
from ._evidence import (
    RESULT_COLUMNS,
    EvidenceResult,
    describe_hypothesis,
    evidence,
    evidence_frame,
    hypotheses,
    methods,
    value_names,
)

__version__: str = _core.version()

__all__ = [
    "RESULT_COLUMNS",
    "EvidenceResult",
    "describe_hypothesis",
    "evidence",
    "evidence_frame",
    "hypotheses",
    "methods",
    "value_names",
    "__version__",
]
