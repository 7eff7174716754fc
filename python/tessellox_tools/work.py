"""What a worker does with a task: read its documents, turn each into the
command's output, and write it to the task's shard with its origin.

A region cut from the middle of a file does not know the ordinal of its
first document, which needs the counts of every earlier region: the worker
announces its count as soon as it has split the region, converts its
documents, and learns its first ordinal (usually long known by then) only
when it writes. A whole source numbers its own documents.
"""

from __future__ import annotations

import codecs
import functools
import json
import re
from typing import IO, Any, Callable, Dict, List, NamedTuple, Optional, Tuple, Union

import tessellox

from ._records import record_json_lines, to_markdown
from .handover import Handover, Place
from .plan import RegionTask, SourceTask, Task
from .records import failure_message, invalid_utf8_message, text_record, text_record_json
from .split import (
    UNREADABLE_ERRORS,
    Origin,
    Reading,
    Region,
    document_bounds,
    too_large_message,
    writable_name,
)

DETECT = "detect"
RECORDS = "records"
MARKDOWN = "markdown"
# The shard of JSON Lines (and of the lines of DETECT).
LINES = "lines"
ABRUPT_END = "a worker ended abruptly while reading this document"


class Job(NamedTuple):
    """What every task of a run is turned into.

    command: DETECT, RECORDS or MARKDOWN. shard: how a task's output is
    written (`sinks.SHARD_WRITERS`). directory: where the shards go.
    handover: where the regions that the parent cuts wait.
    """

    command: str
    shard: str
    directory: str
    template: Optional[str] = None
    limit: int = 1 << 30
    fail_fast: bool = False  # nothing after a task's first failed document is written
    tables: str = "xml"  # Markdown's tables, formulas and processing instructions: see to_markdown
    maths: str = "xml"
    instructions: str = "xml"
    sections: bool = False  # records: the description's sections too
    handover: Optional[Handover] = None


class Failure(NamedTuple):
    """A failed document (with its ordinal), or a file not read (without)."""

    origin: Origin
    message: str


class TaskResult(NamedTuple):
    seq: int
    documents: int
    succeeded: int
    size: int
    failures: List[Failure]
    unreadable: Optional[Tuple[str, str]]
    output: Any


# A document's outcome before it has its ordinal: (offset, size, ok, payload or message).
_Outcome = Tuple[int, int, bool, Any]


class ShardWriter:
    """Where a worker writes one task's documents (see `sinks`)."""

    def add(self, origin: Origin, payload: Any) -> None:
        raise NotImplementedError

    def fail(self, origin: Origin, message: str) -> None:
        """A failed document; most outputs write nothing for it."""

    def add_lines(self, lines: bytes) -> None:
        """JSON lines of documents converted many to a call (LinesRun), in
        their place among the documents added."""
        raise NotImplementedError

    def add_documents(self, file: str, member: Optional[str], first: int, outcomes: List[_Outcome]) -> None:
        """Documents of one file or member in their order, numbered from
        `first`: `add` or `fail` for each."""
        for ordinal, (offset, _, ok, payload) in enumerate(outcomes, first):
            if ok:
                self.add(Origin(file, member, ordinal, offset), payload)
            else:
                self.fail(Origin(file, member, ordinal, offset), payload)

    def finish(self) -> Any:
        """Completes the shard; what the parent needs to take it."""
        raise NotImplementedError


ShardFactory = Callable[[Job, int], ShardWriter]
# Called with a region task's number and document count; what it returns
# gives the first ordinal when called.
Announce = Callable[[int, int], Callable[[], int]]
# Called before each document: unit within the task, document within the unit.
Mark = Callable[[int, int], None]


def NO_MARK(unit: int, index: int) -> None:
    """The mark of a run whose tasks run in the process that writes the
    output, where a fault ends the run anyway: no document needs marking,
    so documents may be converted many to a call."""


