import pytest
from hypothesis import given, settings, strategies as st

import _tablomir as t


def rows_of(sheet):
    return [(c.row, c.column, c.value) for c in sheet.cells]


@pytest.fixture
def column_of_five(sheet):
    for r in range(1, 6):
        sheet.cell(r, 1, f"r{r}")
    return sheet


@pytest.mark.parametrize("idx, amount, expected", [
    (2, 2, [(1, "r1"), (2, "r4"), (3, "r5")]),
    (2, 0, [(1, "r1"), (2, "r2"), (3, "r3"), (4, "r4"), (5, "r5")]),
    (9, 3, [(1, "r1"), (2, "r2"), (3, "r3"), (4, "r4"), (5, "r5")]),
    (0, 1, [(0, "r1"), (1, "r2"), (2, "r3"), (3, "r4"), (4, "r5")]),
    (1, 5, []),
    (4294967290, 10, [(1, "r1"), (2, "r2"), (3, "r3"), (4, "r4"), (5, "r5")]),
    (3, 4294967295, [(1, "r1"), (2, "r2")]),
])
def test_delete_rows(column_of_five, idx, amount, expected):
    column_of_five.delete_rows(idx, amount)
    assert [(r, v) for r, _, v in rows_of(column_of_five)] == expected
    assert column_of_five.max_row == max((r for r, _ in expected), default=0)
    assert all(column_of_five.get_value_cell(r, 1) == v for r, v in expected)


@pytest.mark.parametrize("idx, amount, expected", [
    (2, 2, [(1, "c1"), (2, "c4"), (3, "c5"), (65533, "last")]),
    (0, 1, [(0, "c1"), (1, "c2"), (2, "c3"), (3, "c4"), (4, "c5"), (65534, "last")]),
    (65000, 1000, [(1, "c1"), (2, "c2"), (3, "c3"), (4, "c4"), (5, "c5")]),
    (4, 65535, [(1, "c1"), (2, "c2"), (3, "c3")]),
])
def test_delete_cols(sheet, idx, amount, expected):
    for c in range(1, 6):
        sheet.cell(1, c, f"c{c}")
    sheet.cell(1, 65535, "last")
    sheet.delete_cols(idx=idx, amount=amount)
    assert [(c, v) for _, c, v in rows_of(sheet)] == expected


def reference_delete(cells, idx, amount, axis, limit):
    """Plain-Python deletion of the band idx <= n < idx + amount along one axis."""
    end = min(idx + amount, limit + 1)
    out = {}
    for key, value in cells.items():
        n = key[axis]
        if idx <= n < end:
            continue
        if n >= end and n > idx:
            key = tuple(k - amount if i == axis else k for i, k in enumerate(key))
        out[key] = value
    return sorted((r, c, v) for (r, c), v in out.items())


@settings(max_examples=60, deadline=None)
@given(
    coords=st.sets(st.tuples(st.integers(0, 40), st.integers(0, 40)), max_size=60),
    idx=st.integers(0, 45),
    amount=st.integers(0, 45),
    rows=st.booleans(),
)
def test_deletion_matches_reference(coords, idx, amount, rows):
    sheet = t.Book().add_sheet("S")
    cells = {}
    for r, c in coords:
        sheet.cell(r, c, f"{r}/{c}")
        cells[(r, c)] = f"{r}/{c}"
    if rows:
        sheet.delete_rows(idx, amount)
    else:
        sheet.delete_cols(idx, amount)
    assert rows_of(sheet) == reference_delete(cells, idx, amount, 0 if rows else 1,
                                              4294967295 if rows else 65535)


def test_band_without_cells_still_moves_cells_behind_it(sheet):
    sheet.cell(1, 1, "a")
    sheet.cell(10, 1, "b")
    sheet.delete_rows(3, 4)
    assert rows_of(sheet) == [(1, 1, "a"), (6, 1, "b")]


def test_everything_but_cells_is_untouched(book, sheet):
    for r in range(1, 6):
        sheet.cell(r, 1, str(r))
    sheet.add_merge_cells(2, 3, 1, 1)
    sheet.add_comment(4, 1, "note", "me")
    sheet.set_height_row(4, 33.0)
    sheet.delete_rows(1, 2)
    doc = book.to_dict()["sheets"][0]
    assert doc["merge_cells"] == [[2, 3, 1, 1]]
    assert [(c["row"], c["column"]) for c in doc["comments"]] == [(4, 1)]
    assert list(doc["row_dimensions"]["rows"]) == ["4"] and sheet.get_height_by_row(4) == 33.0
    assert (sheet.name, sheet.sheet_state) == ("S", "visible")


def test_cell_objects_follow_their_records(sheet):
    for r in range(1, 6):
        sheet.cell(r, 1, f"r{r}")
    moved = sheet.cell(5, 1)
    gone = sheet.cell(2, 1)
    sheet.delete_rows(2, 2)
    assert (moved.row, moved.letter) == (3, "A3")
    assert (gone.row, gone.value) == (2, "r2")
    gone.value = "orphan"
    assert "orphan" not in [c.value for c in sheet.cells]


def test_copy_shares_renumbered_records(book, sheet):
    for r in range(1, 6):
        sheet.cell(r, 1, f"r{r}")
    copy = book.copy_sheet(sheet)
    copy.delete_rows(2, 2)
    assert [(c.row, c.value) for c in copy.cells] == [(1, "r1"), (2, "r4"), (3, "r5")]
    # The source still files the moved records under their old keys, but the
    # records themselves report their new rows.
    assert sheet.max_row == 5 and sheet.get_value_cell(5, 1) == "r5"
    assert [(c.row, c.value) for c in sheet.cells] == [(1, "r1"), (2, "r2"), (3, "r3"), (2, "r4"), (3, "r5")]
    exported = [(c["row"], c["value"]) for c in book.to_dict()["sheets"][0]["cells"]]
    assert exported == [(1, "r1"), (2, "r2"), (3, "r3"), (2, "r4"), (3, "r5")]


@pytest.mark.parametrize("call, error", [
    (lambda s: s.delete_cols(1, 65536), OverflowError),
    (lambda s: s.delete_rows(-1, 1), OverflowError),
    (lambda s: s.delete_rows(1), TypeError),
    (lambda s: s.delete_rows(1, 1.0), TypeError),
])
def test_errors_change_nothing(column_of_five, call, error):
    with pytest.raises(error):
        call(column_of_five)
    assert len(column_of_five.cells) == 5
