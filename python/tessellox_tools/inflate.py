"""Inflating zip members and gzip files, with isal where it is installed.

isal inflates about three times as fast as the standard library's zlib and
gives the same bytes; zlib is the fallback. Zip members are read from the
archive's file by their local header, found through the central directory,
so that any number of processes can each read a member of the same archive.
"""

from __future__ import annotations

import gzip
import struct
import types
import zipfile
import zlib
from typing import IO, Any, List, Optional, Tuple, Type

_gzip_module: types.ModuleType = gzip
_zlib_module: types.ModuleType = zlib
_ERRORS: Tuple[Type[BaseException], ...] = (zlib.error,)
try:
    from isal import igzip, isal_zlib

    _gzip_module, _zlib_module = igzip, isal_zlib
    _ERRORS += (isal_zlib.error,)  # type: ignore[operator]  # its stub calls the class an instance
except ImportError:  # isal is a dependency where wheels exist; zlib does the same work slower
    pass
LIBRARY = "zlib" if _zlib_module is zlib else "isal"

# Errors of a corrupt compressed stream, from either library.
INFLATE_ERRORS = _ERRORS
_READ_SIZE = 1 << 20
# Compressed bytes are read in pieces that nearly always inflate to less
# than a read asks for: a piece left over is copied again at every call.
_COMPRESSED_READ_SIZE = 1 << 16
_LOCAL_HEADER = struct.Struct("<4s2B4HL2L2H")
_LOCAL_SIGNATURE = b"PK\x03\x04"


def open_gzip(stream: IO[bytes]) -> IO[bytes]:
    """A reader of the gzip-compressed `stream` (every member, as gzip reads them)."""
    return _gzip_module.GzipFile(fileobj=stream, mode="rb")  # type: ignore[return-value]


class _InflatingReader:
    """The content of one deflated zip member, checked against its CRC and size."""

    def __init__(self, stream: IO[bytes], info: zipfile.ZipInfo) -> None:
        self._stream = stream
        self._left = info.compress_size
        self._expected_size = info.file_size
        self._expected_crc = info.CRC
        self._decompressor = _zlib_module.decompressobj(-15)
        self._crc = 0
        self._size = 0
        self._pending = b""
        self._done = False

    def read(self, size: int = -1) -> bytes:
        if size is None or size < 0:
            parts: List[bytes] = []
            while True:
                part = self.read(_READ_SIZE)
                if not part:
                    return b"".join(parts)
                parts.append(part)
        if not self._pending and not self._done:
            # The common case: what is inflated now is handed on as it is.
            data = self._inflate(size)
            if len(data) <= size:
                return data
            self._pending = data
        while not self._done and len(self._pending) < size:
            self._pending += self._inflate(size)
        data, self._pending = self._pending[:size], self._pending[size:]
        return data

    def _inflate(self, size: int) -> bytes:
        """At most about `size` more bytes of content (none at its end)."""
        decompressor = self._decompressor
        compressed = decompressor.unconsumed_tail
        if not compressed and self._left > 0:
            compressed = self._stream.read(min(_COMPRESSED_READ_SIZE, self._left))
            if not compressed:
                raise zipfile.BadZipFile("the archive ends inside a member")
            self._left -= len(compressed)
        data = decompressor.decompress(compressed, size)
        if not decompressor.unconsumed_tail and self._left == 0:
            data += decompressor.flush()
            self._done = True
        elif not data and decompressor.eof:
            self._done = True
        if data:
            self._crc = _zlib_module.crc32(data, self._crc)
            self._size += len(data)
        if self._done:
            self._check()
        return data

    def _check(self) -> None:
        if self._size != self._expected_size or self._crc != self._expected_crc:
            raise zipfile.BadZipFile("a member's content does not match its checksum")

    def close(self) -> None:
        self._stream.close()

    def __enter__(self) -> "_InflatingReader":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()


def open_zip_member(archive: zipfile.ZipFile, info: zipfile.ZipInfo, path: Optional[str]) -> Any:
    """A reader of a member's content. A deflated, unencrypted member of an
    archive on disk (`path`) is inflated here; any other goes through
    `zipfile`."""
    if path is None or info.compress_type != zipfile.ZIP_DEFLATED or info.flag_bits & 0x1:
        return archive.open(info)
    stream = open(path, "rb")
    try:
        stream.seek(info.header_offset)
        header = stream.read(_LOCAL_HEADER.size)
        if len(header) != _LOCAL_HEADER.size or header[:4] != _LOCAL_SIGNATURE:
            raise zipfile.BadZipFile(f"bad local header of member {info.filename!r}")
        fields = _LOCAL_HEADER.unpack(header)
        stream.seek(fields[-2] + fields[-1], 1)  # past the name and the extra field
        return _InflatingReader(stream, info)
    except BaseException:
        stream.close()
        raise
