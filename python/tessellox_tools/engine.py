"""Running a run's tasks on worker processes, and taking their results in
input order.

The parent sends each worker small descriptors (at most two queued a
worker) and otherwise only reads: results, the document counts of regions,
and the end of a worker. Nothing it sends can fill a pipe, and a worker
never waits on the parent except for the first ordinal of a region, which
the parent sends as soon as every earlier region has been counted; so no
part ever waits on another that waits on it.

A worker notes, in memory shared with the parent, which document it is
reading. A worker that ends abruptly (killed, out of memory, a crash in
native code) is replaced, and its unfinished tasks run again; a document
that ends a worker twice is not read a third time but reported as failed.
Workers die with the parent.

With one job everything runs in this process.
"""

from __future__ import annotations

import collections
import os
import signal
import sys
import threading
import traceback
from typing import TYPE_CHECKING, Any, Callable, Deque, Dict, Iterator, List, Optional, Tuple

from .plan import RegionTask, Task
from .split import writable_name
from .work import NO_MARK, Job, ShardFactory, TaskResult, run_task

if TYPE_CHECKING:
    from multiprocessing.connection import Connection
    from multiprocessing.process import BaseProcess

# Tasks a worker may have queued: one running, one waiting.
QUEUED_PER_WORKER = 2
# A task whose worker ended abruptly this often outside any document is given up.
MAX_TASK_ENDS = 2
# What a worker notes of its reading: task, unit within it, document within that.
_PROGRESS_FIELDS = 3
_IDLE = -1
_PR_SET_PDEATHSIG = 1


def default_jobs() -> int:
    """The cores this process may run on."""
    try:
        return len(os.sched_getaffinity(0))
    except AttributeError:  # not on every platform
        return os.cpu_count() or 1


class WorkerError(RuntimeError):
    """A worker raised: a fault of this program, which stops the run."""


class Ordinals:
    """The first ordinal of each region, from the counts of the regions
    before it: a region that starts its file or member starts at 1, any
    other where the one before it ended."""

    def __init__(self) -> None:
        self._tasks: Dict[int, Task] = {}
        self._counts: Dict[int, int] = {}
        self._firsts: Dict[int, int] = {}
        self._next = 1  # the first task whose first ordinal is not known yet
        self._released = 0

    def add(self, task: Task) -> None:
        self._tasks[task.seq] = task

    def count(self, seq: int, count: int) -> List[Tuple[int, int]]:
        """Notes a region's count; the first ordinals this makes known."""
        self._counts[seq] = count
        return self.known()

    def known(self) -> List[Tuple[int, int]]:
        found = []
        while self._next in self._tasks:
            seq = self._next
            task = self._tasks[seq]
            if isinstance(task, RegionTask) and not task.region.first:
                if seq - 1 not in self._counts:
                    break
                first = self._firsts[seq - 1] + self._counts[seq - 1]
            else:
                first = 1
            self._firsts[seq] = first
            found.append((seq, first))
            self._next += 1
        return found

    def first(self, seq: int) -> Optional[int]:
        return self._firsts.get(seq)

    def release(self, committed: int) -> None:
        """Forgets what no task still running needs: every task up to
        `committed` but the last one whose successor is still to be placed."""
        upto = min(committed, self._next - 2)
        while self._released < upto:
            self._released += 1
            for table in (self._tasks, self._counts, self._firsts):
                table.pop(self._released, None)


Commit = Callable[[Task, TaskResult], bool]
# Whether `Commit` will take a task's result, asked in task order just before
# the task's commit. Run in this process, a task whose result it will not take
# is not run: it is committed with an empty result.
Wanted = Callable[[Task], bool]
ABRUPT_TASK_END = "a worker ended abruptly while reading it"


def runs_inline(jobs: int) -> bool:
    """Whether `run_tasks` runs every task in this process, one at a time."""
    return jobs <= 1


