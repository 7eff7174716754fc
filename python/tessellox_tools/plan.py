"""The tasks of a run: what each worker is given to read, in input order.

A task is a small descriptor, never the documents' bytes:

* `RegionTask`: a run of whole documents of a file, read by the worker at
  its offset; or, for input that only one reader can go through in order
  (standard input, a pipe, a gzip or tar stream, a large zip member when
  there are too few of them to give every worker its own), a run that this
  process cut and handed over (`handover`) for the worker to read.
* `SourceTask`: a whole compressed file or zip member, which the worker
  opens, inflates and numbers itself, so that several run at once.

Tasks are numbered in input order (`seq`); outputs are joined in that
order, so any number of workers writes the same bytes.
"""

from __future__ import annotations

import os
import zipfile
from typing import TYPE_CHECKING, Callable, FrozenSet, Iterator, List, NamedTuple, Optional, Tuple, Union

from .split import (
    COMPRESSED,
    DOCUMENT_SUFFIXES,
    PLAIN,
    UNREADABLE_ERRORS,
    ZIP,
    Reading,
    Region,
    accepted_name,
    expand_path,
    file_kind,
    skipped_region,
    zip_members,
)

if TYPE_CHECKING:
    from .handover import Handover, Place

# Regions are of this size whatever the number of jobs, so that where the
# outputs are cut never depends on it.
REGION_SIZE = 4 << 20
# A compressed source up to this size is read whole by one worker: cutting
# it into regions would gain little.
WHOLE_SOURCE_LIMIT = 4 * REGION_SIZE

# (unit within the task, document within the unit): documents a worker must
# not read again, since reading them ended a worker twice.
SkipSet = FrozenSet[Tuple[int, int]]


class RegionTask(NamedTuple):
    seq: int
    path_index: int
    region: Region
    place: Optional["Place"] = None  # where a region cut by the parent waits
    skip: SkipSet = frozenset()


class SourceTask(NamedTuple):
    seq: int
    path_index: int
    file: str
    member: Optional[str] = None
    skip: SkipSet = frozenset()


Task = Union[RegionTask, SourceTask]
UnreadableHandler = Callable[[str, BaseException], None]


class _Unit(NamedTuple):
    """A file, or a member of a zip archive, as planned."""

    path_index: int
    file: str
    member: Optional[str]
    kind: str
    size: Optional[int]
    skipped: Optional[str] = None


_NESTED = "nested"


def _units(paths: List[str], on_unreadable: UnreadableHandler) -> Iterator[_Unit]:
    for index, path in enumerate(paths):
        try:
            files = expand_path(path, on_unreadable)
        except UNREADABLE_ERRORS as error:
            on_unreadable(path, error)
            continue
        for file, accepted in files:
            if not accepted:
                yield _Unit(index, file, None, PLAIN, 0, skipped_region(file, None).skipped)
                continue
            try:
                kind = file_kind(file)
                if kind != ZIP:
                    size = os.path.getsize(file) if kind == PLAIN else None
                    yield _Unit(index, file, None, kind, size)
                    continue
                members: List[_Unit] = []
                with zipfile.ZipFile(file) as archive:
                    for info in zip_members(archive):
                        name = info.filename
                        if not accepted_name(name):
                            members.append(_Unit(index, file, name, ZIP, 0, skipped_region(file, name).skipped))
                        elif name.lower().endswith(DOCUMENT_SUFFIXES):
                            members.append(_Unit(index, file, name, ZIP, info.file_size))
                        else:
                            members.append(_Unit(index, file, name, _NESTED, info.file_size))
            except UNREADABLE_ERRORS as error:
                on_unreadable(file, error)
                continue
            yield from members


def _large(unit: _Unit) -> bool:
    """A compressed source worth cutting into regions (of unknown size: gzip)."""
    if unit.kind not in (ZIP, COMPRESSED, _NESTED) or unit.skipped is not None:
        return False
    return unit.size is None or unit.size > WHOLE_SOURCE_LIMIT


def plan_tasks(
    paths: List[str],
    jobs: int,
    reading: Reading,
    handover: Optional["Handover"],
    on_unreadable: UnreadableHandler,
) -> Iterator[Task]:
    """The tasks of `paths`, in order. With a `handover`, regions that this
    process reads wait there for the workers; without one (a run in this
    process alone) they keep their bytes."""
    units = list(_units(paths, on_unreadable))
    # Fewer large sources than workers: cut them into regions here, so that
    # every worker has work. Otherwise each goes whole to one worker.
    in_order = handover is not None and sum(1 for unit in units if _large(unit)) < jobs
    seq = 0

    def task_of(index: int, region: Region) -> RegionTask:
        nonlocal seq
        seq += 1
        if handover is None or not region.data:
            return RegionTask(seq, index, region)
        return RegionTask(seq, index, region._replace(data=None), handover.put(seq, region.data))

    for unit in units:
        if unit.skipped is not None:
            yield task_of(unit.path_index, skipped_region(unit.file, unit.member, unit.skipped))
            continue
        whole = unit.kind in (ZIP, COMPRESSED, _NESTED) and not (in_order and _large(unit))
        if whole:
            seq += 1
            yield SourceTask(seq, unit.path_index, unit.file, unit.member)
            continue
        try:
            if unit.member is not None:
                regions = reading.zip_member_regions(unit.file, unit.member)
            else:
                regions = reading.file_regions(unit.file)
            for region in regions:
                yield task_of(unit.path_index, region)
        except UNREADABLE_ERRORS as error:
            on_unreadable(unit.file, error)
