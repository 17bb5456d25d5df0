#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it without root and
# checks that it holds the programs and pages under /usr and that the unpacked
# programs print the same evidence as the build's.
# Usage: tests/deb_package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$work"/*.deb)
dpkg-deb -x "$deb" "$work/root"
for page in kavoind kavomcn kavohomo kavohw kavoprop; do
  [ -f "$work/root/usr/share/man/man1/$page.1" ] || { echo "no page $page.1 in $deb"; exit 1; }
done
check() {
  local program=$1; shift
  local packaged built
  packaged=$("$work/root/usr/bin/$program" "$@" 2>&1) || true
  built=$("$build/programs/$program" "$@" 2>&1) || true
  [ "$packaged" = "$built" ] || { echo "$program $*: packaged '$packaged', built '$built'"; exit 1; }
  echo "$program $*: $packaged"
}
check kavoind 12 5 7 9
check kavomcn 3.5 9 2.5 4
check kavohomo 1.5 4 2.2 3
check kavohw 3 2 1.5
check kavoprop 1.7 2.3 0.6
echo "deb package test passed: $(basename "$deb")"
