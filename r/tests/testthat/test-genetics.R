# Hardy-Weinberg in the genomics argument order, and the panel plots.

test_that("kavo_hardy_weinberg is the evidence with the markers' figures", {
  out <- kavo_hardy_weinberg(c(11, 0, NA), c(9, 264, 5), 3)
  direct <- kavo_evidence(matrix(c(11, 9, 3, 0, 264, 3), 2, byrow = TRUE), "hardy_weinberg")
  expect_identical(out$evidence[1:2], direct$evidence)
  expect_identical(out$n_hom_var, c(3, 3, 3))  # as given: no prior added
  expect_equal(out$alt_freq[1], 15 / 46)
  expect_equal(out$het_exp[1], 2 * 15 / 46 * 31 / 46)
  expect_equal(out$het_obs[2], 264 / 267)
  expect_true(is.na(out$evidence[3]) && nzchar(out$reason[3]))
  expect_error(kavo_hardy_weinberg(1:2, 1:3, 1), "different lengths")
})

test_that("k alleles follow the library's genotype order", {
  genotypes <- matrix(c(4, 3, 2, 5, 1, 6), 1)
  expect_equal(kavo:::.kavo_allele_counts(genotypes, 3), matrix(c(16, 8, 18), 1))
  out <- kavo_hardy_weinberg_alleles(genotypes)
  expect_equal(out$het_obs, (3 + 5 + 1) / 21)
  expect_equal(out$freq_1 + out$freq_2 + out$freq_3, 1)
  expect_equal(kavo_hardy_weinberg_alleles(c(11, 9, 3))$evidence,
               kavo_hardy_weinberg(11, 9, 3)$evidence, tolerance = 1e-12)
  expect_error(kavo_hardy_weinberg_alleles(matrix(1:4, 1)), "genotype classes")
})

test_that("the plots render to PNG", {
  expect_equal(kavo_expected_log10_evidence(4, 2, 2), log10(c(0.125, 0.375, 0.625, 0.875)))
  panel <- kavo_hardy_weinberg(c(30, 10, 25, 40, 0), c(50, 20, 0, 44, 0), c(20, 70, 25, 12, 0))
  for (draw in list(kavo_ternary_plot, kavo_qq_plot)) {
    file <- tempfile(fileext = ".png")
    grDevices::png(file)
    draw(panel)
    grDevices::dev.off()
    expect_identical(readBin(file, "raw", 8L), as.raw(c(0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a,
                                                         0x1a, 0x0a)))
  }
  xy <- kavo_ternary_coordinates(c(10, 0, 0), c(0, 10, 0), c(0, 0, 10))
  expect_equal(xy$x, c(0, 0.5, 1))
  expect_equal(xy$y, c(0, sqrt(3) / 2, 0))
  expect_error(kavo_qq_plot(transform(panel, df = c(1, 3, 1, 1, 1))), "df")
})
