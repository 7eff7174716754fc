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
from typing import Any, Dict, List, Optional, Sequence, Tuple

from .records import CITATION_TABLE_FIELDS, CLAIM_TABLE_FIELDS, DOCUMENT_TABLE_FIELDS, SCHEMA_VERSION, Record
from .sinks import SHARD_BATCH, Sink
from .split import Origin
from .work import ShardWriter, TaskResult, full_record

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


_TABLES = [
    _create_table("documents", DOCUMENT_TABLE_FIELDS),
    _create_table("claims", CLAIM_TABLE_FIELDS),
    _create_table("citations", CITATION_TABLE_FIELDS),
]
_SCHEMA = _TABLES + [
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


def _key(record: Record) -> Tuple[str, str, int]:
    file = record["file"]
    if file is None or record["ordinal"] is None:
        raise ValueError("a record needs its origin (file and ordinal) to be written to SQLite")
    # Standard input has no path to make absolute.
    return (file if file == "-" else os.path.abspath(file), record["member"] or "", record["ordinal"])


def _document_row(record: Record, key: Tuple[str, str, int]) -> Tuple[Any, ...]:
    keyed: Dict[str, Any] = dict(zip(_KEY, key))
    return tuple(keyed[name] if name in keyed else _value(name, record[name]) for name in DOCUMENT_TABLE_FIELDS)


class SqliteShard(ShardWriter):
    """One task's rows, in a database of their own for the parent to merge."""

    def __init__(self, path: str) -> None:
        self._path = path
        self._records: List[Record] = []
        self._connection: Optional[sqlite3.Connection] = None

    def add(self, origin: Origin, payload: Any) -> None:
        self._records.append(full_record(origin, payload))
        if len(self._records) >= SHARD_BATCH:
            self._write()

    def _open(self) -> sqlite3.Connection:
        if os.path.exists(self._path):  # left by a worker that ended abruptly
            os.unlink(self._path)
        connection = sqlite3.connect(self._path)
        connection.execute("PRAGMA journal_mode = OFF")
        connection.execute("PRAGMA synchronous = OFF")
        for statement in _TABLES:
            connection.execute(statement)
        return connection

    def _write(self) -> None:
        if self._connection is None:
            self._connection = self._open()
        documents, claims, citations = [], [], []
        for record in self._records:
            key = _key(record)
            documents.append(_document_row(record, key))
            for claim in record["claims"]:
                claims.append(key + (claim["number"], claim["text"], _value("depends_on", claim["depends_on"])))
            for citation in record["citations"]:
                citations.append(key + tuple(citation[name] for name in CITATION_TABLE_FIELDS[3:]))
        with self._connection:
            self._connection.executemany(_insert("documents", DOCUMENT_TABLE_FIELDS), documents)
            self._connection.executemany(_insert("claims", CLAIM_TABLE_FIELDS), claims)
            self._connection.executemany(_insert("citations", CITATION_TABLE_FIELDS), citations)
        self._records.clear()

    def finish(self) -> Optional[str]:
        if self._records:
            self._write()
        if self._connection is None:
            return None
        self._connection.close()
        return self._path


def _columns(fields: Sequence[str]) -> str:
    return ", ".join(f'"{name}"' for name in fields)


def _merge_rows(table: str, fields: Sequence[str]) -> str:
    """Rows of a shard's table whose document the target does not hold yet."""
    return (
        f"INSERT INTO main.{table} ({_columns(fields)}) SELECT {_columns(fields)} FROM shard.{table} AS row"
        " WHERE NOT EXISTS (SELECT 1 FROM main.documents AS held WHERE held.file = row.file"
        " AND held.member = row.member AND held.ordinal = row.ordinal) ORDER BY row.rowid"
    )


class SqliteSink(Sink):
    """Merges each task's database into the one at `path` (created when
    missing), one transaction a task: a document comes with its claims and
    citations or not at all, and a second run adds only what is missing."""

    shard = "sqlite"

    def __init__(self, path: str) -> None:
        self._path = path
        self._created = not os.path.exists(path)
        self._connection = sqlite3.connect(path, isolation_level=None)
        try:
            self._connection.execute("BEGIN")
            for statement in _SCHEMA:
                self._connection.execute(statement)
            self._connection.execute(f"PRAGMA user_version = {SCHEMA_VERSION}")
            self._connection.execute("COMMIT")
        except BaseException:
            self._connection.close()
            raise
        self.present = 0

    def take(self, result: TaskResult) -> None:
        if result.output is None:
            return
        connection = self._connection
        connection.execute("ATTACH DATABASE ? AS shard", (result.output,))
        try:
            connection.execute("BEGIN")
            connection.execute(_merge_rows("claims", CLAIM_TABLE_FIELDS))
            connection.execute(_merge_rows("citations", CITATION_TABLE_FIELDS))
            added = connection.execute(
                f"INSERT OR IGNORE INTO main.documents ({_columns(DOCUMENT_TABLE_FIELDS)})"
                f" SELECT {_columns(DOCUMENT_TABLE_FIELDS)} FROM shard.documents ORDER BY rowid"
            ).rowcount
            connection.execute("COMMIT")
        except BaseException:
            if connection.in_transaction:
                connection.execute("ROLLBACK")
            raise
        finally:
            connection.execute("DETACH DATABASE shard")
        os.unlink(result.output)
        self.written += added
        self.present += result.succeeded - added

    def close(self) -> None:
        self._connection.close()

    def abandon(self) -> None:
        self._connection.close()
        if self._created and not self.written:
            os.unlink(self._path)

    def describe(self, complete: bool) -> str:
        text = f"{self._path}: {self.written} documents added, {self.present} already there"
        return text if complete else f"{text} (each document whole)"
