"""The `tessellox` command on weekly-size input, on every core.

    PYTHONPATH=build/bench:python python3 bench/corpus_bench.py

Measures, in one run, on generated weekly files (the real v4 grants and the
bulk sample laid end to end, --member-mb each):
1. a folder of --zips weekly zips, JSON Lines: --jobs 2 against --jobs 1
   (wall time), and the parent's share of all CPU time (its own user and
   system time against that of every process, workers reaped);
2. one weekly zip member: --jobs 2 against --jobs 1;
3. records of the zip against the same content as a plain file, --jobs 1;
4. the peak resident memory of any one process, for every output at
   --jobs 1 and 2, on one member;
5. inflating the member with isal and with the standard library's zlib.
Each figure is the best of --runs runs, the runs of a comparison taking
turns. Generated files go to a temporary directory, deleted afterwards.
"""

from __future__ import annotations

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
import zlib
from pathlib import Path
from typing import Dict, List, Sequence, Tuple

ROOT = Path(__file__).resolve().parents[1]
DATA = ROOT / "tests" / "data" / "real"

# Runs the command and reports, on its last line of standard error, the
# command's own CPU seconds, its workers', and the largest resident size of
# any one process.
_MEASURED = """
import resource, sys
from tessellox_tools.cli import main
status = main(sys.argv[1:])
me, workers = resource.getrusage(resource.RUSAGE_SELF), resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"rusage {me.ru_utime + me.ru_stime} {workers.ru_utime + workers.ru_stime} "
      f"{max(me.ru_maxrss, workers.ru_maxrss)}", file=sys.stderr)
sys.exit(status)
"""


class Run:
    def __init__(self, wall: float, parent_cpu: float, workers_cpu: float, peak_kb: int) -> None:
        self.wall, self.parent_cpu, self.workers_cpu, self.peak_kb = wall, parent_cpu, workers_cpu, peak_kb


def remove_outputs(arguments: Sequence[str]) -> None:
    """A first run writes new files: replacing a large one costs its removal."""
    target = Path(arguments[arguments.index("-o") + 1])
    for path in target.parent.glob(target.stem + "*"):
        shutil.rmtree(path) if path.is_dir() else path.unlink()


def measure(arguments: Sequence[str], env: Dict[str, str], check: bool = True) -> Run:
    remove_outputs(arguments)
    started = time.perf_counter()
    result = subprocess.run([sys.executable, "-c", _MEASURED, *arguments], env=env, capture_output=True)
    wall = time.perf_counter() - started
    if check and result.returncode != 0:
        raise SystemExit(f"{' '.join(arguments)} failed: {result.stderr.decode()[-2000:]}")
    _, parent, workers, peak = result.stderr.decode().strip().splitlines()[-1].split()
    return Run(wall, float(parent), float(workers), int(peak))


def best_of(runs: int, commands: List[Sequence[str]], env: Dict[str, str]) -> List[Run]:
    """The fastest run of each command, the commands taking turns."""
    best: List[Run] = [Run(float("inf"), 0, 0, 0) for _ in commands]
    for _ in range(runs):
        for index, command in enumerate(commands):
            run = measure(command, env)
            if run.wall < best[index].wall:
                best[index] = run
    return best


