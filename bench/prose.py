"""Vocabulary, inline markup and prose for the benchmark document generator.

Text runs hold entity and character references already, so every string
built here is XML that can be dropped into an element's content.
"""

from __future__ import annotations

import random
from typing import Callable, List

# ---------------------------------------------------------------------------
# Vocabulary
# ---------------------------------------------------------------------------

NOUNS = (
    "housing",
    "substrate",
    "layer",
    "electrode",
    "controller",
    "sensor",
    "module",
    "assembly",
    "circuit",
    "signal",
    "processor",
    "memory",
    "interface",
    "actuator",
    "valve",
    "chamber",
    "conduit",
    "member",
    "frame",
    "bracket",
    "shaft",
    "bearing",
    "spring",
    "lever",
    "panel",
    "array",
    "detector",
    "emitter",
    "lens",
    "waveguide",
    "filter",
    "amplifier",
    "converter",
    "register",
    "buffer",
    "node",
    "network",
    "terminal",
    "antenna",
    "receiver",
    "transmitter",
    "coating",
    "film",
    "particle",
    "compound",
    "polymer",
    "solvent",
    "catalyst",
    "reactor",
    "nozzle",
    "pump",
    "motor",
    "gear",
    "coupling",
    "clamp",
    "socket",
    "cable",
    "connector",
    "display",
    "pixel",
    "region",
    "portion",
    "surface",
    "edge",
    "groove",
    "flange",
    "recess",
)
ADJECTIVES = (
    "first",
    "second",
    "third",
    "upper",
    "lower",
    "inner",
    "outer",
    "lateral",
    "central",
    "adjacent",
    "opposite",
    "flexible",
    "rigid",
    "transparent",
    "conductive",
    "insulating",
    "annular",
    "elongated",
    "planar",
    "curved",
    "removable",
    "integral",
    "primary",
    "auxiliary",
    "thermal",
    "optical",
    "electrical",
    "mechanical",
    "porous",
    "hollow",
    "tapered",
    "modular",
)
VERBS = (
    "is coupled to",
    "is connected to",
    "engages",
    "extends through",
    "is disposed on",
    "is mounted within",
    "supports",
    "receives",
    "transmits",
    "controls",
    "is adjacent to",
    "surrounds",
    "is integrally formed with",
    "communicates with",
    "is spaced apart from",
    "is configured to drive",
    "is arranged to monitor",
    "regulates",
    "encloses",
    "abuts",
)
CONNECTIVES = (
    "In some embodiments,",
    "In one example,",
    "Alternatively,",
    "Accordingly,",
    "In addition,",
    "As shown,",
    "Optionally,",
    "In this arrangement,",
    "For instance,",
    "Moreover,",
)
FAMILY_NAMES = (
    "Smith",
    "Tanaka",
    "Müller",
    "Garcia",
    "Nguyen",
    "Kowalski",
    "Johansson",
    "O'Brien",
    "Rossi",
    "Kim",
    "Dubois",
    "Schmidt",
    "Yamamoto",
    "Novak",
    "Silva",
    "Chen",
    "Andersson",
    "Martínez",
    "Ivanov",
    "Patel",
    "Larsen",
    "Fischer",
    "Okafor",
    "Hernández",
    "Suzuki",
)
GIVEN_NAMES = (
    "John",
    "Akira",
    "Jürgen",
    "Maria",
    "Linh",
    "Piotr",
    "Erik",
    "Siobhan",
    "Giulia",
    "Min-jun",
    "Claire",
    "Hans",
    "Yuki",
    "Jana",
    "Paulo",
    "Wei",
    "Ingrid",
    "José",
    "Olga",
    "Ravi",
    "Søren",
)
ORGANISATIONS = (
    "Acme Instruments Corporation",
    "Nordic Photonics AB",
    "Kabushiki Kaisha Tessera Seiki",
    "Helios Materials GmbH",
    "Bluewater Systems, Inc.",
    "Société Générale d'Optique S.A.",
    "Pioneer Fluidics LLC",
    "Sunrise Semiconductor Co., Ltd.",
    "Atlas Mechanical Works Ltd.",
    "Orchid Biotech Inc.",
    "Smith &amp; Wesson Engineering L.P.",
)
CITIES = (
    ("Waltham", "MA", "US"),
    ("San Jose", "CA", "US"),
    ("Austin", "TX", "US"),
    ("Osaka", None, "JP"),
    ("München", None, "DE"),
    ("Lund", None, "SE"),
    ("Lyon", None, "FR"),
    ("Seoul", None, "KR"),
    ("Portland", "OR", "US"),
    ("Hsinchu", None, "TW"),
)
IPC_SECTIONS = "ABCDEFGH"
TITLE_WORDS = (
    "System",
    "Method",
    "Apparatus",
    "Device",
    "Assembly",
    "Composition",
    "Process",
    "Circuit",
    "Sensor",
    "Controller",
    "Structure",
    "Module",
)
HEADINGS_DETAIL = (
    "DETAILED DESCRIPTION",
    "First Embodiment",
    "Second Embodiment",
    "Examples",
    "Example 1",
    "Example 2",
    "Comparative Example",
    "Manufacturing Method",
    "Operation",
    "Modifications",
    "Test Results",
)

