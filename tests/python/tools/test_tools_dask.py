"""The Dask path on a two-process local cluster gives the single-process records."""

from __future__ import annotations

from pathlib import Path

import pytest
from tools_helpers import DATA, TRUNCATED_XML, grant_xml, need_bulk

pytest.importorskip("dask.bag")
pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")
pandas = pytest.importorskip("pandas")

from tessellox_tools.dask import to_bag, to_dataframe  # noqa: E402
from tessellox_tools.records import CLAIM_TABLE_FIELDS, DOCUMENT_TABLE_FIELDS, iter_records  # noqa: E402


@pytest.fixture(scope="module")
def client():
    with (
        distributed.LocalCluster(processes=True, n_workers=2, threads_per_worker=1, dashboard_address=":0") as cluster,
        distributed.Client(cluster) as dask_client,
    ):
        yield dask_client


def test_bag_and_dataframes_equal_the_single_process_records(client, tmp_path: Path) -> None:
    broken = tmp_path / "broken.xml"
    broken.write_text(grant_xml("08000001") + TRUNCATED_XML, encoding="utf-8")
    paths = [str(need_bulk()), str(DATA / "aps"), str(broken)]
    expected = list(iter_records(paths))
    assert len(expected) > 30
    bag = to_bag(paths)
    assert bag.npartitions == 6
    assert bag.compute() == expected
    with_errors = to_bag(paths, include_errors=True).compute()
    assert with_errors == list(iter_records(paths, include_errors=True))
    documents = to_dataframe(paths).compute()
    assert list(documents.columns) == list(DOCUMENT_TABLE_FIELDS)
    # Dataframes hold a missing value as pandas' own missing marker.
    numbers = [None if pandas.isna(number) else number for number in documents["patent_number"]]
    assert numbers == [r["patent_number"] for r in expected]
    assert documents["inventors"].tolist() == [r["inventors"] for r in expected]
    claims = to_dataframe(paths, table="claims").compute()
    assert list(claims.columns) == list(CLAIM_TABLE_FIELDS)
    assert claims["text"].tolist() == [c["text"] for r in expected for c in r["claims"]]


def test_standard_input_and_unknown_tables_are_refused() -> None:
    with pytest.raises(ValueError):
        to_bag(["-"])
    with pytest.raises(ValueError):
        to_dataframe([], table="figures")


def test_a_zip_of_several_members_is_a_partition_each_with_the_commands_records(client, tmp_path: Path) -> None:
    import json
    import zipfile

    from tools_helpers import lines, run_tool

    archive = tmp_path / "weeks.zip"
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as opened:
        for path in sorted(need_bulk().glob("*.xml")):
            opened.write(path, f"weeks/{path.name}")
    bag = to_bag([str(archive)])
    assert bag.npartitions == 3
    result = run_tool("records", str(archive), "-o", str(tmp_path / "out.jsonl"), "--jobs", "2")
    assert result.returncode == 0, result.stderr
    assert bag.compute() == [json.loads(line) for line in lines(tmp_path / "out.jsonl")]
