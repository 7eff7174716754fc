"""The command on weekly-size input, on every core: every input kind with
every output, workers that die, and runs that are interrupted."""

from __future__ import annotations

import gzip
import json
import os
import signal
import sqlite3
import subprocess
import sys
import tarfile
import time
import zipfile
from pathlib import Path
from typing import Dict, List

import pytest
from tools_helpers import BULK, DATA, grant_xml, lines, need_bulk, run_tool

# A USPTO weekly file is 100-900 MB; a pipe holds 64 KB.
WEEKLY_SIZE = 150 << 20
INPUT_KINDS = ["plain", "zip", "nested-zip", "gz", "tar", "tar.gz", "stdin"]
OUTPUTS = ["out.jsonl", "out.parquet", "out.sqlite", "markdown"]
JOBS = ["1", "2", None]  # None: the default, every core


def _write_inputs(directory: Path) -> Dict[str, Path]:
    # Grants of every size, up to 700 KB: a worker's results outgrow a pipe.
    documents = sorted((DATA / "v4-grant").glob("*.xml")) + [BULK / "ipg050104-small-v40.xml"]
    sample = b"".join(path.read_bytes().rstrip(b"\n") + b"\n" for path in documents)
    plain = directory / "week.xml"
    with open(plain, "wb") as stream:
        for _ in range(WEEKLY_SIZE // len(sample) + 1):
            stream.write(sample)
    inputs = {"plain": plain, "stdin": plain}
    with zipfile.ZipFile(directory / "week.zip", "w", zipfile.ZIP_DEFLATED, compresslevel=1) as archive:
        archive.write(plain, "week.xml")
    inputs["zip"] = directory / "week.zip"
    with zipfile.ZipFile(directory / "nested.zip", "w", zipfile.ZIP_STORED) as archive:
        archive.write(directory / "week.zip", "inner/week.zip")
    inputs["nested-zip"] = directory / "nested.zip"
    with open(plain, "rb") as source, gzip.open(directory / "week.xml.gz", "wb", compresslevel=1) as target:
        while chunk := source.read(1 << 20):
            target.write(chunk)
    inputs["gz"] = directory / "week.xml.gz"
    for kind, mode in (("tar", "w"), ("tar.gz", "w:gz")):
        path = directory / f"week.{kind}"
        options = {"compresslevel": 1} if kind == "tar.gz" else {}
        with tarfile.open(path, mode, **options) as archive:  # type: ignore[call-overload]
            archive.add(plain, "week.xml")
        inputs[kind] = path
    return inputs


@pytest.fixture(scope="module")
def weekly(tmp_path_factory: pytest.TempPathFactory) -> Dict[str, Path]:
    need_bulk()
    return _write_inputs(tmp_path_factory.mktemp("weekly"))


def _run(inputs: Dict[str, Path], kind: str, output: Path, jobs: "str | None") -> subprocess.CompletedProcess:
    arguments = ["records" if output.suffix else "markdown", "-o", str(output)]
    if jobs is not None:
        arguments += ["--jobs", jobs]
    if kind == "stdin":
        return run_tool(*arguments, input_file=inputs[kind], timeout=120)
    return run_tool(*arguments, str(inputs[kind]), timeout=120)


def _content(output: Path) -> object:
    """What an output holds, without the input's file and member names."""
    if output.suffix == ".jsonl":
        records = [json.loads(line) for line in lines(output)]
        return [{key: value for key, value in record.items() if key not in ("file", "member")} for record in records]
    if output.suffix == ".parquet":
        import pyarrow.parquet as pq

        tables = [output, output.with_suffix(".claims.parquet"), output.with_suffix(".citations.parquet")]
        return [pq.read_table(table).drop_columns(["file", "member"]).to_pylist() for table in tables]
    if output.suffix == ".sqlite":
        with sqlite3.connect(output) as connection:
            tables = ("documents", "claims", "citations")
            return [
                [row[2:] for row in connection.execute(f"SELECT * FROM {table} ORDER BY rowid")] for table in tables
            ]
    return sorted((path.name, path.read_bytes()) for path in output.iterdir() if path.name != "errors.jsonl")


_reference: Dict[str, object] = {}


@pytest.mark.parametrize("output", OUTPUTS)
@pytest.mark.parametrize("kind", INPUT_KINDS)
@pytest.mark.parametrize("jobs", JOBS, ids=lambda jobs: f"jobs-{jobs or 'default'}")
def test_every_input_kind_and_output_finishes_with_the_records_of_the_plain_file(
    weekly: Dict[str, Path], tmp_path: Path, kind: str, output: str, jobs: "str | None"
) -> None:
    if output.endswith(".parquet"):
        pytest.importorskip("pyarrow")
    if output not in _reference:
        target = tmp_path / "reference" / output
        target.parent.mkdir()
        result = _run(weekly, "plain", target, "1")
        assert result.returncode == 0, result.stderr
        _reference[output] = _content(target)
    target = tmp_path / output
    result = _run(weekly, kind, target, jobs)
    assert result.returncode == 0, result.stderr
    assert _content(target) == _reference[output]
    leftovers = [path.name for path in tmp_path.iterdir() if path.name.startswith(".")]
    assert leftovers == []


# Runs the command with a document that kills its worker: once, or every time.
_CRASHING_RUNNER = """
import os, signal, sys
from tessellox_tools import cli, work

# Ctrl-C as at a terminal, even where the tests run in a background job
# (which starts with SIGINT ignored).
signal.signal(signal.SIGINT, signal.default_int_handler)
marker, mode, flag = sys.argv[1].encode(), sys.argv[2], sys.argv[3]
convert = work.convert

def crashing(job, data, start, end):
    if marker in data[start:end] and (mode == "always" or not os.path.exists(flag)):
        open(flag, "w").close()
        os.kill(os.getpid(), signal.SIGKILL)
    if mode == "slow":
        import time
        time.sleep(0.1)  # the run lasts several seconds: the signal comes in its middle
    return convert(job, data, start, end)

work.convert = crashing
lines = work.record_json_lines

def slow_lines(data, bounds, index, *rest):
    # One document a call: at one job, documents are converted many to a call.
    if mode == "slow":
        import time
        time.sleep(0.1)
    return lines(data, bounds[: index + 1], index, *rest)

work.record_json_lines = slow_lines
sys.exit(cli.main(sys.argv[4:]))
"""


def _week_with(tmp_path: Path, marker: str) -> Path:
    """About 10 MB (several regions) with a document holding `marker` in the middle."""
    sample = (need_bulk() / "ipg050104-small-v40.xml").read_bytes()
    week = tmp_path / "week.xml"
    week.write_bytes(sample * 3 + grant_xml("09000001", marker).encode() + sample * 3)
    return week


def _runner(tmp_path: Path) -> List[str]:
    script = tmp_path / "runner.py"
    script.write_text(_CRASHING_RUNNER, encoding="utf-8")
    return [sys.executable, str(script)]


def _environment() -> Dict[str, str]:
    return dict(os.environ, PYTHONPATH=os.pathsep.join(path for path in sys.path if path))


@pytest.mark.parametrize("mode", ["once", "always"])
def test_a_killed_worker_loses_nothing(tmp_path: Path, mode: str) -> None:
    week = _week_with(tmp_path, "CRASH-ME")
    expected = tmp_path / "expected.jsonl"
    assert run_tool("records", str(week), "-o", str(expected), "--jobs", "1").returncode == 0
    output = tmp_path / "out.jsonl"
    command = [*_runner(tmp_path), "CRASH-ME", mode, str(tmp_path / "crashed")]
    result = subprocess.run(
        [*command, "records", str(week), "-o", str(output), "--jobs", "2"],
        capture_output=True,
        env=_environment(),
        timeout=300,
    )
    assert result.returncode == 0, result.stderr
    if mode == "once":
        assert output.read_bytes() == expected.read_bytes()
        assert b"1 worker replaced" in result.stderr
        return
    kept = [line for line in lines(expected) if "CRASH-ME" not in line]
    assert lines(output) == kept and len(kept) == len(lines(expected)) - 1
    (error,) = [json.loads(line) for line in lines(tmp_path / "out.errors.jsonl")]
    assert error["message"] == "a worker ended abruptly while reading this document"
    assert (error["file"], error["ordinal"]) == (str(week), 76)


def _processes_running(script: Path) -> List[int]:
    found = []
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                if str(script).encode() in (entry / "cmdline").read_bytes():
                    found.append(int(entry.name))
            except OSError:
                pass
    return found


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc")
@pytest.mark.parametrize(
    "signum, status, jobs",
    [
        (signal.SIGINT, 130, "2"),
        (signal.SIGTERM, 143, "2"),
        (signal.SIGKILL, -9, "2"),
        # One job writes into the output's temporary file itself.
        (signal.SIGINT, 130, "1"),
        (signal.SIGTERM, 143, "1"),
    ],
)
def test_an_interrupted_run_leaves_no_half_file_and_no_process(
    tmp_path: Path, signum: int, status: int, jobs: str
) -> None:
    week = _week_with(tmp_path, "plain")
    output = tmp_path / "out.jsonl"
    command = [*_runner(tmp_path), "no-such-marker", "slow", str(tmp_path / "unused")]
    process = subprocess.Popen(
        [*command, "records", str(week), "-o", str(output), "--jobs", jobs],
        stderr=subprocess.PIPE,
        env=_environment(),
        start_new_session=True,
    )
    time.sleep(1.5)
    # Ctrl-C reaches the whole process group; SIGTERM only the parent.
    if signum == signal.SIGINT:
        os.killpg(process.pid, signum)
    else:
        process.send_signal(signum)
    _, stderr = process.communicate(timeout=60)
    assert process.returncode == status, stderr
    # A killed parent leaves its hidden temporary file and work folder.
    hidden = (".out.jsonl.partial-", ".tessellox-work-")
    left = sorted(path.name for path in tmp_path.iterdir() if not path.name.startswith(hidden))
    assert left == ["runner.py", "week.xml"]
    if signum != signal.SIGKILL:  # a killed parent can neither report nor clean up, but its workers end too
        assert b"tessellox: interrupted: " in stderr and b"nothing written to" in stderr
        assert len(list(tmp_path.iterdir())) == 2
    time.sleep(0.5)
    assert _processes_running(tmp_path / "runner.py") == []


def test_a_document_larger_than_a_shared_slot_is_handed_over_whole(tmp_path: Path) -> None:
    # 9 MB of claim between ordinary grants, in a stream that the parent
    # cuts: its region outgrows the memory slots and goes through a file.
    sample = (need_bulk() / "ipg050104-small-v40.xml").read_bytes()
    large = grant_xml("09000002", claim="A widget. " * (900 << 10)).encode()
    with gzip.open(tmp_path / "week.xml.gz", "wb", compresslevel=1) as stream:
        stream.write(sample * 4 + large + sample * 4)
    outputs = {}
    for jobs in ("1", "2"):
        output = tmp_path / f"jobs{jobs}.jsonl"
        result = run_tool("records", "--jobs", jobs, "-o", str(output), str(tmp_path / "week.xml.gz"), timeout=120)
        assert result.returncode == 0, result.stderr
        outputs[jobs] = output.read_bytes()
    assert outputs["1"] == outputs["2"]
    assert b'"patent_number":"US9000002B2"' in outputs["2"]
