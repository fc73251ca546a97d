#!/usr/bin/python3
"""Times the peer library's memory-saving clustering of observations,
fastcluster.linkage_vector (Debian's python3-fastcluster), on the kind of
data bench_coordinates.cpp clusters: n observations of 10 coordinates drawn
from the standard normal distribution with a fixed seed, as float64.

Usage: peer_linkage_vector.py N [METHOD ...] [--repeat R]
Methods default to ward, centroid and single. Prints one line per method:
the best of R wall-clock times, in seconds.
"""
import argparse
import time

import fastcluster
import numpy


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("n", type=int)
    parser.add_argument("methods", nargs="*", default=["ward", "centroid", "single"])
    parser.add_argument("--columns", type=int, default=10)
    parser.add_argument("--repeat", type=int, default=1)
    args = parser.parse_args()
    values = numpy.random.default_rng(20240615).standard_normal((args.n, args.columns))
    for method in args.methods:
        best = None
        for _ in range(args.repeat):
            start = time.perf_counter()
            fastcluster.linkage_vector(values, method=method)
            elapsed = time.perf_counter() - start
            best = elapsed if best is None else min(best, elapsed)
        print(f"fastcluster.linkage_vector {method:8s} n={args.n} d={args.columns}: {best:.3f} s")


if __name__ == "__main__":
    main()
