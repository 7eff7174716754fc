"""Splitting USPTO sources into single documents.

A USPTO weekly file is not one document: it holds thousands of XML documents
laid end to end, each with its own XML declaration and DOCTYPE, or thousands
of APS Green Book records behind one "HHHHHT" header line. This module turns
any source into a stream of `RawDocument` values, each the exact bytes of one
document together with its `Origin`, so that any later failure can be traced
back to the byte where the document starts.

Sources:

* a file holding one document or many (XML or APS text), plain or
  gzip-compressed;
* an archive of such files, read member by member and streamed, never
  extracted to disk: zip, tar, tar.gz (members named ``*.xml``, ``*.txt``,
  ``*.aps``, or archives and ``*.gz`` files themselves; an archive inside a
  zip archive is spooled to a temporary file, since a zip archive needs
  random access);
* a directory, walked recursively in sorted order (hidden entries are left
  out);
* standard input, named ``-`` (a pipe or other unseekable file is read the
  same way); what it holds is told from its first bytes.

Any other file met in a directory or an archive (an image, a PDF) is not
read, and is reported as a skipped `Region` (`Region.skipped` says why), so
that nothing is dropped without a word.

Rules:

* XML documents start at every ``<?xml`` declaration (``<?xml`` followed by
  white space), wherever it stands, mid-line included. Text before the first
  declaration is a document of its own (which fails) when it is not blank.
* APS records start at every line that is "PATN" alone (trailing white space
  and a carriage return allowed). Header lines ("HHHHH...") and blank lines
  before the first record are dropped; anything else there is handed on as a
  document of its own, so that nothing is lost silently.
* A file is APS text when its first non-blank byte is not ``<``; in APS text
  an XML declaration starts a document too, and from the first declaration
  on only declarations do (XML laid after APS records is split as XML).
* A document larger than the size limit (``max_document_size``) is not
  kept in memory: reading skips to the next document start, and the document
  is handed on as a failure that gives its size and the limit.
* A UTF-8 byte order mark at the start of a file (or zip member) is dropped;
  offsets still count it. Line ends are left as they are.
* Decoding is deferred: `RawDocument.text` raises `ValueError` for invalid
  UTF-8, which is a failure of that document alone.

Work is handed out in `Region` values: runs of whole documents of about
`DEFAULT_REGION_SIZE` bytes, cut at document boundaries. A region of a plain
file carries only its byte range, so that a worker process reads it itself
and the process that plans the regions reads no more than a few probes near
each cut; a region of a stream (archive member, compressed file, pipe)
carries its bytes. Either way memory is bounded by the region size plus the
size limit of one document, never by the file.
"""

from __future__ import annotations

import os
import re
import shutil
import stat
import sys
import tarfile
import tempfile
import zipfile
import zlib
from typing import IO, Any, Callable, Iterable, Iterator, List, NamedTuple, Optional, Tuple, Type, Union, overload

from ._records import xml_declaration_offsets
from .inflate import INFLATE_ERRORS, open_gzip, open_zip_member

DEFAULT_CHUNK_SIZE = 1 << 20
DEFAULT_REGION_SIZE = 1 << 20
DEFAULT_MAX_DOCUMENT_SIZE = 1 << 30
STDIN = "-"
BOM = b"\xef\xbb\xbf"
DOCUMENT_SUFFIXES = (".xml", ".txt", ".aps")
ARCHIVE_SUFFIXES = (".zip", ".tar", ".tar.gz", ".tgz", ".gz")
# Archives inside archives are opened this deep, no deeper.
MAX_NESTING = 4

# Exceptions that mean "this input cannot be read", as opposed to a bad
# document inside a readable input.
UNREADABLE_ERRORS: Tuple[Type[BaseException], ...] = (
    OSError,
    zipfile.BadZipFile,
    zlib.error,
    EOFError,
    tarfile.TarError,
    NotImplementedError,  # a zip compression method Python lacks
) + INFLATE_ERRORS

