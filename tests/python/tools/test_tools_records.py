"""Records: the schema of documents and failures, JSON and Parquet round trips."""

from __future__ import annotations

import json
from pathlib import Path

import pytest
import tessellox
from tessellox_tools.plan import RegionTask
from tessellox_tools.records import (
    DOCUMENT_FIELDS,
    ERROR_FIELDS,
    RECORD_FIELDS,
    TABLE_FIELDS,
    TABLES,
    iter_records,
    table_rows,
    text_record,
)
from tessellox_tools.sinks import MarkdownNames, parquet_table_path
from tessellox_tools.split import Origin, Region
from tessellox_tools.work import (
    LINES,
    MARKDOWN,
    RECORDS,
    Job,
    JsonLineJoiner,
    ShardWriter,
    TaskResult,
    full_record,
    json_line,
    run_task,
)
from tools_helpers import TRUNCATED_XML, grant_xml, need_bulk, run_tool


class Collected(ShardWriter):
    """A task's output as a list: (origin, ok, payload or message)."""

    def __init__(self, job: Job, seq: int) -> None:
        self.items: list = []

    def add(self, origin: Origin, payload: object) -> None:
        self.items.append((origin, True, payload))

    def fail(self, origin: Origin, message: str) -> None:
        self.items.append((origin, False, message))

    def finish(self) -> list:
        return self.items


def run_region(region: Region, command: str = RECORDS, shard: str = LINES, template=None) -> TaskResult:
    job = Job(command, shard, "unused", template)
    return run_task(RegionTask(1, 0, region), job, Collected, lambda seq, count: lambda: 1, lambda unit, index: None)


def write_week(tmp_path: Path) -> Path:
    week = tmp_path / "week.xml"
    week.write_bytes(
        (
            grant_xml("08000001", "Ünïcode title", "A claim with “quotes”.")
            + TRUNCATED_XML
            + "\n"
            + grant_xml("08000002")
        ).encode()
    )
    return week


def test_record_has_every_field_in_order_with_plain_values(tmp_path: Path) -> None:
    week = write_week(tmp_path)
    records = list(iter_records([str(week)], include_errors=True))
    assert [list(record) for record in records] == [list(RECORD_FIELDS), list(ERROR_FIELDS), list(RECORD_FIELDS)]
    first = records[0]
    document = tessellox.parse(grant_xml("08000001", "Ünïcode title", "A claim with “quotes”."))
    for name in DOCUMENT_FIELDS[4:-1]:
        assert first[name] == getattr(document, name), name
    assert first["claims"] == [{"number": 1, "text": "A claim with “quotes”.", "depends_on": [], "exemplary": None}]
    assert (first["file"], first["member"], first["ordinal"], first["offset"]) == (str(week), None, 1, 0)
    # Plain values only: the record survives JSON unchanged.
    assert json.loads(json_line(first)) == first
    assert records[1]["ordinal"] == 2 and records[1]["message"]
    assert [r["patent_number"] for r in iter_records([str(week)])] == ["US8000001B2", "US8000002B2"]


def test_region_failures_stay_with_their_document_and_joined_lines_equal_records(tmp_path: Path) -> None:
    pieces = [
        grant_xml("08000001").encode(),
        b"<?xml version='1.0'?><a>\xff</a>\n",
        TRUNCATED_XML.encode(),
        grant_xml("08000002", 'Gadget \\ "quoted"').encode(),
    ]
    week = tmp_path / "week.xml"
    week.write_bytes(b"".join(pieces))
    offsets = [sum(map(len, pieces[:i])) for i in range(len(pieces))]
    # A region of a plain file is read where it is processed.
    result = run_region(Region(str(week), None, 0, len(b"".join(pieces)), True, True))
    assert result.unreadable is None and (result.documents, result.succeeded) == (4, 2)
    outcomes = result.output
    assert [(origin.ordinal, origin.offset, ok) for origin, ok, _ in outcomes] == [
        (ordinal, offset, ok) for ordinal, offset, ok in zip(range(1, 5), offsets, [True, False, False, True])
    ]
    assert outcomes[1][2] == "invalid UTF-8 at byte 24: invalid start byte"
    assert [failure.message for failure in result.failures] == [outcomes[1][2], outcomes[2][2]]
    origin = Origin(str(week), None, 4, offsets[3])
    expected = json_line(text_record(pieces[3].decode(), origin))
    assert JsonLineJoiner().line(origin, outcomes[3][2]) == expected
    fields = run_region(Region("f", "m", 0, len(pieces[0]), True, True, pieces[0]), shard="sqlite").output
    assert full_record(Origin("f", "m", 1, 0), fields[0][2]) == text_record(pieces[0].decode(), Origin("f", "m", 1, 0))
    markdown = run_region(
        Region("f", None, 0, len(pieces[0]), True, True, pieces[0]), MARKDOWN, MARKDOWN, "{{title}}|{{claims}}"
    ).output
    assert markdown[0][2][0] == "US8000001B2"
    assert markdown[0][2][1].decode().startswith("# Widget|")


