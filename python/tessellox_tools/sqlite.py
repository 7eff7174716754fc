"""Records into an SQLite database, through Python's own `sqlite3`.

The database holds the three tables of the records schema: documents,
claims and citations, with list and dict fields as JSON text. A document's
key is its file's absolute path, its member ("" for a plain file, never
NULL) and its ordinal, under a unique index: writing into an existing
database adds the documents it does not hold yet, with their claims and
citations, and leaves the others as they are.

    sqlite3 grants.sqlite "SELECT patent_number, title FROM documents LIMIT 5"
"""

from __future__ import annotations

import json
import os
import sqlite3
from typing import Any, Dict, List, Sequence, Tuple

from .records import CITATION_TABLE_FIELDS, CLAIM_TABLE_FIELDS, DOCUMENT_TABLE_FIELDS, SCHEMA_VERSION, Record

BATCH = 2048

_INTEGER_FIELDS = ("ordinal", "offset", "number")
_JSON_FIELDS = (
    "inventors",
    "applicants",
    "assignees",
    "ipc_classifications",
    "us_classifications",
    "cpc_classifications",
    "foreign_priority",
    "depends_on",
)
_KEY = ("file", "member", "ordinal")


def _column(table: str, name: str) -> str:
    if name in _KEY:
        kind = "INTEGER NOT NULL" if name == "ordinal" else "TEXT NOT NULL"
    elif name in _INTEGER_FIELDS and not (table == "citations" and name == "number"):
        kind = "INTEGER"
    else:
        kind = "TEXT"
    return f'"{name}" {kind}'


def _create_table(table: str, fields: Sequence[str]) -> str:
    return f"CREATE TABLE IF NOT EXISTS {table} ({', '.join(_column(table, name) for name in fields)})"


_SCHEMA = [
    _create_table("documents", DOCUMENT_TABLE_FIELDS),
    _create_table("claims", CLAIM_TABLE_FIELDS),
    _create_table("citations", CITATION_TABLE_FIELDS),
    "CREATE UNIQUE INDEX IF NOT EXISTS documents_key ON documents (file, member, ordinal)",
    "CREATE INDEX IF NOT EXISTS documents_patent_number ON documents (patent_number)",
    "CREATE INDEX IF NOT EXISTS documents_publication_number ON documents (publication_number)",
    "CREATE INDEX IF NOT EXISTS documents_application_number ON documents (application_number)",
    "CREATE INDEX IF NOT EXISTS claims_key ON claims (file, member, ordinal)",
    "CREATE INDEX IF NOT EXISTS citations_key ON citations (file, member, ordinal)",
    "CREATE INDEX IF NOT EXISTS citations_number ON citations (number)",
]


def _insert(table: str, fields: Sequence[str], verb: str = "INSERT") -> str:
    names = ", ".join(f'"{name}"' for name in fields)
    return f"{verb} INTO {table} ({names}) VALUES ({', '.join('?' for _ in fields)})"


def _value(name: str, value: Any) -> Any:
    if name in _JSON_FIELDS:
        return json.dumps(value, ensure_ascii=False, separators=(",", ":"))
    return value


class SqliteWriter:
    """Writes records into the database at `path` (created when missing),
    in batches, each batch one transaction."""

    def __init__(self, path: str) -> None:
        self._connection = sqlite3.connect(path)
        with self._connection:
            for statement in _SCHEMA:
                self._connection.execute(statement)
            self._connection.execute(f"PRAGMA user_version = {SCHEMA_VERSION}")
        self._pending: List[Record] = []
        self.added = 0
        self.present = 0

    def write_record(self, record: Record) -> None:
        self._pending.append(record)
        if len(self._pending) >= BATCH:
            self._flush()

    def _key(self, record: Record) -> Tuple[str, str, int]:
        file = record["file"]
        if file is None or record["ordinal"] is None:
            raise ValueError("a record needs its origin (file and ordinal) to be written to SQLite")
        # Standard input has no path to make absolute.
        return (file if file == "-" else os.path.abspath(file), record["member"] or "", record["ordinal"])

    def _flush(self) -> None:
        if not self._pending:
            return
        documents = _insert("documents", DOCUMENT_TABLE_FIELDS, "INSERT OR IGNORE")
        claims = _insert("claims", CLAIM_TABLE_FIELDS)
        citations = _insert("citations", CITATION_TABLE_FIELDS)
        with self._connection:
            cursor = self._connection.cursor()
            claim_rows: List[Tuple[Any, ...]] = []
            citation_rows: List[Tuple[Any, ...]] = []
            for record in self._pending:
                key = self._key(record)
                keyed: Dict[str, Any] = dict(zip(_KEY, key))
                row = tuple(
                    keyed[name] if name in keyed else _value(name, record[name]) for name in DOCUMENT_TABLE_FIELDS
                )
                cursor.execute(documents, row)
                if cursor.rowcount == 0:  # already in the database
                    self.present += 1
                    continue
                self.added += 1
                for claim in record["claims"]:
                    claim_rows.append(key + (claim["number"], claim["text"], _value("depends_on", claim["depends_on"])))
                for citation in record["citations"]:
                    citation_rows.append(key + tuple(citation[name] for name in CITATION_TABLE_FIELDS[3:]))
            cursor.executemany(claims, claim_rows)
            cursor.executemany(citations, citation_rows)
        self._pending.clear()

    def close(self) -> None:
        try:
            self._flush()
        finally:
            self._connection.close()