_DECLARATION = b"<?xml"
_XML_SPACE = frozenset(b" \t\r\n")
_LESS_THAN = ord("<")
_PATN_LINE = re.compile(rb"^PATN[ \t\r]*$", re.MULTILINE)
_NOT_SPACE = re.compile(rb"[^ \t\r\n]")
_ZIP_MAGIC = (b"PK\x03\x04", b"PK\x05\x06")
_GZIP_MAGIC = b"\x1f\x8b"
# A tar header: "ustar" at byte 257 of its first block.
_TAR_MAGIC_AT = 257
_SNIFF_SIZE = 512
# Probes for a cut read this much at a time, overlapping by enough to see
# a boundary that straddles two probes.
_PROBE_SIZE = 64 << 10
_PROBE_OVERLAP = 64

Buffer = Union[bytes, bytearray]


class Origin(NamedTuple):
    """Where a document came from.

    file: the path as given (joined with the directory walked), "-" for
    standard input. member: the archive member's name ("outer.zip!inner.xml"
    for a member of an archive inside an archive), or None. ordinal: the
    1-based position of the document within its file or member. offset: the
    byte offset of its first byte in the file (or in the member's, or the
    compressed file's, uncompressed content). Ordinal and offset are None for
    a file that was skipped, not read.
    """

    file: str
    member: Optional[str]
    ordinal: Optional[int]
    offset: Optional[int]

    def place(self) -> str:
        return self.file if self.member is None else f"{self.file}!{self.member}"

    def label(self) -> str:
        if self.ordinal is None:
            return self.place()
        return f"{self.place()} document {self.ordinal} at byte {self.offset}"


class RawDocument(NamedTuple):
    """The undecoded bytes of one document and their origin; `failure` says
    why there are none (a document over the size limit, a skipped file)."""

    origin: Origin
    data: bytes
    failure: Optional[str] = None

    def text(self) -> str:
        """The document as text; `ValueError` when it is not valid UTF-8, or
        with `failure` when it was not read."""
        if self.failure is not None:
            raise ValueError(self.failure)
        try:
            return self.data.decode("utf-8")
        except UnicodeDecodeError as error:
            raise ValueError(f"invalid UTF-8 at byte {error.start}: {error.reason}") from None


@overload
def writable_name(name: str) -> str: ...


@overload
def writable_name(name: None) -> None: ...


def writable_name(name: Optional[str]) -> Optional[str]:
    """A file or member name as the outputs can hold it (UTF-8): the bytes of
    a name that are not UTF-8, which Python keeps as lone surrogates, as
    \\xNN escapes; any other name as it is."""
    if name is None or name.isascii():
        return name
    try:
        name.encode("utf-8")
        return name
    except UnicodeEncodeError:
        pass
    try:
        return name.encode("utf-8", "surrogateescape").decode("utf-8", "backslashreplace")
    except UnicodeEncodeError:  # a surrogate that stands for no byte
        return name.encode("utf-8", "backslashreplace").decode("utf-8")


class Source(NamedTuple):
    """One readable unit: a file (with all it holds), or one member of a zip
    archive."""

    file: str
    member: Optional[str] = None


class Region(NamedTuple):
    """Bytes [start, end) of a file or zip member: whole documents only.

    first: the region starts its file or member (where a byte order mark and
    text before the first document are looked for). data: the bytes, or None
    for a region of a plain file, which `read` reads from the file. limit: a
    document larger than this fails without being parsed. oversized: the
    region is one such document, whose bytes were never kept. skipped: the
    whole file or member was not read, for this reason.
    """

    file: str
    member: Optional[str]
    start: int
    end: int
    is_xml: bool
    first: bool
    data: Optional[bytes] = None
    limit: int = DEFAULT_MAX_DOCUMENT_SIZE
    oversized: bool = False
    skipped: Optional[str] = None

    def read(self) -> bytes:
        if self.data is not None:
            return self.data
        with open(self.file, "rb") as stream:
            stream.seek(self.start)
            data = stream.read(self.end - self.start)
        if len(data) != self.end - self.start:
            raise OSError(f"{self.file} changed while being read")
        return data

    def bounds(self) -> Tuple[bytes, List[Tuple[int, int]]]:
        """The bytes of a region that was read (neither skipped nor
        oversized) and where its documents lie in them: `documents`
        without a copy of each."""
        data = self.read()
        return data, document_bounds(data, self.is_xml, self.first)

    def documents(self) -> List[Piece]:
        """The documents of the region; none for a skipped file."""
        if self.skipped is not None:
            return []
        if self.oversized:
            return [Piece(self.start, self.end - self.start, None)]
        return split_bytes(self.read(), self.start, self.is_xml, self.first, self.limit)


