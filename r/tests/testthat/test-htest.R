test_that("kavo_test returns a complete htest", {
  tab <- matrix(c(11, 4, 6, 8), 2, byrow = TRUE)
  r <- kavo_test(tab, method = "monte_carlo", max_draws = 20000, seed = 5)
  expect_s3_class(r, "htest")
  expect_named(r$statistic, "G2")
  expect_identical(r$parameter, c(df = 1L))
  expect_identical(e_digits(r$evidence), "3.787500e-01")
  expect_identical(r$dirichlet, c(A11 = 12, A12 = 5, A21 = 7, A22 = 9))
  # The posterior mode of the cell probabilities.
  expect_equal(r$estimate, c(p11 = 11, p12 = 4, p21 = 6, p22 = 8) / 29)
  expect_identical(r$data.name, "tab, with prior 1 added to each count")
  expect_match(r$method, "independence")
  expect_match(r$method, "Monte Carlo")
  expect_identical(e_digits(r$error), "8.879335e-03")
  expect_identical(r$draws, 20000)
  expect_identical(r$hypothesis, "independence")
  expect_identical(r$prior, 1)
  expect_null(r$p.value)

  out <- capture.output(print(r))
  expect_true(any(grepl(paste0("evidence = 0.37875, standardized evidence = ",
                               format(r$sev, digits = 5)), out, fixed = TRUE)))
  expect_true(any(grepl(paste0("G2 = ", format(r$statistic, digits = 5), ", df = 1"), out,
                        fixed = TRUE)))
  expect_true(any(grepl("data:  tab", out, fixed = TRUE)))
})

test_that("each hypothesis names its parameters and estimate", {
  r <- kavo_test(c(11, 9, 3), "hardy_weinberg")
  expect_named(r$dirichlet, c("Aaa", "Aab", "Abb"))
  expect_equal(r$estimate, c(paa = 11, pab = 9, pbb = 3) / 23)
  r <- kavo_test(matrix(c(11, 4, 6, 8), 2, byrow = TRUE), "homogeneity")
  expect_equal(r$estimate, c(p1 = 11 / 15, p2 = 6 / 14))
  r <- kavo_test(c(2, 4), "proportion", p0 = 0.4)
  expect_identical(r$dirichlet, c(A1 = 3, A2 = 5))
  expect_equal(r$estimate, c(p = 2 / 6))
  expect_identical(r$null.value, c(p = 0.4))
  expect_match(r$method, "p0 = 0.4", fixed = TRUE)
})

test_that("hypotheses are taken by name, program name or abbreviation", {
  a <- kavo_test(c(11, 9, 3), "hardy_weinberg", method = "monte_carlo", max_draws = 20000)
  b <- kavo_test(c(11, 9, 3), "kavohw", method = "monte_carlo", max_draws = 20000)
  c <- kavo_test(c(11, 9, 3), "hardy", method = "monte_carlo", max_draws = 20000)
  expect_identical(a$evidence, b$evidence)
  expect_identical(a$evidence, c$evidence)
  expect_identical(b$hypothesis, "hardy_weinberg")
})

test_that("the library version is the package version", {
  expect_identical(kavo_version(), as.character(utils::packageVersion("kavo")))
})

test_that("X-linked Hardy-Weinberg comes from the library's description", {
  # Females and males at their common frequency 3/4: the point is the mode.
  r <- kavo_test(c(9, 6, 1, 3, 1), "x_linked_hardy_weinberg")
  expect_named(r$dirichlet, c("AA", "AB", "BB", "A", "B"))
  expect_equal(r$estimate, c(pAA = 9, pAB = 6, pBB = 1, pA = 12, pB = 4) / 16)
  expect_identical(r$evidence, 1)
  expect_equal(unname(r$parameter), 2)
  expect_match(r$method, "X-linked Hardy-Weinberg equilibrium", fixed = TRUE)
  b <- kavo_test(c(12, 10, 4, 8, 5), "kavohw --x-linked")
  e <- kavo_evidence(data.frame(AA = 12, AB = 10, BB = 4, A = 8, B = 5), "x_linked_hardy_weinberg")
  expect_identical(b$evidence, e$evidence)
  expect_error(kavo_test(1:3, "x_linked_hardy_weinberg"), "5 counts")
  expect_error(kavo_evidence(data.frame(AA = 1, AB = 2, BB = 3, A = 4, B = 5), "x_linked",
                             shape = 3), "fixed shape only")
})
