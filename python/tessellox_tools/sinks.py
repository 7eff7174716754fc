"""The outputs of a run, each in two halves: the shard a worker writes for
one task (`ShardWriter`), and the sink in the parent that takes the tasks'
shards in input order (`Sink`: open, take, close or abandon) without
handling the documents' bytes or rows in Python:

* JSON Lines (and the lines of `detect`): a worker writes its task's lines
  to a file; the sink appends it to the output with a kernel copy. A run in
  this process alone writes its lines straight into the output.
* Markdown: a worker writes each document's file under a temporary name;
  the sink gives it its final name, which needs the whole run's order.
* Parquet: a worker writes an Arrow IPC stream of each table; the sink
  streams their batches into the Parquet writers, in row groups bounded in
  rows and in bytes.
* SQLite: a worker writes its rows into a database of its own; the sink
  merges it into the target with one transaction of `INSERT ... SELECT`.

A file output is written under a temporary name beside its target and
renamed once complete, so that an interrupted run leaves no half file.
"""

from __future__ import annotations

import errno
import functools
import os
import re
import shutil
import tempfile
from typing import IO, Any, Dict, List, Optional, Set, Tuple

from .records import SCHEMA_VERSION, TABLES, Column, Record, table_columns
from .split import Origin
from .work import (
    DETECT,
    LINES,
    MARKDOWN,
    Job,
    JsonLineJoiner,
    ShardFactory,
    ShardWriter,
    TaskResult,
    full_record,
)

_COPY_SIZE = 1 << 30
_PARTIAL = ".partial-"


def _shard_path(job: Job, seq: int, suffix: str) -> str:
    return os.path.join(job.directory, f"{seq}{suffix}")


def append_file(source: str, target_fd: int) -> None:
    """Appends the file `source` to `target_fd` (a file or a pipe) in the
    kernel: `copy_file_range` between files (which some file systems do by
    sharing blocks), `sendfile` into a pipe, a plain copy where neither can."""
    with open(source, "rb") as stream:
        size = os.fstat(stream.fileno()).st_size
        copied = 0
        for copy in (_copy_file_range, _sendfile):
            try:
                while copied < size:
                    moved = copy(stream.fileno(), target_fd, min(size - copied, _COPY_SIZE))
                    if moved == 0:
                        raise OSError(errno.EIO, "the output stopped taking bytes")
                    copied += moved
                return
            except OSError as error:
                if copied or error.errno not in _NOT_THIS_WAY:
                    raise
        while chunk := stream.read(1 << 20):
            os.write(target_fd, chunk)


# What a kernel copy answers when it cannot join these two files.
_NOT_THIS_WAY = (errno.EINVAL, errno.ENOSYS, errno.EXDEV, errno.EOPNOTSUPP, errno.EBADF, errno.ESPIPE)


def _copy_file_range(source: int, target: int, size: int) -> int:
    if not hasattr(os, "copy_file_range"):
        raise OSError(errno.ENOSYS, "no copy_file_range")
    return os.copy_file_range(source, target, size)


def _sendfile(source: int, target: int, size: int) -> int:
    return os.sendfile(target, source, None, size)


def _partial_path(target: str) -> str:
    """A temporary name beside `target`, made now: the output's folder is
    checked before anything is read."""
    directory, name = os.path.split(os.path.abspath(target))
    try:
        handle, path = tempfile.mkstemp(prefix=f".{name}{_PARTIAL}", dir=directory)
    except OSError as error:
        raise OSError(error.errno, error.strerror, target) from None
    try:
        # The permissions any new file gets, not the private ones of a temporary file.
        mask = os.umask(0)
        os.umask(mask)
        os.fchmod(handle, 0o666 & ~mask)
    finally:
        os.close(handle)
    return path


class Sink:
    """Takes the shards of a run in input order."""

    shard = ""
    written = 0

    def work_directory(self) -> Optional[str]:
        """Where the workers' shards go when they must sit beside the output
        (None: any temporary directory)."""
        return None

    def shard_writers(self, inline: bool) -> ShardFactory:
        """What writes each task's output for the sink to take. `inline`:
        the tasks run in this process, in input order, each taken before the
        next one starts (and one whose output would not be taken does not
        run), so that a sink may offer a writer into the output itself."""
        return SHARD_WRITERS[self.shard]  # type: ignore[no-any-return]

    def take(self, result: TaskResult) -> None:
        raise NotImplementedError

    def close(self) -> None:
        """The output is complete."""

    def abandon(self) -> None:
        """The run stopped: keep nothing that is not whole."""

    def describe(self, complete: bool) -> str:
        """What is in the output, for the summary."""
        return ""


