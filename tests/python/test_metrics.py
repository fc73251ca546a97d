"""The metrics for observations against SciPy's pdist and R's dist, the
trees that follow, and every case a metric leaves undefined."""

import shutil
import tempfile
import subprocess

import numpy as np
import pytest
import scipy.cluster.hierarchy as sch
from scipy.spatial.distance import pdist

import cluster_analysis as ca

TRUTH_METRICS = ["hamming", "jaccard", "dice", "rogerstanimoto", "russellrao", "sokalmichener", "sokalsneath",
                 "yule", "kulczynski1"]
NUMBER_METRICS = ["euclidean", "sqeuclidean", "cityblock", "chebyshev", "minkowski", "seuclidean", "mahalanobis",
                  "cosine", "correlation", "canberra", "braycurtis", "jensenshannon"]


def data_for(metric, seed):
    rng = np.random.default_rng(seed)
    if metric in TRUTH_METRICS:
        # 0/1 rows, none equal to another and none all zero, so that every
        # metric is defined for every pair.
        rows = set()
        while len(rows) < 40:
            row = tuple(rng.integers(0, 2, size=12))
            if any(row):
                rows.add(row)
        return np.array(sorted(rows), dtype=float)
    if metric in ("jensenshannon", "canberra"):
        # Weights; for canberra positive values, since a pair of opposite
        # signs makes a term exactly 1, and equal sums of such terms are
        # ties.
        return rng.random((40, 6)) + 0.01
    values = rng.normal(size=(40, 5))
    if metric not in ("cosine", "correlation"):
        # Columns of different scales (which would make the cosines lie
        # within 1e-7 of 1, where SciPy's 1 - cos keeps only 9 digits).
        values[:, 2] *= 1e3
    return values


@pytest.mark.parametrize("metric", NUMBER_METRICS + TRUTH_METRICS)
def test_every_metric_is_scipys(metric):
    x = data_for(metric, 7)
    p = 3.5 if metric == "minkowski" else 2
    expected = pdist(x, metric, p=p) if metric == "minkowski" else pdist(x, metric)
    np.testing.assert_allclose(ca.pdist(x, metric, p=p), expected, rtol=1e-12, atol=1e-15)
    # The trees follow: continuous values have no ties, so SciPy's trees are
    # ours (0/1 data tie everywhere, and each program settles ties its way).
    if metric not in TRUTH_METRICS:
        for method in ["single", "complete", "average", "weighted"]:
            ours = ca.linkage(x, method, metric, p=p)
            theirs = sch.linkage(expected, method)
            np.testing.assert_array_equal(ours[:, [0, 1, 3]], theirs[:, [0, 1, 3]])
            np.testing.assert_allclose(ours[:, 2], theirs[:, 2], rtol=1e-12)


def test_minkowski_at_its_edges():
    x = data_for("minkowski", 8)
    np.testing.assert_allclose(ca.pdist(x, "minkowski", p=1), pdist(x, "cityblock"), rtol=1e-15)
    np.testing.assert_array_equal(ca.pdist(x, "minkowski", p=np.inf), pdist(x, "chebyshev"))
    np.testing.assert_allclose(ca.pdist(x, "minkowski", p=0.5), pdist(x, "minkowski", p=0.5), rtol=1e-12)


@pytest.mark.skipif(shutil.which("Rscript") is None, reason="R is not installed")
def test_r_names_are_rs():
    x = data_for("minkowski", 9)
    x[::3, 1] = 0  # zeros, for R's binary
    x[::4, :] = np.abs(x[::4, :])
    table = "\n".join(",".join(repr(v) for v in row) for row in x)
    script = ("x <- as.matrix(read.csv(file('stdin'), header = FALSE)); "
              "for (m in c('manhattan', 'maximum', 'binary', 'canberra')) "
              "cat(format(as.vector(dist(x, m)), digits = 17), '\\n')")
    run = subprocess.run(["Rscript", "-e", script], input=table, capture_output=True, text=True, check=True)
    lines = run.stdout.strip().split("\n")
    # R's canberra is rcanberra here (the zero columns left out, the sum
    # rescaled); SciPy's keeps the name.
    for metric, line in zip(["manhattan", "maximum", "binary", "rcanberra"], lines):
        expected = np.array([float(v) for v in line.split()])
        np.testing.assert_allclose(ca.pdist(x, metric), expected, rtol=1e-12, atol=1e-15, err_msg=metric)