def weekly_file(path: Path, size: int) -> int:
    documents = sorted((DATA / "v4-grant").glob("*.xml")) + [DATA / "bulk" / "ipg050104-small-v40.xml"]
    sample = b"".join(document.read_bytes().rstrip(b"\n") + b"\n" for document in documents)
    with open(path, "wb") as stream:
        for _ in range(size // len(sample) + 1):
            stream.write(sample)
    return path.stat().st_size


def zipped(plain: Path, target: Path) -> Path:
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.write(plain, plain.name)
    return target


def inflate_speed(archive: Path) -> List[Tuple[str, float]]:
    """MB/s of inflating the archive's one member, by library."""
    with zipfile.ZipFile(archive) as opened:
        info = opened.infolist()[0]
    libraries: List[Tuple[str, object]] = [("zlib", zlib)]
    try:
        from isal import isal_zlib

        libraries.insert(0, ("isal", isal_zlib))
    except ImportError:
        pass
    with open(archive, "rb") as stream:
        stream.seek(info.header_offset + 26)
        name, extra = int.from_bytes(stream.read(2), "little"), int.from_bytes(stream.read(2), "little")
        stream.seek(name + extra, 1)
        compressed = stream.read(info.compress_size)
    speeds = []
    for label, library in libraries:
        started = time.perf_counter()
        inflater = library.decompressobj(-15)  # type: ignore[attr-defined]
        size = 0
        for at in range(0, len(compressed), 1 << 20):
            size += len(inflater.decompress(compressed[at : at + (1 << 20)]))
        size += len(inflater.flush())
        speeds.append((label, size / (time.perf_counter() - started) / 1e6))
    return speeds


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--member-mb", type=int, default=160, help="size of each weekly member")
    parser.add_argument("--zips", type=int, default=6, help="weekly zips in the folder of measure 1")
    parser.add_argument("--runs", type=int, default=3, help="best of this many runs")
    arguments = parser.parse_args()
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(path for path in sys.path if path))
    scratch = Path(tempfile.mkdtemp(prefix="tessellox-corpus-bench-"))
    try:
        plain = scratch / "ipg-week.xml"
        size = weekly_file(plain, arguments.member_mb << 20)
        archive = zipped(plain, scratch / "ipg-week.zip")
        folder = scratch / "weeks"
        folder.mkdir()
        for index in range(arguments.zips):
            os.link(archive, folder / f"ipg{index:02}.zip")
        output = str(scratch / "out.jsonl")
        print(f"load average before: {' '.join(f'{value:.1f}' for value in os.getloadavg())}")
        print(f"weekly member: {size / 1e6:.0f} MB, zipped {archive.stat().st_size / 1e6:.0f} MB")

        one, two = best_of(
            arguments.runs,
            [["records", str(folder), "-o", output, "--jobs", jobs, "--no-progress"] for jobs in ("1", "2")],
            env,
        )
        share = two.parent_cpu / (two.parent_cpu + two.workers_cpu)
        print(f"1. folder of {arguments.zips} weekly zips, JSON Lines")
        print(f"   --jobs 1 {one.wall:6.2f} s   --jobs 2 {two.wall:6.2f} s   speed-up {one.wall / two.wall:5.2f}x")
        start = measure(["records", os.devnull, "-o", output, "--jobs", "2", "--no-progress"], env, check=False)
        print(
            f"   parent CPU at --jobs 2: {two.parent_cpu:.2f} s of {two.parent_cpu + two.workers_cpu:.2f} s "
            f"({100 * share:.1f}%; of it {start.parent_cpu:.2f} s is the start, as on an empty input)"
        )

        zip_one, zip_two, plain_one = best_of(
            arguments.runs,
            [
                ["records", str(archive), "-o", output, "--jobs", "1", "--no-progress"],
                ["records", str(archive), "-o", output, "--jobs", "2", "--no-progress"],
                ["records", str(plain), "-o", output, "--jobs", "1", "--no-progress"],
            ],
            env,
        )
        print("2. one weekly zip member, JSON Lines")
        print(
            f"   --jobs 1 {zip_one.wall:6.2f} s   --jobs 2 {zip_two.wall:6.2f} s   "
            f"speed-up {zip_one.wall / zip_two.wall:5.2f}x"
        )
        print("3. the zip against the plain file, --jobs 1")
        print(
            f"   zip {zip_one.wall:6.2f} s   plain {plain_one.wall:6.2f} s   ratio {plain_one.wall / zip_one.wall:5.2f}x"
        )

        print("4. peak resident memory of any one process, one member")
        for target in ("out.jsonl", "out.parquet", "out.sqlite", "markdown"):
            peaks = []
            for jobs in ("1", "2"):
                path = scratch / target
                command = "records" if "." in target else "markdown"
                run = measure([command, str(archive), "-o", str(path), "--jobs", jobs, "--no-progress"], env)
                peaks.append(f"--jobs {jobs} {run.peak_kb / 1024:5.0f} MB ({run.wall:.2f} s)")
            print(f"   {target:<12} " + "   ".join(peaks))

        print("5. inflating the member")
        for label, speed in inflate_speed(archive):
            print(f"   {label:<5} {speed:7.0f} MB/s")
        print(f"load average after: {' '.join(f'{value:.1f}' for value in os.getloadavg())}")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
