"""SQLite and Parquet output of `tessellox records` end to end: the three
tables, their joins, and a database added to without duplicates."""

from __future__ import annotations

import json
import os
import sqlite3
from pathlib import Path

import pytest
from tessellox_tools.records import CITATION_TABLE_FIELDS, DOCUMENT_TABLE_FIELDS, iter_records
from tools_helpers import DATA, need_bulk, run_tool


def counts(database: Path) -> dict:
    with sqlite3.connect(database) as connection:
        return {
            table: connection.execute(f"SELECT count(*) FROM {table}").fetchone()[0]
            for table in ("documents", "claims", "citations")
        }


def test_sqlite_tables_join_and_a_second_run_adds_nothing_twice(tmp_path: Path) -> None:
    bulk = need_bulk() / "ipg050104-small-v40.xml"
    inputs = [str(bulk), str(DATA / "aps")]
    database = tmp_path / "grants.sqlite"
    first = run_tool("records", inputs[0], "-o", str(database), "--jobs", "2")
    assert first.returncode == 0, first.stderr
    records = list(iter_records(inputs[:1]))
    expected = {
        "documents": len(records),
        "claims": sum(len(r["claims"]) for r in records),
        "citations": sum(len(r["citations"]) for r in records),
    }
    assert counts(database) == expected and expected["citations"] > 100

    with sqlite3.connect(database) as connection:
        connection.row_factory = sqlite3.Row
        rows = connection.execute("SELECT * FROM documents ORDER BY ordinal").fetchall()
        assert {(row["file"], row["member"]) for row in rows} == {(os.path.abspath(bulk), "")}
        for row, record in zip(rows, records):
            assert row["patent_number"] == record["patent_number"]
            assert json.loads(row["foreign_priority"]) == record["foreign_priority"]
            assert json.loads(row["inventors"]) == record["inventors"]
        # The join: citations per patent, as the records count them.
        cited = dict(
            connection.execute(
                "SELECT d.patent_number, count(c.kind) FROM documents d LEFT JOIN citations c"
                " USING (file, member, ordinal) GROUP BY d.patent_number"
            ).fetchall()
        )
        assert cited == {r["patent_number"]: len(r["citations"]) for r in records}
        depends = connection.execute("SELECT depends_on FROM claims WHERE number = 2 ORDER BY ordinal").fetchall()
        assert [json.loads(row[0]) for row in depends] == [
            r["claims"][1]["depends_on"] for r in records if len(r["claims"]) > 1
        ]

    again = run_tool("records", *inputs, "-o", str(database), "--jobs", "1")
    assert again.returncode == 0, again.stderr
    aps = list(iter_records(inputs[1:]))
    assert f"{len(aps)} documents added, {len(records)} already there" in again.stderr.decode()
    assert counts(database) == {
        "documents": expected["documents"] + len(aps),
        "claims": expected["claims"] + sum(len(r["claims"]) for r in aps),
        "citations": expected["citations"] + sum(len(r["citations"]) for r in aps),
    }
    with sqlite3.connect(database) as connection:
        indexes = {row[0] for row in connection.execute("SELECT name FROM sqlite_master WHERE type = 'index'")}
    assert {"documents_key", "documents_patent_number", "claims_key", "citations_key"} <= indexes


def test_parquet_citations_table_beside_documents_and_claims(tmp_path: Path) -> None:
    pq = pytest.importorskip("pyarrow.parquet")
    bulk = need_bulk() / "pg020507-100docs-st32.xml"
    result = run_tool("records", str(bulk), "-o", str(tmp_path / "out.parquet"), "--jobs", "2")
    assert result.returncode == 0, result.stderr
    records = list(iter_records([str(bulk)]))
    citations = pq.read_table(tmp_path / "out.citations.parquet")
    assert citations.column_names == list(CITATION_TABLE_FIELDS)
    assert citations.to_pylist() == [
        dict(file=r["file"], member=None, ordinal=r["ordinal"], **c) for r in records for c in r["citations"]
    ]
    documents = pq.read_table(tmp_path / "out.parquet")
    assert documents.column_names == list(DOCUMENT_TABLE_FIELDS)
    assert documents.column("foreign_priority").to_pylist() == [r["foreign_priority"] for r in records]
    assert pq.read_table(tmp_path / "out.claims.parquet").column("depends_on").to_pylist() == [
        c["depends_on"] for r in records for c in r["claims"]
    ]
