"""The native JSON line of a record (`text_record_json`, what the records
command writes) against the standard library's encoding of the record's
dict, and its UTF-8 check against Python's decoder."""

from __future__ import annotations

import json
from typing import Any, Dict, List, Tuple

import pytest
from tessellox_tools.records import text_record, text_record_json
from tessellox_tools.split import Origin, iter_documents
from tessellox_tools.work import JsonLineJoiner
from tools_helpers import DATA, TRUNCATED_XML, grant_xml

# Values that need every kind of escape, and characters that need none
# (DEL, U+0085, U+2028, non-BMP); APS text keeps raw control characters.
ESCAPES_XML = grant_xml("08000001", 'T&#9;a&#13;b&#10;c "q" \\ d\x7f e\u2028 é 😀', 'A &#9;claim&#13; \\ "x" \x85.')
# Long runs of escapes outgrow the room reserved for a value.
ESCAPES_APS = (
    'PATN\nWKU  039302717\nTTL  Probe\x01\x1f\x0c\x08 t\x7f\u2028"\\ title\nABST\nPAL  An\x0b abstract\x02.'
    + "\x01\\" * 300
    + "\n"
)
ORIGINS = [
    None,
    Origin("dir/wk.zip", None, 1, 0),
    Origin('dir/\u00fcber "x"\\\t.xml', "m\x01\u2028.xml", 3, 10**12),
]


def python_line(record: Dict[str, Any]) -> bytes:
    return json.dumps(record, ensure_ascii=False, separators=(",", ":")).encode("utf-8") + b"\n"


def documents() -> List[Tuple[str, bytes]]:
    found = [(f"{raw.origin.file}#{raw.origin.ordinal}", raw.data) for raw in iter_documents([str(DATA)])]
    assert len(found) > 100
    return found + [
        ("escapes.xml", ESCAPES_XML.encode()),
        ("escapes.aps", ESCAPES_APS.encode()),
        ("truncated", TRUNCATED_XML.encode()),
        ("not utf-8", grant_xml("08000002").encode().replace(b"Widget", b"Wid\xe2\x82get")),
    ]


def test_every_document_gives_the_line_of_its_record() -> None:
    """The bytes are those the package wrote from the dict, for every real
    document under every kind of origin; a failure is the dict's failure."""
    compared = failed = 0
    for label, data in documents():
        for origin in ORIGINS:
            try:
                expected = python_line(text_record(data, origin))
            except ValueError as error:
                with pytest.raises(type(error)) as raised:
                    text_record_json(data, origin)
                assert str(raised.value) == str(error), label
                failed += 1
                continue
            assert text_record_json(data, origin) == expected, (label, origin)
            assert text_record_json(data.decode(), origin) == expected, (label, origin)
            if origin is not None:
                assert JsonLineJoiner().line(origin, text_record_json(data)) == expected, (label, origin)
            compared += 1
    assert compared > 300 and failed >= 2 * len(ORIGINS)


def test_sections_are_asked_for_and_written_alike() -> None:
    """With sections the line holds text_sections after the other tables, as
    the dict does; without, both hold None there."""
    with_sections = 0
    for label, data in documents():
        try:
            record = text_record(data, sections=True)
        except ValueError:
            continue
        assert text_record_json(data, sections=True) == python_line(record), label
        without = text_record(data)
        assert text_record_json(data) == python_line(without), label
        assert without["text_sections"] is None and list(record)[-4:] == [
            "parties",
            "related_documents",
            "pct",
            "text_sections",
        ], label
        with_sections += bool(record["text_sections"])
    assert with_sections > 100
    with pytest.raises(TypeError):
        text_record(ESCAPES_XML, None, True)


# Each sequence is placed in a short document (checked byte by byte) and in
# a long one (checked in blocks), at and beside a block's edge.
@pytest.mark.parametrize(
    "sequence",
    [
        b"\xc3\xa9",  # é
        b"\xe0\xa0\x80",  # U+0800, the smallest three-byte form
        b"\xed\x9f\xbf",  # U+D7FF, below the surrogates
        b"\xef\xbf\xbf",  # U+FFFF
        b"\xf0\x90\x80\x80",  # U+10000
        b"\xf4\x8f\xbf\xbf",  # U+10FFFF
        b"\x80",  # a continuation byte alone
        b"\xc0\x80",  # overlong NUL
        b"\xc1\xbf",  # overlong
        b"\xe0\x9f\xbf",  # overlong three-byte form
        b"\xed\xa0\x80",  # a surrogate
        b"\xf0\x8f\xbf\xbf",  # overlong four-byte form
        b"\xf4\x90\x80\x80",  # above U+10FFFF
        b"\xf5\x80\x80\x80",
        b"\xff",
        b"\xe2\x82",  # cut short
        b"\xf0\x9f\x98",  # cut short
        b"\xc3",  # cut short at the very end
    ],
)
def test_utf8_check_agrees_with_the_decoder(sequence: bytes) -> None:
    grant = grant_xml("08000003").encode()
    for data in (
        b"<a>" + sequence,
        sequence + b"</a>",
        grant.replace(b"Widget", b"W" + sequence),
        grant[:63] + sequence + grant[63:],
        grant + sequence,
    ):
        # The document read where it lies among others: positions count from its start.
        before = b"\xff<?xml "
        around = before + data + b"\xe2"

        def ranged(data: bytes, around: bytes = around, start: int = len(before)) -> bytes:
            return text_record_json(around, None, start, start + len(data))

        try:
            data.decode("utf-8")
        except UnicodeDecodeError as error:
            for function in (text_record, text_record_json, ranged):
                with pytest.raises(UnicodeDecodeError) as raised:
                    function(data)
                assert (raised.value.start, raised.value.end, raised.value.reason) == (
                    error.start,
                    error.end,
                    error.reason,
                )
            continue
        try:
            expected = python_line(text_record(data))
        except ValueError:
            continue
        assert text_record_json(data) == ranged(data) == expected


@pytest.mark.parametrize(
    "origin, error",
    [
        ("f.xml", TypeError),
        ((1, None, 1, 0), TypeError),
        (("f", None, "1", 0), TypeError),
        (("f", None, True, 0), TypeError),
        (("f", None, 1), TypeError),
        (("f\udcff", None, 1, 0), UnicodeEncodeError),
    ],
)
def test_origin_that_json_lines_cannot_hold_is_refused(origin: Any, error: type) -> None:
    with pytest.raises(error):
        text_record_json(grant_xml("08000004"), origin)


@pytest.mark.parametrize(
    "text, start, end, error",
    [(b"<a/>", -1, 2, ValueError), (b"<a/>", 3, 2, ValueError), (b"<a/>", 0, 5, ValueError), ("<a/>", 0, 2, TypeError)],
)
def test_range_outside_the_bytes_is_refused(text: Any, start: int, end: int, error: type) -> None:
    with pytest.raises(error, match="start and end"):
        text_record_json(text, None, start, end)
