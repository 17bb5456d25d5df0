# Types of the extension module kavo._core.
from typing import Any

import numpy as np
import numpy.typing as npt

def compute_many(
    hypothesis: str,
    values: npt.NDArray[np.float64],
    method: str,
    max_draws: int,
    precision: float,
    seed: int,
    threads: int,
    rows: int = 0,
    columns: int = 0,
) -> tuple[
    npt.NDArray[np.int32],  # status codes
    npt.NDArray[np.float64],  # evidence
    npt.NDArray[np.float64],  # error
    npt.NDArray[np.int64],  # draws
    npt.NDArray[np.float64],  # log10_evidence
    npt.NDArray[np.float64],  # sev
    npt.NDArray[np.float64],  # g2
    npt.NDArray[np.int32],  # df
]: ...
def time_compute_many(
    hypothesis: str,
    values: npt.NDArray[np.float64],
    method: str,
    max_draws: int,
    precision: float,
    seed: int,
    threads: int,
) -> float: ...
def status_name(code: int) -> str: ...
def describe(code: int) -> str: ...
def hypothesis_info(name: str, rows: int = 0, columns: int = 0) -> tuple[str, str, int, int, list[str]]: ...
def describe_hypothesis(name: str) -> dict[str, Any]: ...
def hypotheses() -> list[str]: ...
MAX_THREADS: int
def methods() -> list[str]: ...
def version() -> str: ...
