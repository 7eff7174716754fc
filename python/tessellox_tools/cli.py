"""The `tessellox` command: detect, convert to Markdown, or extract records
from whole USPTO corpora, on all cores."""

from __future__ import annotations

import argparse
import collections
import contextlib
import functools
import os
import re
import sqlite3
import sys
import textwrap
import time
from typing import IO, Any, Callable, Counter, Deque, Iterator, List, Optional, Sequence, Tuple, overload

import tessellox

from . import work
from .pool import WorkerDied, default_jobs, run_ordered
from .records import error_record
from .split import DEFAULT_MAX_DOCUMENT_SIZE, DEFAULT_REGION_SIZE, STDIN, Origin, Region, input_size, iter_regions
from .sqlite import SqliteWriter
from .writers import MarkdownDirectoryWriter, ParquetWriter, parquet_table_path

PROGRAM = "tessellox"
SUMMARY_MESSAGES = 5
SUMMARY_SKIPPED = 5
_SIZE_UNITS = {"": 1, "K": 1 << 10, "M": 1 << 20, "G": 1 << 30, "T": 1 << 40}
MIN_REGION_SIZE = 256 << 10
SQLITE_SUFFIXES = (".sqlite", ".sqlite3", ".db")
# Records are written in blocks of this size, not a system call per line.
OUTPUT_BUFFER_SIZE = 1 << 20

# A tiny APS record: lets a template be checked before the first document.
_TEMPLATE_PROBE = "PATN\nWKU  039302717\nTTL  Probe\n"

_EPILOG = """\
inputs:
  Each PATH is a file with one document or many laid end to end (a USPTO
  weekly file), plain or gzip-compressed (.gz), a zip, tar or tar.gz archive
  of such files (archives inside archives are read too), a directory of any
  of these (walked recursively), or - for standard input (the default).
  Files in a directory or an archive that are neither documents (.xml, .txt,
  .aps) nor archives are skipped, and each is named in the summary and the
  errors file.

examples:
  tessellox detect ipg230103.zip
  tessellox markdown ipg230103.zip -o markdown/ --template layout.md
  tessellox records data/2023/ -o grants-2023.jsonl --jobs 8
  tessellox records ipg230103.zip -o grants.parquet
  tessellox records ipg230103.zip ipg230110.zip -o grants.sqlite
  unzip -p ipg230103.zip | tessellox records --jobs 2 > grants.jsonl

exit status:
  0 when every input was read (documents that fail are reported, not fatal),
  1 when an input or output could not be read or written, an input held no
  document at all, or --fail-fast met a failure, 2 for wrong arguments.
"""


class _Arguments(argparse.Namespace):
    command: str
    paths: List[str]
    jobs: int
    progress: Optional[bool]
    errors: Optional[str]
    fail_fast: bool
    max_document_size: int
    subcommand: argparse.ArgumentParser
    output: Optional[str] = None
    template: Optional[str] = None


def _positive(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"invalid integer: {text!r}") from None
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1: {value}")
    return value


