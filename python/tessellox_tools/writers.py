"""Output writers: JSON Lines, Parquet (optional, through pyarrow), Markdown
files named by document number. SQLite is in `sqlite`."""

from __future__ import annotations

import os
import re
from typing import IO, Any, Dict, List, Optional, Set

from .records import (
    CITATION_TABLE_FIELDS,
    CLAIM_TABLE_FIELDS,
    DOCUMENT_TABLE_FIELDS,
    SCHEMA_VERSION,
    STRING_LIST_FIELDS,
    Record,
    citation_rows,
    claim_rows,
)
from .split import Origin

PARQUET_ROW_GROUP = 4096


class JsonLinesWriter:
    """Writes ready-made JSON lines (bytes) to a binary stream."""

    def __init__(self, stream: IO[bytes]) -> None:
        self._stream = stream

    def write_line(self, line: bytes) -> None:
        self._stream.write(line)

    def close(self) -> None:
        self._stream.flush()


def parquet_claims_path(path: str) -> str:
    """Where the claims table goes beside a documents table: "x.parquet"
    gives "x.claims.parquet"."""
    return parquet_table_path(path, "claims")


def parquet_table_path(path: str, table: str) -> str:
    """Where a table goes beside a documents table: "x.parquet" and
    "citations" give "x.citations.parquet"."""
    root, extension = os.path.splitext(path)
    return f"{root}.{table}{extension or '.parquet'}"


def _arrow_schemas() -> Any:
    """The documents, claims and citations schemas."""
    import pyarrow as pa

    def field_type(name: str) -> Any:
        if name in ("ordinal", "offset", "number"):
            return pa.int64()
        if name in STRING_LIST_FIELDS:
            return pa.list_(pa.string())
        if name == "foreign_priority":
            return pa.list_(pa.struct([("country", pa.string()), ("number", pa.string()), ("date", pa.string())]))
        if name == "depends_on":
            return pa.list_(pa.int64())
        return pa.string()

    metadata = {b"tessellox.schema_version": str(SCHEMA_VERSION).encode()}

    def schema(fields: Any) -> Any:
        return pa.schema([pa.field(name, field_type(name)) for name in fields], metadata=metadata)

    # A citation's number is a document number, text like any other.
    citations = schema(CITATION_TABLE_FIELDS).set(
        CITATION_TABLE_FIELDS.index("number"), pa.field("number", pa.string())
    )
    return schema(DOCUMENT_TABLE_FIELDS), schema(CLAIM_TABLE_FIELDS), citations


class _ParquetTable:
    """One Parquet file written a row group at a time."""

    def __init__(self, path: str, schema: Any) -> None:
        import pyarrow.parquet as pq

        self._schema = schema
        self._writer = pq.ParquetWriter(path, schema)
        self.columns: Dict[str, List[Any]] = {name: [] for name in schema.names}

    def add(self, row: Record) -> None:
        for name, column in self.columns.items():
            column.append(row[name])

    def flush(self) -> None:
        import pyarrow as pa

        self._writer.write_table(pa.Table.from_pydict(self.columns, schema=self._schema))
        for column in self.columns.values():
            column.clear()

    def close(self) -> None:
        self._writer.close()


class ParquetWriter:
    """Three Parquet files: documents at `path`, claims and citations beside
    it (`parquet_table_path`), written in row groups as records arrive."""

    def __init__(self, path: str) -> None:
        documents, claims, citations = _arrow_schemas()
        self._documents = _ParquetTable(path, documents)
        self._claims = _ParquetTable(parquet_table_path(path, "claims"), claims)
        self._citations = _ParquetTable(parquet_table_path(path, "citations"), citations)
        self._pending = 0

    def write_record(self, record: Record) -> None:
        self._documents.add(record)
        for row in claim_rows(record):
            self._claims.add(row)
        for row in citation_rows(record):
            self._citations.add(row)
        self._pending += 1
        if self._pending >= PARQUET_ROW_GROUP:
            self._flush()

    def _flush(self) -> None:
        for table in (self._documents, self._claims, self._citations):
            table.flush()
        self._pending = 0

    def close(self) -> None:
        if self._pending:
            self._flush()
        for table in (self._documents, self._claims, self._citations):
            table.close()


_UNSAFE_NAME = re.compile(r"[^A-Za-z0-9._-]+")


def _stem(origin: Origin) -> str:
    name = origin.member or ("stdin" if origin.file == "-" else origin.file)
    base = os.path.basename(name.rstrip("/\\")) or "document"
    for suffix in (".xml", ".txt", ".aps", ".zip"):
        if base.lower().endswith(suffix):
            base = base[: -len(suffix)]
            break
    return base


class MarkdownDirectoryWriter:
    """One Markdown file per document in a directory.

    A document is named by its patent or publication number; one without
    either is named "unnumbered-<file>-<ordinal>". Characters other than
    letters, digits, ".", "_" and "-" become "_". A name already taken in this
    run gets "-2", "-3", ... (first come, first named), so names depend only
    on the order of the documents.
    """

    def __init__(self, directory: str) -> None:
        os.makedirs(directory, exist_ok=True)
        self._directory = directory
        self._taken: Set[str] = set()

    def name_for(self, number: Optional[str], origin: Origin) -> str:
        base = number if number else f"unnumbered-{_stem(origin)}-{origin.ordinal}"
        base = _UNSAFE_NAME.sub("_", base).lstrip(".") or "document"
        name = base
        suffix = 1
        while name.lower() in self._taken:
            suffix += 1
            name = f"{base}-{suffix}"
        self._taken.add(name.lower())
        return name + ".md"

    def write(self, number: Optional[str], origin: Origin, markdown: bytes) -> str:
        name = self.name_for(number, origin)
        with open(os.path.join(self._directory, name), "wb") as stream:
            stream.write(markdown)
        return name

    def close(self) -> None:
        pass
