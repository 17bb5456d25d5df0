# Reference digits printed by the programs with the default settings
# (max_draws 2000000, precision 0.001, seed 11) and, where given, by their
# batch mode for the draws and the half-width. prior = 0 passes the
# parameters as they are.

references <- list(
  list("independence", c(12, 5, 7, 9), NULL, "3.741918e-01", 1569000, "9.999869e-04"),
  list("independence", c(20, 8, 6, 30), NULL, "1.000000e-04", 10000, "2.588885e-04"),
  list("symmetry", c(12, 5, 7, 9), NULL, "9.306918e-01", 432200, "9.999827e-04"),
  list("symmetry", c(3.5, 9, 2.5, 4), NULL, "1.239700e-01", 727700, "9.999549e-04"),
  list("homogeneity", c(12, 5, 7, 9), NULL, "2.129115e-01", 1122800, "9.999963e-04"),
  list("homogeneity", c(20, 8, 6, 30), NULL, "5.659310e-06", 176700, "1.464890e-05"),
  list("hardy_weinberg", c(12, 10, 4), NULL, "8.622669e-01", 795800, "9.999463e-04"),
  list("hardy_weinberg", c(25, 50, 30), NULL, "9.315372e-01", 427400, "9.998845e-04"),
  list("proportion", c(3, 5), 0.4, "7.072672e-01", 1387200, "9.999909e-04"),
  list("proportion", c(30, 70), 0.25, "2.990630e-01", 1404500, "9.999955e-04"))

# A 2x2 table from its values in the library's order A11 A12 A21 A22.
as_table <- function(v) if (length(v) == 4L) matrix(v, 2, 2, byrow = TRUE) else v

test_that("kavo_test gives the programs' digits for every hypothesis", {
  for (ref in references) {
    x <- as_table(ref[[2]])
    r <- if (is.null(ref[[3]])) {
      kavo_test(x, ref[[1]], prior = 0, method = "monte_carlo")
    } else {
      kavo_test(x, ref[[1]], p0 = ref[[3]], prior = 0, method = "monte_carlo")
    }
    label <- paste(ref[[1]], paste(ref[[2]], collapse = " "))
    expect_identical(e_digits(r$evidence), ref[[4]], label = label)
    expect_identical(r$draws, ref[[5]], label = label)
    expect_identical(e_digits(r$error), ref[[6]], label = label)
  }
})

test_that("the default prior of 1 is added to every count, never to p0", {
  mc <- function(...) kavo_test(..., method = "monte_carlo")$evidence
  expect_identical(e_digits(mc(matrix(c(11, 4, 6, 8), 2, byrow = TRUE))), "3.741918e-01")
  expect_identical(e_digits(mc(c(11, 9, 3), "hardy_weinberg")), "8.622669e-01")
  expect_identical(e_digits(mc(c(2, 4), "proportion", p0 = 0.4)), "7.072672e-01")
  # Jeffreys' prior: 11.5 + 0.5 is exactly 12.
  expect_identical(e_digits(mc(c(24.5, 49.5, 29.5), "hardy_weinberg", prior = 0.5)),
                   "9.315372e-01")
})

test_that("kavo_evidence gives the same digits as kavo_test, in input order", {
  tables <- rbind(c(12, 5, 7, 9), c(20, 8, 6, 30), c(3.5, 9, 2.5, 4))
  res <- kavo_evidence(tables, "symmetry", prior = 0, method = "monte_carlo", threads = 2)
  expect_identical(e_digits(res$evidence), c("9.306918e-01", "9.504659e-01", "1.239700e-01"))
  expect_identical(res$draws, c(432200, 315500, 727700))
  expect_identical(res$evidence[[3]],
                   kavo_test(as_table(tables[3, ]), "symmetry", prior = 0,
                             method = "monte_carlo")$evidence)
})

test_that("settings reach the library: batch-mode digits for other settings", {
  # kavoind / kavomcn / kavohomo --batch --method monte_carlo --maxMC 20000 --precision 0.001
  # --prior 1 --seed 5
  counts <- data.frame(label = c("t1", "t2", "t3", "t4"), a = c(11, 19, 2, 0),
                       b = c(4, 7, 9, 3), c = c(6, 5, 1, 4), d = c(8, 29, 3, 5))
  expected <- list(
    independence = list(c("3.787500e-01", "0.000000e+00", "9.924000e-01"),
                        c("8.879335e-03", "3.348878e-04", "1.589722e-03")),
    symmetry = list(c("9.314500e-01", "9.505000e-01", "3.725000e-02"),
                    c("4.625454e-03", "3.970540e-03", "3.466497e-03")),
    homogeneity = list(c("2.170500e-01", "0.000000e+00", "9.542500e-01"),
                       c("7.546018e-03", "3.348878e-04", "3.824701e-03")))
  for (h in names(expected)) {
    res <- kavo_evidence(counts, h, method = "monte_carlo", max_draws = 20000, seed = 5,
                         threads = 2)
    expect_identical(res$label, counts$label)
    expect_identical(e_digits(res$evidence[1:3]), expected[[h]][[1]], label = h)
    expect_identical(e_digits(res$error[1:3]), expected[[h]][[2]], label = h)
    expect_identical(res$draws[1:3], c(20000, 20000, 20000), label = h)
    expect_true(is.na(res$evidence[[4]]))
  }
  # kavoprop --batch --method monte_carlo --maxMC 20000 --precision 0.01 --prior 1 --seed 5:
  # precision
  # ends the runs early.
  props <- data.frame(k = c(2, 29), n_k = c(4, 69), p0 = c(0.4, 0.25))
  res <- kavo_evidence(props, "proportion", p0 = "p0", method = "monte_carlo", max_draws = 20000,
                       precision = 0.01, seed = 5)
  expect_identical(e_digits(res$evidence), c("7.106522e-01", "3.076224e-01"))
  expect_identical(res$draws, c(13800, 14300))
  expect_identical(e_digits(res$error), c("9.993251e-03", "9.991201e-03"))
  # The same through kavo_test.
  r <- kavo_test(c(2, 4), "proportion", p0 = 0.4, method = "monte_carlo", max_draws = 20000,
                 precision = 0.01, seed = 5)
  expect_identical(e_digits(r$evidence), "7.106522e-01")
  expect_identical(r$draws, 13800)
})
