#!/usr/bin/python3
"""cluster_analysis.linkage beside fastcluster in one process, one sitting.

For n random normal points of 10 coordinates (a fixed seed), times
cluster_analysis.linkage(y, m) and fastcluster.linkage(y, m) on the same
condensed float64 array for every method, best and median of five runs
each, alternated; then, for 20,000 x 10 observations,
linkage(X, m, memory_saving=True) beside fastcluster.linkage_vector(X, m).
Prints milliseconds and our time / fastcluster's.

Usage: PYTHONPATH=build/python bench/python_linkage.py [N ...]   (default 1000 5000)
"""
import statistics
import sys
import time

import cluster_analysis
import fastcluster
import numpy as np
from scipy.spatial.distance import pdist

METHODS = ["single", "complete", "average", "weighted", "median", "centroid", "ward"]
RUNS = 5


def timed(call):
    start = time.perf_counter()
    call()
    return (time.perf_counter() - start) * 1000


def side_by_side(ours, theirs, runs=RUNS):
    a, b = [], []
    for _ in range(runs):
        a.append(timed(ours))
        b.append(timed(theirs))
    return min(a), statistics.median(a), min(b), statistics.median(b)


def main():
    sizes = [int(arg) for arg in sys.argv[1:]] or [1000, 5000]
    random = np.random.default_rng(20)
    print("n\tmethod\tours best\tours median\tfastcluster best\tfastcluster median\tratio (best)")
    for n in sizes:
        y = pdist(random.normal(size=(n, 10)))
        for method in METHODS:
            ob, om, fb, fm = side_by_side(lambda: cluster_analysis.linkage(y, method),
                                          lambda: fastcluster.linkage(y, method))
            print("%d\t%s\t%.1f\t%.1f\t%.1f\t%.1f\t%.2f" % (n, method, ob, om, fb, fm, ob / fb))
    x = random.normal(size=(20000, 10))
    for method in ["ward", "centroid", "median", "single"]:
        ob, om, fb, fm = side_by_side(lambda: cluster_analysis.linkage(x, method, memory_saving=True),
                                      lambda: fastcluster.linkage_vector(x, method), runs=2)
        print("20000x10\t%s vector\t%.0f\t%.0f\t%.0f\t%.0f\t%.2f" % (method, ob, om, fb, fm, ob / fb))


if __name__ == "__main__":
    main()
