"""Deterministic generator of USPTO-like patent documents for benchmarks.

Writes documents shaped like the USPTO's own publications, of any size from
about 10 KB to 100 MB; the same kind, size and seed always give the same bytes.

    python bench/generate.py grant --size 1MB -o /tmp/grant-1mb.xml
    python bench/generate.py application --size 200KB --seed 7 -o app.xml
    python bench/generate.py st32 --size 500KB -o patdoc.xml
    python bench/generate.py pap --version 1.6 --size 300KB -o pap16.xml
    python bench/generate.py corpus --kind grant --total 50MB \
        --min-size 100KB --max-size 500KB --out-dir /tmp/corpus
    python bench/generate.py corpus --kind mixed --total 20MB --bulk /tmp/bulk.xml

Corpus kinds: any of the kinds below, "v4" (grants and applications), or
"mixed" (v4 with a few ST.32 grants and pre-grant publications).

Kinds:
  grant        us-patent-grant v4.5 (DOCTYPE us-patent-grant-v45, dtd-version "v4.5 ...")
  application  us-patent-application v4.5
  st32         ST.32 grant, root PATDOC, DTD="2.5"
  pap          patent-application-publication, pap-v15 (default) or pap-v16

A size is reached by growing the detailed description and the claims (about
one sixth of the growth goes to claims); the bibliographic data scale mildly
with the size. The last description paragraph is cut so that the document's
UTF-8 length lands on the target (exactly, for targets above the fixed
parts). Sizes take the suffixes B, KB, MB, GB (powers of 1000) and KiB, MiB.

Documents carry what real ones carry: processing instructions around the
description sections, headings, numbered paragraphs with bold reference
numerals, italics, sub- and superscripts, figure references, CALS tables,
MathML, in-line formulae, lists, nested claim texts with claim references,
character references, raw non-ASCII text, and the named entities that only
the external DTD declares (&lsqb; &rsqb; &ldquo; &rdquo; &deg; &mdash;).
"""

from __future__ import annotations

import argparse
import os
import random
import re
import sys
from typing import Callable, Iterator, List, Optional, Sequence, Tuple

from prose import (
    ADJECTIVES,
    CITIES,
    FAMILY_NAMES,
    GIVEN_NAMES,
    HEADINGS_DETAIL,
    IPC_SECTIONS,
    NOUNS,
    ORGANISATIONS,
    PapDialect,
    Prose,
    St32Dialect,
    V4Dialect,
    cals_table,
    mathml,
    utf8_len,
)

KINDS = ("grant", "application", "st32", "pap")

# ---------------------------------------------------------------------------
# Shared document skeleton: fixed head, growing description, claims, tail.
# ---------------------------------------------------------------------------


class Budget:
    """How a target size splits into description and claims."""

    def __init__(self, target: int, fixed: int):
        self.target = target
        growth = max(0, target - fixed)
        self.claims = growth // 6
        self.description = growth - self.claims