# ---- JSON Lines, and the lines of `detect`


# Lines gather to this many bytes before they are written; a block of
# lines this long is written as it is.
_LINES_BUFFER = 1 << 20
_DIRECT_WRITE = 1 << 16


def _write_all(fd: int, data: Any) -> None:
    """Writes all of `data`, which a pipe may take a part at a time."""
    view = memoryview(data)
    while view:
        written = os.write(fd, view)
        if written == 0:
            raise OSError(errno.EIO, "the output stopped taking bytes")
        view = view[written:]


class _Lines:
    """Lines written whole into a file descriptor, gathered to a megabyte
    first; a longer line is written as it is, not copied."""

    def __init__(self, fd: int) -> None:
        self.fd = fd
        self._buffer = bytearray()

    def put(self, head: bytes, fields: memoryview) -> None:
        """A line in the two parts of `JsonLineJoiner.parts`."""
        buffer = self._buffer
        buffer += head
        if len(fields) >= _LINES_BUFFER:
            self.flush()
            _write_all(self.fd, fields)
            return
        buffer += fields
        if len(buffer) >= _LINES_BUFFER:
            self.flush()

    def write(self, line: bytes) -> None:
        self._buffer += line
        if len(self._buffer) >= _LINES_BUFFER:
            self.flush()

    def write_lines(self, lines: bytes) -> None:
        """Whole lines, a region's at a time: written as they are, not
        copied into the buffer first, unless they are few."""
        if len(lines) < _DIRECT_WRITE:
            self.write(lines)
            return
        self.flush()
        _write_all(self.fd, lines)

    def flush(self) -> None:
        if self._buffer:
            _write_all(self.fd, self._buffer)
            self._buffer.clear()

    def drop(self) -> None:
        """Forgets the lines not written yet."""
        # A new buffer, not the old one cleared: a write that raised may
        # still hold a view of the old one, which cannot then be resized.
        self._buffer = bytearray()


class _LineShard(ShardWriter):
    """A task's lines: in a file of its own, which `LinesSink.take` appends
    to the output; or, given the output's `lines`, in the output itself."""

    def __init__(self, job: Job, seq: int, lines: Optional[_Lines] = None) -> None:
        self._path = _shard_path(job, seq, ".lines")
        self._file: Optional[IO[bytes]] = None  # the shard file, once there is a line
        self._lines = lines
        self._detect = job.command == DETECT
        self._joiner = JsonLineJoiner()

    def _output(self) -> _Lines:
        if self._lines is None:
            self._file = open(self._path, "wb", buffering=0)
            self._lines = _Lines(self._file.fileno())
        return self._lines

    def add(self, origin: Origin, payload: Any) -> None:
        if self._detect:
            self._detect_line(origin, payload)
        else:
            self._output().put(*self._joiner.parts(origin, payload))

    def add_lines(self, lines: bytes) -> None:
        self._output().write_lines(lines)

    def add_documents(self, file: str, member: Optional[str], first: int, outcomes: List[Any]) -> None:
        if self._detect:
            super().add_documents(file, member, first, outcomes)
        elif any(outcome[2] for outcome in outcomes):
            self._joiner.put_documents(self._output().put, file, member, first, outcomes)

    def fail(self, origin: Origin, message: str) -> None:
        # A failed document keeps its line, so that lines and documents match.
        if self._detect:
            self._detect_line(origin, "-")

    def _detect_line(self, origin: Origin, source_format: str) -> None:
        member = origin.member if origin.member is not None else "-"
        line = f"{origin.file}\t{member}\t{origin.ordinal}\t{origin.offset}\t{source_format}\n"
        self._output().write(line.encode("utf-8"))

    def finish(self) -> Optional[str]:
        """The shard file, if there is one."""
        if self._file is None:
            return None
        assert self._lines is not None
        with self._file:
            self._lines.flush()
        return self._path


