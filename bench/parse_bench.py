"""Speed and memory of tessellox.parse / parse_to_markdown against expat and lxml.

    PYTHONPATH=build/bench python3 bench/parse_bench.py            # everything
    PYTHONPATH=build/bench python3 bench/parse_bench.py --quick    # a subset, about a minute

Every figure is a ratio of two times measured in the same run: the
competitors run interleaved, repetition by repetition in rotating order, and
each reports the median of its repetitions. A ratio is the competitor's time
over tessellox's time, so "2.0x vs lxml tree" means tessellox takes half the
time that lxml needs to build its tree. Garbage collection is off while a
timing runs.

Workloads (--only chooses some):
  families every real document of tests/data/real, family by family (v4 grants,
           v4 applications, pap, ST.32, sequence listings, the bulk files split
           at each <?xml) and then all together
  real     the v4 samples in tests/data/real (v4-grant, v4-app, and the v4 bulk
           files split at each <?xml; US07057742-v41.xml is skipped because it is
           not well formed as published)
  corpus   a generated corpus of v4.5 grants and applications (--corpus-mb,
           documents of 100-500 KB) parsed one by one
  older    pre-grant publications and ST.32 grants (pap/, st32/, the ST.32 bulk file)
  sizes    single generated grants of 10 KB to 100 MB (throughput must stay flat)
  memory   peak memory of one parse above the input, each in a fresh child process

Targets of the families: parse+getters >= 1.2x expat bare over all the real
documents together and >= 1.0x on every family alone, >= 2x lxml tree, >= 3x
the lxml reference extraction; parse_to_markdown >= 1.0x expat bare and >= 1.7x
lxml tree. Other workloads: parse+getters >= 0.6x expat bare, >= 2x lxml tree, >= 5x the lxml
reference extraction (bench/reference_lxml.py); parse_to_markdown >= 0.4x
expat bare and >= 1.5x lxml tree; older generations >= 0.6x expat bare;
memory at most 3x the document's size.
"""

from __future__ import annotations

import argparse
import gc
import os
import statistics
import subprocess
import sys
import tempfile
import time
import xml.parsers.expat
from pathlib import Path
from typing import Callable, Dict, List, Optional, Sequence, Tuple

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
sys.path.insert(0, str(HERE))

import generate  # noqa: E402
import reference_lxml  # noqa: E402
from documents import DATA, MALFORMED, read_getters, read_text, repeated_grant, split_bulk  # noqa: E402

try:
    import tessellox
except ImportError:  # a build tree rather than an installed wheel
    for candidate in (os.environ.get("TESSELLOX_BUILD_DIR"), str(ROOT / "build" / "bench")):
        if candidate and candidate not in sys.path:
            sys.path.insert(0, candidate)
    import tessellox

from lxml import etree  # noqa: E402

LXML_PARSER = etree.XMLParser(resolve_entities=False)
MB = 1_000_000


class Document:
    __slots__ = ("name", "text", "data")

    def __init__(self, name: str, text: str):
        self.name = name
        self.text = text
        self.data = text.encode("utf-8")


def sample_documents(folders: Sequence[str], bulk_files: Sequence[str]) -> List[Document]:
    documents = []
    for folder in folders:
        for path in sorted((DATA / folder).glob("*.xml")):
            if path.name not in MALFORMED:
                documents.append(Document(f"{folder}/{path.name}", read_text(path)))
    for name in bulk_files:
        path = DATA / "bulk" / name
        if path.exists():
            for index, text in enumerate(split_bulk(read_text(path))):
                documents.append(Document(f"bulk/{name}#{index + 1}", text))
    return documents


# ---------------------------------------------------------------------------
# The competitors. Each does its whole work on one document.
# ---------------------------------------------------------------------------


def run_expat(document: Document) -> None:
    parser = xml.parsers.expat.ParserCreate()
    parser.Parse(document.data, True)


def run_lxml_tree(document: Document) -> None:
    etree.fromstring(document.data, parser=LXML_PARSER)


def run_reference(document: Document) -> None:
    reference_lxml.extract(document.data)


def run_parse(document: Document) -> None:
    # The document is dropped inside the timing, as a loop over a corpus drops it.
    read_getters(tessellox.parse(document.text))


