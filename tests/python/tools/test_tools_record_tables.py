"""The columns and tables of schema 3 on real documents: classifications row
for row against their source elements, and a few documents checked by eye
against their files and pinned."""

from __future__ import annotations

import collections
import glob
from typing import Any, Dict

import pytest
from lxml import etree
from tessellox_tools.records import iter_records, text_record
from tools_helpers import DATA

# The source elements of each scheme's rows in version 4.
V4_SOURCES = {
    "ipc": (
        "classifications-ipcr/classification-ipcr",
        "classification-ipc/main-classification",
        "classification-ipc/further-classification",
    ),
    "uspc": ("classification-national/main-classification", "classification-national/further-classification"),
    "cpc": ("classifications-cpc//classification-cpc",),
    "locarno": ("classification-locarno",),
}


def version_4_files() -> list:
    found = glob.glob(f"{DATA}/*/*.xml")
    return sorted(path for path in found if "/v4-" in path or "/bulk/ipg" in path)


@pytest.mark.parametrize(
    "path", version_4_files(), ids=lambda path: path.rsplit("/", 2)[-2] + "/" + path.rsplit("/", 1)[-1]
)
def test_version_4_classification_rows_are_one_per_source_element(path: str) -> None:
    parser = etree.XMLParser(recover=True, resolve_entities=False, load_dtd=False, no_network=True)
    documents = open(path, "rb").read().split(b"<?xml")[1:]
    for record in iter_records([path]):
        root = etree.fromstring(b"<?xml" + documents[record["ordinal"] - 1], parser)
        block = root.find("./us-bibliographic-data-grant")
        block = root.find("./us-bibliographic-data-application") if block is None else block
        expected = {scheme: sum(len(block.findall(p)) for p in paths) for scheme, paths in V4_SOURCES.items()}
        rows = collections.Counter(row["scheme"] for row in record["classifications"])
        assert {scheme: rows[scheme] for scheme in V4_SOURCES} == expected, record["ordinal"]
        for scheme in V4_SOURCES:
            sequences = [row["sequence"] for row in record["classifications"] if row["scheme"] == scheme]
            assert sequences == list(range(1, len(sequences) + 1))


def st32_files() -> list:
    return sorted(glob.glob(f"{DATA}/st32/*.xml") + glob.glob(f"{DATA}/bulk/*st32*.xml"))


@pytest.mark.parametrize("path", st32_files(), ids=lambda path: path.rsplit("/", 1)[-1])
def test_st32_term_of_grant_and_disclaimer_follow_b472(path: str) -> None:
    parser = etree.XMLParser(recover=True, resolve_entities=False, load_dtd=False, no_network=True)
    documents = open(path, "rb").read().split(b"<?xml")[1:]
    for record in iter_records([path]):
        term = etree.fromstring(b"<?xml" + documents[record["ordinal"] - 1], parser).find(".//B472")
        years = None if term is None else term.findtext("B474/PDAT")
        assert record["term_of_grant"] == (None if years is None else int(years)), record["ordinal"]
        assert record["term_disclaimer"] == (None if term is None else term.find("B473US") is not None)


# Each checked against its file by eye.
PINNED: Dict[str, Dict[str, Any]] = {
    "v4-grant/US10000000-v45.xml": {
        "num_claims": 20,
        "num_figures": 7,
        "num_sheets": 6,
        "series_code": "14",
        "application_type": "utility",
        "term_extension_days": 430,
        "term_disclaimer": False,
        "term_of_grant": None,
        "exemplary": [1],
    },
    "v4-grant/USD0631641-v42.xml": {
        "num_claims": 1,
        "num_figures": 6,
        "num_sheets": 4,
        "series_code": "29",
        "application_type": "design",
        "term_of_grant": 14,
        "exemplary": [1],
        "classifications": [
            ("uspc", 1, True, "D 2889", "D2", "889"),
            ("uspc", 2, False, "D2866", None, None),
            ("locarno", 1, True, "0203", None, None),
        ],
    },
    "st32/USD0435854.xml": {
        "num_claims": 1,
        "num_figures": 14,
        "num_sheets": 4,
        "term_of_grant": 14,
        "term_disclaimer": False,
        "series_code": None,
        "exemplary": [1],
    },
    "aps/US03932709.aps.txt": {
        "num_claims": 17,
        "num_figures": 10,
        "num_sheets": 9,
        "series_code": "5",
        "application_type": "1",
        "term_disclaimer": None,
        "exemplary": [1],
    },
    "pap/US20010000002A1.xml": {"series_code": "09", "num_claims": None, "exemplary": []},
}


@pytest.mark.parametrize("name", sorted(PINNED))
def test_pinned_documents(name: str) -> None:
    record = text_record((DATA / name).read_bytes())
    expected = dict(PINNED[name])
    assert [claim["number"] for claim in record["claims"] if claim["exemplary"]] == expected.pop("exemplary")
    if "classifications" in expected:
        assert [
            (row["scheme"], row["sequence"], row["main"], row["code"], row["us_main_class"], row["us_subclass"])
            for row in record["classifications"]
        ] == expected.pop("classifications")
    assert {key: record[key] for key in expected} == expected
