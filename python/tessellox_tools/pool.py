"""Ordered parallel map with bounded memory.

`run_ordered` keeps at most `window` items in flight: the input (the regions
of a 1 GB weekly file, planned lazily) is never read further ahead than that, unlike
`multiprocessing.Pool.imap`, which drains its input as fast as it can.
Results come back in input order, so any number of jobs gives the same
output. With one job everything runs in this process.
"""

from __future__ import annotations

import os
import signal
import sys
import threading
from collections import deque
from typing import TYPE_CHECKING, Any, Callable, Deque, Generator, Iterable, Optional, TypeVar

if TYPE_CHECKING:
    from concurrent.futures import Future

T = TypeVar("T")
R = TypeVar("R")


def default_jobs() -> int:
    """The cores this process may run on."""
    try:
        return len(os.sched_getaffinity(0))
    except AttributeError:  # not on every platform
        return os.cpu_count() or 1


class WorkerDied(RuntimeError):
    """A worker process ended abruptly (killed, or crashed in native code)."""


def _start_method() -> str:
    """Fork when it is safe, as it spares each worker an interpreter start:
    on Linux, with no other thread that might hold a lock at the fork (the
    pool starts its own threads only after its workers, under fork). Spawn
    otherwise."""
    if sys.platform.startswith("linux") and threading.active_count() == 1:
        return "fork"
    return "spawn"


def _ignore_interrupts() -> None:
    # Ctrl-C reaches the whole process group; the parent alone handles it,
    # cancelling what is queued and letting running items finish.
    signal.signal(signal.SIGINT, signal.SIG_IGN)


def run_ordered(
    function: Callable[[T], R],
    items: Iterable[T],
    jobs: int,
    window: Optional[int] = None,
) -> Generator[R, None, None]:
    """`function(item)` for every item, in order, on `jobs` processes.

    `function` and the items must pickle when `jobs` > 1. Closing the
    iterator early cancels the work not yet started.
    """
    if jobs <= 1:
        for item in items:
            yield function(item)
        return
    # Imported here: they cost start-up that a one-job run does not need.
    import multiprocessing
    from concurrent.futures import ProcessPoolExecutor
    from concurrent.futures.process import BrokenProcessPool

    window = window or 2 * jobs
    context = multiprocessing.get_context(_start_method())
    executor = ProcessPoolExecutor(max_workers=jobs, mp_context=context, initializer=_ignore_interrupts)
    pending: "Deque[Future[Any]]" = deque()
    try:
        for item in items:
            pending.append(executor.submit(function, item))
            if len(pending) >= window:
                yield pending.popleft().result()
        while pending:
            yield pending.popleft().result()
    except BrokenProcessPool as error:
        raise WorkerDied(str(error)) from error
    finally:
        for future in pending:
            future.cancel()
        executor.shutdown(wait=True, cancel_futures=True)
