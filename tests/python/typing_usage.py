"""Checked with mypy --strict against the shipped stub: the API as editors see it."""

from typing import List, Optional

import tessellox


def summarise(xml: str) -> str:
    fmt: str = tessellox.detect_format(xml)
    doc: tessellox.Document = tessellox.parse(xml)
    number: Optional[str] = doc.patent_number or doc.publication_number
    names: List[str] = doc.inventors + doc.applicants + doc.assignees
    claims: List[tessellox.Claim] = doc.claims
    first: int = claims[0].number if claims else 0
    markdown: str = doc.to_markdown(template="{{title}}") + tessellox.parse_to_markdown(xml, None)
    return f"{fmt} {number} {names} {first} {len(markdown)} {tessellox.__version__}"


def numbers(paths: List[str]) -> List[Optional[str]]:
    from tessellox_tools import document_record, iter_records

    found: List[Optional[str]] = [record["patent_number"] for record in iter_records(paths)]
    record = document_record(tessellox.parse(paths[0]))
    return found + [record["title"]]
