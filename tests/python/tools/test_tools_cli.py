"""The `tessellox` command end to end, in subprocesses."""

from __future__ import annotations

import csv
import json
import re
import tarfile
import zipfile
from collections import Counter
from pathlib import Path
from typing import Dict, List

import pytest
import tessellox
from tessellox_tools import to_markdown
from tools_helpers import DATA, TRUNCATED_XML, grant_xml, lines, need_bulk, run_tool


def manifest_formats() -> Dict[str, str]:
    with open(DATA / "MANIFEST.tsv", encoding="utf-8") as stream:
        return {row["file"]: row["expected_format"] for row in csv.DictReader(stream, delimiter="\t")}


def test_detect_reports_every_document_of_the_bulk_samples() -> None:
    bulk = need_bulk()
    result = run_tool("detect", str(bulk), "--jobs", "1")
    assert result.returncode == 0, result.stderr
    rows = [line.split("\t") for line in result.stdout.decode().splitlines()]
    counts = Counter(Path(row[0]).name for row in rows)
    assert counts == {
        "ipg050104-small-v40.xml": 25,
        "ipgb20221025-biblio-v47.xml": 11,
        "pg020507-100docs-st32.xml": 100,
    }
    expected = manifest_formats()
    assert all(row[4] == expected[Path(row[0]).name] for row in rows)
    assert [(row[1], row[2]) for row in rows[:2]] == [("-", "1"), ("-", "2")]
    assert int(rows[1][3]) > 0
    assert result.stderr.decode().startswith("tessellox: 136 documents")


@pytest.mark.parametrize("command", ["records", "markdown"])
def test_one_job_and_two_jobs_give_identical_output(tmp_path: Path, command: str) -> None:
    bulk = need_bulk()
    outputs = []
    for jobs in ("1", "2"):
        target = tmp_path / f"{command}{jobs}"
        output = str(target / "out.jsonl") if command == "records" else str(target)
        target.mkdir()
        result = run_tool(command, str(bulk), str(DATA / "aps"), "-o", output, "--jobs", jobs)
        assert result.returncode == 0, result.stderr
        outputs.append({path.name: path.read_bytes() for path in sorted(target.iterdir())})
    assert outputs[0] == outputs[1]
    assert outputs[0] and all(outputs[0].values())


def test_markdown_files_are_named_by_number_with_duplicates_suffixed(tmp_path: Path) -> None:
    week = need_bulk() / "ipgb20221025-biblio-v47.xml"
    result = run_tool("markdown", str(week), "-o", str(tmp_path / "md"), "--jobs", "1")
    assert result.returncode == 0, result.stderr
    names = sorted(path.name for path in (tmp_path / "md").iterdir())
    assert len(names) == 11  # and no errors file, as nothing failed
    assert {"USD0967598S1.md", "USD0967598S1-2.md", "USPP034694P2.md", "USRE049257E1.md"} <= set(names)
    text = (tmp_path / "md" / "USPP034694P2.md").read_text(encoding="utf-8")
    assert "patent_number: USPP034694P2" in text or "publication_number: USPP034694P2" in text


def test_markdown_template_is_applied_and_checked(tmp_path: Path) -> None:
    week = tmp_path / "week.xml"
    week.write_text(grant_xml("08000001") + grant_xml("08000002", "Gadget"), encoding="utf-8")
    template = tmp_path / "layout.md"
    template.write_text("TITLE {{title}}\n", encoding="utf-8")
    result = run_tool("markdown", str(week), "-o", str(tmp_path / "md"), "--template", str(template), "--jobs", "1")
    assert result.returncode == 0, result.stderr
    assert (tmp_path / "md" / "US8000002B2.md").read_text(encoding="utf-8").startswith("TITLE # Gadget")
    template.write_text("{{no-such-section}}", encoding="utf-8")
    result = run_tool("markdown", str(week), "-o", str(tmp_path / "md2"), "--template", str(template))
    assert result.returncode == 2
    assert b"invalid template" in result.stderr


