"""Shared helpers for the tests of the bulk tools."""

from __future__ import annotations

import contextlib
import os
import signal
import subprocess
import sys
from pathlib import Path
from typing import Optional, Sequence

import pytest

ROOT = Path(__file__).resolve().parents[3]
DATA = ROOT / "tests" / "data" / "real"
BULK = DATA / "bulk"


def grant_xml(number: str, title: str = "Widget", claim: str = "A widget.") -> str:
    """A small, complete v4.5 grant."""
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE us-patent-grant SYSTEM "us-patent-grant-v45-2014-04-03.dtd" [ ]>
<us-patent-grant lang="EN" dtd-version="v4.5 2014-04-03" file="US{number}-20150101.XML" status="PRODUCTION" id="us-patent-grant" country="US" date-produced="20141217" date-publ="20150101">
<us-bibliographic-data-grant>
<publication-reference><document-id><country>US</country><doc-number>{number}</doc-number><kind>B2</kind><date>20150101</date></document-id></publication-reference>
<invention-title id="d2e43">{title}</invention-title>
</us-bibliographic-data-grant>
<abstract id="abstract"><p id="p-0001" num="0000">An abstract.</p></abstract>
<claims id="claims"><claim id="CLM-00001" num="00001"><claim-text>{claim}</claim-text></claim></claims>
</us-patent-grant>
"""


# Well formed up to where it stops: a truncated last document of a weekly file.
TRUNCATED_XML = (
    '<?xml version="1.0" encoding="UTF-8"?>\n<us-patent-grant lang="EN" dtd-version="v4.5 2014-04-03">\n<us-bib'
)


def need_bulk() -> Path:
    if not BULK.is_dir():
        pytest.skip("real bulk samples are absent")
    return BULK


def run_tool(
    *arguments: str,
    stdin: Optional[bytes] = None,
    cwd: Optional[Path] = None,
    module: bool = True,
    input_file: Optional[Path] = None,
    timeout: float = 300,
) -> subprocess.CompletedProcess:
    """Runs `tessellox` (or, with `module` false, the interpreter with these
    arguments) in a fresh interpreter that sees the same modules as this one,
    with standard input from `stdin` or `input_file`. A run that outlives
    `timeout` fails the test, its whole process group killed: a hung worker
    would otherwise keep the output pipes open."""
    environment = dict(os.environ)
    environment["PYTHONPATH"] = os.pathsep.join(path for path in sys.path if path)
    command = [sys.executable, *(["-m", "tessellox_tools"] if module else []), *arguments]
    with open(input_file, "rb") if input_file is not None else contextlib.nullcontext() as source:
        process = subprocess.Popen(
            command,
            stdin=source if source is not None else subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            cwd=cwd,
            env=environment,
            start_new_session=True,
        )
        try:
            stdout, stderr = process.communicate(None if source is not None else (stdin or b""), timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.communicate()
            pytest.fail(f"{' '.join(arguments)} did not finish in {timeout} s")
    return subprocess.CompletedProcess(command, process.returncode, stdout, stderr)


def lines(path: Path) -> Sequence[str]:
    return path.read_text(encoding="utf-8").splitlines()
