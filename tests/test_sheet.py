import random

import pytest

import _tablomir as t
from conftest import Index


def test_new_sheet(sheet):
    assert (sheet.name, sheet.sheet_state, sheet.max_row, sheet.max_column, sheet.cells) == ("S", "visible", 0, 0, [])
    assert repr(sheet) == "Sheet (S) cells: 0"
    assert sheet.get_value_cell(1, 1) == ""


def test_cells_extent_and_lookup(sheet):
    sheet.cell(2, 3, "12")
    sheet.cell(1, 5)
    assert [(c.row, c.column) for c in sheet.cells] == [(1, 5), (2, 3)]
    assert (sheet.max_row, sheet.max_column) == (2, 5)
    assert repr(sheet) == "Sheet (S) cells: 2"
    assert (sheet.get_value_cell(2, 3), sheet.get_value_cell(1, 5), sheet.get_value_cell(row=9, col=9)) == ("12", "", "")


def test_cells_are_sorted_by_row_then_column(sheet):
    coords = [(r, c) for r in (0, 1, 7, 65536, 4294967295) for c in (0, 1, 300, 65535)]
    random.Random(5).shuffle(coords)
    for r, c in coords:
        sheet.cell(r, c, f"{r}:{c}")
    cells = sheet.cells
    assert [(c.row, c.column) for c in cells] == sorted(coords)
    assert all(c.value == f"{c.row}:{c.column}" for c in cells)
    assert (sheet.max_row, sheet.max_column) == (4294967295, 65535)


def test_large_sheet_listing_matches_sorted_reference(sheet):
    rng = random.Random(11)
    coords = {(rng.randrange(1, 5000), rng.randrange(1, 60)) for _ in range(20000)}
    for r, c in coords:
        sheet.cell(r, c)
    assert [(c.row, c.column) for c in sheet.cells] == sorted(coords)


def test_get_or_create_is_idempotent(sheet):
    a = sheet.cell(2, 3, "12")
    b = sheet.cell(2, 3, "12")
    assert a is not b
    assert repr(sheet) == "Sheet (S) cells: 1"


@pytest.mark.parametrize("setup, expect_type, expect_value", [
    (lambda s: s.cell(1, 1, "x"), "s", "x"),
    (lambda s: s.cell(1, 1, "5"), "s", "5"),
    (lambda s: s.cell(1, 1, "true"), "s", "true"),
    (lambda s: setattr(s.cell(1, 1, "5"), "formula", "=B1"), "f", "5"),
])
def test_cell_without_value_keeps_value(sheet, setup, expect_type, expect_value):
    setup(sheet)
    c = sheet.cell(1, 1, None)
    assert (c.data_type, c.value) == (expect_type, expect_value)


def test_cell_with_value_replaces_formula(sheet):
    c = sheet.cell(1, 1)
    c.formula = "=1"
    sheet.cell(1, 1, "2.5")
    assert (c.formula, c.data_type, c.value) == (None, "n", "2.5")


def test_row_and_column_zero(sheet):
    sheet.cell(0, 0, "origin")
    assert (sheet.max_row, sheet.max_column) == (0, 0)
    assert sheet.get_value_cell(0, 0) == "origin"


def test_name_and_state(sheet):
    sheet.name = ""
    sheet.set_sheet_state("anything")
    sheet.set_sheet_state(state="hidden")
    assert (sheet.name, sheet.sheet_state) == ("", "hidden")
    assert repr(sheet) == "Sheet () cells: 0"


@pytest.mark.parametrize("call, error", [
    (lambda s: s.cell(-1, 1), OverflowError),
    (lambda s: s.cell(1, 65536), OverflowError),
    (lambda s: s.cell(4294967296, 1), OverflowError),
    (lambda s: s.cell(1, 1, 5), TypeError),
    (lambda s: s.cell(1.0, 1), TypeError),
    (lambda s: s.cell(1), TypeError),
    (lambda s: s.cell(1, 1, "x", "y"), TypeError),
    (lambda s: s.cell(1, 1, value="x", row=2), TypeError),
    (lambda s: s.cell(1, 1, text="x"), TypeError),
    (lambda s: s.cell(1, 1, "\ud800"), UnicodeEncodeError),
    (lambda s: s.get_value_cell(1, -1), OverflowError),
    (lambda s: s.get_value_cell("1", 1), TypeError),
    (lambda s: setattr(s, "name", None), TypeError),
    (lambda s: setattr(s, "name", "\udc80"), UnicodeEncodeError),
    (lambda s: s.set_sheet_state(1), TypeError),
    (lambda s: setattr(s, "sheet_state", "x"), AttributeError),
    (lambda s: setattr(s, "max_row", 1), AttributeError),
    (lambda s: setattr(s, "cells", []), AttributeError),
])
def test_bad_arguments_change_nothing(sheet, call, error):
    sheet.cell(1, 1, "keep")
    with pytest.raises(error):
        call(sheet)
    assert [(c.row, c.column, c.value) for c in sheet.cells] == [(1, 1, "keep")]
    assert (sheet.name, sheet.sheet_state) == ("S", "visible")


def test_type_errors_name_the_argument(sheet):
    for call, name in [
        (lambda: sheet.cell("1", 1), "'row'"),
        (lambda: sheet.cell(1, "1"), "'col'"),
        (lambda: sheet.cell(1, 1, 1), "'value'"),
        (lambda: setattr(sheet, "name", 1), "'name'"),
        (lambda: sheet.set_sheet_state(None), "'state'"),
    ]:
        with pytest.raises(TypeError, match=name):
            call()


def test_delete_name_is_refused(sheet):
    with pytest.raises(AttributeError, match="can't delete attribute"):
        del sheet.name


def test_index_objects_are_accepted(sheet):
    c = sheet.cell(Index(4), Index(2), "v")
    assert (c.row, c.column) == (4, 2)
    assert sheet.get_value_cell(True, Index(2)) == ""
    assert sheet.get_value_cell(Index(4), 2) == "v"
