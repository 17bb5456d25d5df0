#!/usr/bin/env bash
# Builds the Debian packages from a build folder, unpacks them without root and
# checks them as a user would: kavo holds the stripped programs, compressed
# manual pages and the copyright file, with versioned dependencies computed
# from the binaries; libkavo-dev holds the header, the library, and the CMake
# and pkg-config files; the unpacked programs print the build's evidence.
# Usage: tests/deb_package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "deb package test: $*"; exit 1; }
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
runtime=$(ls "$work"/kavo_*.deb) || fail "no kavo package"
dev=$(ls "$work"/libkavo-dev_*.deb) || fail "no libkavo-dev package"
dpkg-deb -x "$runtime" "$work/root"
dpkg-deb -x "$dev" "$work/dev"

depends=$(dpkg-deb -f "$runtime" Depends)
grep -Eq 'libc6 \(>= [0-9.]+\)' <<<"$depends" || fail "kavo depends on '$depends'"
grep -Eq 'libstdc\+\+6 \(>= [0-9.]+\)' <<<"$depends" || fail "kavo depends on '$depends'"
for package in "$runtime" "$dev"; do
  name=$(dpkg-deb -f "$package" Package)
  [ -f "$work/$([ "$name" = kavo ] && echo root || echo dev)/usr/share/doc/$name/copyright" ] ||
    fail "$name has no copyright file"
done
for program in $(cat "$(dirname "$0")/../programs/programs.list"); do
  [ -f "$work/root/usr/share/man/man1/$program.1.gz" ] || fail "no page $program.1.gz"
  kind=$(file "$work/root/usr/bin/$program")
  grep -q ', stripped' <<<"$kind" || fail "$program is not stripped: $kind"
done
[ -z "$(find "$work/root" -name '*.hpp' -o -name '*.a' -o -name '*.pc')" ] ||
  fail "development files in the kavo package"
for f in include/kavo/kavo.hpp lib/libkavo.a lib/pkgconfig/kavo.pc lib/cmake/kavo/kavoConfig.cmake; do
  [ -f "$work/dev/usr/$f" ] || fail "libkavo-dev lacks /usr/$f"
done
[ -z "$(find "$work/dev" -path '*/bin/*')" ] || fail "programs in the libkavo-dev package"

check() {
  local program=$1; shift
  local packaged built
  packaged=$("$work/root/usr/bin/$program" "$@" 2>&1) || true
  built=$("$build/programs/$program" "$@" 2>&1) || true
  [ "$packaged" = "$built" ] || fail "$program $*: packaged '$packaged', built '$built'"
  echo "$program $*: $packaged"
}
check kavoind 12 5 7 9
check kavomcn 3.5 9 2.5 4
check kavohomo 1.5 4 2.2 3
check kavohw 3 2 1.5
check kavoprop 1.7 2.3 0.6
echo "deb package test passed: $(basename "$runtime") (Depends: $depends), $(basename "$dev")"
