from typing import Any, Dict, List, Optional, Sequence, Tuple, Union

# Each table (name, columns), documents first; a column is (name, type,
# nullable, entry columns).
SCHEMA: Tuple[Tuple[str, Tuple[Tuple[str, str, bool, Tuple[Any, ...]], ...]], ...]
SCHEMA_VERSION: int

def text_record(
    text: Union[str, bytes], origin: Optional[Sequence[Any]] = None, *, sections: bool = False
) -> Dict[str, Any]: ...
def text_record_json(
    text: Union[str, bytes],
    origin: Optional[Sequence[Any]] = None,
    start: Optional[int] = None,
    end: Optional[int] = None,
    *,
    sections: bool = False,
) -> bytes: ...
def record_json_lines(
    data: bytes,
    bounds: Sequence[Tuple[int, int]],
    index: int,
    limit: int,
    origin_head: bytes,
    first_ordinal: int,
    base: int,
    sections: bool,
) -> Tuple[bytes, int, int]: ...
def resolve_entities(text: str) -> str: ...
def xml_declaration_offsets(data: Union[bytes, bytearray], position: int = 0) -> List[int]: ...
def to_markdown(
    text: Union[str, bytes],
    template: Optional[str] = None,
    *,
    tables: str = "xml",
    maths: str = "xml",
    instructions: str = "xml",
) -> str: ...
