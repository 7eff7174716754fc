"""Markdown options: tables as pipe or HTML tables and formulas as LaTeX, read
back and compared with the source's XML over every real document."""

from __future__ import annotations

import html
import html.parser
import re
import xml.etree.ElementTree as ElementTree

import pytest
import tessellox
from conftest import SHARED_DATA, manifest_rows, read_text, split_bulk
from tessellox_tools import to_markdown

latex2mathml = pytest.importorskip("latex2mathml.converter")

DOCUMENTS = [row["family"] + "/" + row["file"] for row in manifest_rows()]


class CellTexts(html.parser.HTMLParser):
    """The white-space-collapsed texts of the named elements, in order."""

    def __init__(self, tags: set[str]) -> None:
        super().__init__()
        self.tags = tags
        self.texts: list[str] = []
        self.current: list[str] | None = None

    def handle_starttag(self, tag, attrs):
        if tag in self.tags:
            self.current = []

    def handle_endtag(self, tag):
        if tag in self.tags and self.current is not None:
            self.texts.append(" ".join("".join(self.current).split()))
            self.current = None

    def handle_data(self, data):
        if self.current is not None:
            self.current.append(data)


def cell_texts(markdown: str, tags: set[str]) -> list[str]:
    parser = CellTexts(tags)
    parser.feed(markdown)
    parser.close()
    return [text for text in parser.texts if text]


def token_characters(text: str) -> list[str]:
    return [character for character in text if character.isalnum()]


def source_tokens(math: str) -> list[str]:
    # Entity references the text kept are resolved, those HTML does not know dropped.
    text = re.sub(r"&\w+;", "", html.unescape(math))
    return token_characters("".join(re.findall(r"<(?:\w+:)?(?:mi|mn|mo)(?:\s[^>]*)?>([^<]*)<", text)))


def mathml_tokens(mathml: str) -> list[str]:
    root = ElementTree.fromstring(mathml)
    return token_characters(
        "".join(node.text or "" for node in root.iter() if node.tag.split("}")[-1] in ("mi", "mn", "mo"))
    )


def documents_of(name: str) -> list[str]:
    texts = []
    for text in split_bulk(read_text(SHARED_DATA / name)) or [read_text(SHARED_DATA / name)]:
        try:
            tessellox.parse_to_markdown(text)
        except ValueError:
            continue  # a bulk file's malformed member fails in every mode alike
        texts.append(text)
    return texts


@pytest.mark.parametrize("name", DOCUMENTS)
def test_tables_and_formulas_keep_every_text_of_the_source(name):
    for text in documents_of(name):
        default = tessellox.parse_to_markdown(text)
        assert to_markdown(text) == default
        rendered = to_markdown(text, tables="html", maths="latex")
        piped = to_markdown(text, tables="markdown", maths="latex")

        assert cell_texts(rendered, {"td", "th"}) == cell_texts(default, {"entry"})
        unmarked = re.sub(r"</?su[bp]>|\*", "", piped).replace("\\|", "|")
        for entry in cell_texts(default, {"entry"}):
            assert entry.replace("*", "") in unmarked

        # A claim's formulas are inline in its fence; the others are display maths.
        formulas = re.findall(r"<math[ >].*?</math>", default[: default.find("## Claims")], re.S)
        latex = re.findall(r"\$\$\n(.*?)\n\$\$", rendered, re.S)
        assert len(latex) == len(formulas)
        for source, converted in zip(formulas, latex):
            assert mathml_tokens(latex2mathml.convert(converted)) == source_tokens(source), converted


@pytest.mark.parametrize(
    ("options", "message"),
    [
        ({"tables": "csv"}, "to_markdown() tables must be one of 'xml', 'markdown', 'html', not 'csv'"),
        ({"maths": "mathml"}, "to_markdown() maths must be one of 'xml', 'latex', not 'mathml'"),
        ({"instructions": "keep"}, "to_markdown() instructions must be one of 'xml', 'drop', not 'keep'"),
    ],
)
def test_an_unknown_option_value_is_refused(grant_xml, options, message):
    with pytest.raises(ValueError, match=re.escape(message)):
        to_markdown(grant_xml, **options)


