"""CPU cost of one row, to size a Dask cluster.

    VENV/bin/python python/bench/row_cost.py [--rows 400]

Hardy-Weinberg markers of 20 to 200 genotypes (random allele frequency, with
the uniform prior) at the default settings, and small-count rows at the Dask
test's settings (max_draws=10000, precision=0.01). One thread, CPU time.
"""

import argparse
import time

import numpy as np

import kavo


def cpu_per_row(tables, **settings):
    start = time.process_time()
    r = kavo.evidence("hardy_weinberg", tables, threads=1, **settings)
    return (time.process_time() - start) / len(tables), r


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rows", type=int, default=400)
    args = parser.parse_args()
    rng = np.random.default_rng(1)
    sizes = rng.integers(20, 201, args.rows)
    theta = rng.uniform(0.1, 0.9, args.rows)
    genotypes = [rng.multinomial(n, [t * t, 2 * t * (1 - t), (1 - t) ** 2])
                 for n, t in zip(sizes, theta)]
    cost, r = cpu_per_row(np.array(genotypes), prior=1)
    ok = r.status == "ok"
    print(f"default settings: {cost * 1e3:.1f} ms of one core per row "
          f"({ok.sum()} of {len(ok)} computed; draws median {int(np.median(r.draws[ok]))}, "
          f"min {r.draws[ok].min()}, max {r.draws[ok].max()})")
    small = rng.integers(1, 6, size=(5 * args.rows, 3))
    cost, _ = cpu_per_row(small, max_draws=10000, precision=0.01, prior=1)
    print(f"max_draws=10000, precision=0.01, counts 1-5: {cost * 1e3:.2f} ms of one core per row")


if __name__ == "__main__":
    main()
