"""The Python module against SciPy and fastcluster (Debian's packages), and
at its edges: every bad input, the caller's arrays, interrupts, memory."""

import os
import signal
import subprocess
import sys
import tempfile
import threading
import warnings

import fastcluster
import numpy as np
import pytest
import scipy.cluster.hierarchy as sch
from scipy.spatial.distance import pdist

import cluster_analysis as ca

METHODS = ["single", "complete", "average", "weighted", "median", "centroid", "ward"]
COORDINATE_METHODS = ["single", "median", "centroid", "ward"]


def random_observations(n, d, seed):
    return np.random.default_rng(seed).normal(size=(n, d))


def assert_same_tree(ours, theirs, rtol=1e-12):
    """The same merges (ids and sizes) and heights within rtol."""
    assert ours.dtype == np.float64 and ours.shape == theirs.shape
    # SciPy and fastcluster put the smaller id first too.
    expected = np.column_stack([np.sort(theirs[:, :2], axis=1), theirs[:, 3]])
    np.testing.assert_array_equal(ours[:, [0, 1, 3]], expected)
    np.testing.assert_allclose(ours[:, 2], theirs[:, 2], rtol=rtol, atol=0)


@pytest.mark.parametrize("method", METHODS)
def test_condensed_input_gives_scipys_and_fastclusters_trees(method):
    y = pdist(random_observations(120, 4, 1))
    ours = ca.linkage(y, method)
    assert sch.is_valid_linkage(ours)
    assert_same_tree(ours, sch.linkage(y, method))
    assert_same_tree(ours, fastcluster.linkage(y, method))


@pytest.mark.parametrize("method", METHODS)
@pytest.mark.parametrize("memory_saving", [None, False, True])
def test_observations_on_either_path(method, memory_saving):
    x = random_observations(150, 3, 2)
    if memory_saving and method not in COORDINATE_METHODS:
        with pytest.raises(ValueError, match="memory_saving=True works for"):
            ca.linkage(x, method, memory_saving=memory_saving)
        return
    ours = ca.linkage(x, method, memory_saving=memory_saving)
    assert_same_tree(ours, sch.linkage(x, method))
    assert_same_tree(ours, fastcluster.linkage(x, method))


def test_scipys_functions_take_the_result():
    x = random_observations(60, 2, 3)
    y = pdist(x)
    Z = ca.linkage(y, "average")
    leaves = sch.dendrogram(Z, no_plot=True)["leaves"]
    assert sorted(leaves) == list(range(60))
    assert sch.to_tree(Z).get_count() == 60
    np.testing.assert_allclose(sch.cophenet(Z, y)[0], ca.cophenetic_correlation(Z, y), rtol=1e-13)
    # Our cut and SciPy's fcluster make the same partitions.
    for k in (1, 2, 5, 60):
        ours = ca.cut(Z, n_clusters=k)
        theirs = sch.fcluster(Z, k, criterion="maxclust")
        assert len(set(ours)) == k
        assert len(set(zip(ours, theirs))) == k
    height = Z[30, 2]
    assert len(set(zip(ca.cut(Z, height=height), sch.fcluster(Z, height, criterion="distance")))) == len(
        set(ca.cut(Z, height=height)))


def test_the_three_objects_of_the_guide():
    y = [2.5, 4, 1.25]
    Z = ca.linkage(y, "ward")
    np.testing.assert_array_equal(Z[:, [0, 1, 3]], [[1, 2, 2], [0, 3, 3]])
    assert Z[0, 2] == 1.25 and Z[1, 2] == np.sqrt(14.3125)
    assert ca.to_newick(ca.linkage(y, "average"), ["A", "B", "C"]) == "(A:3.25,(B:1.25,C:1.25):2);\n"
    assert ca.to_newick(ca.linkage(y, "average")) == "(0:3.25,(1:1.25,2:1.25):2);\n"
    assert ca.cophenetic_correlation(ca.linkage(y, "average"), y) == pytest.approx(8 / np.sqrt(91), rel=1e-15)


def test_conversions_and_the_callers_arrays():
    x32 = random_observations(40, 3, 4).astype(np.float32)
    before = x32.copy()
    Z = ca.linkage(x32, "ward")
    np.testing.assert_array_equal(x32, before)
    assert_same_tree(Z, sch.linkage(x32.astype(np.float64), "ward"))
    ints = np.array([[0, 0], [1, 1], [3, 0], [7, 7]])
    kept = ints.copy()
    ca.linkage(ints, "centroid")
    np.testing.assert_array_equal(ints, kept)
    y = np.array([2.5, 4, 1.25], dtype=np.longdouble)
    kept = y.copy()
    assert ca.linkage(y, "median").tolist() == ca.linkage(y.astype(np.float64), "median").tolist()
    np.testing.assert_array_equal(y, kept)
    # A list, a view with strides.
    wide = random_observations(30, 4, 5)
    np.testing.assert_array_equal(ca.linkage(wide[:, ::2], "single"), ca.linkage(wide[:, ::2].copy(), "single"))


