from typing import Any, Dict, List, Optional, Sequence, Union

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
