"""Hostile input: entity bombs, external entities, limits, broken text, templates.

Cases that could exhaust memory or crash run in a child interpreter with an
address-space limit and a timeout, so that a failure is reported instead of
taking the test run down. Every case must end in a result or a clean
ValueError (or the UnicodeEncodeError that CPython raises for lone surrogates).
"""

import os
import random
import socket
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest
import tessellox
from conftest import EXAMPLES, read_text

GIB = 1024 * 1024 * 1024

TITLE = "Caf\u00e9 \u2014 na\u00efve \u65e5\u672c \U0001f600 \u00a9"


def grant(body="", *, prolog='<?xml version="1.0" encoding="UTF-8"?>\n', title="A title", abstract="An abstract."):
    return (
        f'{prolog}<us-patent-grant dtd-version="v4.5 2014-04-03">'
        "<us-bibliographic-data-grant><publication-reference><document-id><country>US</country>"
        "<doc-number>01234567</doc-number><kind>B2</kind><date>20200101</date></document-id>"
        f"</publication-reference><invention-title>{title}</invention-title></us-bibliographic-data-grant>"
        f"<abstract><p>{abstract}</p></abstract>{body}"
        '<claims><claim id="CLM-1"><claim-text>1. A thing.</claim-text></claim></claims></us-patent-grant>'
    )


def run_isolated(body, *, memory=2 * GIB, timeout=60):
    """Runs `body` in a child interpreter limited to `memory` bytes of address
    space; the child must exit 0 and print OK last."""
    preamble = textwrap.dedent(
        f"""
        import resource, sys, time
        # AddressSanitizer (a sanitizer build of the module) reserves terabytes
        # of address space up front, so the limit only applies without it.
        with open("/proc/self/maps") as maps:
            if "libasan" not in maps.read():
                resource.setrlimit(resource.RLIMIT_AS, ({memory}, {memory}))
        import tessellox
        """
    )
    environment = dict(os.environ, PYTHONPATH=os.pathsep.join(path for path in sys.path if path))
    # The program goes in on stdin: a command line could not hold its data.
    process = subprocess.run(
        [sys.executable, "-"],
        input=preamble + textwrap.dedent(body) + "\nprint('OK')\n",
        capture_output=True,
        text=True,
        timeout=timeout,
        env=environment,
    )
    assert process.returncode == 0 and process.stdout.rstrip().endswith("OK"), (
        f"child exited with {process.returncode}\nstdout: {process.stdout[-2000:]}\nstderr: {process.stderr[-4000:]}"
    )
    return process.stdout


def exercise(document):
    """Every getter and the Markdown, as the caller would read them."""
    values = [
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
        [(claim.number, claim.text, repr(claim)) for claim in document.claims],
        repr(document),
        document.to_markdown(),
    ]
    return repr(values)


# ---------------------------------------------------------------------------
# Entity expansion
# ---------------------------------------------------------------------------

# The same bomb under every XML root that detection accepts.
ROOTS = [
    ("us-patent-grant", 'dtd-version="v4.5 2014-04-03"'),
    ("us-patent-application", 'dtd-version="v4.6 2021-08-30"'),
    ("patent-application-publication", 'note="pap-v16"'),
    ("PATDOC", 'DTD="2.5"'),
    ("sequence-cwu", 'id="SEQLST-1"'),
]


def billion_laughs(root, attributes, *, in_attribute=False):
    levels = ['<!ENTITY lol0 "lol">'] + [f'<!ENTITY lol{i} "{("&lol%d;" % (i - 1)) * 10}">' for i in range(1, 10)]
    use = '<p a="&lol9;"/>' if in_attribute else "<p>&lol9;</p>"
    return (
        f'<?xml version="1.0"?>\n<!DOCTYPE {root} [\n'
        + "\n".join(levels)
        + f"\n]>\n<{root} {attributes}>{use}</{root}>"
    )


