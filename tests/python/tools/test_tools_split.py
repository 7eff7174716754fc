"""Splitting sources into documents: boundaries, origins, chunk edges, archives."""

from __future__ import annotations

import gzip
import io
import itertools
import os
import tarfile
import threading
import zipfile
from pathlib import Path
from typing import Iterator, List, Tuple

import pytest
from tessellox_tools import split
from tessellox_tools.split import (
    Origin,
    RawDocument,
    Source,
    input_size,
    iter_documents,
    iter_regions,
    iter_source_documents,
    iter_sources,
    split_chunks,
    split_stream,
)
from tools_helpers import need_bulk

D1 = b'<?xml version="1.0"?>\n<a>one</a>\n'
D2 = b'<?xml version="1.0" encoding="UTF-8"?>\n<b>two</b>\n'
HEADER = b"HHHHHT        APS1        ISSUE - 760106\n"
R1 = b"PATN\nWKU  039302717\nTTL  Golf glove\n"
R2 = b"PATN\nWKU  039302725\nTTL  Bat\nABST\nPAL  The PATN of it.\n"

# (name, input, [(offset, document bytes), ...])
CASES: List[Tuple[str, bytes, List[Tuple[int, bytes]]]] = [
    ("empty", b"", []),
    ("blank", b" \n\r\n\t", []),
    ("one document", D1, [(0, D1)]),
    ("two documents", D1 + D2, [(0, D1), (len(D1), D2)]),
    (
        "declaration mid-line",
        b'<?xml version="1.0"?><a/><?xml version="1.0"?>\n<b/>',
        [(0, b'<?xml version="1.0"?><a/>'), (25, b'<?xml version="1.0"?>\n<b/>')],
    ),
    (
        "declaration after a tab",
        b"<?xml\tversion='1.0'?><a/>\t<?xml\rversion='1.0'?><b/>",
        [(0, b"<?xml\tversion='1.0'?><a/>\t"), (26, b"<?xml\rversion='1.0'?><b/>")],
    ),
    (
        "crlf kept",
        D1.replace(b"\n", b"\r\n") + D2.replace(b"\n", b"\r\n"),
        [(0, D1.replace(b"\n", b"\r\n")), (len(D1) + 2, D2.replace(b"\n", b"\r\n"))],
    ),
    (
        "truncated last document",
        D1 + b'<?xml version="1.0"?>\n<b>tw',
        [(0, D1), (len(D1), b'<?xml version="1.0"?>\n<b>tw')],
    ),
    (
        "other processing instructions stay inside",
        b'<?xml version="1.0"?><?xml-stylesheet href="s"?><a/>',
        [(0, b'<?xml version="1.0"?><?xml-stylesheet href="s"?><a/>')],
    ),
    (
        "question marks and other instructions do not split",
        b'<?xml version="1.0"?><a>Why?<?BRFSUM description="x"?>??<?xml-x?></a>' + D1,
        [(0, b'<?xml version="1.0"?><a>Why?<?BRFSUM description="x"?>??<?xml-x?></a>'), (69, D1)],
    ),
    ("marker at the very end is no declaration", D1 + b"<?xml", [(0, D1 + b"<?xml")]),
    ("document without declaration", b"<a>no prolog</a>\n", [(0, b"<a>no prolog</a>\n")]),
    ("blank text before the first declaration dropped", b"\n\n" + D1, [(2, D1)]),
    ("other text before the first declaration kept", b"<junk/>\n" + D1, [(0, b"<junk/>\n"), (8, D1)]),
    (
        "a banner before the first declaration is a piece of its own",
        b"junk\n" + D1 + D2,
        [(0, b"junk\n"), (5, D1), (5 + len(D1), D2)],
    ),
    ("xml after aps records is split as xml", R1 + D1 + D2, [(0, R1), (len(R1), D1), (len(R1 + D1), D2)]),
    (
        "a PATN line inside xml after aps does not split",
        HEADER + R1 + D1 + b"PATN\n" + D2,
        [(len(HEADER), R1), (len(HEADER + R1), D1 + b"PATN\n"), (len(HEADER + R1 + D1) + 5, D2)],
    ),
    ("bom dropped, offsets count it", b"\xef\xbb\xbf" + D1 + D2, [(3, D1), (3 + len(D1), D2)]),
    ("aps with header", HEADER + R1 + R2, [(len(HEADER), R1), (len(HEADER) + len(R1), R2)]),
    ("aps without header", R1 + R2, [(0, R1), (len(R1), R2)]),
    (
        "aps crlf and trailing spaces on the PATN line",
        HEADER.replace(b"\n", b"\r\n") + b"PATN  \r\nWKU  1\r\nPATN\r\nWKU  2",
        [(len(HEADER) + 1, b"PATN  \r\nWKU  1\r\n"), (len(HEADER) + 17, b"PATN\r\nWKU  2")],
    ),
    ("aps PATN not alone on its line does not split", R1 + b"PATNX\n TTL PATN\n", [(0, R1 + b"PATNX\n TTL PATN\n")]),
    (
        "aps other text before the first record kept",
        HEADER + b"WKU  0\n" + R1,
        [(0, HEADER + b"WKU  0\n"), (len(HEADER) + 7, R1)],
    ),
    ("aps blank lines before the first record dropped", b"\n" + HEADER + b"\n" + R1, [(len(HEADER) + 2, R1)]),
    ("aps record without PATN line", b"WKU  039302717\nTTL  x\n", [(0, b"WKU  039302717\nTTL  x\n")]),
]

