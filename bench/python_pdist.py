#!/usr/bin/python3
"""cluster_analysis.pdist beside scipy.spatial.distance.pdist in one process.

For 5000 x 10 observations (a fixed seed; 0/1 values for the metrics of
truth values, positive weights for jensenshannon), times one metric of
each family on the same array, best and median of five runs each,
alternated. Prints milliseconds and our time / SciPy's.

Usage: PYTHONPATH=build/python bench/python_pdist.py [N]   (default 5000)
"""
import statistics
import sys
import time

import cluster_analysis
import numpy as np
from scipy.spatial.distance import pdist

FAMILIES = [("sums", "cityblock"), ("sums", "sqeuclidean"), ("sums", "minkowski"), ("most", "chebyshev"),
            ("scaled", "seuclidean"), ("scaled", "mahalanobis"), ("angles", "cosine"), ("angles", "correlation"),
            ("ratios", "canberra"), ("ratios", "braycurtis"), ("weights", "jensenshannon"),
            ("truth", "hamming"), ("truth", "jaccard"), ("truth", "dice"), ("truth", "yule")]
RUNS = 5


def timed(call):
    start = time.perf_counter()
    call()
    return (time.perf_counter() - start) * 1000


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 5000
    rng = np.random.default_rng(1)
    truth = (rng.random((n, 10)) < 0.5).astype(float)
    truth[:, 0] = 1  # no row all zero, for which dice and yule are undefined
    data = {"numbers": rng.normal(size=(n, 10)), "weights": rng.random((n, 10)) + 0.01, "truth": truth}
    print("family\tmetric\tours best\tours median\tscipy best\tscipy median\tratio (best)")
    for family, metric in FAMILIES:
        x = data["truth"] if family == "truth" else data["weights"] if family == "weights" else data["numbers"]
        # SciPy's metrics of truth values take booleans (as it converts them).
        theirs_x = x.astype(bool) if metric in ("dice", "yule") else x
        ours, theirs = [], []
        for _ in range(RUNS):
            ours.append(timed(lambda: cluster_analysis.pdist(x, metric)))
            theirs.append(timed(lambda: pdist(theirs_x, metric)))
        print("%s\t%s\t%.0f\t%.0f\t%.0f\t%.0f\t%.2f" % (family, metric, min(ours), statistics.median(ours),
                                                      min(theirs), statistics.median(theirs),
                                                      min(ours) / min(theirs)))


if __name__ == "__main__":
    main()
