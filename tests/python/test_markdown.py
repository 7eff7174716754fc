"""The Markdown entry points: golden outputs, the two entry points agreeing,
their argument handling and the template behaviour seen from Python."""

import importlib.util

import pytest
import tessellox
from conftest import EXAMPLES, REPO, SHARED_DATA, manifest_rows, read_text, split_bulk

GOLDEN = REPO / "tests" / "golden"


def load_regenerate():
    spec = importlib.util.spec_from_file_location("regenerate", GOLDEN / "regenerate.py")
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


regenerate = load_regenerate()

# A small grant with a title, an abstract and one claim, and no description.
WIDGET = (
    '<us-patent-grant dtd-version="v4.5 2014-04-03">'
    "<us-bibliographic-data-grant><invention-title>Widget</invention-title></us-bibliographic-data-grant>"
    '<abstract><p num="0001">Small.</p></abstract>'
    "<claims><claim><claim-text>1. A widget.</claim-text></claim></claims>"
    "</us-patent-grant>"
)
WIDGET_TITLE = "# Widget"
WIDGET_ABSTRACT = "## Abstract\n\n[0001] Small."
WIDGET_CLAIMS = "## Claims\n```claim\n1. A widget.\n```"

# Documents that render to the front matter alone.
EMPTY_DOCUMENTS = ['<us-patent-grant dtd-version="v4.5 2014-04-03"/>', '<PATDOC DTD="2.5"/>', "<sequence-cwu/>"]

DEFAULT_TEMPLATE = "{{frontmatter}}\n\n{{title}}\n\n{{abstract}}\n\n{{description}}\n\n{{claims}}\n"
UNTERMINATED = "unterminated template placeholder: '{{' with no closing '}}'"


def unknown(name):
    return f"unknown template placeholder {{{{{name}}}}}; expected one of frontmatter, title, abstract, description, claims"


def first_difference(expected: str, actual: str) -> str:
    expected_lines, actual_lines = expected.split("\n"), actual.split("\n")
    for number, (want, got) in enumerate(zip(expected_lines, actual_lines), 1):
        if want != got:
            return f"line {number}:\n  golden:  {want[:200]!r}\n  current: {got[:200]!r}"
    return f"golden has {len(expected_lines)} lines, current output {len(actual_lines)}"


# --- Golden files -----------------------------------------------------------


@pytest.mark.parametrize("name", list(regenerate.CASES))
def test_markdown_matches_golden_file(name):
    source = regenerate.input_path(name)
    if not source.exists():
        assert not source.is_relative_to(EXAMPLES), f"bundled example {source} is missing"
        pytest.skip(f"{source} is absent")
    expected = regenerate.read_exact(regenerate.golden_path(name))
    actual = tessellox.parse_to_markdown(read_text(source))
    assert actual == expected, (
        f"{name}: {first_difference(expected, actual)}\n"
        "Run tests/golden/regenerate.py to see the whole diff; accept it only after reading it."
    )


def test_every_golden_file_has_an_input():
    on_disk = {path.stem for path in GOLDEN.glob("*.md")}
    assert on_disk == set(regenerate.CASES)


# --- parse_to_markdown agrees with parse().to_markdown() --------------------


def shared_documents():
    for row in manifest_rows():
        text = read_text(SHARED_DATA / row["family"] / row["file"])
        pieces = split_bulk(text) if row["family"] == "bulk" else [text]
        for index, piece in enumerate(pieces):
            yield pytest.param(piece, id=f"{row['file']}#{index}" if len(pieces) > 1 else row["file"])


def markdown_or_error(render):
    try:
        return render()
    except ValueError as error:
        return ("ValueError", str(error))


@pytest.mark.parametrize("text", list(shared_documents()))
def test_both_entry_points_give_the_same_markdown(text):
    one_call = markdown_or_error(lambda: tessellox.parse_to_markdown(text))
    two_calls = markdown_or_error(lambda: tessellox.parse(text).to_markdown())
    assert one_call == two_calls


