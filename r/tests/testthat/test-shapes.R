# Tables larger than the fixed ones: the shape comes from the matrix or the
# vector's length, or from the shape argument; digits are the C++ library's
# for the same tables (prior 0, Monte Carlo's default settings).

test_that("kavo_test takes larger tables by their shape", {
  ind <- kavo_test(matrix(c(13, 6, 8, 10, 5, 7), 2, byrow = TRUE), "independence", prior = 0,
                   method = "monte_carlo")
  expect_identical(e_digits(ind$evidence), "9.999762e-01")
  expect_identical(ind$draws, 42000)
  expect_identical(names(ind$dirichlet), c("A11", "A12", "A13", "A21", "A22", "A23"))
  expect_match(ind$method, "2x3 table")

  sym <- kavo_test(matrix(c(21, 4, 3, 7, 16, 2, 5, 6, 12), 3, byrow = TRUE), "symmetry",
                   prior = 0, method = "monte_carlo")
  expect_identical(e_digits(sym$evidence), "7.616575e-01")
  homo <- kavo_test(matrix(c(13, 6, 8, 10, 15, 3), 3, byrow = TRUE), "homogeneity", prior = 0,
                    method = "monte_carlo")
  expect_identical(e_digits(homo$evidence), "5.020964e-02")
  # Each population's own mode.
  expect_equal(unname(homo$estimate[1:2]), c(12, 5) / 17)
  hw <- kavo_test(c(10, 13, 5, 9, 7, 2), "hardy_weinberg", prior = 0, method = "monte_carlo")
  expect_identical(e_digits(hw$evidence), "9.934943e-01")
  expect_identical(names(hw$dirichlet), c("A11", "A12", "A22", "A13", "A23", "A33"))
  prop <- kavo_test(c(21, 31, 12), "proportion", p0 = c(0.3, 0.5, 0.2), prior = 0,
                    method = "monte_carlo")
  expect_identical(e_digits(prop$evidence), "8.630160e-01")
  expect_equal(prop$null.value, c(p1 = 0.3, p2 = 0.5, p3 = 0.2))
})

test_that("shapes that cannot be are refused", {
  expect_error(kavo_test(matrix(1:6 + 2, 2), "symmetry"), "shape not possible")
  expect_error(kavo_test(c(3, 4, 5, 6), "hardy_weinberg"), "genotype counts")
  expect_error(kavo_test(c(3, 4, 5), "proportion", p0 = c(0.5, 0.5)), "3 probabilities")
  expect_error(kavo_test(c(3, 4, 5), "proportion", p0 = c(0.3, 0.3, 0.3)),
               "Dirichlet parameters must be greater than 1")
  expect_error(kavo_evidence(data.frame(a = 3, b = 4), "independence", shape = 6),
               "c\\(rows, columns\\)")
})

test_that("kavo_evidence takes a shape and gives kavo_test's results", {
  panel <- data.frame(marker = c("m1", "m2"),
                      A11 = c(10, 4), A12 = c(13, 9), A22 = c(5, 7),
                      A13 = c(9, 2), A23 = c(7, 6), A33 = c(2, 8))
  res <- kavo_evidence(panel, "hardy_weinberg", shape = 3, prior = 0, method = "monte_carlo",
                       max_draws = 20000, threads = 2)
  expect_identical(names(res)[1:7], c("marker", "A11", "A12", "A22", "A13", "A23", "A33"))
  for (i in 1:2) {
    one <- kavo_test(unlist(panel[i, -1]), "hardy_weinberg", prior = 0, method = "monte_carlo",
                     max_draws = 20000)
    expect_identical(res$evidence[i], one$evidence)
    expect_identical(res$draws[i], one$draws)
  }
  props <- data.frame(a = c(21, 5), b = c(31, 6), c = c(12, 7))
  res <- kavo_evidence(props, "proportion", p0 = c(0.3, 0.5, 0.2), shape = 3, prior = 0,
                       method = "monte_carlo")
  expect_identical(e_digits(res$evidence[1]), "8.630160e-01")
  expect_identical(names(res)[4:6], c("p1", "p2", "p3"))
})

test_that("a shape beyond R's integers is refused as given, without a coercion warning", {
  d <- data.frame(a = 3, b = 4, c = 5, d = 6)
  expect_no_warning(expect_error(kavo_evidence(d, "independence", shape = c(1e10, 2)),
                                 "got c\\(1e\\+10, 2\\)", class = "simpleError"))
  expect_error(kavo_evidence(d, "symmetry", shape = Inf), "got Inf")
})
