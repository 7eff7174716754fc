"""Whole corpora with tessellox: splitting USPTO bulk files, records, the
`tessellox` command line tool, and parallel and Dask runs.

    from tessellox_tools import iter_documents, iter_records

    for record in iter_records(["ipg230103.zip"]):
        print(record["patent_number"], record["title"])

Modules: `split` (documents, their origins, and regions of whole
documents), `inflate` (zip members and gzip, with isal where installed),
`records` (the record schema), `plan` (a run's tasks), `work` (what a
worker does with a task), `engine` (the worker processes), `sinks` (JSON
Lines, Parquet, Markdown files), `sqlite` (an SQLite database added to run
by run), `dask` (Dask bags and dataframes), `cli` (the command).
"""

# A build tree holds the native helper in a tessellox_tools folder of its
# own; an installed package holds it here.
__path__ = __import__("pkgutil").extend_path(__path__, __name__)

from ._records import to_markdown
from .records import RECORD_FIELDS, SCHEMA_VERSION, document_record, iter_records, text_record, text_record_json
from .split import (
    Origin,
    RawDocument,
    Region,
    Source,
    iter_documents,
    iter_regions,
    iter_source_documents,
    iter_sources,
)

__all__ = [
    "Origin",
    "RawDocument",
    "Region",
    "Source",
    "iter_documents",
    "iter_regions",
    "iter_sources",
    "iter_source_documents",
    "iter_records",
    "document_record",
    "text_record",
    "text_record_json",
    "to_markdown",
    "RECORD_FIELDS",
    "SCHEMA_VERSION",
]
