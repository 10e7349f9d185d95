// Finder: an ordered collection of read-only sheets and their lookups.

#include "../../args.hpp"
#include "../../convert.hpp"
#include "../../types.hpp"

namespace tablomir::py {
namespace {

using Handle = FinderHandle;
const Handle& finder(PyObject* self) { return handle_of<Handle>(self); }

constexpr int kFast = METH_FASTCALL | METH_KEYWORDS;

PyObject* sheet_or_none(SheetHandle sheet) {
    if (!sheet) Py_RETURN_NONE;
    return new_readable_sheet(std::move(sheet));
}

PyObject* sheet_list(const std::vector<SheetHandle>& sheets) {
    return list_of(sheets, [](const SheetHandle& s) { return new_readable_sheet(s); });
}

PyObject* get_sheets(PyObject* self) { return sheet_list(finder_sheets(finder(self))); }

PyObject* get_sheet_index(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"get_sheet_index", {"idx"}, 1};
    int32_t idx;
    if (!parse(sig, args, nargs, kwnames, idx)) return nullptr;
    return sheet_or_none(finder_sheet_at(finder(self), idx));
}

PyObject* find_sheet_by_name(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"find_sheet_by_name", {"name"}, 1};
    Text name;
    if (!parse(sig, args, nargs, kwnames, name)) return nullptr;
    return sheet_or_none(tablomir::find_sheet_by_name(finder(self), name.view));
}

PyObject* find_sheet_by_regex(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"find_sheet_by_regex", {"pattern"}, 1};
    Text pattern;
    if (!parse(sig, args, nargs, kwnames, pattern)) return nullptr;
    auto found = tablomir::find_sheet_by_regex(finder(self), pattern.view);
    if (auto* e = std::get_if<PatternError>(&found)) {
        PyErr_SetString(PyExc_RuntimeError, e->message.c_str());
        return nullptr;
    }
    return sheet_or_none(std::get<SheetHandle>(std::move(found)));
}

template <bool KeepNamed>
PyObject* sheets_by_names(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                          const Signature<1>& sig) {
    SequenceOf<Text> names;
    if (!parse(sig, args, nargs, kwnames, names)) return nullptr;
    std::vector<std::string_view> views;
    views.reserve(names.items.size());
    for (const Text& t : names.items) views.push_back(t.view);
    return sheet_list(tablomir::sheets_by_names(finder(self), views, KeepNamed));
}

PyObject* get_sheets_with_names(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"get_sheets_with_names", {"name_list"}, 1};
    return sheets_by_names<true>(self, args, nargs, kwnames, sig);
}

PyObject* get_sheets_without_names(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"get_sheets_without_names", {"name_list"}, 1};
    return sheets_by_names<false>(self, args, nargs, kwnames, sig);
}

PyObject* repr(PyObject* self) {
    return PyUnicode_FromFormat("Finder, sheets: %zu", finder_size(finder(self)));
}

// Reads every description first, with the interpreter; then assembles the
// records, detached from it when `detach` (the work touches no Python object).
PyObject* build(PyTypeObject* type, PyObject* sheets, bool detach) {
    std::vector<SheetParts> parts;
    if (!input::sheets_argument(sheets, parts)) return nullptr;
    FinderHandle handle;
    if (detach) {
        WithoutInterpreter detached;
        handle = assemble_finder(std::move(parts));
    } else {
        handle = assemble_finder(std::move(parts));
    }
    return wrap(type, std::move(handle));
}

PyObject* tp_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature<1> sig{"Finder", {"sheets"}, 1};
        AnyObject sheets;
        if (!parse_tuple(sig, args, kwargs, sheets)) return nullptr;
        return build(type, sheets.object, false);
    });
}

PyGetSetDef getset[] = {
    {"sheets", getter<get_sheets>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef methods[] = {
    {"get_sheet_index", as_cfunction<method<get_sheet_index>>(), kFast, "get_sheet_index($self, /, idx)\n--\n\n"},
    {"find_sheet_by_name", as_cfunction<method<find_sheet_by_name>>(), kFast,
     "find_sheet_by_name($self, /, name)\n--\n\n"},
    {"find_sheet_by_regex", as_cfunction<method<find_sheet_by_regex>>(), kFast,
     "find_sheet_by_regex($self, /, pattern)\n--\n\n"},
    {"get_sheets_with_names", as_cfunction<method<get_sheets_with_names>>(), kFast,
     "get_sheets_with_names($self, /, name_list)\n--\n\n"},
    {"get_sheets_without_names", as_cfunction<method<get_sheets_without_names>>(), kFast,
     "get_sheets_without_names($self, /, name_list)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(tp_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_object<Handle>)},
    {Py_tp_repr, reinterpret_cast<void*>(unary<repr>)},
    {Py_tp_getset, getset},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>("Finder(sheets)\n--\n\n")},
    {0, nullptr},
};

PyType_Spec type_spec = {"tablomir.readable.Finder", sizeof(Object<Handle>), 0,
                         Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE, slots};

}  // namespace

PyTypeObject* finder_type() {
    static PyTypeObject* type = nullptr;
    return cached_type(type, type_spec);
}

PyObject* create_finder(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature<1> sig{"create_finder", {"sheets"}, 1};
        AnyObject sheets;
        if (!parse(sig, args, nargs, kwnames, sheets)) return nullptr;
        PyTypeObject* type = finder_type();
        if (!type) return nullptr;
        return build(type, sheets.object, true);
    });
}

}  // namespace tablomir::py
