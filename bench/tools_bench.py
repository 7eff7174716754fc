"""Throughput and memory of the `tessellox` command on bulk files.

    PYTHONPATH=build/release:python python bench/tools_bench.py

Measures, in one run:
1. `tessellox records --jobs 1` on the real bulk samples against `parse()`
   and every getter in a loop over the same documents already split and
   decoded (the cost of splitting, record building and writing), the same
   with `--sections` against `parse_to_markdown` in a loop, and the
   command's stages timed one by one;
2. `--jobs 2` against `--jobs 1` on a generated corpus of the bulk samples
   repeated to --corpus-mb (pool start-up amortised);
3. peak memory (sum of the resident sizes of the process tree, sampled) of
   the tool on a generated bulk file of --memory-mb.
Generated files go to a temporary directory that is deleted afterwards.
"""

from __future__ import annotations

import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path
from typing import Callable, List, Sequence, Tuple

ROOT = Path(__file__).resolve().parents[1]
BULK = ROOT / "tests" / "data" / "real" / "bulk"


def tool_command(arguments: Sequence[str]) -> List[str]:
    return [sys.executable, "-m", "tessellox_tools", *arguments]


def environment(pycache: Path) -> dict:
    """The tool's environment: this interpreter's import path, and compiled
    modules kept between runs (in `pycache`) as an installed package keeps
    them, even where PYTHONDONTWRITEBYTECODE is set; otherwise every run
    would compile the tool's modules afresh, a cost no installation pays."""
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(path for path in sys.path if path)
    env.pop("PYTHONDONTWRITEBYTECODE", None)
    env["PYTHONPYCACHEPREFIX"] = str(pycache)
    return env


def children_cpu() -> float:
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def own_cpu() -> float:
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


def run_tool(arguments: Sequence[str], env: dict, check: bool = True) -> None:
    subprocess.run(tool_command(arguments), check=check, env=env, stderr=subprocess.DEVNULL)


def loops(paths: Sequence[str]) -> Tuple[List[Tuple[str, Callable[[], None]]], int]:
    """Loops over the documents, already split: parse() of each decoded text,
    and the baselines on its UTF-8 bytes, expat's bare parse (no handlers)
    and lxml building its tree (when lxml is installed)."""
    import xml.parsers.expat

    import tessellox
    from tessellox_tools.split import iter_documents

    blobs = [raw.data for raw in iter_documents(paths)]
    texts = [blob.decode("utf-8") for blob in blobs]

    getters = (
        "source_format", "publication_number", "patent_number", "application_number", "title", "filing_date",
        "publication_date", "priority_date", "inventors", "applicants", "assignees", "ipc_classifications",
        "us_classifications", "abstract_text",
    )  # fmt: skip

    def parse_loop() -> None:
        # What a caller of parse() pays for the fields of a record: every
        # getter read once, the claims' numbers and texts too.
        for text in texts:
            try:
                document = tessellox.parse(text)
            except ValueError:
                continue
            for name in getters:
                getattr(document, name)
            for claim in document.claims:
                _ = claim.number, claim.text

    def expat_loop() -> None:
        for blob in blobs:
            try:
                xml.parsers.expat.ParserCreate().Parse(blob, True)
            except xml.parsers.expat.ExpatError:
                pass

    def markdown_loop() -> None:
        # What `--sections` is measured against: the text of every section
        # costs a record what Markdown costs a document.
        for text in texts:
            try:
                tessellox.parse_to_markdown(text)
            except ValueError:
                continue

    functions: List[Tuple[str, Callable[[], None]]] = [
        ("parse()+getters", parse_loop),
        ("parse_to_markdown", markdown_loop),
        ("expat bare", expat_loop),
    ]
    try:
        from lxml import etree
    except ImportError:
        pass
    else:
        lxml_parser = etree.XMLParser(resolve_entities=False, huge_tree=True)

        def lxml_loop() -> None:
            for blob in blobs:
                try:
                    etree.fromstring(blob, parser=lxml_parser)
                except etree.XMLSyntaxError:
                    pass

        functions.append(("lxml tree", lxml_loop))
    return functions, sum(len(blob) for blob in blobs)


