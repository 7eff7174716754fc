"""The documents the Python benchmarks read, and what they read of a parse.

No tessellox here: a benchmark that chooses which build to import (see
builds_bench.py) reads its documents with these first.
"""

from __future__ import annotations

import re
from pathlib import Path
from typing import List

ROOT = Path(__file__).resolve().parent.parent
DATA = ROOT / "tests" / "data" / "real"
# Not well formed as published: every parse fails on it.
MALFORMED = {"US07057742-v41.xml"}


def read_text(path: Path) -> str:
    # newline="" keeps CRLF documents byte for byte.
    with open(path, encoding="utf-8", newline="") as handle:
        return handle.read()


def split_bulk(text: str) -> List[str]:
    """The documents of a bulk file, split at each <?xml declaration."""
    starts = [match.start() for match in re.finditer(r"<\?xml", text)]
    return [text[start:end] for start, end in zip(starts, starts[1:] + [len(text)])]


def read_getters(parsed) -> None:
    """Every getter of a parsed Document, the claims' numbers and texts too."""
    _ = (
        parsed.publication_number,
        parsed.patent_number,
        parsed.application_number,
        parsed.title,
        parsed.filing_date,
        parsed.publication_date,
        parsed.priority_date,
        parsed.inventors,
        parsed.applicants,
        parsed.assignees,
        parsed.ipc_classifications,
        parsed.us_classifications,
        parsed.source_format,
        parsed.abstract_text,
    )
    for claim in parsed.claims:
        _ = claim.number, claim.text


def repeated_grant(size: int) -> str:
    """A real grant whose description paragraphs are repeated until the text
    holds `size` bytes: real markup at the size of the largest documents."""
    text = (ROOT / "examples" / "US10000000-v45.xml").read_text(encoding="utf-8")
    start = text.index("<description")
    start = text.index("<p ", start)
    end = text.rindex("</p>", start, text.index("</description>")) + len("</p>")
    paragraphs = text[start:end]
    copies = max(1, (size - len(text)) // len(paragraphs) + 1)
    return text[:end] + "\n" + "\n".join([paragraphs] * copies) + text[end:]