def lead_sentences(size: int, sentences: int) -> int:
    """Fewer sentences in the fixed sections of small documents, so that 10 KB stays reachable."""
    return max(1, sentences * min(size, 200_000) // 200_000)


def scale(size: int, per: int, low: int, high: int) -> int:
    return max(low, min(high, size // per))


def numbers(rng: random.Random) -> dict:
    year = rng.randrange(2006, 2024)
    return {
        "year": year,
        "grant_number": f"{rng.randrange(7000000, 11999999):08d}",
        "publication_number": f"{year}{rng.randrange(0, 999999):07d}",
        "application_number": f"{rng.randrange(10, 17)}{rng.randrange(0, 999999):06d}",
        "series": f"{rng.randrange(10, 17)}",
        "date_publ": f"{year}{rng.randrange(1, 13):02d}{rng.randrange(1, 29):02d}",
        "date_filed": f"{year - rng.randrange(1, 4)}{rng.randrange(1, 13):02d}{rng.randrange(1, 29):02d}",
        "date_priority": f"{year - rng.randrange(4, 6)}{rng.randrange(1, 13):02d}{rng.randrange(1, 29):02d}",
    }


def person(rng: random.Random) -> Tuple[str, str, Tuple[str, Optional[str], str]]:
    return rng.choice(GIVEN_NAMES), rng.choice(FAMILY_NAMES), rng.choice(CITIES)


def escape(text: str) -> str:
    """Escapes raw text (names) that may hold '&', leaving entity references of the tables alone."""
    return re.sub(r"&(?![a-zA-Z]+;|#)", "&amp;", text)


def grow(
    target: int, paragraph: Callable[[], str], last: Callable[[int], str], overhead: Callable[[], int]
) -> List[str]:
    """Paragraphs until their UTF-8 size reaches `target`; the last one is cut to fit.

    `last(n)` writes a paragraph around n bytes of plain text, and `overhead()`
    is the size of that paragraph's markup at the current numbering.
    """
    out: List[str] = []
    total = 0
    while True:
        piece = paragraph()
        size = utf8_len(piece) + 1
        if total + size > target:
            remaining = target - total - overhead() - 1
            if remaining > 20:
                out.append(last(remaining))
            break
        out.append(piece)
        total += size
    return out


# ---------------------------------------------------------------------------
# Version 4 grants and applications
# ---------------------------------------------------------------------------

V4_VERSIONS = {
    "grant": (
        "us-patent-grant",
        "us-patent-grant-v45-2014-04-03.dtd",
        "v4.5 2014-04-03",
        "us-bibliographic-data-grant",
    ),
    "application": (
        "us-patent-application",
        "us-patent-application-v45-2021-08-30.dtd",
        "v4.5 2021-08-30",
        "us-bibliographic-data-application",
    ),
}


def finish(parts: Sequence[str], size: int) -> str:
    """Joins a document; a few bytes short of `size` are made up by line ends after the root."""
    text = "".join(parts)
    missing = size - utf8_len(text)
    return text + "\n" * missing if 0 < missing <= 200 else text


def v4_address(city: Tuple[str, Optional[str], str]) -> str:
    name, state, country = city
    state_line = f"<state>{state}</state>\n" if state else ""
    return f"<address>\n<city>{name}</city>\n{state_line}<country>{country}</country>\n</address>\n"


def v4_document_id(country: str, number: str, kind: Optional[str], date: Optional[str]) -> str:
    kind_line = f"<kind>{kind}</kind>\n" if kind else ""
    date_line = f"<date>{date}</date>\n" if date else ""
    return f"<document-id>\n<country>{country}</country>\n<doc-number>{number}</doc-number>\n{kind_line}{date_line}</document-id>\n"


def v4_ipcr(rng: random.Random, date: str) -> str:
    return (
        "<classification-ipcr>\n<ipc-version-indicator><date>20060101</date></ipc-version-indicator>\n"
        f"<classification-level>A</classification-level>\n<section>{rng.choice(IPC_SECTIONS)}</section>\n"
        f"<class>{rng.randrange(1, 99):02d}</class>\n<subclass>{rng.choice('ABCDFGHJKLMNS')}</subclass>\n"
        f"<main-group>{rng.randrange(1, 99)}</main-group>\n<subgroup>{rng.randrange(0, 999):02d}</subgroup>\n"
        f"<symbol-position>{rng.choice('FL')}</symbol-position>\n<classification-value>I</classification-value>\n"
        f"<action-date><date>{date}</date></action-date>\n<generating-office><country>US</country></generating-office>\n"
        "<classification-status>B</classification-status>\n<classification-data-source>H</classification-data-source>\n"
        "</classification-ipcr>\n"
    )


def v4_bibliographic(
    rng: random.Random, kind: str, size: int, n: dict, title: str, claim_count: int, figures: int
) -> str:
    grant = kind == "grant"
    element = V4_VERSIONS[kind][3]
    attributes = "" if grant else ' lang="EN" country="US"'
    out = [f"<{element}{attributes}>\n"]
    if grant:
        out.append(
            "<publication-reference>\n"
            + v4_document_id("US", n["grant_number"], "B2", n["date_publ"])
            + "</publication-reference>\n"
        )
    else:
        out.append(
            "<publication-reference>\n"
            + v4_document_id("US", n["publication_number"], "A1", n["date_publ"])
            + "</publication-reference>\n"
        )
    out.append(
        '<application-reference appl-type="utility">\n'
        + v4_document_id("US", n["application_number"], None, n["date_filed"])
        + "</application-reference>\n"
    )
    out.append(f"<us-application-series-code>{n['series']}</us-application-series-code>\n")
    if grant:
        out.append(
            f"<us-term-of-grant>\n<us-term-extension>{rng.randrange(0, 900)}</us-term-extension>\n</us-term-of-grant>\n"
        )
    out.append(
        '<priority-claims>\n<priority-claim sequence="01" kind="national">\n<country>JP</country>\n'
        f"<doc-number>{n['year'] - 5}-{rng.randrange(100000, 999999)}</doc-number>\n<date>{n['date_priority']}</date>\n"
        "</priority-claim>\n</priority-claims>\n"
    )
    out.append("<classifications-ipcr>\n")
    for _ in range(scale(size, 100_000, 1, 8)):
        out.append(v4_ipcr(rng, n["date_publ"]))
    out.append("</classifications-ipcr>\n")
    further = "".join(
        f"<further-classification>{rng.randrange(100, 999)}{rng.randrange(1, 999):3d}</further-classification>\n"
        for _ in range(scale(size, 100_000, 1, 6))
    )
    out.append(
        f"<classification-national>\n<country>US</country>\n<main-classification>{rng.randrange(100, 999)} "
        f"{rng.randrange(1, 99)}</main-classification>\n{further}</classification-national>\n"
    )
    out.append(f'<invention-title id="d2e{rng.randrange(40, 70)}">{title}</invention-title>\n')
    if grant:
        out.append("<us-references-cited>\n")
        for index in range(scale(size, 10_000, 2, 120)):
            name = rng.choice(FAMILY_NAMES)
            out.append(
                f'<us-citation>\n<patcit num="{index + 1:05d}">\n'
                + v4_document_id(
                    "US",
                    str(rng.randrange(4000000, 9999999)),
                    "A",
                    f"{rng.randrange(1980, 2015)}0{rng.randrange(1, 10)}00",
                ).replace("</document-id>", f"<name>{name}</name>\n</document-id>")
                + f"</patcit>\n<category>cited by {rng.choice(('examiner', 'applicant'))}</category>\n</us-citation>\n"
            )
        out.append(
            '<us-citation>\n<nplcit num="%05d">\n<othercit>%s et al.; &#x201c;%s&#x201d;; Journal of Applied %s; vol. %d; pp. %d-%d.</othercit>\n'
            "</nplcit>\n<category>cited by applicant</category>\n</us-citation>\n</us-references-cited>\n"
            % (
                scale(size, 10_000, 2, 120) + 1,
                rng.choice(FAMILY_NAMES),
                title,
                rng.choice(NOUNS).title(),
                rng.randrange(1, 99),
                rng.randrange(1, 500),
                rng.randrange(500, 999),
            )
        )
        out.append(f"<number-of-claims>{claim_count}</number-of-claims>\n<us-exemplary-claim>1</us-exemplary-claim>\n")
        out.append(
            "<us-field-of-classification-search>\n<classification-national>\n<country>US</country>\n"
            f"<main-classification>{rng.randrange(100, 999)}</main-classification>\n</classification-national>\n"
            "</us-field-of-classification-search>\n"
        )
        out.append(
            f"<figures>\n<number-of-drawing-sheets>{max(1, figures // 2)}</number-of-drawing-sheets>\n"
            f"<number-of-figures>{figures}</number-of-figures>\n</figures>\n"
        )
    parent = f"{rng.randrange(10, 16)}{rng.randrange(0, 999999):06d}"
    out.append(
        "<us-related-documents>\n<continuation>\n<relation>\n<parent-doc>\n"
        + v4_document_id("US", parent, None, n["date_priority"])
        + "<parent-grant-document>\n"
        + v4_document_id("US", str(rng.randrange(7000000, 9999999)), None, None)
        + "</parent-grant-document>\n</parent-doc>\n<child-doc>\n"
        + v4_document_id("US", n["application_number"], None, None)
        + "</child-doc>\n</relation>\n</continuation>\n<related-publication>\n"
        + v4_document_id("US", f"{n['year'] - 2}{rng.randrange(0, 999999):07d}", "A1", n["date_filed"])
        + "</related-publication>\n</us-related-documents>\n"
    )
    inventors = [person(rng) for _ in range(scale(size, 50_000, 1, 12))]
    organisation = rng.choice(ORGANISATIONS)
    org_city = rng.choice(CITIES)
    parties = ["<us-parties>\n<us-applicants>\n"]
    parties.append(
        '<us-applicant sequence="001" app-type="applicant" designation="us-only" '
        'applicant-authority-category="assignee">\n<addressbook>\n'
        f"<orgname>{organisation}</orgname>\n{v4_address(org_city)}</addressbook>\n"
        f"<residence>\n<country>{org_city[2]}</country>\n</residence>\n</us-applicant>\n</us-applicants>\n"
    )
    parties.append("<inventors>\n")
    for index, (given, family, city) in enumerate(inventors):
        parties.append(
            f'<inventor sequence="{index + 1:03d}" designation="us-only">\n<addressbook>\n'
            f"<last-name>{escape(family)}</last-name>\n<first-name>{given}</first-name>\n"
            f"{v4_address(city)}</addressbook>\n</inventor>\n"
        )
    parties.append(
        '</inventors>\n<agents>\n<agent sequence="01" rep-type="attorney">\n<addressbook>\n'
        f"<orgname>{rng.choice(FAMILY_NAMES)} &amp; {rng.choice(FAMILY_NAMES)} LLP</orgname>\n"
        "<address>\n<country>unknown</country>\n</address>\n</addressbook>\n</agent>\n</agents>\n</us-parties>\n"
    )
    out.extend(parties)
    out.append(
        "<assignees>\n<assignee>\n<addressbook>\n"
        f"<orgname>{organisation}</orgname>\n<role>02</role>\n{v4_address(org_city)}</addressbook>\n</assignee>\n</assignees>\n"
    )
    if grant:
        given, family, _ = person(rng)
        out.append(
            "<examiners>\n<primary-examiner>\n"
            f"<last-name>{escape(family)}</last-name>\n<first-name>{given}</first-name>\n"
            f"<department>{rng.randrange(1600, 3700)}</department>\n</primary-examiner>\n</examiners>\n"
        )
    else:
        out.append(
            "<pct-or-regional-filing-data>\n"
            + v4_document_id("WO", f"PCT/JP{n['year'] - 2}/{rng.randrange(10000, 99999):06d}", "00", n["date_filed"])
            + f"<us-371c12-date><date>{n['date_filed']}</date></us-371c12-date>\n</pct-or-regional-filing-data>\n"
        )
    out.append(f"</{element}>\n")
    return "".join(out)


class V4Writer:
    """Writes one v4.5 grant or application of a target size."""

    def __init__(self, kind: str, size: int, seed: int):
        self.kind = kind
        self.size = size
        self.rng = random.Random(f"{kind}:{seed}")
        self.figures = scale(size, 40_000, 3, 40)
        self.prose = Prose(self.rng, V4Dialect(), self.figures)
        self.paragraph_number = 0
        self.tables = 0
        self.maths = 0
        self.lists = 0
        self.headings = 0

    def _p(self, body: str, commit: bool = True) -> str:
        number = self.paragraph_number
        self.paragraph_number += commit
        return f'<p id="p-{number + 1:04d}" num="{number:04d}">{body}</p>'

    def _heading(self, text: str) -> str:
        self.headings += 1
        return f'<heading id="h-{self.headings:04d}" level="1">{text}</heading>'

    def _table(self) -> str:
        self.tables += 1
        rng = self.rng
        table = cals_table(rng, lambda text: text, rng.randrange(3, 12), rng.randrange(2, 6))
        return self._p(f'\n<tables id="TABLE-US-{self.tables:05d}" num="{self.tables:05d}">\n{table}\n</tables>\n')

    def _maths(self) -> str:
        self.maths += 1
        return self._p(
            f'\n<maths id="MATH-US-{self.maths:05d}" num="{self.maths:05d}">\n{mathml(self.rng)}\n</maths>\n'
        )

    def _formula(self) -> str:
        rng = self.rng
        return self._p(
            f"{self.prose.body(1)}\n"
            '<?in-line-formulae description="In-line Formulae" end="lead"?>'
            f"<in-line-formulae><formula-text>V=I&#xd7;R<sub>{rng.randrange(1, 9)}</sub>+C</formula-text></in-line-formulae>"
            '<?in-line-formulae description="In-line Formulae" end="tail"?>\n'
            f"{self.prose.body(1)}"
        )

    def _list(self) -> str:
        self.lists += 1
        items = "\n".join(
            f'<li id="ul{self.lists:04d}-{i + 1:04d}" num="0000">{self.prose.body(1)}</li>'
            for i in range(self.rng.randrange(2, 6))
        )
        return self._p(f'{self.prose.body(1)}\n<ul id="ul{self.lists:04d}" list-style="none">\n{items}\n</ul>\n')

    def description_paragraph(self) -> str:
        rng = self.rng
        roll = rng.random()
        if roll < 0.03:
            return self._heading(rng.choice(HEADINGS_DETAIL))
        if roll < 0.045:
            return self._table()
        if roll < 0.06:
            return self._maths()
        if roll < 0.07:
            return self._formula()
        if roll < 0.08:
            return self._list()
        return self._p(self.prose.body(rng.randrange(2, 9)))

    def claims(self, budget: int) -> List[str]:
        rng, prose = self.rng, self.prose
        out: List[str] = []
        total = 0
        number = 0
        independent = 1
        while number < 3 or total < budget:
            number += 1
            if number == 1 or rng.random() < 0.12:
                independent = number
                steps = "\n".join(f"<claim-text>{prose.body(1)[:-1]};</claim-text>" for _ in range(rng.randrange(2, 6)))
                nested = "\n".join(
                    f"<claim-text>{prose.body(1)[:-1]};</claim-text>" for _ in range(rng.randrange(1, 3))
                )
                text = (
                    f"<claim-text>{number}. A {rng.choice(NOUNS)} {rng.choice(('system', 'apparatus', 'method'))}, comprising:\n"
                    f"{steps}\n<claim-text>a {rng.choice(NOUNS)} including:\n{nested}\n</claim-text>\n"
                    f"<claim-text>{prose.body(1)}</claim-text>\n</claim-text>"
                )
            else:
                target = rng.randrange(independent, number)
                text = (
                    f'<claim-text>{number}. The {rng.choice(NOUNS)} according to <claim-ref idref="CLM-{target:05d}">'
                    f"claim {target}</claim-ref>, wherein {prose.body(rng.randrange(1, 3))}</claim-text>"
                )
            claim = f'<claim id="CLM-{number:05d}" num="{number:05d}">\n{text}\n</claim>'
            out.append(claim)
            total += utf8_len(claim) + 1
        return out

    def write(self) -> str:
        rng, prose = self.rng, self.prose
        root, system_id, dtd_version, _ = V4_VERSIONS[self.kind]
        n = numbers(rng)
        title = prose.title()
        file_name = (
            f"US{n['grant_number']}-{n['date_publ']}.XML"
            if self.kind == "grant"
            else f"US{n['publication_number']}A1-{n['date_publ']}.XML"
        )

        abstract = f'<abstract id="abstract">\n{self._p(prose.body(lead_sentences(self.size, 5)))}\n</abstract>\n'
        drawings = "".join(
            f'<figure id="Fig-EMI-D{i:05d}" num="{i:05d}">\n<img id="EMI-D{i:05d}" he="231.56mm" wi="146.30mm" '
            f'file="{file_name[:-4]}-D{i:05d}.TIF" alt="embedded image" img-content="drawing" img-format="tif"/>\n</figure>\n'
            for i in range(self.figures)
        )
        drawings = f'<drawings id="DRAWINGS">\n{drawings}</drawings>\n'

        lead = [
            '<?RELAPP description="Other Patent Relations" end="lead"?>',
            self._heading("CROSS-REFERENCE TO RELATED APPLICATIONS"),
            self._p(
                f"This application is a continuation of U.S. application Ser. No. {n['series']}/{rng.randrange(100, 999)},"
                f"{rng.randrange(100, 999)}, filed {rng.choice(('Jan.', 'Mar.', 'Jun.', 'Oct.'))} {rng.randrange(1, 29)}, "
                f"{n['year'] - 3}, which is incorporated herein by reference."
            ),
            '<?RELAPP description="Other Patent Relations" end="tail"?>',
            '<?BRFSUM description="Brief Summary" end="lead"?>',
            self._heading("TECHNICAL FIELD"),
            self._p(prose.body(2)),
            self._heading("BACKGROUND"),
            self._p(prose.body(lead_sentences(self.size, 5))),
            self._p(prose.body(lead_sentences(self.size, 4))),
            self._heading("SUMMARY"),
            self._p(prose.body(lead_sentences(self.size, 6))),
            '<?BRFSUM description="Brief Summary" end="tail"?>',
            '<?brief-description-of-drawings description="Brief Description of Drawings" end="lead"?>',
            "<description-of-drawings>",
            self._heading("BRIEF DESCRIPTION OF THE DRAWINGS"),
        ]
        for figure in range(1, self.figures + 1):
            lead.append(
                self._p(
                    f'<figref idref="DRAWINGS">FIG. {figure}</figref> is a {rng.choice(ADJECTIVES)} view of '
                    f"{prose.noun_phrase()} according to an embodiment."
                )
            )
        lead += [
            "</description-of-drawings>",
            '<?brief-description-of-drawings description="Brief Description of Drawings" end="tail"?>',
            '<?DETDESC description="Detailed Description" end="lead"?>',
            self._heading("DETAILED DESCRIPTION"),
        ]
        lead_text = "\n".join(lead) + "\n"

        # The bibliographic block names the claim count, so the claims come first.
        head_estimate = 3000 + 700 * scale(self.size, 100_000, 1, 8) + 400 * scale(self.size, 10_000, 2, 120)
        fixed_estimate = head_estimate + utf8_len(abstract) + utf8_len(drawings) + utf8_len(lead_text) + 400
        claims = self.claims(Budget(self.size, fixed_estimate).claims)
        claims_text = "".join(c + "\n" for c in claims)
        bibliographic = v4_bibliographic(rng, self.kind, self.size, n, title, len(claims), self.figures)

        head = (
            f'<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE {root} SYSTEM "{system_id}" [ ]>\n'
            f'<{root} lang="EN" dtd-version="{dtd_version}" file="{file_name}" status="PRODUCTION" id="{root}" '
            f'country="US" date-produced="{n["date_publ"]}" date-publ="{n["date_publ"]}">\n'
            f'{bibliographic}{abstract}{drawings}<description id="description">\n{lead_text}'
        )
        statement = "<us-claim-statement>What is claimed is:</us-claim-statement>\n" if self.kind == "grant" else ""
        tail_open = (
            '<?DETDESC description="Detailed Description" end="tail"?>\n</description>\n'
            f'{statement}<claims id="claims">\n'
        )
        tail_close = f"</claims>\n</{root}>\n"
        fixed = utf8_len(head) + utf8_len(tail_open) + utf8_len(claims_text) + utf8_len(tail_close)
        body = grow(
            self.size - fixed,
            self.description_paragraph,
            lambda length: self._p(prose.filler(length)),
            lambda: len(self._p("", commit=False)),
        )
        return finish((head, "\n".join(body), "\n" if body else "", tail_open, claims_text, tail_close), self.size)


# ---------------------------------------------------------------------------
# ST.32 grants (PATDOC, DTD 2.5)
# ---------------------------------------------------------------------------


class St32Writer:
    def __init__(self, size: int, seed: int):
        self.size = size
        self.rng = random.Random(f"st32:{seed}")
        self.figures = scale(size, 40_000, 2, 40)
        self.prose = Prose(self.rng, St32Dialect(), self.figures)
        self.paragraph_number = 0
        self.cwu = 0

    def _para(self, body: str, level: int = 0, commit: bool = True) -> str:
        number = self.paragraph_number + 1
        self.paragraph_number += commit
        return f'<PARA ID="P-{number:05d}" LVL="{level}"><PTEXT>{body}</PTEXT></PARA>'

    @staticmethod
    def _heading(text: str) -> str:
        return f'<H LVL="1"><STEXT><PDAT>{text}</PDAT></STEXT></H>'

    def _table(self) -> str:
        self.cwu += 1
        rng = self.rng
        table = cals_table(
            rng, lambda text: f"<PTEXT><PDAT>{text}</PDAT></PTEXT>", rng.randrange(3, 10), rng.randrange(2, 5)
        )
        return self._para(
            f'{self.prose.body(1)}\n<CWU>\n<TABLE-US ID="TABLE-US-{self.cwu:05d}">\n<TABLE-CALS>\n{table}\n'
            "</TABLE-CALS>\n</TABLE-US>\n</CWU>\n"
        )

    def _maths(self) -> str:
        self.cwu += 1
        math = mathml(self.rng).replace(' overflow="scroll"', "")
        return self._para(
            f'{self.prose.body(1)}\n<CWU>\n<MATH-US ID="MATH-US-{self.cwu:05d}">\n<MATHML>\n'
            f"{math}\n</MATHML>\n</MATH-US>\n</CWU>\n"
        )

    def description_paragraph(self) -> str:
        rng = self.rng
        roll = rng.random()
        if roll < 0.03:
            return self._heading(rng.choice(HEADINGS_DETAIL))
        if roll < 0.045:
            return self._table()
        if roll < 0.06:
            return self._maths()
        return self._para(self.prose.body(rng.randrange(2, 9)), level=rng.choice((0, 0, 0, 7)))

    def claims(self, budget: int) -> List[str]:
        rng, prose = self.rng, self.prose
        out: List[str] = []
        total = 0
        number = 0
        independent = 1
        while number < 3 or total < budget:
            number += 1
            if number == 1 or rng.random() < 0.12:
                independent = number
                steps = "\n".join(
                    f'<CLMSTEP LVL="2"><PTEXT>{prose.body(1)}</PTEXT></CLMSTEP>' for _ in range(rng.randrange(2, 6))
                )
                text = self._para(f"<PDAT>{number}. A {rng.choice(NOUNS)} comprising:</PDAT>") + "\n" + steps
            else:
                target = rng.randrange(independent, number)
                text = self._para(
                    f'<PDAT>{number}. The {rng.choice(NOUNS)} of </PDAT><CLREF ID="CLM-{target:05d}">'
                    f"<PDAT>claim {target}</PDAT></CLREF><PDAT>, wherein </PDAT>{prose.body(rng.randrange(1, 3))}"
                )
            claim = f'<CLM ID="CLM-{number:05d}">\n{text}\n</CLM>'
            out.append(claim)
            total += utf8_len(claim) + 1
        return out

    def write(self) -> str:
        rng, prose = self.rng, self.prose
        n = numbers(rng)
        number = n["grant_number"]
        stem = f"US{number}-{n['date_publ']}"
        entities = "".join(
            f'<!ENTITY {stem}-D{i:05d}.TIF SYSTEM "{stem}-D{i:05d}.TIF" NDATA TIF>\n' for i in range(self.figures)
        )
        inventors = [person(rng) for _ in range(scale(self.size, 50_000, 1, 12))]
        citations = "".join(
            f"<B561>\n<PCIT>\n<DOC><DNUM><PDAT>{rng.randrange(3000000, 6200000)}</PDAT></DNUM>\n"
            f"<DATE><PDAT>{rng.randrange(1975, 2001)}0{rng.randrange(1, 10)}00</PDAT></DATE>\n<KIND><PDAT>A</PDAT></KIND>\n</DOC>\n"
            f"<PARTY-US>\n<NAM><SNM><STEXT><PDAT>{escape(rng.choice(FAMILY_NAMES))}</PDAT></STEXT></SNM></NAM>\n</PARTY-US>\n"
            f"<PNC><PDAT>{rng.randrange(100, 999)} {rng.randrange(1, 999)}</PDAT></PNC></PCIT><CITED-BY-EXAMINER/>\n</B561>\n"
            for _ in range(scale(self.size, 10_000, 2, 100))
        )
        parties = "".join(
            f"<B721>\n<PARTY-US>\n<NAM><FNM><PDAT>{given}</PDAT></FNM><SNM><STEXT><PDAT>{escape(family)}</PDAT></STEXT></SNM></NAM>\n"
            f"<ADR>\n<CITY><PDAT>{city[0]}</PDAT></CITY>\n<CTRY><PDAT>{city[2]}</PDAT></CTRY>\n</ADR>\n</PARTY-US>\n</B721>\n"
            for given, family, city in inventors
        )
        further = "".join(
            f"<B522><PDAT>{rng.randrange(100, 999)}{rng.randrange(1, 999):3d}</PDAT></B522>\n"
            for _ in range(scale(self.size, 100_000, 1, 8))
        )
        title = prose.title()
        abstract = f"<SDOAB>\n<BTEXT>\n{self._para(prose.body(lead_sentences(self.size, 5)))}\n</BTEXT>\n</SDOAB>\n"
        lead = [
            "<SDODE>",
            "<BRFSUM>",
            "<BTEXT>",
            self._heading("BACKGROUND OF THE INVENTION"),
            self._para(prose.body(lead_sentences(self.size, 3))),
            self._para(prose.body(lead_sentences(self.size, 5))),
            self._heading("SUMMARY OF THE INVENTION"),
            self._para(prose.body(lead_sentences(self.size, 6))),
            "</BTEXT>",
            "</BRFSUM>",
            "<DRWDESC>",
            "<BTEXT>",
            self._heading("BRIEF DESCRIPTION OF THE DRAWINGS"),
        ]
        for figure in range(1, self.figures + 1):
            lead.append(
                self._para(
                    f'<FGREF ID="DRAWINGS"><PDAT>FIG. {figure}</PDAT></FGREF><PDAT> is a '
                    f"{rng.choice(ADJECTIVES)} view of {prose.noun_phrase()};</PDAT>"
                )
            )
        lead += [
            "</BTEXT>",
            "</DRWDESC>",
            "<DETDESC>",
            "<BTEXT>",
            self._heading("DETAILED DESCRIPTION OF THE PREFERRED EMBODIMENTS"),
        ]
        lead_text = "\n".join(lead) + "\n"
        bibliographic_estimate = 2500 + len(citations) + 300 * len(inventors)
        fixed_estimate = bibliographic_estimate + utf8_len(abstract) + utf8_len(lead_text) + 100 * self.figures
        claims = self.claims(Budget(self.size, fixed_estimate).claims)
        claims_text = "".join(c + "\n" for c in claims)
        organisation = rng.choice(ORGANISATIONS)
        bibliographic = (
            "<SDOBI>\n<B100>\n"
            f"<B110><DNUM><PDAT>{number}</PDAT></DNUM></B110>\n<B130><PDAT>B1</PDAT></B130>\n"
            f"<B140><DATE><PDAT>{n['date_publ']}</PDAT></DATE></B140>\n<B190><PDAT>US</PDAT></B190>\n</B100>\n<B200>\n"
            f"<B210><DNUM><PDAT>{n['application_number']}</PDAT></DNUM></B210>\n<B211US><PDAT>{n['series']}</PDAT></B211US>\n"
            f"<B220><DATE><PDAT>{n['date_filed']}</PDAT></DATE></B220>\n</B200>\n"
            f"<B300>\n<B310><DNUM><PDAT>{n['year'] - 5}-{rng.randrange(100000, 999999)}</PDAT></DNUM></B310>\n"
            f"<B320><DATE><PDAT>{n['date_priority']}</PDAT></DATE></B320>\n<B330><CTRY><PDAT>JP</PDAT></CTRY></B330>\n</B300>\n"
            "<B500>\n<B510>\n"
            f"<B511><PDAT>{rng.choice(IPC_SECTIONS)}{rng.randrange(1, 99):02d}{rng.choice('BCFGHJ')}  {rng.randrange(1, 99)}{rng.randrange(0, 99):02d}</PDAT></B511>\n"
            f"<B516><PDAT>7</PDAT></B516>\n</B510>\n<B520>\n<B521><PDAT>{rng.randrange(100, 999)} {rng.randrange(1, 999)}</PDAT></B521>\n"
            f"{further}</B520>\n<B540><STEXT><PDAT>{title}</PDAT></STEXT></B540>\n<B560>\n{citations}</B560>\n"
            f"<B570>\n<B577><PDAT>{len(claims)}</PDAT></B577>\n<B578US><PDAT>1</PDAT></B578US>\n</B570>\n"
            f"<B590><B595><PDAT>{max(1, self.figures // 2)}</PDAT></B595><B596><PDAT>{self.figures}</PDAT></B596><B597US/>\n</B590>\n"
            f"</B500>\n<B700>\n<B720>\n{parties}</B720>\n<B730>\n<B731>\n<PARTY-US>\n"
            f"<NAM><ONM><STEXT><PDAT>{organisation}</PDAT></STEXT></ONM></NAM>\n"
            f"<ADR><CITY><PDAT>Tokyo</PDAT></CITY><CTRY><PDAT>JP</PDAT></CTRY></ADR>\n</PARTY-US>\n</B731>\n"
            "<B732US>\n<PDAT>03</PDAT>\n</B732US>\n</B730>\n<B740>\n<B741>\n<PARTY-US>\n"
            f"<NAM><ONM><STEXT><PDAT>{rng.choice(FAMILY_NAMES)} &amp; {rng.choice(FAMILY_NAMES)}, P.C.</PDAT></STEXT></ONM></NAM>\n"
            "</PARTY-US>\n</B741>\n</B740>\n</B700>\n</SDOBI>\n"
        )
        head = (
            f'<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE PATDOC SYSTEM "ST32-US-Grant-025xml.dtd" [\n{entities}]>\n'
            f'<PATDOC DTD="2.5" STATUS="Build 20020101">\n{bibliographic}{abstract}{lead_text}'
        )
        tail_open = f"</BTEXT>\n</DETDESC>\n</SDODE>\n<SDOCL>\n{self._heading('What is claimed is:')}\n<CL>\n"
        drawings = "".join(
            f'<EMI ID="EMI-D{i:05d}" ALT="embedded image" FILE="{stem}-D{i:05d}.TIF"/>\n' for i in range(self.figures)
        )
        tail_close = f'</CL>\n</SDOCL>\n<SDODR ID="DRAWINGS">\n{drawings}</SDODR>\n</PATDOC>\n'
        fixed = utf8_len(head) + utf8_len(tail_open) + utf8_len(claims_text) + utf8_len(tail_close)
        body = grow(
            self.size - fixed,
            self.description_paragraph,
            lambda length: self._para(f"<PDAT>{prose.filler(length)}</PDAT>"),
            lambda: len(self._para("<PDAT></PDAT>", commit=False)),
        )
        return finish((head, "\n".join(body), "\n" if body else "", tail_open, claims_text, tail_close), self.size)


# ---------------------------------------------------------------------------
# Pre-grant publications (patent-application-publication, pap-v15 / pap-v16)
# ---------------------------------------------------------------------------

PAP_SYSTEM_IDS = {"1.5": "pap-v15-2001-01-31.dtd", "1.6": "pap-v16-2002-01-01.dtd"}


class PapWriter:
    def __init__(self, size: int, seed: int, version: str = "1.5"):
        if version not in PAP_SYSTEM_IDS:
            raise ValueError(f"pap version must be one of {sorted(PAP_SYSTEM_IDS)}")
        self.size = size
        self.version = version
        self.rng = random.Random(f"pap{version}:{seed}")
        self.figures = scale(size, 40_000, 2, 40)
        self.prose = Prose(self.rng, PapDialect(), self.figures)
        self.paragraph_number = 0
        self.tables = 0

    def _paragraph(self, body: str, commit: bool = True) -> str:
        number = self.paragraph_number + 1
        self.paragraph_number += commit
        return f'<paragraph id="P-{number:05d}" lvl="0"><number>&lsqb;{number:04d}&rsqb;</number> {body}</paragraph>'

    @staticmethod
    def _heading(text: str) -> str:
        return f'<heading lvl="1">{text}</heading>'

    def _table(self) -> str:
        self.tables += 1
        rng = self.rng
        table = cals_table(rng, lambda text: text, rng.randrange(3, 10), rng.randrange(2, 5)).replace(
            '<table frame="none" colsep="0" rowsep="0">', '<table frame="none" colsep="0" rowsep="0" pgwide="1">'
        )
        return self._paragraph(
            f'{self.prose.body(1)}\n<table-cwu id="TABLE-US-{self.tables:05d}">\n'
            f"<number>{self.tables}</number>\n{table}\n</table-cwu>\n"
        )

    def _formula(self) -> str:
        return self._paragraph(
            f"{self.prose.body(1)} <in-line-formula>Min&minus;20 nm&lt;t&lt;Min&plus;20 nm "
            f"&emsp;&emsp;({self.rng.choice('abc')}) </in-line-formula>"
        )

    def description_paragraph(self) -> str:
        rng = self.rng
        roll = rng.random()
        if roll < 0.03:
            return f"</section>\n<section>\n{self._heading(rng.choice(HEADINGS_DETAIL))}"
        if roll < 0.045:
            return self._table()
        if roll < 0.06:
            return self._formula()
        return self._paragraph(self.prose.body(rng.randrange(2, 9)))

    def claims(self, budget: int) -> List[str]:
        rng, prose = self.rng, self.prose
        out: List[str] = []
        total = 0
        number = 0
        independent = 1
        while number < 3 or total < budget:
            number += 1
            if number == 1 or rng.random() < 0.12:
                independent = number
                steps = "\n".join(f"<claim-text>{prose.body(1)[:-1]};</claim-text>" for _ in range(rng.randrange(2, 6)))
                text = (
                    f"<claim-text><highlight><bold>{number}</bold></highlight>. A {rng.choice(NOUNS)} comprising: "
                    f"</claim-text>\n{steps}"
                )
            else:
                target = rng.randrange(independent, number)
                text = (
                    f"<claim-text><highlight><bold>{number}</bold></highlight>. The {rng.choice(NOUNS)} according to "
                    f'<dependent-claim-reference depends_on="CLM-{target:05d}"><claim-text>claim {target}</claim-text>'
                    f"</dependent-claim-reference>, wherein {prose.body(rng.randrange(1, 3))} </claim-text>"
                )
            claim = f'<claim id="CLM-{number:05d}">\n{text}\n</claim>'
            out.append(claim)
            total += utf8_len(claim) + 1
        return out

    def write(self) -> str:
        rng, prose = self.rng, self.prose
        n = numbers(rng)
        number = n["publication_number"]
        stem = f"US{number}A1-{n['date_publ']}"
        entities = "".join(
            f'<!ENTITY {stem}-D{i:05d}.TIF SYSTEM "{stem}-D{i:05d}.TIF" NDATA TIF>\n'
            for i in range(1, self.figures + 1)
        )
        inventors = [person(rng) for _ in range(scale(self.size, 50_000, 1, 12))]

        def inventor(element: str, given: str, family: str, city: Tuple[str, Optional[str], str]) -> str:
            return (
                f"<{element}>\n<name>\n<given-name>{given}</given-name>\n<family-name>{escape(family)}</family-name>\n</name>\n"
                f"<residence>\n<residence-non-us>\n<city>{city[0]}</city>\n<country-code>{city[2]}</country-code>\n"
                f"</residence-non-us>\n</residence>\n<authority-applicant>INV</authority-applicant>\n</{element}>\n"
            )

        people = "".join(
            inventor("first-named-inventor" if i == 0 else "inventor", *p) for i, p in enumerate(inventors)
        )
        secondary = "".join(
            f"<classification-us-secondary>\n<uspc>\n<class>{rng.randrange(100, 999)}</class>\n"
            f"<subclass>{rng.randrange(1, 999):03d}000</subclass>\n</uspc>\n</classification-us-secondary>\n"
            for _ in range(scale(self.size, 100_000, 1, 6))
        )
        title = prose.title()
        bibliographic = (
            "<subdoc-bibliographic-information>\n<document-id>\n"
            f"<doc-number>{number}</doc-number>\n<kind-code>A1</kind-code>\n<document-date>{n['date_publ']}</document-date></document-id>\n"
            "<publication-filing-type>new-utility</publication-filing-type>\n<domestic-filing-data>\n<application-number>\n"
            f"<doc-number>{n['application_number'][2:]}</doc-number>\n</application-number>\n"
            f"<application-number-series-code>{n['series']}</application-number-series-code>\n"
            f"<filing-date>{n['date_filed']}</filing-date>\n</domestic-filing-data>\n<foreign-priority-data>\n"
            f"<priority-application-number>\n<doc-number>{rng.randrange(10, 13)}-{rng.randrange(100000, 999999)}</doc-number>\n"
            f"</priority-application-number>\n<filing-date>{n['date_priority']}</filing-date>\n<country-code>JP</country-code>\n"
            "</foreign-priority-data>\n<technical-information>\n<classification-ipc>\n<classification-ipc-primary>\n"
            f"<ipc>{rng.choice(IPC_SECTIONS)}{rng.randrange(1, 99):02d}{rng.choice('BCFGHJ')}{rng.randrange(1, 99):03d}/{rng.randrange(1, 99):02d}</ipc>\n"
            "</classification-ipc-primary>\n<classification-ipc-edition>07</classification-ipc-edition>\n</classification-ipc>\n"
            "<classification-us>\n<classification-us-primary>\n<uspc>\n"
            f"<class>{rng.randrange(100, 999)}</class>\n<subclass>{rng.randrange(1, 999):03d}000</subclass>\n</uspc>\n"
            f"</classification-us-primary>\n{secondary}</classification-us>\n<title-of-invention>{title}</title-of-invention>\n"
            "</technical-information>\n<continuity-data>\n<continuations>\n<continuation-of>\n<parent-child>\n<child>\n"
            f"<document-id>\n<doc-number>{n['application_number'][2:]}</doc-number>\n<kind-code>A1</kind-code>\n"
            f"<document-date>{n['date_filed']}</document-date>\n</document-id>\n</child>\n<parent>\n<document-id>\n"
            f"<doc-number>PCT/JP00/{rng.randrange(10000, 99999)}</doc-number>\n<document-date>{n['date_priority']}</document-date>\n"
            "<country-code>US</country-code>\n</document-id>\n</parent>\n<parent-status>UNKNOWN</parent-status>\n</parent-child>\n"
            f"</continuation-of>\n</continuations>\n</continuity-data>\n<inventors>\n{people}</inventors>\n"
            f"<assignee>\n<organization-name>{rng.choice(ORGANISATIONS)}</organization-name>\n<assignee-type>03</assignee-type>\n</assignee>\n"
            "<correspondence-address>\n"
            f"<name-1>{rng.choice(FAMILY_NAMES).upper()} &amp; {rng.choice(FAMILY_NAMES).upper()}, L.L.P.</name-1>\n<name-2></name-2>\n"
            "<address>\n<address-1>1421 Prince Street, Suite 210</address-1>\n<city>Alexandria</city>\n<state>VA</state>\n"
            "<postalcode>22314-2805</postalcode>\n<country>\n<country-code>US</country-code>\n</country>\n</address>\n"
            "</correspondence-address>\n</subdoc-bibliographic-information>\n"
        )
        abstract = f'<subdoc-abstract>\n<paragraph id="A-00001" lvl="0">{prose.body(lead_sentences(self.size, 5))} </paragraph>\n</subdoc-abstract>\n'
        lead = [
            "<subdoc-description>",
            "<cross-reference-to-related-applications>",
            self._heading("CROSS REFERENCE TO RELATED APPLICATION "),
            self._paragraph(
                f"This is a continuation application of PCT International Application of "
                f"PCT/JP00/{rng.randrange(10000, 99999)} filed on Apr. 4, 2000. "
            ),
            "</cross-reference-to-related-applications>",
            "<summary-of-invention>",
            "<section>",
            self._heading("TECHNICAL FIELD "),
            self._paragraph(prose.body(lead_sentences(self.size, 3))),
            "</section>",
            "<section>",
            self._heading("BACKGROUND ART "),
            self._paragraph(prose.body(lead_sentences(self.size, 5))),
            self._paragraph(prose.body(lead_sentences(self.size, 4))),
            "</section>",
            "</summary-of-invention>",
            "<brief-description-of-drawings>",
            "<section>",
            self._heading("BRIEF DESCRIPTION OF THE DRAWINGS "),
        ]
        for figure in range(1, self.figures + 1):
            lead.append(
                self._paragraph(
                    f'<cross-reference target="DRAWINGS">FIG. {figure}</cross-reference> shows {prose.noun_phrase()}. '
                )
            )
        lead += [
            "</section>",
            "</brief-description-of-drawings>",
            "<detailed-description>",
            "<section>",
            self._heading("BEST MODE FOR CARRYING OUT THE INVENTION "),
        ]
        lead_text = "\n".join(lead) + "\n"
        fixed_estimate = utf8_len(bibliographic) + utf8_len(abstract) + utf8_len(lead_text) + 150 * self.figures + 600
        claims = self.claims(Budget(self.size, fixed_estimate).claims)
        claims_text = "".join(c + "\n" for c in claims)
        head = (
            f'<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE patent-application-publication SYSTEM '
            f'"{PAP_SYSTEM_IDS[self.version]}" [\n{entities}]>\n<patent-application-publication>\n'
            f"{bibliographic}{abstract}{lead_text}"
        )
        tail_open = (
            "</section>\n</detailed-description>\n</subdoc-description>\n<subdoc-claims>\n"
            f"{self._heading('What is claimed is: ')}\n"
        )
        figures = "".join(
            f'<figure id="figure-D{i:05d}">\n<image id="EMI-D{i:05d}" file="{stem}-D{i:05d}.TIF" '
            f'imf="TIFF" ti="DR"/>\n</figure>\n'
            for i in range(1, self.figures + 1)
        )
        tail_close = (
            f'</subdoc-claims>\n<subdoc-drawings id="DRAWINGS">\n<heading lvl="0" align="CENTER">Drawings</heading>\n'
            f"<representative-figure>1</representative-figure>\n{figures}</subdoc-drawings>\n"
            "</patent-application-publication>\n"
        )
        fixed = utf8_len(head) + utf8_len(tail_open) + utf8_len(claims_text) + utf8_len(tail_close)
        body = grow(
            self.size - fixed,
            self.description_paragraph,
            lambda length: self._paragraph(prose.filler(length)),
            lambda: len(self._paragraph("", commit=False)),
        )
        return finish((head, "\n".join(body), "\n" if body else "", tail_open, claims_text, tail_close), self.size)


# ---------------------------------------------------------------------------
# Public interface
# ---------------------------------------------------------------------------


def generate_document(kind: str, size: int, seed: int = 0, pap_version: str = "1.5") -> str:
    """One document of `kind` whose UTF-8 encoding is about `size` bytes."""
    if kind in V4_VERSIONS:
        return V4Writer(kind, size, seed).write()
    if kind == "st32":
        return St32Writer(size, seed).write()
    if kind == "pap":
        return PapWriter(size, seed, pap_version).write()
    raise ValueError(f"unknown kind {kind!r}; expected one of {', '.join(KINDS)} ")


def generate_corpus(
    kind: str, total: int, min_size: int, max_size: int, seed: int = 0, pap_version: str = "1.5"
) -> Iterator[str]:
    """Documents of sizes drawn uniformly from [min_size, max_size] until their sizes sum to `total`.

    `kind` may also be "v4" (v4.5 grants and applications in equal shares) or
    "mixed" (the same with a few ST.32 grants and pre-grant publications).
    """
    if min_size > max_size:
        raise ValueError("min_size exceeds max_size")
    rng = random.Random(f"corpus:{kind}:{seed}")
    produced = 0
    index = 0
    while produced < total:
        size = min(rng.randint(min_size, max_size), max(min_size, total - produced))
        this_kind = kind
        if kind == "mixed":
            this_kind = rng.choices(KINDS, weights=(45, 45, 5, 5))[0]
        elif kind == "v4":
            this_kind = rng.choice(("grant", "application"))
        document = generate_document(this_kind, size, seed * 1_000_003 + index, pap_version)
        produced += utf8_len(document)
        index += 1
        yield document


_SIZE = re.compile(r"^\s*([0-9]+(?:\.[0-9]+)?)\s*([KMG]i?B|B)?\s*$", re.IGNORECASE)
_UNITS = {"b": 1, "kb": 1000, "mb": 1000**2, "gb": 1000**3, "kib": 1024, "mib": 1024**2, "gib": 1024**3}


def parse_size(text: str) -> int:
    """'10KB' -> 10000, '1.5MB' -> 1500000, '64KiB' -> 65536, '123' -> 123."""
    match = _SIZE.match(text)
    if not match:
        raise argparse.ArgumentTypeError(f"not a size: {text!r}")
    unit = (match.group(2) or "B").lower()
    return int(float(match.group(1)) * _UNITS[unit])


def write_text(path: str, text: str) -> None:
    # newline="" keeps the bytes exactly as generated on every platform.
    with open(path, "w", encoding="utf-8", newline="") as handle:
        handle.write(text)


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    for kind in KINDS:
        one = sub.add_parser(kind, help=f"one {kind} document")
        one.add_argument("--size", type=parse_size, default=parse_size("100KB"))
        one.add_argument("--seed", type=int, default=0)
        one.add_argument("-o", "--output", help="file to write (default: standard output)")
        if kind == "pap":
            one.add_argument("--version", choices=sorted(PAP_SYSTEM_IDS), default="1.5")
    corpus = sub.add_parser("corpus", help="many documents totalling a target size")
    corpus.add_argument("--kind", choices=KINDS + ("v4", "mixed"), default="grant")
    corpus.add_argument("--total", type=parse_size, default=parse_size("50MB"))
    corpus.add_argument("--min-size", type=parse_size, default=parse_size("100KB"))
    corpus.add_argument("--max-size", type=parse_size, default=parse_size("500KB"))
    corpus.add_argument("--seed", type=int, default=0)
    corpus.add_argument("--pap-version", choices=sorted(PAP_SYSTEM_IDS), default="1.5")
    target = corpus.add_mutually_exclusive_group(required=True)
    target.add_argument("--out-dir", help="folder for one file per document")
    target.add_argument("--bulk", help="one file with the documents laid end to end")
    args = parser.parse_args(argv)

    if args.command in KINDS:
        text = generate_document(args.command, args.size, args.seed, getattr(args, "version", "1.5"))
        if args.output:
            write_text(args.output, text)
        else:
            sys.stdout.write(text)
        return 0

    documents = generate_corpus(args.kind, args.total, args.min_size, args.max_size, args.seed, args.pap_version)
    count = 0
    total = 0
    if args.out_dir:
        os.makedirs(args.out_dir, exist_ok=True)
        for count, document in enumerate(documents, start=1):
            write_text(os.path.join(args.out_dir, f"doc{count:06d}.xml"), document)
            total += utf8_len(document)
    else:
        with open(args.bulk, "w", encoding="utf-8", newline="") as handle:
            for count, document in enumerate(documents, start=1):  # noqa: B007 (printed below)
                handle.write(document)
                total += utf8_len(document)
    print(f"{count} documents, {total} bytes", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
