"""Where the regions that this process cuts wait for their workers.

Input that only one reader can go through in order (a large zip member,
gzip, tar, standard input) is cut into regions here and read by workers.
A region waits in a slot of memory shared with the workers when one is
free, else in a spill file. Slots are mapped before the workers are forked
and used again and again, so that handing a region over costs one copy and
no system call; a spill file costs a write and a read through the file
system, but holds a region of any size. A region's place is given back
once its task is committed.
"""

from __future__ import annotations

import mmap
import os
import queue
from typing import Optional, Tuple, Union

from .plan import REGION_SIZE

# A slot holds a region and the document it runs into; a larger one spills.
SLOT_SIZE = 2 * REGION_SIZE
# Shared memory is counted in the size of every process that touches it:
# beyond this many slots, regions spill.
MAX_SLOTS = 16

# Where a region waits: a slot (its number and the region's length) or a
# spill file's path.
Place = Union[Tuple[int, int], str]


class Handover:
    """Spill files in `directory`, and `slots` shared slots when the
    workers are forked from this process (a started interpreter would not
    share them)."""

    def __init__(self, directory: str, slots: int) -> None:
        self._directory = directory
        self._memory: Optional[mmap.mmap] = None
        self._free: "queue.SimpleQueue[int]" = queue.SimpleQueue()
        slots = min(slots, MAX_SLOTS)
        if slots > 0:
            self._memory = mmap.mmap(-1, slots * SLOT_SIZE)  # shared and anonymous: kept across fork
            for slot in range(slots):
                self._free.put(slot)

    def put(self, seq: int, data: bytes) -> Place:
        """Leaves a region's bytes for a worker (in the process that cuts regions)."""
        if self._memory is not None and len(data) <= SLOT_SIZE:
            try:
                slot = self._free.get_nowait()
            except queue.Empty:
                pass
            else:
                at = slot * SLOT_SIZE
                self._memory[at : at + len(data)] = data
                return (slot, len(data))
        path = os.path.join(self._directory, f"{seq}.spill")
        with open(path, "wb") as stream:
            stream.write(data)
        return path

    def take(self, place: Place) -> bytes:
        """A region's bytes (in a worker)."""
        if isinstance(place, str):
            with open(place, "rb") as stream:
                return stream.read()
        assert self._memory is not None
        slot, size = place
        return self._memory[slot * SLOT_SIZE : slot * SLOT_SIZE + size]

    def release(self, place: Place) -> None:
        """The region's task is committed: its place can be used again."""
        if isinstance(place, str):
            os.unlink(place)
        else:
            self._free.put(place[0])

    def __getstate__(self) -> object:
        # A started interpreter reads spill files only.
        if self._memory is not None:
            raise TypeError("shared slots reach workers only by fork")
        return self._directory

    def __setstate__(self, directory: object) -> None:
        self.__init__(str(directory), 0)  # type: ignore[misc]
