import pytest

import _tablomir as t


def test_new_book(book):
    assert (book.sheets, repr(book)) == ([], "Book, sheets: 0")
    assert book.get_sheet_index(0) is None
    assert book.get_sheet_name("") is None


def test_add_and_find_sheets(book):
    a = book.add_sheet("A")
    a2 = book.add_sheet("A", "hidden")
    b = book.add_sheet(name="B", sheet_state="x")
    assert [(s.name, s.sheet_state) for s in book.sheets] == [("A", "visible"), ("A", "hidden"), ("B", "x")]
    assert repr(book) == "Book, sheets: 3"
    a.cell(1, 1, "first")
    assert book.get_sheet_name("A").get_value_cell(1, 1) == "first"
    assert book.get_sheet_name("a") is None
    assert book.get_sheet_index(1).sheet_state == "hidden"
    assert book.get_sheet_index(idx=2).name == "B"
    assert book.get_sheet_index(-1) is None
    assert book.get_sheet_index(3) is None
    assert a2.name == "A" and b.name == "B"


def test_sheet_objects_share_the_record(book):
    book.add_sheet("A")
    first, second = book.sheets[0], book.sheets[0]
    assert first is not second and first != second
    first.name = "renamed"
    assert second.name == "renamed" and book.get_sheet_name("renamed") is not None


def test_sheet_outlives_its_book():
    book = t.Book()
    s = book.add_sheet("kept")
    s.cell(1, 1, "v")
    del book
    assert (s.name, s.get_value_cell(1, 1)) == ("kept", "v")


def test_copy_sheet_naming(book):
    a = book.add_sheet("A")
    book.add_sheet("B")
    assert book.copy_sheet(a).name == "Sheet 3"
    assert book.copy_sheet(sheet=a).name == "Sheet 4"
    assert book.get_sheet_index(2).name == "Sheet 3"
    other = t.Book()
    assert other.copy_sheet(a).name == "Sheet 1"
    assert [s.name for s in other.sheets] == ["Sheet 1"]


def test_copy_shares_cells_but_not_the_map(book):
    s1 = book.add_sheet("A", "hidden")
    s1.cell(1, 1, "a")
    s1.cell(2, 2, "b")
    s2 = book.copy_sheet(s1)
    assert s2.sheet_state == "hidden"
    assert [(c.row, c.column, c.value) for c in s2.cells] == [(1, 1, "a"), (2, 2, "b")]
    s2.cell(1, 1, "x")
    assert s1.get_value_cell(1, 1) == "x"
    s1.cell(2, 2).formula = "=1"
    assert s2.cell(2, 2).is_formula
    s2.cell(9, 9, "y")
    assert s1.get_value_cell(9, 9) == "" and repr(s1) == "Sheet (A) cells: 2"
    s2.name = "Z"
    assert s1.name == "A"


def test_copy_of_itself_into_same_book(book):
    s = book.add_sheet("A")
    s.cell(1, 1, "v")
    copy = book.copy_sheet(book.get_sheet_index(0))
    assert copy.get_value_cell(1, 1) == "v"
    assert [x.name for x in book.sheets] == ["A", "Sheet 2"]


@pytest.mark.parametrize("call, error", [
    (lambda b: b.add_sheet("A", None), TypeError),
    (lambda b: b.add_sheet(None), TypeError),
    (lambda b: b.add_sheet(), TypeError),
    (lambda b: b.add_sheet("\ud800"), UnicodeEncodeError),
    (lambda b: b.add_sheet("A", "\ud800"), UnicodeEncodeError),
    (lambda b: b.copy_sheet("A"), TypeError),
    (lambda b: b.copy_sheet(b), TypeError),
    (lambda b: b.get_sheet_index(2**31), OverflowError),
    (lambda b: b.get_sheet_index(-2**31 - 1), OverflowError),
    (lambda b: b.get_sheet_index("0"), TypeError),
    (lambda b: b.get_sheet_name(1), TypeError),
    (lambda b: b.get_sheet_name("\ud800"), UnicodeEncodeError),
    (lambda b: setattr(b, "sheets", []), AttributeError),
])
def test_bad_arguments_add_nothing(book, call, error):
    book.add_sheet("only")
    with pytest.raises(error):
        call(book)
    assert [s.name for s in book.sheets] == ["only"]


def test_type_errors_name_the_argument(book):
    for call, name in [
        (lambda: book.add_sheet(1), "'name'"),
        (lambda: book.add_sheet("A", 1), "'sheet_state'"),
        (lambda: book.copy_sheet(1), "'sheet'"),
        (lambda: book.get_sheet_index(1.0), "'idx'"),
    ]:
        with pytest.raises(TypeError, match=name):
            call()


def test_wrong_receiver(book):
    with pytest.raises(TypeError):
        t.Book.add_sheet(5, "A")