class LinesRun(NamedTuple):
    """Documents in a row converted in one call, all of them written: their
    JSON lines with their origins."""

    lines: bytes
    count: int
    size: int


@functools.lru_cache(maxsize=None)
def _encoder() -> Callable[[Any], bytes]:
    """Compact JSON in UTF-8 without ASCII escapes: orjson, five times as
    fast, when it is installed, imported only when first needed (records are
    encoded natively; this is for error records)."""
    try:
        import orjson

        return orjson.dumps  # type: ignore[no-any-return]
    except ImportError:
        return lambda value: json.dumps(value, ensure_ascii=False, separators=(",", ":")).encode("utf-8")


def _dumps_bytes(value: Any) -> bytes:
    return _encoder()(value)


def json_line(record: Any) -> bytes:
    return _dumps_bytes(record) + b"\n"


# How a record without an origin starts as JSON: what `JsonLineJoiner`
# puts the origin in place of.
_NO_ORIGIN_JSON = b'{"file":null,"member":null,"ordinal":null,"offset":null,'
_ORIGIN_END = len(_NO_ORIGIN_JSON)


def origin_head(file: str, member: Optional[str]) -> bytes:
    """The start of a JSON line's origin: its file and member, without the
    closing brace."""
    # The standard library's encoder, which writes strings as orjson does:
    # importing orjson for two names would cost a short run more than all
    # its lines' joining.
    head = json.dumps({"file": file, "member": member}, ensure_ascii=False, separators=(",", ":"))
    return head.encode("utf-8")[:-1]


class JsonLineJoiner:
    """Puts the origin into the JSON line of a record without one, giving
    exactly `json_line` of the whole record."""

    def __init__(self) -> None:
        # The file and member of the last line, compared by identity: the
        # same objects come with every document of a region.
        self._file: Optional[str] = None
        self._member: Optional[str] = None
        self._prefix = b""

    def _file_prefix(self, file: str, member: Optional[str]) -> bytes:
        if file is not self._file or member is not self._member:
            self._file, self._member = file, member
            self._prefix = origin_head(file, member)
        return self._prefix

    def parts(self, origin: Origin, line: bytes) -> Tuple[bytes, memoryview]:
        """The joined line in two parts, the origin's and (not copied) the
        record's, for a stream that copies them anyway."""
        if not line.startswith(_NO_ORIGIN_JSON):
            raise _not_without_origin()
        file, member, ordinal, offset = origin
        assert ordinal is not None and offset is not None  # a document, not a skipped file
        prefix = self._file_prefix(file, member)
        return b'%s,"ordinal":%d,"offset":%d,' % (prefix, ordinal, offset), memoryview(line)[_ORIGIN_END:]

    def line(self, origin: Origin, line: bytes) -> bytes:
        head, fields = self.parts(origin, line)
        return head + fields

    def write(self, stream: IO[bytes], origin: Origin, line: bytes) -> None:
        head, fields = self.parts(origin, line)
        stream.write(head)
        stream.write(fields)

    def put_documents(
        self,
        put: Callable[[bytes, memoryview], None],
        file: str,
        member: Optional[str],
        first: int,
        outcomes: List[_Outcome],
    ) -> None:
        """`parts` of each document of `ShardWriter.add_documents` that
        succeeded, given to `put`; a failed one has no line."""
        prefix = self._file_prefix(file, member)
        for ordinal, (offset, _, ok, line) in enumerate(outcomes, first):
            if ok:
                if not line.startswith(_NO_ORIGIN_JSON):
                    raise _not_without_origin()
                put(b'%s,"ordinal":%d,"offset":%d,' % (prefix, ordinal, offset), memoryview(line)[_ORIGIN_END:])


def _not_without_origin() -> ValueError:
    return ValueError("JsonLineJoiner takes the line of a record without its origin")


def full_record(origin: Origin, record: Dict[str, Any]) -> Dict[str, Any]:
    """A record without its origin (its origin fields None) with it, in place."""
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


