"""Per-table cost of kavo.evidence against the library's compute_many alone.

    VENV/bin/python python/bench/overhead.py [--tables 100000] [--repeat 3] [--threads 1]

Both sides compute the same tables with the same compiled core. The C++ side is
kavo._core.time_compute_many: compute_many timed in C++ (steady_clock) on an
already converted float64 array, with no progress callback and no result
conversion, as a C++ caller would call it. The Python side is the whole
kavo.evidence call from an int64 array: argument checks, conversion, the
progress callback that watches for Ctrl-C, and the result arrays with status
names and reasons. Runs alternate and the medians are reported.

Two workloads: tiny runs (hardy_weinberg 3 4 5, max_draws=0 and precision=1,
so every table stops at the 10000-draw minimum), and refused tables (a zero
parameter: no draws at all), which isolates the per-table cost of the binding.
"""

import argparse
import statistics
import time

import numpy as np

import kavo
from kavo import _core


def measure(tables, repeat, threads, **settings):
    """Medians of (wall, cpu) seconds for compute_many alone and for kavo.evidence."""
    floats = np.ascontiguousarray(tables, dtype=np.float64)
    cpp_wall, cpp_cpu, py_wall, py_cpu = [], [], [], []
    for _ in range(repeat):
        cpu = time.process_time()
        cpp_wall.append(_core.time_compute_many("hardy_weinberg", floats, "monte_carlo",
                                                settings["max_draws"], settings["precision"], 11,
                                                threads))
        cpp_cpu.append(time.process_time() - cpu)
        wall, cpu = time.perf_counter(), time.process_time()
        kavo.evidence("hardy_weinberg", tables, threads=threads, **settings)
        py_cpu.append(time.process_time() - cpu)
        py_wall.append(time.perf_counter() - wall)
    m = statistics.median
    return (m(cpp_wall), m(cpp_cpu)), (m(py_wall), m(py_cpu))


def report(name, n, cpp, python):
    print(f"{name}, {n} tables:")
    for what, c, p in (("wall", cpp[0], python[0]), ("cpu", cpp[1], python[1])):
        print(f"  {what:4}: compute_many {c:8.3f} s ({c / n * 1e6:8.2f} us/table)   "
              f"kavo.evidence {p:8.3f} s ({p / n * 1e6:8.2f} us/table)   "
              f"ratio {p / c:.4f}   difference {(p - c) / n * 1e9:+.0f} ns/table")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tables", type=int, default=100000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--threads", type=int, default=1)
    args = parser.parse_args()
    n = args.tables

    tiny = np.tile(np.array([[3, 4, 5]], dtype=np.int64), (n, 1))
    cpp, python = measure(tiny, args.repeat, args.threads, max_draws=0, precision=1.0)
    report("tiny runs (10000 draws each)", n, cpp, python)

    refused = np.tile(np.array([[0, 4, 5]], dtype=np.int64), (n, 1))
    cpp, python = measure(refused, max(args.repeat, 5), args.threads, max_draws=0, precision=1.0)
    report("refused tables (no draws)", n, cpp, python)

    calls = 20000
    wall, cpu = time.perf_counter(), time.process_time()
    for _ in range(calls):
        kavo.evidence("hardy_weinberg", [0, 4, 5])
    wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
    print(f"one-table calls (refused table, no draws), {calls} calls: "
          f"{wall / calls * 1e6:.1f} us wall, {cpu / calls * 1e6:.1f} us cpu per call")


if __name__ == "__main__":
    main()
