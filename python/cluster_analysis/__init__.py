"""Exact hierarchical clustering: the Cluster Analysis engine in Python.

A drop-in beside :mod:`scipy.cluster.hierarchy`: :func:`linkage` returns
SciPy's linkage matrix, which SciPy's ``dendrogram``, ``fcluster``,
``cophenet`` and ``to_tree`` take as they take their own. Every merge is
computed in 80-bit extended arithmetic with a documented tie rule: of equal
dissimilarities the pair formed first merges first (the pair whose higher
id is lower, then whose lower id is; objects are 0..n-1, the k-th merge
n+k-1). The same data and method give the same tree, bit for bit, as the
program's batch tool ``cluster-analysis-batch``. (Observations clustered
from their coordinates, ``memory_saving=True``, follow the tie rule in the
order that path meets the ties: where values tie, its tree may differ from
the matrix's, which is the exact one.)

Functions
---------
linkage                 cluster dissimilarities or observations
optimal_leaf_ordering   turn a tree's merges so that neighbouring leaves are closest
cut                     group numbers of a tree cut by count or height
cophenetic_correlation  the cophenetic correlation coefficient
to_newick               the tree as Newick text
load                    the desktop program's data files

Examples
--------
>>> import numpy as np
>>> import cluster_analysis
>>> Z = cluster_analysis.linkage([2.5, 4, 1.25], 'average')
>>> Z
array([[1.  , 2.  , 1.25, 2.  ],
       [0.  , 3.  , 3.25, 3.  ]])
>>> cluster_analysis.cut(Z, n_clusters=2)
array([1, 2, 2], dtype=int32)
"""

import numbers as _numbers_module
import os as _os
import warnings as _warnings

import numpy as _np

from . import _engine

__all__ = ["linkage", "optimal_leaf_ordering", "pdist", "cut", "cophenetic_correlation", "to_newick", "load", "ClusterWarning", "__version__"]

__version__ = _engine.version()

_METHODS = tuple(_engine.methods())
_COORDINATE_METHODS = tuple(_engine.coordinate_methods())
_METRICS = tuple(_engine.metrics())
_METRIC_ALIASES = {"manhattan": "cityblock", "maximum": "chebyshev"}


try:  # a filter for SciPy's warning catches ours too
    from scipy.cluster.hierarchy import ClusterWarning as _SciPysWarning
except ImportError:  # SciPy is not needed
    _SciPysWarning = UserWarning


class ClusterWarning(_SciPysWarning):
    """The warning SciPy's ``ClusterWarning`` is, for the same causes."""


def _numbers(values, name):
    """`values` as a C-ordered array of doubles, or of long doubles when
    given so (every bit is kept); the caller's array is never written."""
    try:
        array = _np.asarray(values)
    except Exception as error:  # NumPy's own refusal, e.g. ragged lists
        raise TypeError("%s cannot be read as an array of numbers: %s" % (name, error)) from None
    if array.ndim == 0:
        raise ValueError("%s must be an array, not a single number" % name)
    if array.dtype == _np.longdouble:
        return _np.ascontiguousarray(array)
    if array.dtype.kind == "O":  # Decimal, Fraction, a pandas object column: as SciPy takes them
        try:
            return _np.ascontiguousarray(array.astype(_np.float64))
        except (TypeError, ValueError) as error:
            raise TypeError("%s must hold real numbers: %s" % (name, error)) from None
    if array.dtype.kind not in "biuf":
        raise TypeError("%s must hold real numbers, not %s" % (name, array.dtype))
    return _np.ascontiguousarray(array, dtype=_np.float64)


def _no_categorical(metric, categorical):
    if categorical is not None and len(categorical):
        raise ValueError("categorical columns are for metric='gower', not %r" % (metric,))


def _codes(column):
    """A column's values as category codes 0, 1, ... (NaN where missing)."""
    texts = [None if v is None or (isinstance(v, float) and v != v) else str(v) for v in column]
    known = {}
    return _np.array([_np.nan if t is None else known.setdefault(t, len(known)) for t in texts], dtype=float)


