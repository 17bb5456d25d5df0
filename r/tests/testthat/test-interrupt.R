test_that("a user interrupt stops kavo_evidence and the threads", {
  skip_on_os("windows")
  skip_on_cran()
  tables <- matrix(c(12, 5, 7, 9), 400, 4, byrow = TRUE)
  # About 20 s of work on one core; an interrupt after 0.5 s.
  started <- proc.time()[["elapsed"]]
  res <- tryCatch({
    system(sprintf("(sleep 0.5; kill -INT %d)", Sys.getpid()), wait = FALSE)
    kavo_evidence(tables, "independence", prior = 0, method = "monte_carlo", precision = 0,
                  max_draws = 3e5,
                  threads = 2)
  }, interrupt = function(e) "interrupted")
  elapsed <- proc.time()[["elapsed"]] - started
  expect_identical(res, "interrupted")
  expect_lt(elapsed, 5)
  # Nothing is left running or pending: the next call computes as before.
  expect_identical(e_digits(kavo_test(matrix(c(12, 7, 5, 9), 2), prior = 0,
                                      method = "monte_carlo")$evidence),
                   "3.741918e-01")
})
