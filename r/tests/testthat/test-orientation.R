# x[1, 2] is A12: the cells are read row by row, A11 A12 A21 A22.

test_that("a 2x2 matrix is read row by row", {
  x <- matrix(c(12, 7, 5, 9), 2)  # column-major: x[1, 2] is 5
  expect_identical(x[1, 2], 5)
  r <- kavo_test(x, "homogeneity", prior = 0, method = "monte_carlo")
  expect_identical(unname(r$dirichlet), c(12, 5, 7, 9))
  expect_named(r$dirichlet, c("A11", "A12", "A21", "A22"))
  expect_identical(e_digits(r$evidence), "2.129115e-01")  # kavohomo 12 5 7 9
  # The transposed table is another table: kavohomo 12 7 5 9.
  expect_identical(e_digits(kavo_test(t(x), "homogeneity", prior = 0, method = "mo")$evidence),
                   "2.113708e-01")
  expect_identical(e_digits(kavo_test(t(x), "symmetry", prior = 0, method = "mo")$evidence),
                   "9.302853e-01")  # kavomcn 12 7 5 9
})

test_that("a table from table() is read the same way", {
  rows <- factor(rep(c("a", "b", "a", "b"), c(11, 6, 4, 8)))
  cols <- factor(rep(c("x", "x", "y", "y"), c(11, 6, 4, 8)))
  tab <- table(rows, cols)
  expect_identical(as.vector(tab[1, ]), c(11L, 4L))
  expect_identical(e_digits(kavo_test(tab, method = "monte_carlo")$evidence), "3.741918e-01")  # kavoind 12 5 7 9
})

test_that("kavo_evidence takes the columns in the order given", {
  d <- data.frame(n11 = 12, n21 = 7, n12 = 5, n22 = 9)
  res <- kavo_evidence(d, "homogeneity", columns = c("n11", "n12", "n21", "n22"), prior = 0,
                       method = "monte_carlo")
  expect_identical(e_digits(res$evidence), "2.129115e-01")
  res <- kavo_evidence(d, "homogeneity", prior = 0, method = "monte_carlo")  # 12 7 5 9
  expect_identical(e_digits(res$evidence), "2.113708e-01")
  res <- kavo_evidence(d, "homogeneity", columns = c(1, 3, 2, 4), prior = 0,
                       method = "monte_carlo")
  expect_identical(e_digits(res$evidence), "2.129115e-01")
})