class Piece(NamedTuple):
    """One document of a region: its offset, its size, and its bytes (None
    when it is larger than the region's limit and is not parsed)."""

    offset: int
    size: int
    data: Optional[bytes]


def too_large_message(size: int, limit: int) -> str:
    return (
        f"document of {size} bytes is larger than the size limit of {limit} bytes "
        "(--max-document-size); skipped to the next document"
    )


def piece_document(region: Region, ordinal: int, piece: Piece) -> RawDocument:
    origin = Origin(region.file, region.member, ordinal, piece.offset)
    if piece.data is None:
        return RawDocument(origin, b"", too_large_message(piece.size, region.limit))
    return RawDocument(origin, piece.data)


UnreadableHandler = Callable[[str, BaseException], None]


def iter_documents(
    paths: Iterable[str],
    *,
    region_size: int = DEFAULT_REGION_SIZE,
    chunk_size: int = DEFAULT_CHUNK_SIZE,
    max_document_size: int = DEFAULT_MAX_DOCUMENT_SIZE,
    on_unreadable: Optional[UnreadableHandler] = None,
    include_skipped: bool = False,
) -> Iterator[RawDocument]:
    """Every document of every path, in order.

    A document over `max_document_size` bytes comes with its `failure` set
    and no bytes. A file that is not read (not a document nor an archive)
    comes as a `RawDocument` with no ordinal, offset or bytes, and its
    `failure`, when `include_skipped` is true.

    An unreadable input raises one of `UNREADABLE_ERRORS`, unless
    `on_unreadable` is given: it is then called with the path and the error,
    and the remaining inputs are still read.
    """
    regions = iter_regions(
        paths,
        region_size=region_size,
        chunk_size=chunk_size,
        max_document_size=max_document_size,
        on_unreadable=on_unreadable,
    )
    yield from number_documents(regions, on_unreadable, include_skipped)


