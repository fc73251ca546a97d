#!/usr/bin/python3
"""cluster_analysis.optimal_leaf_ordering beside SciPy's in one process.

For n random observations in 5 dimensions (a fixed seed), the average
linkage tree is ordered by each on the same tree and distances; the best
of three runs each (one for SciPy beyond 1000 objects, which takes
minutes), alternated. Prints milliseconds, our time / SciPy's and both
orders' sums of neighbouring distances.

Usage: PYTHONPATH=build/python bench/python_leaf_order.py [N ...]   (default 500 1000 2000)
"""
import sys
import time

import cluster_analysis
import numpy as np
import scipy.cluster.hierarchy as sch
from scipy.spatial.distance import pdist, squareform


def timed(call):
    start = time.perf_counter()
    result = call()
    return (time.perf_counter() - start) * 1000, result


def order_sum(Z, y):
    square = squareform(y)
    order = sch.leaves_list(Z)
    return float(square[order[:-1], order[1:]].sum())


def main():
    sizes = [int(a) for a in sys.argv[1:]] or [500, 1000, 2000]
    print("%6s %12s %12s %8s %14s %14s" % ("n", "ours ms", "scipy ms", "ratio", "our sum", "scipy's sum"))
    for n in sizes:
        X = np.random.default_rng(n).normal(size=(n, 5))
        y = pdist(X)
        Z = sch.linkage(y, "average")
        runs = 3 if n <= 1000 else 1
        ours = theirs = float("inf")
        for _ in range(runs):
            t, our_z = timed(lambda: cluster_analysis.optimal_leaf_ordering(Z, y))
            ours = min(ours, t)
            t, their_z = timed(lambda: sch.optimal_leaf_ordering(Z, y))
            theirs = min(theirs, t)
        print("%6d %12.1f %12.1f %8.3f %14.6f %14.6f" % (n, ours, theirs, ours / theirs, order_sum(our_z, y),
                                                          order_sum(their_z, y)))


if __name__ == "__main__":
    main()
