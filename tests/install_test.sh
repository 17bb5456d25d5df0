#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets: the
# programs run, `man` finds every page, only the public header is installed,
# and projects using find_package(kavo) or pkg-config build against the static
# library and against a shared build of it, and get the programs' numbers.
# The shared library exports only names in namespace kavo.
# Usage: tests/install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null

for program in $(cat "$source_dir/programs/programs.list"); do
  [ -x "$prefix/bin/$program" ] || { echo "missing $prefix/bin/$program"; exit 1; }
  page=$(MANPATH="$prefix/share/man" MANWIDTH=80 man -P cat "$program" 2>&1)
  grep -q "EXIT STATUS" <<<"$page" || { echo "man $program: $page"; exit 1; }
done
headers=$(cd "$prefix/include" && find . -type f | sort)
[ "$headers" = "./kavo/kavo.hpp" ] || { printf 'installed headers:\n%s\n' "$headers"; exit 1; }
[ -f "$prefix/share/doc/kavo/copyright" ] || { echo "missing copyright file"; exit 1; }

installed=$("$prefix/bin/kavoind" 12 5 7 9 2>&1)
[ "$installed" = "evidence = 3.741918e-01" ] || { echo "installed kavoind: $installed"; exit 1; }

# The build's own programs give the numbers to expect (evidence and draws):
# Monte Carlo, the library's default, asked for by name.
ind=$(printf '12 5 7 9\n' | "$build/programs/kavoind" --batch --method monte_carlo --threads 1 |
  awk 'NR == 2 { print $5, $6 }')
hw=$(printf '12 10 4\n' | "$build/programs/kavohw" --batch --method monte_carlo --maxMC 20000 \
  --precision 0.01 --threads 1 |
  awk 'NR == 2 { print $4, $5 }')
expected="kavoind $ind
kavohw $hw
Dirichlet parameters must be greater than 1 and p0 must be in interval (0,1)"
check_consumer() {  # name, executable
  local got
  got=$("$2") || { echo "$1: consumer failed"; exit 1; }
  if [ "$got" != "$expected" ]; then
    printf '%s consumer printed:\n%s\nexpected:\n%s\n' "$1" "$got" "$expected"
    exit 1
  fi
}
# A sanitized build's library needs the sanitizers at link time too.
extra=()
grep -q '^KAVO_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" && extra=(-fsanitize=address,undefined)
consume() {  # name, prefix
  cmake -S "$source_dir/tests/consumer" -B "$work/cmake-$1" -G Ninja \
    -DCMAKE_PREFIX_PATH="$2" >/dev/null
  cmake --build "$work/cmake-$1" >/dev/null
  check_consumer "CMake $1" "$work/cmake-$1/kavo_consumer"
  # pkg-config: the compiler's default standard, flags only from kavo.pc.
  local flags
  flags=$(PKG_CONFIG_PATH="$(dirname "$(find "$2" -name kavo.pc)")" pkg-config --cflags --libs kavo)
  # shellcheck disable=SC2086
  g++ "$source_dir/tests/consumer/main.cpp" -o "$work/pc-$1" $flags "${extra[@]}" -Wl,-rpath,"$(dirname "$(find "$2" -name 'libkavo.*' | head -1)")"
  check_consumer "pkg-config $1" "$work/pc-$1"
}
consume static "$prefix"

# A shared build of the same sources.
shared_build=$work/shared-build
cmake -S "$source_dir" -B "$shared_build" -G Ninja -DBUILD_SHARED_LIBS=ON -DKAVO_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$shared_build" >/dev/null
cmake --install "$shared_build" --prefix "$work/shared" >/dev/null
library=$(find "$work/shared" -name 'libkavo.so.*' -type f)
[ -n "$library" ] || { echo "no shared library installed"; exit 1; }
consume shared "$work/shared"
# (ldd's output is taken whole first: grep -q stopping early would fail the pipe.)
linked=$(ldd "$work/cmake-shared/kavo_consumer")
grep -q "libkavo.so" <<<"$linked" || { printf 'consumer not linked to libkavo.so:\n%s\n' "$linked"; exit 1; }
outside=$(nm -D --defined-only "$library" | awk '{ $1 = ""; $2 = ""; print }' | c++filt |
  sed 's/^ *//' | grep -v '^kavo::' || true)
[ -z "$outside" ] || { printf 'exported outside namespace kavo:\n%s\n' "$outside"; exit 1; }
echo "install test passed"
