#!/usr/bin/env bash
# Copies the core library's sources into r/src/core so that `R CMD build r`
# makes a self-contained source package. Run it from anywhere in a checkout,
# before every R CMD build (the copies are not committed).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"

rm -rf "$here/src/core"
mkdir -p "$here/src/core/include/kavo"
cp -R "$root/core/src" "$here/src/core/src"
cp "$root/core/include/kavo/kavo.hpp" "$here/src/core/include/kavo/kavo.hpp"

# The package's version is the library's (kavo::version() reports it).
cmake_version="$(sed -n 's/^project(kavo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
r_version="$(sed -n 's/^Version:[[:space:]]*//p' "$here/DESCRIPTION")"
if [ "$cmake_version" != "$r_version" ]; then
  echo "bootstrap.sh: r/DESCRIPTION has Version $r_version but CMakeLists.txt has $cmake_version" >&2
  exit 1
fi
echo "bootstrap.sh: copied $(find "$here/src/core/src" -name '*.cpp' | wc -l) core sources into r/src/core"