def test_markdown_options_render_tables_formulas_and_instructions(tmp_path: Path) -> None:
    source = DATA / "v4-grant" / "US07272630B2-v42.xml"
    options = {"tables": "html", "maths": "latex", "instructions": "drop"}
    arguments = [f"--{name}={value}" for name, value in options.items()]
    result = run_tool("markdown", str(source), "-o", str(tmp_path / "md"), "--jobs", "2", *arguments)
    assert result.returncode == 0, result.stderr
    expected = to_markdown(source.read_text(encoding="utf-8"), **options)
    assert (tmp_path / "md" / "US7272630B2.md").read_text(encoding="utf-8") == expected
    assert run_tool("markdown", str(source), "-o", str(tmp_path / "md2"), "--tables", "csv").returncode == 2


def broken_week(tmp_path: Path) -> Path:
    """The biblio sample with an undecodable and a truncated document after
    its third document."""
    text = (need_bulk() / "ipgb20221025-biblio-v47.xml").read_bytes()
    marker = b"<?xml version"
    pieces = [marker + piece for piece in text.split(marker)[1:]]
    bad_bytes = b'<?xml version="1.0"?>\n<us-patent-grant>\xff</us-patent-grant>\n'
    week = tmp_path / "broken.xml"
    week.write_bytes(b"".join(pieces[:3] + [bad_bytes, (TRUNCATED_XML + "\n").encode()] + pieces[3:]))
    return week


def test_broken_documents_go_to_the_errors_file_and_the_run_goes_on(tmp_path: Path) -> None:
    week = broken_week(tmp_path)
    result = run_tool("records", str(week), "-o", str(tmp_path / "out.jsonl"), "--jobs", "2")
    assert result.returncode == 0, result.stderr
    records = [json.loads(line) for line in lines(tmp_path / "out.jsonl")]
    assert [r["ordinal"] for r in records] == [1, 2, 3] + list(range(6, 14))
    errors = [json.loads(line) for line in lines(tmp_path / "out.errors.jsonl")]
    data = week.read_bytes()
    assert [(e["file"], e["member"], e["ordinal"]) for e in errors] == [(str(week), None, 4), (str(week), None, 5)]
    assert data[errors[0]["offset"] :].startswith(b'<?xml version="1.0"?>\n<us-patent-grant>\xff')
    assert data[errors[1]["offset"] :].startswith(TRUNCATED_XML.encode())
    assert errors[0]["message"] == "invalid UTF-8 at byte 39: invalid start byte"
    summary = result.stderr.decode().strip().splitlines()[-1]
    assert summary.startswith("tessellox: 13 documents")
    assert "2 failed: " in summary and "invalid UTF-8 at byte 39: invalid start byte (1)" in summary
    assert summary.endswith(f"see {tmp_path / 'out.errors.jsonl'}")


def test_fail_fast_stops_at_the_first_failure(tmp_path: Path) -> None:
    week = broken_week(tmp_path)
    errors = tmp_path / "custom-errors.jsonl"
    result = run_tool("records", str(week), "-o", str(tmp_path / "out.jsonl"), "--errors", str(errors), "--fail-fast")
    assert result.returncode == 1
    assert len(lines(tmp_path / "out.jsonl")) == 3
    assert [json.loads(line)["ordinal"] for line in lines(errors)] == [4]


# The command, with the region of week.xml that holds byte 5 MB unreadable.
_UNREADABLE_REGION = """
import sys
from tessellox_tools import cli, split

def read(region, read=split.Region.read):
    if region.file.endswith("week.xml") and region.start <= 5 << 20 < region.end:
        raise OSError(5, "Input/output error")
    return read(region)

split.Region.read = read
sys.exit(cli.main(sys.argv[1:]))
"""


