"""Splitting USPTO sources into single documents.

A USPTO weekly file is not one document: it holds thousands of XML documents
laid end to end, each with its own XML declaration and DOCTYPE, or thousands
of APS Green Book records behind one "HHHHHT" header line. This module turns
any source into a stream of `RawDocument` values, each the exact bytes of one
document together with its `Origin`, so that any later failure can be traced
back to the byte where the document starts.

Sources:

* a file holding one document or many (XML or APS text);
* a zip archive of such files, read member by member and streamed, never
  extracted to disk (members named ``*.xml``, ``*.txt`` or ``*.aps``; images
  and other members are skipped);
* a directory, walked recursively in sorted order (files named ``*.xml``,
  ``*.txt``, ``*.aps`` or ``*.zip``; hidden entries are skipped);
* standard input, named ``-`` (a pipe or other unseekable file is read the
  same way).

Rules:

* XML documents start at every ``<?xml`` declaration (``<?xml`` followed by
  white space), wherever it stands, mid-line included. Text before the first
  declaration is a document of its own only when it is not blank.
* APS records start at every line that is "PATN" alone (trailing white space
  and a carriage return allowed). Header lines ("HHHHH...") and blank lines
  before the first record are dropped; anything else there is handed on as a
  document of its own, so that nothing is lost silently.
* A file is APS text when its first non-blank byte is not ``<``.
* A UTF-8 byte order mark at the start of a file (or zip member) is dropped;
  offsets still count it. Line ends are left as they are.
* Decoding is deferred: `RawDocument.text` raises `ValueError` for invalid
  UTF-8, which is a failure of that document alone.

Work is handed out in `Region` values: runs of whole documents of about
`DEFAULT_REGION_SIZE` bytes, cut at document boundaries. A region of a plain
file carries only its byte range, so that a worker process reads it itself
and the process that plans the regions reads no more than a few probes near
each cut; a region of a stream (zip member, pipe) carries its bytes. Either
way memory is bounded by the region size plus the largest document, never
by the file.
"""

from __future__ import annotations

import itertools
import os
import re
import stat
import sys
import tempfile
import zipfile
import zlib
from typing import IO, Callable, Iterable, Iterator, List, NamedTuple, Optional, Tuple, Type, Union

DEFAULT_CHUNK_SIZE = 1 << 20
DEFAULT_REGION_SIZE = 1 << 20
STDIN = "-"
BOM = b"\xef\xbb\xbf"
DOCUMENT_SUFFIXES = (".xml", ".txt", ".aps")
ARCHIVE_SUFFIXES = (".zip",)

# Exceptions that mean "this input cannot be read", as opposed to a bad
# document inside a readable input.
UNREADABLE_ERRORS: Tuple[Type[BaseException], ...] = (OSError, zipfile.BadZipFile, zlib.error, EOFError)

_DECLARATION = b"<?xml"
_XML_SPACE = frozenset(b" \t\r\n")
_LESS_THAN = ord("<")
_PATN_LINE = re.compile(rb"^PATN[ \t\r]*$", re.MULTILINE)
_NOT_SPACE = re.compile(rb"[^ \t\r\n]")
_ZIP_MAGIC = (b"PK\x03\x04", b"PK\x05\x06")
# Probes for a cut read this much at a time, overlapping by enough to see
# a boundary that straddles two probes.
_PROBE_SIZE = 64 << 10
_PROBE_OVERLAP = 64

Buffer = Union[bytes, bytearray]


class Origin(NamedTuple):
    """Where a document came from.

    file: the path as given (joined with the directory walked), "-" for
    standard input. member: the zip member's name, or None. ordinal: the
    1-based position of the document within its file or member. offset: the
    byte offset of its first byte in the file (or in the member's
    uncompressed content).
    """

    file: str
    member: Optional[str]
    ordinal: int
    offset: int

    def label(self) -> str:
        where = self.file if self.member is None else f"{self.file}!{self.member}"
        return f"{where} document {self.ordinal} at byte {self.offset}"


