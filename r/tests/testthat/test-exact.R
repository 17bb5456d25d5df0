# The exact method by default, and the figures every result carries beside
# the evidence.

test_that("the default is the exact method, matching a proportion's closed form", {
  a <- 3; b <- 5; p0 <- 0.4  # counts 2 and 4 with the uniform prior
  log_kernel <- function(p) (a - 1) * log(p) + (b - 1) * log(1 - p)
  mode <- (a - 1) / (a + b - 2)
  # The other point of the kernel's level through p0, below the mode.
  p1 <- uniroot(function(p) log_kernel(p) - log_kernel(p0), c(1e-12, mode), tol = 1e-15)$root
  r <- kavo_test(c(2, 4), "proportion", p0 = p0)
  expect_match(r$method, "exact")
  expect_identical(r$draws, 0)
  expect_equal(r$evidence, 1 - (pbeta(p0, a, b) - pbeta(p1, a, b)), tolerance = 1e-12)
  expect_equal(unname(r$statistic), 2 * (log_kernel(mode) - log_kernel(p0)), tolerance = 1e-12)
  expect_identical(r$sev, r$evidence)  # a point hypothesis
  expect_identical(r$parameter, c(df = 1L))
  many <- kavo_evidence(data.frame(k = 2, m = 4), "proportion", p0 = p0)
  expect_identical(many$evidence, r$evidence)
})

test_that("the default gives the programs' exact figures", {
  programs <- Sys.getenv("KAVO_PROGRAMS_DIR")
  skip_if(!nzchar(programs) || !file.exists(file.path(programs, "kavohw")),
          "no built programs (KAVO_PROGRAMS_DIR)")
  counts <- rbind(c(11, 9, 3), c(5, 0, 12), c(200000, 0, 200000))
  res <- kavo_evidence(counts, "hardy_weinberg", threads = 2)
  for (i in seq_len(nrow(counts))) {
    out <- system2(file.path(programs, "kavohw"), c(counts[i, ] + 1, "--method", "exact"),
                   stdout = TRUE)
    printed <- stats::setNames(strsplit(out[[2]], "\t")[[1]], strsplit(out[[1]], "\t")[[1]])
    for (f in c("evidence", "log10_evidence", "sev", "g2")) {
      expect_identical(res[[f]][[i]], as.numeric(printed[[f]]), label = paste(f, i))
    }
    expect_identical(res$df[[i]], as.integer(printed[["df"]]))
  }
})

test_that("a zero count computes by default and needs the exact method for Monte Carlo", {
  expect_gt(kavo_test(c(5, 0, 12), "hardy_weinberg")$evidence, 0)
  expect_error(kavo_test(c(5, 0, 12), "hardy_weinberg", method = "monte_carlo"),
               "only the exact method computes it")
  res <- kavo_evidence(rbind(c(5, 0, 12), c(11, 9, 3)), "hardy_weinberg",
                       method = "monte_carlo", max_draws = 20000)
  expect_match(res$reason[[1]], "a Dirichlet parameter of exactly 1")
  expect_true(all(is.na(unlist(res[1, c("evidence", "log10_evidence", "sev", "g2", "df")]))))
  expect_identical(res$reason[[2]], NA_character_)
  expect_error(kavo_test(c(5, 0.5, 12), "hardy_weinberg", prior = 0),
               "below 1 makes the posterior density unbounded")
})

test_that("both methods carry consistent figures", {
  tables <- rbind(c(12, 5, 7, 9, 4, 6), c(30, 2, 9, 4, 11, 25))
  exact <- kavo_evidence(tables, "independence", shape = c(2, 3))
  mc <- kavo_evidence(tables, "independence", shape = c(2, 3), method = "monte_carlo",
                      max_draws = 20000, precision = 0.01)
  for (res in list(exact, mc)) {
    expect_equal(res$log10_evidence, log10(res$evidence), tolerance = 1e-12)
    expect_identical(res$df, c(2L, 2L))
    expect_true(all(res$sev >= 0 & res$sev <= 1))
  }
  expect_identical(mc$g2, exact$g2)  # the table's statistic, whatever the method
  one <- kavo_test(matrix(tables[1, ], 2, byrow = TRUE))
  expect_identical(c(one$statistic, one$parameter), c(G2 = exact$g2[[1]], df = 2))
  expect_identical(one$evidence, exact$evidence[[1]])
})

test_that("an evidence below the double range keeps its logarithm", {
  r <- kavo_test(c(200000, 0, 200000), "hardy_weinberg")
  expect_identical(r$evidence, 0)
  expect_true(is.finite(r$log10_evidence) && r$log10_evidence < -308)
  expect_true(any(grepl("evidence = 0 (log10 ", capture.output(print(r)), fixed = TRUE)))
})
