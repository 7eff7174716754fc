"""Records into an SQLite database, through Python's own `sqlite3`.

The database holds every table of the records schema: documents and each
nested table (claims, citations, classifications, ...), with list and dict
fields as JSON text and flags as 0 and 1. A document's
key is its file's absolute path, its member ("" for a plain file, never
NULL) and its ordinal, under a unique index: writing into an existing
database adds the documents it does not hold yet, with their rows in the
nested tables, and leaves the others as they are. A database written by an
earlier version of the schema gains the newer tables and columns first.

    sqlite3 grants.sqlite "SELECT patent_number, title FROM documents LIMIT 5"
"""

from __future__ import annotations

import json
import os
import sqlite3
from typing import Any, Callable, Dict, List, Optional, Sequence

from .records import KEY_FIELDS, NESTED_TABLES, SCHEMA_VERSION, TABLE_FIELDS, TABLES, Column, Record, table_columns
from .sinks import SHARD_BATCH, Sink
from .split import Origin
from .work import ShardWriter, TaskResult, full_record

# Lists and entries are written as JSON text, flags as 0 and 1.
_SQL_TYPES = {"text": "TEXT", "integer": "INTEGER", "flag": "INTEGER", "text_list": "TEXT", "integer_list": "TEXT"}
_JSON_TYPES = ("text_list", "integer_list", "entries")


def _column_type(column: Column) -> str:
    return _SQL_TYPES.get(column.type, "TEXT")


def _column(column: Column) -> str:
    not_null = column.name in KEY_FIELDS or not column.nullable
    return f'"{column.name}" {_column_type(column)}{" NOT NULL" if not_null else ""}'


def _create_table(table: str) -> str:
    return f"CREATE TABLE IF NOT EXISTS {table} ({', '.join(_column(column) for column in TABLES[table])})"


_TABLES = [_create_table(table) for table in TABLES]
_INDEXES = [
    "CREATE UNIQUE INDEX IF NOT EXISTS documents_key ON documents (file, member, ordinal)",
    "CREATE INDEX IF NOT EXISTS documents_patent_number ON documents (patent_number)",
    "CREATE INDEX IF NOT EXISTS documents_publication_number ON documents (publication_number)",
    "CREATE INDEX IF NOT EXISTS documents_application_number ON documents (application_number)",
    *(f"CREATE INDEX IF NOT EXISTS {table}_key ON {table} (file, member, ordinal)" for table in NESTED_TABLES),
    "CREATE INDEX IF NOT EXISTS citations_number ON citations (number)",
]


def _insert(table: str) -> str:
    fields = TABLE_FIELDS[table]
    return f"INSERT INTO {table} ({_columns(fields)}) VALUES ({', '.join('?' for _ in fields)})"


def _json(value: Any) -> str:
    return json.dumps(value, ensure_ascii=False, separators=(",", ":"))


def _flag(value: Optional[bool]) -> Optional[int]:
    return None if value is None else int(value)


def _converter(column: Column) -> Optional[Callable[[Any], Any]]:
    if column.type in _JSON_TYPES:
        return _json
    return _flag if column.type == "flag" else None


def _key_file(file: Optional[str]) -> str:
    if file is None:
        raise ValueError("a record needs its origin (file and ordinal) to be written to SQLite")
    return file if file == "-" else os.path.abspath(file)  # standard input has no path to make absolute


def _rows(records: List[Record], table: str) -> List[Any]:
    """A table's rows of some records, as SQLite takes them. A document's key
    is its file's absolute path, its member ("" for none) and its ordinal."""
    columns = table_columns(records, table)
    if table == "documents" and any(ordinal is None for ordinal in columns["ordinal"]):
        raise ValueError("a record needs its origin (file and ordinal) to be written to SQLite")
    files: Dict[Optional[str], str] = {}
    columns["file"] = [
        files[file] if file in files else files.setdefault(file, _key_file(file)) for file in columns["file"]
    ]
    columns["member"] = [member or "" for member in columns["member"]]
    for column in TABLES[table]:
        convert = _converter(column)
        if convert is not None:
            columns[column.name] = [None if value is None else convert(value) for value in columns[column.name]]
    return list(zip(*columns.values()))


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
        with self._connection:
            for table in TABLES:
                self._connection.executemany(_insert(table), _rows(self._records, table))
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


def _merge_rows(table: str) -> str:
    """Rows of a shard's nested table whose document the target does not
    hold yet."""
    fields = TABLE_FIELDS[table]
    return (
        f"INSERT INTO main.{table} ({_columns(fields)}) SELECT {_columns(fields)} FROM shard.{table} AS row"
        " WHERE NOT EXISTS (SELECT 1 FROM main.documents AS held WHERE held.file = row.file"
        " AND held.member = row.member AND held.ordinal = row.ordinal) ORDER BY row.rowid"
    )


def upgrade_schema(connection: sqlite3.Connection) -> None:
    """Makes the database's schema this version's, within the caller's
    transaction: the tables created where missing, the columns added that
    an earlier version's tables lack (null in the rows already there). A
    database of a later version is refused rather than written without its
    newer columns."""
    version = connection.execute("PRAGMA user_version").fetchone()[0]
    if version > SCHEMA_VERSION:
        raise sqlite3.DatabaseError(
            f"it has records schema {version}, newer than this version's {SCHEMA_VERSION}:"
            " write to a new database, or update tessellox"
        )
    for table, statement in zip(TABLES, _TABLES):
        held = {row[1] for row in connection.execute(f"PRAGMA table_info({table})")}
        if not held:
            connection.execute(statement)
            continue
        for column in TABLES[table]:
            if column.name not in held:
                connection.execute(f'ALTER TABLE {table} ADD COLUMN "{column.name}" {_column_type(column)}')
    for statement in _INDEXES:
        connection.execute(statement)
    connection.execute(f"PRAGMA user_version = {SCHEMA_VERSION}")


class SqliteSink(Sink):
    """Merges each task's database into the one at `path` (created when
    missing), one transaction a task: a document comes with its rows in
    every table or not at all, and a second run adds only what is missing."""

    shard = "sqlite"

    def __init__(self, path: str) -> None:
        self._path = path
        self._created = not os.path.exists(path)
        self._connection = sqlite3.connect(path, isolation_level=None)
        try:
            self._connection.execute("BEGIN IMMEDIATE")
            upgrade_schema(self._connection)
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
            for table in NESTED_TABLES:
                connection.execute(_merge_rows(table))
            fields = _columns(TABLE_FIELDS["documents"])
            added = connection.execute(
                f"INSERT OR IGNORE INTO main.documents ({fields}) SELECT {fields} FROM shard.documents ORDER BY rowid"
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