def run_markdown(document: Document) -> None:
    tessellox.parse_to_markdown(document.text)


COMPETITORS: Dict[str, Callable[[Document], None]] = {
    "expat bare": run_expat,
    "lxml tree": run_lxml_tree,
    "lxml reference": run_reference,
    "tessellox parse": run_parse,
    "tessellox markdown": run_markdown,
}


class Timings:
    def __init__(self, rounds: Dict[str, List[float]]):
        self.rounds = rounds

    def median(self, name: str) -> float:
        return statistics.median(self.rounds[name])

    def best(self, name: str) -> float:
        return min(self.rounds[name])


def balanced_orders(count: int) -> List[List[int]]:
    """Orders of `count` competitors in which each one comes right after each
    other equally often (a Williams design: `count` orders, twice as many
    when `count` is odd)."""
    first = [0]
    low, high = 1, count - 1
    for position in range(1, count):
        if position % 2:
            first.append(low)
            low += 1
        else:
            first.append(high)
            high -= 1
    orders = [[(index + shift) % count for index in first] for shift in range(count)]
    if count % 2:
        orders += [order[::-1] for order in orders]
    return orders


def measure(documents: Sequence[Document], names: Sequence[str], repeat: int) -> Timings:
    """Per competitor, the time of each repetition over all documents.

    Interleaving is per document: every document is handed to each competitor
    in turn, so that a change in the machine's load touches all of them alike.
    What one competitor leaves behind falls on the next (lxml's thousands of
    freed nodes are sorted by the allocator at the next large request, and the
    caches are cold), so the orders are a balanced Latin square: each
    competitor runs right after each other equally often. (A plain rotation
    put the same competitor after lxml almost every time.) One repetition's
    time is the sum over the documents.
    """
    runners = [COMPETITORS[name] for name in names]
    for runner in runners:  # warm-up: first-call costs stay out of the figures
        for document in documents[:3]:
            runner(document)
    rounds: Dict[str, List[float]] = {name: [] for name in names}
    clock = time.perf_counter
    turn = 0
    orders = balanced_orders(len(names))
    for _ in range(repeat):
        totals = [0.0] * len(names)
        gc.collect()
        gc.disable()
        try:
            for document in documents:
                turn += 1
                for index in orders[turn % len(orders)]:
                    start = clock()
                    runners[index](document)
                    totals[index] += clock() - start
        finally:
            gc.enable()
        for name, total in zip(names, totals):
            rounds[name].append(total)
    return Timings(rounds)


# ---------------------------------------------------------------------------
# Reporting
# ---------------------------------------------------------------------------


class Report:
    def __init__(self) -> None:
        self.rows: List[Tuple[str, str, float, str]] = []
        self.notes: List[str] = []

    def ratio(self, workload: str, what: str, value: float, target: Optional[float], at_most: bool = False) -> None:
        """Records one figure; the target is a floor unless `at_most`."""
        if target is None:
            target_text, verdict = "", ""
        else:
            target_text = f"{'<=' if at_most else '>='} {target:g}x"
            verdict = "met" if (value <= target if at_most else value >= target) else "MISSED"
        self.rows.append((workload, what, value, f"{target_text:<8} {verdict}"))
        print(f"  {what:<38} {value:7.2f}x  {target_text:<8} {verdict}", flush=True)

    def summary(self) -> None:
        print("\nSummary")
        print(f"  {'workload':<26} {'figure':<38} {'value':>8}  {'target':<8} verdict")
        for workload, what, value, verdict in self.rows:
            print(f"  {workload:<26} {what:<38} {value:7.2f}x  {verdict}")
        for note in self.notes:
            print(f"  note: {note}")


def throughput_line(name: str, timings: "Timings", size: int) -> str:
    median, best = timings.median(name), timings.best(name)
    return (
        f"  {name:<20} {median * 1000:10.1f} ms  {size / MB / median:8.1f} MB/s"
        f"   (best {best * 1000:.1f} ms, {size / MB / best:.1f} MB/s)"
    )


