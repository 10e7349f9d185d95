import datetime as dt
import json
import math
import struct

import pytest
from hypothesis import given, settings, strategies as st

import _tablomir as t

EXAMPLE = (
    '{"sheets":[{"name":"Q1","sheet_state":"visible","merge_cells":[[1,1,1,3]],"cells":['
    '{"row":1,"column":1,"value":"Total","data_type":"s"},'
    '{"row":2,"column":2,"value":12.5,"formula":"=B3*2","data_type":"f","style_id":"7"}],'
    '"row_dimensions":{"rows":{"2":{"row_num":2,"height":30.0,"hidden":false,"collapsed":false,"level":0}},'
    '"default_height":20.0},"column_dimensions":{"default_width":22.5},'
    '"comments":[{"row":1,"column":1,"author":"reviewer","text":"see note"}]}]}'
)


def test_example_document_byte_for_byte(book):
    s = book.add_sheet("Q1")
    s.cell(1, 1, "Total")
    c = s.cell(2, 2, "12.5")
    c.formula = "=B3*2"
    c.style = "7"
    s.add_merge_cells(1, 1, 1, 3)
    s.set_height_row(2, 30.0)
    s.add_comment(1, 1, "see note", "reviewer")
    assert book.to_json() == EXAMPLE
    assert book.to_dict() == json.loads(EXAMPLE)


def test_empty_book_and_sheet(book):
    assert book.to_json() == '{"sheets":[]}'
    book.add_sheet("E")
    assert book.to_json() == (
        '{"sheets":[{"name":"E","sheet_state":"visible","merge_cells":[],"cells":[],'
        '"row_dimensions":{"default_height":20.0},"column_dimensions":{"default_width":22.5},"comments":[]}]}'
    )


def cells_of(book):
    return book.to_dict()["sheets"][0]["cells"]


def test_cell_order_keys_and_values(book, sheet):
    sheet.cell(3, 1, "5")
    sheet.cell(1, 2).set_value_number(5)
    sheet.cell(1, 1)
    h = sheet.cell(4, 1, "x")
    h.hidden_value = "hv"
    h.style = "s"
    sheet.cell(5, 1).set_value_datetime(dt.datetime(2024, 3, 1, 8, 30))
    sheet.cell(6, 1).set_value_datetime(dt.datetime(2024, 3, 1, 8, 30, 0, 250000))
    sheet.cell(7, 1, "nan")
    sheet.cell(8, 1, "-inf")
    sheet.cell(9, 1, "FALSE")
    text = book.to_json()
    assert '{"row":1,"column":1,"value":null,"data_type":"s"}' in text
    assert '{"row":1,"column":2,"value":5.0,"data_type":"n"}' in text
    assert '{"row":3,"column":1,"value":5,"data_type":"n"}' in text
    assert '{"row":4,"column":1,"value":"x","data_type":"s","style_id":"s","hidden_value":"hv"}' in text
    cells = cells_of(book)
    assert [(c["row"], c["column"]) for c in cells] == [(1, 1), (1, 2), (3, 1), (4, 1), (5, 1), (6, 1), (7, 1),
                                                        (8, 1), (9, 1)]
    values = [c["value"] for c in cells]
    assert values == [None, 5.0, 5, "x", "2024-03-01T08:30:00", "2024-03-01T08:30:00.250", None, None, False]
    assert type(values[1]) is float and type(values[2]) is int
    assert [len(c) for c in cells][:3] == [4, 4, 4]


@pytest.mark.parametrize("value, written", [
    (0.0, "0.0"), (-0.0, "-0.0"), (20.0, "20.0"), (100.0, "100.0"), (1e15, "1000000000000000.0"),
    (22.5, "22.5"), (1.25, "1.25"), (0.5, "0.5"), (0.00001, "0.00001"), (1e16, "1e+16"),
    (0.0000015, "1.5e-6"), (1.5e100, "1.5e+100"), (-2.5e-7, "-2.5e-7"), (123456.789, "123456.789"),
    (5e-324, "5e-324"), (float("inf"), "null"),
])
def test_float_layout(book, sheet, value, written):
    sheet.cell(1, 1).set_value_number(value)
    assert f'"value":{written},' in book.to_json()


def test_string_escapes(book, sheet):
    sheet.cell(1, 1, 'q"b\\t\tn\nc\x01\x1f\x7f/é€😀\b\f\r')
    assert '"value":"q\\"b\\\\t\\tn\\nc\\u0001\\u001f\x7f/é€😀\\b\\f\\r"' in book.to_json()


def test_dimensions_and_comments(book, sheet):
    sheet.set_hidden_row(4, True)
    sheet.set_width_column(3, float("nan"))
    sheet.add_comment(1, 1, "one", "a")
    sheet.add_comment(1, 1, "two", "b")
    doc = book.to_dict()["sheets"][0]
    assert doc["row_dimensions"]["rows"] == {
        "4": {"row_num": 4, "height": 20.0, "hidden": True, "collapsed": False, "level": 0}}
    assert doc["column_dimensions"]["columns"] == {
        "3": {"col_num": 3, "width": None, "hidden": False, "collapsed": False, "level": 0}}
    assert [c["text"] for c in doc["comments"]] == ["one", "two"]
    sheet.comments[1].text = "edited"
    assert [c["text"] for c in book.to_dict()["sheets"][0]["comments"]] == ["one", "edited"]


def test_to_dict_calls_json_loads_each_time(book, monkeypatch):
    calls = []
    monkeypatch.setattr(json, "loads", lambda text: calls.append(text) or "parsed")
    assert book.to_dict() == "parsed" and book.to_dict() == "parsed"
    assert calls == ['{"sheets":[]}'] * 2

    def broken(text):
        raise ValueError("no parse")
    monkeypatch.setattr(json, "loads", broken)
    with pytest.raises(ValueError, match="no parse"):
        book.to_dict()


finite_doubles = st.integers(0, 2**64 - 1).map(lambda b: struct.unpack("<d", struct.pack("<Q", b))[0]).filter(
    math.isfinite)


@settings(max_examples=300, deadline=None)
@given(value=finite_doubles)
def test_finite_double_round_trips_bit_for_bit(value):
    book = t.Book()
    book.add_sheet("F").cell(1, 1).set_value_number(value)
    back = json.loads(book.to_json())["sheets"][0]["cells"][0]["value"]
    assert struct.pack("<d", back) == struct.pack("<d", value)


@settings(max_examples=200, deadline=None)
@given(text=st.text(st.characters(exclude_categories=["Cs"])))
def test_any_string_round_trips(text):
    book = t.Book()
    s = book.add_sheet(text)
    s.cell(1, 1).formula = text
    s.add_comment(1, 1, text, text)
    doc = json.loads(book.to_json())["sheets"][0]
    assert doc["name"] == text and doc["cells"][0]["formula"] == text
    assert doc["comments"][0] == {"row": 1, "column": 1, "author": text, "text": text}


@settings(max_examples=50, deadline=None)
@given(entries=st.lists(st.tuples(st.integers(0, 2**32 - 1), st.integers(0, 2**16 - 1), st.text(max_size=8)),
                        max_size=30))
def test_to_dict_equals_loads_of_to_json(entries):
    book = t.Book()
    s = book.add_sheet("P")
    for r, c, text in entries:
        s.cell(r, c, text)
        s.set_height_row(r, c / 7)
        s.set_hidden_column(c, bool(r % 2))
    assert book.to_dict() == json.loads(book.to_json())
    cells = book.to_dict()["sheets"][0]["cells"]
    assert [(c["row"], c["column"]) for c in cells] == sorted({(r, c) for r, c, _ in entries})
