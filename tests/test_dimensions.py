import math

import pytest

import _tablomir as t
from conftest import Index


def test_defaults(sheet):
    assert sheet.get_height_by_row(7) == 20.0 == t.DEFAULT_ROW_HEIGHT
    assert sheet.get_width_by_column(3) == 22.5 == t.DEFAULT_COLUMN_WIDTH
    assert sheet.get_hidden_by_row(7) is False and sheet.get_hidden_by_column(3) is False


def test_setters_touch_one_field(sheet):
    sheet.set_hidden_row(4, True)
    assert (sheet.get_height_by_row(4), sheet.get_hidden_by_row(4)) == (20.0, True)
    sheet.set_height_row(4, 30)
    assert (sheet.get_height_by_row(4), sheet.get_hidden_by_row(4)) == (30.0, True)
    assert type(sheet.get_height_by_row(4)) is float
    sheet.set_width_column(col_num=0, val=-5.0)
    sheet.set_hidden_column(0, False)
    assert (sheet.get_width_by_column(0), sheet.get_hidden_by_column(col_num=0)) == (-5.0, False)
    sheet.set_height_row(Index(0), float("nan"))
    assert math.isnan(sheet.get_height_by_row(0))
    sheet.set_height_row(4, 10.5)
    assert sheet.get_height_by_row(4) == 10.5


def test_numpy_bool_is_accepted(sheet):
    np = pytest.importorskip("numpy")
    sheet.set_hidden_column(2, np.True_)
    assert sheet.get_hidden_by_column(2) is True


@pytest.mark.parametrize("call, error", [
    (lambda s: s.set_hidden_row(4, 1), TypeError),
    (lambda s: s.set_hidden_row(4, None), TypeError),
    (lambda s: s.set_hidden_column(65536, True), OverflowError),
    (lambda s: s.set_height_row(-1, 10.0), OverflowError),
    (lambda s: s.set_height_row(1, "10"), TypeError),
    (lambda s: s.set_width_column(1, None), TypeError),
    (lambda s: s.set_width_column(1.0, 1.0), TypeError),
    (lambda s: s.get_height_by_row(4294967296), OverflowError),
    (lambda s: s.get_hidden_by_column("A"), TypeError),
])
def test_errors_create_no_entry(book, sheet, call, error):
    with pytest.raises(error):
        call(sheet)
    document = book.to_dict()["sheets"][0]
    assert document["row_dimensions"] == {"default_height": 20.0}
    assert document["column_dimensions"] == {"default_width": 22.5}
