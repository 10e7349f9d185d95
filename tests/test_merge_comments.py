import pytest

import _tablomir as t
from conftest import Index


def test_merge_ranges_are_kept_as_given(sheet):
    assert sheet.merge_cells == []
    sheet.add_merge_cells(1, 1, 1, 3)
    sheet.add_merge_cells(5, 2, 4, 1)
    sheet.add_merge_cells(5, 2, 4, 1)
    sheet.add_merge_cells(start_row=0, end_row=4294967295, start_col=0, end_col=65535)
    ranges = sheet.merge_cells
    assert ranges == [(1, 1, 1, 3), (5, 2, 4, 1), (5, 2, 4, 1), (0, 4294967295, 0, 65535)]
    ranges.clear()
    assert len(sheet.merge_cells) == 4


@pytest.mark.parametrize("args, error", [
    ((1, 1, 1, 65536), OverflowError),
    ((-1, 1, 1, 1), OverflowError),
    ((1, 4294967296, 1, 1), OverflowError),
    ((1, 1, "1", 1), TypeError),
    ((1, 1, 1), TypeError),
])
def test_merge_range_errors_store_nothing(sheet, args, error):
    with pytest.raises(error):
        sheet.add_merge_cells(*args)
    assert sheet.merge_cells == []


def test_comments_are_shared_records(sheet):
    assert sheet.comments == []
    sheet.add_comment(3, 2, "first", "ann")
    sheet.add_comment(row=3, col=2, text="second", author="bob")
    a, b = sheet.comments
    assert (a.row, a.column, a.coordinate, a.text, a.author) == (3, 2, (3, 2), "first", "ann")
    assert b.text == "second" and b.author == "bob"
    assert sheet.comments[0] is not sheet.comments[0]
    a.text = "edited"
    a.author = ""
    assert (sheet.comments[0].text, sheet.comments[0].author) == ("edited", "")
    assert sheet.cells == []  # a comment needs no cell
    assert repr(a).startswith("<tablomir.Comment object at ")


@pytest.mark.parametrize("args, error", [
    ((1, 1, None, "a"), TypeError),
    ((1, 1, "t", 5), TypeError),
    ((1, 65536, "t", "a"), OverflowError),
    ((1, 1, "\ud800", "a"), UnicodeEncodeError),
])
def test_comment_errors_store_nothing(sheet, args, error):
    with pytest.raises(error):
        sheet.add_comment(*args)
    assert sheet.comments == []


def test_comment_property_errors(sheet):
    sheet.add_comment(1, 1, "t", "a")
    c = sheet.comments[0]
    for attr in ("author", "text"):
        with pytest.raises(AttributeError, match="can't delete attribute"):
            delattr(c, attr)
        with pytest.raises(TypeError):
            setattr(c, attr, None)
    for attr in ("row", "column", "coordinate"):
        with pytest.raises(AttributeError):
            setattr(c, attr, 1)
    with pytest.raises(AttributeError):
        c.extra = 1
    assert (c.author, c.text) == ("a", "t")


def test_exclusive_claim_conflicts_with_calls_from_argument_conversion(sheet):
    # __index__ runs while add_merge_cells holds its exclusive claim on the sheet.
    seen = []
    with pytest.raises(RuntimeError):
        sheet.add_merge_cells(Index(1, lambda: seen.append(sheet.max_row)), 1, 1, 1)
    with pytest.raises(RuntimeError):
        sheet.add_comment(1, Index(1, lambda: sheet.add_comment(1, 1, "x", "y")), "t", "a")
    assert seen == [] and sheet.merge_cells == [] and sheet.comments == []
    # The claim is released afterwards, and shared claims nest freely.
    sheet.cell(Index(1, lambda: seen.append(sheet.max_row)), 1)
    sheet.add_merge_cells(1, 1, 1, 1)
    assert seen == [0] and sheet.merge_cells == [(1, 1, 1, 1)]
