"""Two builds of the module, interleaved in one run: speed and memory of one against the other.

    python3 bench/builds_bench.py --base BASE_BUILD_DIR --new build/bench              # 15 rounds
    python3 bench/builds_bench.py --base /tmp/base/build/bench --new build/bench --rounds 21 --corpus-mb 50

Each build is a folder that holds its `tessellox` module (a CMake build tree
with -DTESSELLOX_BUILD_PYTHON=ON, or an installed wheel's site-packages).
Each build runs in processes of its own, with only its folder added to
sys.path, on the same documents:

  real    every real document: tests/data/real and ../shared/data (the same
          file in both counted once), bulk files split at each <?xml, APS text
          included; the documents either build rejects are left out
  corpus  a generated corpus (--corpus-kind, default mixed: v4.5 grants and
          applications with some ST.32 and pre-grant publications) of
          --corpus-mb MB, documents of 100-500 KB

A round runs, for each set, one process per build, the two in turn, the
first build alternating from round to round; each process times `parse()`
with every getter (the claims' numbers and texts too) and then
`parse_to_markdown`, each over every document of the set, --real-passes or
--corpus-passes times, garbage collection off. Per workload the
figure is the median over the rounds of the round's ratio, the base build's
time over the new one's: at or above 1 the new build is as fast.

Last, the memory of one call (bench/memory_child.py, a fresh process per
figure, the builds in turn) on the largest real document and on a real
grant grown to 20 MB: the peak above the size once the text is loaded,
what the result keeps and how much of that is heap, and the peak once the
module's code is resident (after the same call on a small real document),
for `parse` and `parse_to_markdown`.
"""

from __future__ import annotations

import argparse
import gc
import hashlib
import json
import os
import pickle
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from typing import Dict, List, Sequence, Tuple

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

from documents import DATA, MALFORMED, ROOT, read_getters, read_text, repeated_grant, split_bulk  # noqa: E402

MB = 1_000_000
WORKLOADS = ("parse", "markdown")
LABELS = {"parse": "parse()+getters", "markdown": "parse_to_markdown"}


# ---------------------------------------------------------------------------
# The child: one build, one set of documents
# ---------------------------------------------------------------------------


def import_build(build: str):
    sys.path.insert(0, build)
    import tessellox

    if not Path(tessellox.__file__).resolve().is_relative_to(Path(build).resolve()):
        raise SystemExit(f"tessellox came from {tessellox.__file__}, not from {build}")
    return tessellox


def child_check(build: str, documents_path: str) -> None:
    """Prints the indices of the documents this build rejects."""
    tessellox = import_build(build)
    with open(documents_path, "rb") as handle:
        texts: List[str] = pickle.load(handle)
    rejected = []
    for index, text in enumerate(texts):
        try:
            read_getters(tessellox.parse(text))
            tessellox.parse_to_markdown(text)
        except ValueError:
            rejected.append(index)
    print(json.dumps(rejected))


def child_time(build: str, documents_path: str, passes: int) -> None:
    """Prints the seconds of each workload over `passes` passes."""
    tessellox = import_build(build)
    with open(documents_path, "rb") as handle:
        texts: List[str] = pickle.load(handle)

    def parse(text: str) -> None:
        # The document is dropped inside the timing, as a loop over a corpus drops it.
        read_getters(tessellox.parse(text))

    runners = {"parse": parse, "markdown": tessellox.parse_to_markdown}
    # Warm-up: first-call costs, and the allocator's first growth, stay out.
    warm, warmed = [], 0
    for text in texts:
        warm.append(text)
        warmed += len(text)
        if warmed > 2 * MB:
            break
    for run in runners.values():
        for text in warm:
            run(text)
    seconds: Dict[str, float] = {}
    clock = time.perf_counter
    for name in WORKLOADS:
        run = runners[name]
        gc.collect()
        gc.disable()
        try:
            start = clock()
            for _ in range(passes):
                for text in texts:
                    run(text)
            seconds[name] = clock() - start
        finally:
            gc.enable()
    print(json.dumps(seconds))


# ---------------------------------------------------------------------------
# The parent
# ---------------------------------------------------------------------------