class RawDocument(NamedTuple):
    """The undecoded bytes of one document and their origin."""

    origin: Origin
    data: bytes

    def text(self) -> str:
        """The document as text; `ValueError` when it is not valid UTF-8."""
        try:
            return self.data.decode("utf-8")
        except UnicodeDecodeError as error:
            raise ValueError(f"invalid UTF-8 at byte {error.start}: {error.reason}") from None


class Source(NamedTuple):
    """One readable unit: a file, or one member of a zip archive."""

    file: str
    member: Optional[str] = None


class Region(NamedTuple):
    """Bytes [start, end) of a file or zip member: whole documents only.

    first: the region starts its file or member (where a byte order mark and
    text before the first document are looked for). data: the bytes, or None
    for a region of a plain file, which `read` reads from the file.
    """

    file: str
    member: Optional[str]
    start: int
    end: int
    is_xml: bool
    first: bool
    data: Optional[bytes] = None

    def read(self) -> bytes:
        if self.data is not None:
            return self.data
        with open(self.file, "rb") as stream:
            stream.seek(self.start)
            data = stream.read(self.end - self.start)
        if len(data) != self.end - self.start:
            raise OSError(f"{self.file} changed while being read")
        return data

    def documents(self) -> List[Tuple[int, bytes]]:
        """(offset, bytes) of each document of the region."""
        return split_bytes(self.read(), self.start, self.is_xml, self.first)


UnreadableHandler = Callable[[str, BaseException], None]


def iter_documents(
    paths: Iterable[str],
    *,
    region_size: int = DEFAULT_REGION_SIZE,
    chunk_size: int = DEFAULT_CHUNK_SIZE,
    on_unreadable: Optional[UnreadableHandler] = None,
) -> Iterator[RawDocument]:
    """Every document of every path, in order.

    An unreadable input raises one of `UNREADABLE_ERRORS`, unless
    `on_unreadable` is given: it is then called with the path and the error,
    and the remaining inputs are still read.
    """
    regions = iter_regions(paths, region_size=region_size, chunk_size=chunk_size, on_unreadable=on_unreadable)
    yield from number_documents(regions, on_unreadable)


def number_documents(
    regions: Iterable[Region], on_unreadable: Optional[UnreadableHandler] = None
) -> Iterator[RawDocument]:
    """The documents of consecutive regions, numbered within each file or member."""
    ordinal = 0
    skipping = False
    for region in regions:
        if region.first:
            ordinal = 0
            skipping = False
        elif skipping:
            continue
        try:
            documents = region.documents()
        except UNREADABLE_ERRORS as error:
            if on_unreadable is None:
                raise
            on_unreadable(region.file, error)
            skipping = True
            continue
        for offset, data in documents:
            ordinal += 1
            yield RawDocument(Origin(region.file, region.member, ordinal, offset), data)


def iter_regions(
    paths: Iterable[str],
    *,
    region_size: int = DEFAULT_REGION_SIZE,
    chunk_size: int = DEFAULT_CHUNK_SIZE,
    on_unreadable: Optional[UnreadableHandler] = None,
) -> Iterator[Region]:
    """The regions of every path, in order; unreadable inputs as in
    `iter_documents`."""
    for path in paths:
        try:
            files = _expand(path, on_unreadable)
        except UNREADABLE_ERRORS as error:
            if on_unreadable is None:
                raise
            on_unreadable(path, error)
            continue
        for file in files:
            try:
                yield from _regions_of_file(file, region_size, chunk_size)
            except UNREADABLE_ERRORS as error:
                if on_unreadable is None:
                    raise
                on_unreadable(file, error)


