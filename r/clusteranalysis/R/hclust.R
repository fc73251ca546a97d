# hclust() and hclust.vector(): the arguments and results of stats::hclust()
# and fastcluster::hclust.vector(), computed by the exact engine
# (src/clusteranalysis.cpp calls the library).

# The engine's run of each of R's methods: the engine's method, whether the
# dissimilarities given are taken as squares, and how its heights become
# R's. centroid, median and ward.D apply their updates to d as given (R's
# users pass squared distances for them); ward.D2 squares d and takes the
# root of the heights.
.methods <- list(
  single = list(engine = "single", squared = FALSE, heights = "as_given"),
  complete = list(engine = "complete", squared = FALSE, heights = "as_given"),
  average = list(engine = "average", squared = FALSE, heights = "as_given"),
  mcquitty = list(engine = "weighted", squared = FALSE, heights = "as_given"),
  ward.D = list(engine = "ward", squared = TRUE, heights = "twice"),
  centroid = list(engine = "centroid", squared = TRUE, heights = "as_given"),
  median = list(engine = "median", squared = TRUE, heights = "as_given"),
  ward.D2 = list(engine = "ward", squared = FALSE, heights = "scipy")
)

# The methods whose updates do not weigh the clusters' sizes: members given
# change nothing of their trees.
.sizeless <- c("single", "complete", "mcquitty", "median")

# Refuses members the engine cannot start from: every cluster at the start
# is one object, unless the method does not weigh sizes.
.check_members <- function(members, n, method, weighs = !(method %in% .sizeless)) {
  if (is.null(members)) return(invisible())
  if (!is.numeric(members) || anyNA(members) || any(members <= 0)) stop("'members' must be positive numbers")
  if (length(members) != n) stop("'members' must have as many elements as there are objects (", n, ")")
  if (!weighs || all(members == 1)) return(invisible())
  stop("'members' other than all 1 cannot be honoured by the ", method,
       " method here: the engine starts from single objects; use stats::hclust() for clusters of given sizes")
}

# The interrupt a run was stopped by, signalled as R signals one.
.interrupted <- function() {
  signalCondition(structure(class = c("interrupt", "condition"), list(message = "interrupted", call = NULL)))
  invokeRestart("abort")
}

hclust <- function(d, method = "complete", members = NULL) {
  if (!inherits(d, "dist")) {
    if (is.matrix(d) || is.data.frame(d)) {
      stop("'d' must be a \"dist\" object: for a matrix of dissimilarities, call hclust(as.dist(m))")
    }
    stop("'d' must be a \"dist\" object, as dist() or as.dist() make it")
  }
  if (identical(method, "ward")) {
    message("The \"ward\" method has been renamed to \"ward.D\"; note new \"ward.D2\"")
    method <- "ward.D"
  }
  METHODS <- names(.methods)
  i <- pmatch(method, METHODS)
  if (is.na(i)) stop("invalid clustering method ", paste(method))
  if (i == -1) stop("ambiguous clustering method ", paste(method))
  method <- METHODS[i]
  n <- as.integer(attr(d, "Size"))
  if (length(n) != 1L || is.na(n) || n < 2L) stop("must have n >= 2 objects to cluster")
  if (length(d) != n * (n - 1) / 2) stop("dissimilarities of improper length")
  if (!is.numeric(d) && !is.logical(d)) stop("'d' must hold numbers")
  bad <- which(!is.finite(d))
  if (length(bad) > 0L) {
    k <- bad[1L]
    # Element k of a "dist" object is the pair (i, j), j < i, column by column.
    j <- 1L
    while (k > n - j) {
      k <- k - (n - j)
      j <- j + 1L
    }
    stop("'d' holds ", format(d[bad[1L]]), " for objects ", j + k, " and ", j,
         ": the methods need finite dissimilarities")
  }
  .check_members(members, n, method)
  run <- .methods[[method]]
  # Doubles are read where they lie; other numbers are copied as doubles.
  values <- if (is.double(d)) d else as.double(d)
  tree <- .Call(ca_cluster_dissimilarities, values, run$engine, run$squared, run$heights)
  if (is.null(tree)) .interrupted()
  structure(c(tree, list(labels = attr(d, "Labels"), method = method, call = match.call(),
                         dist.method = attr(d, "method"))),
            class = "hclust")
}

hclust.vector <- function(X, method = "single", members = NULL, metric = "euclidean", p = NULL) {
  METHODS <- c("single", "ward", "centroid", "median")
  i <- pmatch(method, METHODS)
  if (is.na(i)) stop("Invalid clustering method '", method, "' for vector data.")
  if (i == -1) stop("Ambiguous clustering method.")
  method <- METHODS[i]
  # fastcluster's metrics, as R's dist() defines them; the engine's name
  # for each (R's canberra is not SciPy's).
  METRICS <- c("euclidean", "maximum", "manhattan", "canberra", "binary", "minkowski")
  ENGINE_METRICS <- c("euclidean", "chebyshev", "cityblock", "rcanberra", "binary", "minkowski")
  m <- pmatch(metric, METRICS)
  if (is.na(m)) stop("Invalid metric '", metric, "'; the metrics are ", paste(METRICS, collapse = ", "))
  if (METRICS[m] == "minkowski") {
    if (is.null(p)) p <- 2
    if (!is.numeric(p) || length(p) != 1L || is.na(p) || p <= 0) stop("'p' must be a number greater than 0")
  } else if (!is.null(p)) {
    stop("'p' is for the minkowski metric")
  }
  if (METRICS[m] != "euclidean" && method != "single") {
    stop("the ", method, " method is defined by Euclidean geometry and cannot take the ", METRICS[m],
         " metric; hclust() takes any dissimilarities")
  }
  if (length(dim(X)) > 2L) stop("'X' must be a matrix, one observation a row, not an array of ", length(dim(X)), " dimensions")
  X <- as.matrix(X)
  if (!is.numeric(X)) stop("'X' must be a numeric matrix, one observation a row")
  if (nrow(X) < 2L) stop("must have n >= 2 objects to cluster")
  bad <- which(!is.finite(X), arr.ind = TRUE)
  if (nrow(bad) > 0L) {
    stop("'X' holds ", format(X[bad[1L, , drop = FALSE]]), " in row ", bad[1L, 1L], ", column ", bad[1L, 2L],
         ": the coordinates must be finite")
  }
  .check_members(members, nrow(X), method, weighs = method %in% c("ward", "centroid"))
  storage.mode(X) <- "double"
  tree <- .Call(ca_cluster_observations, X, if (method == "ward") "ward" else method, ENGINE_METRICS[m],
                as.double(if (is.null(p)) 2 else p))
  if (is.null(tree)) .interrupted()
  structure(c(tree, list(labels = dimnames(X)[[1L]], method = method, call = match.call(),
                         dist.method = METRICS[m])),
            class = "hclust")
}