@pytest.mark.parametrize("case", ["fail-fast", "unreadable region", "mixed"])
def test_one_job_writes_to_standard_output_what_two_jobs_write(tmp_path: Path, case: str) -> None:
    # One job writes the lines straight into the output, many documents to a
    # call; two through the workers' shards, a document to a call.
    bulk = need_bulk()
    week = tmp_path / "week.xml"
    if case == "mixed":
        # Documents a run of many stops at, among ordinary ones: failing,
        # invalid UTF-8 under the usual declaration, another encoding, no
        # declaration, and larger than the limit.
        latin = grant_xml("08000003", "Caf\u00e9").replace("UTF-8", "ISO-8859-1").encode("latin-1")
        bare = grant_xml("08000004").split("\n", 1)[1].encode()
        large = grant_xml("08000005", "x" * 300000).encode()
        invalid = grant_xml("08000006", "Caf\u00e9").encode().replace(b"\xc3\xa9", b"\xe9")
        week.write_bytes(broken_week(tmp_path).read_bytes() + latin + large + invalid + grant_xml("08000007").encode())
        (tmp_path / "bare.xml").write_bytes(bare)
        command = ["-m", "tessellox_tools", "records", str(week), str(tmp_path / "bare.xml"), str(bulk)]
        command.append(str(DATA / "aps"))
        command += ["--sections", "--max-document-size", "200000"]
    elif case == "fail-fast":
        week.write_bytes(broken_week(tmp_path).read_bytes())
        command = ["-m", "tessellox_tools", "records", str(week), str(bulk), "--fail-fast"]
    else:
        week.write_bytes((bulk / "ipg050104-small-v40.xml").read_bytes() * 8)  # regions of 4 MB
        command = ["-c", _UNREADABLE_REGION, "records", str(week), str(bulk)]
    one, two = (run_tool(*command, "--jobs", jobs, module=False) for jobs in ("1", "2"))
    assert one.returncode == two.returncode == (0 if case == "mixed" else 1)
    assert one.stdout == two.stdout
    assert re.sub(rb" in [0-9.]+ s", b"", one.stderr) == re.sub(rb" in [0-9.]+ s", b"", two.stderr)
    records = [json.loads(line) for line in one.stdout.splitlines()]
    if case == "mixed":
        numbers = [record["patent_number"] for record in records if "8000" in (record["patent_number"] or "")]
        assert numbers == ["US8000003B2", "US8000007B2", "US8000004B2"]
        assert b" 4 failed" in one.stderr
    elif case == "fail-fast":
        assert [record["ordinal"] for record in records] == [1, 2, 3]
    else:
        # Nothing of the file from the unreadable region on, though the regions after it can be read.
        offsets = [record["offset"] for record in records if record["file"] == str(week)]
        assert offsets and max(offsets) < 5 << 20 and len(records) > len(offsets)
        assert b"cannot read" in one.stderr


def test_unreadable_input_gives_status_1_after_reading_the_rest(tmp_path: Path) -> None:
    good = tmp_path / "good.xml"
    good.write_text(grant_xml("08000001"), encoding="utf-8")
    result = run_tool("records", str(tmp_path / "missing.xml"), str(good))
    assert result.returncode == 1
    assert [json.loads(line)["patent_number"] for line in result.stdout.decode().splitlines()] == ["US8000001B2"]
    assert f"cannot read {tmp_path / 'missing.xml'}: No such file or directory" in result.stderr.decode()


@pytest.mark.parametrize(
    "arguments, usage",
    [
        (["records", "--jobs", "0", "x.xml"], "usage: tessellox records"),
        (["records", "--jobs", "many", "x.xml"], "usage: tessellox records"),
        (["records", "x.xml", "-o", "out.csv"], "usage: tessellox records"),
        (["records", "x.xml", "--max-document-size", "lots"], "usage: tessellox records"),
        (["markdown", "x.xml"], "usage: tessellox markdown"),
        (["convert", "x.xml"], "usage: tessellox [-h]"),
        ([], "usage: tessellox [-h]"),
    ],
)
def test_wrong_arguments_give_status_2_and_the_usage_of_their_command(
    tmp_path: Path, arguments: List[str], usage: str
) -> None:
    result = run_tool(*arguments, cwd=tmp_path)
    assert result.returncode == 2
    assert result.stderr.decode().startswith(usage)


def test_version_and_help() -> None:
    version = run_tool("--version")
    assert version.returncode == 0 and version.stdout.decode() == f"tessellox {tessellox.__version__}\n"
    help_text = run_tool("records", "--help")
    assert help_text.returncode == 0 and b"examples:" in help_text.stdout and b"--jobs N" in help_text.stdout


