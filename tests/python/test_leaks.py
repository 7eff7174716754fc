"""Leaks: 100,000 calls of every entry point keep the process size flat, and
every returned object carries exactly the references its caller holds.

The bulk of the calls use small inline documents so that the run stays short;
the bundled examples are mixed in at a lower rate.
"""

import gc
import inspect
import os
import sys

import pytest
import tessellox
from conftest import EXAMPLES, read_text

if not os.path.exists("/proc/self/statm"):
    pytest.skip("process size is read from /proc", allow_module_level=True)

CALLS = 100_000
WARM_UP = 5_000
PAGE = os.sysconf("SC_PAGE_SIZE")
# A leak of a few dozen bytes per call shows as megabytes over 100,000 calls.
TOLERANCE = 2 * 1024 * 1024

SMALL_GRANT = (
    '<?xml version="1.0"?><us-patent-grant dtd-version="v4.5 2014-04-03"><us-bibliographic-data-grant>'
    "<publication-reference><document-id><country>US</country><doc-number>07000001</doc-number><kind>B2</kind>"
    "<date>20060101</date></document-id></publication-reference>"
    '<application-reference appl-type="utility"><document-id><doc-number>123456</doc-number><date>20040101</date>'
    "</document-id></application-reference><us-application-series-code>10</us-application-series-code>"
    "<invention-title>Small grant \u00e9</invention-title><us-parties><us-applicants><us-applicant><addressbook>"
    "<orgname>Acme</orgname></addressbook></us-applicant></us-applicants><inventors><inventor><addressbook>"
    "<first-name>Ann</first-name><last-name>Lee</last-name></addressbook></inventor></inventors></us-parties>"
    "</us-bibliographic-data-grant><abstract><p>An <b>abstract</b> &lsqb;1&rsqb;.</p></abstract>"
    '<description><heading level="1">FIELD</heading><p>Text <sub>2</sub>.</p></description>'
    '<claims><claim id="CLM-1"><claim-text>1. A thing.</claim-text></claim>'
    '<claim id="CLM-2"><claim-text>2. The thing of <claim-ref idref="CLM-1">claim 1</claim-ref>.</claim-text></claim>'
    "</claims></us-patent-grant>"
)
SMALL_APS = "PATN\nWKU  039302717\nTTL  Golf glove\nISD  19760106\nINVT\nNAM  Kahng; He Chung\nABST\nPAL  A glove.\nCLMS\nNUM  1.\nPAR  1. A glove.\n"
SMALL_PAP = (
    '<?xml version="1.0"?><!DOCTYPE patent-application-publication SYSTEM "pap-v16-2002-01-01.dtd">'
    "<patent-application-publication><subdoc-bibliographic-information><document-id><doc-number>20020000001"
    "</doc-number><kind-code>A1</kind-code></document-id><technical-information><title-of-invention>Pap"
    "</title-of-invention></technical-information></subdoc-bibliographic-information></patent-application-publication>"
)
SMALL_ST32 = (
    '<?xml version="1.0"?><PATDOC DTD="2.5"><SDOBI><B100><B110><DNUM><PDAT>06123456</PDAT></DNUM></B110>'
    "<B130><PDAT>B1</PDAT></B130></B100><B500><B540><STEXT><PDAT>St32</PDAT></STEXT></B540></B500></SDOBI></PATDOC>"
)
SMALL_SEQUENCE = "<sequence-cwu><s200><s210>1</s210></s200></sequence-cwu>"

FAILING = [
    "",  # detection: malformed XML
    "<table/>",  # supplemental root
    '<us-patent-grant dtd-version="v4.5">',  # not well formed
    '<us-patent-grant dtd-version="v4.0">x</us-patent-grant>',  # unknown format
    "PATN\nTTL  no number\n",  # APS without WKU
    '<us-patent-grant dtd-version="v4.5"><a>&undefined;</b></us-patent-grant>',
]

