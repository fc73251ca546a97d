#!/usr/bin/python3
"""The batch tool against SciPy, the peer library other tools read.

On random observations without ties, for every method, from an observation
table and from a file of dissimilarities: the same merges, heights within
1e-12 relative in SciPy's units, the same member counts; a linkage matrix
that numpy reads and SciPy accepts and draws; the cophenetic correlation;
and the groups of a cut, as partitions. With --leaf-order optimal: the
order --order writes is the one SciPy's dendrogram draws from --linkage, and
its sum of neighbouring distances is never more than SciPy's
optimal_leaf_ordering's.

Usage: scipy_peer_test.py PATH_TO_cluster-analysis-batch
"""
import os
import subprocess
import sys
import tempfile

import numpy as np
from scipy.cluster import hierarchy
from scipy.spatial.distance import pdist, squareform

METHODS = ["single", "complete", "average", "weighted", "median", "centroid", "ward"]
TOOL = sys.argv[1]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(arguments):
    result = subprocess.run([TOOL] + arguments, capture_output=True, env=dict(os.environ, LC_ALL="C"))
    if result.returncode != 0:
        raise RuntimeError("%s: exit %d: %s" % (arguments, result.returncode, result.stderr.decode()))
    return result.stdout.decode()


def write_table(path, points):
    with open(path, "w") as table:
        table.write("name," + ",".join("x%d" % k for k in range(points.shape[1])) + "\n")
        for r, row in enumerate(points):
            table.write("o%d," % r + ",".join(repr(float(v)) for v in row) + "\n")


def write_native(path, distances, n):
    # The lower triangle row by row; pdist's condensed order is by the
    # first index, so it is rearranged.
    square = np.zeros((n, n))
    square[np.triu_indices(n, 1)] = distances
    square = square + square.T
    with open(path, "w", newline="") as native:
        native.write("%d\r\n" % n)
        for i in range(n):
            native.write("o%d\r\n" % i)
        for i in range(1, n):
            for j in range(i):
                native.write("%.17g\r\n" % square[i, j])


def compare_linkage(ours, theirs, what):
    check(ours.shape == theirs.shape, what + ": shape %s, SciPy %s" % (ours.shape, theirs.shape))
    if ours.shape != theirs.shape:
        return
    for k in range(len(ours)):
        pair = sorted(ours[k, :2])
        expected = sorted(theirs[k, :2])
        check(pair == expected, "%s: merge %d joins %s, SciPy %s" % (what, k + 1, pair, expected))
        height, expected_height = ours[k, 2], theirs[k, 2]
        check(abs(height - expected_height) <= 1e-12 * max(abs(expected_height), 1e-300),
              "%s: merge %d at %r, SciPy %r" % (what, k + 1, height, expected_height))
        check(ours[k, 3] == theirs[k, 3], "%s: merge %d counts %d, SciPy %d" % (what, k + 1, ours[k, 3], theirs[k, 3]))


def same_partition(a, b):
    pairs = set(zip(a, b))
    return len(pairs) == len(set(a)) == len(set(b))


def order_cost(order, distances):
    square = squareform(distances)
    return sum(square[a, b] for a, b in zip(order[:-1], order[1:]))


def check_leaf_order(table, points, method, what):
    distances = pdist(points)
    out = run(["--method", method, "--observations", "--leaf-order", "optimal", "--linkage", "-", table])
    ours = np.loadtxt(out.splitlines(), ndmin=2)
    labels = run(["--method", method, "--observations", "--leaf-order", "optimal", "--order", "-", table]).split()
    drawn = list(hierarchy.leaves_list(ours))
    check(labels == ["o%d" % k for k in drawn], what + ": --order is not the linkage's leaf order")
    theirs = hierarchy.leaves_list(hierarchy.optimal_leaf_ordering(hierarchy.linkage(points, method), distances))
    check(order_cost(drawn, distances) <= order_cost(theirs, distances) * (1 + 1e-12),
          "%s: leaf order sum %r, SciPy's %r" % (what, order_cost(drawn, distances), order_cost(theirs, distances)))


def main():
    random = np.random.default_rng(20261208)
    folder = tempfile.mkdtemp()
    table = os.path.join(folder, "points.csv")
    native = os.path.join(folder, "distances.txt")
    for n, dimensions in [(2, 1), (3, 2), (12, 3), (70, 5)]:
        points = random.normal(size=(n, dimensions)) * 10 ** random.uniform(-3, 3)
        distances = pdist(points)
        write_table(table, points)
        write_native(native, distances, n)
        for method in METHODS:
            what = "%s n=%d" % (method, n)
            expected = hierarchy.linkage(points, method=method)
            ours = np.loadtxt(run(["--method", method, "--observations", "--linkage", "-", table]).splitlines(), ndmin=2)
            compare_linkage(ours, expected, what + " (observations)")
            check(hierarchy.is_valid_linkage(ours), what + ": SciPy does not take the linkage matrix")
            hierarchy.dendrogram(ours, no_plot=True)
            from_file = np.loadtxt(run(["--method", method, "--linkage", "-", native]).splitlines(), ndmin=2)
            compare_linkage(from_file, hierarchy.linkage(distances, method=method), what + " (dissimilarities)")
            if n > 2:
                correlation = float(run(["--method", method, "--observations", "--cophenetic", "-", table]))
                expected_correlation = hierarchy.cophenet(expected, distances)[0]
                check(abs(correlation - expected_correlation) <= 1e-12,
                      "%s: cophenetic %r, SciPy %r" % (what, correlation, expected_correlation))
            if n > 2:
                check_leaf_order(table, points, method, what)
            for groups in sorted({1, 2, n // 2 or 1, n}):
                lines = run(["--method", method, "--observations", "--cut", str(groups), "--groups", "-", table])
                ours_groups = [int(line.split("\t")[1]) for line in lines.splitlines()]
                check(sorted(set(ours_groups)) == list(range(1, groups + 1)), what + ": groups %s" % ours_groups)
                if method not in ("centroid", "median"):  # SciPy's cut assumes no inversions
                    theirs = hierarchy.cut_tree(expected, n_clusters=groups)[:, 0]
                    check(same_partition(ours_groups, list(theirs)), "%s: cut into %d differs from SciPy" % (what, groups))
    for failure in failures[:40]:
        print(failure)
    print("%d disagreements" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
