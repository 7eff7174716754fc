"""The benchmark generators write documents that detect, parse and hit their sizes.

Not part of the default test run: `python -m pytest bench/test_generate.py`.
"""

import argparse
import sys
import xml.parsers.expat
from pathlib import Path

import pytest
import tessellox

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "bench"))
import generate  # noqa: E402
from documents import split_bulk  # noqa: E402

EXPECTED_FORMAT = {
    "grant": "UsptoGrantV45",
    "application": "UsptoApplicationV45",
    "st32": "UsptoGrantV25",
    "pap": "UsptoApplicationV15",
}


def well_formed(text: str) -> bool:
    parser = xml.parsers.expat.ParserCreate()
    parser.Parse(text.encode("utf-8"), True)
    return True


@pytest.mark.parametrize("size", [10_000, 250_000])
@pytest.mark.parametrize("kind", sorted(EXPECTED_FORMAT))
def test_document_detects_parses_and_has_its_size(kind, size):
    text = generate.generate_document(kind, size, seed=5)
    assert len(text.encode("utf-8")) == size
    assert well_formed(text)
    assert tessellox.detect_format(text) == EXPECTED_FORMAT[kind]
    document = tessellox.parse(text)
    assert document.source_format == EXPECTED_FORMAT[kind]
    assert document.title
    assert document.abstract_text
    assert len(document.claims) >= 3
    assert [claim.number for claim in document.claims] == list(range(1, len(document.claims) + 1))
    assert document.publication_number or document.patent_number
    markdown = tessellox.parse_to_markdown(text)
    assert document.title in markdown


def test_v4_grant_carries_the_constructs_of_real_documents():
    text = generate.generate_document("grant", 400_000, seed=2)
    for construct in (
        '<?BRFSUM description="Brief Summary" end="lead"?>',
        'end="tail"?>',
        '<!DOCTYPE us-patent-grant SYSTEM "us-patent-grant-v45',
        'dtd-version="v4.5 ',
        "<heading ",
        '<p id="p-',
        "<b>",
        "<i>",
        "<sub>",
        "<sup>",
        "<figref",
        "<tables ",
        "<maths ",
        "<claim-ref idref=",
        "<claim-text>a ",
        "&lsqb;",
        "&rsqb;",
        "&ldquo;",
        "&rdquo;",
        "&deg;",
        "&mdash;",
        "<us-related-documents>",
        "<classifications-ipcr>",
        "<assignees>",
        "<inventors>",
    ):
        assert construct in text, construct


def test_claim_references_point_back_to_earlier_claims():
    document = tessellox.parse(generate.generate_document("grant", 300_000, seed=9))
    for claim in document.claims[1:]:
        if "according to claim " in claim.text:
            target = int(claim.text.split("according to claim ")[1].split(",")[0])
            assert 1 <= target < claim.number


@pytest.mark.parametrize("kind", sorted(EXPECTED_FORMAT))
def test_same_seed_same_bytes_other_seed_other_bytes(kind):
    first = generate.generate_document(kind, 60_000, seed=3)
    assert generate.generate_document(kind, 60_000, seed=3) == first
    assert generate.generate_document(kind, 60_000, seed=4) != first


def test_pap_version_16_detects_as_16():
    text = generate.generate_document("pap", 50_000, seed=1, pap_version="1.6")
    assert tessellox.detect_format(text) == "UsptoApplicationV16"


def test_corpus_reaches_its_total_with_documents_in_range():
    documents = list(generate.generate_corpus("mixed", 3_000_000, 100_000, 400_000, seed=1))
    sizes = [len(document.encode("utf-8")) for document in documents]
    assert sum(sizes) >= 3_000_000
    assert sum(sizes) - sizes[-1] < 3_000_000
    assert all(100_000 <= size <= 400_000 for size in sizes)
    # The same documents laid end to end split back at their declarations.
    bulk = "".join(documents)
    assert split_bulk(bulk) == documents
    formats = {tessellox.detect_format(document) for document in documents}
    assert formats <= set(EXPECTED_FORMAT.values())