def _gower_table(X, categorical):
    """X as doubles for Gower's coefficient, categories coded, and which
    columns are categories: a DataFrame's columns that are not numbers, an
    object array's that do not convert, and those `categorical` names."""
    named = list(categorical) if categorical is not None else []
    if hasattr(X, "iloc") and hasattr(X, "columns"):  # a pandas DataFrame
        columns = []
        flags = []
        for position, name in enumerate(X.columns):
            column = X.iloc[:, position]
            category = name in named or position in named or column.dtype.kind not in "biuf"
            values = column.to_numpy(dtype=object if category else float, na_value=None if category else _np.nan)
            columns.append(_codes(values) if category else values.astype(float))
            flags.append(bool(category))
        table = _np.column_stack(columns) if columns else _np.zeros((len(X), 0))
        return _np.ascontiguousarray(table, dtype=_np.float64), flags
    try:
        array = _np.asarray(X)
    except Exception as error:
        raise TypeError("X cannot be read as an array: %s" % (error,)) from None
    if array.ndim != 2:
        raise ValueError("X must be a 2-dimensional array of observations")
    for position in named:
        if not isinstance(position, (int, _np.integer)) or not 0 <= position < array.shape[1]:
            raise ValueError("categorical names column %r, which X (%d columns) has not" % (position, array.shape[1]))
    columns = []
    flags = []
    for position in range(array.shape[1]):
        column = array[:, position]
        category = position in named
        if not category:
            try:
                values = _np.array([_np.nan if v is None else v for v in column], dtype=float)
            except (TypeError, ValueError):
                category = True
        columns.append(_codes(column) if category else values)
        flags.append(category)
    return _np.ascontiguousarray(_np.column_stack(columns), dtype=_np.float64), flags


def _check_missing(X, missing):
    """Refuses an unknown `missing`, and a NaN in X unless missing values
    are taken pairwise."""
    if missing not in ("refuse", "pairwise"):
        raise ValueError("missing is 'refuse' or 'pairwise', not %r" % (missing,))
    if missing == "refuse":
        where = _np.argwhere(_np.isnan(X))
        if len(where):
            raise ValueError("row %d, column %d is a missing value (NaN); give missing='pairwise' to take each "
                             "dissimilarity over the coordinates both rows hold" % tuple(where[0]))


def _linkage_matrix(Z):
    Z = _numbers(Z, "Z")
    if Z.ndim != 2 or Z.shape[1] != 4:
        raise ValueError("Z must be a linkage matrix of shape (n - 1, 4), not %s" % (Z.shape,))
    return _np.ascontiguousarray(Z, dtype=_np.float64)