@pytest.mark.parametrize(
    "metric, x, words",
    [
        ("cosine", [[1, 2], [0, 0], [3, 1]], "row 1 is zero in every column: cosine is undefined"),
        ("correlation", [[1, 2, 3], [2, 2, 2], [3, 1, 0]], "row 1 is the same in every column"),
        ("seuclidean", [[1, 5], [2, 5], [3, 5]], "column 1 is the same in every row"),
        ("mahalanobis", [[1, 2, 3], [4, 5, 6], [7, 8, 10]], "covariance of the columns is singular"),
        ("mahalanobis", [[1, 2], [2, 4], [3, 6], [4, 8.0]], "covariance of the columns is singular"),
        ("braycurtis", [[1, -1], [-1, 1], [2, 3]], "rows 0 and 1 add up to zero"),
        ("jensenshannon", [[1, 2], [3, -1], [1, 1]], "row 1, column 1 is negative"),
        ("jensenshannon", [[1, 2], [0, 0], [1, 1]], "row 1 is zero in every column"),
        ("dice", [[0, 0], [0, 0], [1, 1]], "rows 0 and 1 are zero in every column: dice"),
        ("sokalsneath", [[0, 0], [1, 0], [0, 0]], "rows 0 and 2 are zero in every column: sokalsneath"),
        ("kulczynski1", [[1, 0], [1, 0], [0, 1]], "rows 0 and 1 agree in every column"),
    ],
)
def test_an_undefined_metric_names_its_cause(metric, x, words):
    for call in (lambda: ca.pdist(x, metric), lambda: ca.linkage(x, "average", metric)):
        with pytest.raises(ValueError, match=words):
            call()


def test_what_the_methods_and_paths_refuse():
    x = data_for("cityblock", 10)
    for method in ["median", "centroid", "ward"]:
        with pytest.raises(ValueError, match="defined by Euclidean geometry"):
            ca.linkage(x, method, "cityblock")
    # Single linkage grows its spanning tree over any metric without the
    # matrix: the same tree (no ties in these values).
    for metric in ["cityblock", "cosine", "canberra"]:
        np.testing.assert_array_equal(ca.linkage(x, "single", metric, memory_saving=True),
                                      ca.linkage(x, "single", metric, memory_saving=False))
    with pytest.raises(ValueError, match="p must be greater than 0"):
        ca.pdist(x, "minkowski", p=0)
    with pytest.raises(ValueError, match="Unknown Distance Metric"):
        ca.pdist(x, "taxicab")
    # The median, centroid and Ward methods still take a metric's values
    # given as dissimilarities.
    y = pdist(x, "cityblock")
    np.testing.assert_allclose(ca.linkage(y, "ward")[:, 2], sch.linkage(y, "ward")[:, 2], rtol=1e-12)


@pytest.mark.skipif(shutil.which("Rscript") is None, reason="R is not installed")
def test_missing_values_taken_pairwise_as_rs_dist():
    rng = np.random.default_rng(11)
    x = rng.normal(size=(25, 6))
    x[rng.random(x.shape) < 0.2] = np.nan
    x[3, :] = [np.nan, 1, np.nan, 2, np.nan, 0]  # zeros and gaps, for binary
    table = "\n".join(",".join("NA" if np.isnan(v) else repr(v) for v in row) for row in x)
    names = {"euclidean": "euclidean", "cityblock": "manhattan", "chebyshev": "maximum", "binary": "binary",
             "minkowski": "minkowski"}
    script = ("x <- as.matrix(read.csv(file('stdin'), header = FALSE)); "
              "for (m in c(%s)) cat(format(as.vector(dist(x, m, p = 3)), digits = 17), '\\n')"
              % ", ".join("'%s'" % r for r in names.values()))
    run = subprocess.run(["Rscript", "-e", script], input=table, capture_output=True, text=True, check=True)
    for metric, line in zip(names, run.stdout.strip().split("\n")):
        expected = np.array([float(v) for v in line.split()])
        ours = ca.pdist(x, metric, p=3, missing="pairwise")
        np.testing.assert_allclose(ours, expected, rtol=1e-12, atol=1e-15, err_msg=metric)
    # The tree on them is the tree on those dissimilarities; Ward's on the
    # squares, as the methods on squares take them.
    y = ca.pdist(x, missing="pairwise")
    for method in ["average", "ward"]:
        np.testing.assert_allclose(ca.linkage(x, method, missing="pairwise")[:, 2],
                                   sch.linkage(y, method)[:, 2], rtol=1e-12)


def test_missing_values_are_refused_unless_taken_pairwise():
    x = [[1, 2], [np.nan, 3], [4, 5.0]]
    for call in (lambda: ca.linkage(x, "single"), lambda: ca.pdist(x)):
        with pytest.raises(ValueError, match=r"row 1, column 0 is a missing value \(NaN\); give missing='pairwise'"):
            call()
    with pytest.raises(ValueError, match="hold no coordinate both"):
        ca.pdist([[1, np.nan], [np.nan, 2], [3, 4]], missing="pairwise")
    with pytest.raises(ValueError, match="not by cosine"):
        ca.pdist(x, "cosine", missing="pairwise")
    with pytest.raises(ValueError, match="only single linkage works from the coordinates with missing values"):
        ca.linkage(x, "ward", missing="pairwise", memory_saving=True)
    np.testing.assert_array_equal(ca.linkage(x, "single", missing="pairwise", memory_saving=True),
                                  ca.linkage(x, "single", missing="pairwise", memory_saving=False))
    with pytest.raises(ValueError, match="'refuse' or 'pairwise'"):
        ca.pdist(x, missing="ignore")


