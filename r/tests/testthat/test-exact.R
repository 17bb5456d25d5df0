# The exact method by default, and the figures every result carries beside
# the evidence.

test_that("the default is the exact method: a proportion's closed form", {
  a <- 3; b <- 5; p0 <- 0.4  # counts 2 and 4 with the uniform prior
  log_kernel <- function(p) (a - 1) * log(p) + (b - 1) * log(1 - p)
  mode <- (a - 1) / (a + b - 2)
  # The kernel's other point at the level of p0, below the mode.
  p1 <- uniroot(function(p) log_kernel(p) - log_kernel(p0), c(1e-9, mode), tol = 1e-15)$root
  r <- kavo_test(c(2, 4), "proportion", p0 = p0)
  expect_equal(r$evidence, 1 - (pbeta(p0, a, b) - pbeta(p1, a, b)), tolerance = 1e-12)
  expect_equal(r$statistic, c(G2 = 2 * (log_kernel(mode) - log_kernel(p0))), tolerance = 1e-12)
  expect_identical(c(r$sev, r$draws), c(r$evidence, 0))  # a point hypothesis
  expect_identical(r$parameter, c(df = 1L))
})

test_that("a zero count computes by default and needs the exact method for Monte Carlo", {
  expect_gt(kavo_evidence(rbind(c(5, 0, 12)), "hardy_weinberg")$evidence, 0)
  expect_error(kavo_test(c(5, 0, 12), "hardy_weinberg", method = "monte_carlo"),
               "only the exact method computes it")
})

test_that("both methods carry consistent figures", {
  tables <- rbind(c(12, 5, 7, 9, 4, 6), c(30, 2, 9, 4, 11, 25))
  exact <- kavo_evidence(tables, "independence", shape = c(2, 3))
  mc <- kavo_evidence(tables, "independence", shape = c(2, 3), method = "monte_carlo",
                      max_draws = 20000, precision = 0.01)
  for (res in list(exact, mc)) {
    # Near an evidence of 1, log10 of the rounded evidence is the less
    # accurate of the two (about 1e-16 absolute, 1e-11 relative here).
    expect_equal(res$log10_evidence, log10(res$evidence), tolerance = 1e-9)
    expect_identical(res$df, c(2L, 2L))
  }
  expect_identical(mc$g2, exact$g2)  # the table's statistic, whatever the method
})

test_that("an evidence below the double range keeps its logarithm", {
  r <- kavo_test(c(200000, 0, 200000), "hardy_weinberg")
  expect_identical(r$evidence, 0)
  expect_true(r$log10_evidence > -1e6 && r$log10_evidence < -308)
  expect_match(capture.output(print(r)), "evidence = 0 (log10 ", fixed = TRUE, all = FALSE)
})
