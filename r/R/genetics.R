# Hardy-Weinberg equilibrium in the argument order of genomics tools: one
# marker per element of the count vectors, a data frame with the counts as
# given, allele frequencies, heterozygosity and the evidence columns.

.kavo_marker_counts <- function(counts) {
  for (name in names(counts)) {
    if (!is.numeric(counts[[name]]) || !is.null(dim(counts[[name]]))) {
      stop("'", name, "' must be a numeric vector", call. = FALSE)
    }
  }
  n <- max(lengths(counts))
  if (any(lengths(counts) == 0L) || any(n %% lengths(counts) != 0L)) {
    stop("the counts have different lengths (",
         paste0(names(counts), ": ", lengths(counts), collapse = ", "), ")", call. = FALSE)
  }
  matrix(unlist(lapply(counts, function(x) rep_len(as.double(x), n))), n,
         dimnames = list(NULL, names(counts)))
}

.kavo_ratio <- function(a, b) ifelse(b > 0, a / b, NA_real_)

# The counts as given, the marker's figures, then the evidence columns.
.kavo_marker_frame <- function(counts, figures, hypothesis, shape, settings) {
  result <- do.call(kavo_evidence, c(list(data = unname(counts), hypothesis = hypothesis,
                                          columns = seq_len(ncol(counts)), shape = shape),
                                     settings))
  evidence <- result[, c("evidence", "error", "draws", "log10_evidence", "sev", "g2", "df",
                         "reason")]
  data.frame(counts, figures, evidence, check.names = FALSE, stringsAsFactors = FALSE)
}

kavo_hardy_weinberg <- function(n_hom_ref, n_het, n_hom_var, ...) {
  counts <- .kavo_marker_counts(list(n_hom_ref = n_hom_ref, n_het = n_het,
                                     n_hom_var = n_hom_var))
  called <- rowSums(counts)
  alt <- .kavo_ratio(counts[, "n_het"] + 2 * counts[, "n_hom_var"], 2 * called)
  figures <- data.frame(n_called = called, alt_freq = alt,
                        het_obs = .kavo_ratio(counts[, "n_het"], called),
                        het_exp = 2 * alt * (1 - alt))
  .kavo_marker_frame(counts, figures, "hardy_weinberg", NULL, list(...))
}

kavo_hardy_weinberg_x <- function(n_hom_ref, n_het, n_hom_var, n_male_ref, n_male_var, ...) {
  counts <- .kavo_marker_counts(list(n_hom_ref = n_hom_ref, n_het = n_het,
                                     n_hom_var = n_hom_var, n_male_ref = n_male_ref,
                                     n_male_var = n_male_var))
  females <- rowSums(counts[, 1:3, drop = FALSE])
  males <- rowSums(counts[, 4:5, drop = FALSE])
  alt <- .kavo_ratio(counts[, "n_het"] + 2 * counts[, "n_hom_var"] + counts[, "n_male_var"],
                     2 * females + males)
  figures <- data.frame(n_female = females, n_male = males, alt_freq = alt,
                        het_obs = .kavo_ratio(counts[, "n_het"], females),
                        het_exp = 2 * alt * (1 - alt))
  .kavo_marker_frame(counts, figures, "x_linked_hardy_weinberg", NULL, list(...))
}

# Allele counts of genotype counts in the library's order 11, 12, 22, 13, 23,
# 33, ...: class (i, j), i <= j, in column j (j - 1) / 2 + i.
.kavo_allele_counts <- function(genotypes, k) {
  out <- matrix(0, nrow(genotypes), k)
  for (j in seq_len(k)) {
    for (i in seq_len(j)) {
      g <- genotypes[, j * (j - 1) / 2 + i]
      out[, i] <- out[, i] + g
      out[, j] <- out[, j] + g
    }
  }
  out
}

kavo_hardy_weinberg_alleles <- function(genotypes, ...) {
  if (is.data.frame(genotypes)) genotypes <- as.matrix(genotypes)
  if (is.null(dim(genotypes))) genotypes <- matrix(genotypes, 1L)
  if (!is.numeric(genotypes) || length(dim(genotypes)) != 2L) {
    stop("'genotypes' must be a numeric matrix, one marker per row", call. = FALSE)
  }
  classes <- ncol(genotypes)
  k <- round((sqrt(8 * classes + 1) - 1) / 2)
  if (k < 2 || k * (k + 1) / 2 != classes) {
    stop(classes, " genotype classes are not k (k + 1) / 2 for k >= 2 alleles", call. = FALSE)
  }
  storage.mode(genotypes) <- "double"
  colnames(genotypes) <- .kavo_shape_info("hardy_weinberg", k, 1L)$value_names
  called <- rowSums(genotypes)
  freqs <- .kavo_allele_counts(genotypes, k) / (2 * ifelse(called > 0, called, NA_real_))
  colnames(freqs) <- paste0("freq_", seq_len(k))
  homozygous <- rowSums(genotypes[, (seq_len(k) * (seq_len(k) + 1)) / 2, drop = FALSE])
  figures <- data.frame(n_called = called, freqs,
                        het_obs = .kavo_ratio(called - homozygous, called),
                        het_exp = 1 - rowSums(freqs^2))
  .kavo_marker_frame(genotypes, figures, "hardy_weinberg", k, list(...))
}
