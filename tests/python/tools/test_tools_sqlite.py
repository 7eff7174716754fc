"""SQLite and Parquet output of `tessellox records` end to end: every table,
their joins, a database added to without duplicates, and one of an earlier
schema brought to this one."""

from __future__ import annotations

import json
import os
import sqlite3
from pathlib import Path

import pytest
from tessellox_tools.records import (
    CITATION_TABLE_FIELDS,
    DOCUMENT_TABLE_FIELDS,
    SCHEMA_VERSION,
    TABLE_FIELDS,
    TABLES,
    iter_records,
    table_rows,
)
from tools_helpers import DATA, need_bulk, run_tool


def counts(database: Path) -> dict:
    with sqlite3.connect(database) as connection:
        return {table: connection.execute(f"SELECT count(*) FROM {table}").fetchone()[0] for table in TABLES}


def row_counts(records: list) -> dict:
    return {table: sum(len(table_rows(record, table)) for record in records) for table in TABLES}


def test_sqlite_tables_join_and_a_second_run_adds_nothing_twice(tmp_path: Path) -> None:
    bulk = need_bulk() / "ipg050104-small-v40.xml"
    inputs = [str(bulk), str(DATA / "aps")]
    database = tmp_path / "grants.sqlite"
    first = run_tool("records", inputs[0], "-o", str(database), "--jobs", "2")
    assert first.returncode == 0, first.stderr
    records = list(iter_records(inputs[:1]))
    expected = row_counts(records)
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
    assert counts(database) == {table: count + row_counts(aps)[table] for table, count in expected.items()}
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


# The tables as schema 2 wrote them.
SCHEMA_2 = """
CREATE TABLE documents ("file" TEXT NOT NULL, "member" TEXT NOT NULL, "ordinal" INTEGER NOT NULL, "offset" INTEGER,
  "source_format" TEXT, "publication_number" TEXT, "patent_number" TEXT, "application_number" TEXT, "title" TEXT,
  "filing_date" TEXT, "publication_date" TEXT, "priority_date" TEXT, "inventors" TEXT, "applicants" TEXT,
  "assignees" TEXT, "ipc_classifications" TEXT, "us_classifications" TEXT, "abstract_text" TEXT, "kind_code" TEXT,
  "document_type" TEXT, "cpc_classifications" TEXT, "foreign_priority" TEXT, "earliest_priority_date" TEXT);
CREATE TABLE claims ("file" TEXT NOT NULL, "member" TEXT NOT NULL, "ordinal" INTEGER NOT NULL, "number" INTEGER,
  "text" TEXT, "depends_on" TEXT);
CREATE TABLE citations ("file" TEXT NOT NULL, "member" TEXT NOT NULL, "ordinal" INTEGER NOT NULL, "kind" TEXT,
  "country" TEXT, "number" TEXT, "kind_code" TEXT, "date" TEXT, "name" TEXT, "category" TEXT, "text" TEXT);
CREATE UNIQUE INDEX documents_key ON documents (file, member, ordinal);
INSERT INTO documents (file, member, ordinal, "offset", source_format, patent_number, inventors)
  VALUES ('/earlier.xml', '', 1, 0, 'UsptoGrantV45', 'US1234567B2', '["A B"]');
INSERT INTO claims VALUES ('/earlier.xml', '', 1, 1, 'A claim.', '[]');
PRAGMA user_version = 2;
"""


def test_a_schema_2_database_is_brought_to_this_schema_when_added_to(tmp_path: Path) -> None:
    database = tmp_path / "earlier.sqlite"
    with sqlite3.connect(database) as connection:
        connection.executescript(SCHEMA_2)
    inputs = [str(DATA / "aps")]
    result = run_tool("records", *inputs, "-o", str(database), "--jobs", "1")
    assert result.returncode == 0, result.stderr
    records = list(iter_records(inputs))
    with sqlite3.connect(database) as connection:
        assert connection.execute("PRAGMA user_version").fetchone()[0] == SCHEMA_VERSION
        for table, fields in TABLE_FIELDS.items():
            held = [row[1] for row in connection.execute(f"PRAGMA table_info({table})")]
            assert sorted(held) == sorted(fields), table
        earlier = connection.execute(
            "SELECT patent_number, inventors, num_claims FROM documents WHERE file = '/earlier.xml'"
        ).fetchall()
        assert earlier == [("US1234567B2", '["A B"]', None)]
        # The new columns hold the values a new database would.
        written = connection.execute(
            "SELECT num_claims, application_type FROM documents WHERE file != '/earlier.xml' ORDER BY rowid"
        ).fetchall()
        assert written == [(r["num_claims"], r["application_type"]) for r in records]
    assert counts(database) == {
        table: count + (table in ("documents", "claims")) for table, count in row_counts(records).items()
    }


def test_a_database_of_a_later_schema_is_left_as_it_is(tmp_path: Path) -> None:
    database = tmp_path / "later.sqlite"
    with sqlite3.connect(database) as connection:
        connection.execute(f"PRAGMA user_version = {SCHEMA_VERSION + 1}")
    result = run_tool("records", str(DATA / "aps"), "-o", str(database), "--jobs", "1")
    assert result.returncode != 0
    assert (
        f"cannot write the database: it has records schema {SCHEMA_VERSION + 1}, newer than this version's {SCHEMA_VERSION}"
        in result.stderr.decode()
    )
    with sqlite3.connect(database) as connection:
        assert connection.execute("SELECT count(*) FROM sqlite_master").fetchone()[0] == 0
