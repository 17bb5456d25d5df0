import os
from pathlib import Path

import pytest

SOURCE_DIR = Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def programs_dir():
    """The built command-line programs (KAVO_PROGRAMS_DIR, else <source>/build/programs)."""
    folder = Path(os.environ.get("KAVO_PROGRAMS_DIR", SOURCE_DIR / "build" / "programs"))
    if not (folder / "kavoind").is_file():
        pytest.skip(f"no built programs in {folder} (build the C++ part to compare live)")
    return folder
