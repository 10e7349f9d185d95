import datetime as dt

import pytest

import _tablomir as t


@pytest.fixture
def cell(sheet):
    return sheet.cell(3, 2)


# text -> (getter text, data_type, True-valued is_ property or None)
CLASSIFIED = [
    ("TRUE", "true", "b", "is_value_bool"),
    ("tRuE", "true", "b", "is_value_bool"),
    ("False", "false", "b", "is_value_bool"),
    ("falſe", "false", "b", "is_value_bool"),  # long s upper-cases to S
    ("", "", "s", "is_value_empty"),
    ("42", "42", "n", "is_value_integer"),
    ("007", "7", "n", "is_value_integer"),
    ("-0", "0", "n", "is_value_integer"),
    ("-2147483648", "-2147483648", "n", "is_value_integer"),
    ("2147483648", "2147483648", "n", "is_value_numeric"),
    ("4.0", "4", "n", "is_value_numeric"),
    ("12.0", "12", "n", "is_value_numeric"),
    ("1e20", "100000000000000000000", "n", "is_value_numeric"),
    ("1e-7", "0.0000001", "n", "is_value_numeric"),
    (".5", "0.5", "n", "is_value_numeric"),
    ("5.", "5", "n", "is_value_numeric"),
    ("-2.5E-3", "-0.0025", "n", "is_value_numeric"),
    ("-0.0", "-0", "n", "is_value_numeric"),
    ("nan", "NaN", "n", "is_value_numeric"),
    ("-Infinity", "-inf", "n", "is_value_numeric"),
    ("1e400", "inf", "n", "is_value_numeric"),
    ("2024-02-29 23:59:59", "2024-02-29 23:59:59", "d", "is_value_datetime"),
    ("2024-02-30 00:00:00", "2024-02-30 00:00:00", "s", None),
    ("2024-01-31T13:45:00", "2024-01-31T13:45:00", "s", None),
    ("2024-01-31", "2024-01-31", "s", None),
    (" 12", " 12", "s", None),
    ("1,5", "1,5", "s", None),
    ("yes", "yes", "s", None),
    ("+", "+", "s", None),
    ("ТЕКСТ ß", "ТЕКСТ ß", "s", None),
]
IS_PROPERTIES = ["is_value_bool", "is_value_numeric", "is_value_integer", "is_value_datetime", "is_value_empty"]


@pytest.mark.parametrize("text, shown, data_type, is_true", CLASSIFIED)
def test_value_setter_classifies(cell, text, shown, data_type, is_true):
    cell.value = text
    assert cell.value == shown
    assert cell.data_type == data_type
    assert {p for p in IS_PROPERTIES if getattr(cell, p)} == ({is_true} if is_true else set())


def test_formula_and_value_interplay(cell):
    cell.value = "3"
    cell.formula = "=A1+1"
    assert (cell.is_formula, cell.data_type, cell.formula, cell.value) == (True, "f", "=A1+1", "3")
    cell.value = "4"
    assert (cell.is_formula, cell.data_type, cell.formula) == (False, "n", None)
    cell.formula = "=B1"
    cell.set_value_bool(True)
    assert (cell.is_formula, cell.formula, cell.data_type) == (False, None, "b")


def test_style_and_hidden_value_survive_value_writes(cell):
    assert (cell.style, cell.hidden_value, cell.formula) == (None, None, None)
    cell.style = "7"
    cell.hidden_value = "secret"
    cell.formula = "=1"
    cell.value = "x"
    cell.set_value_number(2.5)
    assert (cell.style, cell.hidden_value, cell.formula, cell.value) == ("7", "secret", None, "2.5")
    cell.style = ""
    assert cell.style == ""


