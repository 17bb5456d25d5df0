"""read_vcf on small VCFs written here: counts, the hypothesis of each site,
and the same rows as kavohw --vcf."""
import io
import subprocess

import numpy as np
import pandas as pd
import pytest

import kavo

pysam = pytest.importorskip("pysam")

HEADER = """##fileformat=VCFv4.2
##contig=<ID=1,length=1000>
##contig=<ID=X,length=1000>
##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">
#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tf1\tf2\tf3\tm1\tm2
"""
SITES = [
    "1\t10\trs1\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\t1/1\t./.\t0|1",     # two alleles, one missing
    "1\t20\trs2\tC\tT,G\t.\t.\t.\tGT\t0/0\t0/1\t1/2\t2/2\t0/2",   # three alleles
    "1\t30\trs3\tG\t.\t.\t.\t.\tGT\t0/0\t0/0\t0/0\t0/0\t0/0",     # no ALT: nothing to test
    "X\t40\trs4\tT\tC\t.\t.\t.\tGT\t0/1\t1/1\t0/0\t1\t0",         # haploid males: X-linked
    "X\t50\trs5\tT\tC\t.\t.\t.\tGT\t0/1\t1/1\t0/0\t1/1\t0/1",     # males written diploid
]


@pytest.fixture
def vcf(tmp_path):
    plain = tmp_path / "sites.vcf"
    plain.write_text(HEADER + "\n".join(SITES) + "\n")
    packed = pysam.tabix_index(str(plain), preset="vcf", keep_original=True, force=True)
    return plain, packed


def test_sites_are_counted_and_tested_by_their_ploidy(vcf):
    out = kavo.read_vcf(str(vcf[0]))
    assert list(out.columns) == list(kavo.vcf.SITE_COLUMNS) + list(kavo.RESULT_COLUMNS)
    rs1, rs2, rs3, rs4, rs5 = (out.iloc[i] for i in range(5))
    assert (rs1.n_called, rs1.n_missing, rs1.genotype_counts) == (4, 1, (1, 2, 1))
    assert rs1.evidence == kavo.evidence("hardy_weinberg", [1, 2, 1]).evidence
    # Classes 11 12 22 13 23 33 with REF as allele 1.
    assert rs2.genotype_counts == (1, 1, 0, 1, 1, 1) and rs2.hypothesis == "hardy_weinberg"
    assert rs2.allele_freqs == pytest.approx((4 / 10, 2 / 10, 4 / 10))
    assert rs2.evidence == kavo.evidence("hardy_weinberg", [1, 1, 0, 1, 1, 1], shape=3).evidence
    assert rs3.status == "not_tested" and "no ALT" in rs3.reason and np.isnan(rs3.evidence)
    assert rs4.hypothesis == "x_linked_hardy_weinberg" and rs4.genotype_counts == (1, 1, 1, 1, 1)
    assert rs4.het_obs == pytest.approx(1 / 3)          # among the diploid calls
    assert rs5.hypothesis == "hardy_weinberg"           # without sexes, diploid is autosomal
    sexed = kavo.read_vcf(str(vcf[0]), sex={"m1": "M", "m2": 1, "f1": "F"})
    # m2's heterozygous call on X is missing; m1's homozygous call one allele.
    assert sexed.iloc[4].genotype_counts == (1, 1, 1, 0, 1) and sexed.iloc[4].n_missing == 1


def test_samples_and_regions_select(vcf):
    some = kavo.read_vcf(str(vcf[1]), samples="^m1,m2", regions="1:15-35")
    assert some["POS"].tolist() == [20, 30]
    assert some.iloc[0].genotype_counts == (1, 1, 0, 0, 1, 0)
    with pytest.raises(ValueError, match="not a sample"):
        kavo.read_vcf(str(vcf[0]), samples=["f1", "nobody"])


def test_rows_are_those_of_kavohw_vcf(vcf, programs_dir):
    run = subprocess.run([str(programs_dir / "kavohw"), "--vcf", str(vcf[1])],
                         capture_output=True, text=True, check=True)
    # round_trip: the programs print the shortest digits that read back to the same double.
    written = pd.read_csv(io.StringIO(run.stdout), sep="\t", float_precision="round_trip")
    ours = kavo.read_vcf(str(vcf[1]))
    assert written["POS"].tolist() == ours["POS"].tolist()
    assert written["n_called"].tolist() == ours["n_called"].tolist()
    assert written["n_missing"].tolist() == ours["n_missing"].tolist()
    counts = [tuple(int(c) for c in g.split(",")) if isinstance(g, str) else None
              for g in written["genotype_counts"]]
    assert counts == ours["genotype_counts"].tolist()
    np.testing.assert_array_equal(pd.to_numeric(written["evidence"], errors="coerce"),
                                  ours["evidence"])
