test_that("malformed tables are refused with a clear message", {
  expect_error(kavo_test(matrix(1:6, 1)), "at least 2x2 counts")
  expect_error(kavo_test(c(1, 2, 3, 4)), "matrix or table of at least 2x2")
  expect_error(kavo_test(matrix(c(1, -2, 3, 4), 2)), "must not be negative")
  expect_error(kavo_test(matrix(c(1, NA, 3, 4), 2)), "cannot be computed for .*: missing value")
  expect_error(kavo_test(matrix(c(1, Inf, 3, 4), 2)), "cannot be computed for .*: infinite value")
  expect_error(kavo_test(matrix(c("1", "2", "3", "4"), 2)), "numeric counts")
  expect_error(kavo_test(c(TRUE, FALSE, TRUE), "hardy_weinberg"), "numeric counts")
  expect_error(kavo_test(c(1, 2), "hardy_weinberg"), "aa, ab, bb for two alleles")
  expect_error(kavo_test(matrix(1:4, 2), "hardy_weinberg"), "a vector of counts")
  expect_error(kavo_test(c(1, 2, 3), "proportion", p0 = 0.5), "3 probabilities")
  expect_error(kavo_test(c(1), "proportion", p0 = 0.5), "at least 2 counts")
  expect_error(kavo_test(c(1, 2), "proportion"), "needs 'p0'")
  expect_error(kavo_test(c(1, 2), "proportion", p0 = "a"), "'p0' must be a single number")
  expect_error(kavo_test(c(1, 2, 3), "hardy_weinberg", p0 = 0.5), "only for the proportion")
})

test_that("values the library refuses are an error naming the reason", {
  expect_error(kavo_test(matrix(c(0, 4, 6, 8), 2), prior = 0, method = "monte_carlo"),
               "greater than 1 and p0 must be in interval")
  expect_error(kavo_test(c(2, 4), "proportion", p0 = 1.5), "interval \\(0,1\\)")
})

test_that("settings are checked", {
  x <- matrix(c(11, 4, 6, 8), 2)
  mc <- function(...) kavo_test(x, method = "monte_carlo", ...)
  expect_error(mc(seed = 0), "seed must be a whole number from 1 to 2147483646")
  expect_error(mc(seed = 2.5), "seed must be a whole number")
  expect_error(mc(precision = Inf), "precision must be a finite number")
  expect_error(mc(precision = NA_real_), "'precision' must be a single number")
  expect_error(mc(max_draws = 1.5), "max_draws must be a whole number")
  expect_error(mc(max_draws = c(1, 2)), "'max_draws' must be a single number")
  expect_error(mc(max_draws = 1e19), "signed 64-bit range")
  expect_error(kavo_test(x, prior = NA), "'prior' must be a single number")
  expect_error(kavo_test(x, prior = Inf), "'prior' must be a finite number")
  expect_error(kavo_test(x, "nonsense"), "unknown hypothesis \"nonsense\"")
  expect_error(kavo_test(x, method = "bayes"), "should be one of")
  expect_error(kavo_evidence(x, "independence", threads = 0), "positive whole number")
  expect_error(kavo_evidence(x, "independence", threads = 1.5), "positive whole number")
})

test_that("a method the library does not have is its lookup's error, not a number", {
  if (!("exact" %in% kavo:::.kavo_library()$methods)) {
    expect_error(kavo_test(matrix(c(11, 4, 6, 8), 2), method = "exact"),
                 "unknown method \"exact\"")
    expect_error(kavo_evidence(matrix(c(11, 4, 6, 8), 1), "independence", method = "exact"),
                 "unknown method \"exact\"")
  } else {
    r <- kavo_test(matrix(c(11, 6, 4, 8), 2), method = "exact")
    expect_identical(r$draws, 0)
    expect_lte(r$error, 1e-10)
    # kavoind 12 5 7 9 prints 3.741918e-01 by Monte Carlo, good to about 1e-3.
    expect_lt(abs(r$evidence - 0.3741918), 3e-3)
    expect_match(r$method, "exact integration")
  }
})