def compare(
    report: Report,
    workload: str,
    documents: Sequence[Document],
    repeat: int,
    names: Sequence[str],
    targets: Dict[Tuple[str, str], float],
) -> Dict[str, float]:
    size = sum(len(document.data) for document in documents)
    print(f"\n{workload}: {len(documents)} documents, {size / MB:.2f} MB, {repeat} repetitions", flush=True)
    timings = measure(documents, names, repeat)
    medians = {name: timings.median(name) for name in names}
    for name in names:
        print(throughput_line(name, timings, size))
    for ours in ("tessellox parse", "tessellox markdown"):
        if ours not in medians:
            continue
        for theirs in ("expat bare", "lxml tree", "lxml reference"):
            if theirs in medians and (ours, theirs) in targets:
                label = "parse+getters" if ours == "tessellox parse" else "parse_to_markdown"
                report.ratio(workload, f"{label} vs {theirs}", medians[theirs] / medians[ours], targets[(ours, theirs)])
    return medians


V4_TARGETS = {
    ("tessellox parse", "expat bare"): 0.6,
    ("tessellox parse", "lxml tree"): 2.0,
    ("tessellox parse", "lxml reference"): 5.0,
    ("tessellox markdown", "expat bare"): 0.4,
    ("tessellox markdown", "lxml tree"): 1.5,
}


def bench_real(report: Report, repeat: int) -> None:
    documents = sample_documents(("v4-grant", "v4-app"), ("ipg050104-small-v40.xml", "ipgb20221025-biblio-v47.xml"))
    if not documents:
        report.notes.append("real: no samples under tests/data/real")
        return
    compare(report, "real v4 samples", documents, repeat, list(COMPETITORS), V4_TARGETS)


FAMILIES = (
    ("v4 grants", ("v4-grant",), ()),
    ("v4 applications", ("v4-app",), ()),
    ("pap", ("pap",), ()),
    ("ST.32", ("st32",), ()),
    ("sequence listings", ("seqcwu",), ()),
    ("bulk files split", (), ("ipg050104-small-v40.xml", "ipgb20221025-biblio-v47.xml", "pg020507-100docs-st32.xml")),
)
FAMILY_TARGETS = {
    ("tessellox parse", "expat bare"): 1.0,
    ("tessellox parse", "lxml tree"): 2.0,
    ("tessellox parse", "lxml reference"): 3.0,
    ("tessellox markdown", "expat bare"): 1.0,
    ("tessellox markdown", "lxml tree"): 1.7,
}


def bench_families(report: Report, repeat: int) -> None:
    """Every real document, family by family, then all of them together."""
    names = list(COMPETITORS)
    every: List[Document] = []
    for label, folders, bulk in FAMILIES:
        documents = sample_documents(folders, bulk)
        if not documents:
            report.notes.append(f"{label}: samples missing")
            continue
        every.extend(documents)
        # The reference extraction reads version 4 documents only.
        family_names = (
            names if folders and folders[0].startswith("v4") else [name for name in names if name != "lxml reference"]
        )
        compare(report, label, documents, repeat, family_names, FAMILY_TARGETS)
    if every:
        targets = dict(FAMILY_TARGETS)
        targets[("tessellox parse", "expat bare")] = 1.2
        compare(
            report, "all real documents", every, repeat, [name for name in names if name != "lxml reference"], targets
        )


def bench_corpus(report: Report, repeat: int, corpus_mb: float, seed: int) -> None:
    start = time.perf_counter()
    documents = [
        Document(f"corpus#{i + 1}", text)
        for i, text in enumerate(generate.generate_corpus("v4", int(corpus_mb * MB), 100_000, 500_000, seed))
    ]
    print(f"\n(generated the corpus in {time.perf_counter() - start:.1f} s)")
    compare(report, f"generated v4 corpus {corpus_mb:g} MB", documents, repeat, list(COMPETITORS), V4_TARGETS)


def bench_older(report: Report, repeat: int) -> None:
    names = ["expat bare", "tessellox parse", "tessellox markdown"]
    targets = {("tessellox parse", "expat bare"): 0.6}
    for label, folders, bulk in (
        ("pap samples", ("pap",), ()),
        ("st32 samples", ("st32",), ()),
        ("st32 bulk (100 documents)", (), ("pg020507-100docs-st32.xml",)),
    ):
        documents = sample_documents(folders, bulk)
        if not documents:
            report.notes.append(f"{label}: samples missing")
            continue
        try:
            tessellox.parse(documents[0].text)
        except ValueError as error:
            report.notes.append(f"{label}: parse fails ({error}); parser not ready")
            continue
        compare(report, label, documents, repeat, names, targets)


