"""The native record helper leaks nothing: many calls keep the process size
flat, and nothing in a record is held twice."""

from __future__ import annotations

import json
import sys

import pytest
from tessellox_tools.records import text_record, text_record_json
from test_leaks import GOOD_SMALL, REAL, assert_flat, fresh_count, sanitized, texts

ORIGIN = ("week.xml", None, 7, 1024)


def call_text_record(i: int) -> None:
    for function in (text_record, text_record_json):
        try:
            function(texts(i), ORIGIN if i % 2 else None)
        except ValueError:
            pass
    text = texts(i)
    data = b"<x>" + (text.encode() if isinstance(text, str) else text) + b"\xff"
    try:
        text_record_json(data, ("f", "m", 1, 2) if i % 2 else (1, None, 1, 2), 3, len(data) - 1)
    except (ValueError, TypeError):
        pass
    try:
        text_record(b"<x/>" if i % 3 else "PATN\n", 5)
    except TypeError:
        pass


@pytest.mark.skipif(sanitized(), reason="AddressSanitizer holds freed memory in quarantine")
def test_process_size_stays_flat() -> None:
    assert_flat(call_text_record, 50_000)


def same_holders(value, twin, where) -> None:
    """Every dict and list of the record is held as often as the same place
    of its twin built by Python (a copy through JSON), walked alike."""
    if isinstance(value, (dict, list)):
        assert sys.getrefcount(value) == sys.getrefcount(twin), where
    if isinstance(value, dict):
        for key in value:
            same_holders(value[key], twin[key], (where, key))
    elif isinstance(value, list):
        for position in range(len(value)):
            same_holders(value[position], twin[position], (where, position))


@pytest.mark.parametrize("text", GOOD_SMALL + REAL, ids=lambda text: text[:20])
def test_records_are_owned_by_the_caller_alone(text) -> None:
    origin = ("".join(["week", ".xml"]), None, 7, 1024)
    before = sys.getrefcount(origin[0])
    for _ in range(100):
        text_record(text, origin)
        text_record_json(text, origin)
    after = sys.getrefcount(origin[0])  # not inside assert: pytest's rewriting would hold the item
    assert after == before
    record = text_record(text, origin)
    assert sys.getrefcount(record) == fresh_count()
    twin = json.loads(json.dumps(record))
    same_holders(record, twin, "record")
