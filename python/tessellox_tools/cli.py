"""The `tessellox` command: detect, convert to Markdown, or extract records
from whole USPTO corpora, on all cores."""

from __future__ import annotations

import argparse
import collections
import contextlib
import os
import re
import shutil
import signal
import sqlite3
import sys
import tempfile
import textwrap
import time
from typing import IO, Any, Counter, List, Optional, Sequence

import tessellox

from . import work
from .engine import default_jobs, handover_slots, run_tasks, runs_inline
from .handover import Handover
from .plan import REGION_SIZE, RegionTask, Task, plan_tasks
from .records import error_record
from .sinks import LinesSink, MarkdownSink, Sink, output_paths, record_sink_type
from .split import DEFAULT_CHUNK_SIZE, DEFAULT_MAX_DOCUMENT_SIZE, STDIN, Origin, Reading, input_size

PROGRAM = "tessellox"
SUMMARY_MESSAGES = 5
SUMMARY_SKIPPED = 5
_SIZE_UNITS = {"": 1, "K": 1 << 10, "M": 1 << 20, "G": 1 << 30, "T": 1 << 40}
EXIT_INTERRUPTED = 130

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

parallel runs:
  Every worker reads its own part of the input and writes its own part of
  the output; the output is joined in input order, so any --jobs gives the
  same bytes. A worker that ends abruptly (killed, out of memory) is
  replaced and its work done again; a document that ends a worker twice is
  reported as failed with "a worker ended abruptly while reading this
  document". An interrupted run (Ctrl-C) leaves no half file under the
  output's name; an SQLite database keeps the documents merged so far, and
  a second run adds the rest.

exit status:
  0 when every input was read (documents that fail are reported, not fatal),
  1 when an input or output could not be read or written, an input held no
  document at all, no document succeeded, or --fail-fast met a failure,
  2 for wrong arguments, 130 when interrupted.
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
    tables: str = "xml"
    maths: str = "xml"
    instructions: str = "xml"


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
    markdown.add_argument(
        "--tables",
        choices=("xml", "markdown", "html"),
        default="xml",
        help="tables as XML (default), pipe tables or HTML",
    )
    markdown.add_argument(
        "--maths", choices=("xml", "latex"), default="xml", help="formulas as MathML (default) or LaTeX"
    )
    markdown.add_argument(
        "--instructions",
        choices=("xml", "drop"),
        default="xml",
        help="the description's processing instructions kept (default) or left out",
    )
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
    records.add_argument(
        "--sections",
        action="store_true",
        help="also the description's sections (text_sections), which are most of a corpus's bytes",
    )
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


def _plural(count: int, noun: str) -> str:
    return f"{count} {noun}" if count == 1 else f"{count} {noun}s"


def _summary(tally: "_Tally", seconds: float, errors_path: Optional[str]) -> str:
    failures, skipped = tally.failures, tally.skipped
    failed = sum(failures.values())
    text = f"{_plural(tally.documents, 'document')} ({tally.size / 1e6:.1f} MB) in {seconds:.2f} s, {failed} failed"
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


class _Tally:
    """What a run has read so far."""

    def __init__(self, inputs: int) -> None:
        self.documents = 0
        self.succeeded = 0
        self.size = 0
        self.failures: Counter[str] = collections.Counter()
        self.skipped: List[str] = []
        self.unreadable: List[str] = []
        self.documents_of_input = [0] * inputs

    def add(self, path_index: int, result: work.TaskResult) -> None:
        self.documents += result.documents
        self.succeeded += result.succeeded
        self.size += result.size
        self.documents_of_input[path_index] += result.documents
        for failure in result.failures:
            if failure.origin.ordinal is None:
                self.skipped.append(failure.origin.place())
            else:
                self.failures[failure.message] += 1


class _Interrupted(KeyboardInterrupt):
    """SIGTERM, handled as Ctrl-C is."""


def _on_terminate(signum: int, frame: Any) -> None:
    raise _Interrupted()