def breakdown(paths: Sequence[str], runs: int) -> List[Tuple[str, float]]:
    """Best seconds of each stage of the command's work on `paths`, in this
    process: splitting the input into documents, decoding them, building the
    records (text_record, of the decoded str and of the bytes), encoding
    them as JSON (the standard library's encoder and, when installed,
    orjson), the command's own way of both at once (text_record_json of the
    bytes, no dict built) and writing the lines."""
    import json

    from tessellox_tools.records import text_record, text_record_json
    from tessellox_tools.split import iter_documents

    raws = list(iter_documents(paths))
    texts = [raw.text() for raw in raws]
    records = []
    for text in texts:
        try:
            records.append(text_record(text))
        except ValueError:
            pass
    lines = [json.dumps(record, ensure_ascii=False, separators=(",", ":")).encode() for record in records]
    stages: List[Tuple[str, Callable[[], object]]] = [
        ("split", lambda: list(iter_documents(paths))),
        ("decode", lambda: [raw.text() for raw in raws]),
        ("text_record", lambda: [text_record(text) for text in texts]),
        ("text_record bytes", lambda: [text_record(raw.data) for raw in raws]),
        ("text_record_json", lambda: [text_record_json(raw.data) for raw in raws]),
        ("json (stdlib)", lambda: [json.dumps(r, ensure_ascii=False, separators=(",", ":")).encode() for r in records]),
    ]
    try:
        import orjson
    except ImportError:
        pass
    else:
        stages.append(("json (orjson)", lambda: [orjson.dumps(record) for record in records]))

    def write() -> None:
        with open(os.devnull, "wb") as stream:
            for line in lines:
                stream.write(line)

    stages.append(("write", write))
    best = []
    for name, function in stages:
        seconds = float("inf")
        for _ in range(runs):
            started = time.perf_counter()
            function()
            seconds = min(seconds, time.perf_counter() - started)
        best.append((name, seconds))
    return best


def interleaved(
    runs: int, functions: Sequence[Callable[[], None]], prepare: Callable[[], None] = lambda: None
) -> List[Tuple[float, float]]:
    """Best wall seconds of each function (and the CPU seconds of the
    process tree in that run), the functions taking turns so that load from
    elsewhere on the machine falls on all of them alike; `prepare` runs
    before each, untimed."""
    best = [(float("inf"), 0.0)] * len(functions)
    for _ in range(runs):
        for index, function in enumerate(functions):
            prepare()
            cpu = children_cpu() + own_cpu()
            started = time.perf_counter()
            function()
            elapsed = time.perf_counter() - started
            if elapsed < best[index][0]:
                best[index] = (elapsed, children_cpu() + own_cpu() - cpu)
    return best


def load_average() -> str:
    return " ".join(f"{value:.1f}" for value in os.getloadavg())


def generate(path: Path, target_bytes: int) -> int:
    """Concatenates the bulk samples until the file holds `target_bytes`."""
    samples = [file.read_bytes() for file in sorted(BULK.glob("*.xml"))]
    written = 0
    with open(path, "wb") as stream:
        while written < target_bytes:
            for sample in samples:
                # Each sample ends without a newline in places; keep
                # documents apart as a weekly file does.
                stream.write(sample if sample.endswith(b"\n") else sample + b"\n")
                written += len(sample) + (0 if sample.endswith(b"\n") else 1)
    return written


def tree_rss(process) -> int:
    import psutil

    total = 0
    for member in [process] + process.children(recursive=True):
        try:
            total += member.memory_info().rss
        except psutil.Error:
            pass
    return total


