"""The record's fields beyond the fifteen derived values, checked against the
source elements of every real document, and the fifteen against
`document_record`."""

from __future__ import annotations

import re
from typing import Any, Dict, List, Tuple

import pytest
import tessellox
from tessellox_tools.records import DOCUMENT_FIELDS, RECORD_FIELDS, document_record, text_record
from tools_helpers import DATA, grant_xml


def real_documents() -> List[Tuple[str, str]]:
    """(label, text) of every real document; bulk files split at each XML
    declaration."""
    documents = []
    for path in sorted(DATA.glob("*/*")):
        if path.suffix not in (".xml", ".txt"):
            continue
        with open(path, encoding="utf-8", newline="") as stream:
            text = stream.read()
        if path.parent.name != "bulk":
            documents.append((f"{path.parent.name}/{path.name}", text))
            continue
        starts = [match.start() for match in re.finditer(r"<\?xml", text)]
        for index, (start, end) in enumerate(zip(starts, starts[1:] + [len(text)])):
            documents.append((f"bulk/{path.name}#{index + 1}", text[start:end]))
    return documents


DOCUMENTS = real_documents()
RECORDS: Dict[str, Any] = {}


def record(label: str, text: str) -> Dict[str, Any]:
    if label not in RECORDS:
        try:
            RECORDS[label] = text_record(text)
        except ValueError:
            RECORDS[label] = None
    return RECORDS[label]


def parsed(label: str, text: str) -> Dict[str, Any]:
    result = record(label, text)
    if result is None:
        pytest.skip("not well formed as published")
    return result


def is_aps(text: str) -> bool:
    return not text.lstrip().startswith("<")


def aps_sections(text: str) -> List[Tuple[str, List[str]]]:
    """APS text as (header, field tags) in order."""
    sections: List[Tuple[str, List[str]]] = []
    for line in text.splitlines():
        tag = line[:4].strip()
        if re.fullmatch(r"[A-Z]{4}", line.rstrip()):
            sections.append((line.strip(), []))
        elif tag and sections and not line.startswith(" "):
            sections[-1][1].append(tag)
    return sections


def source_citations(text: str) -> int:
    if is_aps(text):
        return sum(1 for header, tags in aps_sections(text) if header in ("UREF", "FREF")) + sum(
            tags.count("PAL") for header, tags in aps_sections(text) if header == "OREF"
        )
    return len(re.findall(r"<(?:us-citation|citation|B561|B562)\b", text))


def source_priority_claims(text: str) -> int:
    if is_aps(text):
        return sum(1 for header, _ in aps_sections(text) if header == "PRIR")
    return len(re.findall(r"<(?:priority-claim|foreign-priority-data|B300)\b", text))


def source_cpc_codes(text: str) -> int:
    codes = set()
    for block in re.findall(r"<classifications-cpc>(.*?)</classifications-cpc>", text, re.S):
        for classification in re.findall(r"<classification-cpc>(.*?)</classification-cpc>", block, re.S):
            parts = [
                re.search(rf"<{name}>\s*(.*?)\s*</{name}>", classification)
                for name in ("section", "class", "subclass", "main-group", "subgroup")
            ]
            codes.add(tuple(part.group(1) for part in parts if part))
    return len(codes)


COUNTS = [
    ("citations", source_citations),
    ("foreign_priority", source_priority_claims),
    ("cpc_classifications", source_cpc_codes),
]


@pytest.mark.parametrize("field, count", COUNTS, ids=[field for field, _ in COUNTS])
def test_counts_equal_the_source_elements(field, count) -> None:
    checked = 0
    for label, text in DOCUMENTS:
        result = record(label, text)
        if result is None:
            continue
        assert len(result[field]) == count(text), label
        checked += count(text)
    assert checked > 0


@pytest.mark.parametrize("label, text", DOCUMENTS, ids=[label for label, _ in DOCUMENTS])
def test_fifteen_fields_equal_document_record_and_new_fields_follow(label, text) -> None:
    result = parsed(label, text)
    assert list(result) == list(RECORD_FIELDS)
    expected = document_record(tessellox.parse(text))
    for name in DOCUMENT_FIELDS[:-1]:
        assert result[name] == expected[name], name
    assert [{"number": c["number"], "text": c["text"]} for c in result["claims"]] == expected["claims"]
    dates = [claim["date"] for claim in result["foreign_priority"] if claim["date"]]
    dates += [result["priority_date"]] if result["priority_date"] else []
    assert result["earliest_priority_date"] == (min(dates) if dates else None)


V4 = [(label, text) for label, text in DOCUMENTS if "<us-patent-" in text[:2000]]

# A record reads citations from the parse's tree and the model keeps their
# elements without them; a party misplaced in a citation still counts where
# the getters find it.
_CITED = (
    "<us-references-cited>\n<us-citation><patcit><document-id><country>US</country><doc-number>5</doc-number>"
    "<name>Named</name></document-id></patcit>{inside}</us-citation>\n</us-references-cited>\n"
)
MISPLACED_PARTIES = {
    "citation only": _CITED.format(inside=""),
    "inventor in a citation": _CITED.format(
        inside="<inventor><addressbook><last-name>Cited</last-name></addressbook></inventor>"
    ),
    "assignee in a citation": _CITED.format(inside="<assignee><orgname>Cited Co</orgname></assignee>"),
}


@pytest.mark.parametrize("cited", MISPLACED_PARTIES.values(), ids=list(MISPLACED_PARTIES))
def test_citations_read_in_place_leave_the_getters_fields_as_they_are(cited: str) -> None:
    text = grant_xml("08000001").replace("<invention-title", cited + "<invention-title")
    result = text_record(text)
    assert result["citations"][0]["number"] == "5" and result["citations"][0]["name"] == "Named"
    expected = document_record(tessellox.parse(text))
    for name in DOCUMENT_FIELDS[:-1]:
        assert result[name] == expected[name], name