def _run(arguments: _Arguments, command: str, sink: Sink, errors: _ErrorSink, template: Optional[str] = None) -> int:
    started = time.perf_counter()
    show = arguments.progress if arguments.progress is not None else sys.stderr.isatty()
    paths = arguments.paths
    progress = _Progress(input_size(paths), show)
    tally = _Tally(len(paths))

    def on_unreadable(path: str, error: BaseException) -> None:
        tally.unreadable.append(path)
        reason = error.strerror if isinstance(error, OSError) and error.strerror else str(error)
        _report(f"cannot read {path}: {reason}")

    skipping = False  # the rest of a file that could not be read
    stopped = False

    def wanted(task: Task) -> bool:
        # Not the rest of a file that could not be read.
        return not (skipping and isinstance(task, RegionTask) and not task.region.first)

    def commit(task: Task, result: work.TaskResult) -> bool:
        nonlocal skipping, stopped
        if isinstance(task, RegionTask) and task.place is not None:
            assert handover is not None
            handover.release(task.place)
        if not wanted(task):
            return True
        skipping = False
        sink.take(result)
        tally.add(task.path_index, result)
        for failure in result.failures:
            errors.write(failure.origin, failure.message)
        if result.unreadable is not None:
            on_unreadable(result.unreadable[0], OSError(0, result.unreadable[1]))
            skipping = True
        progress.update(tally.documents, result.size)
        if arguments.fail_fast and any(failure.origin.ordinal is not None for failure in result.failures):
            stopped = True
            return False
        return True

    workspace = tempfile.mkdtemp(prefix=".tessellox-work-", dir=sink.work_directory())
    inline = runs_inline(arguments.jobs)
    handover = None if inline else Handover(workspace, handover_slots(arguments.jobs))
    job = work.Job(
        command,
        sink.shard,
        workspace,
        template,
        arguments.max_document_size,
        arguments.fail_fast,
        arguments.tables,
        arguments.maths,
        arguments.instructions,
        getattr(arguments, "sections", False),
        handover,
    )
    reading = Reading(REGION_SIZE, DEFAULT_CHUNK_SIZE, arguments.max_document_size)
    previous = signal.signal(signal.SIGTERM, _on_terminate)
    complete = False
    restarts = 0
    try:
        tasks = plan_tasks(paths, arguments.jobs, reading, handover, on_unreadable)
        restarts = run_tasks(tasks, job, sink.shard_writers(inline), arguments.jobs, commit, wanted)
        complete = True
    finally:
        signal.signal(signal.SIGTERM, previous)
        progress.close()
        if complete and tally.documents:
            sink.close()
        else:
            sink.abandon()
        shutil.rmtree(workspace, ignore_errors=True)
        elapsed = time.perf_counter() - started
        summary = _summary(tally, elapsed, errors.path)
        if restarts:
            summary += f"; {_plural(restarts, 'worker')} replaced after ending abruptly"
        if not complete:
            summary = f"interrupted: {summary}"
        written = sink.describe(complete)
        _report(f"{summary}; {written}" if written and not complete else summary)
        if complete and written:
            _report(written)
    empty = False
    if not stopped:
        # A run that read nothing must not look like success.
        for path, count in zip(paths, tally.documents_of_input):
            if count == 0 and path not in tally.unreadable:
                empty = True
                _report(f"no document in {'standard input' if path == STDIN else path}")
    no_success = tally.documents > 0 and tally.succeeded == 0
    return 1 if tally.unreadable or stopped or empty or no_success else 0


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


def _errors_path(arguments: _Arguments, output: Optional[str]) -> Optional[str]:
    if arguments.errors is not None or output is None:
        return arguments.errors
    if arguments.command == work.MARKDOWN:
        return os.path.join(output, "errors.jsonl")
    return os.path.splitext(output)[0] + ".errors.jsonl"


def _open_sink(arguments: _Arguments, output: Optional[str], errors_path: Optional[str]) -> Sink:
    """The output, checked and opened before anything is read."""
    parser = arguments.subcommand
    if arguments.command == work.MARKDOWN:
        assert output is not None
        return MarkdownSink(output)
    if output is None:
        return LinesSink(None)
    sink_type = record_sink_type(output)
    if sink_type is None:
        parser.error(f"cannot tell the output format of {output}: name it *.jsonl, *.parquet or *.sqlite")
    if errors_path is not None and os.path.abspath(errors_path) in map(os.path.abspath, output_paths(output)):
        parser.error("--errors must not name an output file")
    if os.path.isdir(output):
        raise IsADirectoryError(21, "Is a directory", output)
    return sink_type(output)


def _command(arguments: _Arguments) -> int:
    command = arguments.command
    output = arguments.output if command != work.DETECT else None
    if output == STDIN:
        output = None
    errors_path = _errors_path(arguments, output)
    template = _read_template(arguments.subcommand, arguments.template) if command == work.MARKDOWN else None
    try:
        sink = _open_sink(arguments, output, errors_path)
    except ImportError:
        _report("Parquet output needs pyarrow: pip install 'tessellox[parquet]'")
        return 1
    with contextlib.closing(_ErrorSink(errors_path)) as errors:
        return _run(arguments, command, sink, errors, template)


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
    except _Interrupted:
        return 128 + signal.SIGTERM
    except KeyboardInterrupt:
        return EXIT_INTERRUPTED
    except sqlite3.Error as error:
        _report(f"cannot write the database: {error}")
        return 1
    except OSError as error:
        target = error.filename if error.filename else "output"
        _report(f"cannot write {target}: {error.strerror or error}")
        return 1


if __name__ == "__main__":
    sys.exit(main())