class LinesSink(Sink):
    """JSON Lines into a file (or standard output, with `target` None)."""

    shard = LINES

    def __init__(self, target: Optional[str]) -> None:
        self._target = target
        self._partial: Optional[str] = None
        self._empty = True
        # The output's lines, when the tasks write into it (`shard_writers`).
        self._lines: Optional[_Lines] = None
        if target is None:
            self._fd = 1
        else:
            self._partial = _partial_path(target)
            # Not truncated, being new and empty: ext4 starts writing a file
            # truncated on opening back to disk as soon as it is closed,
            # which the removal of the work folder then waits for.
            self._fd = os.open(self._partial, os.O_WRONLY)

    def shard_writers(self, inline: bool) -> ShardFactory:
        # Tasks run here write into the output itself: no shard, no copy.
        if not inline:
            return _LineShard
        self._lines = _Lines(self._fd)
        return functools.partial(_LineShard, lines=self._lines)

    def take(self, result: TaskResult) -> None:
        if result.output is not None:
            if not (self._empty and self._adopt(result.output)):
                append_file(result.output, self._fd)
                os.unlink(result.output)
            self._empty = False
        elif self._lines is not None:
            self._lines.flush()  # a task's lines are all out once it is taken
        self.written += result.succeeded

    def work_directory(self) -> Optional[str]:
        # Beside the output, so that a shard can become it.
        return None if self._target is None else os.path.dirname(os.path.abspath(self._target))

    def _adopt(self, shard: str) -> bool:
        """Makes the first shard the file, with no copy: a run of one source
        writes its lines once. False where it cannot be renamed."""
        if self._partial is None:
            return False
        try:
            os.replace(shard, self._partial)
        except OSError:
            return False
        os.close(self._fd)
        # At its end, not in append mode: the kernel copies that join the
        # later shards refuse a file opened to append.
        self._fd = os.open(self._partial, os.O_WRONLY)
        os.lseek(self._fd, 0, os.SEEK_END)
        return True

    def close(self) -> None:
        if self._lines is not None:
            self._lines.flush()
        if self._partial is not None:
            os.close(self._fd)
            assert self._target is not None
            os.replace(self._partial, self._target)
            self._partial = None

    def abandon(self) -> None:
        if self._lines is not None:
            self._lines.drop()
        if self._partial is not None:
            os.close(self._fd)
            os.unlink(self._partial)
            self._partial = None

    def describe(self, complete: bool) -> str:
        if self._target is None:
            return f"{self.written} written" if not complete else ""
        return "" if complete else f"nothing written to {self._target}"


# ---- Markdown files


_UNSAFE_NAME = re.compile(r"[^A-Za-z0-9._-]+")
# File systems take names of 255 bytes; room is left for "-N.md".
_MAX_NAME = 200
_NAME_HASH = 12


def _stem(origin: Origin) -> str:
    name = origin.member or ("stdin" if origin.file == "-" else origin.file)
    base = os.path.basename(name.rstrip("/\\")) or "document"
    for suffix in (".xml", ".txt", ".aps", ".zip"):
        if base.lower().endswith(suffix):
            base = base[: -len(suffix)]
            break
    return base


class MarkdownNames:
    """The file name of each document, in run order.

    A document is named by its patent or publication number; one without
    either is named "unnumbered-<file>-<ordinal>". Characters other than
    letters, digits, ".", "_" and "-" become "_"; a name too long for a file
    system is cut and given a hash of the whole, which keeps it unique. A
    name already taken in this run gets "-2", "-3", ... (first come, first
    named), so names depend only on the order of the documents.
    """

    def __init__(self) -> None:
        self._taken: Set[str] = set()

    def name_for(self, number: Optional[str], origin: Origin) -> str:
        base = number if number else f"unnumbered-{_stem(origin)}-{origin.ordinal}"
        safe = _UNSAFE_NAME.sub("_", base).lstrip(".") or "document"
        if len(safe) > _MAX_NAME:
            import hashlib

            digest = hashlib.sha256(base.encode("utf-8", "surrogatepass")).hexdigest()[:_NAME_HASH]
            safe = f"{safe[: _MAX_NAME - _NAME_HASH - 1]}-{digest}"
        name = safe
        suffix = 1
        while name.lower() in self._taken:
            suffix += 1
            name = f"{safe}-{suffix}"
        self._taken.add(name.lower())
        return name + ".md"