def real_documents(folders: Sequence[Path]) -> List[str]:
    """Every real document under `folders`, each file once however many
    folders hold it; bulk files split."""
    seen = set()
    texts = []
    for folder in folders:
        for path in sorted(folder.rglob("*")):
            if not path.is_file() or path.suffix not in (".xml", ".txt") or path.name in MALFORMED:
                continue
            data = path.read_bytes()
            digest = hashlib.sha256(data).hexdigest()
            if digest in seen:
                continue
            seen.add(digest)
            text = read_text(path)
            texts.extend(split_bulk(text) if path.suffix == ".xml" and text.count("<?xml") > 1 else [text])
    return texts


def run_child(arguments: List[str]) -> str:
    done = subprocess.run([sys.executable, str(Path(__file__).resolve()), *arguments], capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"child {arguments} failed:\n{done.stderr}")
    return done.stdout


def kept_by_both(builds: Dict[str, str], path: str, texts: List[str]) -> List[str]:
    rejected = set()
    for build in builds.values():
        rejected.update(json.loads(run_child(["--child-check", build, path])))
    return [text for index, text in enumerate(texts) if index not in rejected]


def write_set(folder: str, name: str, texts: List[str]) -> str:
    path = os.path.join(folder, f"{name}.pickle")
    with open(path, "wb") as handle:
        pickle.dump(texts, handle, protocol=pickle.HIGHEST_PROTOCOL)
    return path


def memory_child(build: str, path: str, mode: str, *warm: str) -> List[int]:
    """Peak, kept and kept heap of one call, in a process of `build`'s own."""
    output = subprocess.run(
        [sys.executable, str(HERE / "memory_child.py"), path, mode, *warm],
        env=dict(os.environ, PYTHONPATH=build),
        check=True,
        capture_output=True,
        text=True,
    ).stdout.split()
    high, before, peak, after, heap = (int(value) for value in output)
    return [peak - before if peak >= 0 else high - before, after - before, heap]


def memory_figures(
    builds: Dict[str, str], folder: str, documents: List[Tuple[str, str]], warm_text: str, runs: int
) -> None:
    print("\nmemory of one call, a fresh process per figure (bench/memory_child.py), median of", runs, "runs")
    print("  (peak: above the size once the text is loaded; kept: resident after the call and malloc_trim(0);")
    print("   kept heap: the part of it that is anonymous memory, without the module's code read for the first time;")
    print("   warm peak: the peak after the same call on a small real document, the module's code already read)")
    print(
        f"  {'document':<28} {'call':<18} {'build':<5} {'peak MB':>8} {'peak/size':>9} {'kept MB':>8}"
        f" {'kept heap MB':>12} {'warm peak MB':>12}"
    )
    warm_path = os.path.join(folder, "memory-warm.xml")
    with open(warm_path, "w", encoding="utf-8", newline="") as handle:
        handle.write(warm_text)
    for label, text in documents:
        path = os.path.join(folder, "memory-document.xml")
        with open(path, "w", encoding="utf-8", newline="") as handle:
            handle.write(text)
        size = os.path.getsize(path)
        for mode in WORKLOADS:
            figures: Dict[str, List[Tuple[int, int, int, int]]] = {name: [] for name in builds}
            for run in range(runs):
                order = list(builds) if run % 2 == 0 else list(builds)[::-1]
                for name in order:
                    figures[name].append(
                        (*memory_child(builds[name], path, mode), memory_child(builds[name], path, mode, warm_path)[0])
                    )
            for name in builds:
                peak, kept, heap, warm = (
                    statistics.median(figure[column] for figure in figures[name]) for column in range(4)
                )
                print(
                    f"  {label:<28} {LABELS[mode]:<18} {name:<5} {peak / MB:8.2f} {peak / size:8.2f}x {kept / MB:8.2f}"
                    f" {heap / MB:12.2f} {warm / MB:12.2f}",
                    flush=True,
                )