def _size(text: str) -> int:
    """A byte count: a number with an optional K, M, G or T (powers of 1024)."""
    match = re.fullmatch(r"\s*(\d+)\s*([KMGT]?)i?B?\s*", text, re.IGNORECASE)
    if not match or int(match.group(1)) < 1:
        raise argparse.ArgumentTypeError(f"invalid size: {text!r} (examples: 65536, 512K, 64M, 2G)")
    return int(match.group(1)) * _SIZE_UNITS[match.group(2).upper()]


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog=PROGRAM,
        description="Parse USPTO patent documents (XML since 2001, APS Green Book text) in bulk.",
        epilog=_EPILOG,
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    parser.add_argument("--version", action="version", version=f"{PROGRAM} {tessellox.__version__}")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", required=True)

    common = argparse.ArgumentParser(add_help=False)
    common.add_argument("paths", nargs="*", default=[STDIN], metavar="PATH", help="inputs (default: standard input)")
    common.add_argument(
        "-j",
        "--jobs",
        type=_positive,
        default=default_jobs(),
        metavar="N",
        help="worker processes (default: all cores, here %(default)s)",
    )
    common.add_argument(
        "--progress",
        action=argparse.BooleanOptionalAction,
        default=None,
        help="show a progress bar on standard error (default: when it is a terminal)",
    )
    common.add_argument(
        "--errors",
        metavar="FILE",
        help="write failed documents (JSON Lines: origin and message) to FILE; "
        "default: beside the output, or listed on standard error when writing to standard output",
    )
    common.add_argument("--fail-fast", action="store_true", help="stop at the first failed document (exit status 1)")
    common.add_argument(
        "--max-document-size",
        type=_size,
        default=DEFAULT_MAX_DOCUMENT_SIZE,
        metavar="SIZE",
        help="a document larger than this is not read into memory but reported as failed "
        "(K, M, G suffixes; default: 1G)",
    )

    def add(name: str, help_text: str, description: str) -> argparse.ArgumentParser:
        subcommand = commands.add_parser(
            name,
            parents=[common],
            help=help_text,
            description=textwrap.fill(description, 79),
            epilog=_EPILOG,
            formatter_class=argparse.RawDescriptionHelpFormatter,
        )
        # Errors found after parsing print this command's usage.
        subcommand.set_defaults(subcommand=subcommand)
        return subcommand

    add(
        work.DETECT,
        "print the source format of every document",
        "Print one line per document: FILE, MEMBER (- if none), ORDINAL, OFFSET and FORMAT "
        "(- for a document that failed), separated by tabs.",
    )
    markdown = add(
        work.MARKDOWN,
        "write one Markdown file per document",
        "Write DIR/<number>.md for every document, named by its patent or publication number "
        "(a sequence listing as <number>-seq.md; unnumbered-<file>-<ordinal>.md without a number; "
        "-2, -3, ... for repeated names). "
        "Failures go to DIR/errors.jsonl unless --errors says otherwise.",
    )
    markdown.add_argument("-o", "--output", required=True, metavar="DIR", help="output directory (created)")
    markdown.add_argument("--template", metavar="FILE", help="Markdown template with {{frontmatter}}, {{title}}, ...")
    records = add(
        work.RECORDS,
        "write one record per document (JSON Lines, Parquet or SQLite)",
        "Write one record per document. FILE.jsonl (or standard output) gets JSON Lines; "
        "FILE.parquet gets the documents table, with the claims and citations tables in "
        "FILE.claims.parquet and FILE.citations.parquet (needs pyarrow); FILE.sqlite (or .db) "
        "gets the three tables in an SQLite database, created or added to, where a document "
        "already there (same file, member and ordinal) is not added again. "
        "Failures go to FILE.errors.jsonl unless --errors says otherwise.",
    )
    records.add_argument("-o", "--output", metavar="FILE", help="output file (default: standard output)")
    return parser


def _report(message: str) -> None:
    # Through tqdm once a bar may be showing, so that the bar is redrawn
    # below the message; tqdm is imported only for a bar (it costs start-up).
    progress = sys.modules.get("tqdm")
    if progress is not None:
        progress.tqdm.write(f"{PROGRAM}: {message}", file=sys.stderr)
    else:
        print(f"{PROGRAM}: {message}", file=sys.stderr, flush=True)


class _ErrorSink:
    """Failed documents and skipped files: JSON Lines in a file, created at
    the first failure (an errors file left by an earlier run is removed), or
    readable lines on stderr."""

    def __init__(self, path: Optional[str]) -> None:
        self.path = path
        self._stream: Optional[IO[bytes]] = None
        if path is not None and os.path.isfile(path):
            os.remove(path)

    def write(self, origin: Origin, message: str) -> None:
        if self.path is None:
            _report(f"{origin.label()}: {message}")
            return
        if self._stream is None:
            self._stream = open(self.path, "wb")
        self._stream.write(work.json_line(error_record(origin, message)))

    def close(self) -> None:
        if self._stream is not None:
            self._stream.close()


class _Progress:
    """A tqdm bar over input bytes, with documents and documents per second."""

    def __init__(self, total: Optional[int], show: bool) -> None:
        self._bar: Any = None
        if not show:
            return
        from tqdm import tqdm

        # No monitor thread: the worker pool forks only a single-threaded parent.
        tqdm.monitor_interval = 0
        self._bar = tqdm(
            total=total,
            file=sys.stderr,
            unit="B",
            unit_scale=True,
            unit_divisor=1000,
            mininterval=0.5,
            dynamic_ncols=True,
        )
        self._started = time.perf_counter()

    def update(self, documents: int, size: int) -> None:
        if self._bar is None:
            return
        elapsed = max(time.perf_counter() - self._started, 1e-9)
        self._bar.set_postfix_str(f"{documents} docs, {documents / elapsed:.1f} docs/s", refresh=False)
        self._bar.update(size)

    def close(self) -> None:
        if self._bar is not None:
            self._bar.close()


@overload
def _writable_name(name: str) -> str: ...


@overload
def _writable_name(name: None) -> None: ...


def _writable_name(name: Optional[str]) -> Optional[str]:
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


def _plural(count: int, noun: str) -> str:
    return f"{count} {noun}" if count == 1 else f"{count} {noun}s"


