"""Hardy-Weinberg evidence for the sites of a VCF, bgzipped VCF or BCF.

Reads genotype calls with pysam (htslib) and gives the frame ``kavohw --vcf``
writes, one row per site, with the result columns of :func:`kavo.evidence`.
"""

from __future__ import annotations

import os
from typing import Any, Iterable, Optional, Union

import numpy as np

from ._evidence import RESULT_COLUMNS, evidence

#: The site columns before the results.
SITE_COLUMNS = ("CHROM", "POS", "ID", "REF", "ALT", "n_called", "n_missing", "genotype_counts",
                "allele_freqs", "het_obs", "het_exp", "hypothesis")

# The most alleles whose genotype classes fit a table (91 classes; 105 > 100 cells).
_MAX_ALLELES = 13
_X_NAMES = ("X", "chrX", "23")


def _samples_argument(samples: Union[None, str, Iterable[str]]) -> tuple[Optional[list], bool]:
    """The named samples and whether they are excluded: a list, a comma list,
    a file of one name per line; a leading ``^`` excludes them."""
    if samples is None:
        return None, False
    if not isinstance(samples, str):
        return [str(s) for s in samples], False
    exclude = samples.startswith("^")
    text = samples[1:] if exclude else samples
    if os.path.isfile(text):
        with open(text) as f:
            names = [line.split()[0] for line in f if line.strip()]
    else:
        names = [n for n in text.split(",") if n]
    return names, exclude


def _sexes(sex: Union[None, str, dict]) -> dict:
    """Sample -> 'male' / 'female' from a dict or a file of SAMPLE SEX lines
    (1 or M male, 2 or F female, 0 or NA unknown)."""
    if sex is None:
        return {}
    codes = {"1": "male", "m": "male", "male": "male", "2": "female", "f": "female",
             "female": "female", "0": None, "na": None}
    items = sex.items() if isinstance(sex, dict) else None
    if items is None:
        items = []
        with open(sex) as f:
            for number, line in enumerate(f, 1):
                fields = line.split()
                if not fields or fields[0].startswith("#"):
                    continue
                if len(fields) < 2 or fields[1].lower() not in codes:
                    raise ValueError(f"sex: line {number} of {sex!r} is not SAMPLE and a sex "
                                     f"(1 or M, 2 or F, 0 or NA unknown): {line.rstrip()!r}")
                items.append((fields[0], fields[1]))
    out = {}
    for name, code in items:
        value = codes.get(str(code).lower(), "?")
        if value == "?":
            raise ValueError(f"sex of {name!r} must be 1/M, 2/F or 0/NA, got {code!r}")
        if value is not None:
            out[str(name)] = value
    return out