def test_corpus_files_and_bulk_file(tmp_path):
    generate.main(
        [
            "corpus",
            "--kind",
            "v4",
            "--total",
            "600KB",
            "--min-size",
            "100KB",
            "--max-size",
            "200KB",
            "--out-dir",
            str(tmp_path / "docs"),
        ]
    )
    generate.main(
        [
            "corpus",
            "--kind",
            "v4",
            "--total",
            "600KB",
            "--min-size",
            "100KB",
            "--max-size",
            "200KB",
            "--bulk",
            str(tmp_path / "bulk.xml"),
        ]
    )
    files = sorted((tmp_path / "docs").iterdir())
    bulk = (tmp_path / "bulk.xml").read_bytes().decode("utf-8")
    assert [path.read_bytes().decode("utf-8") for path in files] == split_bulk(bulk)
    for text in split_bulk(bulk):
        assert tessellox.parse(text).source_format in ("UsptoGrantV45", "UsptoApplicationV45")


@pytest.mark.parametrize(
    "text, size", [("10KB", 10_000), ("1.5MB", 1_500_000), ("64KiB", 65_536), ("123", 123), ("2 mb", 2_000_000)]
)
def test_parse_size(text, size):
    assert generate.parse_size(text) == size


def test_reference_extraction_agrees_on_the_plain_fields():
    pytest.importorskip("lxml")
    import reference_lxml

    text = generate.generate_document("grant", 150_000, seed=8)
    ours = tessellox.parse(text)
    theirs = reference_lxml.extract(text.encode("utf-8"))
    for field in (
        "patent_number",
        "publication_number",
        "application_number",
        "title",
        "filing_date",
        "publication_date",
        "inventors",
        "applicants",
        "assignees",
        "ipc_classifications",
        "us_classifications",
    ):
        assert getattr(ours, field) == theirs[field], field
    assert len(ours.claims) == len(theirs["claims"])


@pytest.mark.parametrize(
    "kind, constructs",
    [
        (
            "st32",
            (
                "<SDOBI>",
                "<B110><DNUM><PDAT>",
                "<PTEXT><PDAT>",
                "<HIL><BOLD><PDAT>",
                '<FGREF ID="DRAWINGS">',
                "<CLREF ID=",
                "<CLMSTEP",
                "<TABLE-CALS>",
                "<MATHML>",
                "&ldquo;",
                "<SDODR",
            ),
        ),
        (
            "pap",
            (
                "<subdoc-bibliographic-information>",
                "<title-of-invention>",
                "<highlight><bold>",
                '<cross-reference target="DRAWINGS">',
                "<dependent-claim-reference depends_on=",
                "<table-cwu",
                "<in-line-formula>",
                "&lsqb;",
                "<subdoc-drawings",
            ),
        ),
        (
            "application",
            (
                "<us-bibliographic-data-application",
                "<pct-or-regional-filing-data>",
                '<?DETDESC description="Detailed Description" end="lead"?>',
                "<claim-ref idref=",
            ),
        ),
    ],
)
def test_older_generations_and_applications_carry_their_markup(kind, constructs):
    text = generate.generate_document(kind, 400_000, seed=6)
    for construct in constructs:
        assert construct in text, construct


def test_target_below_the_fixed_parts_still_gives_a_whole_document():
    for kind in EXPECTED_FORMAT:
        text = generate.generate_document(kind, 1_000, seed=1)
        assert well_formed(text)
        assert len(tessellox.parse(text).claims) >= 3


@pytest.mark.parametrize(
    "call, error",
    [
        (lambda: generate.generate_document("patent", 10_000), ValueError),
        (lambda: generate.generate_document("pap", 10_000, pap_version="1.7"), ValueError),
        (lambda: list(generate.generate_corpus("grant", 1_000_000, 300_000, 200_000)), ValueError),
        (lambda: generate.parse_size("ten KB"), argparse.ArgumentTypeError),
        (lambda: generate.parse_size("10 TB"), argparse.ArgumentTypeError),
    ],
)
def test_bad_requests_are_refused(call, error):
    with pytest.raises(error):
        call()


# ---------------------------------------------------------------------------
# The reference extraction and the benchmark's own bookkeeping
# ---------------------------------------------------------------------------