def quadratic_blowup(root, attributes, *, in_attribute=False):
    entity = "x" * 100_000
    references = "&big;" * 100_000
    use = f'<p a="{references}"/>' if in_attribute else f"<p>{references}</p>"
    return f'<?xml version="1.0"?>\n<!DOCTYPE {root} [<!ENTITY big "{entity}">]>\n<{root} {attributes}>{use}</{root}>'


@pytest.mark.parametrize("in_attribute", [False, True], ids=["text", "attribute"])
@pytest.mark.parametrize("bomb", [billion_laughs, quadratic_blowup])
def test_entity_bombs_fail_fast_in_bounded_memory(bomb, in_attribute):
    documents = [bomb(root, attributes, in_attribute=in_attribute) for root, attributes in ROOTS]
    run_isolated(
        f"""
        documents = {documents!r}
        for text in documents:
            for call in (tessellox.parse, tessellox.parse_to_markdown):
                start = time.perf_counter()
                try:
                    call(text)
                except ValueError as error:
                    message = str(error)
                else:
                    raise AssertionError("an entity bomb parsed")
                elapsed = time.perf_counter() - start
                assert elapsed < 1.0, (elapsed, message)
                assert message and not message.startswith("source detection failed"), message
        peak_kib = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
        assert peak_kib < 512 * 1024, peak_kib
        """,
        memory=GIB,
    )


# ---------------------------------------------------------------------------
# External entities are never loaded
# ---------------------------------------------------------------------------


@pytest.fixture
def listener():
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.bind(("127.0.0.1", 0))
    server.listen(64)
    server.settimeout(0.2)
    yield server
    server.close()


def assert_nobody_connected(server):
    try:
        connection, _ = server.accept()
    except socket.timeout:
        return
    connection.close()
    raise AssertionError("the parser connected to 127.0.0.1")


def external_entity_documents(paths, port):
    net_url = f"http://127.0.0.1:{port}/entity.xml"
    dtd_url = f"http://127.0.0.1:{port}/grant.dtd"
    documents = []
    for path in paths:
        file_url = Path(path).as_uri()
        uses = "<p>&file; &net; &plainfile;</p>"
        subsets = [
            # General entities, by URL and by plain path.
            f'<!ENTITY file SYSTEM "{file_url}"><!ENTITY plainfile SYSTEM "{path}"><!ENTITY net SYSTEM "{net_url}">',
            # Parameter entities pulled into the subset.
            f'<!ENTITY % pfile SYSTEM "{file_url}"> %pfile; <!ENTITY % pnet SYSTEM "{net_url}"> %pnet;'
            '<!ENTITY file "x"><!ENTITY net "y"><!ENTITY plainfile "z">',
            # Public identifiers.
            f'<!ENTITY file PUBLIC "-//X//Y//EN" "{file_url}"><!ENTITY net PUBLIC "-//X//Z//EN" "{net_url}">'
            f'<!ENTITY plainfile SYSTEM "{path}">',
        ]
        for subset in subsets:
            for doctype in (
                f'<!DOCTYPE us-patent-grant SYSTEM "{dtd_url}" [{subset}]>',
                f'<!DOCTYPE us-patent-grant SYSTEM "{file_url}" [{subset}]>',
                f'<!DOCTYPE us-patent-grant PUBLIC "-//X//DTD//EN" "{path}" [{subset}]>',
                f"<!DOCTYPE us-patent-grant [{subset}]>",
            ):
                body = f"<description>{uses}</description>"
                prolog = f'<?xml version="1.0" standalone="no"?>\n{doctype}\n'
                documents.append(grant(body, prolog=prolog, title="T &file;&net;", abstract=uses))
        # An external DTD alone, and a reference in an attribute value (not well formed).
        documents.append(grant(prolog=f'<!DOCTYPE us-patent-grant SYSTEM "{dtd_url}">\n'))
        documents.append(grant(prolog=f'<!DOCTYPE us-patent-grant SYSTEM "{file_url}">\n'))
        documents.append(
            grant(prolog=f'<!DOCTYPE us-patent-grant [<!ENTITY f SYSTEM "{file_url}">]>', title='<b a="&f;">x</b>')
        )
    return documents


