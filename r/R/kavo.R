# The R interface of the kavo library: kavo_test for one table (an htest),
# kavo_evidence for many (a data frame, computed in parallel).

kavo_version <- function() .kavo_library()$version

# The hypotheses, their titles, programs and shapes come from the library's
# description of them (.kavo_library()).

.kavo_method_labels <- c(monte_carlo = "Monte Carlo", exact = "exact integration")

# A name among `names`: itself, one of `aliases` (names of the values), or an
# unambiguous start of one; an ambiguous or unknown one is an error listing them.
.kavo_choose <- function(value, names, what, aliases = character()) {
  if (identical(value, names)) return(names[[1L]])
  if (!is.character(value) || length(value) != 1L || is.na(value)) {
    stop("'", what, "' must be one of: ", paste(names, collapse = ", "), call. = FALSE)
  }
  if (value %in% names) return(value)
  if (value %in% aliases) return(names(aliases)[match(value, aliases)])
  starting <- names[nzchar(value) & startsWith(names, value)]
  if (length(starting) == 1L) return(starting)
  stop(if (length(starting)) "ambiguous " else "unknown ", what, " \"", value, "\"",
       if (length(starting)) paste0(" (the start of ", paste(starting, collapse = " and "), ")"),
       "; should be one of: ", paste(names, collapse = ", "), call. = FALSE)
}

# A hypothesis name, a program name (such as "kavohw") or an unambiguous
# start of a name.
.kavo_hypothesis <- function(hypothesis) {
  lib <- .kavo_library()
  .kavo_choose(hypothesis, lib$hypotheses, "hypothesis", lib$programs)
}

.kavo_shape_kind <- function(hypothesis) .kavo_library()$shape_kinds[[hypothesis]]

# The methods as the functions' defaults list them: the first is the default.
.kavo_methods <- c("exact", "monte_carlo")

.kavo_method <- function(method) {
  if (identical(method, .kavo_methods)) return(method[[1L]])
  .kavo_choose(method, .kavo_library()$methods, "method")
}

# Monte Carlo's settings mean nothing to another method: given with one, they
# are refused, as the command line refuses them. `given` names those given.
.kavo_monte_carlo_only <- function(method, given) {
  if (method != "monte_carlo" && length(given)) {
    stop("'", given[[1L]], "' applies to the monte_carlo method only, not to ", method,
         call. = FALSE)
  }
}

.kavo_number <- function(x, name) {
  if (!is.numeric(x) || length(x) != 1L || is.na(x)) {
    stop("'", name, "' must be a single number", call. = FALSE)
  }
  as.double(x)
}

.kavo_prior <- function(prior) {
  prior <- .kavo_number(prior, "prior")
  if (!is.finite(prior)) stop("'prior' must be a finite number", call. = FALSE)
  prior
}

.kavo_p0 <- function(p0) {
  if (missing(p0) || is.null(p0)) {
    stop("the proportion hypothesis needs 'p0', the proportion it states", call. = FALSE)
  }
  .kavo_number(p0, "p0")
}

