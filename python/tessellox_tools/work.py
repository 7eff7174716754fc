"""The work done on each region of documents, in a worker process or inline.

Workers return only what the parent must write, serialised where possible,
so that the parent (which plans regions, numbers documents and writes)
stays light and `--jobs 1` and `--jobs N` produce the same bytes. Workers
do not know a document's ordinal (that needs every earlier region), so the
parent adds the origin: for JSON Lines the worker serialises the record
with empty origin fields (natively, with no dict built), and the parent
writes the origin in their place.
"""

from __future__ import annotations

import json
from typing import IO, Any, Dict, List, NamedTuple, Optional, Tuple

import tessellox

from .records import failure_message, invalid_utf8_message, raw_record, raw_record_json, text_record_json
from .split import UNREADABLE_ERRORS, Origin, RawDocument, Region, piece_document, too_large_message

DETECT = "detect"
JSONL = "jsonl"
RECORDS = "records"
MARKDOWN = "markdown"

# (offset, size, True, payload) or (offset, size, False, failure message);
# the offset is None for a file that was skipped, not read.
Outcome = Tuple[Optional[int], int, bool, Any]
# (None, outcomes), or (why the region could not be read, []).
RegionResult = Tuple[Optional[str], List[Outcome]]


class Task(NamedTuple):
    kind: str
    template: Optional[str] = None


try:
    # Five times as fast as the standard library's encoder, the same bytes
    # (compact, UTF-8, no ASCII escapes); records themselves are encoded
    # natively, this is for error records.
    import orjson

    def _dumps_bytes(value: Any) -> bytes:
        return orjson.dumps(value)

except ImportError:

    def _dumps_bytes(value: Any) -> bytes:
        return json.dumps(value, ensure_ascii=False, separators=(",", ":")).encode("utf-8")


def json_line(record: Any) -> bytes:
    return _dumps_bytes(record) + b"\n"


# How a record without an origin starts as JSON: what `JsonLineJoiner`
# puts the origin in place of.
_NO_ORIGIN_JSON = b'{"file":null,"member":null,"ordinal":null,"offset":null,'
_ORIGIN_END = len(_NO_ORIGIN_JSON)


class JsonLineJoiner:
    """Puts the origin into a worker's JSON line of a record without one,
    giving exactly `json_line` of the whole record."""

    def __init__(self) -> None:
        # The file and member of the last line, compared by identity: the
        # same objects come with every document of a region.
        self._file: Optional[str] = None
        self._member: Optional[str] = None
        self._prefix = b""

    def parts(self, origin: Origin, line: bytes) -> Tuple[bytes, memoryview]:
        """The joined line in two parts, the origin's and (not copied) the
        record's, for a stream that copies them anyway."""
        if not line.startswith(_NO_ORIGIN_JSON):
            raise ValueError("JsonLineJoiner takes the line of a record without its origin")
        file, member, ordinal, offset = origin
        assert ordinal is not None and offset is not None  # a document, not a skipped file
        if file is not self._file or member is not self._member:
            self._file, self._member = file, member
            self._prefix = _dumps_bytes({"file": file, "member": member})[:-1]
        return b'%s,"ordinal":%d,"offset":%d,' % (self._prefix, ordinal, offset), memoryview(line)[_ORIGIN_END:]

    def line(self, origin: Origin, line: bytes) -> bytes:
        head, fields = self.parts(origin, line)
        return head + fields

    def write(self, stream: IO[bytes], origin: Origin, line: bytes) -> None:
        head, fields = self.parts(origin, line)
        stream.write(head)
        stream.write(fields)


def full_record(origin: Origin, record: Dict[str, Any]) -> Dict[str, Any]:
    """A worker's record (its origin fields None) with its origin, in place."""
    record["file"], record["member"], record["ordinal"], record["offset"] = origin
    return record


SEQUENCE_LISTING = "UsptoSequenceCwu"


def document_number(document: tessellox.Document) -> Optional[str]:
    return document.patent_number or document.publication_number


def markdown_name(document: tessellox.Document) -> Optional[str]:
    """What a document's Markdown file is named after: its number, with
    "-seq" for a sequence listing, which carries the number of its patent
    and comes beside it in a weekly file."""
    number = document_number(document)
    if number and document.source_format == SEQUENCE_LISTING:
        return f"{number}-seq"
    return number


def _process(task: Task, raw: RawDocument) -> Any:
    kind = task.kind
    if kind == DETECT:
        return tessellox.detect_format(raw.text())
    if kind == JSONL:
        return raw_record_json(raw)
    if kind == RECORDS:
        return raw_record(raw)
    document = tessellox.parse(raw.text())
    if kind == MARKDOWN:
        return markdown_name(document), document.to_markdown(task.template).encode("utf-8")
    raise ValueError(f"unknown task {kind!r}")


def process_region(task: Task, region: Region) -> RegionResult:
    if region.skipped is not None:
        return None, [(None, 0, False, region.skipped)]
    try:
        if task.kind == JSONL and not region.oversized:
            data, bounds = region.bounds()
            return None, _json_lines(region, data, bounds)
        pieces = region.documents()
    except UNREADABLE_ERRORS as error:
        return (getattr(error, "strerror", None) or str(error)), []
    outcomes: List[Outcome] = []
    for piece in pieces:
        raw = piece_document(region, 0, piece)
        try:
            outcomes.append((piece.offset, piece.size, True, _process(task, raw)))
        except Exception as error:  # one document's failure never stops a run
            outcomes.append((piece.offset, piece.size, False, failure_message(error)))
    return None, outcomes


def _json_lines(region: Region, data: bytes, bounds: List[Tuple[int, int]]) -> List[Outcome]:
    """What `_process` gives for JSONL, for the documents of a region read
    where they lie in its bytes: per document, the command's own work is
    little beside the native call, and this loop is most of it."""
    outcomes: List[Outcome] = []
    append = outcomes.append
    base, limit = region.start, region.limit
    for start, end in bounds:
        size = end - start
        if size > limit:
            append((base + start, size, False, too_large_message(size, limit)))
            continue
        try:
            append((base + start, size, True, text_record_json(data, None, start, end)))
        except UnicodeDecodeError as error:
            append((base + start, size, False, invalid_utf8_message(error)))
        except Exception as error:  # one document's failure never stops a run
            append((base + start, size, False, failure_message(error)))
    return outcomes