def test_external_entities_are_never_read_nor_fetched(tmp_path, listener):
    secret = f"SECRET-{random.Random().getrandbits(64):016x}"
    secret_file = tmp_path / "secret.xml"
    secret_file.write_text(f"<b>{secret}</b>")
    # Opening a FIFO for reading blocks until a writer comes, so a parser that
    # even tried to open it would hang the child past its timeout.
    fifo = tmp_path / "fifo.xml"
    os.mkfifo(fifo)
    documents = external_entity_documents([str(secret_file), str(fifo)], listener.getsockname()[1])
    run_isolated(
        f"""
        secret = {secret!r}
        outcomes = set()
        for text in {documents!r}:
            try:
                document = tessellox.parse(text)
                seen = repr([document.title, document.abstract_text, [c.text for c in document.claims],
                             document.to_markdown(), tessellox.parse_to_markdown(text)])
                outcomes.add("parsed")
            except ValueError as error:
                seen = str(error)
                outcomes.add("error")
            assert "SECRET-" not in seen, seen
        # The ordinary declarations beside the external ones do not spoil the parse.
        assert "parsed" in outcomes
        """,
        timeout=60,
    )
    assert_nobody_connected(listener)


# ---------------------------------------------------------------------------
# Size and depth limits
# ---------------------------------------------------------------------------

HEAD = '<us-patent-grant dtd-version="v4.5 2014-04-03">'
TAIL = "</us-patent-grant>"

# Each case builds its text with one join, so that the child holds no more
# than one extra copy of it; then the limit that it breaks, and the memory
# the child may use (the text, its UTF-8 copy and the parser's buffer).
LIMIT_CASES = {
    "nesting_1e6": ("['<a>' * 1_000_000, '</a>' * 1_000_000]", "256", 2 * GIB),
    "attributes_1e5": ("['<a ', ' '.join('x%d=\"v\"' % i for i in range(100_000)), '/>']", "256", 2 * GIB),
    "text_node_200mb": ("['<abstract><p>', 'a' * 200_000_000, '</p></abstract>']", "10485760", 4 * GIB),
    "attribute_value_200mb": ("['<a v=\"', 'a' * 200_000_000, '\"/>']", "10485760", 4 * GIB),
    "name_200kb": ("['<', 'n' * 200_000, '/>']", "50000", 2 * GIB),
    "elements_1gb": ("['<description>', '<p>x</p>' * 125_000_000, '</description>']", "10000000", 8 * GIB),
}
# A gigabyte takes seconds just to copy: one entry point is enough there.
LIMIT_CALLS = {"elements_1gb": "(tessellox.parse,)"}


@pytest.mark.parametrize("case", list(LIMIT_CASES))
def test_limits_give_a_clean_error(case):
    parts, number, memory = LIMIT_CASES[case]
    run_isolated(
        f"""
        text = "".join([{HEAD!r}] + {parts} + [{TAIL!r}])
        for call in {LIMIT_CALLS.get(case, "(tessellox.parse, tessellox.parse_to_markdown)")}:
            start = time.perf_counter()
            try:
                call(text)
            except ValueError as error:
                message = str(error)
            else:
                raise AssertionError("parsed past a limit")
            assert "limit" in message and {number!r} in message, message[:300]
            assert time.perf_counter() - start < 30
        """,
        memory=memory,
        timeout=180,
    )