def iter_sources(paths: Iterable[str]) -> Iterator[Source]:
    """The files and zip members that `iter_documents` would read, in order.

    Standard input cannot be listed ahead and stays one source. Errors
    propagate.
    """
    for path in paths:
        for file in _expand(path, None):
            if file != STDIN and _is_zip_file(file):
                with zipfile.ZipFile(file) as archive:
                    for info in _document_members(archive):
                        yield Source(file, info.filename)
            else:
                yield Source(file)


def iter_source_documents(
    source: Source, *, region_size: int = DEFAULT_REGION_SIZE, chunk_size: int = DEFAULT_CHUNK_SIZE
) -> Iterator[RawDocument]:
    """The documents of one source from `iter_sources`."""
    if source.member is None:
        yield from number_documents(_regions_of_file(source.file, region_size, chunk_size))
        return
    with zipfile.ZipFile(source.file) as archive:
        with archive.open(source.member) as stream:
            chunks = _read_chunks(stream, chunk_size)
            yield from number_documents(_stream_regions(chunks, source.file, source.member, region_size))


def input_size(paths: Iterable[str]) -> Optional[int]:
    """Total bytes that reading `paths` will go through (uncompressed for zip
    members), or None when it cannot be known ahead (standard input)."""
    total = 0
    for path in paths:
        try:
            for file in _expand(path, None):
                if file == STDIN or not stat.S_ISREG(os.stat(file).st_mode):
                    return None
                if _is_zip_file(file):
                    with zipfile.ZipFile(file) as archive:
                        total += sum(info.file_size for info in _document_members(archive))
                else:
                    total += os.stat(file).st_size
        except UNREADABLE_ERRORS:
            continue
    return total


def split_stream(
    stream: IO[bytes],
    file: str,
    member: Optional[str] = None,
    *,
    chunk_size: int = DEFAULT_CHUNK_SIZE,
    region_size: int = DEFAULT_REGION_SIZE,
) -> Iterator[RawDocument]:
    """The documents of one binary stream, read in chunks."""
    return split_chunks(_read_chunks(stream, chunk_size), file, member, region_size=region_size)


def split_chunks(
    chunks: Iterable[bytes], file: str, member: Optional[str] = None, *, region_size: int = DEFAULT_REGION_SIZE
) -> Iterator[RawDocument]:
    """The documents of a byte stream given as consecutive chunks of any size."""
    return number_documents(_stream_regions(chunks, file, member, region_size))


def split_bytes(data: bytes, base: int, is_xml: bool, first: bool) -> List[Tuple[int, bytes]]:
    """(offset, bytes) of each document of a run of whole documents that
    starts at offset `base`; `first` when it starts its file or member."""
    if first and data.startswith(BOM):
        data = data[len(BOM) :]
        base += len(BOM)
    starts = _xml_starts(data) if is_xml else [match.start() for match in _PATN_LINE.finditer(data)]
    documents: List[Tuple[int, bytes]] = []
    lead_end = starts[0] if starts else len(data)
    if lead_end:
        lead = data[:lead_end]
        if _NOT_SPACE.search(lead) if is_xml else _has_aps_content(lead):
            documents.append((base, lead))
    ends = starts[1:] + [len(data)]
    documents.extend((base + start, data[start:end]) for start, end in zip(starts, ends))
    return documents


def _xml_starts(data: Buffer, position: int = 0) -> List[int]:
    """Offsets of the declarations that start documents."""
    starts: List[int] = []
    length = len(data)
    while True:
        # "?" is rare in patent text, so searching for it (memchr-fast) beats
        # searching for the whole declaration, whose letters are common.
        question = data.find(b"?", position + 1)
        if question < 0:
            return starts
        position = question
        start = question - 1
        if (
            data[start] == _LESS_THAN
            and data.startswith(b"xml", question + 1)
            and question + 4 < length
            and data[question + 4] in _XML_SPACE
        ):
            starts.append(start)


def _has_aps_content(lead: bytes) -> bool:
    """Whether text before the first record holds more than header and blank lines."""
    for line in lead.split(b"\n"):
        line = line.strip()
        if line and not line.startswith(b"HHHHH"):
            return True
    return False