# The encoding an XML declaration names, if any; only the declaration's
# first bytes are looked at.
_DECLARED_ENCODING = re.compile(
    rb"<\?xml[ \t\r\n][^>]{0,200}?encoding[ \t\r\n]*=[ \t\r\n]*[\"']([A-Za-z][A-Za-z0-9._-]*)"
)
_DECLARATION_WINDOW = 256
_UTF16_MARKS = (codecs.BOM_UTF16_LE, codecs.BOM_UTF16_BE)
_UTF8_NAMES = frozenset(("utf-8", "ascii"))
_UTF8_DECLARATION = b'<?xml version="1.0" encoding="UTF-8"'


def _declared_encoding(data: bytes, start: int, end: int) -> Optional[str]:
    """The codec a document must be decoded with, None for UTF-8. A name no
    codec knows raises `ValueError`."""
    if data.startswith(_UTF8_DECLARATION, start):
        return None  # the declaration of nearly every document: no search
    if data.startswith(_UTF16_MARKS, start):
        return "utf-16"
    match = _DECLARED_ENCODING.match(data, start, min(end, start + _DECLARATION_WINDOW))
    if match is None:
        return None
    name = match.group(1).decode("ascii")
    try:
        codec = codecs.lookup(name).name
    except LookupError:
        raise ValueError(f"unknown encoding {name!r} in the XML declaration") from None
    return None if codec in _UTF8_NAMES else codec


def _decode(data: bytes, start: int, end: int, codec: str) -> str:
    try:
        return data[start:end].decode(codec)
    except UnicodeDecodeError as error:
        raise ValueError(f"invalid {codec} at byte {error.start}: {error.reason}") from None


def _utf8(data: bytes, start: int, end: int) -> str:
    try:
        return data[start:end].decode("utf-8")
    except UnicodeDecodeError as error:
        raise ValueError(invalid_utf8_message(error)) from None


def convert(job: Job, data: bytes, start: int, end: int) -> Any:
    """What the job makes of the document data[start:end] (without its
    origin); raises on the document's failure."""
    codec = None if data.startswith(_UTF8_DECLARATION, start) else _declared_encoding(data, start, end)
    text: Union[str, bytes]
    if job.command == RECORDS:
        text = data if codec is None else _decode(data, start, end, codec)
        try:
            if job.shard == LINES:
                if codec is None:
                    return text_record_json(text, None, start, end, sections=job.sections)
                return text_record_json(text, sections=job.sections)
            return text_record(text[start:end] if codec is None else text, sections=job.sections)
        except UnicodeDecodeError as error:
            raise ValueError(invalid_utf8_message(error)) from None
    text = _utf8(data, start, end) if codec is None else _decode(data, start, end, codec)
    if job.command == DETECT:
        return tessellox.detect_format(text)
    if job.command == MARKDOWN:
        document = tessellox.parse(text)
        if job.tables == job.maths == job.instructions == "xml":
            return markdown_name(document), document.to_markdown(job.template).encode("utf-8")
        markdown = to_markdown(text, job.template, tables=job.tables, maths=job.maths, instructions=job.instructions)
        return markdown_name(document), markdown.encode("utf-8")
    raise ValueError(f"unknown command {job.command!r}")


class _Tally:
    def __init__(self) -> None:
        self.documents = 0
        self.succeeded = 0
        self.size = 0
        self.failures: List[Failure] = []
        self.unreadable: Optional[Tuple[str, str]] = None


def _unreadable_reason(error: BaseException) -> str:
    return getattr(error, "strerror", None) or str(error) or type(error).__name__


def _read_region(job: Job, region: Region, place: Optional[Place]) -> bytes:
    if place is None:
        return region.read()
    assert job.handover is not None
    return job.handover.take(place)