def linkage(y, method="single", metric="euclidean", optimal_ordering=False, *, p=2, missing="refuse",
            categorical=None, memory_saving=None):
    """Hierarchical clustering of dissimilarities or observations.

    Parameters
    ----------
    y : array_like
        Either a condensed dissimilarity array (1-D, of n (n - 1) / 2
        values in the order of ``scipy.spatial.distance.pdist``: d(0,1),
        d(0,2), ..., d(1,2), ...), or an n x d array of n observations of d
        coordinates, clustered by their Euclidean distances (computed in
        80 bits, the squares summed exactly, never the square of a rounded
        root). Any array-like NumPy converts; integers and float32 are
        converted to doubles, ``numpy.longdouble`` values are taken with
        every bit.
    method : str, optional
        'single', 'complete', 'average', 'weighted', 'median', 'centroid'
        or 'ward', with SciPy's meanings: the median, centroid and Ward
        methods take distances, not squares.
    metric : str, optional
        The dissimilarity of observations, by the name and definition of
        ``scipy.spatial.distance.pdist``, computed in 80 bits: 'euclidean'
        (the default), 'sqeuclidean', 'cityblock', 'chebyshev',
        'minkowski' (with ``p``), 'seuclidean', 'mahalanobis' (the sample
        covariance), 'cosine', 'correlation', 'canberra', 'braycurtis',
        'jensenshannon'; for 0/1 data (a coordinate not zero is true)
        'hamming', 'jaccard', 'dice', 'rogerstanimoto', 'russellrao',
        'sokalmichener', 'sokalsneath', 'yule', 'kulczynski1', R's
        asymmetric 'binary', R's canberra as 'rcanberra' (a column where
        both are 0 left out, the sum scaled up), and 'gower'. R's 'manhattan' and 'maximum' name cityblock
        and chebyshev. The median, centroid and Ward methods take
        'euclidean' only, as SciPy's linkage. Ignored for a condensed
        array.
    p : float, optional
        Minkowski's exponent, greater than 0 (``numpy.inf`` is chebyshev).
    missing : str, optional
        For observations: what a NaN is. 'refuse' (the default): an error
        that names the first one. 'pairwise': a missing value; each
        dissimilarity is taken over the coordinates both rows hold, the sums
        scaled up by d / present as R's ``dist()`` scales them (for
        'euclidean', 'sqeuclidean', 'cityblock', 'chebyshev', 'minkowski',
        'canberra' and 'binary'); a pair with no coordinate in common is a
        ValueError. With ``memory_saving=True``, single linkage only.
    categorical : sequence, optional
        For metric='gower': the columns (by position, or by name for a
        pandas DataFrame) that are categories, compared as equal or not;
        a DataFrame's columns that are not numbers and an object array's
        columns that do not convert to numbers are categories anyway.
        Gower's coefficient is R's ``cluster::daisy(x, metric = "gower")``:
        numeric columns scaled by their range, missing values (NaN, None)
        always taken pairwise.
    optimal_ordering : bool, optional
        If True, the rows' two clusters are put in the optimal leaf order
        (:func:`optimal_leaf_ordering`) of the dissimilarities clustered (of
        observations, their :func:`pdist` as doubles, as SciPy takes them),
        as SciPy's argument of that name does: the tree is the same, its
        dendrogram draws neighbouring leaves least dissimilar. It costs
        O(n^3) time and 36 n^2 bytes.
    memory_saving : bool or None, optional
        For observations only. None: work on the matrix of distances when
        it fits the memory the process may take, else from the coordinates
        (single, median, centroid and ward can). True: always from the
        coordinates, in memory that grows with n (single, median, centroid,
        ward only; with another metric than 'euclidean' or missing values,
        single only, whose spanning tree grows over the dissimilarities as
        they are computed). False: always on the matrix.

    Returns
    -------
    Z : ndarray
        SciPy's linkage matrix: float64, shape (n - 1, 4); row k merges
        clusters Z[k, 0] < Z[k, 1] (objects 0..n-1, the k-th merge n + k)
        at height Z[k, 2] in SciPy's units (the linkages' as given, the
        square root of the centroid and median methods' squared heights,
        and sqrt(2 h) of Ward's), and Z[k, 3] objects.

    Raises
    ------
    ValueError
        A value that is not finite, a condensed array whose length is not
        n (n - 1) / 2, fewer than two objects, more than two dimensions, an
        unknown method or metric, a metric other than 'euclidean' for the
        median, centroid or Ward method or with ``memory_saving=True``, a
        metric the data leave undefined (a zero row for 'cosine', a
        constant row for 'correlation', a constant column for
        'seuclidean', a singular covariance for 'mahalanobis', ...; the
        message names the row, column or pair), or ``memory_saving=True``
        for a method that cannot work from the coordinates.
    MemoryError
        A run that would not fit the memory the process may take, refused
        before anything large is allocated; the message gives the figures.
    TypeError
        Input NumPy cannot read as real numbers.
    KeyboardInterrupt
        Ctrl-C: the run stops within a fraction of a second.

    Notes
    -----
    Ties are settled by the documented rule, not by the order of the input:
    where dissimilarities tie, the tree may differ from SciPy's, which
    settles them otherwise. Without ties, the merges are SciPy's and the
    heights agree to 1e-12 relative. From the coordinates
    (``memory_saving=True``, or None when the matrix would not fit) the
    rule is applied in the order that path meets the ties, so where values
    tie its tree may differ from the matrix's; give ``memory_saving=False``
    for the exact one. The median, centroid and Ward methods work on
    squared dissimilarities, as fastcluster does: a negative one counts as
    its absolute value.

    Examples
    --------
    Three objects A, B, C with d(A,B) = 2.5, d(A,C) = 4 and d(B,C) = 1.25:

    >>> from cluster_analysis import linkage
    >>> linkage([2.5, 4, 1.25], 'ward')
    array([[1.        , 2.        , 1.25      , 2.        ],
           [0.        , 3.        , 3.78318649, 3.        ]])

    Observations: (0, 0), (1, 1) and (3, 0) by the centroid method, whose
    heights are distances between centroids:

    >>> linkage([[0, 0], [1, 1], [3, 0]], 'centroid')
    array([[0.        , 1.        , 1.41421356, 2.        ],
           [2.        , 3.        , 2.54950976, 3.        ]])

    The same observations by their city-block distances, complete linkage:

    >>> linkage([[0, 0], [1, 1], [3, 0]], 'complete', metric='cityblock')
    array([[0., 1., 2., 2.],
           [2., 3., 3., 3.]])
    """
    if not isinstance(method, str) or method not in _METHODS:
        raise ValueError("Invalid method: %s" % (method,))
    if memory_saving is not None and not isinstance(memory_saving, (bool, _np.bool_)):
        raise ValueError("memory_saving is None, True or False, not %r" % (memory_saving,))
    if metric == "gower" and _np.ndim(y) == 2:
        y, flags = _gower_table(y, categorical)
    else:
        _no_categorical(metric, categorical)
        y, flags = _numbers(y, "y"), []
    if y.ndim == 1:
        Z = _engine.linkage_condensed(y, method, False)
        return _engine.optimal_leaf_ordering(Z, y) if optimal_ordering else Z
    if y.ndim != 2:
        raise ValueError("`y` must be 1 or 2 dimensional.")
    if not isinstance(metric, str) or _METRIC_ALIASES.get(metric, metric) not in _METRICS:
        raise ValueError("Unknown Distance Metric: %r; the metrics are %s" % (metric, ", ".join(_METRICS)))
    try:
        p = float(p)
    except (TypeError, ValueError):
        raise ValueError("p must be a number, not %r" % (p,)) from None
    if metric != "gower":
        _check_missing(y, missing)
    if memory_saving and method not in _COORDINATE_METHODS:
        raise ValueError("memory_saving=True works for %s, not %s" % (", ".join(_COORDINATE_METHODS), method))
    if y.shape[0] == y.shape[1] and y.shape[0] > 0 and _np.allclose(_np.diag(y), 0):
        if _np.all(y >= 0) and _np.allclose(y, y.T):
            _warnings.warn("scipy.cluster: The symmetric non-negative hollow observation matrix looks "
                           "suspiciously like an uncondensed distance matrix", ClusterWarning, stacklevel=2)
    path = {None: "automatic", True: "coordinates", False: "matrix"}[memory_saving]
    Z = _engine.linkage_observations(y, method, path, metric, p, missing == "pairwise", flags)
    if not optimal_ordering:
        return Z
    X = _np.ascontiguousarray(y, dtype=_np.float64)
    return _engine.optimal_leaf_ordering(Z, _engine.pdist(X, metric, p, missing == "pairwise", flags))