def test_standard_input_plain_and_zipped(tmp_path: Path) -> None:
    week = (grant_xml("08000001") + grant_xml("08000002")).encode()
    archive = tmp_path / "week.zip"
    with zipfile.ZipFile(archive, "w", compression=zipfile.ZIP_DEFLATED) as zipped:
        zipped.writestr("ipg.xml", week)
    plain = run_tool("records", stdin=week)
    zipped_run = run_tool("records", "-", "--jobs", "1", stdin=archive.read_bytes())
    assert plain.returncode == 0 and zipped_run.returncode == 0, (plain.stderr, zipped_run.stderr)
    plain_records = [json.loads(line) for line in plain.stdout.decode().splitlines()]
    zipped_records = [json.loads(line) for line in zipped_run.stdout.decode().splitlines()]
    assert [(r["file"], r["member"], r["ordinal"], r["patent_number"]) for r in plain_records] == [
        ("-", None, 1, "US8000001B2"),
        ("-", None, 2, "US8000002B2"),
    ]
    assert [(r["member"], r["offset"]) for r in zipped_records] == [
        (r["member"] or "ipg.xml", r["offset"]) for r in plain_records
    ]


def test_detect_failures_keep_their_line_and_go_to_stderr(tmp_path: Path) -> None:
    week = tmp_path / "week.xml"
    week.write_bytes(grant_xml("08000001").encode() + b"<?xml version='1.0'?><other-root/>")
    result = run_tool("detect", str(week), "--jobs", "1")
    assert result.returncode == 0
    assert result.stdout.decode().splitlines() == [
        f"{week}\t-\t1\t0\tUsptoGrantV45",
        f"{week}\t-\t2\t{len(grant_xml('08000001'))}\t-",
    ]
    assert f"tessellox: {week} document 2 at byte" in result.stderr.decode()


def test_progress_bar_only_when_asked(tmp_path: Path) -> None:
    week = tmp_path / "week.xml"
    week.write_text(grant_xml("08000001"), encoding="utf-8")
    quiet = run_tool("records", str(week), "--jobs", "1")
    shown = run_tool("records", str(week), "--jobs", "1", "--progress")
    assert b"docs/s" not in quiet.stderr and len(quiet.stderr.decode().splitlines()) == 1
    assert b"1 docs" in shown.stderr and b"docs/s" in shown.stderr


def test_parquet_output_writes_documents_and_claims_tables(tmp_path: Path) -> None:
    pq = pytest.importorskip("pyarrow.parquet")
    week = tmp_path / "week.xml"
    week.write_text(grant_xml("08000001") + TRUNCATED_XML + "\n" + grant_xml("08000002"), encoding="utf-8")
    result = run_tool("records", str(week), "-o", str(tmp_path / "out.parquet"), "--jobs", "2")
    assert result.returncode == 0, result.stderr
    assert pq.read_table(tmp_path / "out.parquet").column("patent_number").to_pylist() == ["US8000001B2", "US8000002B2"]
    assert pq.read_table(tmp_path / "out.claims.parquet").column("ordinal").to_pylist() == [1, 3]
    assert len(lines(tmp_path / "out.errors.jsonl")) == 1


def test_skipped_files_are_named_and_an_input_without_documents_fails(tmp_path: Path) -> None:
    folder = tmp_path / "week"
    folder.mkdir()
    (folder / "ipg.xml").write_text(grant_xml("08000001"), encoding="utf-8")
    (folder / "notes.pdf").write_bytes(b"%PDF-1.4")
    images = tmp_path / "images.zip"
    with zipfile.ZipFile(images, "w") as archive:
        archive.writestr("figure.tif", b"II*\x00")
    nested = tmp_path / "nested.zip"
    with zipfile.ZipFile(nested, "w") as archive:
        archive.writestr("images.zip", images.read_bytes())
    result = run_tool(
        "records", str(folder), str(images), str(nested), "-o", str(tmp_path / "out.jsonl"), "--jobs", "2"
    )
    assert result.returncode == 1, result.stderr
    stderr = result.stderr.decode()
    assert "tessellox: 1 document (" in stderr
    assert (
        f"3 files skipped: {folder / 'notes.pdf'}, {images}!figure.tif, {nested}!images.zip!figure.tif; see " in stderr
    )
    assert f"tessellox: no document in {images}\n" in stderr and f"tessellox: no document in {nested}\n" in stderr
    errors = [json.loads(line) for line in lines(tmp_path / "out.errors.jsonl")]
    assert [(e["file"], e["member"], e["ordinal"], e["offset"]) for e in errors] == [
        (str(folder / "notes.pdf"), None, None, None),
        (str(images), "figure.tif", None, None),
        (str(nested), "images.zip!figure.tif", None, None),
    ]
    assert errors[0]["message"].startswith("skipped: neither a document")
    empty = run_tool("records", stdin=b"")
    assert empty.returncode == 1 and "no document in standard input" in empty.stderr.decode()


