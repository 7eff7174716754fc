"""The core library prints nothing, never ends the process and keeps no
mutable global state: checked on the symbols of its static archive.

The archive is taken from $TESSELLOX_CORE_LIBRARY, else from build/tests (which
scripts/test.sh builds), else built here into a temporary folder.
"""

import os
import shutil
import subprocess
from pathlib import Path

import pytest
from conftest import REPO

# Output and process exit, as the C library and libstdc++ spell them.
FORBIDDEN_REFERENCES = {
    "printf",
    "__printf_chk",
    "vprintf",
    "fprintf",
    "__fprintf_chk",
    "vfprintf",
    "puts",
    "putchar",
    "perror",
    "stdout",
    "stderr",
    "_ZSt4cout",
    "_ZSt4cerr",
    "_ZSt4clog",
    "abort",
    "exit",
    "_exit",
    "_Exit",
    "quick_exit",
}


def archive_from_environment_or_build():
    given = os.environ.get("TESSELLOX_CORE_LIBRARY")
    if given:
        return Path(given)
    built = REPO / "build" / "tests" / "libtessellox_core.a"
    if built.exists():
        return built
    return None


@pytest.fixture(scope="module")
def core_archive(tmp_path_factory):
    if shutil.which("nm") is None:
        pytest.skip("nm is not installed")
    archive = archive_from_environment_or_build()
    if archive is not None:
        if not archive.exists():
            pytest.skip(f"{archive} does not exist")
        return archive
    if shutil.which("cmake") is None:
        pytest.skip("no core library given and cmake is not installed to build one")
    build = tmp_path_factory.mktemp("core-build")
    configure = subprocess.run(
        ["cmake", "-S", str(REPO), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release"], capture_output=True, text=True
    )
    if configure.returncode != 0:
        pytest.skip(f"cannot configure the core: {configure.stderr[-500:]}")
    subprocess.run(
        ["cmake", "--build", str(build), "--target", "tessellox_core", "-j", "2"], check=True, capture_output=True
    )
    return build / "libtessellox_core.a"


def symbols(archive):
    """(name, class, section) for every symbol of every member, from nm's System V format."""
    listing = subprocess.run(["nm", "-f", "sysv", str(archive)], check=True, capture_output=True, text=True).stdout
    rows = []
    for line in listing.splitlines():
        fields = [field.strip() for field in line.split("|")]
        if len(fields) == 7:
            rows.append((fields[0], fields[2], fields[6]))
    assert rows, "nm listed no symbols"
    return rows


def is_writable_section(section):
    if section.startswith(".data.rel.ro"):
        return False  # read-only once relocated
    return section.startswith((".data", ".bss", ".tdata", ".tbss"))


def test_core_references_no_output_or_exit(core_archive):
    undefined = {name for name, _, section in symbols(core_archive) if section == "*UND*"}
    assert not (undefined & FORBIDDEN_REFERENCES), sorted(undefined & FORBIDDEN_REFERENCES)


def test_core_is_free_of_python(core_archive):
    undefined = {name for name, _, section in symbols(core_archive) if section == "*UND*"}
    python = sorted(name for name in undefined if name.startswith(("Py", "_Py")))
    assert not python, python


def test_core_has_no_writable_global_data(core_archive):
    writable = sorted(
        f"{name} ({section})"
        for name, _, section in symbols(core_archive)
        if is_writable_section(section) and not name.startswith("DW.ref.")  # the unwinder's personality slot
    )
    assert not writable, writable