def count_site(calls: Iterable[tuple], alleles: int, sexes: Optional[list] = None) -> dict:
    """A site's counts from its calls (tuples of allele indices, None for a
    missing allele). ``sexes`` (one per call, 'male', 'female' or None) makes
    it an X-linked site read by sex: males' diploid homozygous calls are one
    allele and their heterozygous calls missing; females' haploid calls are
    missing."""
    k = min(max(alleles, 1), _MAX_ALLELES)
    diploid = [0] * (k * (k + 1) // 2)
    haploid = [0] * k
    missing = 0
    bad_allele = -1
    polyploid = False
    for s, call in enumerate(calls):
        call = tuple(call) if call is not None else ()
        known = len(call) > 0 and all(a is not None for a in call)
        if known and any(a >= alleles for a in call):
            bad_allele = max(bad_allele, max(call))
            known = False
        if len(call) > 2:
            polyploid = polyploid or known
        if not known or len(call) > 2 or alleles > _MAX_ALLELES:
            missing += 1
            continue
        if sexes is not None:
            if sexes[s] == "male" and len(call) == 2:
                if call[0] != call[1]:
                    missing += 1
                    continue
                call = call[:1]
            elif sexes[s] == "female" and len(call) == 1:
                missing += 1
                continue
        if len(call) == 1:
            haploid[call[0]] += 1
        else:
            a, b = sorted(call)
            diploid[b * (b + 1) // 2 + a] += 1
    allele_counts = [0] * max(alleles, 0)
    het = 0
    for b in range(k):
        for a in range(b + 1):
            n = diploid[b * (b + 1) // 2 + a]
            het += n if a != b else 0
            if a < alleles:
                allele_counts[a] += n
            if b < alleles:
                allele_counts[b] += n
        if b < alleles:
            allele_counts[b] += haploid[b]
    diploid_called = sum(diploid)
    site = dict(n_called=diploid_called + sum(haploid), n_missing=missing,
                allele_counts=allele_counts, diploid_called=diploid_called, heterozygous=het,
                table=None, counts=None, problem="")
    if alleles < 2:
        site["problem"] = "a single allele (no ALT): nothing to test"
    elif alleles > _MAX_ALLELES:
        site["problem"] = f"{alleles} alleles: more genotype classes than a table holds"
    elif bad_allele >= 0:
        site["problem"] = (f"a call names allele {bad_allele}, but the site has {alleles} "
                           f"(REF is 0)")
    elif polyploid:
        site["problem"] = "calls of more than two alleles per sample"
    elif site["n_called"] == 0:
        site["problem"] = "no called genotypes"
    elif sexes is not None or (sum(haploid) > 0 and diploid_called > 0):
        if alleles > 2:
            site["problem"] = "an X-linked site with more than two alleles"
        else:
            site["table"] = "x_linked_hardy_weinberg"
            site["counts"] = diploid[:3] + haploid[:2]
    elif sum(haploid) > 0:
        site["problem"] = "haploid calls only: no Hardy-Weinberg test"
    else:
        site["table"] = "hardy_weinberg"
        site["counts"] = diploid
    return site


def read_vcf(path: str, *, samples: Union[None, str, Iterable[str]] = None,
             regions: Union[None, str, Iterable[str]] = None,
             sex: Union[None, str, dict] = None, **settings: Any) -> "pd.DataFrame":
    """The Hardy-Weinberg evidence of every site of a VCF, bgzipped VCF or BCF.

    The same rows as ``kavohw --vcf``: missing calls are left out and
    counted; two-allele sites are tested for Hardy-Weinberg equilibrium,
    sites with k alleles with the k-allele hypothesis (genotype classes in the
    library's order 11, 12, 22, 13, ...), and sites whose calls are diploid
    for some samples and haploid for others (males on chrX) with the
    X-linked hypothesis.

    Parameters
    ----------
    path : str
        The file (pysam reads VCF, bgzipped VCF and BCF).
    samples : list of str, or str, optional
        The samples to read: a list, a comma list or a file of one name per
        line; a leading ``^`` reads every sample but those.
    regions : str or list of str, optional
        ``CHR``, ``CHR:BEG-END`` (1-based, inclusive), or several; needs the
        file's index.
    sex : str or dict, optional
        Samples' sexes (a file of ``SAMPLE SEX`` lines, 1 or M male, 2 or F
        female; or a dict), for VCFs that write males' X as homozygous diploid
        calls. Sites on X (``X``, ``chrX``, ``23``) are then X-linked: males'
        homozygous calls count as one allele, their heterozygous calls as
        missing.
    **settings
        ``method``, ``prior``, ``threads`` and the Monte Carlo settings, as for
        :func:`kavo.evidence` (default: exact, prior 1).

    Returns
    -------
    pandas.DataFrame
        :data:`SITE_COLUMNS` (``genotype_counts`` and ``allele_freqs`` are
        tuples; ``hypothesis`` is ``hardy_weinberg``,
        ``x_linked_hardy_weinberg`` or None), then
        :data:`kavo.RESULT_COLUMNS`. A site with nothing to test has status
        ``'not_tested'`` and its reason.
    """
    import pandas as pd
    import pysam

    names, exclude = _samples_argument(samples)
    sexes = _sexes(sex)
    rows = []
    with pysam.VariantFile(path) as vcf:
        header_samples = list(vcf.header.samples)
        if names is not None:
            unknown = [n for n in names if n not in header_samples]
            if unknown:
                raise ValueError(f"samples: {unknown[0]!r} is not a sample of {path!r}")
            keep = [n for n in header_samples if (n in names) != exclude]
            if not keep:
                raise ValueError(f"samples leaves no sample of {path!r}")
            vcf.subset_samples(keep)
        chosen = list(vcf.header.samples)
        sample_sexes = [sexes.get(n) for n in chosen]
        if regions is None:
            records = iter(vcf)
        else:
            regions = regions.split(",") if isinstance(regions, str) else list(regions)
            records = (r for region in regions for r in vcf.fetch(region=region))
        for rec in records:
            calls = [rec.samples[i]["GT"] for i in range(len(chosen))]
            on_x = bool(sexes) and rec.chrom in _X_NAMES
            site = count_site(calls, len(rec.alleles), sample_sexes if on_x else None)
            total = sum(site["allele_counts"])
            freqs = tuple(n / total for n in site["allele_counts"]) if total else None
            het_obs = het_exp = np.nan
            if site["diploid_called"]:
                het_obs = site["heterozygous"] / site["diploid_called"]
                het_exp = 1 - sum(p * p for p in freqs)
            rows.append((rec.chrom, rec.pos, rec.id or ".", rec.ref,
                         ",".join(rec.alts) if rec.alts else ".", site["n_called"],
                         site["n_missing"], tuple(site["counts"]) if site["counts"] else None,
                         freqs, het_obs, het_exp, site["table"], site["problem"]))
    frame = pd.DataFrame([r[:-1] for r in rows], columns=SITE_COLUMNS)
    results = {c: [None] * len(rows) for c in RESULT_COLUMNS}
    # One computation per hypothesis and number of alleles.
    groups: dict = {}
    for i, r in enumerate(rows):
        if r[7] is not None:
            groups.setdefault((r[11], len(r[7])), []).append(i)
    for (hypothesis, classes), members in groups.items():
        shape = None
        if hypothesis == "hardy_weinberg" and classes != 3:
            shape = int(round((np.sqrt(8 * classes + 1) - 1) / 2))
        result = evidence(hypothesis, np.array([rows[i][7] for i in members], dtype=np.float64),
                          shape=shape, **settings).to_frame()
        for c in RESULT_COLUMNS:
            for i, value in zip(members, result[c]):
                results[c][i] = value
    for i, r in enumerate(rows):
        if r[7] is None:
            results["status"][i] = "not_tested"
            results["reason"][i] = r[12]
    for c in RESULT_COLUMNS:
        column = pd.Series(results[c], index=frame.index)
        if c in ("draws", "df"):
            column = column.astype("Int64")
        elif c not in ("status", "reason"):
            column = column.astype(np.float64)
        frame[c] = column
    return frame