# The counts of one table in the library's order (row-major for a table:
# x[1, 2] is A12), checked, and the table's shape as c(rows, columns) for the
# library (c(0, 0): the hypothesis's fixed shape).
.kavo_counts <- function(x, hypothesis) {
  if (!is.numeric(x)) stop("'x' must hold numeric counts", call. = FALSE)
  d <- dim(x)
  shape <- c(0L, 0L)
  kind <- .kavo_shape_kind(hypothesis)
  if (kind %in% c("table", "square")) {
    if (length(d) != 2L || any(d < 2L)) {
      stop("'x' must be a matrix or table of at least 2x2 counts for the ", hypothesis,
           " hypothesis", call. = FALSE)
    }
    counts <- as.vector(t(x))
    if (any(d != 2L)) shape <- as.integer(d)
  } else {
    if (length(d) > 1L) {
      stop("'x' must be a vector of counts for the ", hypothesis, " hypothesis", call. = FALSE)
    }
    n <- length(x)
    if (kind == "fixed") {
      names <- .kavo_library()$value_names[[hypothesis]]
      if (n != length(names)) {
        stop("'x' must be a vector of ", length(names), " counts for the ", hypothesis,
             " hypothesis: ", paste(names, collapse = ", "), call. = FALSE)
      }
    } else if (kind == "alleles") {
      k <- (sqrt(8 * n + 1) - 1) / 2  # n = k (k + 1) / 2 genotype classes
      if (k < 2 || k != round(k)) {
        stop("'x' must be a vector of genotype counts for the hardy_weinberg hypothesis: ",
             "aa, ab, bb for two alleles, or the k (k + 1) / 2 classes 11, 12, 22, 13, 23, 33, ...",
             call. = FALSE)
      }
      if (k > 2) shape <- c(as.integer(k), 1L)
    } else {
      if (n < 2L) {
        stop("'x' must be a vector of at least 2 counts for the proportion hypothesis",
             call. = FALSE)
      }
      if (n > 2L) shape <- c(1L, n)
    }
    counts <- as.vector(x)
  }
  counts <- as.double(counts)
  # Missing and infinite counts are reported by the library, in its words.
  if (all(is.finite(counts)) && any(counts < 0)) {
    stop("counts must not be negative", call. = FALSE)
  }
  list(counts = counts, shape = shape)
}

# The posterior mode of each Dirichlet block's cells, each named p and its value's name.
.kavo_block_modes <- function(a, sizes) {
  blocks <- split(a, rep(seq_along(sizes), sizes))
  p <- unlist(lapply(blocks, function(b) (b - 1) / (sum(b) - length(b))), use.names = FALSE)
  stats::setNames(p, paste0("p", names(a)))
}

# The posterior mode of the probabilities the hypothesis speaks about.
.kavo_mode <- function(a, hypothesis, shape) {
  fixed <- all(shape == 0L)
  if (fixed && !hypothesis %in% c("independence", "symmetry", "homogeneity", "hardy_weinberg",
                                  "proportion")) {
    return(.kavo_block_modes(a, .kavo_library()$blocks[[hypothesis]]))
  }
  if (!fixed) {
    p <- if (hypothesis == "homogeneity") {
      blocks <- split(a, rep(seq_len(shape[[1]]), each = shape[[2]]))
      unlist(lapply(blocks, function(b) (b - 1) / (sum(b) - length(b))), use.names = FALSE)
    } else {
      (a - 1) / (sum(a) - length(a))
    }
    return(stats::setNames(p, sub("^A", "p", names(a))))
  }
  switch(hypothesis,
    independence = ,
    symmetry = stats::setNames((a - 1) / (sum(a) - 4), c("p11", "p12", "p21", "p22")),
    homogeneity = c(p1 = (a[[1]] - 1) / (a[[1]] + a[[2]] - 2),
                    p2 = (a[[3]] - 1) / (a[[3]] + a[[4]] - 2)),
    hardy_weinberg = stats::setNames((a - 1) / (sum(a) - 3), c("paa", "pab", "pbb")),
    proportion = c(p = (a[[1]] - 1) / (a[[1]] + a[[2]] - 2)))
}

# The library's shape for a shape argument: c(rows, columns) as given, or
# one number: k x k for symmetry, k alleles, c categories.
.kavo_shape_argument <- function(shape, hypothesis) {
  if (is.null(shape)) return(c(0L, 0L))
  if (!is.numeric(shape) || !(length(shape) %in% 1:2) || anyNA(shape) || any(shape < 1) ||
      any(shape > .Machine$integer.max) || any(shape != round(shape))) {
    stop("'shape' must be c(rows, columns) or one whole number (each from 1 to ",
         .Machine$integer.max, "), got ", paste(deparse(shape), collapse = " "), call. = FALSE)
  }
  if (length(shape) == 2L) return(as.integer(shape))
  k <- as.integer(shape)
  switch(.kavo_shape_kind(hypothesis),
    square = c(k, k),
    alleles = c(k, 1L),
    categories = c(1L, k),
    fixed = stop("the ", hypothesis, " hypothesis takes its fixed shape only", call. = FALSE),
    stop("the ", hypothesis, " hypothesis takes 'shape' as c(rows, columns)", call. = FALSE))
}

