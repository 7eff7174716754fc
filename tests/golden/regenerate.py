"""Render every golden input again and show how the output moved.

    PYTHONPATH=<build dir with the module> python3 tests/golden/regenerate.py [--accept] [name ...]

Without --accept the current output is written next to each golden file as
<name>.md.new, and a unified diff against the golden file is printed; the exit
status is 1 when any output differs. With --accept the output replaces the
golden file. Read every diff before accepting it: the tests compare byte for
byte and never regenerate anything themselves.
"""

import argparse
import difflib
import sys
from pathlib import Path

GOLDEN = Path(__file__).resolve().parent
REPO = GOLDEN.parents[1]

# Golden name -> input, relative to the repository root. The bundled examples
# are always present, and so are the real documents of tests/data/real.
CASES = {
    "US10000000-v45": "examples/US10000000-v45.xml",
    "US20220159901A1-v45": "examples/US20220159901A1-v45.xml",
    "US03930271.aps": "examples/pftaps19760106-sample-US03930271.aps.txt",
    "US08927118-v45": "tests/data/real/v4-grant/US08927118-v45.xml",
    "US07272630B2-v42": "tests/data/real/v4-grant/US07272630B2-v42.xml",
    "US20050004974A1-v40": "tests/data/real/v4-app/US20050004974A1-v40.xml",
    "US08613112-v44-pretty": "tests/data/real/v4-grant/US08613112-v44-pretty.xml",
    "US11646472-v47": "tests/data/real/v4-grant/US11646472-v47.xml",
    "US20010000002A1": "tests/data/real/pap/US20010000002A1.xml",
    "US06337117": "tests/data/real/st32/US06337117.xml",
    "US07521258-seq": "tests/data/real/seqcwu/US07521258-seq.xml",
    "US03932709.aps": "tests/data/real/aps/US03932709.aps.txt",
}


def golden_path(name: str) -> Path:
    return GOLDEN / f"{name}.md"


def input_path(name: str) -> Path:
    return REPO / CASES[name]


def read_exact(path: Path) -> str:
    # newline="" keeps carriage returns as published; the renderer sees them.
    with open(path, encoding="utf-8", newline="") as handle:
        return handle.read()


def write_exact(path: Path, text: str) -> None:
    with open(path, "w", encoding="utf-8", newline="") as handle:
        handle.write(text)


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--accept", action="store_true", help="overwrite the golden files with the current output")
    parser.add_argument("names", nargs="*", help=f"golden names (default: all): {', '.join(CASES)}")
    arguments = parser.parse_args(argv)
    unknown = [name for name in arguments.names if name not in CASES]
    if unknown:
        parser.error(f"unknown golden names: {', '.join(unknown)}")

    import tessellox

    changed = 0
    for name in arguments.names or CASES:
        source = input_path(name)
        if not source.exists():
            print(f"skipped {name}: {source} is absent", file=sys.stderr)
            continue
        output = tessellox.parse_to_markdown(read_exact(source))
        golden = golden_path(name)
        previous = read_exact(golden) if golden.exists() else ""
        pending = golden.with_name(golden.name + ".new")
        if output == previous:
            pending.unlink(missing_ok=True)
            continue
        changed += 1
        for line in difflib.unified_diff(
            previous.splitlines(keepends=True),
            output.splitlines(keepends=True),
            fromfile=golden.name,
            tofile=f"{golden.name} (current)",
        ):
            # The output never ends in a line feed, so its last line has none.
            sys.stdout.write(line if line.endswith("\n") else line + "\n")
        if arguments.accept:
            write_exact(golden, output)
            pending.unlink(missing_ok=True)
        else:
            write_exact(pending, output)
    verb = "accepted" if arguments.accept else "differ"
    print(f"{changed} golden file(s) {verb}", file=sys.stderr)
    return 1 if changed and not arguments.accept else 0


if __name__ == "__main__":
    sys.exit(main())