def test_decimal_ties_stay_ties():
    # 0.2 - 0.1 and 0.3 - 0.2 are both 0.1, which doubles make unequal
    # (SciPy merges the second pair first); exact, the tie rule takes the
    # pair formed first.
    x = [[0.1], [0.2], [0.3]]
    np.testing.assert_array_equal(ca.linkage(x, "single")[:, :2], [[0, 1], [2, 3]])
    y = ca.pdist(x, "cityblock")
    assert y[0] == y[2] == 0.1
    # Points on a 0.1 grid: pairs at equal squared distances, computed
    # exactly from the decimals with fractions, get equal values, and
    # every value is the exact one rounded.
    import decimal
    from fractions import Fraction
    decimal.getcontext().prec = 40
    rng = np.random.default_rng(12)
    grid = rng.integers(0, 40, size=(60, 3)) / 10
    exact = {}
    for a in range(60):
        for b in range(a + 1, 60):
            exact[(a, b)] = sum((Fraction(repr(grid[a, c])) - Fraction(repr(grid[b, c]))) ** 2 for c in range(3))
    for metric in ["sqeuclidean", "euclidean"]:
        ours = ca.pdist(grid, metric)
        values = list(exact.values())
        for k, value in enumerate(values):
            precise = decimal.Decimal(value.numerator) / decimal.Decimal(value.denominator)
            expected = float(precise if metric == "sqeuclidean" else precise.sqrt())
            assert abs(ours[k] - expected) <= 1.2e-16 * expected
        classes = {}
        for k, value in enumerate(values):
            classes.setdefault(value, set()).add(ours[k])
        assert all(len(seen) == 1 for seen in classes.values())


@pytest.mark.skipif(subprocess.run(["Rscript", "-e", "library(cluster)"], capture_output=True).returncode != 0
                    if shutil.which("Rscript") else True, reason="R's cluster package is not installed")
def test_gower_is_rs_daisy():
    pandas = pytest.importorskip("pandas")
    rng = np.random.default_rng(13)
    n = 30
    frame = pandas.DataFrame({
        "size": rng.normal(size=n) * 10,
        "colour": rng.choice(["赤", "blue", "green"], size=n),
        "grade": rng.integers(1, 4, size=n),
        "score": rng.random(size=n),
    })
    frame.loc[rng.random(n) < 0.15, "size"] = np.nan
    frame.loc[rng.random(n) < 0.15, "colour"] = None
    frame.loc[3, "score"] = np.nan
    with tempfile.NamedTemporaryFile("w", suffix=".csv", delete=False, encoding="utf-8") as file:
        frame.to_csv(file, index=False)
    script = ("library(cluster); x <- read.csv('%s', stringsAsFactors = TRUE, encoding = 'UTF-8', na.strings = c('', 'NA')); "
              "x$grade <- factor(x$grade); cat(format(as.vector(daisy(x, metric = 'gower')), digits = 17))"
              % file.name)
    run = subprocess.run(["Rscript", "-e", script], capture_output=True, text=True, check=True)
    expected = np.array([float(v) for v in run.stdout.split()])
    np.testing.assert_allclose(ca.pdist(frame, "gower", categorical=["grade"]), expected, rtol=1e-12, atol=1e-15)
    # The same as numbers: the colours coded, the grades named by position.
    codes = {"赤": 0, "blue": 1, "green": 2}
    numeric = np.column_stack([frame["size"], [codes.get(c, np.nan) for c in frame["colour"]],
                               frame["grade"], frame["score"]]).astype(float)
    np.testing.assert_allclose(ca.pdist(numeric, "gower", categorical=[1, 2]), expected, rtol=1e-12, atol=1e-15)
    tree = ca.linkage(frame, "average", "gower", categorical=["grade"])
    np.testing.assert_allclose(tree[:, 2], sch.linkage(expected, "average")[:, 2], rtol=1e-12)
    with pytest.raises(ValueError, match="defined by Euclidean geometry"):
        ca.linkage(frame, "ward", "gower")
    with pytest.raises(ValueError, match="for metric='gower'"):
        ca.pdist(numeric, "cityblock", categorical=[1])
    with pytest.raises(ValueError, match="hold no column both"):
        ca.pdist([[1, np.nan], [np.nan, 2], [3, 4]], "gower")
