// Sheet: a live handle onto one sheet record.

#include "../args.hpp"
#include "../search.hpp"
#include "../types.hpp"

#include <iterator>

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

// ---- merged ranges and comments ----

PyObject* add_merge_cells(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<4> sig{"add_merge_cells", {"start_row", "end_row", "start_col", "end_col"}, 4};
    MergeRange range;
    if (!parse(sig, args, nargs, kwnames, range.start_row, range.end_row, range.start_col, range.end_col))
        return nullptr;
    add_merge_range(sheet(self), range);
    Py_RETURN_NONE;
}

PyObject* get_merge_cells(PyObject* self) { return merge_cells_list(sheet(self)); }

PyObject* add_comment(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<4> sig{"add_comment", {"row", "col", "text", "author"}, 4};
    uint32_t row;
    uint16_t col;
    Text text, author;
    if (!parse(sig, args, nargs, kwnames, row, col, text, author)) return nullptr;
    tablomir::add_comment(sheet(self), Coordinate{row, col}, text.view, author.view);
    Py_RETURN_NONE;
}

PyObject* get_comments(PyObject* self) {
    std::vector<CommentHandle> comments = comment_handles(sheet(self));
    return list_of(comments, [](const CommentHandle& c) { return new_comment(c); });
}

// ---- row and column dimensions ----

template <class Number, class Value, void (*Set)(const SheetHandle&, Number, Value)>
PyObject* set_dimension(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                        const Signature<2>& sig) {
    Number number;
    std::conditional_t<std::is_same_v<Value, bool>, StrictBool, double> val;
    if (!parse(sig, args, nargs, kwnames, number, val)) return nullptr;
    if constexpr (std::is_same_v<Value, bool>) Set(sheet(self), number, val.value);
    else Set(sheet(self), number, val);
    Py_RETURN_NONE;
}

PyObject* set_height_row(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<2> sig{"set_height_row", {"row_num", "val"}, 2};
    return set_dimension<uint32_t, double, set_row_height>(self, args, nargs, kwnames, sig);
}
PyObject* set_hidden_row(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<2> sig{"set_hidden_row", {"row_num", "val"}, 2};
    return set_dimension<uint32_t, bool, set_row_hidden>(self, args, nargs, kwnames, sig);
}
PyObject* set_width_column(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<2> sig{"set_width_column", {"col_num", "val"}, 2};
    return set_dimension<uint16_t, double, set_column_width>(self, args, nargs, kwnames, sig);
}
PyObject* set_hidden_column(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<2> sig{"set_hidden_column", {"col_num", "val"}, 2};
    return set_dimension<uint16_t, bool, set_column_hidden>(self, args, nargs, kwnames, sig);
}

template <class Number, class Value, Value (*Get)(const SheetHandle&, Number)>
PyObject* get_dimension(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                        const Signature<1>& sig) {
    Number number;
    if (!parse(sig, args, nargs, kwnames, number)) return nullptr;
    Value value = Get(sheet(self), number);
    if constexpr (std::is_same_v<Value, bool>) return PyBool_FromLong(value);
    else return PyFloat_FromDouble(value);
}

PyObject* get_height_by_row(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"get_height_by_row", {"row_num"}, 1};
    return get_dimension<uint32_t, double, row_height>(self, args, nargs, kwnames, sig);
}
PyObject* get_hidden_by_row(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"get_hidden_by_row", {"row_num"}, 1};
    return get_dimension<uint32_t, bool, row_hidden>(self, args, nargs, kwnames, sig);
}
PyObject* get_width_by_column(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"get_width_by_column", {"col_num"}, 1};
    return get_dimension<uint16_t, double, column_width>(self, args, nargs, kwnames, sig);
}
PyObject* get_hidden_by_column(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"get_hidden_by_column", {"col_num"}, 1};
    return get_dimension<uint16_t, bool, column_hidden>(self, args, nargs, kwnames, sig);
}

// ---- deletion ----

template <class Number, void (*Delete)(const SheetHandle&, Number, Number)>
PyObject* delete_band(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                      const Signature<2>& sig) {
    Number idx, amount;
    if (!parse(sig, args, nargs, kwnames, idx, amount)) return nullptr;
    Delete(sheet(self), idx, amount);
    Py_RETURN_NONE;
}