def bench_sizes(report: Report, repeat: int, sizes: Sequence[int], seed: int) -> None:
    names = ["expat bare", "tessellox parse", "tessellox markdown"]
    print("\nthroughput by document size (generated v4.5 grants)")
    print(f"  {'size':>10} {'expat MB/s':>11} {'parse MB/s':>11} {'markdown MB/s':>14} {'parse/expat':>12}")
    rates: Dict[str, List[float]] = {"tessellox parse": [], "tessellox markdown": []}
    for size in sizes:
        text = generate.generate_document("grant", size, seed)
        document = Document(f"grant-{size}", text)
        # Small documents are timed in batches so that each timing lasts long enough to measure.
        copies = max(1, 2_000_000 // size)
        timings = measure([document] * copies, names, repeat if size < 50 * MB else max(3, repeat // 2))
        medians = {name: timings.median(name) for name in names}
        total = size * copies
        row = {name: total / MB / medians[name] for name in names}
        for name in rates:
            rates[name].append(row[name])
        print(
            f"  {size_label(size):>10} {row['expat bare']:11.1f} {row['tessellox parse']:11.1f} "
            f"{row['tessellox markdown']:14.1f} {medians['expat bare'] / medians['tessellox parse']:11.2f}x",
            flush=True,
        )
        del text, document
        gc.collect()
    for name, values in rates.items():
        flatness = min(values) / max(values)
        report.ratio(
            "sizes " + "-".join(size_label(s) for s in (sizes[0], sizes[-1])),
            f"{name.split()[1]} slowest/fastest MB/s",
            flatness,
            0.5,
        )
    report.notes.append("sizes: flat means the slowest size keeps at least half the fastest size's throughput")


def size_label(size: int) -> str:
    for unit, scale in (("MB", MB), ("KB", 1000)):
        if size >= scale:
            return f"{size / scale:g}{unit}"
    return f"{size}B"


# The children are bench/memory_child.py, which reports the kernel's
# high-water mark of its own address space.
MEMORY_CHILD = HERE / "memory_child.py"


def bench_twin(report: Report, repeat: int) -> None:
    """parse() of a real grant grown to 20 MB, ASCII as published, against its
    twin with one letter made non-ASCII: what reading a str that is not its own
    UTF-8 costs."""
    text = repeated_grant(20 * MB)
    start = text.index(">", text.index("<p ", text.index("<description"))) + 1
    twin = text[:start] + "\u00e9" + text[start + 1 :]

    def best(document: str) -> float:
        times = []
        for _ in range(repeat):
            begin = time.perf_counter()
            tessellox.parse(document)
            times.append(time.perf_counter() - begin)
        return min(times)

    ascii_time, twin_time = best(text), best(twin)
    print(
        f"\nparse() of a {len(text) / MB:.0f} MB grant: ASCII {ascii_time * 1000:.1f} ms, "
        f"with one non-ASCII character {twin_time * 1000:.1f} ms"
    )
    report.ratio("ASCII twin", "one non-ASCII character: time / ASCII time", twin_time / ascii_time, None)


def bench_memory(report: Report, sizes: Sequence[int], seed: int) -> None:
    print("\nmemory of one call, in a fresh process per figure, as multiples of the document's UTF-8 size")
    print("  (peak: the calling child's high-water mark above its size once the text is loaded;")
    print("   kept: resident memory after the call and malloc_trim(0), above the size before the call)")
    print(f"  {'document':>14} {'call':>9} {'peak':>10} {'peak/size':>9} {'kept':>10} {'kept/size':>9}")
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(
        p for p in [str(Path(tessellox.__file__).parent), env.get("PYTHONPATH", "")] if p
    )
    with tempfile.TemporaryDirectory(prefix="tessellox-memory-") as folder:
        documents = [
            (f"grant {size_label(size)}", lambda size=size: generate.generate_document("grant", size, seed))
            for size in sizes
        ]
        documents.append(("real grant 20MB", lambda: repeated_grant(20 * MB)))
        for label, make in documents:
            path = os.path.join(folder, "document.xml")
            generate.write_text(path, make())
            size = os.path.getsize(path)

            def child(mode: str, path: str = path) -> Tuple[int, int, int, int]:
                output = subprocess.run(
                    [sys.executable, str(MEMORY_CHILD), path, mode],
                    env=env,
                    check=True,
                    capture_output=True,
                    text=True,
                ).stdout.split()
                return int(output[0]), int(output[1]), int(output[2]), int(output[3])

            load_only = child("load")
            # The targets are for large documents; below 10 MB a document's
            # fixed costs weigh more, and a tree keeps its pages for the
            # heap to reuse rather than handing them back as it goes.
            targets = (("parse", 3.0, 2.0), ("markdown", 3.5, None))
            if size < 10 * MB:
                targets = (("parse", None, None), ("markdown", None, None))
            for mode, peak_target, kept_target in targets:
                peak, before, own_peak, after = child(mode)
                # The child's own high-water mark where the kernel allows its reset;
                # else the peak above a child that only loads.
                above = own_peak - before if own_peak >= 0 else peak - load_only[0]
                kept = after - before
                print(
                    f"  {label:>14} {mode:>9} {above / MB:8.1f}MB {above / size:8.2f}x "
                    f"{kept / MB:8.1f}MB {kept / size:8.2f}x",
                    flush=True,
                )
                report.ratio(f"memory {label}", f"{mode}: peak / size", above / size, peak_target, at_most=True)
                if mode == "parse":
                    report.ratio(f"memory {label}", f"{mode}: kept / size", kept / size, kept_target, at_most=True)
    report.notes.append("memory: peak and kept memory of one call over the document's UTF-8 size")


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument(
        "--quick",
        action="store_true",
        help="a subset: 10 MB corpus, sizes up to 10 MB, memory at 1 and 10 MB, 3 repetitions",
    )
    parser.add_argument("--only", nargs="+", choices=("families", "real", "corpus", "older", "sizes", "memory", "twin"))
    parser.add_argument("--repeat", type=int, help="repetitions per figure (default 7, quick 3)")
    parser.add_argument("--corpus-mb", type=float, help="size of the generated corpus (default 50, quick 10)")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args(argv)

    repeat = args.repeat or (3 if args.quick else 7)
    corpus_mb = args.corpus_mb or (10 if args.quick else 50)
    sizes = [10_000, 100_000, MB, 10 * MB] + ([] if args.quick else [100 * MB])
    memory_sizes = [MB, 10 * MB] + ([] if args.quick else [100 * MB])
    only = set(args.only or ("families", "real", "corpus", "older", "sizes", "memory", "twin"))

    print(f"tessellox {tessellox.__version__} from {tessellox.__file__}")
    print(
        f"lxml {'.'.join(map(str, etree.LXML_VERSION))}, libxml2 {'.'.join(map(str, etree.LIBXML_VERSION))}, "
        f"{xml.parsers.expat.EXPAT_VERSION}, Python {sys.version.split()[0]}"
    )
    report = Report()
    if "families" in only:
        bench_families(report, repeat)
    if "real" in only:
        bench_real(report, repeat)
    if "corpus" in only:
        bench_corpus(report, repeat, corpus_mb, args.seed)
    if "older" in only:
        bench_older(report, repeat)
    if "sizes" in only:
        bench_sizes(report, repeat, sizes, args.seed)
    if "memory" in only:
        bench_memory(report, memory_sizes, args.seed)
    if "twin" in only:
        bench_twin(report, repeat)
    report.summary()

    command = f"PYTHONPATH={os.environ.get('PYTHONPATH', '<dir of tessellox module>')} python3 bench/parse_bench.py"
    print("\nReproduce:")
    print(
        f"  {command}{' --quick' if args.quick else ''} --repeat {repeat} --seed {args.seed}"
        f"{'' if args.only is None else ' --only ' + ' '.join(args.only)}"
    )
    for workload, extra in (
        ("families", ""),
        ("real", ""),
        ("corpus", f" --corpus-mb {corpus_mb:g}"),
        ("older", ""),
        ("sizes", ""),
        ("memory", ""),
    ):
        if workload in only:
            print(
                f"  {command} --only {workload} --repeat {repeat} --seed {args.seed}{extra}"
                f"{' --quick' if args.quick and workload in ('sizes', 'memory') else ''}"
            )
    return 0


if __name__ == "__main__":
    sys.exit(main())
