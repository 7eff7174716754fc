"""Documents as plain records.

`text_record` turns a document's text into a dict of plain Python values
(str, int, None, lists, dicts), ready for JSON, Parquet, SQLite or a
dataframe, in one native call. `text_record_json` gives the same record as
one line of JSON (the bytes of `json.dumps(record, ensure_ascii=False,
separators=(",", ":"))` and a line feed) without building the dict, as the
`records` command writes it. The schema is stable: fields are only ever
added, at the end of their table (`SCHEMA_VERSION` counts the additions).

The schema is declared once, in the native core (`src/records/schema.cpp`:
each table, and each column's name, type and nullability); the record's
dict and JSON line follow it, and this module reads it
(`_records.SCHEMA`) into `TABLES`, from which the Parquet schemas, SQLite
columns and dataframes are made. A column is named nowhere else.

Document record (`RECORD_FIELDS`, in this order):

======================  ====================  ==========================================
key                     type                  value
======================  ====================  ==========================================
file                    str or None           input path as given ("-" for standard input)
member                  str or None           archive member name ("a.zip!b.xml" when nested)
ordinal                 int or None           1-based position in the file or member
offset                  int or None           byte offset of the document in the (uncompressed)
                                              file or member
source_format           str                   format name, e.g. "UsptoGrantV45"
publication_number      str or None           e.g. "US20220159901A1" (applications)
patent_number           str or None           e.g. "US10000000B2" (grants)
application_number      str or None
title                   str or None
filing_date             str or None           as published, e.g. "20150309"
publication_date        str or None
priority_date           str or None           earliest date of the US continuity chain
inventors               list of str
applicants              list of str
assignees               list of str
ipc_classifications     list of str
us_classifications      list of str
abstract_text           str or None
claims                  list of dict          {"number": int, "text": str, "depends_on": [int]},
                                              in order
kind_code               str or None           e.g. "B2", "A1", "S1"
document_type           str                   "utility", "design", "plant", "reissue", "sir",
                                              "application" or "sequence-listing"
cpc_classifications     list of str           e.g. "A61B5/14532", main first, each once
foreign_priority        list of dict          {"country", "number", "date"}, str or None each
earliest_priority_date  str or None           smallest of priority_date and the foreign
                                              priority dates
citations               list of dict          {"kind": "patent" or "other", "country",
                                              "number", "kind_code", "date", "name",
                                              "category", "text"}, in document order
num_claims              int or None           the number of claims the document states
num_figures             int or None
num_sheets              int or None           drawing sheets
series_code             str or None           the application's series code
application_type        str or None           e.g. "utility", "design"
term_extension_days     int or None           days the term is extended by
term_disclaimer         bool or None          whether the term is disclaimed
disclaimer_date         str or None
term_of_grant           int or None           years (designs)
botanic_latin_name      str or None           plants
botanic_variety         str or None
classifications         list of dict          one per classification element of the
                                              source: "scheme" ("cpc", "ipc", "uspc",
                                              "locarno", "national"), "sequence", "main",
                                              "code", "combination_set",
                                              "combination_rank", "version_date",
                                              "section", "class", "subclass",
                                              "main_group", "subgroup",
                                              "symbol_position",
                                              "classification_value", "us_main_class",
                                              "us_subclass"
parties                 list of dict          one per party element: "role" (inventor,
                                              applicant, assignee, attorney, agent,
                                              correspondent, primary examiner, assistant
                                              examiner), "sequence", "given_name",
                                              "family_name", "organization", "city",
                                              "state", "country", "type", "art_unit",
                                              "deceased"
related_documents       list of dict          one per document named: "relation",
                                              "sequence", "country", "number",
                                              "kind_code", "date", "status", "pair_role"
pct                     list of dict          one per international filing: "country",
                                              "number", "kind_code", "date", "date_371",
                                              "publication_number", "publication_date"
text_sections           list of dict or None  the description's sections, only with
                                              sections=True (None otherwise): "kind",
                                              "heading", "sequence", "text"
======================  ====================  ==========================================

Claims also have "exemplary" (bool, or None where the source does not say).

The README lists the source elements of every field in every generation.
The origin fields come from the `Origin` given with the text, and are None
without one. Error record (`ERROR_FIELDS`): file, member, ordinal, offset as
above, and message (str): the parser's message, "invalid UTF-8 at byte N:
reason" (N counted from the start of the document), the size limit that a
document exceeded, or, with no ordinal and offset, why a file was skipped.

Tables (Parquet, SQLite, dataframes; `TABLES`): the documents table has
every document field but the nested tables (claims, citations,
classifications, ...); each nested table has file, member, ordinal and its
row's fields, one row per list item of the record; (file, member, ordinal)
joins them to the documents. A record without its sections (None) has no
text_sections rows.
"""