def test_a_square_symmetric_matrix_draws_scipys_warning():
    square = np.array([[0, 1, 2], [1, 0, 3], [2, 3, 0]], dtype=float)
    with pytest.warns(ca.ClusterWarning, match="looks suspiciously like an uncondensed distance matrix"):
        ca.linkage(square, "single")
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        ca.linkage(random_observations(3, 3, 6), "single")


@pytest.mark.parametrize(
    "call, error, words",
    [
        (lambda: ca.linkage([1, np.nan, 2], "ward"), ValueError, "not a finite number"),
        (lambda: ca.linkage([[0, 1], [np.inf, 2]], "ward"), ValueError, "not a finite number"),
        (lambda: ca.linkage([1, 2], "ward"), ValueError, "no number of objects"),
        (lambda: ca.linkage([], "ward"), ValueError, "at least 2"),
        (lambda: ca.linkage([[1, 2]], "ward"), ValueError, "at least 2"),
        (lambda: ca.linkage(np.zeros((2, 2, 2)), "ward"), ValueError, "1 or 2 dimensional"),
        (lambda: ca.linkage([1, 2, 3], "upgma"), ValueError, "Invalid method: upgma"),
        (lambda: ca.linkage([[0, 1], [2, 3]], "single", "taxicab"), ValueError, "Unknown Distance Metric"),
        (lambda: ca.linkage([[0, 1], [2, 3]], "average", memory_saving=True), ValueError, "works for"),
        (lambda: ca.linkage(["a", "b", "c"], "single"), TypeError, "real numbers"),
        (lambda: ca.cut(ca.linkage([1, 2, 3], "single"), n_clusters=0), ValueError, "from 1 to 3"),
        (lambda: ca.cut(ca.linkage([1, 2, 3], "single"), n_clusters=4), ValueError, "from 1 to 3"),
        (lambda: ca.cut(ca.linkage([1, 2, 3], "single")), ValueError, "exactly one"),
        (lambda: ca.cut([[0, 1, 1, 2], [0, 2, 1, 2]], n_clusters=1), ValueError,
         "row 1 of the linkage matrix joins cluster 0, which an earlier row joined"),
        (lambda: ca.cut([[0, 3, 1, 2], [1, 2, 2, 3]], n_clusters=1), ValueError,
         "row 0 of the linkage matrix joins cluster 3, which is none of 0..2"),
        (lambda: ca.cut([[0, 2**31 - 1, 1, 2]], n_clusters=1), ValueError, "cluster 2147483647, which is none of 0..1"),
        (lambda: ca.cut([[0, 1, 1, 3]], n_clusters=1), ValueError, "counts 3 objects, and its clusters hold 2"),
        (lambda: ca.linkage(3.0, "single"), ValueError, "not a single number"),
        (lambda: ca.linkage([[0, 1], [2, 3]], "single", memory_saving=1), ValueError, "None, True or False"),
        (lambda: ca.cut(ca.linkage([1, 2, 3], "single"), height="2"), TypeError, "height is a number"),
        (lambda: ca.cut(ca.linkage([1, 2, 3], "single"), n_clusters=2**70), ValueError, "from 1 to 3"),
        (lambda: ca.cophenetic_correlation(ca.linkage([1, 2, 3], "single"), [1, np.nan, 3]), ValueError,
         "not a finite number"),
        (lambda: ca.linkage(np.array(["1", "x", "2"], dtype=object), "single"), TypeError, "real numbers"),
        (lambda: ca.load("/tmp/a\0b"), ValueError, "embedded null byte"),
        (lambda: ca.cut([[0, 1, 1]], n_clusters=1), ValueError, r"4\), not"),
        (lambda: ca.cophenetic_correlation(ca.linkage([1, 2, 3], "single"), [1, 2, 3, 4, 5, 6]), ValueError,
         "of 3 objects"),
        (lambda: ca.to_newick(ca.linkage([1, 2, 3], "single"), ["a"]), ValueError, "1 labels"),
        (lambda: ca.load("/nonexistent/data.txt"), FileNotFoundError, "/nonexistent/data.txt"),
    ],
)
def test_bad_input_raises_the_languages_errors(call, error, words):
    with pytest.raises(error, match=words):
        call()


