import pytest

import _tablomir as t
from conftest import Index


@pytest.mark.parametrize("col, letters", [
    (0, ""), (1, "A"), (26, "Z"), (27, "AA"), (28, "AB"), (52, "AZ"), (53, "BA"), (702, "ZZ"),
    (703, "AAA"), (16384, "XFD"), (18278, "ZZZ"), (18279, "AAAA"), (65535, "CRXO"),
    (True, "A"), (Index(3), "C"),
])
def test_column_number_to_letter(col, letters):
    assert t.column_number_to_letter(col) == letters
    assert t.column_number_to_letter(col=col) == letters


def test_letters_are_bijective_base_26():
    def decode(text):
        n = 0
        for ch in text:
            n = n * 26 + (ord(ch) - 64)
        return n
    assert all(decode(t.column_number_to_letter(c)) == c for c in range(0, 65536, 7))


@pytest.mark.parametrize("row, col, text", [
    (3, 2, "B3"), (0, 1, "A0"), (7, 0, "7"), (0, 0, "0"), (4294967295, 16384, "XFD4294967295"),
])
def test_get_letter_coordinate(row, col, text):
    assert t.get_letter_coordinate(row, col) == text
    assert t.get_letter_coordinate(col=col, row=row) == text


@pytest.mark.parametrize("call, error", [
    (lambda: t.column_number_to_letter(65536), OverflowError),
    (lambda: t.column_number_to_letter(-1), OverflowError),
    (lambda: t.column_number_to_letter(2**70), OverflowError),
    (lambda: t.get_letter_coordinate(4294967296, 1), OverflowError),
    (lambda: t.get_letter_coordinate(1, -1), OverflowError),
    (lambda: t.column_number_to_letter(1.0), TypeError),
    (lambda: t.column_number_to_letter("A"), TypeError),
    (lambda: t.column_number_to_letter(None), TypeError),
    (lambda: t.column_number_to_letter(), TypeError),
    (lambda: t.column_number_to_letter(1, 2), TypeError),
    (lambda: t.column_number_to_letter(1, col=1), TypeError),
    (lambda: t.column_number_to_letter(column=1), TypeError),
    (lambda: t.get_letter_coordinate(1), TypeError),
])
def test_argument_errors(call, error):
    with pytest.raises(error):
        call()


def test_type_error_names_the_argument():
    with pytest.raises(TypeError, match="'col'"):
        t.column_number_to_letter(1.5)
    with pytest.raises(TypeError, match="'row'"):
        t.get_letter_coordinate("3", 2)


def test_conversion_errors_pass_through_and_row_converts_first():
    order = []

    class Bad:
        def __index__(self):
            raise KeyError("boom")

    with pytest.raises(KeyError):
        t.column_number_to_letter(Bad())
    t.get_letter_coordinate(Index(1, lambda: order.append("row")), Index(1, lambda: order.append("col")))
    assert order == ["row", "col"]
