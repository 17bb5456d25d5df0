#!/usr/bin/env bash
# Installs the Python package into a fresh virtual environment with the
# README's commands and runs its tests from outside the source tree, so the
# installed package is the one imported. Offline: Debian's python3-* packages.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"

missing=()
for pkg in python3-venv python3-pip python3-pybind11 pybind11-dev python3-numpy python3-pandas \
           python3-dask python3-distributed python3-pytest python3-setuptools g++ libboost-math-dev \
           python3-matplotlib python3-scipy python3-pysam; do
  dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
venv="$work/venv"

# The README's install command.
cd "$root"
/usr/bin/python3 -m venv --system-site-packages "$venv" && "$venv/bin/pip" install --no-build-isolation ./python

cd "$work"
"$venv/bin/python" - "$root" <<'PY'
import sys, pathlib, kavo
where = pathlib.Path(kavo.__file__).resolve()
assert not where.is_relative_to(pathlib.Path(sys.argv[1]).resolve()), f"kavo imported from the source tree: {where}"
print(f"kavo {kavo.__version__} from {where.parent}")
PY
status=0
"$venv/bin/python" -m pytest -q -p no:cacheprovider "$here/tests" || status=$?
if [ "$status" -eq 5 ]; then
  echo "no tests were collected" >&2
  exit 1
fi
exit "$status"
