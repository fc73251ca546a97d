#!/usr/bin/python3
"""Whole runs of the batch tool beside the peer libraries, in one sitting.

For n objects (random normal points with 10 coordinates, a fixed seed) it
writes their Euclidean distances as a native data file and the points as an
observation table, then for every method times
  - the tool's engine (prepare + agglomerate, from --timings), each run a
    fresh process reading the native file;
  - fastcluster.linkage (Debian's python3-fastcluster) and
    scipy.cluster.hierarchy.linkage on the same condensed distances, in this
    process, best of three;
and the observation path (the tool's load + distances against scipy's
pdist). Prints medians and bests in milliseconds.

Usage: peer_linkage.py PATH_TO_cluster-analysis-batch [N ...]   (default 1000 5000)
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

import fastcluster
import numpy as np
from scipy.cluster import hierarchy
from scipy.spatial.distance import pdist, squareform

METHODS = ["single", "complete", "average", "weighted", "median", "centroid", "ward"]
RUNS = 3


def timings(tool, arguments):
    result = subprocess.run([tool, "--timings", "--quiet"] + arguments, capture_output=True, check=True,
                            env=dict(os.environ, LC_ALL="C"))
    phases = {}
    for line in result.stderr.decode().splitlines():
        name, milliseconds = line.split("\t")
        phases[name] = float(milliseconds)
    return phases


def best(function):
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        function()
        times.append((time.perf_counter() - start) * 1000)
    return min(times), statistics.median(times)


def main():
    tool = sys.argv[1]
    sizes = [int(n) for n in sys.argv[2:]] or [1000, 5000]
    folder = tempfile.mkdtemp()
    random = np.random.default_rng(20261208)
    for n in sizes:
        points = random.normal(size=(n, 10))
        distances = pdist(points)
        square = squareform(distances)
        native = os.path.join(folder, "m%d.txt" % n)
        with open(native, "w", newline="") as out:
            out.write("%d\r\n" % n)
            out.write("".join("o%d\r\n" % i for i in range(n)))
            for i in range(1, n):
                out.write("".join("%.17g\r\n" % v for v in square[i, :i]))
        table = os.path.join(folder, "t%d.csv" % n)
        with open(table, "w") as out:
            for r, row in enumerate(points):
                out.write("o%d," % r + ",".join(repr(float(v)) for v in row) + "\n")
        print("n = %d" % n)
        print("%-9s %12s %12s %22s %12s" % ("method", "engine med", "engine best", "fastcluster best/med", "scipy best"))
        for method in METHODS:
            engine = []
            for _ in range(RUNS):
                phases = timings(tool, ["--method", method, native])
                engine.append(phases["prepare"] + phases["agglomerate"])
            fast = best(lambda: fastcluster.linkage(distances, method=method))
            sci = best(lambda: hierarchy.linkage(distances, method=method))
            print("%-9s %12.1f %12.1f %10.1f / %9.1f %12.1f" %
                  (method, statistics.median(engine), min(engine), fast[0], fast[1], sci[0]))
        observation = []
        for _ in range(RUNS):
            phases = timings(tool, ["--method", "ward", "--observations", table])
            observation.append(phases["load"] + phases["distances"])
        peer = best(lambda: pdist(np.loadtxt(table, delimiter=",", usecols=range(1, 11))))
        print("observations load + distances: tool %.1f ms (median), numpy loadtxt + pdist %.1f ms (best)" %
              (statistics.median(observation), peer[0]))


if __name__ == "__main__":
    main()