CHUNK_SIZES = [1, 2, 3, 4, 5, 6, 7, 13, 1 << 20]
REGION_SIZES = [1, 10, 1 << 22]


def chunked(data: bytes, size: int) -> Iterator[bytes]:
    return (data[i : i + size] for i in range(0, len(data), size))


def expected_documents(file: str, member, expected) -> List[RawDocument]:
    return [
        RawDocument(Origin(file, member, ordinal, offset), data) for ordinal, (offset, data) in enumerate(expected, 1)
    ]


@pytest.mark.parametrize("name, data, expected", CASES, ids=[case[0] for case in CASES])
def test_streams_split_alike_at_any_chunk_and_region_size(name: str, data: bytes, expected) -> None:
    for chunk_size, region_size in itertools.product(CHUNK_SIZES, REGION_SIZES):
        documents = list(split_chunks(chunked(data, chunk_size), "week.xml", "inner.xml", region_size=region_size))
        assert documents == expected_documents("week.xml", "inner.xml", expected), (chunk_size, region_size)


@pytest.mark.parametrize("name, data, expected", CASES, ids=[case[0] for case in CASES])
def test_files_split_alike_at_any_region_and_probe_size(
    name: str, data: bytes, expected, tmp_path: Path, monkeypatch: pytest.MonkeyPatch
) -> None:
    path = tmp_path / "week.xml"
    path.write_bytes(data)
    for probe_size, region_size in itertools.product([8, 9, 16, 1 << 16], REGION_SIZES):
        monkeypatch.setattr(split, "_PROBE_SIZE", probe_size)
        monkeypatch.setattr(split, "_PROBE_OVERLAP", 7)
        documents = list(iter_documents([str(path)], region_size=region_size))
        assert documents == expected_documents(str(path), None, expected), (probe_size, region_size)


def test_regions_cut_only_at_document_starts(tmp_path: Path) -> None:
    # Regions of a file carry no bytes; together they cover it exactly.
    data = b"".join([D1, D2] * 50)
    path = tmp_path / "week.xml"
    path.write_bytes(data)
    regions = list(iter_regions([str(path)], region_size=100))
    assert [r.data for r in regions] == [None] * len(regions)
    assert regions[0].start == 0 and regions[-1].end == len(data)
    assert all(a.end == b.start for a, b in zip(regions, regions[1:]))
    assert all(data.startswith(b"<?xml", r.start) for r in regions)
    assert [r.first for r in regions] == [True] + [False] * (len(regions) - 1)
    assert 10 < len(regions) < 100


def test_split_is_lazy() -> None:
    # A weekly file is never read further ahead than a region.
    consumed = 0

    def endless() -> Iterator[bytes]:
        nonlocal consumed
        while True:
            consumed += 1
            yield D1

    documents = split_chunks(endless(), "f", region_size=100)
    assert [d.data for d in itertools.islice(documents, 3)] == [D1, D1, D1]
    assert consumed <= 10


def test_invalid_utf8_fails_only_its_own_document() -> None:
    bad = b'<?xml version="1.0"?>\n<a>caf\xe9</a>\n'
    documents = list(split_chunks([D1 + bad + D2], "f"))
    assert documents[0].text() == D1.decode()
    with pytest.raises(ValueError, match=r"^invalid UTF-8 at byte 28: invalid continuation byte$"):
        documents[1].text()
    assert documents[2].text() == D2.decode()


def write_zip(path: Path, members: List[Tuple[str, bytes]]) -> None:
    with zipfile.ZipFile(path, "w", compression=zipfile.ZIP_DEFLATED) as archive:
        for name, data in members:
            archive.writestr(name, data)