def test_just_below_the_limits_parses():
    run_isolated(
        f"""
        text = {HEAD!r} + '<a>' * 250 + '</a>' * 250 + '<abstract><p>' + 'a' * (10 * 1024 * 1024 - 8) + '</p></abstract>' + {TAIL!r}
        document = tessellox.parse(text)
        assert len(document.abstract_text) == 10 * 1024 * 1024 - 8
        assert document.to_markdown().endswith('a' * 100)
        """,
        memory=4 * GIB,
    )


def nested(names, depth=250, inner="x"):
    text = inner
    for level in range(depth):
        name = names[level % len(names)]
        text = f"<{name}>{text}</{name}>"
    return text


# Nesting just inside the depth limit, where every family recurses: inline
# content of claims and paragraphs, captured elements, the party search.
DEEP_DOCUMENTS = {
    "v4_claim_inline": f"{HEAD}<claims><claim><claim-text>{nested(['b', 'i', 'claim-text', 'sub', 'figref'])}</claim-text></claim></claims>{TAIL}",
    "v4_abstract_inline": f"{HEAD}<abstract><p>{nested(['b', 'i', 'u', 'sup'])}</p></abstract>{TAIL}",
    "v4_description_captured": f"{HEAD}<description>{nested(['ul', 'li', 'table', 'row', 'entry'])}</description>{TAIL}",
    "v4_party_search": f"{HEAD}<us-bibliographic-data-grant>{nested(['inventors', 'x', 'addressbook', 'name'])}</us-bibliographic-data-grant>{TAIL}",
    "pap_claim": '<!DOCTYPE patent-application-publication SYSTEM "pap-v16-2002-01-01.dtd"><patent-application-publication>'
    f"<subdoc-claims><claim><claim-text>{nested(['bold', 'italic', 'subscript'])}</claim-text></claim></subdoc-claims>"
    "</patent-application-publication>",
    "st32_claim": f'<PATDOC DTD="2.5"><SDOCL><CL><CLM><PARA><PTEXT>{nested(["B", "I", "PDAT", "HIL"])}</PTEXT></PARA></CLM></CL></SDOCL></PATDOC>',
    "sequence": f"<sequence-cwu>{nested(['s400', 'x'])}</sequence-cwu>",
}


def test_nesting_at_the_limit_on_a_small_thread_stack():
    # Threads other than the main one may get small stacks (musl gives 128 KiB).
    run_isolated(
        f"""
        import threading
        documents = {DEEP_DOCUMENTS!r}
        failures = []
        def work():
            for name, text in documents.items():
                try:
                    document = tessellox.parse(text)
                    document.claims, document.abstract_text, document.inventors
                    assert document.to_markdown(), name
                except Exception as error:
                    failures.append((name, repr(error)[:200]))
        with open("/proc/self/maps") as maps:
            sanitized = "libasan" in maps.read()  # sanitizer frames are several times larger
        threading.stack_size((8192 if sanitized else 256) * 1024)
        thread = threading.Thread(target=work)
        thread.start()
        thread.join()
        assert not failures, failures
        """
    )


def test_many_distinct_names_are_processed_in_linear_time():
    # De-duplicating names and classifications must not scan the collected list per entry.
    run_isolated(
        f"""
        parties = ''.join('<us-applicant><addressbook><orgname>Org %d</orgname></addressbook></us-applicant>' % i
                          for i in range(20_000))
        codes = ''.join('<further-classification>C%d</further-classification>' % i for i in range(20_000))
        text = ({HEAD!r} + '<us-bibliographic-data-grant><classification-ipc>' + codes + '</classification-ipc>'
                + '<us-parties><us-applicants>' + parties + '</us-applicants></us-parties>'
                + '</us-bibliographic-data-grant>' + {TAIL!r})
        start = time.perf_counter()
        document = tessellox.parse(text)
        assert len(document.applicants) == 20_000 and len(document.ipc_classifications) == 20_000
        document.to_markdown()
        elapsed = time.perf_counter() - start
        # Linear work takes a few hundredths of a second; a scan per entry, seconds.
        assert elapsed < 1, elapsed
        """,
        timeout=120,
    )