@pytest.mark.parametrize("label, text", V4, ids=[label for label, _ in V4])
def test_every_dependent_claim_resolves_to_an_earlier_claim(label, text) -> None:
    result = parsed(label, text)
    claims = re.findall(r"<claim\b[^>]*>(.*?)</claim>", text, re.S)
    assert len(claims) == len(result["claims"])
    for source, claim in zip(claims, result["claims"]):
        # A claim may name its claims in plain text too ("as claimed in any
        # one of claims <b>1</b> and <b>2</b>"): those count as well.
        if "<claim-ref" in source:
            assert claim["depends_on"], (label, claim["number"])
        assert all(0 < number < claim["number"] for number in claim["depends_on"])


PINNED = [
    (
        "v4-grant/US08613112-v44-pretty.xml",
        {
            "kind_code": "B2",
            "document_type": "utility",
            "foreign_priority": [{"country": "IT", "number": "BO2008A0338", "date": "20080528"}],
            "earliest_priority_date": "20080528",
            "citations[1]": {
                "kind": "patent",
                "country": "US",
                "number": "6561814",
                "kind_code": "B2",
                "date": "20030500",
                "name": "Tilbury et al.",
                "category": "cited by examiner",
                "text": None,
            },
            "claims[1]['depends_on']": [1],
        },
    ),
    (
        "v4-grant/US11646472-v47.xml",
        {"cpc_classifications[:2]": ["H01M50/46", "H01G11/06"], "document_type": "utility"},
    ),
    ("v4-grant/USD0631641-v42.xml", {"kind_code": "S1", "document_type": "design"}),
    (
        "pap/US20010000943A1.xml",
        {
            "foreign_priority": [{"country": "JP", "number": "11-097727", "date": "19990405"}],
            "document_type": "application",
        },
    ),
    (
        "st32/US06337117.xml",
        {
            "foreign_priority[0]": {"country": "JP", "number": "10-186098", "date": "19980701"},
            "citations[0]": {
                "kind": "patent",
                "country": "US",
                "number": "5422489",
                "kind_code": "A",
                "date": "19950600",
                "name": "Bhargava",
                "category": "cited by examiner",
                "text": None,
            },
            "earliest_priority_date": "19980701",
        },
    ),
    (
        "aps/US03932709.aps.txt",
        {
            "citations[0]": {
                "kind": "patent",
                "country": "US",
                "number": "3518629",
                "kind_code": None,
                "date": "19700600",
                "name": "Frankel",
                "category": None,
                "text": None,
            },
            "document_type": "utility",
        },
    ),
    ("seqcwu/US07521258-seq.xml", {"document_type": "sequence-listing", "citations": []}),
    # Entity references read as their characters in the record only.
    ("bulk/pg020507-100docs-st32.xml#98", {"citations[21]['name']": "M\u00fcller et al."}),
    ("bulk/pg020507-100docs-st32.xml#90", {"citations[9]['text']": "Akron Brass\u00ae, Catalog 108, 3 pgs., 1998."}),
]


@pytest.mark.parametrize("label, expected", PINNED, ids=[label for label, _ in PINNED])
def test_pinned_fields_read_from_the_file(label, expected) -> None:
    text = dict(DOCUMENTS)[label]
    result = parsed(label, text)
    for path, value in expected.items():
        assert eval(path, {}, result) == value, path  # noqa: S307 - the paths are this table's own


def test_both_json_encoders_write_the_same_bytes() -> None:
    # JSON Lines output must not depend on whether orjson is installed.
    import json

    orjson = pytest.importorskip("orjson")
    for label, text in DOCUMENTS:
        result = record(label, text)
        if result is not None:
            assert orjson.dumps(result) == json.dumps(result, ensure_ascii=False, separators=(",", ":")).encode(), label


BAD_INPUTS = [
    "",
    "not a patent",
    "<?xml version='1.0'?><unknown-root/>",
    '<?xml version="1.0"?>\n<us-patent-grant lang="EN" dtd-version="v4.5 2014-04-03">\n<us-bib',
    "PATN\nTTL  No number\n",
]


@pytest.mark.parametrize("text", BAD_INPUTS)
def test_bad_input_fails_with_the_message_of_parse(text) -> None:
    with pytest.raises(ValueError) as expected:
        tessellox.parse(text)
    with pytest.raises(ValueError) as failed:
        text_record(text, ("f", None, 1, 0))
    assert str(failed.value) == str(expected.value)
    with pytest.raises(ValueError) as failed:
        text_record(text.encode(), ("f", None, 1, 0))
    assert str(failed.value) == str(expected.value)


@pytest.mark.parametrize("label, text", DOCUMENTS[::5], ids=[label for label, _ in DOCUMENTS[::5]])
def test_bytes_give_the_record_of_the_text(label, text) -> None:
    result = record(label, text)
    if result is None:
        with pytest.raises(ValueError):
            text_record(text.encode())
    else:
        assert text_record(text.encode()) == result


def test_bytes_that_are_not_utf8_fail_as_decoding_does() -> None:
    data = "<?xml version='1.0'?><a>é</a>".encode()[:-5] + b"\xff</a>"
    with pytest.raises(UnicodeDecodeError) as expected:
        data.decode()
    with pytest.raises(UnicodeDecodeError) as failed:
        text_record(data)
    assert str(failed.value) == str(expected.value)


@pytest.mark.parametrize("arguments", [(bytearray(b"<x/>"),), ("PATN\n", "file"), ("PATN\n", ("f", None, 1))])
def test_wrong_arguments_raise_type_error(arguments) -> None:
    with pytest.raises(TypeError):
        text_record(*arguments)
