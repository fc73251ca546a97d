# clusteranalysis::hclust beside fastcluster::hclust and stats::hclust on the
# same dist, in one R session, best of three each (alternated), for every
# method at 1000 and 5000 objects; then hclust.vector beside
# fastcluster::hclust.vector at 20,000 x 10. Milliseconds, and our time /
# fastcluster's.
#
#   R_LIBS=build/R/library Rscript bench/r_hclust.R [N ...]
args <- commandArgs(trailingOnly = TRUE)
sizes <- if (length(args)) as.integer(args) else c(1000L, 5000L)
best <- function(f, runs = 3) min(replicate(runs, system.time(f())[["elapsed"]])) * 1000
set.seed(20)
cat("n\tmethod\tours\tfastcluster\tstats\tours/fastcluster\n")
for (n in sizes) {
  d <- dist(matrix(rnorm(n * 10), n))
  for (method in c("single", "complete", "average", "mcquitty", "median", "centroid", "ward.D", "ward.D2")) {
    ours <- best(function() clusteranalysis::hclust(d, method))
    fast <- best(function() fastcluster::hclust(d, method))
    stats <- if (n <= 5000) best(function() stats::hclust(d, method), runs = 1) else NA
    cat(sprintf("%d\t%s\t%.0f\t%.0f\t%.0f\t%.2f\n", n, method, ours, fast, stats, ours / fast))
  }
}
x <- matrix(rnorm(20000 * 10), 20000)
for (method in c("single", "ward", "centroid", "median")) {
  ours <- best(function() clusteranalysis::hclust.vector(x, method), runs = 2)
  fast <- best(function() fastcluster::hclust.vector(x, method), runs = 2)
  cat(sprintf("20000x10\t%s vector\t%.0f\t%.0f\t\t%.2f\n", method, ours, fast, ours / fast))
}
