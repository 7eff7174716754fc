"""The columns and tables of schema 3 on real documents: classifications row
for row against their source elements, and a few documents checked by eye
against their files and pinned."""

from __future__ import annotations

import collections
import glob
import operator
import sqlite3
from typing import Any, Dict

import pytest
from lxml import etree
from tessellox_tools.records import iter_records, text_record
from tessellox_tools.split import iter_documents
from tools_helpers import DATA, run_tool

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


# The pre-grant publications' and ST.32's (B511 and B512 are Locarno
# classes on a design grant).
PAP_SOURCES = {
    "ipc": ("technical-information/classification-ipc/*/ipc",),
    "uspc": ("technical-information/classification-us/*/uspc",),
}
ST32_SOURCES = {"ipc": ("B500/B510/B511", "B500/B510/B512"), "uspc": ("B500/B520/B521", "B500/B520/B522")}
FAMILIES = (
    ("v4", ("us-bibliographic-data-grant", "us-bibliographic-data-application"), V4_SOURCES),
    ("pap", ("subdoc-bibliographic-information",), PAP_SOURCES),
    ("st32", ("SDOBI",), ST32_SOURCES),
)


def xml_files() -> list:
    return sorted(path for path in glob.glob(f"{DATA}/*/*.xml") if "/seqcwu/" not in path)


def _family(path: str) -> Any:
    name = path.rsplit("/", 2)
    return FAMILIES[0] if "v4-" in name[1] or "ipg" in name[2] else FAMILIES[1] if "pap" in name[1] else FAMILIES[2]


@pytest.mark.parametrize("path", xml_files(), ids=lambda path: path.rsplit("/", 2)[-2] + "/" + path.rsplit("/", 1)[-1])
def test_classification_rows_are_one_per_source_element(path: str) -> None:
    _, blocks, sources = _family(path)
    parser = etree.XMLParser(recover=True, resolve_entities=False, load_dtd=False, no_network=True)
    documents = open(path, "rb").read().split(b"<?xml")[1:]
    for record in iter_records([path]):
        root = etree.fromstring(b"<?xml" + documents[record["ordinal"] - 1], parser)
        block = next(found for name in blocks for found in root.iter(name))
        expected = {scheme: sum(len(block.findall(p)) for p in paths) for scheme, paths in sources.items()}
        rows = collections.Counter(row["scheme"] for row in record["classifications"])
        if record["document_type"] == "design" and sources is ST32_SOURCES:
            rows["ipc"] = rows.pop("locarno", 0)
        assert {scheme: rows[scheme] for scheme in sources} == expected, record["ordinal"]
        for scheme in sources:
            sequences = [row["sequence"] for row in record["classifications"] if row["scheme"] == scheme]
            assert sequences == list(range(1, len(sequences) + 1))
        uspc = [row for row in record["classifications"] if row["scheme"] == "uspc"]
        # The parts are the code's, in its order; the lists keep what they did.
        for row in uspc:
            if row["us_main_class"] is not None:
                assert row["code"].replace(" ", "").replace("/", "") == row["us_main_class"] + row["us_subclass"]
        if sources is V4_SOURCES:
            assert [row["code"] for row in uspc] == record["us_classifications"]
            ipc = [row["code"] for row in record["classifications"] if row["scheme"] == "ipc" and row["code"]]
            assert ipc == record["ipc_classifications"]
        else:  # the lists keep the main class alone (a pre-grant publication's without its subclass)
            kept = "us_main_class" if sources is PAP_SOURCES else "code"
            assert [row[kept] for row in uspc if row["main"]] == record["us_classifications"]


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
            ("uspc", 2, False, "D2866", "D2", "866"),
            ("locarno", 1, True, "0203", None, None),
        ],
    },
    "st32/USD0435854.xml": {
        "num_claims": 1,
        "num_figures": 14,
        "num_sheets": 4,
        "term_of_grant": 14,
        "term_disclaimer": False,
        "series_code": "29",
        "exemplary": [1],
    },
    "st32/US06337117.xml": {
        "series_code": "09",
        "classifications": [
            ("ipc", 1, True, "B32B  302", "3", "02"),
            ("uspc", 1, True, "428 641", "428", "641"),
            ("uspc", 2, False, "428 644", "428", "644"),
            ("uspc", 3, False, "428147", "428", "147"),
            ("uspc", 4, False, "428148", "428", "148"),
            ("uspc", 5, False, "428690", "428", "690"),
            ("uspc", 6, False, "428913", "428", "913"),
            ("uspc", 7, False, "4304951", "430", "4951"),
            ("uspc", 8, False, "430945", "430", "945"),
        ],
    },
    "pap/US20010000943A1.xml": {
        "classifications": [
            ("ipc", 1, True, "H01J001/62", "001", "62"),
            ("uspc", 1, True, "313/503000", "313", "503000"),
            ("uspc", 2, False, "313/504000", "313", "504000"),
        ],
    },
    "v4-grant/US07272630B2-v42.xml": {
        "ipc": [("G06F15/13", "20060101", "G", "06", "F", "15", "13", "F", "I")],
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
    "aps/pftaps19760106-sample-US03930271.aps.txt": {
        "classifications": [
            ("ipc", 1, True, "A41D 1900", "19", "00"),
            ("uspc", 1, True, "  2161A", "2", "161A"),
            ("uspc", 2, False, "  2 21", "2", "21"),
        ],
    },
}