def optimal_leaf_ordering(Z, y):
    """The tree with its leaves in an optimal order, as SciPy's function of that name.

    Of the orders a tree allows (each merge drawing either of its two
    clusters first), one whose neighbouring leaves have the least sum of
    dissimilarities: the algorithm of Bar-Joseph, Gifford and Jaakkola
    (2001) in O(n^3) time, where SciPy's may take O(n^4), exact in 80 bits.
    The tree itself (its merges, heights and groups) is unchanged: only the
    order of the two clusters in each row. Among orders of equal sum the
    one nearest the tree's plain order (each row's smaller id first) is
    kept. Ctrl-C stops it.

    Parameters
    ----------
    Z : array_like
        A linkage matrix.
    y : array_like
        The condensed dissimilarities the tree was made from, or the
        observations (n x d), whose Euclidean distances are taken.

    Returns
    -------
    Z : ndarray
        A new linkage matrix: each row's first cluster is the one the
        dendrogram draws first. The argument is not modified.

    Raises
    ------
    ValueError
        A tree that is not one, dissimilarities that are not finite or not
        of the tree's objects.
    MemoryError
        Tables that would not fit the memory the process may take.

    Examples
    --------
    Objects 0 and 1 merge, then 2 and 3; d(1, 2) is large and d(0, 3) small,
    so the best order draws 1 0 3 2:

    >>> from cluster_analysis import linkage, optimal_leaf_ordering
    >>> y = [1, 9, 1, 9, 9, 1]
    >>> optimal_leaf_ordering(linkage(y, 'complete'), y)
    array([[1., 0., 1., 2.],
           [3., 2., 1., 2.],
           [4., 5., 9., 4.]])
    """
    y = _numbers(y, "y")
    if y.ndim == 2:
        y = _engine.pdist(_np.ascontiguousarray(y, dtype=_np.float64), "euclidean", 2.0, False, [])
    elif y.ndim != 1:
        raise ValueError("y must be condensed dissimilarities (1-D) or observations (2-D)")
    return _engine.optimal_leaf_ordering(_linkage_matrix(Z), y)


