"""The ordered process pool: order, failures and early ends."""

from __future__ import annotations

import multiprocessing
import os
import signal
import threading

import pytest
from tessellox_tools.pool import WorkerDied, run_ordered


def square_slowly_first(value: int) -> int:
    # Early items take longest, so results arrive out of order.
    if value < 3:
        threading.Event().wait(0.05)
    return value * value


def fail_at_five(value: int) -> int:
    if value == 5:
        raise KeyError(value)
    return value


def die_at_five(value: int) -> int:
    if value == 5:
        os.kill(os.getpid(), signal.SIGKILL)
    return value


def unpicklable_at_two(value: int) -> object:
    return (lambda: None) if value == 2 else value


@pytest.mark.parametrize("jobs", [1, 2, 3])
def test_results_come_back_in_input_order(jobs: int) -> None:
    assert list(run_ordered(square_slowly_first, range(40), jobs)) == [value * value for value in range(40)]


@pytest.mark.parametrize("jobs", [1, 2])
def test_an_exception_is_raised_in_its_items_place(jobs: int) -> None:
    results = run_ordered(fail_at_five, range(20), jobs)
    assert [next(results) for _ in range(5)] == [0, 1, 2, 3, 4]
    with pytest.raises(KeyError):
        next(results)


def test_a_killed_worker_is_reported() -> None:
    with pytest.raises(WorkerDied, match="ended abruptly"):
        list(run_ordered(die_at_five, range(20), 2))


def test_a_result_that_does_not_pickle_is_an_error_not_a_hang() -> None:
    results = run_ordered(unpicklable_at_two, range(6), 2)
    assert [next(results), next(results)] == [0, 1]
    with pytest.raises(Exception, match="could not be sent back"):
        next(results)


def test_closing_early_reads_no_further_and_ends_the_workers() -> None:
    taken = []

    def items():
        for value in range(1000):
            taken.append(value)
            yield value

    results = run_ordered(square_slowly_first, items(), 2)
    assert next(results) == 0
    results.close()
    assert len(taken) <= 4  # the window: two items queued per worker
    assert multiprocessing.active_children() == []