from __future__ import annotations

from typing import Any, Callable, Dict, Iterable, Iterator, List, NamedTuple, Optional, Tuple, TypeVar

import tessellox

from . import _records
from ._records import resolve_entities
from ._records import text_record as text_record  # the public entry point of this module
from ._records import text_record_json as text_record_json  # the same, as one JSON line
from .split import DEFAULT_CHUNK_SIZE, DEFAULT_MAX_DOCUMENT_SIZE, Origin, RawDocument, iter_documents


class Column(NamedTuple):
    """A column of the records schema, as the native module declares it."""

    name: str
    # "text", "integer", "flag" (bool), "text_list", "integer_list", "entries"
    # (a list of dicts of the `entries` columns) or "rows" (a nested table).
    type: str
    nullable: bool
    entries: Tuple["Column", ...] = ()


def _columns(declared: Tuple[Any, ...]) -> Tuple[Column, ...]:
    return tuple(Column(name, kind, nullable, _columns(entries)) for name, kind, nullable, entries in declared)


_DECLARED = {name: _columns(columns) for name, columns in _records.SCHEMA}

SCHEMA_VERSION: int = _records.SCHEMA_VERSION
# The record's keys, in order: the documents' columns with each nested table
# under its name.
RECORD_FIELDS = tuple(column.name for column in _DECLARED["documents"])
ORIGIN_FIELDS = RECORD_FIELDS[:4]
KEY_COLUMNS = _DECLARED["documents"][:3]  # file, member, ordinal: what joins a nested table's rows to documents
KEY_FIELDS = tuple(column.name for column in KEY_COLUMNS)
# What a parsed Document gives (`document_record`): the origin through claims.
DOCUMENT_FIELDS = RECORD_FIELDS[: RECORD_FIELDS.index("claims") + 1]
NESTED_TABLES = tuple(column.name for column in _DECLARED["documents"] if column.type == "rows")
# Every table's columns as its outputs write them: documents without the
# nested tables, a nested table's rows after their document's key.
TABLES: Dict[str, Tuple[Column, ...]] = {
    "documents": tuple(column for column in _DECLARED["documents"] if column.type != "rows"),
    **{table: KEY_COLUMNS + _DECLARED[table] for table in NESTED_TABLES},
}
TABLE_FIELDS: Dict[str, Tuple[str, ...]] = {
    table: tuple(column.name for column in columns) for table, columns in TABLES.items()
}
DOCUMENT_TABLE_FIELDS = TABLE_FIELDS["documents"]
CLAIM_TABLE_FIELDS = TABLE_FIELDS["claims"]
CITATION_TABLE_FIELDS = TABLE_FIELDS["citations"]
ERROR_FIELDS = ORIGIN_FIELDS + ("message",)

Record = Dict[str, Any]
T = TypeVar("T")


NO_ORIGIN = Origin(None, None, None, None)  # type: ignore[arg-type]


def document_record(document: tessellox.Document, origin: Optional[Origin] = None) -> Record:
    """The fields a parsed `Document` can give: the origin, source_format
    through claims (`DOCUMENT_FIELDS`), claims without "depends_on". The
    fields after claims (kind_code to citations) and claim dependencies come
    from the document's text: use `text_record` for the whole record.

    `origin` says where the document came from: an `Origin(file, member,
    ordinal, offset)` as `iter_documents` gives it with each document (any
    tuple of those four values will do), giving the record's first four
    fields; without it they are None.
    """
    if origin is None:
        origin = NO_ORIGIN
    file, member, ordinal, offset = origin
    record: Record = {"file": file, "member": member, "ordinal": ordinal, "offset": offset}
    record.update(document_fields(document))
    return record


