"""The module's surface: attributes, signatures, argument handling, errors."""

import importlib.util
import inspect
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest
import tessellox
from conftest import REPO, SHARED_DATA, manifest_rows, read_text

GRANT_HEAD = '<?xml version="1.0"?>\n<us-patent-grant dtd-version="v4.5 2014-04-03">'


def test_attributes_and_all_in_order():
    assert tessellox.__all__ == ["parse", "parse_to_markdown", "detect_format", "Document", "Claim", "__version__"]
    for name in tessellox.__all__:
        assert hasattr(tessellox, name)


def test_version_has_one_source():
    pyproject = (REPO / "pyproject.toml").read_text()
    assert re.search(r'\nversion = "([^"]+)"', pyproject).group(1) == tessellox.__version__ == "0.2.1"


@pytest.mark.parametrize(
    "function, signature, doc",
    [
        (tessellox.parse, "(xml)", "Parse USPTO patent XML into a structured [`Document`]."),
        (
            tessellox.parse_to_markdown,
            "(xml, template=None)",
            "Parse USPTO patent XML and render Markdown in one call.",
        ),
        (tessellox.detect_format, "(xml)", "Detect the USPTO source format of `xml` without a full parse."),
    ],
)
def test_function_signatures_and_docs(function, signature, doc):
    assert str(inspect.signature(function)) == signature
    assert function.__doc__ == doc


def test_class_docs_and_method_signature():
    assert tessellox.Document.__doc__ == (
        "A parsed patent document: metadata getters plus `claims`, `abstract_text`,\nand `to_markdown(template=None)`."
    )
    assert tessellox.Claim.__doc__ == "A single claim, numbered by its 1-based position."
    assert list(inspect.signature(tessellox.Document.to_markdown).parameters) == ["self", "template"]
    assert tessellox.Document.to_markdown.__doc__ == (
        "Render this document to Markdown, optionally with a section-placeholder\n"
        "template (`{{frontmatter}}`, `{{title}}`, `{{abstract}}`,\n"
        "`{{description}}`, `{{claims}}`)."
    )


def test_document_properties_in_order():
    names = [name for name, value in vars(tessellox.Document).items() if inspect.isdatadescriptor(value)]
    assert names == [
        "publication_number",
        "patent_number",
        "application_number",
        "title",
        "filing_date",
        "publication_date",
        "priority_date",
        "inventors",
        "applicants",
        "assignees",
        "ipc_classifications",
        "us_classifications",
        "source_format",
        "abstract_text",
        "claims",
    ]


@pytest.mark.parametrize("cls", [tessellox.Document, tessellox.Claim])
def test_classes_have_no_constructor(cls):
    with pytest.raises(TypeError) as raised:
        cls()
    assert str(raised.value) == f"No constructor defined for {cls.__name__}"


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: tessellox.parse(), "parse() missing 1 required positional argument: 'xml'"),
        (lambda: tessellox.detect_format(), "detect_format() missing 1 required positional argument: 'xml'"),
        (lambda: tessellox.parse("a", "b"), "parse() takes 1 positional argument but 2 were given"),
        (
            lambda: tessellox.parse_to_markdown("a", None, "c"),
            "parse_to_markdown() takes from 1 to 2 positional arguments but 3 were given",
        ),
        (
            lambda: tessellox.parse_to_markdown(template="x"),
            "parse_to_markdown() missing 1 required positional argument: 'xml'",
        ),
        (lambda: tessellox.parse(xml="a", other=1), "parse() got an unexpected keyword argument 'other'"),
        (lambda: tessellox.detect_format("a", xml="b"), "detect_format() got multiple values for argument 'xml'"),
        (lambda: tessellox.parse(b"<x/>"), "argument 'xml': 'bytes' object cannot be converted to 'PyString'"),
        (lambda: tessellox.detect_format(None), "argument 'xml': 'NoneType' object cannot be converted to 'PyString'"),
        (
            lambda: tessellox.parse_to_markdown("<x/>", 5),
            "argument 'template': 'int' object cannot be converted to 'PyString'",
        ),
        (
            lambda: tessellox.parse_to_markdown(xml="<x/>", template=b"{{title}}"),
            "argument 'template': 'bytes' object cannot be converted to 'PyString'",
        ),
    ],
)
def test_argument_errors_use_cpython_wording(call, message):
    with pytest.raises(TypeError) as raised:
        call()
    assert str(raised.value) == message