def abandoned_result(task: Task) -> TaskResult:
    """What stands for a task that ended its workers outside any document."""
    file = task.region.file if isinstance(task, RegionTask) else task.file
    return TaskResult(task.seq, 0, 0, 0, [], (writable_name(file), ABRUPT_TASK_END), None)


def _run_inline(tasks: Iterator[Task], job: Job, shards: ShardFactory, commit: Commit, wanted: Wanted) -> bool:
    ordinals = Ordinals()

    def announce(seq: int, count: int) -> Callable[[], int]:
        ordinals.count(seq, count)
        first = ordinals.first(seq)
        assert first is not None  # every earlier region has been counted
        return lambda: first

    for task in tasks:
        ordinals.add(task)
        ordinals.known()
        if wanted(task):
            result = run_task(task, job, shards, announce, NO_MARK)
        else:
            ordinals.count(task.seq, 0)
            result = TaskResult(task.seq, 0, 0, 0, [], None, None)
        if not commit(task, result):
            return False
        ordinals.release(task.seq)
    return True


# ---- the worker side


class _Stop(Exception):
    pass


def _die_with_parent() -> None:
    if sys.platform.startswith("linux"):
        import ctypes

        try:
            ctypes.CDLL(None, use_errno=True).prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)
        except (OSError, AttributeError):  # no prctl here: the pipe's end still stops the worker
            pass


def _serve(connection: "Connection", job: Job, shards: ShardFactory, progress: Any, slot: int, parent: int) -> None:
    signal.signal(signal.SIGINT, signal.SIG_IGN)  # Ctrl-C reaches the whole group; the parent handles it
    signal.signal(signal.SIGTERM, signal.SIG_DFL)
    _die_with_parent()
    if os.getppid() != parent:  # the parent died before the line above
        return
    inbox: Deque[Task] = collections.deque()
    firsts: Dict[int, int] = {}
    at = slot * _PROGRESS_FIELDS

    def handle(message: Any) -> None:
        if message is None:
            raise _Stop
        if message[0] == "task":
            inbox.append(message[1])
            if message[2] is not None:
                firsts[message[1].seq] = message[2]
        else:
            firsts[message[1]] = message[2]

    def announce(seq: int, count: int) -> Callable[[], int]:
        connection.send(("count", seq, count))

        def first() -> int:
            while seq not in firsts:
                handle(connection.recv())
            return firsts.pop(seq)

        return first

    def mark(unit: int, index: int) -> None:
        progress[at + 1] = unit
        progress[at + 2] = index

    try:
        while True:
            while not inbox:
                handle(connection.recv())
            task = inbox.popleft()
            progress[at + 1] = progress[at + 2] = _IDLE
            progress[at] = task.seq
            try:
                result = run_task(task, job, shards, announce, mark)
            except Exception:  # a fault of this program, not of a document: the run stops
                connection.send(("error", task.seq, traceback.format_exc()))
                return
            progress[at] = _IDLE
            connection.send(("done", result))
    except (_Stop, EOFError, BrokenPipeError):
        return


# ---- the parent side


class _Feeder:
    """Plans tasks on a thread of their own, at most `window` ahead of the
    last one taken, so that reading input in order (inflating, handing over)
    never keeps the parent from answering its workers. The planning thread
    spends its time in inflating and writing, which release the
    interpreter's lock. `fileno` becomes readable when a task is ready."""

    def __init__(self, tasks: Iterator[Task], window: int) -> None:
        self._tasks = tasks
        self._ready: Deque[Any] = collections.deque()
        self._room = threading.Semaphore(window)
        self._stopping = False
        self._read_end, self._write_end = os.pipe()
        self._thread = threading.Thread(target=self._plan, name="tessellox-planner", daemon=True)
        self._thread.start()

    def fileno(self) -> int:
        return self._read_end

    def _plan(self) -> None:
        try:
            while True:
                self._room.acquire()
                if self._stopping:
                    return
                task = next(self._tasks, None)
                self._ready.append(task)
                os.write(self._write_end, b".")
                if task is None:
                    return
        except BaseException as error:  # raised again where the tasks are taken
            self._ready.append(error)
            os.write(self._write_end, b".")

    def take(self) -> Any:
        """The next task, None at the end, or _NOT_YET while it is planned."""
        if not self._ready:
            return _NOT_YET
        os.read(self._read_end, 1)
        item = self._ready.popleft()
        if isinstance(item, BaseException):
            raise item
        return item

    def done_with_one(self) -> None:
        """A task was committed: room for one more."""
        self._room.release()

    def close(self) -> None:
        self._stopping = True
        self._room.release()
        self._thread.join(timeout=1)  # a thread blocked on a pipe ends with the process
        os.close(self._read_end)
        os.close(self._write_end)


