"""Fast, exact parsing of USPTO patent documents into structured records and Markdown."""

from typing import List, Optional, final

__all__ = ["parse", "parse_to_markdown", "detect_format", "Document", "Claim", "__version__"]

__version__: str

def parse(xml: str) -> Document:
    """Parse USPTO patent XML into a structured [`Document`]."""

def parse_to_markdown(xml: str, template: Optional[str] = None) -> str:
    """Parse USPTO patent XML and render Markdown in one call."""

def detect_format(xml: str) -> str:
    """Detect the USPTO source format of `xml` without a full parse."""

@final
class Claim:
    """A single claim, numbered by its 1-based position."""

    @property
    def number(self) -> int: ...
    @property
    def text(self) -> str: ...

@final
class Document:
    """A parsed patent document: metadata getters plus `claims`, `abstract_text`,
    and `to_markdown(template=None)`."""

    @property
    def publication_number(self) -> Optional[str]: ...
    @property
    def patent_number(self) -> Optional[str]: ...
    @property
    def application_number(self) -> Optional[str]: ...
    @property
    def title(self) -> Optional[str]: ...
    @property
    def filing_date(self) -> Optional[str]: ...
    @property
    def publication_date(self) -> Optional[str]: ...
    @property
    def priority_date(self) -> Optional[str]: ...
    @property
    def inventors(self) -> List[str]: ...
    @property
    def applicants(self) -> List[str]: ...
    @property
    def assignees(self) -> List[str]: ...
    @property
    def ipc_classifications(self) -> List[str]: ...
    @property
    def us_classifications(self) -> List[str]: ...
    @property
    def source_format(self) -> str: ...
    @property
    def abstract_text(self) -> Optional[str]: ...
    @property
    def claims(self) -> List[Claim]: ...
    def to_markdown(self, template: Optional[str] = None) -> str:
        """Render this document to Markdown, optionally with a section-placeholder
        template (`{{frontmatter}}`, `{{title}}`, `{{abstract}}`,
        `{{description}}`, `{{claims}}`)."""
