"""kavo: the Bayesian evidence for a sharp hypothesis on categorical data.

The posterior of the cell probabilities is a Dirichlet distribution whose
parameters are given; the evidence is one minus the posterior mass of the
points whose density reaches the largest density on the hypothesis.

Functions
---------
evidence        One table or many (numpy arrays, pandas frames); see help(kavo.evidence).
evidence_frame  A pandas DataFrame with result columns added.
hardy_weinberg  Two-allele markers from genotype counts (REF/REF, REF/ALT, ALT/ALT),
                with allele frequency and heterozygosity; hardy_weinberg_x for
                X-linked markers, hardy_weinberg_alleles for k alleles.
read_vcf        The same for every site of a VCF, bgzipped VCF or BCF (pysam).
kavo.plots      De Finetti (ternary) and quantile-quantile plots of a panel.
kavo.dask       The same over a Dask DataFrame, partition by partition.

Examples
--------
>>> import kavo
>>> print(f"{kavo.evidence('kavoind', [11, 4, 6, 8]).evidence:e}")  # counts, uniform prior, exact
3.746993e-01
"""

from . import _core, plots
from ._evidence import (
    RESULT_COLUMNS,
    EvidenceResult,
    describe_hypothesis,
    describe_method,
    evidence,
    evidence_frame,
    hypotheses,
    methods,
    value_names,
)
from .genetics import hardy_weinberg, hardy_weinberg_alleles, hardy_weinberg_x
from .vcf import read_vcf

__version__: str = _core.version()

__all__ = [
    "RESULT_COLUMNS",
    "EvidenceResult",
    "describe_hypothesis",
    "describe_method",
    "evidence",
    "evidence_frame",
    "hardy_weinberg",
    "hardy_weinberg_alleles",
    "hardy_weinberg_x",
    "hypotheses",
    "methods",
    "plots",
    "read_vcf",
    "value_names",
    "__version__",
]