def test_dropped_instructions_take_their_empty_line_along(shared_data):
    text = read_text(shared_data / "v4-grant" / "US07272630B2-v42.xml")
    default = tessellox.parse_to_markdown(text)
    dropped = to_markdown(text, instructions="drop")
    kept = re.sub(r"\n\n<\?[^?]*\?>(?=\n\n)", "", default)
    assert "<?BRFSUM" not in dropped
    assert dropped == kept


COLUMNS = '<colspec colname="1"/><colspec colname="2"/><colspec colname="3"/>'
TABLE_CASES = {
    "a span naming no column covers the rest of the row": (
        f'<table><tgroup cols="3">{COLUMNS}<tbody><row><entry>a</entry><entry namest="x" nameend="3">b</entry></row>'
        "<row><entry>c</entry><entry>d</entry><entry>e</entry></row></tbody></tgroup></table>",
        "|  |  |  |\n| --- | --- | --- |\n| a | b | b |\n| c | d | e |",
        '<table>\n<tbody>\n<tr><td>a</td><td colspan="2">b</td></tr>\n<tr><td>c</td><td>d</td><td>e</td></tr>\n'
        "</tbody>\n</table>",
    ),
    "surplus entries widen the grid, short rows are padded": (
        '<table><tgroup cols="2"><tbody><row><entry>a</entry><entry>b</entry><entry>c</entry></row>'
        "<row><entry>d</entry></row></tbody></tgroup></table>",
        "|  |  |  |\n| --- | --- | --- |\n| a | b | c |\n| d |  |  |",
        "<table>\n<tbody>\n<tr><td>a</td><td>b</td><td>c</td></tr>\n<tr><td>d</td></tr>\n</tbody>\n</table>",
    ),
    "row and named spans, inline markup": (
        f'<table><tgroup cols="3">{COLUMNS}<spanspec spanname="s" namest="2" nameend="3"/>'
        '<thead><row><entry>h1</entry><entry spanname="s">h2|3</entry></row></thead>'
        '<tbody><row><entry morerows="1">a</entry><entry>b</entry><entry>c</entry></row>'
        "<row><entry>d</entry><entry><b>e</b><sub>2</sub></entry></row></tbody></tgroup></table>",
        "| h1 | h2\\|3 | h2\\|3 |\n| --- | --- | --- |\n| a | b | c |\n| a | d | **e**<sub>2</sub> |",
        '<table>\n<thead>\n<tr><th>h1</th><th colspan="2">h2|3</th></tr>\n</thead>\n<tbody>\n'
        '<tr><td rowspan="2">a</td><td>b</td><td>c</td></tr>\n<tr><td>d</td><td><b>e</b><sub>2</sub></td></tr>\n'
        "</tbody>\n</table>",
    ),
    "a title group, an empty row and an escaped ampersand": (
        '<table><tgroup cols="1"><colspec colname="1"/><tbody><row><entry>TABLE 1</entry></row></tbody></tgroup>'
        '<tgroup cols="2"><thead><row><entry>x</entry><entry>y &amp; z</entry></row></thead>'
        "<tbody><row><entry></entry><entry></entry></row><row><entry>1</entry><entry>2</entry></row></tbody>"
        "</tgroup></table>",
        "TABLE 1\n\n| x | y & z |\n| --- | --- |\n| 1 | 2 |",
        "<table>\n<tbody>\n<tr><td>TABLE 1</td></tr>\n</tbody>\n<thead>\n<tr><th>x</th><th>y &amp; z</th></tr>\n"
        "</thead>\n<tbody>\n<tr><td></td><td></td></tr>\n<tr><td>1</td><td>2</td></tr>\n</tbody>\n</table>",
    ),
    "a table held as an image": (
        '<img id="EMI-1" he="1" wi="1" file="US-T00001.TIF" alt="table" img-content="table" img-format="tif"/>',
        "![table](US-T00001.TIF)",
        "![table](US-T00001.TIF)",
    ),
}