def test_load_reads_the_desktop_programs_files():
    folder = tempfile.mkdtemp()
    native = os.path.join(folder, "cities.txt")
    with open(native, "wb") as f:
        f.write("3\r\n東京\r\n大阪\r\nC\r\n2.5\r\n4\r\n1.25\r\n".encode("cp932"))
    labels, y = ca.load(native)
    assert labels == ["東京", "大阪", "C"]
    assert y.dtype == np.longdouble and y.tolist() == [2.5, 4, 1.25]
    csv = os.path.join(folder, "iris.csv")
    with open(csv, "w") as f:
        f.write(',"a","b"\n"1",5.1,3.5\n"2",4.9,3\n')
    with pytest.raises(OSError, match="observations"):
        ca.load(csv)


def test_memory_that_does_not_fit_is_a_memory_error_before_it_is_taken():
    script = (
        "import resource, numpy as np, cluster_analysis as ca\n"
        "resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))\n"
        "try:\n"
        "    ca.linkage(np.ones(20000 * 19999 // 2 // 100), 'single')\n"
        "except ValueError:\n"
        "    pass\n"
        "try:\n"
        "    ca.linkage(np.zeros((20000, 2)), 'average', memory_saving=False)\n"
        "except MemoryError as e:\n"
        "    print('MemoryError:', e)\n"
    )
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=120)
    assert "MemoryError: the dissimilarity matrix of 20000 objects needs about" in result.stdout, result.stderr


def test_ctrl_c_stops_a_long_run():
    x = random_observations(40000, 2, 7)
    timer = threading.Timer(0.3, lambda: os.kill(os.getpid(), signal.SIGINT))
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            ca.linkage(x, "ward", memory_saving=True)
    finally:
        timer.cancel()
    # The engine is ready for the next run.
    assert ca.linkage([1, 2, 3], "single").shape == (2, 4)


def test_what_scipy_takes_is_taken_too():
    from decimal import Decimal
    from fractions import Fraction

    expected = ca.linkage([1.0, 2.0, 3.0], "average")
    for y in (np.array([1.0, 2.0, 3.0], dtype=object), [Decimal("1"), Decimal("2"), Decimal("3")],
              [Fraction(1), 2, 3]):
        np.testing.assert_array_equal(ca.linkage(y, "average"), expected)
    # A filter for SciPy's warning takes ours.
    with warnings.catch_warnings():
        warnings.filterwarnings("error", category=sch.ClusterWarning)
        with pytest.raises(sch.ClusterWarning):
            ca.linkage(np.array([[0, 1, 2], [1, 0, 3], [2, 3, 0]], dtype=float), "single")
    # Labels that are no clean UTF-8 still make a tree.
    assert ca.to_newick(ca.linkage([1, 2, 3], "single"), ["\udcff", b"B", "C"]).endswith(";\n")


def test_a_small_run_fits_a_small_address_space():
    # 250 MB of address space beside what the interpreter has mapped (the
    # run's worker thread maps 72 MB of it).
    script = ("import resource, cluster_analysis as ca\n"
              "size = [int(l.split()[1]) for l in open('/proc/self/status') if l.startswith('VmSize:')][0] * 1024\n"
              "resource.setrlimit(resource.RLIMIT_AS, (size + (250 << 20),) * 2)\n"
              "print(ca.linkage([1, 2, 3], 'single')[:, 2].tolist())\n")
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60)
    assert result.stdout.strip() == "[1.0, 2.0]", result.stderr


def test_a_value_that_is_not_finite_is_named_without_the_working_memory():
    # Single linkage reads the caller's doubles where they lie; a NaN among
    # them is named as it is found, not after taking the 300 MB of working
    # values the general procedure would fill, which this address space
    # does not have.
    script = ("import resource, numpy as np, cluster_analysis as ca\n"
              "y = np.ones(5000 * 4999 // 2); y[123456] = np.nan\n"
              "size = [int(l.split()[1]) for l in open('/proc/self/status') if l.startswith('VmSize:')][0] * 1024\n"
              "resource.setrlimit(resource.RLIMIT_AS, (size + (340 << 20),) * 2)\n"
              "try:\n    ca.linkage(y, 'single')\nexcept Exception as e:\n    print(type(e).__name__, e)\n")
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60)
    assert result.stdout.startswith("ValueError dissimilarity value 123456"), result.stdout + result.stderr


def test_version():
    assert isinstance(ca.__version__, str) and ca.__version__.count(".") >= 1


def test_the_readme_example_prints_what_it_shows():
    import doctest

    readme = os.path.join(os.path.dirname(__file__), "..", "..", "README.md")
    text = open(readme, encoding="utf-8").read()
    start = text.index("## Python")
    block = text[text.index("```pycon\n", start) + len("```pycon\n"):]
    block = block[: block.index("```")]
    test = doctest.DocTestParser().get_doctest(block, {}, "README", readme, 0)
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
    runner.run(test)
    assert runner.failures == 0
