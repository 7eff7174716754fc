"""Memory of one tessellox call, measured in the process that makes it.

    python3 bench/memory_child.py DOCUMENT MODE [WARM_DOCUMENT]

MODE is `parse`, `markdown`, or `load` (read the file and call nothing).
With WARM_DOCUMENT, the same call is made on that document first, so that
the pages of the module's code that a call reads are resident before the
measured one: its figures are then the call's data alone.
Prints five byte counts: the high-water mark of the whole process, the
resident size before the call, the high-water mark during the call (-1
where the kernel refuses to restart it), the resident size after the call
and malloc_trim(0), and of that growth the part that is anonymous memory
(the heap: what the call's data hold, without the pages of the module's
code that the call read for the first time). The process reports its own
high-water mark (VmHWM): ru_maxrss would not do, since a child inherits at exec the
high-water mark of its parent, which may hold whole corpora. tessellox is
imported from sys.path (PYTHONPATH), as the caller sets it.
"""

import ctypes
import sys


def status(field: str) -> int:
    with open("/proc/self/status") as handle:
        for line in handle:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    raise RuntimeError(field + " not in /proc/self/status")


def main() -> None:
    path, mode = sys.argv[1], sys.argv[2]
    import tessellox

    if len(sys.argv) > 3:
        with open(sys.argv[3], encoding="utf-8", newline="") as handle:
            warm_text = handle.read()
        if mode == "parse":
            tessellox.parse(warm_text)
        elif mode == "markdown":
            tessellox.parse_to_markdown(warm_text)
        del warm_text

    with open(path, encoding="utf-8", newline="") as handle:
        text = handle.read()
    loaded_peak = status("VmHWM")
    try:
        with open("/proc/self/clear_refs", "w") as handle:
            handle.write("5")  # restarts the high-water mark from the current size
        reset = True
    except OSError:
        reset = False
    before = status("VmRSS")
    anonymous_before = status("RssAnon")
    if mode == "parse":
        document = tessellox.parse(text)  # noqa: F841 (kept: what the result holds is measured)
    elif mode == "markdown":
        markdown = tessellox.parse_to_markdown(text)  # noqa: F841
    peak = status("VmHWM") if reset else -1
    # What the call keeps: the result's memory once the allocator has handed
    # back what the call freed.
    ctypes.CDLL(None).malloc_trim(0)
    print(max(loaded_peak, status("VmHWM")), before, peak, status("VmRSS"), status("RssAnon") - anonymous_before)


if __name__ == "__main__":
    main()
