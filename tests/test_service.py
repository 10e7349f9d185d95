import gc
import inspect
import weakref

import pytest

import _tablomir as t


class Monthly(t.Service):
    def summary_0(self, sheets, /, **kwargs):
        return len(sheets)


def test_construction_and_conn_db():
    conn = object()
    assert t.Service(conn)._conn_db is conn
    assert t.Service(conn_db=None)._conn_db is None
    assert str(inspect.signature(t.Service)) == "(conn_db)"
    for args, kwargs in [((), {}), ((1, 2), {}), ((1,), {"conn_db": 2}), ((), {"conn": 1})]:
        with pytest.raises(TypeError):
            t.Service(*args, **kwargs)


def test_new_service():
    s = t.Service(None)
    assert (s._sheets, s.to_json(), repr(s)) == ([], '{"sheets":[]}', "Service, sheets: 0")
    with pytest.raises(AttributeError):
        s.extra = 1
    with pytest.raises(AttributeError):
        s._conn_db = 1


def test_subclass_gets_its_own_layout():
    m = Monthly("db")
    m.extra = 1
    weakref.ref(m)
    assert repr(m).startswith("Monthly, sheets: 0")
    assert m.summary_0([1, 2]) == 2
    assert m._conn_db == "db"
    with pytest.raises(NotImplementedError, match="Method 'fmt_0' is not implemented"):
        m._fmt_0()


def test_cycle_through_conn_db_is_collected():
    class Holder:
        pass

    holder = Holder()
    service = Monthly(holder)
    holder.service = service
    ref = weakref.ref(service)
    del holder, service
    gc.collect()
    assert ref() is None


def test_hooks():
    s = t.Service(None)
    with pytest.raises(NotImplementedError, match="Method 'summary_0' is not implemented"):
        s.summary_0([], option=1)
    with pytest.raises(NotImplementedError, match="Method 'fmt_0' is not implemented"):
        s._fmt_0(a=1)
    for call in (lambda: s.summary_0(5), lambda: s.summary_0(sheets=[]), lambda: s.summary_0(),
                 lambda: s._fmt_0(1)):
        with pytest.raises(TypeError):
            call()


def test_book_operations():
    s = t.Service(None)
    a = s._add_sheet("A")
    assert a.sheet_state == "visible" and len(s._sheets) == 1
    a.cell(1, 1, "x")
    s._add_sheet(name="B", sheet_state="hidden")
    assert s._get_sheet_name("B").sheet_state == "hidden"
    assert s._get_sheet_index(0).name == "A" and s._get_sheet_index(-1) is None
    other = t.Book().add_sheet("elsewhere")
    other.cell(2, 2, "shared")
    copy = s._copy_sheet(other)
    assert copy.name == "Sheet 3" and copy.get_value_cell(2, 2) == "shared"
    doc = s.to_dict()
    assert [sh["name"] for sh in doc["sheets"]] == ["A", "B", "Sheet 3"]
    assert doc["sheets"][0]["cells"][0]["value"] == "x"
    assert repr(s) == "Service, sheets: 3"
    for call, error in [(lambda: s._add_sheet(None), TypeError), (lambda: s._copy_sheet("A"), TypeError),
                        (lambda: s._get_sheet_index(2**31), OverflowError), (lambda: s.to_json(1), TypeError)]:
        with pytest.raises(error):
            call()
    assert len(s._sheets) == 3