# ---------------------------------------------------------------------------
# Broken and unusual text
# ---------------------------------------------------------------------------


@pytest.mark.parametrize(
    "encoding",
    ["UTF-8", "UTF-16", "utf-16le", "ISO-8859-1", "US-ASCII", "windows-1252", "EBCDIC-CP-US", "no-such-encoding"],
)
def test_declared_encoding_is_ignored(encoding):
    text = grant(prolog=f'<?xml version="1.0" encoding="{encoding}"?>\n', title=TITLE, abstract=TITLE)
    document = tessellox.parse(text)
    assert document.title == TITLE
    assert document.abstract_text == TITLE
    assert TITLE in document.to_markdown()


def test_byte_order_mark_is_not_white_space():
    text = "\ufeff" + grant()
    with pytest.raises(ValueError, match="^source detection failed: malformed XML$"):
        tessellox.parse(text)
    with pytest.raises(ValueError, match="^malformed XML$"):
        tessellox.detect_format(text)


@pytest.mark.parametrize("text", ["", " ", "\n\r\n\t", "\u3000\u2028\u00a0", " " * 100_000])
def test_empty_and_blank_input(text):
    with pytest.raises(ValueError, match="^source detection failed: malformed XML$"):
        tessellox.parse(text)
    with pytest.raises(ValueError, match="^source detection failed: malformed XML$"):
        tessellox.parse_to_markdown(text, template="{{title}}")
    with pytest.raises(ValueError, match="^malformed XML$"):
        tessellox.detect_format(text)


CONTROL_CHARACTERS = ["\x00", "\x01", "\x08", "\x0b", "\x0c", "\x1f", "\x7f", "\x85", "\ufffe", "\uffff", "\U0010ffff"]


@pytest.mark.parametrize("character", CONTROL_CHARACTERS, ids=[f"U+{ord(c):04X}" for c in CONTROL_CHARACTERS])
def test_control_characters_anywhere(character):
    aps = read_text(EXAMPLES / "pftaps19760106-sample-US03930271.aps.txt")
    texts = [
        grant(title=f"a{character}b"),
        grant(abstract=f"<b x='{character}'>y</b>"),
        grant(prolog=f'<?xml version="1.0"?>{character}'),
        grant() + character,
        character + grant(),
        aps.replace("Golf glove", f"Golf{character}glove"),
        aps + character,
        f"PATN\nWKU  03930271{character}\nTTL  {character}\n",
    ]
    for text in texts:
        try:
            document = tessellox.parse(text)
        except ValueError as error:
            assert str(error)
        else:
            exercise(document)
        try:
            tessellox.parse_to_markdown(text)
        except ValueError:
            pass


def test_non_ascii_survives_exactly_in_aps():
    aps = read_text(EXAMPLES / "pftaps19760106-sample-US03930271.aps.txt")
    document = tessellox.parse(aps.replace("TTL  Golf glove", f"TTL  {TITLE}"))
    assert document.title == TITLE


# Non-ASCII text is encoded in pieces of 16,384 characters: characters of
# every UTF-8 width must come back exactly, wherever the pieces end.
@pytest.mark.parametrize("character", ["e", "\u00e9", "\u20ac", "\U0001d11e"])
@pytest.mark.parametrize("length", [1, 16383, 16384, 16385, 40000])
def test_text_of_every_utf8_width_survives_exactly(character, length):
    title = ("\u00e9" + character * length)[: length + 1]
    assert tessellox.parse(grant(title=title)).title == title


def test_lone_surrogate_past_the_first_piece_gives_the_encoders_own_error():
    title = "\u00e9" * 20000 + "\udc80"
    with pytest.raises(UnicodeEncodeError) as raised:
        tessellox.parse(grant(title=title))
    with pytest.raises(UnicodeEncodeError) as expected:
        grant(title=title).encode("utf-8")
    assert str(raised.value) == str(expected.value)


