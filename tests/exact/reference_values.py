#!/usr/bin/env python3
"""High-precision reference evidences for the exact method's tests.

Computed in 90-digit arithmetic with mpmath (Debian python3-mpmath), from the
definitions directly: the hypothesis point from the counts, the gap
y* = f(mode) - f(point) from the logarithms, the kernel gap's Laplace
transform from plain log-gamma values (no cancellation to avoid at this
precision), and P(Y >= y*) from the Bromwich integral on a parabola with N
and N + 16 nodes (N from 48 up, more for many cells), which must agree to
30 digits. Prints the C++ table that
reference_values.inc holds:

    tests/exact/reference_values.py > tests/exact/reference_values.inc
"""
import random

import mpmath as mp

mp.mp.dps = 90


def hypothesis_point(h, shape, a):
    c = [mp.mpf(x) - 1 for x in a]
    if h == "independence":
        r, k = shape
        total = sum(c)
        rows = [sum(c[i * k + j] for j in range(k)) / total for i in range(r)]
        cols = [sum(c[i * k + j] for i in range(r)) / total for j in range(k)]
        return [rows[i] * cols[j] for i in range(r) for j in range(k)], [r * k]
    if h == "symmetry":
        k = shape[0]
        total = sum(c)
        p = [mp.mpf(0)] * (k * k)
        for i in range(k):
            p[i * k + i] = c[i * k + i] / total
            for j in range(i + 1, k):
                p[i * k + j] = p[j * k + i] = (c[i * k + j] + c[j * k + i]) / (2 * total)
        return p, [k * k]
    if h == "homogeneity":
        r, k = shape
        total = sum(c)
        cols = [sum(c[i * k + j] for i in range(r)) / total for j in range(k)]
        return [cols[j] for i in range(r) for j in range(k)], [k] * r
    if h == "hardy_weinberg":
        k = shape[0]
        theta = [mp.mpf(0)] * k
        index = {}
        n = 0
        for j in range(k):
            for i in range(j + 1):
                index[(i, j)] = n
                theta[i] += c[n]
                theta[j] += c[n]
                n += 1
        total = 2 * sum(c)
        theta = [t / total for t in theta]
        p = [None] * n
        for (i, j), m in index.items():
            p[m] = theta[i] ** 2 if i == j else 2 * theta[i] * theta[j]
        return p, [n]
    if h == "proportion":
        k = shape[0]
        return [mp.mpf(x) for x in a[k:]], [k]
    raise ValueError(h)


def gap(a, blocks, p):
    y, i = mp.mpf(0), 0
    for n in blocks:
        c = [mp.mpf(x) - 1 for x in a[i:i + n]]
        total = sum(c)
        q = p[i:i + n]
        norm = sum(q)
        for ci, pi in zip(c, q):
            if ci > 0:
                y += ci * mp.log(ci / total / (pi / norm))
        i += n
    return y


def log_transform(s, a, blocks):
    out, i = 0, 0
    for n in blocks:
        b = [mp.mpf(x) for x in a[i:i + n]]
        i += n
        c = [x - 1 for x in b]
        A, C = sum(b), sum(c)
        if C == 0:
            continue
        for ai, ci in zip(b, c):
            if ci > 0:
                out += mp.loggamma(ai + ci * s) - mp.loggamma(ai) - s * ci * mp.log(ci / C)
        out -= mp.loggamma(A + C * s) - mp.loggamma(A)
    return out


def survival(y, a, blocks, nodes):
    beta = min(1 + 1 / max(mp.mpf(x) - 1 for x in a[i:i + n])
               for i, n in zip([sum(blocks[:j]) for j in range(len(blocks))], blocks)
               if max(a[i:i + n]) > 1)
    h, mu = mp.mpf(3) / nodes, mp.pi * nodes / (12 * y)
    total = 0
    for k in range(-nodes, nodes + 1):
        u = k * h
        s = -beta + mu * (1 + 1j * u) ** 2
        total += mp.exp(s * y) * (1 - mp.exp(log_transform(s, a, blocks))) / s * mu * 2j * (1 + 1j * u)
    return (total * h / (2j * mp.pi)).real


def log10_evidence(h, shape, a):
    p, blocks = hypothesis_point(h, shape, a)
    k = sum(blocks)
    y = gap(a[:k], blocks, p)
    if y == 0:
        return mp.mpf(0)
    # Many cells spread Y like a gamma variable of shape about k / 2, whose
    # saddle point asks for a contour crossing further right: more nodes.
    nodes = max(48, int(12 * (k / 2 + 10) / mp.pi))
    first, second = survival(y, a[:k], blocks, nodes), survival(y, a[:k], blocks, nodes + 16)
    assert abs(first / second - 1) < mp.mpf(10) ** -30, (h, a)
    return mp.log10(second)


