# clusteranalysis::hclust and hclust.vector against stats::hclust and
# fastcluster on R's data sets and random tie-free data, R's functions on
# the results, and every bad input.
library(clusteranalysis)

same_tree <- function(ours, theirs, what) {
  if (!identical(ours$merge, theirs$merge)) stop(what, ": merge differs")
  if (!identical(as.integer(ours$order), as.integer(theirs$order))) stop(what, ": order differs")
  if (!isTRUE(all.equal(ours$height, theirs$height, tolerance = 1e-12))) stop(what, ": heights differ")
}

methods <- c("single", "complete", "average", "mcquitty", "ward.D", "centroid", "median", "ward.D2")
set.seed(11)
data <- list(USArrests = dist(USArrests), mtcars = dist(scale(mtcars)),
             random = dist(matrix(rnorm(300 * 4), 300)))
squared <- c("ward.D", "centroid", "median")
for (name in names(data)) {
  for (method in methods) {
    d <- data[[name]]
    if (method %in% squared) d <- d^2
    ours <- clusteranalysis::hclust(d, method)
    same_tree(ours, stats::hclust(d, method), paste(name, method, "stats"))
    if (requireNamespace("fastcluster", quietly = TRUE)) {
      same_tree(ours, fastcluster::hclust(d, method), paste(name, method, "fastcluster"))
    }
    stopifnot(inherits(ours, "hclust"), identical(ours$method, method),
              identical(ours$labels, attr(d, "Labels")), identical(ours$dist.method, attr(d, "method")))
  }
}

# Three objects by hand: B and C at 1.25, then A at (2.5 + 4) / 2.
d3 <- as.dist(matrix(c(0, 2.5, 4, 2.5, 0, 1.25, 4, 1.25, 0), 3))
hc <- clusteranalysis::hclust(d3, "average")
stopifnot(identical(hc$merge, matrix(c(-2L, -1L, -3L, 1L), 2)), identical(hc$height, c(1.25, 3.25)),
          identical(hc$order, c(1L, 2L, 3L)))
# ward.D on the values as given: 2.5^2... no: R applies Ward's update to d
# itself, B and C at 1.25, A at (2 * 2.5 + 2 * 4 - 1.25) / 3.
stopifnot(isTRUE(all.equal(clusteranalysis::hclust(d3, "ward.D")$height, c(1.25, 11.75 / 3), tolerance = 1e-15)))

# hclust.vector: fastcluster's units (Euclidean distances).
x <- matrix(rnorm(200 * 3), 200)
for (method in c("single", "ward", "centroid", "median")) {
  ours <- hclust.vector(x, method)
  reference <- switch(method,
    single = stats::hclust(dist(x), "single"),
    ward = stats::hclust(dist(x), "ward.D2"),
    centroid = { h <- stats::hclust(dist(x)^2, "centroid"); h$height <- sqrt(h$height); h },
    median = { h <- stats::hclust(dist(x)^2, "median"); h$height <- sqrt(h$height); h })
  same_tree(ours, reference, paste("vector", method))
  if (requireNamespace("fastcluster", quietly = TRUE)) {
    same_tree(ours, fastcluster::hclust.vector(x, method), paste("vector", method, "fastcluster"))
  }
}

# hclust.vector's other metrics: single linkage's tree over R's dist() by
# each, also for canberra's zero columns (left out and the sum rescaled).
xm <- matrix(round(rnorm(120 * 4), 1), 120)
xm[1:10, 2] <- 0
xm[5:15, 3] <- 0
for (metric in c("maximum", "manhattan", "canberra", "binary", "minkowski")) {
  ours <- hclust.vector(xm, "single", metric = metric, p = if (metric == "minkowski") 3 else NULL)
  d <- if (metric == "minkowski") dist(xm, metric, p = 3) else dist(xm, metric)
  stopifnot(isTRUE(all.equal(sort(ours$height), sort(stats::hclust(d, "single")$height), tolerance = 1e-12)))
  if (metric != "binary" && requireNamespace("fastcluster", quietly = TRUE)) {
    theirs <- fastcluster::hclust.vector(xm, "single", metric = metric, p = if (metric == "minkowski") 3 else NULL)
    stopifnot(isTRUE(all.equal(ours$height, theirs$height, tolerance = 1e-12)))
  }
}