def _convert_region(
    job: Job, region: Region, data: bytes, bounds: List[Tuple[int, int]], unit: int, skip: Any, mark: Mark
) -> List[_Outcome]:
    outcomes: List[_Outcome] = []
    append = outcomes.append
    base, limit = region.start, job.limit
    convert_one = convert  # looked up once a region: a replaced `convert` is still called
    for index, (start, end) in enumerate(bounds):
        size = end - start
        mark(unit, index)
        if skip and (unit, index) in skip:
            append((base + start, size, False, ABRUPT_END))
        elif size > limit:
            append((base + start, size, False, too_large_message(size, limit)))
        else:
            try:
                append((base + start, size, True, convert_one(job, data, start, end)))
            except Exception as error:  # one document's failure never stops a run
                append((base + start, size, False, failure_message(error)))
    return outcomes


def _convert_lines(
    job: Job, region: Region, data: bytes, bounds: List[Tuple[int, int]], head: bytes, first: int
) -> List[Any]:
    """_convert_region for the JSON Lines of records, numbered from `first`
    and unmarked: runs of documents converted in one call each (LinesRun),
    and each document that a run stops at converted alone."""
    outcomes: List[Any] = []
    index, count = 0, len(bounds)
    while index < count:
        lines, reached, size = record_json_lines(
            data, bounds, index, job.limit, head, first + index, region.start, job.sections
        )
        if reached > index:
            outcomes.append(LinesRun(lines, reached - index, size))
        if reached < count:
            outcomes.extend(_convert_region(job, region, data, bounds[reached : reached + 1], 0, None, NO_MARK))
        index = reached + 1
    return outcomes


def _write(
    job: Job, writer: ShardWriter, tally: _Tally, file: str, member: Optional[str], first: int, outcomes: List[Any]
) -> bool:
    """Writes a region's documents; False when the job stops at a failure
    (the region's documents after it are neither written nor counted)."""
    if not any(type(entry) is LinesRun for entry in outcomes):
        return _write_documents(job, writer, tally, file, member, first, outcomes)
    # Runs, and between them documents converted alone.
    position = 0
    while position < len(outcomes):
        entry = outcomes[position]
        if isinstance(entry, LinesRun):
            tally.documents += entry.count
            tally.succeeded += entry.count
            tally.size += entry.size
            writer.add_lines(entry.lines)
            first += entry.count
            position += 1
            continue
        end = position + 1
        while end < len(outcomes) and not isinstance(outcomes[end], LinesRun):
            end += 1
        if not _write_documents(job, writer, tally, file, member, first, outcomes[position:end]):
            return False
        first += end - position
        position = end
    return True


def _write_documents(
    job: Job, writer: ShardWriter, tally: _Tally, file: str, member: Optional[str], first: int, outcomes: List[_Outcome]
) -> bool:
    failed = [index for index, outcome in enumerate(outcomes) if not outcome[2]]
    stopped = job.fail_fast and bool(failed)
    if stopped:
        outcomes = outcomes[: failed[0] + 1]
        del failed[1:]
    tally.documents += len(outcomes)
    tally.succeeded += len(outcomes) - len(failed)
    tally.size += sum([outcome[1] for outcome in outcomes])
    for index in failed:
        offset, _, _, message = outcomes[index]
        tally.failures.append(Failure(Origin(file, member, first + index, offset), message))
    writer.add_documents(file, member, first, outcomes)
    return not stopped


# Told a region's document count once it is split; gives what gives the
# region's first ordinal (see Announce).
Numbered = Callable[[int], Callable[[], int]]


