#!/usr/bin/env bash
# Installs what is missing, builds kavo and computes one evidence.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_dependencies.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
./build/programs/kavoind 12 5 7 9