kavo_test <- function(x, hypothesis = "independence",
                      p0, prior = 1, method = c("exact", "monte_carlo"),
                      max_draws = 2e6, precision = 0.001, seed = 11) {
  dname <- paste(deparse(substitute(x), width.cutoff = 500L), collapse = " ")
  hypothesis <- .kavo_hypothesis(hypothesis)
  method <- .kavo_method(method)
  .kavo_monte_carlo_only(method, c("max_draws", "precision", "seed")[
    c(!missing(max_draws), !missing(precision), !missing(seed))])
  table <- .kavo_counts(x, hypothesis)
  counts <- table$counts
  shape <- table$shape
  prior <- .kavo_prior(prior)
  names <- .kavo_shape_info(hypothesis, shape[[1]], shape[[2]])$value_names
  parameters <- stats::setNames(counts + prior, names[seq_along(counts)])
  values <- parameters
  if (hypothesis == "proportion") {
    if (all(shape == 0L)) {
      values <- c(parameters, p0 = .kavo_p0(p0))
    } else {
      if (missing(p0) || is.null(p0) || !is.numeric(p0) || length(p0) != length(counts)) {
        stop("the proportion hypothesis over ", length(counts), " categories needs 'p0', ",
             length(counts), " probabilities summing to 1", call. = FALSE)
      }
      values <- c(parameters, stats::setNames(as.double(p0), names[-seq_along(counts)]))
    }
  } else if (!missing(p0)) {
    stop("'p0' is only for the proportion hypothesis", call. = FALSE)
  }
  r <- .kavo_compute_many(hypothesis, as.double(values), method,
                          .kavo_number(max_draws, "max_draws"),
                          .kavo_number(precision, "precision"),
                          .kavo_number(seed, "seed"), 1L, shape[[1]], shape[[2]])
  if (r$status != 0L) {
    stop("the evidence cannot be computed for ", dname, ": ", r$reason,
         " (the Dirichlet parameters are the counts plus prior = ", prior, ")", call. = FALSE)
  }
  description <- .kavo_library()$titles[[hypothesis]]
  if (hypothesis == "proportion") {
    shown <- values[-seq_along(counts)]
    description <- if (length(shown) == 1L) {
      paste0("a proportion equal to p0 = ", format(shown))
    } else {
      paste0("category probabilities equal to p0 = (", paste(format(shown), collapse = ", "), ")")
    }
  }
  if (!all(shape == 0L)) {
    kind <- .kavo_shape_kind(hypothesis)
    description <- paste0(description, ", ", if (kind == "alleles") {
      paste(shape[[1]], "alleles")
    } else if (kind == "categories") {
      paste(shape[[2]], "categories")
    } else {
      paste0(shape[[1]], "x", shape[[2]], " table")
    })
  }
  label <- if (method %in% names(.kavo_method_labels)) .kavo_method_labels[[method]] else method
  out <- list(
    statistic = c(G2 = r$g2),
    parameter = c(df = r$df),
    estimate = .kavo_mode(parameters, hypothesis, shape),
    method = paste0("Bayesian evidence for ", description, " (", label, ")"),
    data.name = paste0(dname, ", with prior ", format(prior), " added to each count"),
    evidence = r$evidence,
    log10_evidence = r$log10_evidence,
    sev = r$sev,
    error = r$error,
    draws = r$draws,
    dirichlet = parameters,
    hypothesis = hypothesis,
    prior = prior,
    settings = list(method = method, max_draws = max_draws, precision = precision, seed = seed))
  if (hypothesis == "proportion") {
    out$null.value <- if (all(shape == 0L)) c(p = values[["p0"]]) else values[-seq_along(counts)]
  }
  class(out) <- c("kavo_htest", "htest")
  out
}