GRANT_TEMPLATE = """<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE us-patent-grant SYSTEM "us-patent-grant-v45-2014-04-03.dtd" [ ]>
<us-patent-grant dtd-version="v4.5 2014-04-03">
<us-bibliographic-data-grant>
<publication-reference><document-id><country>US</country><doc-number>{number}</doc-number>
<kind>{kind}</kind><date>20150106</date></document-id></publication-reference>
<application-reference appl-type="utility"><document-id><country>US</country>
<doc-number>{application}</doc-number><date>20120315</date></document-id></application-reference>
<us-application-series-code>{series}</us-application-series-code>
<invention-title id="d1">Quoted &ldquo;<i>title</i>&rdquo; &amp; more</invention-title>
</us-bibliographic-data-grant>
<abstract id="abstract"><p id="p-0001" num="0000">First &deg; part.</p><p id="p-0002" num="0001"> </p></abstract>
<claims id="claims"><claim id="CLM-00001" num="00001"><claim-text>1. A thing.</claim-text></claim>
<claim id="CLM-00002" num="00002"><claim-text> </claim-text></claim>
<claim id="CLM-00003" num="00003"><claim-text>3. The thing of <claim-ref idref="CLM-00001">claim 1</claim-ref>.</claim-text></claim>
</claims>
</us-patent-grant>
"""


@pytest.mark.parametrize(
    "number, kind, application, series, patent, publication, application_number",
    [
        ("08927118", "B2", "123456", "09", "US8927118B2", None, "09123456"),
        ("RE038000", "E", "12345678", "10", "USRE038000E", None, "12345678"),
        ("20150075015", "A1", "123456", "9A", None, "US20150075015A1", "123456"),
        ("0000000", "S", "654321", "29", "US0S", None, "29654321"),
    ],
)
def test_reference_numbers(number, kind, application, series, patent, publication, application_number):
    pytest.importorskip("lxml")
    import reference_lxml

    fields = reference_lxml.extract(
        GRANT_TEMPLATE.format(number=number, kind=kind, application=application, series=series).encode("utf-8")
    )
    assert fields["patent_number"] == patent
    assert fields["publication_number"] == publication
    assert fields["application_number"] == application_number


def test_reference_decodes_undeclared_entities_and_skips_empty_claims():
    pytest.importorskip("lxml")
    import reference_lxml

    fields = reference_lxml.extract(
        GRANT_TEMPLATE.format(number="1", kind="B1", application="1", series="1").encode("utf-8")
    )
    assert fields["title"] == "Quoted \u201ctitle\u201d & more"
    assert fields["abstract_text"] == "First \u00b0 part."
    assert [number for number, _ in fields["claims"]] == [1, 2]
    assert fields["claims"][1][1] == "3. The thing of claim 1."


def test_measure_hands_every_document_to_every_competitor_each_round():
    pytest.importorskip("lxml")
    import parse_bench

    calls = []
    parse_bench.COMPETITORS["first"] = lambda document: calls.append(("first", document.name))
    parse_bench.COMPETITORS["second"] = lambda document: calls.append(("second", document.name))
    try:
        documents = [parse_bench.Document(f"d{i}", "<a/>") for i in range(4)]
        timings = parse_bench.measure(documents, ["first", "second"], repeat=3)
    finally:
        del parse_bench.COMPETITORS["first"], parse_bench.COMPETITORS["second"]
    assert len(timings.rounds["first"]) == len(timings.rounds["second"]) == 3
    measured = calls[6:]  # after the warm-up on the first three documents
    for name in ("first", "second"):
        assert [doc for who, doc in measured if who == name] == ["d0", "d1", "d2", "d3"] * 3
    # The order rotates: each competitor goes first on some documents.
    firsts = {measured[i][0] for i in range(0, len(measured), 2)}
    assert firsts == {"first", "second"}


@pytest.mark.parametrize(
    "value, target, at_most, verdict",
    [
        (0.61, 0.6, False, "met"),
        (0.59, 0.6, False, "MISSED"),
        (2.9, 3.0, True, "met"),
        (3.1, 3.0, True, "MISSED"),
    ],
)
def test_report_verdicts(value, target, at_most, verdict):
    pytest.importorskip("lxml")
    import parse_bench

    report = parse_bench.Report()
    report.ratio("workload", "figure", value, target, at_most=at_most)
    assert report.rows[0][3].split()[-1] == verdict