def number_documents(
    regions: Iterable[Region], on_unreadable: Optional[UnreadableHandler] = None, include_skipped: bool = False
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
        if region.skipped is not None:
            if include_skipped:
                yield RawDocument(Origin(region.file, region.member, None, None), b"", region.skipped)
            continue
        try:
            pieces = region.documents()
        except UNREADABLE_ERRORS as error:
            if on_unreadable is None:
                raise
            on_unreadable(region.file, error)
            skipping = True
            continue
        for piece in pieces:
            ordinal += 1
            yield piece_document(region, ordinal, piece)


def iter_regions(
    paths: Iterable[str],
    *,
    region_size: int = DEFAULT_REGION_SIZE,
    chunk_size: int = DEFAULT_CHUNK_SIZE,
    max_document_size: int = DEFAULT_MAX_DOCUMENT_SIZE,
    on_unreadable: Optional[UnreadableHandler] = None,
) -> Iterator[Region]:
    """The regions of every path, in order; unreadable inputs as in
    `iter_documents`."""
    reading = Reading(region_size, chunk_size, max_document_size)
    for path in paths:
        try:
            files = expand_path(path, on_unreadable)
        except UNREADABLE_ERRORS as error:
            if on_unreadable is None:
                raise
            on_unreadable(path, error)
            continue
        for file, accepted in files:
            try:
                if accepted:
                    yield from reading.file_regions(file)
                else:
                    yield skipped_region(file, None, _NOT_READ)
            except UNREADABLE_ERRORS as error:
                if on_unreadable is None:
                    raise
                on_unreadable(file, error)


def iter_sources(paths: Iterable[str]) -> Iterator[Source]:
    """The files and zip members that `iter_documents` would read, in order:
    a zip archive gives one source per member it would read, any other file
    one source. Standard input cannot be listed ahead and stays one source.
    Errors propagate.
    """
    for path in paths:
        for file, accepted in expand_path(path, None):
            if not accepted:
                continue
            if file != STDIN and _is_zip_file(file):
                with zipfile.ZipFile(file) as archive:
                    for info in zip_members(archive):
                        if accepted_name(info.filename):
                            yield Source(file, info.filename)
            else:
                yield Source(file)


def iter_source_documents(
    source: Source,
    *,
    region_size: int = DEFAULT_REGION_SIZE,
    chunk_size: int = DEFAULT_CHUNK_SIZE,
    max_document_size: int = DEFAULT_MAX_DOCUMENT_SIZE,
) -> Iterator[RawDocument]:
    """The documents of one source from `iter_sources`."""
    reading = Reading(region_size, chunk_size, max_document_size)
    if source.member is None:
        yield from number_documents(reading.file_regions(source.file))
        return
    yield from number_documents(reading.zip_member_regions(source.file, source.member))


def input_size(paths: Iterable[str]) -> Optional[int]:
    """Total bytes that reading `paths` will go through (uncompressed for zip
    members), or None when it cannot be known ahead (standard input,
    compressed files, archives inside archives)."""
    total = 0
    for path in paths:
        try:
            for file, accepted in expand_path(path, None):
                if not accepted:
                    continue
                if file == STDIN or not stat.S_ISREG(os.stat(file).st_mode):
                    return None
                with open(file, "rb") as stream:
                    head = stream.read(_SNIFF_SIZE)
                if head[:4] in _ZIP_MAGIC:
                    with zipfile.ZipFile(file) as archive:
                        for info in zip_members(archive):
                            if _has_suffix(info.filename, DOCUMENT_SUFFIXES):
                                total += info.file_size
                            elif accepted_name(info.filename):
                                return None
                elif head.startswith(_GZIP_MAGIC) or _is_tar(head):
                    return None
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
    max_document_size: int = DEFAULT_MAX_DOCUMENT_SIZE,
) -> Iterator[RawDocument]:
    """The documents of one binary stream of text, read in chunks."""
    return split_chunks(
        _read_chunks(stream, chunk_size), file, member, region_size=region_size, max_document_size=max_document_size
    )


def split_chunks(
    chunks: Iterable[bytes],
    file: str,
    member: Optional[str] = None,
    *,
    region_size: int = DEFAULT_REGION_SIZE,
    max_document_size: int = DEFAULT_MAX_DOCUMENT_SIZE,
) -> Iterator[RawDocument]:
    """The documents of a byte stream of text given as consecutive chunks of
    any size."""
    return number_documents(_stream_regions(chunks, file, member, region_size, max_document_size))


def split_bytes(
    data: bytes, base: int, is_xml: bool, first: bool, limit: int = DEFAULT_MAX_DOCUMENT_SIZE
) -> List[Piece]:
    """The documents of a run of whole documents that starts at offset
    `base`; `first` when it starts its file or member. A document larger
    than `limit` comes without its bytes."""
    return [
        Piece(base + start, end - start, data[start:end] if end - start <= limit else None)
        for start, end in document_bounds(data, is_xml, first)
    ]


def document_bounds(data: bytes, is_xml: bool, first: bool) -> List[Tuple[int, int]]:
    """Where the documents of a run of whole documents lie in it, [start,
    end) each; `first` when the run starts its file or member (a byte order
    mark there belongs to no document)."""
    skip = 0
    if first and data.startswith(BOM):
        skip = len(BOM)
        data = data[skip:]
    starts = _starts(data, is_xml)
    bounds: List[Tuple[int, int]] = []
    lead_end = starts[0] if starts else len(data)
    if lead_end:
        lead = data[:lead_end]
        if _NOT_SPACE.search(lead) if is_xml else _has_aps_content(lead):
            bounds.append((skip, skip + lead_end))
    if skip:
        starts = [start + skip for start in starts]
    bounds.extend(zip(starts, starts[1:] + [skip + len(data)]))
    return bounds


