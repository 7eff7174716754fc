"""The README's Python examples run as written, from the repository root."""

import re
import subprocess

import pytest
from conftest import REPO

NEEDS_SPARK = ("pyspark",)  # shown, not run here


def python_blocks():
    text = (REPO / "README.md").read_text(encoding="utf-8")
    return re.findall(r"```python\n(.*?)```", text, re.S)


@pytest.mark.parametrize("block", [b for b in python_blocks() if not any(m in b for m in NEEDS_SPARK)])
def test_readme_example_runs(block, monkeypatch, capsys):
    monkeypatch.chdir(REPO)
    exec(compile(block, "README.md", "exec"), {})


def test_readme_has_examples():
    assert len(python_blocks()) >= 2


def test_zero_fuzz_seconds_skips_fuzzing():
    # libFuzzer would read a time limit of 0 as none and run for ever.
    result = subprocess.run(
        ["bash", str(REPO / "scripts" / "fuzz.sh"), "0"], capture_output=True, text=True, timeout=60
    )
    assert result.returncode == 0 and "fuzzing skipped" in result.stderr