def test_unreadable_region_is_reported_not_raised(tmp_path: Path) -> None:
    result = run_region(Region(str(tmp_path / "gone.xml"), None, 0, 10, True, True))
    assert result.unreadable == (str(tmp_path / "gone.xml"), "No such file or directory") and result.output == []


@pytest.mark.parametrize(
    "documents, expected",
    [
        ([("US1B2", "a.xml", 1)], ["US1B2.md"]),
        (
            [("US1B2", "a.xml", 1), ("US1B2", "a.xml", 2), ("US1B2", "b.xml", 1)],
            ["US1B2.md", "US1B2-2.md", "US1B2-3.md"],
        ),
        # A real number that looks like a suffixed duplicate does not collide.
        (
            [("US1B2", "a.xml", 1), ("US1B2", "a.xml", 2), ("US1B2-2", "a.xml", 3)],
            ["US1B2.md", "US1B2-2.md", "US1B2-2-2.md"],
        ),
        (
            [(None, "dir/ipg050104.xml", 7), (None, "dir/ipg050104.xml", 7)],
            ["unnumbered-ipg050104-7.md", "unnumbered-ipg050104-7-2.md"],
        ),
        ([(None, "-", 3)], ["unnumbered-stdin-3.md"]),
        ([(None, "w.zip!ipg1.xml", 2)], ["unnumbered-ipg1-2.md"]),
        ([("US 12/34", "a.xml", 1), ("../x", "a.xml", 2)], ["US_12_34.md", "_x.md"]),
        # Names differing only in case would overwrite each other on some file systems.
        ([("USRE1E", "a.xml", 1), ("usre1e", "a.xml", 2)], ["USRE1E.md", "usre1e-2.md"]),
    ],
)
def test_markdown_names_are_deterministic(tmp_path: Path, documents, expected) -> None:
    writer = MarkdownNames()
    names = []
    for number, where, ordinal in documents:
        file, _, member = where.partition("!")
        names.append(writer.name_for(number, Origin(file, member or None, ordinal, 0)))
    assert names == expected


def test_parquet_tables_hold_every_table_of_the_records(tmp_path: Path) -> None:
    pq = pytest.importorskip("pyarrow.parquet")
    week = write_week(tmp_path)
    records = list(iter_records([str(week)]))
    path = tmp_path / "out.parquet"
    assert run_tool("records", str(week), "-o", str(path), "--jobs", "1").returncode == 0
    for table in TABLES:
        written = pq.read_table(parquet_table_path(str(path), table))
        assert written.column_names == list(TABLE_FIELDS[table])
        assert written.to_pylist() == [row for record in records for row in table_rows(record, table)], table


def test_records_of_a_bulk_sample_match_parse_of_each_document() -> None:
    week = need_bulk() / "ipgb20221025-biblio-v47.xml"
    text = week.read_bytes()
    marker = b"<?xml version"
    pieces = [marker + piece for piece in text.split(marker)[1:]]
    offsets = [sum(map(len, pieces[:i])) for i in range(len(pieces))]
    records = list(iter_records([str(week)], include_errors=True))
    assert [r["offset"] for r in records] == offsets
    for record, piece in zip(records, pieces):
        document = tessellox.parse(piece.decode())
        assert record["patent_number"] == document.patent_number
        assert record["publication_number"] == document.publication_number
        assert record["title"] == document.title
        assert record["assignees"] == document.assignees


@pytest.mark.parametrize("max_bytes", [1, 20_000, 1 << 30])
def test_parquet_row_groups_are_bounded_in_rows_and_bytes(tmp_path: Path, max_bytes: int) -> None:
    pa = pytest.importorskip("pyarrow")
    pq = pytest.importorskip("pyarrow.parquet")
    from tessellox_tools.sinks import _ParquetTable

    texts = [f"{index} " + "x" * (index * 37 % 3000) for index in range(700)]
    schema = pa.schema([pa.field("text", pa.string())])
    path = tmp_path / "texts.parquet"
    table = _ParquetTable(str(path), schema, rows=256, max_bytes=max_bytes)
    for start in range(0, len(texts), 90):
        table.add(pa.table({"text": texts[start : start + 90]}, schema=schema))
    table.close()
    written = pq.ParquetFile(path)
    assert written.read().column("text").to_pylist() == texts
    groups = [written.read_row_group(index) for index in range(written.num_row_groups)]
    assert all(group.num_rows <= 256 and (group.nbytes <= max_bytes or group.num_rows == 1) for group in groups)
    if max_bytes == 1 << 30:
        assert [group.num_rows for group in groups] == [256, 256, 188]
