"""Ordered parallel map with bounded memory.

`run_ordered` keeps at most `window` items in flight: the input (the regions
of a 1 GB weekly file, planned lazily) is never read further ahead than that, unlike
`multiprocessing.Pool.imap`, which drains its input as fast as it can.
Results come back in input order, so any number of jobs gives the same
output. With one job everything runs in this process.

The workers are plain processes, each on a pipe of its own, fed by the
calling thread alone: no manager or feeder threads in the parent, whose
every wake-up would take a core from a worker on a small machine. An item
goes to the worker with the least work queued, and a worker has at most two
items queued, so that it never waits for the parent between items and
the messages to it (small by contract) always fit in the pipe.
"""

from __future__ import annotations

import os
import signal
import sys
import threading
from typing import TYPE_CHECKING, Any, Callable, Dict, Generator, Iterable, Iterator, List, Optional, Tuple, TypeVar

if TYPE_CHECKING:
    from multiprocessing.connection import Connection
    from multiprocessing.process import BaseProcess

T = TypeVar("T")
R = TypeVar("R")

# Items a worker may have queued: one running, one waiting.
_QUEUED_PER_WORKER = 2


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
    on Linux, with no other thread that might hold a lock at the fork.
    Spawn otherwise."""
    if sys.platform.startswith("linux") and threading.active_count() == 1:
        return "fork"
    return "spawn"


class _RemoteError(Exception):
    """Stands for an exception raised in a worker that did not pickle."""


def _serve(function: Callable[[Any], Any], connection: "Connection") -> None:
    # Ctrl-C reaches the whole process group; the parent alone handles it.
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    while True:
        try:
            message = connection.recv()
        except EOFError:  # the parent is gone
            return
        if message is None:
            return
        index, item = message
        try:
            reply: Tuple[int, bool, Any] = (index, True, function(item))
        except Exception as error:
            reply = (index, False, error)
        try:
            connection.send(reply)
        except Exception as error:  # the result, or the exception, does not pickle
            what = f"{type(reply[2]).__name__}: {reply[2]}" if not reply[1] else f"a {type(reply[2]).__name__} result"
            connection.send((index, False, _RemoteError(f"{what} could not be sent back ({error})")))


class _Worker:
    def __init__(self, context: Any, function: Callable[[Any], Any]) -> None:
        parent_end, child_end = context.Pipe(duplex=True)
        self.connection: "Connection" = parent_end
        self.process: "BaseProcess" = context.Process(target=_serve, args=(function, child_end), daemon=True)
        self.process.start()
        child_end.close()
        self.queued = 0

    def died(self) -> WorkerDied:
        self.process.join(timeout=1)
        return WorkerDied(f"a worker process ended abruptly (exit code {self.process.exitcode})")


def _stop(workers: List[_Worker], finished: bool) -> None:
    """Lets idle workers leave; ends the others, whose queued work nobody
    wants any more."""
    for worker in workers:
        try:
            if finished:
                worker.connection.send(None)
            else:
                worker.process.terminate()
        except (OSError, ValueError):
            pass
    for worker in workers:
        worker.process.join()
        worker.connection.close()


def run_ordered(
    function: Callable[[T], R],
    items: Iterable[T],
    jobs: int,
    window: Optional[int] = None,
) -> Generator[R, None, None]:
    """`function(item)` for every item, in order, on `jobs` processes.

    `function` and the items must pickle when `jobs` > 1, and items should
    be small (a description of the work, not its data). An exception that
    `function` raises is raised here in that item's place. Closing the
    iterator early abandons the work not yet done.
    """
    if jobs <= 1:
        for item in items:
            yield function(item)
        return
    # Imported here: they cost start-up that a one-job run does not need.
    import multiprocessing
    from multiprocessing.connection import wait

    window = min(window or 2 * jobs, _QUEUED_PER_WORKER * jobs)
    context = multiprocessing.get_context(_start_method())
    workers: List[_Worker] = []
    finished = False
    try:
        workers = [_Worker(context, function) for _ in range(jobs)]
        by_connection = {worker.connection: worker for worker in workers}
        source: Iterator[T] = iter(items)
        exhausted = False
        submitted = 0
        delivered = 0
        done: Dict[int, Tuple[bool, Any]] = {}
        while True:
            while not exhausted and submitted - delivered < window:
                worker = min(workers, key=lambda candidate: candidate.queued)
                try:
                    item = next(source)
                except StopIteration:
                    exhausted = True
                    break
                try:
                    worker.connection.send((submitted, item))
                except (BrokenPipeError, ConnectionResetError):
                    raise worker.died() from None
                worker.queued += 1
                submitted += 1
            if delivered in done:
                ok, value = done.pop(delivered)
                delivered += 1
                if not ok:
                    raise value
                yield value
                continue
            if delivered == submitted:  # only when the input is exhausted
                break
            for connection in wait([worker.connection for worker in workers if worker.queued]):
                worker = by_connection[connection]  # type: ignore[index]
                try:
                    index, ok, value = connection.recv()  # type: ignore[union-attr]
                except (EOFError, ConnectionResetError):
                    raise worker.died() from None
                worker.queued -= 1
                done[index] = (ok, value)
        finished = True
    finally:
        _stop(workers, finished)