# An htest's print, with the evidence first: it is the result; G2 and its
# df describe the table.
print.kavo_htest <- function(x, digits = getOption("digits"), prefix = "\t", ...) {
  shown <- max(1L, digits - 2L)
  cat("\n")
  cat(strwrap(x$method, prefix = prefix), sep = "\n")
  cat("\n")
  cat("data:  ", x$data.name, "\n", sep = "")
  cat("evidence = ", format(x$evidence, digits = shown),
      if (x$evidence == 0) paste0(" (log10 ", format(x$log10_evidence, digits = shown), ")"),
      ", standardized evidence = ", format(x$sev, digits = shown), "\n",
      "G2 = ", format(x$statistic, digits = shown), ", df = ", x$parameter, "\n", sep = "")
  if (!is.null(x$null.value)) {
    cat("null value", if (length(x$null.value) > 1L) "s", ":\n", sep = "")
    print(x$null.value, digits = digits, ...)
  }
  cat("posterior mode:\n")
  print(x$estimate, digits = digits, ...)
  cat("\n")
  invisible(x)
}

.kavo_column <- function(data, j) if (is.data.frame(data)) data[[j]] else data[, j]

# The columns of data holding the counts, as names or positions.
.kavo_count_columns <- function(data, columns, exclude, k) {
  cn <- colnames(data)
  if (is.null(columns)) {
    numeric <- if (is.data.frame(data)) {
      vapply(data, is.numeric, logical(1))
    } else {
      rep(is.numeric(data), ncol(data))
    }
    numeric[exclude] <- FALSE
    columns <- which(numeric)
    if (length(columns) != k) {
      stop("'data' has ", length(columns), " numeric count columns but the hypothesis takes ", k,
           "; name them with 'columns'", call. = FALSE)
    }
    return(unname(columns))
  }
  if (length(columns) != k) {
    stop("'columns' must name ", k, " columns for this hypothesis", call. = FALSE)
  }
  if (is.character(columns)) {
    pos <- match(columns, cn)
    if (anyNA(pos)) {
      stop("no column named ", paste0("'", columns[is.na(pos)], "'", collapse = ", "),
           " in 'data'", call. = FALSE)
    }
  } else if (is.numeric(columns)) {
    pos <- as.integer(columns)
    if (anyNA(pos) || any(pos != columns) || any(pos < 1L) || any(pos > ncol(data))) {
      stop("'columns' must be column positions from 1 to ", ncol(data), call. = FALSE)
    }
  } else {
    stop("'columns' must be column names or positions", call. = FALSE)
  }
  if (anyDuplicated(pos)) stop("'columns' names a column twice", call. = FALSE)
  pos
}