def _summary(
    documents: int,
    size: int,
    failures: Counter[str],
    skipped: Sequence[str],
    seconds: float,
    errors_path: Optional[str],
) -> str:
    failed = sum(failures.values())
    text = f"{_plural(documents, 'document')} ({size / 1e6:.1f} MB) in {seconds:.2f} s, {failed} failed"
    if failed:
        ranked = sorted(failures.items(), key=lambda item: (-item[1], item[0]))
        listed = "; ".join(f"{message} ({count})" for message, count in ranked[:SUMMARY_MESSAGES])
        if len(ranked) > SUMMARY_MESSAGES:
            listed += f"; {len(ranked) - SUMMARY_MESSAGES} other messages"
        text += f": {listed}"
    if skipped:
        text += f"; {_plural(len(skipped), 'file')} skipped: {', '.join(skipped[:SUMMARY_SKIPPED])}"
        if len(skipped) > SUMMARY_SKIPPED:
            text += f" and {len(skipped) - SUMMARY_SKIPPED} more"
    if (failed or skipped) and errors_path:
        text += f"; see {errors_path}"
    return text


Sink = Callable[[Origin, Any], object]


def _region_size(total: Optional[int], jobs: int) -> int:
    """Small inputs are cut finer, so that every job gets work."""
    if total is None:
        return DEFAULT_REGION_SIZE
    return max(MIN_REGION_SIZE, min(DEFAULT_REGION_SIZE, total // (4 * jobs)))


def _run(
    arguments: _Arguments,
    task: work.Task,
    sink: Sink,
    errors: _ErrorSink,
    on_failure: Optional[Callable[[Origin], None]] = None,
) -> int:
    started = time.perf_counter()
    show = arguments.progress if arguments.progress is not None else sys.stderr.isatty()
    total = input_size(arguments.paths)
    progress = _Progress(total, show)
    unreadable: List[str] = []

    def on_unreadable(path: str, error: BaseException) -> None:
        unreadable.append(path)
        reason = error.strerror if isinstance(error, OSError) and error.strerror else str(error)
        _report(f"cannot read {path}: {reason}")

    # What the parent needs of each region in flight (the input it comes
    # from, its file and member); the workers read the documents themselves.
    in_flight: Deque[Tuple[int, str, Optional[str], bool]] = collections.deque()

    def tracked() -> Iterator[Region]:
        for index, path in enumerate(arguments.paths):
            regions = iter_regions(
                [path],
                region_size=_region_size(total, arguments.jobs),
                max_document_size=arguments.max_document_size,
                on_unreadable=on_unreadable,
            )
            for region in regions:
                # Regions keep the names that open the files; origins get
                # names that every output can be written with.
                in_flight.append((index, _writable_name(region.file), _writable_name(region.member), region.first))
                yield region

    documents = 0
    documents_of_input = [0] * len(arguments.paths)
    size = 0
    ordinal = 0
    skipping = False
    failures: Counter[str] = collections.Counter()
    skipped: List[str] = []
    stopped = False
    results = run_ordered(functools.partial(work.process_region, task), tracked(), arguments.jobs)
    try:
        with contextlib.closing(results):
            for problem, outcomes in results:
                index, file, member, first = in_flight.popleft()
                if first:
                    ordinal = 0
                    skipping = False
                if problem is not None:
                    if not skipping:
                        on_unreadable(file, OSError(problem))
                    skipping = True
                if skipping:
                    continue
                region_size = 0
                for offset, document_size, ok, payload in outcomes:
                    if offset is None:  # a file that was not read
                        origin = Origin(file, member, None, None)
                        skipped.append(origin.place())
                        errors.write(origin, payload)
                        continue
                    ordinal += 1
                    documents += 1
                    documents_of_input[index] += 1
                    region_size += document_size
                    origin = Origin(file, member, ordinal, offset)
                    if ok:
                        sink(origin, payload)
                        continue
                    failures[payload] += 1
                    if on_failure is not None:
                        on_failure(origin)
                    errors.write(origin, payload)
                    if arguments.fail_fast:
                        stopped = True
                        break
                size += region_size
                progress.update(documents, region_size)
                if stopped:
                    break
    finally:
        progress.close()
    _report(_summary(documents, size, failures, skipped, time.perf_counter() - started, errors.path))
    empty = False
    if not stopped:
        # A run that read nothing must not look like success.
        for path, count in zip(arguments.paths, documents_of_input):
            if count == 0 and path not in unreadable:
                empty = True
                _report(f"no document in {'standard input' if path == STDIN else path}")
    return 1 if unreadable or stopped or empty else 0


def _read_template(parser: argparse.ArgumentParser, path: Optional[str]) -> Optional[str]:
    if path is None:
        return None
    try:
        with open(path, encoding="utf-8") as stream:
            template = stream.read()
    except (OSError, UnicodeDecodeError) as error:
        parser.error(f"cannot read template {path}: {error}")
    try:
        probe = tessellox.parse(_TEMPLATE_PROBE)
    except ValueError:
        return template  # nothing to check it against; each document will tell
    try:
        probe.to_markdown(template)
    except ValueError as error:
        parser.error(f"invalid template {path}: {error}")
    return template


def _command(arguments: _Arguments) -> int:
    parser = arguments.subcommand
    command = arguments.command
    output = arguments.output if command != work.DETECT else None
    if output == STDIN:
        output = None
    errors_path = arguments.errors
    if errors_path is None and output is not None:
        if command == work.MARKDOWN:
            errors_path = os.path.join(output, "errors.jsonl")
        else:
            errors_path = os.path.splitext(output)[0] + ".errors.jsonl"

    if command == work.MARKDOWN:
        template = _read_template(parser, arguments.template)
        assert output is not None
        markdown = MarkdownDirectoryWriter(output)
        with contextlib.closing(_ErrorSink(errors_path)) as errors:
            return _run(
                arguments,
                work.Task(work.MARKDOWN, template),
                lambda origin, payload: markdown.write(payload[0], origin, payload[1]),
                errors,
            )

    if command == work.RECORDS and output is not None and output.lower().endswith(SQLITE_SUFFIXES):
        if errors_path is not None and os.path.abspath(errors_path) == os.path.abspath(output):
            parser.error("--errors must not name the output file")
        try:
            database = SqliteWriter(output)
        except sqlite3.Error as error:
            _report(f"cannot write {output}: {error}")
            return 1
        with contextlib.closing(_ErrorSink(errors_path)) as errors:
            try:
                status = _run(
                    arguments,
                    work.Task(work.RECORDS),
                    lambda origin, fields: database.write_record(work.full_record(origin, fields)),
                    errors,
                )
            finally:
                database.close()
        _report(f"{output}: {_plural(database.added, 'document')} added, {database.present} already there")
        return status

    if command == work.RECORDS and output is not None and output.lower().endswith(".parquet"):
        if errors_path is not None and os.path.abspath(errors_path) in (
            os.path.abspath(output),
            os.path.abspath(parquet_table_path(output, "claims")),
            os.path.abspath(parquet_table_path(output, "citations")),
        ):
            parser.error("--errors must not name an output file")
        try:
            parquet = ParquetWriter(output)
        except ImportError:
            _report("Parquet output needs pyarrow: pip install 'tessellox[parquet]'")
            return 1
        with contextlib.closing(parquet), contextlib.closing(_ErrorSink(errors_path)) as errors:
            return _run(
                arguments,
                work.Task(work.RECORDS),
                lambda origin, fields: parquet.write_record(work.full_record(origin, fields)),
                errors,
            )

    if command == work.RECORDS and output is not None:
        if not output.lower().endswith((".jsonl", ".ndjson")):
            parser.error(f"cannot tell the output format of {output}: name it *.jsonl, *.parquet or *.sqlite")
        if errors_path is not None and os.path.abspath(errors_path) == os.path.abspath(output):
            parser.error("--errors must not name the output file")
        with (
            open(output, "wb", buffering=OUTPUT_BUFFER_SIZE) as stream,
            contextlib.closing(_ErrorSink(errors_path)) as errors,
        ):
            joiner = work.JsonLineJoiner()
            return _run(
                arguments, work.Task(work.JSONL), lambda origin, line: joiner.write(stream, origin, line), errors
            )

    stdout = sys.stdout.buffer
    with contextlib.closing(_ErrorSink(errors_path)) as errors:
        if command == work.RECORDS:
            joiner = work.JsonLineJoiner()
            status = _run(
                arguments, work.Task(work.JSONL), lambda origin, line: joiner.write(stdout, origin, line), errors
            )
        else:

            def detected(origin: Origin, source_format: Any) -> None:
                member = origin.member if origin.member is not None else "-"
                line = f"{origin.file}\t{member}\t{origin.ordinal}\t{origin.offset}\t{source_format}\n"
                stdout.write(line.encode("utf-8"))

            # A failed document keeps its line, so that lines and documents match.
            status = _run(arguments, work.Task(work.DETECT), detected, errors, lambda origin: detected(origin, "-"))
        stdout.flush()
        return status


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = build_parser()
    arguments = parser.parse_args(argv, namespace=_Arguments())
    try:
        return _command(arguments)
    except BrokenPipeError:
        # The reader went away (`tessellox records ... | head`): stop quietly.
        with contextlib.suppress(OSError):
            devnull = os.open(os.devnull, os.O_WRONLY)
            os.dup2(devnull, sys.stdout.fileno())
        return 1
    except KeyboardInterrupt:
        return 130
    except WorkerDied:
        _report("a worker process died unexpectedly")
        return 1
    except sqlite3.Error as error:
        _report(f"cannot write the database: {error}")
        return 1
    except OSError as error:
        target = error.filename if error.filename else "output"
        _report(f"cannot write {target}: {error.strerror or error}")
        return 1


if __name__ == "__main__":
    sys.exit(main())