@pytest.mark.parametrize("path", sorted(EXAMPLES.iterdir()), ids=lambda path: path.name)
def test_both_entry_points_agree_on_the_examples_with_a_template(path):
    text = read_text(path)
    template = "{{claims}}\n\n{{title}}"
    assert tessellox.parse_to_markdown(text, template) == tessellox.parse(text).to_markdown(template)


# --- Arguments --------------------------------------------------------------


def test_xml_and_template_by_keyword():
    assert tessellox.parse_to_markdown(xml=WIDGET, template="{{title}}") == WIDGET_TITLE
    assert tessellox.parse_to_markdown(template="{{title}}", xml=WIDGET) == WIDGET_TITLE
    assert tessellox.parse(WIDGET).to_markdown(template="{{title}}") == WIDGET_TITLE


def test_template_none_is_the_default_template():
    default = tessellox.parse_to_markdown(WIDGET)
    assert default == tessellox.parse_to_markdown(WIDGET, None) == tessellox.parse_to_markdown(WIDGET, template=None)
    document = tessellox.parse(WIDGET)
    assert default == document.to_markdown() == document.to_markdown(None) == document.to_markdown(template=None)
    assert default == tessellox.parse_to_markdown(WIDGET, DEFAULT_TEMPLATE)


def test_default_layout_of_a_document_without_description():
    front_matter = tessellox.parse_to_markdown(WIDGET, "{{frontmatter}}")
    assert front_matter.startswith("---\nfiling_date: null\n") and front_matter.endswith("\nassignees: []\n---")
    assert tessellox.parse_to_markdown(WIDGET) == "\n\n".join(
        [front_matter, WIDGET_TITLE, WIDGET_ABSTRACT, WIDGET_CLAIMS]
    )


def test_template_may_be_a_str_subclass():
    class Template(str):
        pass

    assert tessellox.parse_to_markdown(WIDGET, Template("{{title}}")) == WIDGET_TITLE


@pytest.mark.parametrize("template", [5, b"{{title}}", ["{{title}}"], 1.5, object()], ids=repr)
@pytest.mark.parametrize("entry", ["parse_to_markdown", "to_markdown"])
def test_template_of_the_wrong_type_raises_type_error_naming_template(entry, template):
    call = {
        "parse_to_markdown": lambda: tessellox.parse_to_markdown(WIDGET, template=template),
        "to_markdown": lambda: tessellox.parse(WIDGET).to_markdown(template),
    }[entry]
    with pytest.raises(TypeError) as raised:
        call()
    assert str(raised.value) == (
        f"argument 'template': '{type(template).__name__}' object cannot be converted to 'PyString'"
    )


@pytest.mark.parametrize(
    "call, message",
    [
        (
            lambda document: document.to_markdown("{{title}}", "x"),
            "Document.to_markdown() takes from 0 to 1 positional arguments but 2 were given",
        ),
        (
            lambda document: document.to_markdown(xml=WIDGET),
            "Document.to_markdown() got an unexpected keyword argument 'xml'",
        ),
        (
            lambda document: document.to_markdown("{{title}}", template="{{title}}"),
            "Document.to_markdown() got multiple values for argument 'template'",
        ),
        (
            lambda document: tessellox.parse_to_markdown(WIDGET, xml=WIDGET),
            "parse_to_markdown() got multiple values for argument 'xml'",
        ),
        (
            lambda document: tessellox.parse_to_markdown(WIDGET, style="{{title}}"),
            "parse_to_markdown() got an unexpected keyword argument 'style'",
        ),
    ],
)
def test_wrong_arguments_of_the_markdown_entry_points(call, message):
    document = tessellox.parse(WIDGET)
    with pytest.raises(TypeError) as raised:
        call(document)
    assert str(raised.value) == message


# --- Template errors ----------------------------------------------------------