def pdist(X, metric="euclidean", *, p=2, missing="refuse", categorical=None):
    """The dissimilarities of observations, as ``scipy.spatial.distance.pdist``.

    Parameters
    ----------
    X : array_like
        An n x d array of n observations of d coordinates.
    metric : str, optional
        A metric of :func:`linkage`'s list, by SciPy's name or R's.
    p : float, optional
        Minkowski's exponent, greater than 0.
    missing : str, optional
        'refuse' or 'pairwise', as for :func:`linkage`.
    categorical : sequence, optional
        For metric='gower', as for :func:`linkage`.

    Returns
    -------
    y : ndarray
        The n (n - 1) / 2 dissimilarities in condensed order, d(0,1),
        d(0,2), ..., d(1,2), ..., each computed in 80 bits and rounded once
        to float64.

    Raises
    ------
    ValueError
        A value that is not finite, an unknown metric, or a metric the data
        leave undefined (the message names the row, column or pair).

    Examples
    --------
    >>> from cluster_analysis import pdist
    >>> pdist([[0, 0], [1, 1], [3, 0]], 'cityblock')
    array([2., 3., 3.])
    """
    if not isinstance(metric, str) or _METRIC_ALIASES.get(metric, metric) not in _METRICS:
        raise ValueError("Unknown Distance Metric: %r; the metrics are %s" % (metric, ", ".join(_METRICS)))
    if metric == "gower":
        X, flags = _gower_table(X, categorical)
    else:
        _no_categorical(metric, categorical)
        X, flags = _numbers(X, "X"), []
    if X.ndim != 2:
        raise ValueError("X must be a 2-dimensional array of observations")
    if metric != "gower":
        _check_missing(X, missing)
    return _engine.pdist(_np.ascontiguousarray(X, dtype=_np.float64), metric, float(p), missing == "pairwise", flags)


def cut(Z, n_clusters=None, height=None):
    """The group of every object when the tree is cut.

    Parameters
    ----------
    Z : array_like
        A linkage matrix, as :func:`linkage` or SciPy returns it.
    n_clusters : int, optional
        Cut into this many groups (1..n) by undoing the last n_clusters - 1
        merges.
    height : float, optional
        Or cut at this height (in the units of Z): a group is a largest
        subtree whose merges all lie at or below it. A merge whose height,
        printed as Python prints the double or to 15 significant digits
        (as R prints it), equals `height` counts as at it. Give exactly one
        of the two.

    Returns
    -------
    groups : ndarray of int32
        Per object in data order, its group 1.. in the order in which each
        group's first object comes.

    Examples
    --------
    >>> from cluster_analysis import linkage, cut
    >>> Z = linkage([2.5, 4, 1.25], 'single')
    >>> cut(Z, n_clusters=2)
    array([1, 2, 2], dtype=int32)
    >>> cut(Z, height=2)
    array([1, 2, 2], dtype=int32)
    """
    if (n_clusters is None) == (height is None):
        raise ValueError("give exactly one of n_clusters and height")
    Z = _linkage_matrix(Z)
    if n_clusters is not None:
        if isinstance(n_clusters, (bool, _np.bool_)) or not isinstance(n_clusters, (int, _np.integer)):
            raise TypeError("n_clusters is a whole number, not %r" % (n_clusters,))
        if not 1 <= n_clusters <= Z.shape[0] + 1:
            raise ValueError("n_clusters must be from 1 to %d, not %d" % (Z.shape[0] + 1, n_clusters))
        return _engine.cut(Z, int(n_clusters), None)
    if isinstance(height, (bool, _np.bool_)) or not isinstance(height, _numbers_module.Real):
        raise TypeError("height is a number, not %r" % (height,))
    height = float(height)
    if height != height:
        raise ValueError("height is a number, not NaN")
    return _engine.cut(Z, None, height)