def test_gzip_and_tar_inputs_give_the_documents_of_the_plain_file(tmp_path: Path) -> None:
    week = (grant_xml("08000001") + grant_xml("08000002")).encode()
    (tmp_path / "ipg.xml").write_bytes(week)
    with tarfile.open(tmp_path / "week.tar.gz", "w:gz") as archive:
        archive.add(tmp_path / "ipg.xml", "ipg.xml")
    import gzip

    (tmp_path / "ipg.xml.gz").write_bytes(gzip.compress(week))
    for name in ("ipg.xml", "week.tar.gz", "ipg.xml.gz"):
        result = run_tool("records", str(tmp_path / name))
        assert result.returncode == 0, result.stderr
        assert [json.loads(line)["patent_number"] for line in result.stdout.decode().splitlines()] == [
            "US8000001B2",
            "US8000002B2",
        ]


@pytest.mark.skipif(not Path("/proc/self/status").exists(), reason="reads the peak memory from /proc")
def test_a_document_bomb_fails_alone_within_the_size_limit(tmp_path: Path) -> None:
    # One member expands to 160 MB without a second declaration; with a limit
    # of 1 MB the run holds far less than that, reports the document, goes on.
    bomb = tmp_path / "bomb.zip"
    with zipfile.ZipFile(bomb, "w", compression=zipfile.ZIP_DEFLATED) as archive:
        with archive.open("ipg.xml", "w") as member:
            member.write(grant_xml("08000001").encode() + b'<?xml version="1.0"?>\n<us-patent-grant>')
            for _ in range(160):
                member.write(b"x" * (1 << 20))
            member.write(b"</us-patent-grant>\n" + grant_xml("08000002").encode())
    # The peak of this process alone: ru_maxrss would carry the parent's over exec.
    script = (
        "import re, sys\n"
        "from tessellox_tools.cli import main\n"
        "status = main(sys.argv[1:])\n"
        "status_text = open('/proc/self/status').read()\n"
        "print(int(re.search(r'VmHWM:\\s*(\\d+)', status_text).group(1)) // 1024, status)\n"
    )
    output = tmp_path / "out.jsonl"
    result = run_tool(
        "-c", script, "records", str(bomb), "-o", str(output), "--jobs", "1", "--max-document-size", "1M", module=False
    )
    peak_mb, status = map(int, result.stdout.split())
    assert status == 0, result.stderr
    assert peak_mb < 100, f"peak memory {peak_mb} MB"
    assert [json.loads(line)["patent_number"] for line in lines(output)] == ["US8000001B2", "US8000002B2"]
    (error,) = [json.loads(line) for line in lines(tmp_path / "out.errors.jsonl")]
    assert (error["member"], error["ordinal"], error["offset"]) == ("ipg.xml", 2, len(grant_xml("08000001")))
    assert (
        error["message"].startswith("document of 16777")
        and "size limit of 1048576 bytes (--max-document-size)" in error["message"]
    )


def test_a_sequence_listing_is_named_apart_from_its_grant(tmp_path: Path) -> None:
    listing = (DATA / "seqcwu" / "US07521258-seq.xml").read_text(encoding="utf-8")
    week = tmp_path / "week.xml"
    week.write_text(grant_xml("07521258") + listing, encoding="utf-8")
    result = run_tool("markdown", str(week), "-o", str(tmp_path / "md"), "--jobs", "1")
    assert result.returncode == 0, result.stderr
    assert sorted(path.name for path in (tmp_path / "md").iterdir()) == ["US7521258B2-seq.md", "US7521258B2.md"]