def _starts(data: Buffer, is_xml: bool) -> List[int]:
    """Offsets of the documents of a run: its declarations, and in APS text
    its PATN lines before the first declaration."""
    declarations = _xml_starts(data)
    if is_xml:
        return declarations
    before = declarations[0] if declarations else len(data)
    return [match.start() for match in _PATN_LINE.finditer(data, 0, before)] + declarations


def _xml_starts(data: Buffer, position: int = 0) -> List[int]:
    """Offsets of the declarations that start documents, at or after
    `position` ("<?xml" and XML white space), found natively."""
    return xml_declaration_offsets(data, position)


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
    starts = _xml_starts(window, low)
    declaration = starts[0] if starts else -1
    if is_xml:
        return declaration
    for match in _PATN_LINE.finditer(window, low, declaration if declaration >= 0 else len(window)):
        # The whole line must be seen: "PATN" at the window's end may go on.
        return match.start() if match.end() < len(window) or at_end else -1
    return declaration


def _last_cut(buffer: Buffer, low: int, is_xml: bool) -> int:
    """The last document start at or after `low` (> 0) that the buffer shows
    completely (-1 when there is none). In APS text, a declaration wins over
    the PATN lines after it, which are inside XML."""
    start = buffer.rfind(_DECLARATION, low)
    while start >= 0:
        if start + 5 < len(buffer) and buffer[start + 5] in _XML_SPACE:
            return start
        start = buffer.rfind(_DECLARATION, low, start + 4)
    if is_xml:
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


_NOT_READ = "skipped: neither a document (.xml, .txt, .aps) nor an archive (.zip, .tar, .tar.gz, .tgz, .gz)"


def skipped_region(file: str, member: Optional[str], reason: Optional[str] = None) -> Region:
    """The region that stands for a file or member that is not read."""
    return Region(file, member, 0, 0, True, True, b"", skipped=reason or _NOT_READ)


def _is_tar(head: bytes) -> bool:
    return head[_TAR_MAGIC_AT : _TAR_MAGIC_AT + 5] == b"ustar"


def accepted_name(name: str) -> bool:
    return _has_suffix(name, DOCUMENT_SUFFIXES + ARCHIVE_SUFFIXES)


def _join_member(member: Optional[str], name: str) -> str:
    return name if member is None else f"{member}!{name}"


class _Prefixed:
    """A stream with bytes already read from it put back in front."""

    def __init__(self, head: bytes, stream: IO[bytes]) -> None:
        self._head = head
        self._stream = stream

    def read(self, size: int = -1) -> bytes:
        if not self._head:
            return self._stream.read(size)
        if size is None or size < 0:
            data, self._head = self._head + self._stream.read(), b""
            return data
        data, self._head = self._head[:size], self._head[size:]
        if len(data) < size:
            data += self._stream.read(size - len(data))
        return data

    def readinto(self, buffer: Any) -> int:
        with memoryview(buffer) as view, view.cast("B") as target:
            data = self.read(len(target))
            target[: len(data)] = data
        return len(data)


def _read_fully(stream: Any, size: int) -> bytes:
    data = b""
    while len(data) < size:
        more = stream.read(size - len(data))
        if not more:
            break
        data += more
    return data


