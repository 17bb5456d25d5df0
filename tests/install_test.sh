#!/usr/bin/env bash
# Installs the build into a temporary prefix, then checks what a user gets:
# the programs run, `man` finds every page, and a project using
# find_package(kavo) builds against kavo::core and gets the programs' numbers.
# Usage: tests/install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null

for program in kavoind kavomcn kavohomo kavohw kavoprop; do
  [ -x "$prefix/bin/$program" ] || { echo "missing $prefix/bin/$program"; exit 1; }
  page=$(MANPATH="$prefix/share/man" MANWIDTH=80 man -P cat "$program" 2>&1)
  grep -q "EXIT STATUS" <<<"$page" || { echo "man $program: $page"; exit 1; }
done
[ -f "$prefix/include/kavo/kavo.hpp" ] || { echo "missing public header"; exit 1; }

installed=$("$prefix/bin/kavoind" 12 5 7 9 2>&1)
[ "$installed" = "evidence = 3.741918e-01" ] || { echo "installed kavoind: $installed"; exit 1; }

cmake -S "$source_dir/tests/consumer" -B "$work/consumer" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
got=$("$work/consumer/kavo_consumer")
# The build's own programs give the numbers to expect (evidence and draws).
ind=$(printf '12 5 7 9\n' | "$build/programs/kavoind" --batch --threads 1 | awk 'NR == 2 { print $5, $6 }')
hw=$(printf '12 10 4\n' | "$build/programs/kavohw" --batch --maxMC 20000 --precision 0.01 --threads 1 |
  awk 'NR == 2 { print $4, $5 }')
expected="kavoind $ind
kavohw $hw
Dirichlet parameters must be greater than 1 and p0 must be in interval (0,1)"
if [ "$got" != "$expected" ]; then
  printf 'consumer printed:\n%s\nexpected:\n%s\n' "$got" "$expected"
  exit 1
fi
echo "install test passed"
