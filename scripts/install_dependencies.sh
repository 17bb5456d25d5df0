#!/usr/bin/env bash
# Installs, from Debian's packages, whatever a fresh Debian 12 machine lacks to
# build kavo and run every test suite (C++, Python, R). Packages already there
# are left alone, so a second run costs a second. Needs root (or sudo).
set -euo pipefail

packages=(
  # C++ build and tests
  cmake ninja-build g++ pkgconf libgtest-dev libbenchmark-dev libboost-math-dev
  # {fmt}, header-only: the shortest digits of batch output's numbers
  libfmt-dev
  # VCF and BCF input (htslib); bcftools and plink2 make and check the VCF tests' files
  libhts-dev bcftools plink2
  # manual pages and their tests, the Debian package test
  groff-base man-db dpkg-dev file
  # fuzzing (clang's libFuzzer) and the locale test
  clang libclang-rt-14-dev locales
  # the Python package
  python3-dev python3-venv python3-pip python3-setuptools python3-pybind11 pybind11-dev
  python3-numpy python3-pandas python3-dask python3-distributed python3-pytest
  python3-matplotlib python3-scipy python3-pysam
  # the R package
  r-base-dev r-cran-rcpp r-cran-bh r-cran-testthat
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

# A locale with a decimal comma, so the number parser's locale test runs.
locales=$(locale -a 2>/dev/null || true)
if ! grep -qi '^de_DE\.utf-\?8$' <<<"$locales"; then
  if [ "$(id -u)" -eq 0 ]; then
    sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    locale-gen >/dev/null
  fi
fi