def document_fields(document: tessellox.Document) -> Record:
    """The fields of a record that come from the document, not its origin:
    the getters' values with their entity references resolved, as
    `text_record` gives them."""

    def text(value: Optional[str]) -> Optional[str]:
        return None if value is None else resolve_entities(value)

    def texts(values: List[str]) -> List[str]:
        return [resolve_entities(value) for value in values]

    return {
        "source_format": document.source_format,
        "publication_number": text(document.publication_number),
        "patent_number": text(document.patent_number),
        "application_number": text(document.application_number),
        "title": text(document.title),
        "filing_date": text(document.filing_date),
        "publication_date": text(document.publication_date),
        "priority_date": text(document.priority_date),
        "inventors": texts(document.inventors),
        "applicants": texts(document.applicants),
        "assignees": texts(document.assignees),
        "ipc_classifications": texts(document.ipc_classifications),
        "us_classifications": texts(document.us_classifications),
        "abstract_text": text(document.abstract_text),
        "claims": [{"number": claim.number, "text": resolve_entities(claim.text)} for claim in document.claims],
    }


def error_record(origin: Origin, message: str) -> Record:
    return {
        "file": origin.file,
        "member": origin.member,
        "ordinal": origin.ordinal,
        "offset": origin.offset,
        "message": message,
    }


def failure_message(error: Exception) -> str:
    """The message of a document's failure: the parser's own for `ValueError`,
    the exception's type and text for anything unexpected."""
    if isinstance(error, ValueError):
        return str(error)
    return f"{type(error).__name__}: {error}"


def raw_record(raw: RawDocument, origin: Optional[Origin] = None) -> Record:
    """The record of a document's bytes, read without decoding them into a
    str first; failures are those of `raw.text()` and `text_record`."""
    return _of_bytes(text_record, raw, origin)


def _of_bytes(function: Callable[[bytes, Optional[Origin]], T], raw: RawDocument, origin: Optional[Origin]) -> T:
    if raw.failure is not None:
        raise ValueError(raw.failure)
    try:
        return function(raw.data, origin)
    except UnicodeDecodeError as error:
        raise ValueError(invalid_utf8_message(error)) from None


def invalid_utf8_message(error: UnicodeDecodeError) -> str:
    """The failure of a document whose bytes are not UTF-8."""
    return f"invalid UTF-8 at byte {error.start}: {error.reason}"


def record_of(raw: RawDocument) -> Tuple[Optional[Record], Optional[str]]:
    """(record, None) on success, (None, message) on failure."""
    try:
        return raw_record(raw, raw.origin), None
    except Exception as error:  # one document's failure never stops a run
        return None, failure_message(error)


def iter_records(
    paths: Iterable[str],
    *,
    include_errors: bool = False,
    chunk_size: int = DEFAULT_CHUNK_SIZE,
    max_document_size: int = DEFAULT_MAX_DOCUMENT_SIZE,
) -> Iterator[Record]:
    """Records of every document of `paths`, in order, in this process.

    Failed documents (and files skipped as neither documents nor archives)
    are left out, or given as error records when `include_errors` is true.
    Unreadable inputs raise.
    """
    documents = iter_documents(
        paths, chunk_size=chunk_size, max_document_size=max_document_size, include_skipped=include_errors
    )
    for raw in documents:
        record, message = record_of(raw)
        if record is not None:
            yield record
        elif include_errors:
            yield error_record(raw.origin, message or "")


def document_row(record: Record) -> Record:
    """The documents-table row of a record: every field but the nested
    tables."""
    return {key: record[key] for key in DOCUMENT_TABLE_FIELDS}


def table_rows(record: Record, table: str) -> List[Record]:
    """The rows of one table of a record: its documents row, or the rows of a
    nested table, in order, each after the document's key."""
    if table == "documents":
        return [document_row(record)]
    key = {name: record[name] for name in KEY_FIELDS}
    return [dict(key, **row) for row in record[table] or ()]


def table_columns(records: List[Record], table: str) -> Dict[str, List[Any]]:
    """The values of one table of some records, column by column."""
    if table == "documents":
        return {name: [record[name] for record in records] for name in DOCUMENT_TABLE_FIELDS}
    nested = [record[table] or () for record in records]  # None: rows not asked for
    columns = {name: [record[name] for record, rows in zip(records, nested) for _ in rows] for name in KEY_FIELDS}
    rows = [row for record_rows in nested for row in record_rows]
    for name in TABLE_FIELDS[table][len(KEY_FIELDS) :]:
        columns[name] = [row[name] for row in rows]
    return columns