def test_zip_members_are_read_in_order_and_others_skipped(tmp_path: Path) -> None:
    archive = tmp_path / "week.zip"
    write_zip(
        archive,
        [
            ("ipg1.xml", D1 + D2),
            ("images/figure.tif", b"II*\x00"),
            ("__MACOSX/._ipg1.xml", b"\x00"),
            ("aps/pftaps.txt", HEADER + R1),
        ],
    )
    documents = list(iter_documents([str(archive)], chunk_size=7))
    assert [(d.origin, d.data) for d in documents] == [
        (Origin(str(archive), "ipg1.xml", 1, 0), D1),
        (Origin(str(archive), "ipg1.xml", 2, len(D1)), D2),
        (Origin(str(archive), "aps/pftaps.txt", 1, len(HEADER)), R1),
    ]
    sources = list(iter_sources([str(archive)]))
    assert sources == [Source(str(archive), "ipg1.xml"), Source(str(archive), "aps/pftaps.txt")]
    assert [d for s in sources for d in iter_source_documents(s)] == documents
    assert input_size([str(archive)]) == len(D1 + D2) + len(HEADER + R1)


def test_directory_walk_is_sorted_recursive_and_filtered(tmp_path: Path) -> None:
    (tmp_path / "b").mkdir()
    (tmp_path / ".hidden").mkdir()
    (tmp_path / "b" / "z.XML").write_bytes(D2)
    (tmp_path / "a.xml").write_bytes(D1)
    (tmp_path / "notes.md").write_bytes(b"# not a patent")
    (tmp_path / ".hidden" / "c.xml").write_bytes(D1)
    (tmp_path / "empty.txt").write_bytes(b"")
    write_zip(tmp_path / "c.zip", [("m.xml", D1)])
    documents = list(iter_documents([str(tmp_path)]))
    assert [(os.path.relpath(d.origin.file, tmp_path), d.origin.member) for d in documents] == [
        ("a.xml", None),
        ("b/z.XML", None),
        ("c.zip", "m.xml"),
    ]


def test_unreadable_inputs_are_reported_and_the_rest_still_read(tmp_path: Path) -> None:
    good = tmp_path / "good.xml"
    good.write_bytes(D1)
    broken_zip = tmp_path / "broken.zip"
    write_zip(broken_zip, [("m.xml", D1 * 200)])
    broken_zip.write_bytes(broken_zip.read_bytes()[:60])
    missing = str(tmp_path / "missing.xml")
    reported: List[str] = []
    documents = list(
        iter_documents([missing, str(broken_zip), str(good)], on_unreadable=lambda path, error: reported.append(path))
    )
    assert reported == [missing, str(broken_zip)]
    assert [d.origin.file for d in documents] == [str(good)]
    with pytest.raises(FileNotFoundError):
        list(iter_documents([missing]))


def test_split_stream_reads_a_file_like_object() -> None:
    documents = list(split_stream(io.BytesIO(D1 + D2), "f", chunk_size=3))
    assert documents == [RawDocument(Origin("f", None, 1, 0), D1), RawDocument(Origin("f", None, 2, len(D1)), D2)]


@pytest.mark.parametrize(
    "name, count",
    [("ipg050104-small-v40.xml", 25), ("ipgb20221025-biblio-v47.xml", 11), ("pg020507-100docs-st32.xml", 100)],
)
def test_bulk_samples_split_alike_through_files_streams_and_regions(name: str, count: int) -> None:
    path = need_bulk() / name
    data = path.read_bytes()
    whole = list(split_chunks([data], str(path), region_size=len(data) + 1))
    assert len(whole) == count
    assert b"".join(d.data for d in whole) == data
    assert all(d.data.startswith(b"<?xml") for d in whole)
    for region_size in (1, 50_000, 1 << 20):
        assert list(iter_documents([str(path)], region_size=region_size)) == whole, region_size
        with open(path, "rb") as stream:
            assert list(split_stream(stream, str(path), chunk_size=4093, region_size=region_size)) == whole


@pytest.mark.skipif(not hasattr(os, "mkfifo"), reason="needs named pipes")
def test_a_pipe_named_by_path_is_read_once_from_its_start(tmp_path: Path) -> None:
    # Sizing the inputs or looking for a zip must not eat the pipe's first bytes.
    pipe = tmp_path / "pipe"
    os.mkfifo(pipe)
    result: List[object] = []

    def write() -> None:
        with open(pipe, "wb") as stream:
            stream.write(D1 + D2)

    def read() -> None:
        result.append(input_size([str(pipe)]))
        result.append([d.data for d in iter_documents([str(pipe)])])

    threads = [threading.Thread(target=write, daemon=True), threading.Thread(target=read, daemon=True)]
    for thread in threads:
        thread.start()
    threads[1].join(timeout=20)
    assert result == [None, [D1, D2]]