def peak_memory(arguments: Sequence[str], env: dict) -> Tuple[int, float]:
    import psutil

    started = time.perf_counter()
    child = subprocess.Popen(tool_command(arguments), env=env, stderr=subprocess.DEVNULL)
    process = psutil.Process(child.pid)
    peak = 0
    done = threading.Event()

    def sample() -> None:
        nonlocal peak
        while not done.is_set():
            try:
                peak = max(peak, tree_rss(process))
            except psutil.Error:
                pass
            time.sleep(0.02)

    sampler = threading.Thread(target=sample)
    sampler.start()
    child.wait()
    done.set()
    sampler.join()
    if child.returncode != 0:
        raise SystemExit(f"tool failed with status {child.returncode}")
    return peak, time.perf_counter() - started


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--repeat", type=int, default=10, help="times the bulk samples are listed for measure 1")
    parser.add_argument("--corpus-mb", type=int, default=150, help="size of the corpus for measure 2 (0: skip)")
    parser.add_argument("--memory-mb", type=int, default=1000, help="size of the file for measure 3 (0: skip)")
    parser.add_argument("--runs", type=int, default=10, help="best of this many runs")
    arguments = parser.parse_args()
    if not BULK.is_dir():
        print(f"no bulk samples at {BULK}", file=sys.stderr)
        return 1

    scratch = Path(tempfile.mkdtemp(prefix="tessellox-bench-"))
    try:
        output = str(scratch / "out.jsonl")

        def remove_output() -> None:
            # A run writes a new file: deleting the previous run's output
            # (freeing its pages) is no part of the command's throughput.
            if os.path.exists(output):
                os.unlink(output)

        env = environment(scratch / "pycache")
        # Compiles every module the runs import, once.
        run_tool(["records", str(BULK), "-o", output, "--jobs", "2", "--no-progress"], env)
        paths = [str(BULK)] * arguments.repeat
        baselines, size = loops(paths)
        timed = interleaved(
            arguments.runs,
            [function for _, function in baselines]
            + [
                # An input without documents is a failure (status 1), after the same start.
                lambda: run_tool(["records", os.devnull, "-o", output, "--jobs", "1", "--no-progress"], env, False),
                lambda: run_tool(["records", *paths, "-o", output, "--jobs", "1", "--no-progress"], env),
                lambda: run_tool(["records", *paths, "-o", output, "--jobs", "1", "--no-progress", "--sections"], env),
            ],
            remove_output,
        )
        loop_seconds = timed[0][0]
        markdown_seconds = timed[1][0]
        start_seconds = timed[-3][0]
        tool_seconds, tool_cpu = timed[-2]
        sections_seconds = timed[-1][0]
        print(f"load average before: {load_average()}")
        print(f"1. bulk samples x{arguments.repeat}: {size / 1e6:.1f} MB")
        for (name, _), (seconds, _) in zip(baselines, timed):
            print(f"   {name:<17} {size / seconds / 1e6:8.1f} MB/s  ({seconds:.2f} s)")
        print(f"   --sections        {size / sections_seconds / 1e6:8.1f} MB/s  ({sections_seconds:.2f} s)")
        print(
            f"   records --jobs 1  {size / tool_seconds / 1e6:8.1f} MB/s  ({tool_seconds:.2f} s, {tool_cpu:.2f} s CPU)"
        )
        print(f"   ratio             {loop_seconds / tool_seconds:8.2f}")
        print(
            f"   without the start {loop_seconds / (tool_seconds - start_seconds):8.2f}  "
            f"(target >= 0.80; the same command on an empty file: {start_seconds:.2f} s)"
        )
        print(
            f"   --sections vs parse_to_markdown, without the start "
            f"{markdown_seconds / (sections_seconds - start_seconds):.2f}  (target >= 0.80)"
        )
        for (name, _), (seconds, _) in zip(baselines[2:], timed[2:-3]):
            print(f"   tool vs {name:<9} {seconds / tool_seconds:8.2f}")
        print("   where the command's time goes, stage by stage in one process:")
        for name, seconds in breakdown(paths, arguments.runs):
            print(f"     {name:<17} {seconds:6.3f} s  ({size / seconds / 1e6:8.1f} MB/s)")

        # A corpus of 0 MB holds no document, which the command reports as a
        # failure: 0 skips the measure, as --memory-mb 0 does.
        if arguments.corpus_mb:
            corpus = scratch / "corpus.xml"
            corpus_size = generate(corpus, arguments.corpus_mb * 1_000_000)
            runs = interleaved(
                arguments.runs,
                [
                    lambda: run_tool(["records", str(corpus), "-o", output, "--jobs", "1", "--no-progress"], env),
                    lambda: run_tool(["records", str(corpus), "-o", output, "--jobs", "2", "--no-progress"], env),
                ],
                remove_output,
            )
            seconds = {"1": runs[0], "2": runs[1]}
            print(f"2. generated corpus: {corpus_size / 1e6:.1f} MB")
            for jobs, (elapsed, cpu) in seconds.items():
                print(
                    f"   records --jobs {jobs}  {corpus_size / elapsed / 1e6:8.1f} MB/s  ({elapsed:.2f} s, {cpu:.2f} s CPU)"
                )
            seconds_1, seconds_2 = seconds["1"][0], seconds["2"][0]
            print(f"   speed-up          {seconds_1 / seconds_2:8.2f}  (target >= 1.80)")
            corpus.unlink()
        print(f"load average after: {load_average()}")

        if arguments.memory_mb:
            big = scratch / "big.xml"
            big_size = generate(big, arguments.memory_mb * 1_000_000)
            peak, elapsed = peak_memory(["records", str(big), "-o", output, "--no-progress"], env)
            print(f"3. generated bulk file: {big_size / 1e6:.0f} MB, default jobs, {elapsed:.1f} s")
            print(f"   peak resident memory of the process tree {peak / 1e6:.0f} MB  (target < 300)")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