# ---------------------------------------------------------------------------
# Inline markup dialects. A dialect turns text runs and inline elements into
# its generation's element names; text runs hold entity and character
# references already (they are ASCII-safe XML).
# ---------------------------------------------------------------------------


class Dialect:
    name = ""

    def text(self, value: str) -> str:
        return value

    def bold(self, value: str) -> str:
        raise NotImplementedError

    def italic(self, value: str) -> str:
        raise NotImplementedError

    def sub(self, value: str) -> str:
        raise NotImplementedError

    def sup(self, value: str) -> str:
        raise NotImplementedError

    def figref(self, value: str) -> str:
        raise NotImplementedError


class V4Dialect(Dialect):
    name = "v4"

    def bold(self, value: str) -> str:
        return f"<b>{value}</b>"

    def italic(self, value: str) -> str:
        return f"<i>{value}</i>"

    def sub(self, value: str) -> str:
        return f"<sub>{value}</sub>"

    def sup(self, value: str) -> str:
        return f"<sup>{value}</sup>"

    def figref(self, value: str) -> str:
        return f'<figref idref="DRAWINGS">{value}</figref>'


class PapDialect(Dialect):
    name = "pap"

    def bold(self, value: str) -> str:
        return f"<highlight><bold>{value}</bold></highlight>"

    def italic(self, value: str) -> str:
        return f"<highlight><italic>{value}</italic></highlight>"

    def sub(self, value: str) -> str:
        return f"<subscript>{value}</subscript>"

    def sup(self, value: str) -> str:
        return f"<highlight><superscript>{value}</superscript></highlight>"

    def figref(self, value: str) -> str:
        return f'<cross-reference target="DRAWINGS">{value}</cross-reference>'


class St32Dialect(Dialect):
    """ST.32 keeps every text run in a PDAT element."""

    name = "st32"

    def text(self, value: str) -> str:
        return f"<PDAT>{value}</PDAT>"

    def bold(self, value: str) -> str:
        return f"<HIL><BOLD><PDAT>{value}</PDAT></BOLD></HIL>"

    def italic(self, value: str) -> str:
        return f"<HIL><ITALIC><PDAT>{value}</PDAT></ITALIC></HIL>"

    def sub(self, value: str) -> str:
        return f"<HIL><SB><PDAT>{value}</PDAT></SB></HIL>"

    def sup(self, value: str) -> str:
        return f"<HIL><SP><PDAT>{value}</PDAT></SP></HIL>"

    def figref(self, value: str) -> str:
        return f'<FGREF ID="DRAWINGS"><PDAT>{value}</PDAT></FGREF>'


# ---------------------------------------------------------------------------
# Prose
# ---------------------------------------------------------------------------