@pytest.mark.parametrize("call", ["parse", "parse_to_markdown", "detect_format", "template", "to_markdown"])
@pytest.mark.parametrize("surrogate", ["\ud800", "\udfff", "\udc80"])
def test_lone_surrogates_raise_the_encoding_error(call, surrogate):
    broken = grant(title=f"x{surrogate}y")
    with pytest.raises(UnicodeEncodeError):
        if call == "parse":
            tessellox.parse(broken)
        elif call == "parse_to_markdown":
            tessellox.parse_to_markdown(broken)
        elif call == "detect_format":
            tessellox.detect_format(broken)
        elif call == "template":
            tessellox.parse_to_markdown(grant(), template=f"{{{{title}}}}{surrogate}")
        else:
            tessellox.parse(grant()).to_markdown(template=surrogate)


def truncations(length, stride):
    edges = set(range(min(length, 2000))) | set(range(max(0, length - 2000), length + 1))
    return sorted(edges | set(range(0, length, stride)))


@pytest.mark.parametrize(
    "name, stride",
    [("US10000000-v45.xml", 37), ("US20220159901A1-v45.xml", 53), ("pftaps19760106-sample-US03930271.aps.txt", 7)],
)
def test_every_truncation_of_a_real_document(name, stride):
    text = read_text(EXAMPLES / name)
    run_isolated(
        f"""
        text = open({str(EXAMPLES / name)!r}, encoding="utf-8", newline="").read()
        parsed = failed = 0
        for end in {truncations(len(text), stride)!r}:
            prefix = text[:end]
            try:
                document = tessellox.parse(prefix)
            except ValueError as error:
                assert str(error), end
                failed += 1
                continue
            parsed += 1
            values = [document.title, document.inventors, document.applicants, document.assignees,
                      document.ipc_classifications, document.us_classifications, document.priority_date,
                      document.abstract_text, [(c.number, c.text, repr(c)) for c in document.claims], repr(document)]
            if end % 5 == 0:
                assert document.to_markdown() == tessellox.parse_to_markdown(prefix), end
        full = tessellox.parse(text)
        assert full.claims and full.to_markdown()
        print(parsed, failed)
        """,
        timeout=240,
    )


def test_random_bytes_decoded_into_text():
    headers = [grant()[: grant().index("<abstract>")], "PATN\nWKU  039302717\nABST\nPAL  ", ""]
    footers = ["</us-patent-grant>", "\n", ""]
    run_isolated(
        f"""
        import random
        rng = random.Random(20240229)
        headers, footers = {headers!r}, {footers!r}
        outcomes = {{}}
        for round_ in range(600):
            data = rng.randbytes(rng.randrange(0, 3000))
            for decoding in ("surrogateescape", "latin-1"):
                if decoding == "latin-1":
                    body = data.decode("latin-1")
                else:
                    body = data.decode("utf-8", "surrogateescape")
                for header, footer in zip(headers, footers):
                    text = header + body + footer
                    try:
                        document = tessellox.parse(text)
                        [document.title, document.claims, document.abstract_text, document.inventors, document.to_markdown()]
                        outcome = "parsed"
                    except ValueError:
                        outcome = "ValueError"
                    except UnicodeEncodeError:
                        assert decoding == "surrogateescape"
                        outcome = "UnicodeEncodeError"
                    outcomes[outcome] = outcomes.get(outcome, 0) + 1
        assert outcomes.get("parsed") and outcomes.get("ValueError"), outcomes
        """,
        timeout=240,
    )


# ---------------------------------------------------------------------------
# Templates
# ---------------------------------------------------------------------------