class Reading:
    """How inputs are read: region size, chunk size and document size limit."""

    def __init__(self, region_size: int, chunk_size: int, limit: int) -> None:
        if limit < 1:
            raise ValueError(f"the document size limit must be at least 1 byte, not {limit}")
        self.region_size = region_size
        self.chunk_size = chunk_size
        self.limit = limit

    def file_regions(self, file: str) -> Iterator[Region]:
        if file == STDIN:
            yield from self.stream_regions(sys.stdin.buffer, STDIN, None, 0)
            return
        with open(file, "rb") as stream:
            mode = os.fstat(stream.fileno())
            if not stat.S_ISREG(mode.st_mode):
                yield from self.stream_regions(stream, file, None, 0)
                return
            head = stream.read(_SNIFF_SIZE)
            stream.seek(0)
            if head[:4] in _ZIP_MAGIC:
                yield from self._zip_regions(stream, file, None, 0, file)
            elif head.startswith(_GZIP_MAGIC) or _is_tar(head):
                yield from self.stream_regions(stream, file, None, 0)
            else:
                yield from self._plain_file_regions(stream, file, mode.st_size)

    def stream_regions(self, stream: Any, file: str, member: Optional[str], depth: int) -> Iterator[Region]:
        """Whatever a stream holds, told by its first bytes: a zip or tar
        archive, gzip-compressed data, or text."""
        head = _read_fully(stream, _SNIFF_SIZE)
        whole = _Prefixed(head, stream)
        if head[:4] in _ZIP_MAGIC or head.startswith(_GZIP_MAGIC) or _is_tar(head):
            if depth >= MAX_NESTING:
                yield skipped_region(file, member, f"skipped: archives nested more than {MAX_NESTING} deep")
                return
        if head[:4] in _ZIP_MAGIC:
            # A zip archive needs random access: spool it (not its members)
            # to a temporary file, a chunk at a time.
            with tempfile.NamedTemporaryFile() as spool:
                shutil.copyfileobj(whole, spool, self.chunk_size)
                spool.flush()
                spool.seek(0)
                yield from self._zip_regions(spool, file, member, depth, spool.name)
        elif head.startswith(_GZIP_MAGIC):
            with open_gzip(whole) as unzipped:  # type: ignore[arg-type]
                yield from self.stream_regions(unzipped, file, member, depth + 1)
        elif _is_tar(head):
            yield from self._tar_regions(whole, file, member, depth)
        else:
            yield from _stream_regions(
                _read_chunks(whole, self.chunk_size),
                file,
                member,
                self.region_size,
                self.limit,  # type: ignore[arg-type]
            )

    def _member_regions(self, stream: Any, file: str, member: str, depth: int) -> Iterator[Region]:
        if _has_suffix(member, DOCUMENT_SUFFIXES):
            yield from _stream_regions(
                _read_chunks(stream, self.chunk_size), file, member, self.region_size, self.limit
            )
        else:
            yield from self.stream_regions(stream, file, member, depth + 1)

    def _zip_regions(
        self, stream: IO[bytes], file: str, outer: Optional[str], depth: int, path: Optional[str] = None
    ) -> Iterator[Region]:
        """`path`: the archive's own file, when `stream` is one (its members
        are then inflated by `open_zip_member`)."""
        with zipfile.ZipFile(stream) as archive:
            for info in zip_members(archive):
                member = _join_member(outer, info.filename)
                if not accepted_name(info.filename):
                    yield skipped_region(file, member, _NOT_READ)
                    continue
                with open_zip_member(archive, info, path) as opened:
                    yield from self._member_regions(opened, file, member, depth)

    def zip_member_regions(self, file: str, member: str) -> Iterator[Region]:
        """The regions of one member of the zip archive `file`, read from
        the archive alone."""
        with zipfile.ZipFile(file) as archive:
            info = archive.getinfo(member)
            with open_zip_member(archive, info, file) as opened:
                yield from self._member_regions(opened, file, member, 0)

    def _tar_regions(self, stream: Any, file: str, outer: Optional[str], depth: int) -> Iterator[Region]:
        with tarfile.open(fileobj=stream, mode="r|") as archive:
            for info in archive:
                if info.isdir() or os.path.basename(info.name).startswith("._"):
                    continue
                member = _join_member(outer, info.name)
                if not info.isfile() or not accepted_name(info.name):
                    yield skipped_region(file, member, _NOT_READ if info.isfile() else "skipped: not a regular file")
                    continue
                opened = archive.extractfile(info)
                assert opened is not None
                yield from self._member_regions(opened, file, member, depth)

    def _plain_file_regions(self, stream: IO[bytes], file: str, size: int) -> Iterator[Region]:
        """Regions of a plain text file, planned from small probes. A stretch
        that may hold a document over the limit is read as a stream, which
        keeps no more than the limit of it."""
        head = b""
        is_xml: Optional[bool] = None
        while is_xml is None:
            window = stream.read(_PROBE_SIZE)
            head += window
            is_xml = _kind(head, at_end=not window)
        del head
        region_size = max(1, min(self.region_size, self.limit))
        start = 0
        while start < size:
            end = size if start + region_size >= size else _probe_cut(stream, start + region_size, size, is_xml)
            if end - start > self.limit:
                stream.seek(start)
                chunks = _read_range(stream, end - start, self.chunk_size)
                regions = _stream_regions(chunks, file, None, region_size, self.limit, start, start == 0, is_xml)
                for region in regions:
                    is_xml = region.is_xml
                    yield region
            else:
                yield Region(file, None, start, end, is_xml, start == 0, limit=self.limit)
            if end < size and not is_xml:
                # From the first declaration on, only declarations start documents.
                stream.seek(end)
                is_xml = stream.read(len(_DECLARATION)) == _DECLARATION
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