class _MarkdownShard(ShardWriter):
    def __init__(self, job: Job, seq: int) -> None:
        self._job = job
        self._seq = seq
        self._files: List[Tuple[str, Optional[str], Origin]] = []

    def add(self, origin: Origin, payload: Any) -> None:
        number, markdown = payload
        path = _shard_path(self._job, self._seq, f"-{len(self._files)}.md")
        with open(path, "wb") as stream:
            stream.write(markdown)
        self._files.append((path, number, origin))

    def finish(self) -> List[Tuple[str, Optional[str], Origin]]:
        return self._files


class MarkdownSink(Sink):
    shard = MARKDOWN

    def __init__(self, directory: str) -> None:
        self._created = not os.path.isdir(directory)
        os.makedirs(directory, exist_ok=True)
        self._directory = directory
        self._names = MarkdownNames()

    def work_directory(self) -> Optional[str]:
        return self._directory  # renamed into place: the same file system

    def take(self, result: TaskResult) -> None:
        for path, number, origin in result.output or ():
            os.replace(path, os.path.join(self._directory, self._names.name_for(number, origin)))
            self.written += 1

    def abandon(self) -> None:
        if self._created and not self.written:
            shutil.rmtree(self._directory, ignore_errors=True)

    def describe(self, complete: bool) -> str:
        return "" if complete else f"{self.written} files written to {self._directory}"


# ---- Parquet


PARQUET_ROW_GROUP = 4096
# Nested tables come many rows to a document.
PARQUET_TABLE_ROW_GROUP = 16 * PARQUET_ROW_GROUP
# A row group is cut at this many bytes of Arrow data too, so that long texts
# do not make the groups a process holds and encodes large.
PARQUET_ROW_GROUP_BYTES = 32 << 20
PARQUET_TABLES = tuple(TABLES)


def parquet_table_path(path: str, table: str) -> str:
    """Where a table goes beside a documents table: "x.parquet" and
    "citations" give "x.citations.parquet"."""
    if table == "documents":
        return path
    root, extension = os.path.splitext(path)
    return f"{root}.{table}{extension or '.parquet'}"


def arrow_type(column: Column) -> Any:
    """The Arrow type of a column of the records schema."""
    import pyarrow as pa

    if column.type == "entries":
        return pa.list_(pa.struct([arrow_field(entry) for entry in column.entries]))
    return {
        "text": pa.string(),
        "integer": pa.int64(),
        "flag": pa.bool_(),
        "text_list": pa.list_(pa.string()),
        "integer_list": pa.list_(pa.int64()),
    }[column.type]


def arrow_field(column: Column) -> Any:
    import pyarrow as pa

    return pa.field(column.name, arrow_type(column), nullable=column.nullable)


def arrow_schemas() -> Dict[str, Any]:
    """The schema of each table."""
    import pyarrow as pa

    metadata = {b"tessellox.schema_version": str(SCHEMA_VERSION).encode()}
    return {
        table: pa.schema([arrow_field(column) for column in columns], metadata=metadata)
        for table, columns in TABLES.items()
    }


def arrow_tables(records: List[Record], schemas: Dict[str, Any]) -> Dict[str, Any]:
    """Every table of some records."""
    import pyarrow as pa

    return {
        table: pa.Table.from_pydict(table_columns(records, table), schema=schema) for table, schema in schemas.items()
    }


# Records a worker holds before it writes them to its shard.
SHARD_BATCH = 1024


class _ArrowShard(ShardWriter):
    def __init__(self, job: Job, seq: int) -> None:
        self._job = job
        self._seq = seq
        self._records: List[Record] = []
        self._writers: Dict[str, Any] = {}
        self._paths: Dict[str, str] = {}

    def add(self, origin: Origin, payload: Any) -> None:
        self._records.append(full_record(origin, payload))
        if len(self._records) >= SHARD_BATCH:
            self._write()

    def _write(self) -> None:
        import pyarrow as pa

        for table, data in arrow_tables(self._records, arrow_schemas()).items():
            if table not in self._writers:
                self._paths[table] = _shard_path(self._job, self._seq, f".{table}.arrow")
                self._writers[table] = pa.ipc.new_stream(self._paths[table], data.schema)
            self._writers[table].write_table(data)
        self._records.clear()

    def finish(self) -> Optional[Dict[str, str]]:
        if self._records:
            self._write()
        for writer in self._writers.values():
            writer.close()
        return self._paths or None