def test_templates_of_every_shape():
    small = grant()
    run_isolated(
        f"""
        small = {small!r}
        document = tessellox.parse(small)
        title = document.to_markdown(template="{{{{title}}}}")
        assert title and "\\n" not in title

        def timed(template):
            start = time.perf_counter()
            try:
                result = document.to_markdown(template=template)
            except ValueError as error:
                result = error
            assert time.perf_counter() - start < 10
            return result

        # A million placeholders.
        assert timed("{{{{title}}}}" * 1_000_000) == title * 1_000_000
        assert timed("{{{{ title }}}}\\n\\n\\n" * 1_000_000) == "\\n\\n".join([title] * 1_000_000)
        # Huge literal text around one placeholder.
        huge = "x" * 50_000_000
        claims = document.to_markdown(template="{{{{claims}}}}")
        around = timed(huge + "{{{{claims}}}}" + huge)
        assert around.startswith(huge) and around.endswith(huge) and claims in around
        assert len(around) < 2 * len(huge) + len(claims) + 8
        # Deeply nested braces: the first "}}}}" closes the first "{{{{".
        nested = timed("{{{{" * 500_000 + "title" + "}}}}" * 500_000)
        assert isinstance(nested, ValueError) and str(nested).startswith("unknown template placeholder {{{{{{{{"), str(nested)[:80]
        assert isinstance(timed("{{{{" * 1_000_000), ValueError)
        assert str(timed("x{{{{title")) == "unterminated template placeholder: '{{{{' with no closing '}}}}'"
        assert timed("}}}}" * 1_000_000) == "}}}}" * 1_000_000
        assert str(timed("{{{{ {{{{ }}}} }}}}" * 1000)).startswith("unknown template placeholder {{{{{{{{}}}};")
        assert timed("\\n" * 10_000_000 + "{{{{title}}}}" + " " * 10_000_000) == title
        # A million unknown placeholders stop at the first.
        assert str(timed("{{{{nope}}}}" * 1_000_000)).startswith("unknown template placeholder {{{{nope}}}};")
        # The one-call form agrees.
        assert tessellox.parse_to_markdown(small, template="{{{{abstract}}}}" * 100_000) == document.to_markdown(
            template="{{{{abstract}}}}" * 100_000)
        """,
        memory=4 * GIB,
        timeout=240,
    )


def _summary(value):
    if isinstance(value, tessellox.Document):
        return repr(value), value.title, [repr(claim) for claim in value.claims]
    if isinstance(value, list):
        return [repr(item) for item in value]
    return value


_DOCUMENT = tessellox.parse(grant(title=TITLE))

ENTRY_POINTS = {
    "parse": lambda: tessellox.parse(grant(title=TITLE)),
    "parse_to_markdown": lambda: tessellox.parse_to_markdown(grant(title=TITLE), template="{{title}} \u00e9"),
    "detect_format": lambda: tessellox.detect_format(xml=grant()),
    "to_markdown": lambda: _DOCUMENT.to_markdown(template="{{claims}}"),
    "claims": lambda: _DOCUMENT.claims,
    "inventors": lambda: _DOCUMENT.inventors,
    "repr": lambda: repr(_DOCUMENT),
}


@pytest.mark.parametrize("name", ENTRY_POINTS)
def test_a_failed_python_allocation_gives_memory_error_or_the_same_result(name):
    _testcapi = pytest.importorskip("_testcapi")
    call = ENTRY_POINTS[name]
    expected = _summary(call())
    failures = successes_in_a_row = 0
    # Fails the n-th allocation of the Python allocators only, one n at a time,
    # until twenty n in a row change nothing: the call makes fewer allocations.
    for n in range(2000):
        _testcapi.set_nomemory(n, n + 1)
        try:
            result = _summary(call())
        except MemoryError:
            result = MemoryError
        finally:
            _testcapi.remove_mem_hooks()
        if result is MemoryError:
            failures, successes_in_a_row = failures + 1, 0
            continue
        assert result == expected, n
        successes_in_a_row += 1
        if successes_in_a_row == 20:
            break
    assert failures > 0
