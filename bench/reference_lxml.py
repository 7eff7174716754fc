"""Reference extraction of a version 4 patent document's fields with lxml.

What a competent Python user writes to get the same fields that
`tessellox.parse` exposes: lxml's tree, find/XPath for the bibliographic data,
itertext for the abstract and claims. It is the baseline of parse_bench.py.

    python bench/reference_lxml.py FILE.xml      # prints the fields as JSON
"""

from __future__ import annotations

import html
import json
import re
import sys
from typing import Dict, List, Optional, Tuple

from lxml import etree

PARSER = etree.XMLParser(resolve_entities=False)
# The named entities that only the external DTD declares stay entity nodes in
# the tree; itertext gives them as "&name;" and they are decoded afterwards.
ENTITY = re.compile(r"^&[A-Za-z][A-Za-z0-9]*;$")
GRANT_KIND = re.compile(r"^(?:[BE].*|S)$")


def text_of(element: Optional[etree._Element]) -> Optional[str]:
    if element is None:
        return None
    return "".join(html.unescape(piece) if ENTITY.match(piece) else piece for piece in element.itertext())


def stripped(element: Optional[etree._Element]) -> Optional[str]:
    value = text_of(element)
    return value.strip() if value is not None else None


def document_number(document_id: etree._Element) -> str:
    country = document_id.findtext("country") or "US"
    number = document_id.findtext("doc-number") or ""
    kind = document_id.findtext("kind") or ""
    if GRANT_KIND.match(kind) and number.isdigit():
        number = number.lstrip("0") or "0"
    return f"{country}{number}{kind}"


def person_name(container: etree._Element) -> Optional[str]:
    organisation = container.findtext("orgname")
    if organisation:
        return organisation.strip()
    parts = [container.findtext("first-name"), container.findtext("last-name")]
    name = " ".join(part.strip() for part in parts if part)
    return name or None


def unique(values: List[Optional[str]]) -> List[str]:
    seen = set()
    out = []
    for value in values:
        if value and value not in seen:
            seen.add(value)
            out.append(value)
    return out


def extract(data: bytes) -> Dict[str, object]:
    root = etree.fromstring(data, parser=PARSER)
    bib = root.find("us-bibliographic-data-grant")
    if bib is None:
        bib = root.find("us-bibliographic-data-application")
    fields: Dict[str, object] = {}

    publication = bib.find("publication-reference/document-id")
    kind = publication.findtext("kind") or ""
    number = document_number(publication)
    fields["publication_number"] = None if GRANT_KIND.match(kind) else number
    fields["patent_number"] = number if GRANT_KIND.match(kind) else None
    fields["publication_date"] = publication.findtext("date")

    application = bib.find("application-reference/document-id")
    application_number = application.findtext("doc-number").strip()
    series = bib.findtext("us-application-series-code")
    if series and series.isdigit() and application_number.isdigit() and len(application_number) < 8:
        application_number = series + application_number
    fields["application_number"] = application_number
    fields["filing_date"] = application.findtext("date")
    fields["title"] = text_of(bib.find("invention-title"))

    dates = bib.xpath("priority-claims/priority-claim/date/text()")
    dates += bib.xpath("us-related-documents//parent-doc/document-id/date/text()")
    fields["priority_date"] = min(dates) if dates else None

    fields["inventors"] = unique(
        [
            person_name(book)
            for book in bib.xpath(
                "(us-parties|parties)/inventors/inventor/addressbook"
                " | parties/applicants/applicant[@app-type='applicant-inventor']/addressbook"
            )
        ]
    )
    fields["applicants"] = unique(
        [
            person_name(book)
            for book in bib.xpath(
                "us-parties/us-applicants/us-applicant/addressbook | parties/applicants/applicant/addressbook"
            )
        ]
    )
    fields["assignees"] = unique(
        [
            person_name(book) if book.tag == "addressbook" else book.text.strip()
            for book in bib.xpath("assignees/assignee/addressbook | assignees/assignee/orgname")
        ]
    )

    fields["ipc_classifications"] = unique(
        [
            "".join(ipcr.findtext(part) or "" for part in ("section", "class", "subclass", "main-group"))
            + "/"
            + (ipcr.findtext("subgroup") or "")
            for ipcr in bib.iterfind("classifications-ipcr/classification-ipcr")
        ]
        + [
            value.strip()
            for value in bib.xpath(
                "classification-ipc/main-classification/text() | classification-ipc/further-classification/text()"
            )
        ]
    )
    fields["us_classifications"] = unique(
        [
            value.strip()
            for value in bib.xpath(
                "classification-national/main-classification/text() | classification-national/further-classification/text()"
            )
        ]
    )

    paragraphs = [text_of(p) for p in root.iterfind("abstract/p")]
    abstract = "\n\n".join(p for p in paragraphs if p and p.strip())
    fields["abstract_text"] = abstract or None

    claims: List[Tuple[int, str]] = []
    for claim in root.iterfind("claims/claim"):
        text = stripped(claim)
        if text:
            claims.append((len(claims) + 1, text))
    fields["claims"] = claims
    return fields


def main(argv: List[str]) -> int:
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "rb") as handle:
        print(json.dumps(extract(handle.read()), indent=1, ensure_ascii=False))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