GOOD_SMALL = [SMALL_GRANT, SMALL_APS, SMALL_PAP, SMALL_ST32, SMALL_SEQUENCE]
REAL = [read_text(path) for path in sorted(EXAMPLES.iterdir()) if path.is_file()]

# Every property of a Document, in the order the class lists them.
GETTERS = [name for name, value in vars(tessellox.Document).items() if inspect.isdatadescriptor(value)]

TEMPLATES = [None, "{{title}}\n\n{{claims}}", "{{ abstract }}{{frontmatter}}", "{{nope}}", "{{title", ""]


def texts(i):
    """Mostly small documents, some failing ones, and now and then a real one."""
    if i % 97 == 0:
        return REAL[(i // 97) % len(REAL)]
    if i % 7 == 0:
        return FAILING[(i // 7) % len(FAILING)]
    return GOOD_SMALL[i % len(GOOD_SMALL)]


def resident_bytes():
    with open("/proc/self/statm") as handle:
        return int(handle.read().split()[1]) * PAGE


def assert_flat(action, calls=CALLS):
    for i in range(WARM_UP):
        action(i)
    gc.collect()
    before = resident_bytes()
    for i in range(calls):
        action(i)
    gc.collect()
    grown = resident_bytes() - before
    assert grown < TOLERANCE, f"process grew by {grown} bytes over {calls} calls"


def parse_quietly(text):
    try:
        return tessellox.parse(text)
    except ValueError:
        return None


def call_parse(i):
    parse_quietly(texts(i))


DOCUMENTS = [tessellox.parse(text) for text in GOOD_SMALL + REAL]


def call_getters(i):
    document = DOCUMENTS[i % len(DOCUMENTS)] if i % 50 else DOCUMENTS[len(GOOD_SMALL) + (i // 50) % len(REAL)]
    for name in GETTERS:
        value = getattr(document, name)
        if name == "claims":
            for claim in value:
                claim.number, claim.text, repr(claim)
    repr(document)


def call_to_markdown(i):
    document = DOCUMENTS[i % len(GOOD_SMALL)] if i % 100 else DOCUMENTS[len(GOOD_SMALL) + (i // 100) % len(REAL)]
    try:
        document.to_markdown(template=TEMPLATES[i % len(TEMPLATES)])
    except ValueError:
        pass


def call_parse_to_markdown(i):
    try:
        tessellox.parse_to_markdown(texts(i), TEMPLATES[i % len(TEMPLATES)])
    except ValueError:
        pass


def call_detect_format(i):
    try:
        tessellox.detect_format(texts(i))
    except ValueError:
        pass


WRONG_CALLS = [
    lambda: tessellox.parse(b"<us-patent-grant/>"),
    lambda: tessellox.parse(),
    lambda: tessellox.parse(SMALL_APS, SMALL_APS),
    lambda: tessellox.parse(xml=SMALL_APS, extra=1),
    lambda: tessellox.parse(SMALL_APS, xml=SMALL_APS),
    lambda: tessellox.detect_format(5),
    lambda: tessellox.parse_to_markdown(SMALL_APS, template=5),
    lambda: tessellox.parse_to_markdown(SMALL_APS, b"{{title}}"),
    lambda: DOCUMENTS[0].to_markdown(3.5),
    lambda: DOCUMENTS[0].to_markdown(template=None, other=None),
    lambda: tessellox.Document(),
    lambda: tessellox.Claim(),
    lambda: tessellox.parse("x\ud800"),
    lambda: tessellox.parse_to_markdown(SMALL_APS, template="\udfff"),
]


def call_wrongly(i):
    try:
        WRONG_CALLS[i % len(WRONG_CALLS)]()
    except (TypeError, UnicodeEncodeError):
        pass
    else:
        raise AssertionError("a wrong call succeeded")


def sanitized():
    with open("/proc/self/maps") as maps:
        return "libasan" in maps.read()


@pytest.mark.skipif(sanitized(), reason="AddressSanitizer holds freed memory in quarantine")
@pytest.mark.parametrize(
    "action",
    [call_parse, call_getters, call_to_markdown, call_parse_to_markdown, call_detect_format, call_wrongly],
    ids=lambda action: action.__name__,
)
def test_process_size_stays_flat(action):
    assert_flat(action)


# ---------------------------------------------------------------------------
# Reference counts
# ---------------------------------------------------------------------------


def fresh_count():
    """What sys.getrefcount reports for an object held by one local name."""
    probe = "".join(["fresh", "object"])
    return sys.getrefcount(probe)


def assert_owned_once(value, where):
    """`value` must be held only by the caller's name (and this parameter)."""
    # None, small integers and one-character strings are shared singletons.
    if value is None or isinstance(value, int) or (isinstance(value, str) and len(value) <= 1):
        return
    assert sys.getrefcount(value) == fresh_count() + 1, where
    if isinstance(value, list):
        for position in range(len(value)):
            item = value[position]
            # Held by the list and the name `item`.
            if not (isinstance(item, str) and len(item) <= 1):
                assert sys.getrefcount(item) == fresh_count() + 1, (where, position)
            del item


@pytest.mark.parametrize("text", GOOD_SMALL + REAL, ids=lambda text: text[:20])
def test_returned_objects_are_owned_by_the_caller_alone(text):
    document = tessellox.parse(text)
    assert_owned_once(document, "parse")
    for name in GETTERS:
        value = getattr(document, name)
        assert_owned_once(value, name)
        del value
    for position in range(len(document.claims)):
        claim_text = document.claims[position].text
        assert_owned_once(claim_text, "Claim.text")
        del claim_text
    markdown = document.to_markdown()
    assert_owned_once(markdown, "to_markdown")
    markdown = tessellox.parse_to_markdown(text, "{{title}}{{claims}}")
    assert_owned_once(markdown, "parse_to_markdown")
    detected = tessellox.detect_format(text)
    assert_owned_once(detected, "detect_format")


def test_arguments_and_types_keep_their_counts():
    xml = "".join([SMALL_GRANT])
    template = "".join(["{{title}}", "\n"])
    document = tessellox.parse(xml)
    counted = [xml, template, document, tessellox.Document, tessellox.Claim, tessellox.parse, ValueError, TypeError]
    before = [sys.getrefcount(value) for value in counted]
    for _ in range(2_000):
        tessellox.parse(xml)
        tessellox.detect_format(xml)
        tessellox.parse_to_markdown(xml, template)
        tessellox.parse_to_markdown(xml=xml, template=template)
        document.to_markdown(template)
        document.to_markdown(template=template)
        document.claims, document.title, document.inventors, repr(document)
        for call in (
            lambda: tessellox.parse_to_markdown(xml, "{{bad}}"),
            lambda: document.to_markdown(template + "{{"),
            lambda: tessellox.parse(xml[:-3]),
            lambda: tessellox.detect_format(xml[1:]),
        ):
            try:
                call()
            except ValueError:
                pass
        for call in (lambda: tessellox.parse(xml, template), lambda: tessellox.parse(template=xml)):
            try:
                call()
            except TypeError:
                pass
    del call
    gc.collect()
    after = [sys.getrefcount(value) for value in counted]
    assert after == before


def test_dropped_documents_and_claims_release_their_type():
    # Counts are taken into plain names first: pytest's rewritten asserts keep
    # temporaries of their own.
    gc.collect()
    counts_before = (sys.getrefcount(tessellox.Document), sys.getrefcount(tessellox.Claim))
    kept = [tessellox.parse(SMALL_GRANT) for _ in range(1_000)]
    claims = [document.claims for document in kept]
    counts_held = (sys.getrefcount(tessellox.Document), sys.getrefcount(tessellox.Claim))
    del kept, claims
    gc.collect()
    counts_after = (sys.getrefcount(tessellox.Document), sys.getrefcount(tessellox.Claim))
    assert counts_held[0] >= counts_before[0] + 1_000 and counts_held[1] >= counts_before[1] + 2_000
    assert counts_after == counts_before
