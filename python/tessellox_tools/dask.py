"""The same records on a Dask cluster.

    import json
    from dask.distributed import Client
    from tessellox_tools.dask import to_bag, to_dataframe

    client = Client("tcp://scheduler:8786")
    paths = sorted(glob.glob("/shared/uspto/grants/ipg*.zip"))
    to_bag(paths).map(json.dumps).to_textfiles("/shared/records/*.jsonl")
    to_dataframe(paths).to_parquet("/shared/documents/")
    to_dataframe(paths, table="claims").to_parquet("/shared/claims/")
    to_dataframe(paths, table="citations").to_parquet("/shared/citations/")

Each file, or each member of a zip archive, is one partition, read by the
worker that runs it: the paths must be reachable from the workers (a shared
file system), and `tessellox` must be installed there. Records are those of
`tessellox_tools.records`, in the order of the single-process path.
"""

from __future__ import annotations

from typing import Any, Iterable, List, Sequence

import dask.bag as db
import pandas as pd

from .records import TABLES, Column, Record, document_row, error_record, record_of, table_rows
from .split import DEFAULT_CHUNK_SIZE, STDIN, Source, iter_source_documents, iter_sources


def _records_of_sources(sources: Iterable[Source], include_errors: bool, chunk_size: int) -> List[Record]:
    records: List[Record] = []
    for source in sources:
        for raw in iter_source_documents(source, chunk_size=chunk_size):
            record, message = record_of(raw)
            if record is not None:
                records.append(record)
            elif include_errors:
                records.append(error_record(raw.origin, message or ""))
    return records


def to_bag(paths: Sequence[str], *, include_errors: bool = False, chunk_size: int = DEFAULT_CHUNK_SIZE) -> Any:
    """A bag of the records of every document of `paths`, one partition per
    file or zip member. Failed documents are left out, or given as error
    records when `include_errors` is true (they have a "message" key).

    Directories and zip archives are listed here, on the client; unreadable
    paths raise here too.
    """
    if STDIN in paths:
        raise ValueError("standard input cannot be read by Dask workers")
    sources = list(iter_sources(paths))
    if not sources:
        return db.from_sequence([], npartitions=1)
    return db.from_sequence(sources, npartitions=len(sources)).map_partitions(
        _records_of_sources, include_errors, chunk_size
    )


def _dtype(column: Column) -> Any:
    # Nullable integers and flags take pandas' own nullable types.
    if column.type == "integer":
        return pd.Int64Dtype() if column.nullable else "int64"
    if column.type == "flag":
        return pd.BooleanDtype() if column.nullable else "bool"
    return object


def _meta(table: str) -> pd.DataFrame:
    return pd.DataFrame({column.name: pd.Series(dtype=_dtype(column)) for column in TABLES[table]})


def to_dataframe(paths: Sequence[str], *, table: str = "documents", chunk_size: int = DEFAULT_CHUNK_SIZE) -> Any:
    """A `dask.dataframe` of one table of the records schema: "documents"
    (every record field but the nested tables) or a nested table ("claims",
    "citations", "classifications", ...: its rows after their document's
    file, member and ordinal)."""
    if table not in TABLES:
        raise ValueError(f"table must be one of {', '.join(TABLES)}, not {table!r}")
    bag = to_bag(paths, chunk_size=chunk_size)
    if table == "documents":
        rows = bag.map(document_row)
    else:
        rows = bag.map(table_rows, table).flatten()
    return rows.to_dataframe(meta=_meta(table))