@pytest.mark.parametrize("case", TABLE_CASES)
def test_tables_are_laid_out_on_their_grid(shared_data, case):
    table, piped, as_html = TABLE_CASES[case]
    text = read_text(shared_data / "v4-grant" / "US07272630B2-v42.xml")
    start = text.index('<tables id="TABLE-US-00001"')
    end = text.index("</tables>", start) + len("</tables>")
    text = text[:start] + '<tables id="T" num="1">' + table + "</tables>" + text[end:]
    for tables, expected in (("markdown", piped), ("html", as_html)):
        markdown = to_markdown(text, tables=tables)
        paragraph = markdown[markdown.index("[0143]") : markdown.index("[0144]")]
        assert paragraph == "[0143]\n\n" + expected + "\n\n"


@pytest.mark.parametrize(
    ("mathml", "latex"),
    [
        ("<mfenced><mi>a</mi><mi>b</mi></mfenced>", "({a},{b})"),
        (
            "<munderover><mo>&#x2211;</mo><mrow><mi>i</mi><mo>=</mo><mn>1</mn></mrow><mi>n</mi></munderover>"
            "<msub><mi>x</mi><mi>i</mi></msub>",
            "{\\sum }_{i=1}^{n}{x}_{i}",
        ),
        (
            "<mover><mi>x</mi><mo>&#x5e;</mo></mover><mo>&#x2062;</mo><mi>sin</mi><mo>&#x2061;</mo><mi>&#x3b8;</mi>",
            "\\hat{x}\\sin \\theta",
        ),
        (
            "<mtable><mtr><mtd><mn>1</mn></mtd><mtd><mn>0</mn></mtd></mtr><mtr><mtd><mn>0</mn></mtd></mtr></mtable>",
            "\\begin{matrix}1 & 0 \\\\ 0\\end{matrix}",
        ),
        (
            "<mroot><mi>x</mi><mn>3</mn></mroot><mo>&#x2264;</mo><mfrac><mi>a</mi><mi>b</mi></mfrac>",
            "\\sqrt[3]{x}\\leq \\frac{a}{b}",
        ),
        ("<mglyph>q%</mglyph><mtext>if x_1</mtext><mo>{</mo>", "\\text{q\\%}\\text{if x\\_1}\\{"),
        (
            "<msubsup><mi>e</mi><mn>0</mn><mn>2</mn></msubsup><menclose notation='box'><mi>z</mi></menclose>",
            "{e}_{0}^{2}\\boxed{z}",
        ),
    ],
)
def test_formulas_are_written_as_latex(shared_data, mathml, latex):
    text = read_text(shared_data / "v4-grant" / "US07272630B2-v42.xml")
    start = text.index('<math overflow="scroll">')
    end = text.index("</math>", start) + len("</math>")
    markdown = to_markdown(text[:start] + "<math>" + mathml + "</math>" + text[end:], maths="latex")
    assert "[0107]\n\n$$\n" + latex + "\n$$\n\n" in markdown
    latex2mathml.convert(latex)


def test_a_formula_block_within_a_sentence_is_inline(shared_data):
    text = read_text(shared_data / "v4-grant" / "US07272630B2-v42.xml")
    start = text.index('<maths id="MATH-US-00001"')
    end = text.index("</maths>", start) + len("</maths>")
    formula = '<maths id="M" num="1"><math><mi>x</mi><mo>+</mo><mn>1</mn></math></maths>'
    sentence = text[:start] + "where the load is " + formula + " newtons." + text[end:]
    assert "where the load is $x+1$ newtons." in to_markdown(sentence, maths="latex")
