# Builds kavo._core from the binding and the core's own sources, so the package
# needs no installed library. Offline: setuptools and pybind11 from Debian, with
#   /usr/bin/python3 -m venv --system-site-packages VENV
#   VENV/bin/pip install --no-build-isolation ./python
import re
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
CORE = ROOT / "core"


def project_version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text()
    found = re.search(r"project\(\s*kavo\s+VERSION\s+([0-9]+(?:\.[0-9]+)*)", text)
    if not found:
        raise RuntimeError("no 'project(kavo VERSION x.y.z' in " + str(ROOT / "CMakeLists.txt"))
    return found.group(1)


VERSION = project_version()
# Every .cpp of the core, so new core files join the build without edits here.
CORE_SOURCES = sorted(str(p) for p in (CORE / "src").rglob("*.cpp"))
# A changed header rebuilds the extension (setuptools compares only these dates).
HEADERS = sorted(str(p) for p in CORE.rglob("*.hpp"))

# Two compile jobs by default (KAVO_BUILD_JOBS overrides; 0 means every core).
ParallelCompile("KAVO_BUILD_JOBS", default=2).install()

extension = Pybind11Extension(
    "kavo._core",
    ["src/kavo_core.cpp", *CORE_SOURCES],
    include_dirs=[str(CORE / "include"), str(CORE / "src")],
    depends=HEADERS,
    cxx_std=20,
    define_macros=[("KAVO_VERSION", '"%s"' % VERSION), ("NDEBUG", "1")],
    # The draw loop's digits depend on unfused, unreordered double arithmetic;
    # the exact method's complex products and quotients are the plain formulas
    # (as the CMake build compiles them), so its digits are the programs'.
    extra_compile_args=["-O3", "-ffp-contract=off", "-fcx-limited-range"],
    extra_link_args=["-pthread"],
)

setup(
    name="kavo",
    version=VERSION,
    description="Bayesian evidence for sharp hypotheses on categorical data",
    license="MIT",
    python_requires=">=3.9",
    packages=["kavo"],
    package_data={"kavo": ["py.typed", "_core.pyi"]},
    install_requires=["numpy"],
    extras_require={"pandas": ["pandas"], "dask": ["dask[dataframe]", "distributed"],
                    "plots": ["pandas", "matplotlib", "scipy"], "vcf": ["pandas", "pysam"]},
    ext_modules=[extension],
    cmdclass={"build_ext": build_ext},
    zip_safe=False,
)
