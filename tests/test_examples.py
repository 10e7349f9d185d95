import json
import pathlib
import subprocess
import sys

import pytest

EXAMPLES = sorted((pathlib.Path(__file__).parent.parent / "examples").glob("*.py"))


@pytest.mark.parametrize("program", EXAMPLES, ids=lambda p: p.name)
def test_example_runs(program):
    out = subprocess.run([sys.executable, str(program)], capture_output=True, text=True, timeout=60)
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip()


def test_report_example_prints_its_document():
    program = next(p for p in EXAMPLES if p.name == "service_report.py")
    lines = subprocess.run([sys.executable, str(program)], capture_output=True, text=True).stdout.splitlines()
    doc = json.loads(lines[1])
    sheet = doc["sheets"][0]
    assert sheet["merge_cells"] == [[1, 1, 1, 3]] and sheet["comments"]
    assert sheet["cells"][-1]["formula"] == "=SUM(C3:C5)"