def _first_cut(window: Buffer, low: int, is_xml: bool, at_end: bool) -> int:
    """The first document start at or after `low` that the window shows
    completely (-1 when there is none)."""
    if is_xml:
        starts = _xml_starts(window, low)
        return starts[0] if starts else -1
    for match in _PATN_LINE.finditer(window, low):
        # The whole line must be seen: "PATN" at the window's end may go on.
        if match.end() < len(window) or at_end:
            return match.start()
    return -1


def _last_cut(buffer: Buffer, low: int, is_xml: bool) -> int:
    """The last document start at or after `low` (> 0) that the buffer shows
    completely (-1 when there is none)."""
    if is_xml:
        start = buffer.rfind(_DECLARATION, low)
        while start >= 0:
            if start + 5 < len(buffer) and buffer[start + 5] in _XML_SPACE:
                return start
            start = buffer.rfind(_DECLARATION, low, start + 4)
        return -1
    newline = buffer.rfind(b"\nPATN", low - 1)
    while newline >= 0:
        line_end = buffer.find(b"\n", newline + 5)
        if line_end >= 0 and not buffer[newline + 5 : line_end].strip(b" \t\r"):
            return newline + 1
        newline = buffer.rfind(b"\nPATN", low - 1, newline + 4)
    return -1


def _kind(head: Buffer, at_end: bool) -> Optional[bool]:
    """Whether the text is XML, from its first non-blank byte; None while
    the head is too short to tell."""
    if not at_end and len(head) < len(BOM) and BOM.startswith(head):
        return None
    found = _NOT_SPACE.search(head, len(BOM) if head.startswith(BOM) else 0)
    if found is None:
        return True if at_end else None
    return head[found.start()] == _LESS_THAN


def _file_regions(stream: IO[bytes], file: str, size: int, region_size: int) -> Iterator[Region]:
    """Regions of a plain file, planned from small probes."""
    head = b""
    is_xml: Optional[bool] = None
    while is_xml is None:
        window = stream.read(_PROBE_SIZE)
        head += window
        is_xml = _kind(head, at_end=not window)
    del head
    start = 0
    while start < size:
        end = size if start + region_size >= size else _probe_cut(stream, start + region_size, size, is_xml)
        yield Region(file, None, start, end, is_xml, start == 0)
        start = end


def _probe_cut(stream: IO[bytes], position: int, size: int, is_xml: bool) -> int:
    """The first document start at or after `position`, or the file's size."""
    while position < size:
        # One byte before, so that an APS line start can be seen as one.
        stream.seek(position - 1)
        window = stream.read(_PROBE_SIZE)
        if not window:
            return size
        at_end = position - 1 + len(window) >= size
        cut = _first_cut(window, 1, is_xml, at_end)
        if cut >= 0:
            return position - 1 + cut
        if at_end:
            return size
        position += max(len(window) - _PROBE_OVERLAP, 1)
    return size


def _stream_regions(chunks: Iterable[bytes], file: str, member: Optional[str], region_size: int) -> Iterator[Region]:
    """Regions of a stream, cut at the last document start of each
    `region_size` bytes read."""
    buffer = bytearray()
    base = 0  # offset of buffer[0]
    first = True
    is_xml: Optional[bool] = None
    searched = 0  # buffer[:searched] holds no document start after 0
    for chunk in chunks:
        buffer += chunk
        if is_xml is None:
            is_xml = _kind(buffer, at_end=False)
            if is_xml is None:
                continue
        if len(buffer) < region_size:
            continue
        cut = _last_cut(buffer, max(searched - _PROBE_OVERLAP, 1), is_xml)
        searched = len(buffer)
        if cut < 0:
            continue  # one document larger than a region: read on
        with memoryview(buffer) as view:
            data = bytes(view[:cut])
        yield Region(file, member, base, base + cut, is_xml, first, data)
        del buffer[:cut]
        base += cut
        searched -= cut
        first = False
    if buffer:
        if is_xml is None:
            is_xml = bool(_kind(buffer, at_end=True))
        yield Region(file, member, base, base + len(buffer), is_xml, first, bytes(buffer))


