// ReadableSheet: a read-only sheet built from a sheet description.

#include "../../args.hpp"
#include "../../search.hpp"
#include "../../types.hpp"

namespace tablomir::py {
namespace {

using Handle = SheetHandle;
const Handle& sheet(PyObject* self) { return handle_of<Handle>(self); }

constexpr int kFast = METH_FASTCALL | METH_KEYWORDS;

PyObject* get_name(PyObject* self) { return str_from(sheet_name(sheet(self))); }
PyObject* get_sheet_state(PyObject* self) { return str_from(sheet_state(sheet(self))); }
PyObject* get_max_row(PyObject* self) { return PyLong_FromUnsignedLong(max_row(sheet(self))); }
PyObject* get_max_column(PyObject* self) { return PyLong_FromUnsignedLong(max_column(sheet(self))); }

PyObject* get_cells(PyObject* self) {
    std::vector<CellHandle> cells = sorted_cells(sheet(self));
    return list_of(cells, [](const CellHandle& c) { return new_readable_cell(c); });
}

PyObject* get_merge_cells(PyObject* self) { return merge_cells_list(sheet(self)); }

PyObject* get_value_cell(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<2> sig{"get_value_cell", {"row", "col"}, 2};
    uint32_t row;
    uint16_t col;
    if (!parse(sig, args, nargs, kwnames, row, col)) return nullptr;
    return str_from(value_text_at(sheet(self), Coordinate{row, col}));
}

PyObject* repr(PyObject* self) { return str_from(describe_sheet(sheet(self), "ReadableSheet")); }

PyGetSetDef getset[] = {
    {"name", getter<get_name>, nullptr, nullptr, nullptr},
    {"sheet_state", getter<get_sheet_state>, nullptr, nullptr, nullptr},
    {"max_row", getter<get_max_row>, nullptr, nullptr, nullptr},
    {"max_column", getter<get_max_column>, nullptr, nullptr, nullptr},
    {"cells", getter<get_cells>, nullptr, nullptr, nullptr},
    {"merge_cells", getter<get_merge_cells>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef* method_table() {
    static std::vector<PyMethodDef> defs = [] {
        std::vector<PyMethodDef> d{
            {"get_value_cell", as_cfunction<method<get_value_cell>>(), kFast,
             "get_value_cell($self, /, row, col)\n--\n\n"},
        };
        search::add_readable_sheet_methods(d);
        d.push_back({nullptr, nullptr, 0, nullptr});
        return d;
    }();
    return defs.data();
}

PyType_Slot slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_object<Handle>)},
    {Py_tp_repr, reinterpret_cast<void*>(unary<repr>)},
    {Py_tp_getset, getset},
    {Py_tp_methods, nullptr},  // filled in on first use
    {0, nullptr},
};

PyType_Spec type_spec = {"tablomir.readable.ReadableSheet", sizeof(Object<Handle>), 0,
                         Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION | Py_TPFLAGS_IMMUTABLETYPE, slots};

}  // namespace

PyTypeObject* readable_sheet_type() {
    static PyTypeObject* type = nullptr;
    if (!type) slots[3].pfunc = method_table();
    return cached_type(type, type_spec);
}

}  // namespace tablomir::py