class _Unread:
    """What a stream gave and no region took yet, kept as the chunks it came
    in: a region is joined from them with one copy. Its first byte starts a
    document."""

    def __init__(self) -> None:
        self._pieces: List[bytes] = []
        self.size = 0

    def add(self, chunk: bytes) -> None:
        self._pieces.append(chunk)
        self.size += len(chunk)

    def joined(self) -> bytes:
        data = b"".join(self._pieces)
        self._pieces = [data] if data else []
        return data

    def starts_with_declaration(self) -> bool:
        head = self._pieces[0] if self._pieces and len(self._pieces[0]) >= len(_DECLARATION) else self.joined()
        return head.startswith(_DECLARATION)

    def last_cut(self, low: int, is_xml: bool) -> int:
        """`_last_cut` of the whole. In XML the last chunk is looked at first:
        a start found there is the last one, and nothing is joined."""
        last = self._pieces[-1]
        offset = self.size - len(last)
        if is_xml and offset > 0:
            cut = _last_cut(last, max(low - offset, 0), is_xml)
            if cut >= 0:
                return offset + cut
        return _last_cut(self.joined(), low, is_xml)

    def take(self, cut: int) -> bytes:
        """The first `cut` bytes, no longer kept."""
        last = self._pieces[-1]
        offset = self.size - len(last)
        if cut < offset:  # before the last chunk: cut from the whole
            last = self.joined()
            offset = 0
        with memoryview(last) as view:
            data = b"".join([*self._pieces[:-1], view[: cut - offset]]) if offset else last[:cut]
        self._pieces = [last[cut - offset :]]
        self.size -= cut
        return data


def _stream_regions(
    chunks: Iterable[bytes],
    file: str,
    member: Optional[str],
    region_size: int,
    limit: int = DEFAULT_MAX_DOCUMENT_SIZE,
    base: int = 0,
    first: bool = True,
    is_xml: Optional[bool] = None,
) -> Iterator[Region]:
    """Regions of a stream, cut at the last document start of each
    `region_size` bytes read. A document that outgrows `limit` is dropped
    from memory and read past up to the next document start, then given as
    an oversized region. `base`: the stream's offset in its file."""
    region_size = max(1, min(region_size, limit))
    unread = _Unread()  # its first byte is at `base`
    searched = 0  # unread[:searched] holds no document start after 0
    source = iter(chunks)
    for chunk in source:
        unread.add(chunk)
        if is_xml is None:
            is_xml = _kind(unread.joined(), at_end=False)
            if is_xml is None:
                continue
        if unread.size < region_size:
            continue
        cut = unread.last_cut(max(searched - _PROBE_OVERLAP, 1), is_xml)
        searched = unread.size
        if cut < 0:
            if unread.size <= limit:
                continue  # one document larger than a region: read on
            size, rest = _skip_document(unread.joined(), source, is_xml)
            yield Region(file, member, base, base + size, is_xml, first, b"", limit, oversized=True)
            base += size
            searched = 0
            first = False
            unread = _Unread()
            if rest:
                unread.add(bytes(rest))
                is_xml = is_xml or unread.starts_with_declaration()
            continue
        data = unread.take(cut)
        yield Region(file, member, base, base + cut, is_xml, first, data, limit)
        # From the first declaration on, only declarations start documents.
        is_xml = is_xml or unread.starts_with_declaration()
        base += cut
        searched -= cut
        first = False
    if unread.size:
        data = unread.joined()
        if is_xml is None:
            is_xml = bool(_kind(data, at_end=True))
        yield Region(file, member, base, base + len(data), is_xml, first, data, limit)


