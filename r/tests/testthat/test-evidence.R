panel <- data.frame(marker = c("rs1", "rs2", "rs3", "rs4", "rs5", "rs6"),
                    aa = c(11, 24, 40, 5, NA, 3), ab = c(9, 49, 20, 0, 4, -1),
                    bb = c(3, 29, 40, 12, 2, 7))

test_that("rows that cannot be computed are NA with their reason", {
  res <- kavo_evidence(panel, "hardy_weinberg", method = "monte_carlo", max_draws = 20000, seed = 5,
                       threads = 2)
  expect_identical(names(res), c("marker", "Aaa", "Aab", "Abb", "evidence", "error", "draws",
                                 "log10_evidence", "sev", "g2", "df", "reason"))
  expect_identical(res$marker, panel$marker)
  expect_identical(res$Aaa, panel$aa + 1)
  # kavohw --batch --method monte_carlo --maxMC 20000 --prior 1 --seed 5
  expect_identical(e_digits(res$evidence[1:3]),
                   c("8.650500e-01", "9.304500e-01", "0.000000e+00"))
  expect_identical(res$reason[1:3], rep(NA_character_, 3))
  expect_true(all(is.na(res$evidence[4:6]) & is.na(res$error[4:6]) & is.na(res$draws[4:6])))
  # rs4's zero count is a parameter of exactly 1, which Monte Carlo leaves to the exact method.
  expect_identical(res$reason[4:6], c(
    paste("a Dirichlet parameter of exactly 1 (a zero count with the uniform prior):",
          "only the exact method computes it"),
    "missing value", "negative count"))
})

test_that("threads do not change any result", {
  mc <- function(...) kavo_evidence(panel, "hardy_weinberg", method = "monte_carlo",
                                    max_draws = 50000, precision = 0.002, ...)
  one <- mc(threads = 1)
  two <- mc(threads = 2)
  all <- mc()
  expect_identical(one, two)
  expect_identical(one, all)
  for (i in 1:3) {
    single <- kavo_test(unlist(panel[i, 2:4]), "hardy_weinberg", method = "monte_carlo",
                        max_draws = 50000, precision = 0.002)
    expect_identical(one$evidence[[i]], single$evidence)
    expect_identical(one$draws[[i]], single$draws)
  }
})

test_that("p0 is a number, one per row, or a column; a row without p0 is NA", {
  d <- data.frame(k = c(2, 29, 2, 2), m = c(4, 69, 4, 4), p = c(0.4, 0.25, NA, 1.2))
  by_column <- kavo_evidence(d, "proportion", p0 = "p")
  by_vector <- kavo_evidence(d[c("k", "m")], "proportion", p0 = d$p)
  expect_identical(by_column[names(by_vector)], by_vector)
  expect_identical(by_column$p0, d$p)
  expect_identical(by_column$reason[3:4], c("missing value",
    "Dirichlet parameters must be greater than 1 and p0 must be in interval (0,1)"))
  one <- kavo_evidence(d[1:2, c("k", "m")], "proportion", p0 = 0.4)
  expect_identical(one$evidence[[1]], by_column$evidence[[1]])
  expect_identical(one$p0, c(0.4, 0.4))
})

test_that("a numeric matrix and an empty input are accepted", {
  m <- rbind(first = c(11, 4, 6, 8), second = c(2, 9, 1, 3))
  res <- kavo_evidence(m, "independence", method = "monte_carlo", max_draws = 20000, seed = 5)
  expect_identical(rownames(res), c("first", "second"))
  expect_identical(e_digits(res$evidence), c("3.787500e-01", "9.924000e-01"))
  empty <- kavo_evidence(m[0, , drop = FALSE], "independence")
  expect_identical(nrow(empty), 0L)
  expect_named(empty, c("A11", "A12", "A21", "A22", "evidence", "error", "draws",
                        "log10_evidence", "sev", "g2", "df", "reason"))
})

test_that("parameters too large for a hypothesis point are reported per row", {
  res <- kavo_evidence(rbind(c(1e308, 1e308, 1e308, 1e308), c(11, 4, 6, 8)), "independence",
                       method = "monte_carlo", max_draws = 20000, seed = 5)
  expect_identical(res$reason[[1]],
                   "parameters too large: the hypothesis point cannot be computed")
  expect_identical(e_digits(res$evidence[[2]]), "3.787500e-01")
})