@pytest.mark.parametrize(
    "template, message",
    [
        ("{{summary}}", unknown("summary")),
        ("{{ summary\t}}", unknown("summary")),
        ("{{Title}}", unknown("Title")),
        ("{{}}", unknown("")),
        ("{{   }}", unknown("")),
        ("{{{title}}}", unknown("{title")),
        ("{{title}} and {{nope}} and {{", unknown("nope")),
        ("{{title {{claims}}", unknown("title {{claims")),
        ("x {{title", UNTERMINATED),
        ("{{title}}{{", UNTERMINATED),
        ("{{", UNTERMINATED),
        ("{{ {{nope}}", unknown("{{nope")),
    ],
)
def test_template_errors_raise_value_error_with_the_message(template, message):
    for render in (
        lambda: tessellox.parse_to_markdown(WIDGET, template),
        lambda: tessellox.parse(WIDGET).to_markdown(template=template),
    ):
        with pytest.raises(ValueError) as raised:
            render()
        assert raised.value.args == (message,)


def every_document():
    yield from EMPTY_DOCUMENTS
    yield WIDGET
    for path in sorted(EXAMPLES.iterdir()):
        yield read_text(path)
    for row in manifest_rows():
        if row["family"] != "bulk" and row["file"] != "US07057742-v41.xml":  # that one is not well formed
            yield read_text(SHARED_DATA / row["family"] / row["file"])


@pytest.mark.parametrize("template, message", [("{{claims}} {{nope}}", unknown("nope")), ("{{claims", UNTERMINATED)])
def test_a_bad_template_fails_the_same_way_for_every_document(template, message):
    for text in every_document():
        with pytest.raises(ValueError) as raised:
            tessellox.parse_to_markdown(text, template)
        assert str(raised.value) == message
        with pytest.raises(ValueError) as raised:
            tessellox.parse(text).to_markdown(template)
        assert str(raised.value) == message


@pytest.mark.parametrize(
    "text, message",
    [
        ("", "source detection failed: malformed XML"),
        ("<us-patent-application/>", "source detection failed: unknown XML format"),
        ("<table/>", "source detection failed: supplemental XML root 'table'"),
        ('<us-patent-grant dtd-version="v4.5 2014-04-03"><p></us-patent-grant>', None),
    ],
)
@pytest.mark.parametrize("template", ["{{nope}}", "{{title"])
def test_document_errors_come_before_the_template(text, message, template):
    with pytest.raises(ValueError) as without_template:
        tessellox.parse(text)
    if message is not None:
        assert str(without_template.value) == message
    with pytest.raises(ValueError) as raised:
        tessellox.parse_to_markdown(text, template=template)
    assert str(raised.value) == str(without_template.value)


# --- Template behaviour -------------------------------------------------------


@pytest.mark.parametrize(
    "template, expected",
    [
        ("{{title}}|{{title}}|{{ title }}", f"{WIDGET_TITLE}|{WIDGET_TITLE}|{WIDGET_TITLE}"),
        ("{{claims}}\n\n\n\n{{claims}}", f"{WIDGET_CLAIMS}\n\n{WIDGET_CLAIMS}"),
        ("{{title}}\n\n{{description}}\n\n{{abstract}}", f"{WIDGET_TITLE}\n\n{WIDGET_ABSTRACT}"),
        ("{{title}}{{description}}\n\n\n{{description}}\n\nend", f"{WIDGET_TITLE}\n\nend"),
        ("a\n\n\n\n\nb\n\n\r\n\n\nc", "a\n\nb\n\n\r\n\nc"),
        ("  \n\t{{title}} \n\n ", WIDGET_TITLE),
        ("\u3000\u00a0{{title}}\u2029\u0085", WIDGET_TITLE),
        ("  plain } text { with }} braces  ", "plain } text { with }} braces"),
        ("{{description}}", ""),
        ("", ""),
        (" \n\n \t", ""),
    ],
)
def test_template_filling(template, expected):
    assert tessellox.parse_to_markdown(WIDGET, template) == expected
    assert tessellox.parse(WIDGET).to_markdown(template) == expected


def test_every_section_of_an_empty_document_is_empty_but_the_front_matter():
    for text in EMPTY_DOCUMENTS:
        document = tessellox.parse(text)
        assert document.to_markdown("{{title}}{{abstract}}{{description}}{{claims}}") == ""
        assert document.to_markdown() == document.to_markdown("{{frontmatter}}")