def cophenetic_correlation(Z, y):
    """The cophenetic correlation coefficient of a tree and its data.

    Parameters
    ----------
    Z : array_like
        A linkage matrix.
    y : array_like
        The condensed dissimilarities the tree was made from.

    Returns
    -------
    c : float
        The Pearson correlation of the dissimilarities and the heights at
        which each pair first joins, both in SciPy's units, as
        ``scipy.cluster.hierarchy.cophenet(Z, y)[0]`` gives it.

    Examples
    --------
    >>> from cluster_analysis import linkage, cophenetic_correlation
    >>> y = [2.5, 4, 1.25]
    >>> cophenetic_correlation(linkage(y, 'average'), y)
    0.8386278693775346
    """
    y = _numbers(y, "y")
    if y.ndim != 1:
        raise ValueError("y must be a condensed dissimilarity array (1-D)")
    return _engine.cophenetic_correlation(_linkage_matrix(Z), y)


def to_newick(Z, labels=None):
    """The tree in Newick format.

    Parameters
    ----------
    Z : array_like
        A linkage matrix.
    labels : sequence of str, optional
        One label per object; 0..n-1 by default. Labels holding blanks,
        underscores, quotes, brackets or punctuation are quoted.

    Returns
    -------
    newick : str
        Branch lengths are the parent's height less the child's, in the
        units of Z.

    Examples
    --------
    >>> from cluster_analysis import linkage, to_newick
    >>> to_newick(linkage([2.5, 4, 1.25], 'average'), ['A', 'B', 'C'])
    '(A:3.25,(B:1.25,C:1.25):2);\\n'
    """
    Z = _linkage_matrix(Z)
    if labels is None:
        labels = [str(k) for k in range(Z.shape[0] + 1)]
    # Text as UTF-8; bytes as they are; anything else as str() writes it.
    labels = [label if isinstance(label, bytes) else str(label).encode("utf-8", "surrogateescape")
              for label in labels]
    return _engine.to_newick(Z, labels).decode("utf-8", "surrogateescape")


def load(path):
    """Labels and dissimilarities of the desktop program's data file.

    Parameters
    ----------
    path : str or os.PathLike
        A native data file, or a CSV one when the name ends in .csv or
        .CSV, read exactly as the batch tool reads it (numbers in the
        locale's decimal separator).

    Returns
    -------
    labels : list of str
    y : ndarray of numpy.longdouble
        The condensed dissimilarities, every bit as read; :func:`linkage`
        takes them as they are.

    Raises
    ------
    FileNotFoundError
        There is no file of that name.
    OSError
        A file that cannot be read or is not a data file, with the
        program's message.
    ValueError
        A path holding a NUL byte.

    Examples
    --------
    >>> import os, tempfile
    >>> from cluster_analysis import load, linkage
    >>> folder = tempfile.mkdtemp()
    >>> path = os.path.join(folder, 'three.csv')
    >>> with open(path, 'w') as f:
    ...     _ = f.write(',A,B,C\\nA\\nB,2.5\\nC,4,1.25\\n')
    >>> labels, y = load(path)
    >>> labels
    ['A', 'B', 'C']
    >>> linkage(y, 'single')[:, 2]
    array([1.25, 2.5 ])
    """
    name = _os.fsencode(path)
    if b"\0" in name:
        raise ValueError("embedded null byte")
    if not _os.path.exists(name):
        raise FileNotFoundError(2, "No such file or directory", _os.fsdecode(path))
    return _engine.load(name)
