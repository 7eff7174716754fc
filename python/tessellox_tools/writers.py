"""Output writers: JSON Lines, Parquet (optional, through pyarrow), Markdown
files named by document number."""

from __future__ import annotations

import os
import re
from typing import IO, Any, Dict, List, Optional, Set

from .records import CLAIM_TABLE_FIELDS, DOCUMENT_TABLE_FIELDS, LIST_FIELDS, SCHEMA_VERSION, Record, claim_rows
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
    root, extension = os.path.splitext(path)
    return f"{root}.claims{extension or '.parquet'}"


def _arrow_schemas() -> Any:
    import pyarrow as pa

    def field_type(name: str) -> Any:
        if name in ("ordinal", "offset"):
            return pa.int64()
        if name in LIST_FIELDS:
            return pa.list_(pa.string())
        return pa.string()

    metadata = {b"tessellox.schema_version": str(SCHEMA_VERSION).encode()}
    documents = pa.schema([pa.field(name, field_type(name)) for name in DOCUMENT_TABLE_FIELDS], metadata=metadata)
    claims = pa.schema(
        [pa.field(name, pa.int64() if name in ("ordinal", "number") else pa.string()) for name in CLAIM_TABLE_FIELDS],
        metadata=metadata,
    )
    return documents, claims


class ParquetWriter:
    """Two Parquet files: documents at `path`, claims beside it
    (`parquet_claims_path`), written in row groups as records arrive."""

    def __init__(self, path: str) -> None:
        import pyarrow.parquet as pq

        self._documents_schema, self._claims_schema = _arrow_schemas()
        self._documents = pq.ParquetWriter(path, self._documents_schema)
        self._claims = pq.ParquetWriter(parquet_claims_path(path), self._claims_schema)
        self._document_columns: Dict[str, List[Any]] = {name: [] for name in DOCUMENT_TABLE_FIELDS}
        self._claim_columns: Dict[str, List[Any]] = {name: [] for name in CLAIM_TABLE_FIELDS}
        self._pending = 0

    def write_record(self, record: Record) -> None:
        for name, column in self._document_columns.items():
            column.append(record[name])
        for row in claim_rows(record):
            for name, column in self._claim_columns.items():
                column.append(row[name])
        self._pending += 1
        if self._pending >= PARQUET_ROW_GROUP:
            self._flush()

    def _flush(self) -> None:
        import pyarrow as pa

        self._documents.write_table(pa.Table.from_pydict(self._document_columns, schema=self._documents_schema))
        self._claims.write_table(pa.Table.from_pydict(self._claim_columns, schema=self._claims_schema))
        for column in self._document_columns.values():
            column.clear()
        for column in self._claim_columns.values():
            column.clear()
        self._pending = 0

    def close(self) -> None:
        if self._pending:
            self._flush()
        self._documents.close()
        self._claims.close()


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