def test_str_subclass_is_accepted_and_keyword_xml_works():
    class Text(str):
        pass

    assert tessellox.detect_format(Text('<PATDOC DTD="2.5"/>')) == "UsptoGrantV25"
    assert tessellox.detect_format(xml='<PATDOC DTD="2.5"/>') == "UsptoGrantV25"


@pytest.mark.parametrize("function", [tessellox.parse, tessellox.detect_format, tessellox.parse_to_markdown])
def test_lone_surrogates_raise_the_encoding_error(function):
    with pytest.raises(UnicodeEncodeError):
        function("<PATDOC>\ud800</PATDOC>")


@pytest.mark.parametrize(
    "text, detect_message",
    [
        ("", "malformed XML"),
        ("  \n ", "malformed XML"),
        ("\ufeff<?xml version='1.0'?><PATDOC/>", "malformed XML"),
        ("<table/>", "supplemental XML root 'table'"),
        ("<us:us-patent-grant/>", "unsupported XML root 'us:us-patent-grant'"),
        ("<us-patent-application/>", "unknown XML format"),
        ('<us-patent-grant dtd-version="v4.5"><p>pap-v16</p></us-patent-grant>', "conflicting XML version markers"),
    ],
)
def test_detection_errors(text, detect_message):
    with pytest.raises(ValueError) as raised:
        tessellox.detect_format(text)
    assert str(raised.value) == detect_message
    assert raised.value.args == (detect_message,)
    for function in (tessellox.parse, tessellox.parse_to_markdown):
        with pytest.raises(ValueError) as raised:
            function(text)
        assert str(raised.value) == "source detection failed: " + detect_message


def test_detection_error_comes_before_the_template():
    with pytest.raises(ValueError) as raised:
        tessellox.parse_to_markdown("", template="{{nonsense}}")
    assert str(raised.value) == "source detection failed: malformed XML"


@pytest.mark.parametrize(
    "row", [row for row in manifest_rows() if row["family"] != "bulk"], ids=lambda row: row["file"]
)
def test_shared_samples_detect_as_the_manifest_says(row):
    text = read_text(SHARED_DATA / row["family"] / row["file"])
    assert tessellox.detect_format(text) == row["expected_format"]


def test_second_initialisation_raises_import_error():
    script = (
        "import importlib, sys, tessellox\n"
        "del sys.modules['tessellox']\n"
        "try:\n"
        "    importlib.import_module('tessellox')\n"
        "except ImportError as error:\n"
        "    print('ImportError')\n"
    )
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True)
    assert result.stdout.strip() == "ImportError"


def test_module_is_built_for_the_stable_abi():
    assert Path(tessellox.__file__).name.startswith("tessellox.abi3.")


def test_wheel_is_tagged_cp310_abi3():
    import os

    wheel_dir = os.environ.get("TESSELLOX_WHEEL_DIR")
    if not wheel_dir:
        pytest.skip("set TESSELLOX_WHEEL_DIR to the folder of the built wheel (scripts/test.sh does)")
    wheels = list(Path(wheel_dir).glob("tessellox-*.whl"))
    assert len(wheels) == 1
    assert re.fullmatch(r"tessellox-0\.2\.1-cp310-abi3-[A-Za-z0-9_.]+\.whl", wheels[0].name)


def test_stub_matches_the_module():
    spec = importlib.util.find_spec("tessellox")
    stub = Path(spec.origin).with_name("tessellox.pyi")
    assert stub.exists(), "the type stub is installed beside the module"
    text = stub.read_text()
    for name in tessellox.__all__:
        assert name in text


@pytest.mark.parametrize("where", ["tessellox-stubs/__init__.pyi", "tessellox_tools/py.typed"])
def test_type_information_is_installed_where_checkers_look(where):
    spec = importlib.util.find_spec("tessellox")
    assert (Path(spec.origin).parent / where).exists()


def test_installed_package_passes_mypy_strict(tmp_path):
    # As a user's code meets it: the installed wheel, no search path set.
    pytest.importorskip("mypy")
    usage = Path(__file__).with_name("typing_usage.py")
    env = {key: value for key, value in os.environ.items() if key not in ("MYPYPATH", "PYTHONPATH")}
    result = subprocess.run(
        [
            sys.executable,
            "-m",
            "mypy",
            "--strict",
            "--no-incremental",
            "--cache-dir",
            str(tmp_path / "cache"),
            str(usage),
        ],
        capture_output=True,
        text=True,
        env=env,
        cwd=tmp_path,
    )
    assert result.returncode == 0, result.stdout + result.stderr
