import csv
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
EXAMPLES = REPO / "examples"
SHARED_DATA = REPO / "tests" / "data" / "real"  # real USPTO documents, kept in the repository


def read_text(path: Path) -> str:
    # newline="" keeps CRLF documents exactly as published.
    with open(path, encoding="utf-8", newline="") as handle:
        return handle.read()


def manifest_rows():
    manifest = SHARED_DATA / "MANIFEST.tsv"
    if not manifest.exists():
        return []
    with open(manifest, encoding="utf-8", newline="") as handle:
        return list(csv.DictReader(handle, delimiter="\t"))


def split_bulk(text: str):
    """The documents of a bulk file, split at each XML declaration."""
    starts = []
    position = text.find("<?xml")
    while position != -1:
        starts.append(position)
        position = text.find("<?xml", position + 1)
    return [text[start:end] for start, end in zip(starts, starts[1:] + [len(text)])]


@pytest.fixture
def shared_data() -> Path:
    if not SHARED_DATA.exists():
        pytest.skip("real samples not present")
    return SHARED_DATA


@pytest.fixture
def grant_xml() -> str:
    return read_text(EXAMPLES / "US10000000-v45.xml")


@pytest.fixture
def application_xml() -> str:
    return read_text(EXAMPLES / "US20220159901A1-v45.xml")


@pytest.fixture
def aps_text() -> str:
    return read_text(EXAMPLES / "pftaps19760106-sample-US03930271.aps.txt")