def _read_chunks(stream: IO[bytes], chunk_size: int) -> Iterator[bytes]:
    while True:
        chunk = stream.read(chunk_size)
        if not chunk:
            return
        yield chunk


def _is_zip_file(path: str) -> bool:
    # Only a plain file may be peeked at: a pipe would lose what is read.
    if not stat.S_ISREG(os.stat(path).st_mode):
        return False
    with open(path, "rb") as stream:
        return stream.read(4) in _ZIP_MAGIC


def _has_suffix(name: str, suffixes: Tuple[str, ...]) -> bool:
    return name.lower().endswith(suffixes)


def _document_members(archive: zipfile.ZipFile) -> Iterator[zipfile.ZipInfo]:
    for info in archive.infolist():
        name = info.filename
        if info.is_dir() or name.startswith("__MACOSX/"):
            continue
        if _has_suffix(name, DOCUMENT_SUFFIXES):
            yield info


def _expand(path: str, on_unreadable: Optional[UnreadableHandler]) -> List[str]:
    """The files a path stands for: itself, or a directory's matching files."""
    if path == STDIN:
        return [STDIN]
    if not stat.S_ISDIR(os.stat(path).st_mode):
        return [path]
    files: List[str] = []

    def report(error: OSError) -> None:
        if on_unreadable is None:
            raise error
        on_unreadable(error.filename or path, error)

    for directory, subdirectories, names in os.walk(path, onerror=report):
        subdirectories[:] = [name for name in subdirectories if not name.startswith(".")]
        for name in names:
            if not name.startswith(".") and _has_suffix(name, DOCUMENT_SUFFIXES + ARCHIVE_SUFFIXES):
                files.append(os.path.join(directory, name))
    # Sorted by path components, as a listing would show them: "a.xml",
    # "b/z.xml", "c.zip".
    files.sort(key=lambda file: os.path.relpath(file, path).split(os.sep))
    return files


def _regions_of_file(file: str, region_size: int, chunk_size: int) -> Iterator[Region]:
    if file == STDIN:
        yield from _regions_of_stream(sys.stdin.buffer, STDIN, region_size, chunk_size)
        return
    with open(file, "rb") as stream:
        mode = os.fstat(stream.fileno())
        if not stat.S_ISREG(mode.st_mode):
            yield from _regions_of_stream(stream, file, region_size, chunk_size)
        elif stream.read(4) in _ZIP_MAGIC:
            stream.seek(0)
            yield from _regions_of_archive(stream, file, region_size, chunk_size)
        else:
            stream.seek(0)
            yield from _file_regions(stream, file, mode.st_size, region_size)


def _regions_of_archive(stream: IO[bytes], file: str, region_size: int, chunk_size: int) -> Iterator[Region]:
    with zipfile.ZipFile(stream) as archive:
        for info in _document_members(archive):
            with archive.open(info) as member:
                yield from _stream_regions(_read_chunks(member, chunk_size), file, info.filename, region_size)


def _regions_of_stream(stream: IO[bytes], name: str, region_size: int, chunk_size: int) -> Iterator[Region]:
    """A pipe or standard input: read once, front to back."""
    head = stream.read(4)
    if head in _ZIP_MAGIC:
        # A zip archive needs random access: spool the archive itself (not
        # its members) to a temporary file.
        with tempfile.TemporaryFile() as spool:
            spool.write(head)
            for chunk in _read_chunks(stream, chunk_size):
                spool.write(chunk)
            spool.seek(0)
            yield from _regions_of_archive(spool, name, region_size, chunk_size)
        return
    chunks = itertools.chain((head,), _read_chunks(stream, chunk_size))
    yield from _stream_regions(chunks, name, None, region_size)