def _region_outcomes(
    job: Job, region: Region, place: Optional[Place], unit: int, skip: Any, mark: Mark, numbered: Numbered, file: str
) -> Tuple[int, Callable[[], int], List[Any]]:
    """A region's documents converted: how many there are, what gives the
    first one's ordinal, and each outcome."""
    if region.oversized:
        first_ordinal = numbered(1)
        mark(unit, 0)
        size = region.end - region.start
        return 1, first_ordinal, [(region.start, size, False, too_large_message(size, job.limit))]
    data = _read_region(job, region, place)
    bounds = document_bounds(data, region.is_xml, region.first)
    first_ordinal = numbered(len(bounds))
    if mark is NO_MARK and not skip and job.command == RECORDS and job.shard == LINES:
        # Unmarked, the documents are numbered as they are converted: in this
        # process every earlier region is counted already.
        head = origin_head(file, writable_name(region.member))
        return len(bounds), first_ordinal, _convert_lines(job, region, data, bounds, head, first_ordinal())
    return len(bounds), first_ordinal, _convert_region(job, region, data, bounds, unit, skip, mark)


def run_region_task(task: RegionTask, job: Job, shards: ShardFactory, announce: Announce, mark: Mark) -> TaskResult:
    region = task.region
    tally = _Tally()
    file, member = writable_name(region.file), writable_name(region.member)
    writer = shards(job, task.seq)
    if region.skipped is not None:
        announce(task.seq, 0)
        tally.failures.append(Failure(Origin(file, member, None, None), region.skipped))
        return _result(task, tally, writer)
    try:
        _, first_ordinal, outcomes = _region_outcomes(
            job, region, task.place, 0, task.skip, mark, lambda count: announce(task.seq, count), file
        )
    except UNREADABLE_ERRORS as error:
        announce(task.seq, 0)
        tally.unreadable = (file, _unreadable_reason(error))
        return _result(task, tally, writer)
    _write(job, writer, tally, file, member, first_ordinal(), outcomes)
    return _result(task, tally, writer)


def run_source_task(task: SourceTask, job: Job, shards: ShardFactory, mark: Mark) -> TaskResult:
    """A whole file or zip member, with any archives inside it: the worker
    reads and numbers every document itself."""
    reading = Reading(1 << 20, 1 << 20, job.limit)
    tally = _Tally()
    writer = shards(job, task.seq)
    unit = -1
    ordinal = 0
    file = writable_name(task.file)
    try:
        if task.member is None:
            regions = reading.file_regions(task.file)
        else:
            regions = reading.zip_member_regions(task.file, task.member)
        for region in regions:
            if region.first:
                unit += 1
                ordinal = 0
            member = writable_name(region.member)
            if region.skipped is not None:
                tally.failures.append(Failure(Origin(file, member, None, None), region.skipped))
                continue
            skip = _shifted(task.skip, unit, ordinal)
            first = ordinal + 1
            count, _, outcomes = _region_outcomes(
                job, region, None, unit, skip, _mark_from(mark, ordinal), _numbered_from(first), file
            )
            if not _write(job, writer, tally, file, member, first, outcomes):
                break
            ordinal += count
    except UNREADABLE_ERRORS as error:
        tally.unreadable = (file, _unreadable_reason(error))
    return _result(task, tally, writer)


def _numbered_from(first: int) -> Numbered:
    """Numbers a region whose first ordinal is known already."""
    return lambda _count: lambda: first


def _mark_from(mark: Mark, ordinal: int) -> Mark:
    """Marks documents by their place in their unit, not in their region."""
    if not ordinal or mark is NO_MARK:
        return mark
    return lambda unit, index: mark(unit, ordinal + index)


def _shifted(skip: Any, unit: int, ordinal: int) -> Any:
    """The skip set as positions within a region that starts after `ordinal` documents."""
    if not skip:
        return skip
    return frozenset((u, index - ordinal) for u, index in skip if u == unit and index >= ordinal)


def _result(task: Task, tally: _Tally, writer: ShardWriter) -> TaskResult:
    return TaskResult(
        task.seq, tally.documents, tally.succeeded, tally.size, tally.failures, tally.unreadable, writer.finish()
    )


def run_task(task: Task, job: Job, shards: ShardFactory, announce: Announce, mark: Mark) -> TaskResult:
    if isinstance(task, SourceTask):
        return run_source_task(task, job, shards, mark)
    return run_region_task(task, job, shards, announce, mark)