def _skip_document(buffer: Buffer, chunks: Iterator[bytes], is_xml: bool) -> Tuple[int, bytearray]:
    """Reads past the document that starts `buffer` without keeping it: its
    size, and what follows it (from the next document start on, or empty
    at the end of the stream)."""
    keep = min(len(buffer), _PROBE_OVERLAP)
    skipped = len(buffer) - keep  # bytes dropped before `window`
    window = bytearray(buffer[len(buffer) - keep :])
    for chunk in chunks:
        window += chunk
        cut = _first_cut(window, 1, is_xml, at_end=False)
        if cut >= 0:
            return skipped + cut, window[cut:]
        keep = min(len(window), _PROBE_OVERLAP)
        skipped += len(window) - keep
        del window[: len(window) - keep]
    cut = _first_cut(window, 1, is_xml, at_end=True)
    if cut >= 0:
        return skipped + cut, window[cut:]
    return skipped + len(window), bytearray()


def _read_range(stream: IO[bytes], size: int, chunk_size: int) -> Iterator[bytes]:
    while size > 0:
        chunk = stream.read(min(chunk_size, size))
        if not chunk:
            raise OSError("the file changed while being read")
        size -= len(chunk)
        yield chunk


def _read_chunks(stream: Any, chunk_size: int) -> Iterator[bytes]:
    while True:
        chunk = stream.read(chunk_size)
        if not chunk:
            return
        yield chunk


ZIP, COMPRESSED, PLAIN, PIPE = "zip", "compressed", "plain", "pipe"


def file_kind(path: str) -> str:
    """How a file is read: a zip archive (ZIP: members found through its
    central directory), gzip or tar (COMPRESSED: read in order), text that
    can be read at any offset (PLAIN), or a pipe or other unseekable file
    (PIPE), told by its first bytes."""
    if path == STDIN or not stat.S_ISREG(os.stat(path).st_mode):
        return PIPE
    with open(path, "rb") as stream:
        head = stream.read(_SNIFF_SIZE)
    if head[:4] in _ZIP_MAGIC:
        return ZIP
    if head.startswith(_GZIP_MAGIC) or _is_tar(head):
        return COMPRESSED
    return PLAIN


def _is_zip_file(path: str) -> bool:
    # Only a plain file may be peeked at: a pipe would lose what is read.
    if not stat.S_ISREG(os.stat(path).st_mode):
        return False
    with open(path, "rb") as stream:
        return stream.read(4) in _ZIP_MAGIC


def _has_suffix(name: str, suffixes: Tuple[str, ...]) -> bool:
    return name.lower().endswith(suffixes)


def zip_members(archive: zipfile.ZipFile) -> Iterator[zipfile.ZipInfo]:
    """The files of a zip archive, without folders and macOS metadata."""
    for info in archive.infolist():
        name = info.filename
        if info.is_dir() or name.startswith("__MACOSX/") or os.path.basename(name).startswith("._"):
            continue
        yield info


def expand_path(path: str, on_unreadable: Optional[UnreadableHandler]) -> List[Tuple[str, bool]]:
    """The files a path stands for, each with whether it is to be read: the
    path itself (always read), or a directory's files (read when named as a
    document or an archive; hidden ones left out)."""
    if path == STDIN:
        return [(STDIN, True)]
    if not stat.S_ISDIR(os.stat(path).st_mode):
        return [(path, True)]
    files: List[str] = []

    def report(error: OSError) -> None:
        if on_unreadable is None:
            raise error
        on_unreadable(error.filename or path, error)

    for directory, subdirectories, names in os.walk(path, onerror=report):
        subdirectories[:] = [name for name in subdirectories if not name.startswith(".")]
        files.extend(os.path.join(directory, name) for name in names if not name.startswith("."))
    # Sorted by path components, as a listing would show them: "a.xml",
    # "b/z.xml", "c.zip".
    files.sort(key=lambda file: os.path.relpath(file, path).split(os.sep))
    return [(file, accepted_name(file)) for file in files]