class Prose:
    """Sentences and paragraph bodies in one dialect, drawn from one RNG.

    A pool of plain sentences is drawn once; paragraphs mix pool sentences
    with freshly drawn marked-up ones, which keeps a 100 MB document quick to
    write while its text still varies.
    """

    def __init__(self, rng: random.Random, dialect: Dialect, figures: int = 12):
        self.rng = rng
        self.dialect = dialect
        self.figures = max(1, figures)
        self.pool = [self._plain_sentence() for _ in range(600)]

    def noun_phrase(self) -> str:
        rng = self.rng
        return f"the {rng.choice(ADJECTIVES)} {rng.choice(NOUNS)}"

    def _plain_sentence(self) -> str:
        rng = self.rng
        words = [rng.choice(CONNECTIVES)] if rng.random() < 0.3 else []
        words.append(self.noun_phrase())
        words.append(rng.choice(VERBS))
        words.append(self.noun_phrase())
        if rng.random() < 0.6:
            words.append(
                rng.choice(("so that", "such that", "whereby", "while", "and"))
                + " "
                + self.noun_phrase()
                + " "
                + rng.choice(VERBS)
                + " "
                + self.noun_phrase()
            )
        sentence = " ".join(words)
        return sentence[0].upper() + sentence[1:] + "."

    def _numeral(self) -> str:
        return str(self.rng.randrange(10, 400, 2))

    def marked_sentence(self) -> str:
        """One sentence with inline markup or references, in one of several shapes."""
        rng, d = self.rng, self.dialect
        shape = rng.randrange(12)
        noun_a, noun_b = rng.choice(NOUNS), rng.choice(NOUNS)
        if shape == 0:
            return (
                d.text("As shown in ")
                + d.figref(f"FIG. {rng.randrange(1, self.figures + 1)}")
                + d.text(f", the {noun_a} ")
                + d.bold(self._numeral())
                + d.text(f" {rng.choice(VERBS)} the {noun_b} ")
                + d.bold(self._numeral())
                + d.text(".")
            )
        if shape == 1:
            return (
                d.text(f"The {noun_a} ")
                + d.bold(self._numeral())
                + d.text(f" {rng.choice(VERBS)} the {noun_b} ")
                + d.bold(self._numeral())
                + d.text(f" and the {rng.choice(NOUNS)} ")
                + d.bold(f"{self._numeral()}{rng.choice('abc')}")
                + d.text(".")
            )
        if shape == 2:
            minus = "&minus;" if d.name == "pap" else "&#x2212;"
            return (
                d.text("The layer comprises H")
                + d.sub("2")
                + d.text("O and SiO")
                + d.sub("x")
                + d.text(f" deposited at about {rng.randrange(20, 900)}&deg; C. under a pressure of 10")
                + d.sup(f"{minus}{rng.randrange(2, 8)}")
                + d.text(" Pa.")
            )
        if shape == 3:
            return (
                d.text("As used herein, the term &ldquo;")
                + d.italic(f"{rng.choice(ADJECTIVES)} {noun_a}")
                + d.text(f"&rdquo; refers to any {noun_b} that {rng.choice(VERBS)} {self.noun_phrase()}.")
            )
        if shape == 4:
            return d.text(
                f"The {noun_a}&mdash;for example a {rng.choice(ADJECTIVES)} {noun_b}&mdash;"
                f"{rng.choice(VERBS)} {self.noun_phrase()}."
            )
        if shape == 5:
            return d.text(
                f"The parameters described in paragraph &lsqb;{rng.randrange(1, 9999):04d}&rsqb; "
                f"apply equally to {self.noun_phrase()}."
            )
        if shape == 6:
            return d.text(
                f"The width is {rng.randrange(1, 99)} &#x3bc;m &#xb1; {rng.randrange(1, 9)}.{rng.randrange(10)} "
                f"&#x3bc;m and the ratio of A &amp; B is less than {rng.randrange(2, 50)}:1."
            )
        if shape == 7:
            # Raw UTF-8, as the documents carry it after their conversion.
            return d.text(
                f"A current of {rng.randrange(1, 500)} µA flows at {rng.randrange(1, 90)} °C "
                f"through {self.noun_phrase()} (≈{rng.randrange(2, 99)} Ω)."
            )
        if shape == 8:
            return (
                d.text("The ratio x")
                + d.sub("i")
                + d.text("/x")
                + d.sub("i+1")
                + d.text(f" satisfies x &lt; {rng.randrange(2, 9)}&#xd7;10")
                + d.sup(str(rng.randrange(2, 12)))
                + d.text(".")
            )
        if shape == 9:
            return (
                d.text("In ")
                + d.figref(f"FIGS. {rng.randrange(1, self.figures + 1)}A-{rng.randrange(1, self.figures + 1)}C")
                + d.text(f", &ldquo;{noun_a}&rdquo; and &ldquo;{noun_b}&rdquo; are used interchangeably.")
            )
        if shape == 10:
            return (
                d.text(f"The {noun_a} may be formed by ")
                + d.italic("in situ")
                + d.text(f" polymerisation of {rng.choice(NOUNS)} &lsqb;{rng.randrange(1, 40)}&rsqb;.")
            )
        return d.text(rng.choice(self.pool))

    def body(self, sentences: int) -> str:
        """A paragraph body of about `sentences` sentences."""
        rng, d = self.rng, self.dialect
        parts = []
        for _ in range(sentences):
            if rng.random() < 0.35:
                parts.append(self.marked_sentence())
            else:
                parts.append(d.text(rng.choice(self.pool)))
            parts.append(d.text(" "))
        parts.pop()
        return "".join(parts)

    def filler(self, length: int) -> str:
        """Plain text of exactly `length` bytes (ASCII), ending with a full stop."""
        if length <= 0:
            return ""
        out: List[str] = []
        total = 0
        while total < length:
            sentence = self.rng.choice(self.pool)
            out.append(sentence)
            total += len(sentence) + 1
        text = " ".join(out)[: length - 1]
        return text + "."

    def title(self) -> str:
        rng = self.rng
        return (
            f"{rng.choice(TITLE_WORDS)} and {rng.choice(TITLE_WORDS).lower()} for "
            f"{rng.choice(ADJECTIVES)} {rng.choice(NOUNS)} {rng.choice(('control', 'detection', 'assembly', 'processing'))}"
        )