PyObject* delete_rows(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<2> sig{"delete_rows", {"idx", "amount"}, 2};
    return delete_band<uint32_t, tablomir::delete_rows>(self, args, nargs, kwnames, sig);
}
PyObject* delete_cols(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<2> sig{"delete_cols", {"idx", "amount"}, 2};
    return delete_band<uint16_t, tablomir::delete_columns>(self, args, nargs, kwnames, sig);
}

PyObject* repr(PyObject* self) { return str_from(describe_sheet(sheet(self), "Sheet")); }

PyGetSetDef getset[] = {
    {"name", getter<get_name>, setter<set_name>, nullptr, nullptr},
    {"sheet_state", getter<get_sheet_state>, nullptr, nullptr, nullptr},
    {"max_row", getter<get_max_row>, nullptr, nullptr, nullptr},
    {"max_column", getter<get_max_column>, nullptr, nullptr, nullptr},
    {"cells", getter<get_cells>, nullptr, nullptr, nullptr},
    {"merge_cells", getter<get_merge_cells>, nullptr, nullptr, nullptr},
    {"comments", getter<get_comments>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef base_methods[] = {
    {"set_sheet_state", as_cfunction<method<set_state>>(), kFast, "set_sheet_state($self, /, state)\n--\n\n"},
    {"cell", as_cfunction<method<cell>>(), kFast, "cell($self, /, row, col, value=None)\n--\n\n"},
    {"get_value_cell", as_cfunction<method<get_value_cell>>(), kFast,
     "get_value_cell($self, /, row, col)\n--\n\n"},
    {"add_merge_cells", as_cfunction<method<add_merge_cells, ClaimKind::Exclusive>>(), kFast,
     "add_merge_cells($self, /, start_row, end_row, start_col, end_col)\n--\n\n"},
    {"add_comment", as_cfunction<method<add_comment, ClaimKind::Exclusive>>(), kFast,
     "add_comment($self, /, row, col, text, author)\n--\n\n"},
    {"set_height_row", as_cfunction<method<set_height_row>>(), kFast,
     "set_height_row($self, /, row_num, val)\n--\n\n"},
    {"set_hidden_row", as_cfunction<method<set_hidden_row>>(), kFast,
     "set_hidden_row($self, /, row_num, val)\n--\n\n"},
    {"set_width_column", as_cfunction<method<set_width_column>>(), kFast,
     "set_width_column($self, /, col_num, val)\n--\n\n"},
    {"set_hidden_column", as_cfunction<method<set_hidden_column>>(), kFast,
     "set_hidden_column($self, /, col_num, val)\n--\n\n"},
    {"get_height_by_row", as_cfunction<method<get_height_by_row>>(), kFast,
     "get_height_by_row($self, /, row_num)\n--\n\n"},
    {"get_hidden_by_row", as_cfunction<method<get_hidden_by_row>>(), kFast,
     "get_hidden_by_row($self, /, row_num)\n--\n\n"},
    {"get_width_by_column", as_cfunction<method<get_width_by_column>>(), kFast,
     "get_width_by_column($self, /, col_num)\n--\n\n"},
    {"get_hidden_by_column", as_cfunction<method<get_hidden_by_column>>(), kFast,
     "get_hidden_by_column($self, /, col_num)\n--\n\n"},
    {"delete_rows", as_cfunction<method<delete_rows>>(), kFast, "delete_rows($self, /, idx, amount)\n--\n\n"},
    {"delete_cols", as_cfunction<method<delete_cols>>(), kFast, "delete_cols($self, /, idx, amount)\n--\n\n"},
};

PyMethodDef* method_table() {
    static std::vector<PyMethodDef> defs = [] {
        std::vector<PyMethodDef> d(std::begin(base_methods), std::end(base_methods));
        search::add_sheet_methods(d);
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

PyType_Spec type_spec = {"tablomir.Sheet", sizeof(Object<Handle>), 0,
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

PyObject* merge_cells_list(const SheetHandle& handle) {
    std::vector<MergeRange> ranges = merge_ranges(handle);
    return list_of(ranges, [](const MergeRange& m) {
        return Py_BuildValue("(kkII)", (unsigned long)m.start_row, (unsigned long)m.end_row,
                             (unsigned int)m.start_col, (unsigned int)m.end_col);
    });
}

PyTypeObject* sheet_type() {
    static PyTypeObject* type = nullptr;
    if (!type) slots[3].pfunc = method_table();
    return cached_type(type, type_spec);
}

}  // namespace tablomir::py
