"""Builds and exports a one-million-cell sheet with tablomir, openpyxl, json and orjson.

Run by hand:  python bench/bench_model.py [--rows N]

The workload is one sheet of N rows x 50 columns (N = 20,000 gives 1,000,000 cells). Columns
10, 20, 30, 40 and 50 hold the text "Row r Col c"; every other cell holds a decimal number given
as text. All inputs are prepared before timing, so the timed loops measure only the cell calls.
Each measurement runs in its own child process (this script re-invoked with --only), so one
library's heap never shows up in another's memory figures.
"""

import argparse
import gc
import json
import os
import platform
import subprocess
import sys
import time

COLUMNS = 50
TEXT_EVERY = 10  # columns 10, 20, ... hold strings
SHEET_NAME = "Data"
REPEATS = 3
TARGET_NS_PER_CALL = 250
TARGET_BYTES_PER_CELL = 80
TARGET_TO_JSON_MBPS = 400


def cell_texts(rows):
    """Yields (row, column, text) for every cell, in row-major order.

    A generator, so that preparing derived inputs leaves no freed objects behind for the
    build to reuse: reused memory would not show up as RSS growth.
    """
    for r in range(1, rows + 1):
        for c in range(1, COLUMNS + 1):
            yield r, c, f"Row {r} Col {c}" if c % TEXT_EVERY == 0 else f"{(r * COLUMNS + c) * 0.25:.2f}"


def typed_values(rows):
    """What a user migrating to openpyxl would pass: floats for number cells, str for text."""
    return [(r, c, text if c % TEXT_EVERY == 0 else float(text)) for r, c, text in cell_texts(rows)]


def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def settled_rss():
    gc.collect()
    return rss_bytes()


def best_of(fn):
    """Best wall time of REPEATS calls, and the last result."""
    best = float("inf")
    for _ in range(REPEATS):
        result = None  # drop the previous result before the next call allocates its own
        start = time.perf_counter()
        result = fn()
        best = min(best, time.perf_counter() - start)
    return best, result


def build_tablomir(texts):
    import _tablomir as t

    book = t.Book()
    sheet = book.add_sheet(SHEET_NAME)
    before = settled_rss()
    start = time.perf_counter_ns()
    for r, c, text in texts:
        sheet.cell(r, c, text)
    elapsed = time.perf_counter_ns() - start
    return book, elapsed, settled_rss() - before


def loop_floor(texts):
    """The same loop calling a Python function that does nothing: the interpreter's share."""
    def noop(r, c, text):
        pass

    start = time.perf_counter_ns()
    for r, c, text in texts:
        noop(r, c, text)
    return time.perf_counter_ns() - start


def run_tablomir(rows):
    import _tablomir as t

    texts = list(cell_texts(rows))
    book, elapsed, grown = build_tablomir(texts)
    return {"version": t.__version__, "ns": elapsed, "rss": grown, "cells": len(book.sheets[0].cells),
            "floor_ns": loop_floor(texts)}


def run_openpyxl(rows):
    import openpyxl

    values = typed_values(rows)
    ws = openpyxl.Workbook().active
    ws.title = SHEET_NAME
    before = settled_rss()
    start = time.perf_counter_ns()
    for r, c, value in values:
        ws.cell(row=r, column=c, value=value)
    elapsed = time.perf_counter_ns() - start
    return {"version": openpyxl.__version__, "ns": elapsed, "rss": settled_rss() - before}


def document_structure(texts):
    """A plain Python structure holding what the exported document holds."""
    cells = [
        {"row": r, "column": c, "value": text, "data_type": "s"}
        if c % TEXT_EVERY == 0
        else {"row": r, "column": c, "value": float(text), "data_type": "n"}
        for r, c, text in texts
    ]
    return {
        "sheets": [
            {
                "name": SHEET_NAME,
                "sheet_state": "visible",
                "merge_cells": [],
                "cells": cells,
                "row_dimensions": {"default_height": 20.0},
                "column_dimensions": {"default_width": 22.5},
                "comments": [],
            }
        ]
    }


def run_export(rows):
    import orjson

    texts = list(cell_texts(rows))
    book, _, _ = build_tablomir(texts)
    to_json_s, text = best_of(book.to_json)
    to_json_bytes = len(text.encode())
    del text
    to_dict_s, _ = best_of(book.to_dict)
    del book

    obj = document_structure(texts)
    del texts
    dumps_s, text = best_of(lambda: json.dumps(obj, separators=(",", ":")))
    dumps_bytes = len(text.encode())
    del text
    orjson_s, data = best_of(lambda: orjson.dumps(obj))
    return {
        "orjson_version": orjson.__version__,
        "runs": {  # name: [best seconds, output bytes]
            "to_json": [to_json_s, to_json_bytes],
            "to_dict": [to_dict_s, to_json_bytes],
            "json.dumps": [dumps_s, dumps_bytes],
            "orjson.dumps": [orjson_s, len(data)],
        },
    }


