import ctypes
import subprocess
import sys
import textwrap

import pytest

import _tablomir as t

MAIN_ALL = [
    "__version__", "Service", "Book", "Sheet", "Cell", "Comment", "version", "column_number_to_letter",
    "get_letter_coordinate", "DEFAULT_ROW_HEIGHT", "DEFAULT_COLUMN_WIDTH", "readable",
]
READABLE_ALL = [
    "Finder", "ReadableSheet", "ReadableCell", "create_finder", "find_cell_by_coords", "find_value_by_coords",
    "find_cell_by_regex", "find_cell_by_str", "find_cell_by_letter", "find_cells_by_regex", "find_cells_by_str",
    "find_cells_for_rows_by_regex", "find_cells_for_cols_by_regex", "find_cells_multi_regex",
    "find_cells_between_regex", "find_cells_range_rows", "find_cells_range_cols", "find_values_by_col_rows",
    "find_values_by_row_cols",
]


def test_module_surface():
    assert t.__all__ == MAIN_ALL
    assert t.__name__ == "_tablomir" and t.__doc__ == ""
    assert t.readable.__name__ == "readable"
    assert t.readable.__all__ == READABLE_ALL
    assert sys.modules["tablomir.readable"] is t.readable
    assert t.version() == t.__version__ == "0.12.1"
    assert type(t.DEFAULT_ROW_HEIGHT) is float and t.DEFAULT_ROW_HEIGHT == 20.0
    assert type(t.DEFAULT_COLUMN_WIDTH) is float and t.DEFAULT_COLUMN_WIDTH == 22.5


def test_function_docs_and_signatures():
    assert t.version.__text_signature__ == "()"
    assert t.version.__doc__.startswith("Returns the version of the underlying ostrel library.")
    assert t.column_number_to_letter.__text_signature__ == "(col)"
    assert t.column_number_to_letter.__doc__ == "Преобразование номера колонки в букву."
    assert t.get_letter_coordinate.__text_signature__ == "(row, col)"
    assert t.get_letter_coordinate.__doc__ == "Преобразование номера колонки в координату."
    assert t.Book.__text_signature__ == "()"
    with pytest.raises(TypeError):
        t.version(1)


@pytest.mark.parametrize("cls, module", [
    (t.Book, "tablomir"), (t.Sheet, "tablomir"), (t.Cell, "tablomir"), (t.Comment, "tablomir"),
    (t.readable.Finder, "tablomir.readable"), (t.readable.ReadableSheet, "tablomir.readable"),
    (t.readable.ReadableCell, "tablomir.readable"),
])
def test_classes(cls, module):
    assert cls.__module__ == module
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


def test_readable_signatures():
    r = t.readable
    assert r.Finder.__doc__ == "Finder(sheets)\n--\n\n" or r.Finder.__text_signature__ == "(sheets)"
    assert r.create_finder.__text_signature__ == "(sheets)"
    for name in READABLE_ALL[4:]:
        function = getattr(r, name)
        assert function.__text_signature__.endswith(", cells)"), name
        assert function.__doc__ is None or function.__doc__ == "", name
    assert r.find_cells_for_rows_by_regex.__text_signature__ == "(regex, col_stop, cells)"


@pytest.mark.parametrize("cls", [t.Sheet, t.Cell, t.Comment, t.readable.ReadableSheet, t.readable.ReadableCell])
def test_no_constructor(cls):
    with pytest.raises(TypeError):
        cls()


def test_objects_have_no_dict_and_no_weakref(book, sheet):
    cell = sheet.cell(1, 1)
    for obj in (book, sheet, cell):
        with pytest.raises(AttributeError):
            obj.x = 1
        with pytest.raises(TypeError):
            import weakref
            weakref.ref(obj)


def test_book_constructor():
    assert repr(t.Book()) == "Book, sheets: 0"
    with pytest.raises(TypeError):
        t.Book(1)
    with pytest.raises(TypeError):
        t.Book(x=1)


def test_entry_point_returns_the_same_module():
    lib = ctypes.PyDLL(t.__file__)
    init = lib.PyInit__tablomir
    init.restype = ctypes.py_object
    assert init() is t


def test_only_the_entry_point_is_exported():
    out = subprocess.run(["nm", "-D", "--defined-only", t.__file__], capture_output=True, text=True)
    if out.returncode != 0:
        pytest.skip("nm is not available")
    symbols = [line.split()[-1] for line in out.stdout.splitlines() if " T " in line]
    assert symbols == ["PyInit__tablomir"]


def test_subinterpreter_is_refused():
    interpreters = pytest.importorskip("concurrent.interpreters")
    interp = interpreters.create()
    try:
        with pytest.raises(interpreters.ExecutionFailed, match="ImportError"):
            interp.exec("import _tablomir")
    finally:
        interp.close()


def test_internal_state_survives_reimport():
    code = textwrap.dedent("""
        import sys, importlib, _tablomir as a
        del sys.modules["_tablomir"]
        import _tablomir as b
        assert a is b and a.Book is b.Book
        assert importlib.reload(a) is a
        print("ok")
    """)
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert out.stdout.strip() == "ok", out.stderr