@pytest.mark.parametrize("name", sorted(PINNED))
def test_pinned_documents(name: str) -> None:
    record = text_record((DATA / name).read_bytes())
    expected = dict(PINNED[name])
    if "exemplary" in expected:
        assert [claim["number"] for claim in record["claims"] if claim["exemplary"]] == expected.pop("exemplary")
    if "classifications" in expected:
        # The US parts for a USPC row, the groups for the others.
        assert [
            (row["scheme"], row["sequence"], row["main"], row["code"])
            + (
                (row["us_main_class"], row["us_subclass"])
                if row["scheme"] == "uspc"
                else (row["main_group"], row["subgroup"])
            )
            for row in record["classifications"]
        ] == expected.pop("classifications")
    if "ipc" in expected:
        parts = ("code", "version_date", "section", "class", "subclass", "main_group", "subgroup")
        assert [
            tuple(row[part] for part in parts + ("symbol_position", "classification_value"))
            for row in record["classifications"]
            if row["scheme"] == "ipc"
        ] == expected.pop("ipc")
    assert {key: record[key] for key in expected} == expected


# The tables of people and places, related documents, PCT filings and text
# sections, end to end: each output holds every row the records hold, and a
# party joins to its document on (file, member, ordinal).
ROW_TABLES = ("parties", "related_documents", "pct", "text_sections")


def _sqlite_tables(path: Any) -> Dict[str, Any]:
    with sqlite3.connect(path) as connection:
        counts = {table: connection.execute(f"SELECT count(*) FROM {table}").fetchone()[0] for table in ROW_TABLES}
        joined = connection.execute(
            "SELECT coalesce(d.patent_number, d.publication_number), p.role, p.family_name, p.organization"
            " FROM parties p JOIN documents d USING (file, member, ordinal)"
        ).fetchall()
    return {"counts": counts, "joined": sorted(joined, key=repr)}


def _parquet_tables(path: Any) -> Dict[str, Any]:
    pq = pytest.importorskip("pyarrow.parquet")
    stem = str(path)[: -len(".parquet")]
    key = operator.itemgetter("file", "member", "ordinal")
    documents = {key(row): row for row in pq.read_table(path).to_pylist()}
    tables = {table: pq.read_table(f"{stem}.{table}.parquet").to_pylist() for table in ROW_TABLES}
    joined = [
        (
            document["patent_number"] or document["publication_number"],
            row["role"],
            row["family_name"],
            row["organization"],
        )
        for row in tables["parties"]
        for document in [documents[key(row)]]
    ]
    return {"counts": {table: len(rows) for table, rows in tables.items()}, "joined": sorted(joined, key=repr)}


@pytest.mark.parametrize("output, read", [("out.sqlite", _sqlite_tables), ("out.parquet", _parquet_tables)])
def test_row_tables_in_sqlite_and_parquet_join_to_documents(tmp_path: Any, output: str, read: Any) -> None:
    inputs = [str(DATA / family) for family in ("v4-grant", "v4-app", "st32", "pap", "aps")]
    result = run_tool("records", *inputs, "-o", str(tmp_path / output), "--jobs", "2", "--sections")
    assert result.returncode == 0, result.stderr
    records = []
    for raw in iter_documents(inputs):
        try:
            records.append(text_record(raw.data, raw.origin, sections=True))
        except ValueError:
            pass  # a failed document, which the outputs leave out too
    expected_joined = [
        (
            record["patent_number"] or record["publication_number"],
            party["role"],
            party["family_name"],
            party["organization"],
        )
        for record in records
        for party in record["parties"]
    ]
    expected_counts = {table: sum(len(record[table]) for record in records) for table in ROW_TABLES}
    assert min(expected_counts.values()) > 0
    assert read(tmp_path / output) == {"counts": expected_counts, "joined": sorted(expected_joined, key=repr)}
