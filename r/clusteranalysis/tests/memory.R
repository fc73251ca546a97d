# A run that would not fit is refused before it takes the memory, with the
# figures: in a child R under an address-space limit.
if (.Platform$OS.type == "unix" && nzchar(Sys.which("sh"))) {
  library_path <- Sys.getenv("R_LIBS")
  code <- "d <- structure(numeric(10000 * 9999 / 2), Size = 10000L, class = 'dist'); tryCatch(clusteranalysis::hclust(d, 'average'), error = function(e) cat(conditionMessage(e)))"
  out <- system2("sh", c("-c", shQuote(paste0("ulimit -v 1500000; '", file.path(R.home("bin"), "Rscript"), "' -e \"", code, "\""))),
                 stdout = TRUE, stderr = TRUE, env = paste0("R_LIBS=", paste(.libPaths(), collapse = ":")))
  if (!any(grepl("needs about", out, fixed = TRUE))) stop("no memory refusal: ", paste(out, collapse = "\n"))
}