def _tar(members: List[Tuple[str, bytes]], mode: str) -> bytes:
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode=mode) as archive:
        for name, data in members:
            info = tarfile.TarInfo(name)
            info.size = len(data)
            archive.addfile(info, io.BytesIO(data))
    return out.getvalue()


def _zip(members: List[Tuple[str, bytes]]) -> bytes:
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", compression=zipfile.ZIP_DEFLATED) as archive:
        for name, data in members:
            archive.writestr(name, data)
    return out.getvalue()


WEEK = [("ipg.xml", D1 + D2), ("figure.tif", b"II*\x00")]
# (input name, its bytes, [(member, offset) of each document], [skipped members])
ARCHIVES = [
    ("week.xml.gz", gzip.compress(D1 + D2), [(None, 0), (None, len(D1))], []),
    ("week.tar", _tar(WEEK, "w"), [("ipg.xml", 0), ("ipg.xml", len(D1))], ["figure.tif"]),
    ("week.tar.gz", _tar(WEEK, "w:gz"), [("ipg.xml", 0), ("ipg.xml", len(D1))], ["figure.tif"]),
    (
        "outer.zip",
        _zip([("inner.zip", _zip(WEEK)), ("ipg.xml.gz", gzip.compress(D1))]),
        [("inner.zip!ipg.xml", 0), ("inner.zip!ipg.xml", len(D1)), ("ipg.xml.gz", 0)],
        ["inner.zip!figure.tif"],
    ),
    (
        "tar in zip",
        _zip([("week.tgz", _tar(WEEK, "w:gz"))]),
        [("week.tgz!ipg.xml", 0), ("week.tgz!ipg.xml", len(D1))],
        ["week.tgz!figure.tif"],
    ),
]


@pytest.mark.parametrize("name, data, documents, skipped", ARCHIVES, ids=[case[0] for case in ARCHIVES])
def test_compressed_files_and_archives_are_read_from_files_and_streams(
    name: str, data: bytes, documents, skipped, tmp_path: Path, monkeypatch: pytest.MonkeyPatch
) -> None:
    path = tmp_path / name.replace(" ", "-")
    path.write_bytes(data)
    monkeypatch.setattr("sys.stdin", io.TextIOWrapper(io.BytesIO(data)))
    for file in (str(path), "-"):
        read = list(iter_documents([file], chunk_size=5, include_skipped=True))
        assert [(d.origin.member, d.origin.offset) for d in read if d.failure is None] == documents
        assert [d.origin.member for d in read if d.failure is not None] == skipped
        assert all(d.failure is None or d.origin.ordinal is None for d in read)
        assert [d.data for d in read if d.failure is None][:2] == [D1, D2]
    assert input_size([str(path)]) is None


BIG = b'<?xml version="1.0"?>\n<big>' + b"x" * 5000 + b"</big>\n"


@pytest.mark.parametrize("chunk_size", [7, 1000, 1 << 20])
@pytest.mark.parametrize("how", ["file", "stream", "zip"])
def test_a_document_over_the_size_limit_fails_alone_and_is_never_held(
    how: str, chunk_size: int, tmp_path: Path, monkeypatch: pytest.MonkeyPatch
) -> None:
    data = D1 + BIG + D2 + BIG
    path = tmp_path / "week.xml"
    path.write_bytes(data)
    if how == "zip":
        write_zip(tmp_path / "week.zip", [("week.xml", data)])
        path = tmp_path / "week.zip"
    paths = ["-"] if how == "stream" else [str(path)]
    monkeypatch.setattr("sys.stdin", io.TextIOWrapper(io.BytesIO(data)))
    monkeypatch.setattr(split, "_PROBE_SIZE", 64)
    read = list(iter_documents(paths, chunk_size=chunk_size, region_size=100, max_document_size=4096))
    assert [(d.origin.ordinal, d.origin.offset, d.data) for d in read if d.failure is None] == [
        (1, 0, D1),
        (3, len(D1 + BIG), D2),
    ]
    failed = [d for d in read if d.failure is not None]
    assert [(d.origin.ordinal, d.origin.offset, d.data) for d in failed] == [
        (2, len(D1), b""),
        (4, len(D1 + BIG + D2), b""),
    ]
    assert failed[0].failure == (
        f"document of {len(BIG)} bytes is larger than the size limit of 4096 bytes "
        "(--max-document-size); skipped to the next document"
    )