def utf8_len(text: str) -> int:
    return len(text.encode("utf-8"))


def mathml(rng: random.Random) -> str:
    """A small MathML expression (a fraction equated to a sum of terms)."""
    terms = "".join(f"<mo>+</mo><msub><mi>a</mi><mn>{i}</mn></msub>" for i in range(rng.randrange(1, 5)))
    return (
        f'<math overflow="scroll"><mrow><mi>W</mi><mo>=</mo><mrow><mfrac><mi>M</mi><mi>R</mi></mfrac>'
        f"{terms}<mo>&#x2062;</mo><msup><mi>x</mi><mn>{rng.randrange(2, 5)}</mn></msup></mrow></mrow></math>"
    )


def cals_table(rng: random.Random, cell: Callable[[str], str], rows: int, cols: int) -> str:
    """A CALS table; `cell` wraps a cell's text in the generation's markup."""
    out = ['<table frame="none" colsep="0" rowsep="0">', f'<tgroup align="left" colsep="0" rowsep="0" cols="{cols}">']
    for c in range(cols):
        out.append(f'<colspec colname="{c + 1}" colwidth="{rng.randrange(28, 120)}pt" align="center"/>')
    out.append("<thead><row>")
    for c in range(cols):
        out.append(f"<entry>{cell(f'Column {c + 1}')}</entry>")
    out.append("</row></thead>")
    out.append('<tbody valign="top">')
    for r in range(rows):
        out.append("<row>")
        for c in range(cols):
            value = f"Sample {r + 1}" if c == 0 else f"{rng.randrange(1, 999)}.{rng.randrange(10)}"
            out.append(f"<entry>{cell(value)}</entry>")
        out.append("</row>")
    out.append("</tbody></tgroup></table>")
    return "\n".join(out)
