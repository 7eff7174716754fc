"""Eight threads calling every entry point at once get exactly the results
that one thread gets."""

import random
import sys
import threading
import time

import tessellox
from conftest import EXAMPLES, read_text

SECONDS = 10.0
THREADS = 8

SMALL = [
    '<us-patent-grant dtd-version="v4.5"><us-bibliographic-data-grant><publication-reference><document-id>'
    "<doc-number>0001</doc-number><kind>B1</kind></document-id></publication-reference><invention-title>G\u00e9"
    "</invention-title></us-bibliographic-data-grant><abstract><p>A.</p></abstract><claims><claim><claim-text>1. X."
    "</claim-text></claim></claims></us-patent-grant>",
    '<us-patent-application dtd-version="v4.6"><us-bibliographic-data-application><invention-title>App'
    "</invention-title></us-bibliographic-data-application></us-patent-application>",
    "PATN\nWKU  039302717\nTTL  Golf glove\nCLMS\nNUM  1.\nPAR  1. A glove.\n",
    '<PATDOC DTD="2.5"><SDOBI><B100><B110><DNUM><PDAT>06123456</PDAT></DNUM></B110></B100></SDOBI></PATDOC>',
    "<sequence-cwu><s200><s210>1</s210></s200></sequence-cwu>",
    # Failing ones: detection, well-formedness, structure.
    "",
    "<table/>",
    '<us-patent-grant dtd-version="v4.5"><p></us-patent-grant>',
    '<us-patent-grant dtd-version="v4.5"/><!-- --><x/>',
    "PATN\nTTL  no number\n",
]
INPUTS = [read_text(path) for path in sorted(EXAMPLES.iterdir()) if path.is_file()] + SMALL
TEMPLATES = [None, "{{claims}}\n{{title}}", "{{unknown}}", "{{title", "plain"]


def outcome(call):
    try:
        return ("ok", call())
    except Exception as error:  # noqa: BLE001 - the exception is the result here
        return (type(error).__name__, str(error))


def document_values(text):
    document = tessellox.parse(text)
    return (
        document.publication_number,
        document.patent_number,
        document.application_number,
        document.title,
        document.filing_date,
        document.publication_date,
        document.priority_date,
        document.inventors,
        document.applicants,
        document.assignees,
        document.ipc_classifications,
        document.us_classifications,
        document.source_format,
        document.abstract_text,
        [(c.number, c.text, repr(c)) for c in document.claims],
        repr(document),
        [outcome(lambda t=template: document.to_markdown(t)) for template in TEMPLATES],
    )


def operations():
    """Every (entry point, input, template) combination as a zero-argument call."""
    calls = []
    for text in INPUTS:
        calls.append(lambda text=text: tessellox.detect_format(text))
        calls.append(lambda text=text: document_values(text))
        for template in TEMPLATES:
            calls.append(lambda text=text, template=template: tessellox.parse_to_markdown(text, template=template))
    calls.append(lambda: tessellox.parse(b"bytes"))
    calls.append(lambda: tessellox.parse_to_markdown(SMALL[0], 5))
    return calls


def test_threads_agree_with_one_thread():
    calls = operations()
    expected = [outcome(call) for call in calls]
    assert any(result[0] == "ok" for result in expected) and any(result[0] == "ValueError" for result in expected)

    stop = threading.Event()
    mismatches = []
    counts = [0] * THREADS

    def worker(index):
        rng = random.Random(index)
        while not stop.is_set():
            position = rng.randrange(len(calls))
            result = outcome(calls[position])
            if result != expected[position]:
                mismatches.append((index, position, result[0]))
            counts[index] += 1

    threads = [threading.Thread(target=worker, args=(index,)) for index in range(THREADS)]
    # Switch threads as often as the interpreter allows, between every call.
    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    try:
        for thread in threads:
            thread.start()
        time.sleep(SECONDS)
        stop.set()
        for thread in threads:
            thread.join(timeout=60)
    finally:
        sys.setswitchinterval(interval)
    assert not any(thread.is_alive() for thread in threads)
    assert not mismatches, mismatches[:10]
    assert all(count > 0 for count in counts), counts