@pytest.mark.parametrize("method, arg, shown, data_type, is_true", [
    ("set_value_number", 2, "2", "n", "is_value_numeric"),
    ("set_value_number", 1e20, "100000000000000000000", "n", "is_value_numeric"),
    ("set_value_number", float("-inf"), "-inf", "n", "is_value_numeric"),
    ("set_value_integer", -5, "-5", "n", "is_value_integer"),
    ("set_value_integer", 2**31 - 1, "2147483647", "n", "is_value_integer"),
    ("set_value_bool", False, "false", "b", "is_value_bool"),
    ("set_value_datetime", dt.datetime(2024, 1, 31, 13, 45), "2024-01-31 13:45:00", "d", "is_value_datetime"),
    ("set_value_datetime", dt.datetime(2024, 1, 31, 13, 45, 0, 500000), "2024-01-31 13:45:00.500", "d",
     "is_value_datetime"),
    ("set_value_datetime", dt.datetime(2024, 1, 31, 13, 45, 0, 250), "2024-01-31 13:45:00.000250", "d",
     "is_value_datetime"),
    ("set_value_datetime", dt.datetime(1, 1, 1), "0001-01-01 00:00:00", "d", "is_value_datetime"),
])
def test_typed_setters(cell, method, arg, shown, data_type, is_true):
    cell.formula = "=X"
    assert getattr(cell, method)(arg) is None
    assert (cell.value, cell.data_type, cell.formula) == (shown, data_type, None)
    assert {p for p in IS_PROPERTIES if getattr(cell, p)} == {is_true}


class Floaty:
    def __float__(self):
        return 1.25


class DateTimeSub(dt.datetime):
    pass


def test_setters_accept_conversions(cell):
    cell.set_value_number(Floaty())
    assert cell.value == "1.25"
    cell.set_value_number(True)
    assert cell.value == "1"
    cell.set_value_datetime(value=DateTimeSub(2020, 5, 6, 7, 8, 9))
    assert cell.value == "2020-05-06 07:08:09"


def test_numpy_bool_is_accepted(cell):
    np = pytest.importorskip("numpy")
    cell.set_value_bool(np.bool_(True))
    assert cell.value == "true"


@pytest.mark.parametrize("call, error, message", [
    (lambda c: c.set_value_bool(1), TypeError, "'value'"),
    (lambda c: c.set_value_bool(None), TypeError, "'value'"),
    (lambda c: c.set_value_integer(2**31), OverflowError, None),
    (lambda c: c.set_value_integer(1.0), TypeError, "'value'"),
    (lambda c: c.set_value_number("1"), TypeError, "'value'"),
    (lambda c: c.set_value_number(None), TypeError, "'value'"),
    (lambda c: c.set_value_number(10**400), OverflowError, None),
    (lambda c: c.set_value_datetime(dt.date(2024, 1, 1)), TypeError, "'value'"),
    (lambda c: c.set_value_datetime(dt.datetime(2024, 1, 1, tzinfo=dt.timezone.utc)), TypeError,
     "expected a datetime without tzinfo"),
    (lambda c: c.set_value_number(), TypeError, None),
    (lambda c: setattr(c, "value", 5), TypeError, "'value'"),
    (lambda c: setattr(c, "style", None), TypeError, "'value'"),
    (lambda c: setattr(c, "formula", b"=1"), TypeError, "'value'"),
    (lambda c: setattr(c, "hidden_value", 1), TypeError, "'value'"),
    (lambda c: setattr(c, "value", "\ud800"), UnicodeEncodeError, None),
    (lambda c: setattr(c, "formula", "=\udfff"), UnicodeEncodeError, None),
])
def test_bad_input_changes_nothing(cell, call, error, message):
    cell.value = "keep"
    cell.style = "s1"
    with pytest.raises(error, match=message):
        call(cell)
    assert (cell.value, cell.data_type, cell.style, cell.formula) == ("keep", "s", "s1", None)


@pytest.mark.parametrize("attr", ["value", "formula", "style", "hidden_value"])
def test_delete_property_with_setter(cell, attr):
    with pytest.raises(AttributeError, match="can't delete attribute"):
        delattr(cell, attr)


@pytest.mark.parametrize("attr", ["row", "column", "letter", "data_type", "is_formula", "is_value_empty"])
def test_read_only_properties(cell, attr):
    with pytest.raises(AttributeError):
        setattr(cell, attr, "x")


def test_position_repr_and_sharing(sheet):
    a = sheet.cell(3, 2)
    b = sheet.cell(3, 2)
    assert (a.row, a.column, a.letter) == (3, 2, "B3")
    assert repr(a) == "Cell, Coords: Coordinate { row: 3, column: 2 }"
    assert a is not b and a != b
    a.value = "shared"
    assert b.value == "shared" and sheet.get_value_cell(3, 2) == "shared"
    assert sheet.cell(7, 0).letter == "7"
