"""The optimal leaf order against every order a small tree allows, and
against SciPy's optimal_leaf_ordering on random trees."""

import numpy as np
import pytest
import scipy.cluster.hierarchy as sch
from scipy.spatial.distance import pdist, squareform

import cluster_analysis as ca


def order_cost(Z, y):
    D = squareform(y)
    order = sch.leaves_list(Z)
    return float(sum(D[a, b] for a, b in zip(order[:-1], order[1:])))


def brute_force_least(Z, y):
    """The least cost over all 2^(n-1) ways of turning the rows."""
    rows = Z.shape[0]
    least = np.inf
    for bits in range(1 << rows):
        turned = Z.copy()
        for k in range(rows):
            if bits >> k & 1:
                turned[k, [0, 1]] = turned[k, [1, 0]]
        least = min(least, order_cost(turned, y))
    return least


@pytest.mark.parametrize("method", ["single", "average", "ward"])
def test_the_order_is_the_least_of_every_order_the_tree_allows(method):
    rng = np.random.default_rng(7)
    for _ in range(12):
        y = rng.integers(1, 40, size=28).astype(float)  # 8 objects; whole numbers sum exactly
        Z = ca.linkage(y, method)
        ordered = ca.optimal_leaf_ordering(Z, y)
        assert order_cost(ordered, y) == brute_force_least(Z, y)


@pytest.mark.parametrize("method", ["complete", "average", "ward", "centroid"])
def test_never_worse_than_scipys_and_the_same_tree(method):
    for seed in range(6):
        X = np.random.default_rng(seed).normal(size=(60, 3))
        y = pdist(X)
        ours = ca.linkage(X, method, optimal_ordering=True)
        theirs = sch.linkage(X, method, optimal_ordering=True)
        assert order_cost(ours, y) <= order_cost(theirs, y) * (1 + 1e-12)
        # Only the order within rows differs from the plain tree.
        plain = ca.linkage(X, method)
        np.testing.assert_array_equal(np.sort(ours[:, :2], axis=1), plain[:, :2])
        np.testing.assert_array_equal(ours[:, 2:], plain[:, 2:])
        # SciPy reads it: its dendrogram draws the order.
        assert sorted(sch.leaves_list(ours)) == list(range(60))


def test_condensed_observations_and_the_callers_arrays():
    X = np.random.default_rng(3).normal(size=(25, 2))
    y = pdist(X)
    Z = ca.linkage(y, "average")
    before = Z.copy()
    from_condensed = ca.optimal_leaf_ordering(Z, y)
    np.testing.assert_array_equal(Z, before)
    np.testing.assert_array_equal(ca.optimal_leaf_ordering(Z, X), from_condensed)
    np.testing.assert_array_equal(ca.linkage(y, "average", optimal_ordering=True), from_condensed)
    # Observations of any precision NumPy holds.
    np.testing.assert_array_equal(ca.linkage(X.astype(np.longdouble), "average", optimal_ordering=True)[:, :2],
                                  ca.linkage(X, "average", optimal_ordering=True)[:, :2])


@pytest.mark.parametrize("y, words", [
    (np.ones(5), "objects"),
    (np.array([1.0, np.nan, 1.0]), "finite"),
])
def test_dissimilarities_that_do_not_fit_the_tree_are_value_errors(y, words):
    Z = ca.linkage([1.0, 2.0, 3.0], "single")
    with pytest.raises(ValueError, match=words):
        ca.optimal_leaf_ordering(Z, y)