CHILDREN = {"tablomir": run_tablomir, "openpyxl": run_openpyxl, "export": run_export}


def child(which, rows):
    """Runs one measurement in a fresh interpreter and returns its JSON result."""
    cmd = [sys.executable, os.path.abspath(__file__), "--only", which, "--rows", str(rows)]
    proc = subprocess.run(cmd, capture_output=True, text=True)
    if proc.returncode != 0:
        sys.exit(f"{which} run failed:\n{proc.stderr}")
    return json.loads(proc.stdout.strip().splitlines()[-1])


def verdict(ok):
    return "met" if ok else "MISSED"


def report_build(rows, cells):
    tab, opx = child("tablomir", rows), child("openpyxl", rows)
    if tab["cells"] != cells:
        sys.exit(f"tablomir holds {tab['cells']} cells, expected {cells}")
    print(f"tablomir {tab['version']}, openpyxl {opx['version']}")
    print()
    print("Build: one call per cell, plain Python loop")
    print("  openpyxl is given float(text) for number cells and the str for text cells,")
    print("  converted before timing; tablomir is given the text and classifies it itself.")
    print(f"  {'library':<22}{'total s':>10}{'ns/call':>10}{'bytes/cell':>12}")
    for name, res in (("tablomir Sheet.cell", tab), ("openpyxl ws.cell", opx)):
        print(f"  {name:<22}{res['ns'] / 1e9:>10.3f}{res['ns'] / cells:>10.0f}{res['rss'] / cells:>12.1f}")
    time_ratio, mem_ratio = opx["ns"] / tab["ns"], opx["rss"] / max(tab["rss"], 1)
    print(f"  {'openpyxl / tablomir':<22}{'':>10}{time_ratio:>9.1f}x{mem_ratio:>11.1f}x")
    ns, per_cell = tab["ns"] / cells, tab["rss"] / cells
    print(f"  target for tablomir: <= {TARGET_NS_PER_CALL} ns/call ({verdict(ns <= TARGET_NS_PER_CALL)}), "
          f"<= {TARGET_BYTES_PER_CELL} bytes/cell ({verdict(per_cell <= TARGET_BYTES_PER_CELL)})")
    print(f"  for scale: the same loop calling a no-op Python function takes {tab['floor_ns'] / cells:.0f} ns/call")


def report_export(rows):
    import _tablomir as t

    print()
    print(f"Export: best of {REPEATS}")
    if not hasattr(t.Book, "to_json"):
        print("  skipped: this build of _tablomir has no Book.to_json yet")
        return
    res = child("export", rows)
    print(f"  orjson {res['orjson_version']}; json.dumps uses separators=(',', ':')")
    print("  to_dict's MB/s is counted against to_json's output size")
    print(f"  {'what':<26}{'seconds':>10}{'MB/s':>10}{'output MB':>12}")
    runs = res["runs"]
    mbps = {name: size / 1e6 / seconds for name, (seconds, size) in runs.items()}
    for name, label in (("to_json", "tablomir Book.to_json"), ("to_dict", "tablomir Book.to_dict"),
                        ("json.dumps", "json.dumps (prebuilt)"), ("orjson.dumps", "orjson.dumps (prebuilt)")):
        seconds, size = runs[name]
        print(f"  {label:<26}{seconds:>10.3f}{mbps[name]:>10.0f}{size / 1e6:>12.1f}")
    for other in ("json.dumps", "orjson.dumps"):
        print(f"  to_json throughput / {other} throughput: {mbps['to_json'] / mbps[other]:.2f}x")
    print(f"  target: to_json >= {TARGET_TO_JSON_MBPS} MB/s ({verdict(mbps['to_json'] >= TARGET_TO_JSON_MBPS)})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rows", type=int, default=20_000, help="rows of 50 cells (default 20000)")
    parser.add_argument("--only", choices=sorted(CHILDREN), help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.rows < 1:
        parser.error("--rows must be at least 1")
    if args.only:
        print(json.dumps(CHILDREN[args.only](args.rows)))
        return

    cells = args.rows * COLUMNS
    print(f"Python {platform.python_version()} ({platform.python_implementation()}), "
          f"{os.cpu_count()} cores, {platform.machine()}")
    print(f"Workload: {args.rows:,} rows x {COLUMNS} columns = {cells:,} cells; "
          f"columns {TEXT_EVERY}, {2 * TEXT_EVERY}, ... hold 'Row r Col c', the rest decimals as text")
    report_build(args.rows, cells)
    report_export(args.rows)


if __name__ == "__main__":
    main()
