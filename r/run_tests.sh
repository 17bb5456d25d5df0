#!/usr/bin/env bash
# Builds the R package from a fresh copy of the core sources, checks the
# source tarball with R CMD check (examples and testthat tests included) and
# installs it into a temporary library (the check's own installation, so the
# sources are compiled once). Exits non-zero when the check reports
# an ERROR or a WARNING, or when anything else fails. No network is used.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
start=$(date +%s)

for need in R Rscript; do
  command -v "$need" >/dev/null || { echo "run_tests.sh: $need not found (apt-get install r-base-dev)" >&2; exit 1; }
done
Rscript -e 'for (p in c("Rcpp", "testthat")) if (!requireNamespace(p, quietly = TRUE)) {
  message("run_tests.sh: R package ", p, " not found (apt-get install r-cran-rcpp r-cran-bh r-cran-testthat)")
  quit(status = 1) }'

"$here/bootstrap.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

export MAKEFLAGS="-j2"
export _R_CHECK_FORCE_SUGGESTS_=false
# No network: the check's dependency-cycle lookup reads an empty local
# repository (this replaces the site profile, which names CRAN, for every R
# started below).
mkdir -p "$work/repo/src/contrib"
: > "$work/repo/src/contrib/PACKAGES"
printf 'options(repos = c(CRAN = "file://%s/repo"))\n' "$work" > "$work/Rprofile.site"
export R_PROFILE="$work/Rprofile.site"
# Also the tests skipped on CRAN: the user-interrupt test signals this process.
export NOT_CRAN=true

echo "== R CMD build"
R CMD build --no-build-vignettes --no-manual "$here"
tarball="$(ls kavo_*.tar.gz)"
# The tarball must be self-contained: it carries the core sources.
tar -tzf "$tarball" > contents.txt
grep -qx 'kavo/src/core/include/kavo/kavo.hpp' contents.txt
grep -qx 'kavo/src/core/src/compute_many.cpp' contents.txt

echo "== R CMD check --no-manual $tarball, installing into a temporary library"
mkdir lib
check_status=0
R CMD check --no-manual --library="$work/lib" "$tarball" || check_status=$?
log="kavo.Rcheck/00check.log"
if [ ! -f "$log" ]; then
  echo "run_tests.sh: R CMD check wrote no log" >&2
  exit 1
fi
status_line="$(grep '^Status:' "$log" || true)"
echo "R CMD check: ${status_line:-no Status line}"
if [ "$check_status" -ne 0 ] || [ -z "$status_line" ] || echo "$status_line" | grep -Eq 'ERROR|WARNING'; then
  echo "run_tests.sh: R CMD check failed" >&2
  for f in kavo.Rcheck/00install.out kavo.Rcheck/tests/testthat.Rout.fail; do
    [ -f "$f" ] && tail -n 60 "$f" >&2
  done
  exit 1
fi

echo "== the installed package"
R_LIBS="$work/lib" Rscript -e '
  library(kavo)
  r <- kavo_test(matrix(c(12, 5, 7, 9), 2, byrow = TRUE), prior = 0, method = "monte_carlo")
  stopifnot(identical(sprintf("%e", r$evidence), "3.741918e-01"))
  cat("installed kavo", kavo_version(), "from", find.package("kavo"), "\n")'

echo "run_tests.sh: passed in $(( $(date +%s) - start )) s"