@pytest.mark.parametrize("output", ["out.jsonl", "out.sqlite"])
def test_a_file_name_that_is_not_utf8_is_written_escaped(tmp_path: Path, output: str) -> None:
    folder = tmp_path / "in"
    folder.mkdir()
    try:
        (folder / "w\udcff.xml").write_text(grant_xml("08000001") + TRUNCATED_XML, encoding="utf-8")
    except (UnicodeEncodeError, OSError):
        pytest.skip("the file system takes only UTF-8 names")
    result = run_tool("records", str(folder), "-o", str(tmp_path / output), "--jobs", "1")
    assert result.returncode == 0, result.stderr
    errors = [json.loads(line) for line in lines(tmp_path / "out.errors.jsonl")]
    assert [error["file"] for error in errors] == [str(folder / "w\\xff.xml")]
    if output.endswith(".jsonl"):
        assert [json.loads(line)["file"] for line in lines(tmp_path / output)] == [str(folder / "w\\xff.xml")]


def _declared(encoding: str, codec: str, title: str) -> bytes:
    return grant_xml("08000001", title).replace('encoding="UTF-8"', f'encoding="{encoding}"').encode(codec)


@pytest.mark.parametrize(
    "data, title, message",
    [
        (_declared("ISO-8859-1", "latin-1", "Café"), "Café", None),
        (_declared("windows-1252", "cp1252", "“Café”"), "“Café”", None),
        (_declared("UTF-16", "utf-16", "Café"), "Café", None),
        (_declared("x-unknown", "utf-8", "Café"), None, "unknown encoding 'x-unknown' in the XML declaration"),
        (grant_xml("08000001", "Café").encode("latin-1"), None, "invalid UTF-8 at byte 529: invalid continuation byte"),
    ],
    ids=["latin-1", "windows-1252", "utf-16", "unknown", "undeclared-latin-1"],
)
def test_documents_are_decoded_by_their_declaration(
    tmp_path: Path, data: bytes, title: "str | None", message: "str | None"
) -> None:
    (tmp_path / "doc.xml").write_bytes(data)
    result = run_tool("records", str(tmp_path / "doc.xml"), "-o", str(tmp_path / "out.jsonl"))
    if title is not None:
        assert result.returncode == 0, result.stderr
        assert [json.loads(line)["title"] for line in lines(tmp_path / "out.jsonl")] == [title]
    else:
        # No document succeeded: that is not success.
        assert result.returncode == 1
        assert [json.loads(line)["message"] for line in lines(tmp_path / "out.errors.jsonl")] == [message]


def test_an_overlong_number_names_its_file_unique_and_short(tmp_path: Path) -> None:
    week = tmp_path / "week.xml"
    week.write_text(grant_xml("1" * 300) + grant_xml("1" * 300) + grant_xml("08000001"), encoding="utf-8")
    result = run_tool("markdown", str(week), "-o", str(tmp_path / "md"))
    assert result.returncode == 0, result.stderr
    names = sorted(path.name for path in (tmp_path / "md").iterdir())
    assert len(names) == 3 and "US8000001B2.md" in names
    assert all(len(name) <= 210 for name in names)


@pytest.mark.parametrize("output", ["missing/out.jsonl", "missing/out.parquet", "folder.jsonl"])
def test_an_unwritable_output_fails_before_reading_and_leaves_nothing(tmp_path: Path, output: str) -> None:
    pytest.importorskip("pyarrow")
    (tmp_path / "folder.jsonl").mkdir()
    week = tmp_path / "week.xml"
    week.write_text(grant_xml("08000001"), encoding="utf-8")
    result = run_tool("records", str(week), "-o", str(tmp_path / output))
    assert result.returncode == 1
    assert f"cannot write {tmp_path / output}".encode() in result.stderr
    assert b"document" not in result.stderr  # nothing was read
    assert sorted(path.name for path in tmp_path.iterdir()) == ["folder.jsonl", "week.xml"]
    # A missing input leaves no empty output behind.
    assert run_tool("records", str(tmp_path / "gone.xml"), "-o", str(tmp_path / "out.jsonl")).returncode == 1
    assert not (tmp_path / "out.jsonl").exists()
