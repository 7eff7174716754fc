"""Parsing from Python: getters, claims, reprs, object identity and reference counts."""

import gc
import sys

import pytest
import tessellox
from conftest import EXAMPLES, read_text


@pytest.fixture
def grant(grant_xml):
    return tessellox.parse(grant_xml)


def test_grant_getters(grant):
    assert grant.source_format == "UsptoGrantV45"
    assert grant.patent_number == "US10000000B2"
    assert grant.publication_number is None
    assert grant.application_number == "14643719"
    assert grant.filing_date == "20150310"
    assert grant.publication_date == "20180619"
    assert grant.priority_date is None
    assert grant.title == "Coherent LADAR using intra-pixel quadrature detection"
    assert grant.inventors == ["Joseph Marron"]
    assert grant.applicants == ["Raytheon Company"]
    assert grant.assignees == ["Raytheon Company"]
    assert grant.ipc_classifications == ["G01S7/48", "G01S7/486", "G01S7/491", "G01S13/89"]
    assert grant.abstract_text.startswith("A frequency modulated (coherent) laser detection")


def test_grant_claims_keep_nested_claim_texts_apart(grant):
    claims = grant.claims
    assert [claim.number for claim in claims] == list(range(1, 21))
    first = claims[0].text
    assert first.startswith("1. A laser detection and ranging (LADAR) system, comprising:")
    # Nested claim texts start lines of their own instead of running together.
    assert "region configured to receive return light" in first
    assert "and\nlocal processing circuitry" in first
    assert "cycle;\na data bus" in first
    assert claims[1].text == (
        "2. The system according to claim 1, wherein the two-dimensional array of detector elements comprises a "
        "large format array."
    )


def test_application_getters(application_xml):
    doc = tessellox.parse(application_xml)
    assert doc.source_format == "UsptoApplicationV45"
    assert doc.publication_number == "US20220159901A1"
    assert doc.patent_number is None
    assert doc.application_number == "17437086"
    assert doc.filing_date == "20190919"
    assert doc.title == "SEED DISTRIBUTOR USED FOR AGRICULTURAL MACHINES"
    assert doc.applicants == ["Ariel Alberto Antonio Spinsanti"]
    assert doc.inventors == ["Ariel Alberto Antonio Spinsanti"]
    assert doc.assignees == []
    assert doc.ipc_classifications == ["A01C7/04"]
    assert len(doc.claims) == 6


def test_aps_getters(aps_text):
    doc = tessellox.parse(aps_text)
    assert doc.source_format == "UsptoGrantApsGreenBook"
    assert doc.patent_number == "US3930271B1"
    assert doc.application_number == "5328756"
    assert doc.filing_date == "19741216"
    assert doc.publication_date == "19760106"
    assert doc.title == "Golf glove"
    assert doc.inventors == ["He Chung Kahng"]
    assert doc.assignees == ["Hi-Kahng Trading Co."]
    assert doc.abstract_text.startswith("A golf glove is disclosed having an extra finger pocket")


def test_getters_build_new_objects_each_time(grant):
    assert grant.inventors == grant.inventors
    assert grant.inventors is not grant.inventors
    mutated = grant.assignees
    mutated.append("someone else")
    assert grant.assignees == ["Raytheon Company"]
    first, second = grant.claims, grant.claims
    assert first is not second
    assert all(a is not b and (a.number, a.text) == (b.number, b.text) for a, b in zip(first, second))


def test_two_parses_are_independent_and_equal(grant_xml):
    a, b = tessellox.parse(grant_xml), tessellox.parse(grant_xml)
    assert a is not b
    assert (a.patent_number, a.title, [c.text for c in a.claims]) == (
        b.patent_number,
        b.title,
        [c.text for c in b.claims],
    )


def test_document_repr(grant):
    assert repr(grant) == (
        'Document(publication_number=None, title="Coherent LADAR using intra-pixel quadrature detection")'
    )


def test_document_repr_without_number_and_title():
    doc = tessellox.parse("<sequence-cwu></sequence-cwu>")
    assert repr(doc) == "Document(publication_number=None, title=None)"


def claim_with_text(text: str) -> "tessellox.Claim":
    xml = (
        '<us-patent-grant dtd-version="v4.5"><claims><claim id="c1"><claim-text>'
        + text
        + "</claim-text></claim></claims></us-patent-grant>"
    )
    return tessellox.parse(xml).claims[0]


@pytest.mark.parametrize(
    "text, expected",
    [
        ("a" * 60, 'Claim(number=1, text="' + "a" * 60 + '")'),
        ("a" * 61, 'Claim(number=1, text="' + "a" * 60 + '"\u2026)'),
        ("\u00e9" * 61, 'Claim(number=1, text="' + "\u00e9" * 60 + '"\u2026)'),
        ('say "hi" \\ it\'s', 'Claim(number=1, text="say \\"hi\\" \\\\ it\'s")'),
        ("tab\there&#13;cr", 'Claim(number=1, text="tab\\there\\rcr")'),
        ("ctl\u0085x\u00a0y\u200b", 'Claim(number=1, text="ctl\\u{85}x\u00a0y\\u{200b}")'),
    ],
)
def test_claim_repr(text, expected):
    assert repr(claim_with_text(text)) == expected


def test_claims_skip_empty_and_number_by_position():
    xml = (
        '<us-patent-grant dtd-version="v4.5"><claims>'
        '<claim id="a"><claim-text>first</claim-text></claim>'
        '<claim id="b"><claim-text>   </claim-text></claim>'
        '<claim id="c"><claim-text>third</claim-text></claim>'
        "</claims></us-patent-grant>"
    )
    assert [(c.number, c.text) for c in tessellox.parse(xml).claims] == [(1, "first"), (2, "third")]


def test_malformed_document_reports_the_xml_error():
    with pytest.raises(ValueError) as raised:
        tessellox.parse('<us-patent-grant dtd-version="v4.5"><a></b></us-patent-grant>')
    assert "mismatched tag" in str(raised.value)
    assert "line 1, column" in str(raised.value)


def test_wrong_root_for_the_handler():
    with pytest.raises(ValueError) as raised:
        tessellox.parse('<PATDOC DTD="2.5"><x/></PATDOC><!-- us-patent-grant-v45 -->')
    assert str(raised.value) == "source detection failed: conflicting XML version markers"


def test_reference_counts_of_returned_objects(grant):
    gc.collect()
    for getter in ("title", "inventors", "claims", "abstract_text", "source_format"):
        value = getattr(grant, getter)
        assert sys.getrefcount(value) == 2, getter  # the local name and the call's argument
    claims = grant.claims
    for claim in claims:
        assert sys.getrefcount(claim) == 3  # the list, the loop name and the argument
    fresh = tessellox.parse(read_text(EXAMPLES / "US10000000-v45.xml"))
    assert sys.getrefcount(fresh) == 2
