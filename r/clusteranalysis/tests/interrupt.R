# Ctrl-C stops a long run: an interrupt arrives while hclust.vector works
# through 60,000 observations (several seconds), the run ends with R's
# interrupt condition, and the next run works.
library(clusteranalysis)
if (.Platform$OS.type == "unix" && nzchar(Sys.which("kill"))) {
  set.seed(1)
  x <- matrix(rnorm(60000 * 2), ncol = 2)
  # system() with wait = FALSE runs the command in the background itself.
  system(paste0("(sleep 1; kill -INT ", Sys.getpid(), ")"), wait = FALSE)
  outcome <- tryCatch({
    hclust.vector(x, "ward")
    "finished"
  }, interrupt = function(condition) "interrupted")
  if (!identical(outcome, "interrupted")) stop("the run was not interrupted: ", outcome)
  stopifnot(length(hclust(dist(1:5))$height) == 4)
}