_NOT_YET = object()


class _Worker:
    def __init__(self, context: Any, job: Job, shards: ShardFactory, progress: Any, slot: int) -> None:
        parent_end, child_end = context.Pipe(duplex=True)
        self.connection: "Connection" = parent_end
        self.slot = slot
        self.tasks: List[int] = []  # sent and not done, in order
        self.process: "BaseProcess" = context.Process(
            target=_serve, args=(child_end, job, shards, progress, slot, os.getpid()), daemon=True
        )
        self.process.start()
        child_end.close()

    def send(self, message: Any) -> bool:
        try:
            self.connection.send(message)
            return True
        except (BrokenPipeError, ConnectionResetError, OSError):
            return False  # it ended; its end is read like any other message


def handover_slots(jobs: int) -> int:
    """Shared slots for the regions the parent cuts: one for each task that
    may be in flight, when workers are forked (and so share memory mapped
    before); none otherwise."""
    return QUEUED_PER_WORKER * jobs if _start_method() == "fork" else 0


def _start_method() -> str:
    """Fork when it is safe, as it spares each worker an interpreter start:
    on Linux, with no other thread that might hold a lock at the fork."""
    if sys.platform.startswith("linux") and threading.active_count() == 1:
        return "fork"
    return "spawn"


class WorkerPool:
    """Runs tasks on `jobs` worker processes and commits their results in
    task order."""

    def __init__(self, job: Job, shards: ShardFactory, jobs: int) -> None:
        import multiprocessing

        self._job = job
        self._shards = shards
        self._jobs = jobs
        self._context = multiprocessing.get_context(_start_method())
        self._progress = self._context.RawArray("q", jobs * _PROGRESS_FIELDS)
        self._workers: List[_Worker] = []
        self.restarts = 0

    def _start(self, slot: int) -> _Worker:
        for field in range(_PROGRESS_FIELDS):
            self._progress[slot * _PROGRESS_FIELDS + field] = _IDLE
        return _Worker(self._context, self._job, self._shards, self._progress, slot)

    def run(self, tasks: Iterator[Task], commit: Commit) -> bool:
        """Whether every task was committed (False: `commit` said stop)."""
        workers = self._workers = [self._start(slot) for slot in range(self._jobs)]
        feeder = _Feeder(tasks, QUEUED_PER_WORKER * len(workers))
        try:
            return self._run(feeder, commit)
        finally:
            feeder.close()

    def _run(self, feeder: _Feeder, commit: Commit) -> bool:
        from multiprocessing.connection import wait

        workers = self._workers
        ordinals = Ordinals()
        pending: Dict[int, Task] = {}  # sent, not committed
        done: Dict[int, TaskResult] = {}
        retry: List[int] = []  # to send again, lowest first
        ends: Dict[Tuple[int, int, int], int] = {}  # (task, unit, document): workers it ended
        owner: Dict[int, _Worker] = {}
        next_commit = 1
        exhausted = False

        def send_task(worker: _Worker, task: Task) -> None:
            worker.tasks.append(task.seq)
            owner[task.seq] = worker
            worker.send(("task", task, ordinals.first(task.seq)))

        def send_firsts(found: List[Tuple[int, int]]) -> None:
            for seq, first in found:
                worker = owner.get(seq)
                if worker is not None and seq in pending:
                    worker.send(("first", seq, first))

        def replace(worker: _Worker) -> None:
            worker.process.join(timeout=5)
            worker.connection.close()
            self.restarts += 1
            at = worker.slot * _PROGRESS_FIELDS
            reading = tuple(self._progress[at : at + _PROGRESS_FIELDS])
            seq, unit, index = reading
            unfinished = list(worker.tasks)
            if seq in pending and seq in unfinished:
                ends[reading] = ends.get(reading, 0) + 1
                task = pending[seq]
                if ends[reading] >= MAX_TASK_ENDS and index != _IDLE:
                    pending[seq] = task._replace(skip=task.skip | {(unit, index)})
                elif ends[reading] >= MAX_TASK_ENDS:
                    unfinished.remove(seq)
                    done[seq] = abandoned_result(task)
                    send_firsts(ordinals.count(seq, 0))
            for seq in worker.tasks:
                owner.pop(seq, None)
            retry.extend(unfinished)
            retry.sort()
            workers[workers.index(worker)] = self._start(worker.slot)

        while True:
            # Send work while there is room: tasks to run again first.
            while True:
                free = [worker for worker in workers if len(worker.tasks) < QUEUED_PER_WORKER]
                if not free:
                    break
                worker = min(free, key=lambda candidate: len(candidate.tasks))
                if retry:
                    send_task(worker, pending[retry.pop(0)])
                    continue
                if exhausted:
                    break
                task = feeder.take()
                if task is _NOT_YET:
                    break
                if task is None:
                    exhausted = True
                    break
                pending[task.seq] = task
                ordinals.add(task)
                send_firsts(ordinals.known())
                send_task(worker, task)
            while next_commit in done:
                result = done.pop(next_commit)
                task = pending.pop(next_commit)
                if not commit(task, result):
                    return False
                ordinals.release(next_commit)
                feeder.done_with_one()
                next_commit += 1
            if exhausted and not pending:
                return True
            by_connection: Dict[Any, _Worker] = {worker.connection: worker for worker in workers}
            for connection in wait([*by_connection, feeder]):
                if connection is feeder:
                    continue  # a task is ready: sent at the top of the loop
                worker = by_connection[connection]
                try:
                    message = worker.connection.recv()
                except (EOFError, ConnectionResetError, OSError):
                    replace(worker)
                    continue
                if message[0] == "count":
                    send_firsts(ordinals.count(message[1], message[2]))
                elif message[0] == "error":
                    raise WorkerError(f"a worker failed on task {message[1]}:\n{message[2]}")
                else:
                    finished: TaskResult = message[1]
                    if finished.seq in worker.tasks:
                        worker.tasks.remove(finished.seq)
                        owner.pop(finished.seq, None)
                        done[finished.seq] = finished

    def close(self, finished: bool) -> None:
        """Lets idle workers leave, or ends them all; waits for every one."""
        for worker in self._workers:
            if finished:
                worker.send(None)
            elif worker.process.is_alive():
                worker.process.terminate()
        for worker in self._workers:
            worker.process.join(timeout=None if finished else 5)
            if worker.process.is_alive():
                worker.process.kill()
                worker.process.join()
            worker.connection.close()
        self._workers = []


def run_tasks(
    tasks: Iterator[Task], job: Job, shards: ShardFactory, jobs: int, commit: Commit, wanted: Optional[Wanted] = None
) -> int:
    """Runs every task, committing results in order until `commit` says
    stop; how many workers had to be replaced."""
    if runs_inline(jobs):
        _run_inline(tasks, job, shards, commit, wanted or (lambda task: True))
        return 0
    pool = WorkerPool(job, shards, jobs)
    finished = False
    try:
        finished = pool.run(tasks, commit)
    finally:
        pool.close(finished)
    return pool.restarts