def main(argv: Sequence[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--base", help="folder of the baseline build's module")
    parser.add_argument("--new", help="folder of the build measured against it")
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--corpus-mb", type=float, default=50)
    parser.add_argument("--corpus-kind", default="mixed", choices=("v4", "mixed", "grant", "application"))
    parser.add_argument("--seed", type=int, default=0)
    parser.add_argument("--real-passes", type=int, default=20, help="passes over the real set per timing")
    parser.add_argument("--corpus-passes", type=int, default=3, help="passes over the corpus per timing")
    parser.add_argument(
        "--real",
        nargs="+",
        type=Path,
        default=[DATA, ROOT.parent / "shared" / "data"],
        help="folders of real documents (default: tests/data/real and ../shared/data)",
    )
    parser.add_argument("--memory-runs", type=int, default=5, help="runs per memory figure (0: no memory figures)")
    parser.add_argument("--child-check", nargs=2, help=argparse.SUPPRESS)
    parser.add_argument("--child-time", nargs=3, help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    if args.child_check:
        child_check(*args.child_check)
        return 0
    if args.child_time:
        child_time(args.child_time[0], args.child_time[1], int(args.child_time[2]))
        return 0
    if not (args.base and args.new):
        parser.error("--base and --new are required")

    import generate

    builds = {"base": str(Path(args.base).resolve()), "new": str(Path(args.new).resolve())}
    with tempfile.TemporaryDirectory(prefix="tessellox-builds-") as folder:
        real = real_documents([path for path in args.real if path.is_dir()])
        start = time.perf_counter()
        corpus = list(generate.generate_corpus(args.corpus_kind, int(args.corpus_mb * MB), 100_000, 500_000, args.seed))
        print(f"(generated the corpus in {time.perf_counter() - start:.1f} s)", flush=True)
        sets = {}
        for name, texts, passes in (("real", real, args.real_passes), ("corpus", corpus, args.corpus_passes)):
            kept = kept_by_both(builds, write_set(folder, name, texts), texts)
            size = sum(len(text.encode("utf-8")) for text in kept)
            print(f"{name}: {len(kept)} documents of {len(texts)} ({size / MB:.2f} MB), {passes} pass(es) per timing")
            sets[name] = (write_set(folder, name, kept), passes, size)
            if name == "real":
                largest = max(kept, key=lambda text: len(text.encode("utf-8")))
        del corpus, real

        times: Dict[Tuple[str, str, str], List[float]] = {}
        for round_index in range(args.rounds):
            order = list(builds) if round_index % 2 == 0 else list(builds)[::-1]
            for set_name, (path, passes, _) in sets.items():
                for build in order:
                    seconds = json.loads(run_child(["--child-time", builds[build], path, str(passes)]))
                    for workload in WORKLOADS:
                        times.setdefault((set_name, workload, build), []).append(seconds[workload])
            line = "  ".join(
                f"{set_name}/{workload} {times[(set_name, workload, 'base')][-1] / times[(set_name, workload, 'new')][-1]:.3f}"
                for set_name in sets
                for workload in WORKLOADS
            )
            print(f"round {round_index + 1:>2}/{args.rounds} (first: {order[0]}): base/new {line}", flush=True)

        print(f"\nspeed of the new build against the base, {args.rounds} rounds, the builds alternating within each")
        print(f"  {'workload':<40} {'base MB/s':>10} {'new MB/s':>10} {'new/base':>9} {'range of rounds':>18}")
        for set_name, (_, passes, size) in sets.items():
            for workload in WORKLOADS:
                base, new = times[(set_name, workload, "base")], times[(set_name, workload, "new")]
                ratios = [b / n for b, n in zip(base, new)]
                label = f"{LABELS[workload]}, {set_name} ({size / MB:.1f} MB)"
                print(
                    f"  {label:<40} {size * passes / MB / statistics.median(base):10.1f} "
                    f"{size * passes / MB / statistics.median(new):10.1f} {statistics.median(ratios):8.3f}x "
                    f"{min(ratios):8.3f}-{max(ratios):.3f}x",
                    flush=True,
                )

        if args.memory_runs > 0:
            memory_figures(
                builds,
                folder,
                [("largest real document", largest), ("real grant grown to 20 MB", repeated_grant(20 * MB))],
                (ROOT / "examples" / "US10000000-v45.xml").read_text(encoding="utf-8"),
                args.memory_runs,
            )
    return 0


if __name__ == "__main__":
    sys.exit(main())