def tables():
    rng = random.Random(20261208)
    yield "independence", (2, 2), [12, 5, 7, 9]
    yield "independence", (2, 2), [1, 20, 30, 1]
    yield "independence", (2, 2), [1000001, 2000000, 1500000, 3000007]
    yield "independence", (2, 3), [13, 6, 8, 10, 5, 7]
    yield "independence", (3, 3), [1, 40, 3, 25, 1, 9, 4, 17, 1]
    yield "independence", (10, 10), [rng.randint(0, 60) + 1 for _ in range(100)]
    yield "symmetry", (2, 2), [21, 4, 3, 7]
    yield "symmetry", (3, 3), [21, 4, 3, 7, 16, 2, 5, 6, 12]
    yield "homogeneity", (2, 2), [13, 6, 8, 10]
    yield "homogeneity", (3, 2), [13, 6, 8, 10, 15, 3]
    yield "homogeneity", (4, 4), [rng.randint(0, 200) + 1 for _ in range(16)]
    yield "hardy_weinberg", (2,), [1, 265, 1]
    yield "hardy_weinberg", (2,), [6, 1, 13]
    yield "hardy_weinberg", (2,), [41, 21, 41]
    yield "hardy_weinberg", (2,), [5, 168, 1.0001]
    yield "hardy_weinberg", (2,), [200001, 1, 200001]
    yield "hardy_weinberg", (2,), [1e12 + 1, 2e12 + 5e6, 1e12 - 3e6]
    yield "hardy_weinberg", (3,), [10, 13, 5, 9, 7, 2]
    yield "hardy_weinberg", (13,), [rng.randint(0, 30) + 1 for _ in range(91)]
    yield "proportion", (2,), [12, 5, 0.3, 0.7]
    yield "proportion", (3,), [21, 31, 12, 0.3, 0.5, 0.2]
    # Many cells: a contour crossing near s = 0, large counts in the bulk and
    # in a deep tail, where the cells' terms are summed as one series.
    yield "independence", (4, 6), [19, 8, 24, 7, 13, 9, 40, 14, 25, 14, 20, 13, 11, 3, 4, 1, 6, 4,
                                   11, 5, 1, 4, 4, 2]
    yield "independence", (6, 3), [13732, 13909, 5747, 47782, 47888, 19802, 39742, 40125, 16421,
                                   37809, 37787, 15638, 31334, 31729, 12891, 51539, 51607, 21228]
    yield "independence", (6, 6), [2331, 2970, 2154, 2404, 2666, 2049, 2074, 2840, 2548, 2096, 2374,
                                   2596, 2059, 2931, 2519, 2219, 2038, 2088, 2444, 2428, 2071, 2246,
                                   2092, 2564, 2434, 2060, 2846, 2579, 2126, 2970, 2228, 2645, 2642,
                                   2596, 2970, 2063]
    # Many cells in the bulk, where two balanced contours once agreed to 1e-8
    # while both missed by 4e-11.
    yield "independence", (6, 6), [8991, 6636, 29617, 25488, 28207, 28266, 1930, 1427, 6257, 5269,
                                   5823, 6018, 2392, 1745, 7823, 6840, 7620, 7480, 2327, 1747, 7792,
                                   6765, 7332, 7558, 8245, 6031, 26914, 23165, 25483, 25621, 8237,
                                   6130, 27194, 23264, 26131, 26294]
    # Four alleles with three empty classes (order 6): the standard rules of
    # 8 and 16 nodes converged slower than they count on here, and claimed
    # 6e-14 while missing by 4e-12.
    yield "hardy_weinberg", (4,), [1, 1, 4, 2, 3, 2, 1, 2, 3, 2]
    # Four alleles whose contour crosses the real axis by s = 0, where 1 - M
    # magnifies the rounding of ln M: the small-argument log-gamma terms
    # rounded more than counted (missed by 1.03e-12, claiming 8.1e-13).
    yield "hardy_weinberg", (4,), [2, 3, 3, 5, 4, 3, 2, 5, 1, 3]
    # Two cells: a tail near the bottom of the double range, where the
    # incomplete beta function's intermediate powers lose digits (missed by
    # 3e-6 relative); an end by 1, whose distance from 1 the end itself
    # rounds away (missed by 1e-12); a point by the mode of two large cells,
    # where the gap's rounding moves the evidence by 1e-12 (not converged);
    # ends beyond the double range (an exception escaped).
    for a1, a2, p0 in [(39, 66, 7.5132642261990093e-09), (9097, 1.0001543442076355, 0.99999999999965139),
                       (77626.346651070315, 77998.260474777955, 0.49877122281088293),
                       (2424, 2, 9.5849306604223224e-10), (2, 27, 0.99999999999999278)]:
        yield "proportion", (2,), [a1, a2, p0, 1 - p0]
    # Two cells, a small whole shape beside a large one, where the incomplete
    # beta function's error grows with the shapes' sum: the negative binomial
    # sums.
    # The last, an end found by Newton's method whose gap is steep in x: the
    # end one step before the last missed by 1e-12 relative, claiming 1e-13.
    for a1, a2, p0 in [(2, 61779, 4.38248e-05), (11, 81397, 0.000176397),
                       (17, 6207903.7455283366, 2.1757150434568555e-06),
                       (5788648.983392016, 7, 0.99999899536504422),
                       (31, 927494320162.07874, 7.8112359918021614e-12)]:
        yield "proportion", (2,), [a1, a2, p0, 1 - p0]


def main():
    print("// Generated by reference_values.py: hypothesis, shape, values, log10 of the evidence.")
    for h, shape, a in tables():
        values = list(a)
        if h == "proportion" and shape == (2,):
            values = a[:3]  # the fixed shape's A1 A2 p0
        shown = ", ".join(repr(float(x)) for x in values)
        rows, cols = (shape[0], shape[1]) if len(shape) == 2 else (
            (shape[0], 1) if h == "hardy_weinberg" else (1, shape[0]))
        value = log10_evidence(h, shape, a)
        print(f'{{"{h}", {{{rows}, {cols}}}, {{{shown}}}, {mp.nstr(value, 25)}L}},')


if __name__ == "__main__":
    main()