kavo_evidence <- function(data, hypothesis, columns = NULL, p0 = NULL, prior = 1,
                          method = c("exact", "monte_carlo"), max_draws = 2e6,
                          precision = 0.001, seed = 11, threads = NULL, shape = NULL) {
  if (!is.data.frame(data) && !is.matrix(data)) {
    stop("'data' must be a data frame or a matrix", call. = FALSE)
  }
  hypothesis <- .kavo_hypothesis(hypothesis)
  method <- .kavo_method(method)
  .kavo_monte_carlo_only(method, c("max_draws", "precision", "seed")[
    c(!missing(max_draws), !missing(precision), !missing(seed))])
  prior <- .kavo_prior(prior)
  if (is.null(threads)) {
    threads <- 0L  # every hardware thread
  } else {
    threads <- .kavo_number(threads, "threads")
    if (threads < 1 || threads != round(threads) || threads > .Machine$integer.max) {
      stop("'threads' must be a positive whole number", call. = FALSE)
    }
    threads <- as.integer(threads)
  }
  shape <- .kavo_shape_argument(shape, hypothesis)
  info <- .kavo_shape_info(hypothesis, shape[[1]], shape[[2]])
  k <- info$dirichlet_count
  names <- info$value_names
  n <- nrow(data)
  if (is.null(colnames(data))) colnames(data) <- paste0("V", seq_len(ncol(data)))

  # p0: a number, one per row, or the name of a column of data; over c > 2
  # categories, c numbers for every row or the names of c columns.
  p0_column <- integer()
  p0_values <- NULL
  if (hypothesis == "proportion") {
    m <- length(names) - k
    if (is.null(p0)) stop("the proportion hypothesis needs 'p0'", call. = FALSE)
    if (is.character(p0)) {
      if (length(p0) != m || !all(p0 %in% colnames(data))) {
        stop("'p0' names no column of 'data'", call. = FALSE)
      }
      p0_column <- match(p0, colnames(data))
      p0 <- do.call(cbind, lapply(p0_column, function(j) .kavo_column(data, j)))
    }
    if (m == 1L) {
      if (!is.numeric(p0) || !(length(p0) %in% c(1L, n))) {
        stop("'p0' must be a number, one number per row, or a column name", call. = FALSE)
      }
      p0_values <- matrix(rep_len(as.double(p0), n), n, 1L)
    } else {
      if (!is.numeric(p0) || !(length(p0) == m || identical(dim(p0), c(n, m)))) {
        stop("'p0' must be ", m, " probabilities, or the names of ", m, " columns", call. = FALSE)
      }
      p0_values <- if (is.null(dim(p0))) matrix(as.double(p0), n, m, byrow = TRUE) else p0
      storage.mode(p0_values) <- "double"
    }
    colnames(p0_values) <- names[-seq_len(k)]
  } else if (!is.null(p0)) {
    stop("'p0' is only for the proportion hypothesis", call. = FALSE)
  }

  pos <- .kavo_count_columns(data, columns, p0_column, k)
  counts <- matrix(NA_real_, n, k)
  for (j in seq_len(k)) {
    column <- .kavo_column(data, pos[[j]])
    if (!is.numeric(column)) {
      stop("column '", colnames(data)[pos[[j]]], "' does not hold numeric counts", call. = FALSE)
    }
    counts[, j] <- as.double(column)
  }
  parameters <- counts + prior
  colnames(parameters) <- names[seq_len(k)]

  # Rows refused here never reach the library, which reports missing and
  # infinite values itself.
  reason <- rep(NA_character_, n)
  reason[rowSums(counts < 0, na.rm = TRUE) > 0 & rowSums(!is.finite(counts)) == 0] <-
    "negative count"
  rows <- which(is.na(reason))

  values <- if (is.null(p0_values)) parameters else cbind(parameters, p0_values)
  r <- .kavo_compute_many(hypothesis, as.double(t(values[rows, , drop = FALSE])), method,
                          .kavo_number(max_draws, "max_draws"),
                          .kavo_number(precision, "precision"),
                          .kavo_number(seed, "seed"), threads, shape[[1]], shape[[2]])
  figures <- c("evidence", "error", "draws", "log10_evidence", "sev", "g2", "df")
  results <- lapply(stats::setNames(figures, figures), function(f) {
    column <- rep(if (f == "df") NA_integer_ else NA_real_, n)
    column[rows] <- r[[f]]
    column
  })
  reason[rows] <- r$reason

  out <- data.frame(values, results, reason = reason, check.names = FALSE,
                    stringsAsFactors = FALSE)
  if (is.data.frame(data)) {
    kept <- setdiff(seq_len(ncol(data)), c(pos, p0_column))
    if (length(kept)) {
      clash <- intersect(colnames(data)[kept], colnames(out))
      if (length(clash)) {
        stop("'data' already has column(s) ", paste0("'", clash, "'", collapse = ", "),
             " that the result would repeat", call. = FALSE)
      }
      out <- cbind(as.data.frame(data)[kept], out)
    }
  }
  rownames(out) <- rownames(data)
  out
}