test_that("malformed data frames are refused", {
  d <- data.frame(a = 1:2, b = c("x", "y"), c = 3:4, d = 5:6)
  expect_error(kavo_evidence(d, "independence"), "3 numeric count columns")
  expect_error(kavo_evidence(d, "independence", columns = c("a", "b", "c", "d")),
               "column 'b' does not hold numeric counts")
  expect_error(kavo_evidence(d, "independence", columns = c("a", "c", "d")), "must name 4")
  expect_error(kavo_evidence(d, "independence", columns = c("a", "c", "d", "zz")),
               "no column named 'zz'")
  expect_error(kavo_evidence(d, "independence", columns = c(1, 3, 4, 9)), "positions from 1")
  expect_error(kavo_evidence(d, "independence", columns = c(1, 3, 4, 1)), "twice")
  expect_error(kavo_evidence(list(1, 2), "independence"), "data frame or a matrix")
  expect_error(kavo_evidence(matrix(letters[1:4], 1), "independence"), "numeric")
  expect_error(kavo_evidence(data.frame(a = 1, b = 2), "proportion"), "needs 'p0'")
  expect_error(kavo_evidence(data.frame(a = 1, b = 2), "proportion", p0 = "zz"),
               "names no column")
  expect_error(kavo_evidence(data.frame(a = 1:3, b = 2), "proportion", p0 = c(0.1, 0.2)),
               "one number per row")
  expect_error(kavo_evidence(data.frame(a = 1, b = 2, c = 3), "hardy_weinberg", p0 = 0.5),
               "only for the proportion")
  expect_error(kavo_evidence(data.frame(x = 1, a = 1, b = 2, c = 3, evidence = "old"),
                             "hardy_weinberg", columns = c("a", "b", "c")), "would repeat")
})

test_that("missing and infinite values have reasons of their own, apart from zero counts", {
  d <- data.frame(a = c(3, NA, Inf, 0, NaN), b = c(4, 4, 4, 4, -Inf), c = 5, d = 6)
  res <- kavo_evidence(d, "independence", prior = 0.5, method = "monte_carlo",
                       max_draws = 20000)
  expect_identical(res$reason[2:5], c("missing value", "infinite value",
    "Dirichlet parameters must be greater than 1 and p0 must be in interval (0,1)",
    "missing value"))
  p <- kavo_evidence(data.frame(k = 2, m = 4), "proportion", p0 = Inf)
  expect_identical(p$reason, "infinite value")
})

test_that("Monte Carlo's settings are refused with another method, as on the command line", {
  x <- matrix(c(11, 4, 6, 8), 2)
  expect_error(kavo_test(x, method = "exact", seed = 3),
               "'seed' applies to the monte_carlo method only, not to exact")
  expect_error(kavo_test(x, method = "exact", max_draws = 1e6), "'max_draws' applies")
  expect_error(kavo_evidence(x, "independence", method = "exact", precision = 0.01),
               "'precision' applies to the monte_carlo method only")
  expect_identical(kavo_test(x, method = "ex")$draws, 0)
})

test_that("names are whole, aliases, or unambiguous starts; anything else lists them", {
  x <- matrix(c(11, 4, 6, 8), 2)
  expect_identical(kavo_test(x, "sym", method = "mo", max_draws = 1e4)$hypothesis, "symmetry")
  expect_identical(kavo_test(x, "kavomcn", method = "monte_carlo", max_draws = 1e4)$hypothesis, "symmetry")
  expect_error(kavo_test(x, "h"), paste0("ambiguous hypothesis \"h\" \\(the start of homogeneity ",
                                         "and hardy_weinberg\\); should be one of: independence"))
  expect_error(kavo_test(x, method = "e x"), "unknown method \"e x\"; should be one of: monte_carlo")
})
