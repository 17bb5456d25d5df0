#!/usr/bin/env bash
# Installs what is missing, builds kavo and runs every test suite: the C++
# tests (CTest), the Debian package test, the Python package's tests (pytest,
# from a fresh virtual environment) and the R package's (R CMD check).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_dependencies.sh

echo "== C++ tests"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
ctest --test-dir build -j2 --output-on-failure

echo "== Debian packages"
tests/deb_package_test.sh build

echo "== Python package"
python/run_tests.sh

echo "== R package"
r/run_tests.sh