# R's functions take the result.
hc <- clusteranalysis::hclust(dist(USArrests), "average")
groups <- cutree(hc, k = 4)
stopifnot(length(groups) == 50, length(unique(groups)) == 4,
          identical(groups, cutree(stats::hclust(dist(USArrests), "average"), k = 4)))
stopifnot(isTRUE(all.equal(as.vector(cophenetic(hc)), as.vector(cophenetic(stats::hclust(dist(USArrests), "average"))))))
dend <- as.dendrogram(hc)
stopifnot(attr(dend, "members") == 50)
pdf(NULL)
plot(hc)
rect.hclust(hc, k = 3)
invisible(dev.off())

# The caller's objects are not changed.
d <- dist(USArrests)
kept <- d + 0
invisible(clusteranalysis::hclust(d, "ward.D2"))
stopifnot(identical(d, kept))

# Bad input: R errors in words.
fails <- function(call, words) {
  message <- tryCatch({ call; "no error" }, error = function(e) conditionMessage(e))
  if (!grepl(words, message, fixed = TRUE)) stop("expected '", words, "', got '", message, "'")
}
fails(clusteranalysis::hclust(as.matrix(d3)), "as.dist(m)")
fails(clusteranalysis::hclust(1:3), "\"dist\" object")
fails(clusteranalysis::hclust(d3, "upgma"), "invalid clustering method")
bad <- d3
bad[2] <- NA
fails(clusteranalysis::hclust(bad), "for objects 3 and 1")
bad[2] <- Inf
fails(clusteranalysis::hclust(bad), "finite dissimilarities")
fails(clusteranalysis::hclust(as.dist(matrix(0, 1, 1))), "n >= 2")
fails(clusteranalysis::hclust(d3, "average", members = c(1, 2, 1)), "cannot be honoured")
stopifnot(identical(clusteranalysis::hclust(d3, "single", members = c(1, 2, 1))$merge,
                    clusteranalysis::hclust(d3, "single")$merge))
fails(hclust.vector(x, "average"), "Invalid clustering method")
fails(hclust.vector(x, "single", metric = "taxicab"), "Invalid metric")
fails(hclust.vector(x, "ward", metric = "manhattan"), "defined by Euclidean geometry")
fails(hclust.vector(x, "single", metric = "manhattan", p = 3), "for the minkowski metric")
fails(hclust.vector(rbind(c(0, 0), c(0, 0), c(4, 4)), "single", metric = "canberra"), "zero in every column")
fails(hclust.vector(matrix(letters[1:6], 3)), "numeric matrix")
fails(clusteranalysis::hclust(d3, "average", members = c(NA, 1, 1)), "positive numbers")
fails(hclust.vector(x, "ward", members = c(2, rep(1, 199))), "by the ward method")
fails(hclust.vector(matrix(c(1, 2, 3, NA, 5, 6), 3)), "in row 1, column 2")
fails(hclust.vector(array(1:24, c(2, 3, 4))), "3 dimensions")
fails(clusteranalysis::hclust(structure(c(1e308, 1.7e308, 1e300), Size = 3L, class = "dist"), "ward.D"),
      "beyond the largest number")
logical <- structure(c(TRUE, FALSE, TRUE), Size = 3L, class = "dist")
stopifnot(identical(clusteranalysis::hclust(logical)$merge, stats::hclust(logical)$merge))
msg <- tryCatch(suppressMessages(clusteranalysis::hclust(d3, "ward"))$method, error = conditionMessage)
stopifnot(identical(msg, "ward.D"))
