# Pictures of a panel's Hardy-Weinberg results, in base graphics.

# The de Finetti diagram's coordinates: x the ALT allele's frequency, y the
# heterozygotes' share times sqrt(3)/2.
kavo_ternary_coordinates <- function(n_hom_ref, n_het, n_hom_var) {
  n <- n_hom_ref + n_het + n_hom_var
  n[n <= 0] <- NA_real_
  data.frame(x = (n_hom_var + n_het / 2) / n, y = n_het / n * sqrt(3) / 2)
}

kavo_ternary_plot <- function(results, floor = -10, palette = hcl.colors(64),
                              main = "Hardy-Weinberg", ...) {
  xy <- kavo_ternary_coordinates(results$n_hom_ref, results$n_het, results$n_hom_var)
  level <- pmax(results$log10_evidence, floor)
  h <- sqrt(3) / 2
  graphics::plot(NA, xlim = c(-0.1, 1.1), ylim = c(-0.1, h + 0.1), asp = 1, axes = FALSE,
                 xlab = "", ylab = "", main = main, ...)
  graphics::polygon(c(0, 1, 0.5), c(0, 0, h))
  p <- seq(0, 1, length.out = 201)
  graphics::lines(p, 2 * p * (1 - p) * h, lty = 2)
  graphics::text(c(0, 1, 0.5), c(-0.05, -0.05, h + 0.05), c("REF/REF", "ALT/ALT", "REF/ALT"))
  shade <- palette[1L + trunc((level - floor) / -floor * (length(palette) - 1L))]
  shade[is.na(level)] <- "grey80"
  graphics::points(xy$x, xy$y, pch = 19, cex = 0.6, col = shade)
  graphics::legend("topright", bty = "n", cex = 0.8, pch = c(19, 19, NA), lty = c(NA, NA, 2),
                   col = c(palette[1L], palette[length(palette)], "black"),
                   legend = c(paste("log10 evidence <=", floor), "log10 evidence 0",
                              "equilibrium"))
  invisible(xy)
}

# The log10 evidences of n markers expected in equilibrium, smallest first:
# uniform standardized evidences carried back through
# sev = 1 - F_chi2(df)(Q_chi2(t)(1 - ev)), t the posterior's dimension.
kavo_expected_log10_evidence <- function(n, df, dimension) {
  u <- (seq_len(n) - 0.5) / n
  stats::pchisq(stats::qchisq(u, df, lower.tail = FALSE), dimension, lower.tail = FALSE,
                log.p = TRUE) / log(10)
}

kavo_qq_plot <- function(results, df = NULL, dimension = NULL,
                         xlab = "expected -log10 evidence", ylab = "observed -log10 evidence",
                         ...) {
  level <- results$log10_evidence[!is.na(results$log10_evidence)]
  if (is.null(df)) {
    df <- unique(stats::na.omit(results$df))
    if (length(df) != 1L) {
      stop("the results' df takes ", length(df), " values; pass 'df' and 'dimension'",
           call. = FALSE)
    }
  }
  if (is.null(dimension)) dimension <- df + 1
  if (df < 1 || dimension < df) stop("need 1 <= df <= dimension", call. = FALSE)
  observed <- sort(-level)
  expected <- sort(-kavo_expected_log10_evidence(length(level), df, dimension))
  top <- max(c(1, observed[is.finite(observed)]))
  observed[!is.finite(observed)] <- top  # evidences of exactly 0 (Monte Carlo)
  graphics::plot(expected, observed, pch = 19, cex = 0.5, xlab = xlab, ylab = ylab, ...)
  graphics::abline(0, 1, col = "grey")
  invisible(data.frame(expected = expected, observed = observed))
}
