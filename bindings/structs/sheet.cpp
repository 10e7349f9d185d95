// Sheet: a live handle onto one sheet record.

#include "../args.hpp"
#include "../types.hpp"

namespace tablomir::py {
namespace {

using Handle = SheetHandle;
const Handle& sheet(PyObject* self) { return handle_of<Handle>(self); }

constexpr int kFast = METH_FASTCALL | METH_KEYWORDS;

PyObject* get_name(PyObject* self) { return str_from(sheet_name(sheet(self))); }

int set_name(PyObject* self, PyObject* value) {
    Text name;
    if (!convert(value, "name", name)) return -1;
    set_sheet_name(sheet(self), name.view);
    return 0;
}

PyObject* get_sheet_state(PyObject* self) { return str_from(sheet_state(sheet(self))); }

PyObject* set_state(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"set_sheet_state", {"state"}, 1};
    Text state;
    if (!parse(sig, args, nargs, kwnames, state)) return nullptr;
    set_sheet_state(sheet(self), state.view);
    Py_RETURN_NONE;
}

PyObject* get_max_row(PyObject* self) { return PyLong_FromUnsignedLong(max_row(sheet(self))); }
PyObject* get_max_column(PyObject* self) { return PyLong_FromUnsignedLong(max_column(sheet(self))); }

PyObject* get_cells(PyObject* self) {
    std::vector<CellHandle> cells = sorted_cells(sheet(self));
    return list_of(cells, [](const CellHandle& c) { return new_cell(c); });
}

PyObject* cell(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<3> sig{"cell", {"row", "col", "value"}, 2};
    uint32_t row;
    uint16_t col;
    OptionalText value;
    if (!parse(sig, args, nargs, kwnames, row, col, value)) return nullptr;
    return new_cell(get_or_create_cell(sheet(self), Coordinate{row, col}, value.view));
}

PyObject* get_value_cell(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<2> sig{"get_value_cell", {"row", "col"}, 2};
    uint32_t row;
    uint16_t col;
    if (!parse(sig, args, nargs, kwnames, row, col)) return nullptr;
    return str_from(value_text_at(sheet(self), Coordinate{row, col}));
}

PyObject* repr(PyObject* self) { return str_from(describe_sheet(sheet(self))); }

PyGetSetDef getset[] = {
    {"name", getter<get_name>, setter<set_name>, nullptr, nullptr},
    {"sheet_state", getter<get_sheet_state>, nullptr, nullptr, nullptr},
    {"max_row", getter<get_max_row>, nullptr, nullptr, nullptr},
    {"max_column", getter<get_max_column>, nullptr, nullptr, nullptr},
    {"cells", getter<get_cells>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef methods[] = {
    {"set_sheet_state", as_cfunction<method<set_state>>(), kFast, "set_sheet_state($self, /, state)\n--\n\n"},
    {"cell", as_cfunction<method<cell>>(), kFast, "cell($self, /, row, col, value=None)\n--\n\n"},
    {"get_value_cell", as_cfunction<method<get_value_cell>>(), kFast,
     "get_value_cell($self, /, row, col)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_object<Handle>)},
    {Py_tp_repr, reinterpret_cast<void*>(unary<repr>)},
    {Py_tp_getset, getset},
    {Py_tp_methods, methods},
    {0, nullptr},
};

PyType_Spec spec = {"tablomir.Sheet", sizeof(Object<Handle>), 0,
                    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION | Py_TPFLAGS_IMMUTABLETYPE, slots};

}  // namespace

bool convert(PyObject* o, const char* name, SheetArg& out) {
    if (!Py_IS_TYPE(o, sheet_type())) {
        raise_wrong_type(name, "Sheet", o);
        return false;
    }
    Claim claim(o, ClaimKind::Shared);
    if (!claim) return false;
    out.handle = sheet(o);
    return true;
}

PyTypeObject* sheet_type() {
    static PyTypeObject* type = nullptr;
    return cached_type(type, spec);
}

}  // namespace tablomir::py