class _ParquetTable:
    """One Parquet file, written in row groups of at most `rows` rows and,
    a single long row aside, `max_bytes` bytes."""

    def __init__(self, path: str, schema: Any, rows: int, max_bytes: int = PARQUET_ROW_GROUP_BYTES) -> None:
        import pyarrow.parquet as pq

        self.partial = _partial_path(path)
        self.path = path
        self._writer = pq.ParquetWriter(self.partial, schema)
        self._rows = rows
        self._max_bytes = max_bytes
        self._pending: List[Any] = []
        self._pending_rows = 0
        self._pending_bytes = 0

    def add(self, table: Any) -> None:
        self._pending.append(table)
        self._pending_rows += table.num_rows
        self._pending_bytes += table.nbytes
        if self._pending_rows >= self._rows or self._pending_bytes >= self._max_bytes:
            self._flush(whole_groups_only=True)

    def _flush(self, whole_groups_only: bool) -> None:
        import pyarrow as pa

        if not self._pending:
            return
        pending = pa.concat_tables(self._pending)
        start = 0
        while start < pending.num_rows:
            size = min(self._rows, pending.num_rows - start)
            # Halved until it fits: groups of half to all of the bytes allowed.
            while size > 1 and pending.slice(start, size).nbytes > self._max_bytes:
                size //= 2
            group = pending.slice(start, size)
            if whole_groups_only and start + size == pending.num_rows and size < self._rows:
                if group.nbytes < self._max_bytes:
                    break  # not yet a whole group: kept for the next rows
            self._writer.write_table(group, row_group_size=size)
            start += size
        rest = pending.slice(start)
        self._pending = [rest] if rest.num_rows else []
        self._pending_rows = rest.num_rows
        self._pending_bytes = rest.nbytes

    def close(self) -> None:
        self._flush(whole_groups_only=False)
        self._writer.close()
        os.replace(self.partial, self.path)

    def abandon(self) -> None:
        self._writer.close()
        os.unlink(self.partial)


class ParquetSink(Sink):
    """The documents table at `path`, each nested table beside it."""

    shard = "arrow"

    def __init__(self, path: str) -> None:
        import pyarrow  # noqa: F401  (raises ImportError before anything is read)

        schemas = arrow_schemas()
        self._path = path
        self._tables: Dict[str, _ParquetTable] = {}
        try:
            for table in PARQUET_TABLES:
                rows = PARQUET_ROW_GROUP if table == "documents" else PARQUET_TABLE_ROW_GROUP
                self._tables[table] = _ParquetTable(parquet_table_path(path, table), schemas[table], rows)
        except BaseException:
            self.abandon()
            raise

    def take(self, result: TaskResult) -> None:
        import pyarrow as pa

        if result.output is not None:
            for table, shard in result.output.items():
                with pa.memory_map(shard) as source:
                    self._tables[table].add(pa.ipc.open_stream(source).read_all())
                os.unlink(shard)
        self.written += result.succeeded

    def close(self) -> None:
        for table in self._tables.values():
            table.close()

    def abandon(self) -> None:
        for table in self._tables.values():
            table.abandon()
        self._tables = {}

    def describe(self, complete: bool) -> str:
        return "" if complete else f"nothing written to {self._path}"


def _sqlite_sink(path: str) -> Sink:
    from .sqlite import SqliteSink

    return SqliteSink(path)


def _sqlite_shard(job: Job, seq: int) -> ShardWriter:
    from .sqlite import SqliteShard

    return SqliteShard(_shard_path(job, seq, ".sqlite"))


# Records outputs by the suffix of the output's name.
RECORD_SINKS: Dict[str, Any] = {
    ".jsonl": LinesSink,
    ".ndjson": LinesSink,
    ".parquet": ParquetSink,
    ".sqlite": _sqlite_sink,
    ".sqlite3": _sqlite_sink,
    ".db": _sqlite_sink,
}

SHARD_WRITERS: Dict[str, Any] = {
    LinesSink.shard: _LineShard,
    MarkdownSink.shard: _MarkdownShard,
    ParquetSink.shard: _ArrowShard,
    "sqlite": _sqlite_shard,
}


def record_sink_type(output: str) -> Optional[Any]:
    """The sink that writes records to `output`, told by its suffix."""
    return RECORD_SINKS.get(os.path.splitext(output)[1].lower())


def output_paths(output: str) -> List[str]:
    """Every file a records output writes."""
    if output.lower().endswith(".parquet"):
        return [parquet_table_path(output, table) for table in PARQUET_TABLES]
    return [output]
