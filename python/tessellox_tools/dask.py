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

from .records import (
    CITATION_TABLE_FIELDS,
    CLAIM_TABLE_FIELDS,
    DOCUMENT_TABLE_FIELDS,
    Record,
    citation_rows,
    claim_rows,
    document_row,
    error_record,
    record_of,
)
from .split import DEFAULT_CHUNK_SIZE, STDIN, Source, iter_source_documents, iter_sources

TABLES = ("documents", "claims", "citations")
_TABLE_FIELDS = {"documents": DOCUMENT_TABLE_FIELDS, "claims": CLAIM_TABLE_FIELDS, "citations": CITATION_TABLE_FIELDS}


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


def _meta(table: str) -> pd.DataFrame:
    integers = ("ordinal", "offset") if table == "citations" else ("ordinal", "offset", "number")
    return pd.DataFrame(
        {name: pd.Series(dtype="int64" if name in integers else object) for name in _TABLE_FIELDS[table]}
    )


def to_dataframe(paths: Sequence[str], *, table: str = "documents", chunk_size: int = DEFAULT_CHUNK_SIZE) -> Any:
    """A `dask.dataframe` of the documents table (every record field but the
    claims and citations), the claims table (file, member, ordinal, number,
    text, depends_on) or the citations table (file, member, ordinal and each
    citation's fields)."""
    if table not in TABLES:
        raise ValueError(f"table must be one of {', '.join(TABLES)}, not {table!r}")
    bag = to_bag(paths, chunk_size=chunk_size)
    if table == "documents":
        rows = bag.map(document_row)
    else:
        rows = bag.map(claim_rows if table == "claims" else citation_rows).flatten()
    return rows.to_dataframe(meta=_meta(table))
