// Book: the workbook, an ordered list of sheets.

#include "book.hpp"

#include "../args.hpp"
#include "../../engine/json_writer.hpp"
#include "../../engine/memory.hpp"

#include <cstring>

namespace tablomir::py {

namespace book_ops {

namespace {
PyObject* sheet_or_none(SheetHandle handle) {
    if (!handle) Py_RETURN_NONE;
    return new_sheet(std::move(handle));
}
}  // namespace

PyObject* sheets(const BookHandle& book) {
    std::vector<SheetHandle> all = book_sheets(book);
    return list_of(all, [](const SheetHandle& s) { return new_sheet(s); });
}

PyObject* add_sheet(const BookHandle& book, const char* function, PyObject* const* args, Py_ssize_t nargs,
                    PyObject* kwnames) {
    const Signature<2> sig{function, {"name", "sheet_state"}, 1};
    Text name;
    Text state{"visible"};
    if (!parse(sig, args, nargs, kwnames, name, state)) return nullptr;
    return new_sheet(tablomir::add_sheet(book, name.view, state.view));
}

PyObject* copy_sheet(const BookHandle& book, const char* function, PyObject* const* args, Py_ssize_t nargs,
                     PyObject* kwnames) {
    const Signature<1> sig{function, {"sheet"}, 1};
    SheetArg source;
    if (!parse(sig, args, nargs, kwnames, source)) return nullptr;
    return new_sheet(tablomir::copy_sheet(book, source.handle));
}

PyObject* get_sheet_index(const BookHandle& book, const char* function, PyObject* const* args,
                          Py_ssize_t nargs, PyObject* kwnames) {
    const Signature<1> sig{function, {"idx"}, 1};
    int32_t idx;
    if (!parse(sig, args, nargs, kwnames, idx)) return nullptr;
    return sheet_or_none(sheet_at(book, idx));
}

PyObject* get_sheet_name(const BookHandle& book, const char* function, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
    const Signature<1> sig{function, {"name"}, 1};
    Text name;
    if (!parse(sig, args, nargs, kwnames, name)) return nullptr;
    return sheet_or_none(sheet_named(book, name.view));
}

namespace {
// The document as a str, or RuntimeError when the writer failed.
PyObject* document(const BookHandle& book) {
    JsonDocument doc = write_book_json(book);
    if (!doc.ok) {
        PyErr_Format(PyExc_RuntimeError, "Failed to convert in JSON: %s", doc.error.c_str());
        return nullptr;
    }
    const std::string_view text = doc.text.view();
    if (!doc.text.ascii()) return str_from(text);
    // An ASCII document is copied straight into a new str; the target is
    // advised huge pages first, since faulting tens of megabytes in 4 KiB
    // pages costs more than the copy.
    PyObject* str = PyUnicode_New(Py_ssize_t(text.size()), 127);
    if (!str) return nullptr;
    advise_huge_pages(PyUnicode_DATA(str), text.size());
    std::memcpy(PyUnicode_DATA(str), text.data(), text.size());
    return str;
}
}  // namespace

PyObject* to_json(const BookHandle& book, const char* function, Py_ssize_t nargs, PyObject* kwnames) {
    if (!parse_none(function, nargs, kwnames)) return nullptr;
    return document(book);
}

PyObject* to_dict(const BookHandle& book, const char* function, Py_ssize_t nargs, PyObject* kwnames) {
    if (!parse_none(function, nargs, kwnames)) return nullptr;
    Ref text(document(book));
    if (!text) return nullptr;
    Ref json(PyImport_ImportModule("json"));
    if (!json) return nullptr;
    Ref loads(PyObject_GetAttrString(json.get(), "loads"));
    if (!loads) return nullptr;
    return PyObject_CallOneArg(loads.get(), text.get());
}

}  // namespace book_ops

namespace {

using Handle = BookHandle;
const Handle& book(PyObject* self) { return handle_of<Handle>(self); }

constexpr int kFast = METH_FASTCALL | METH_KEYWORDS;

PyObject* get_sheets(PyObject* self) { return book_ops::sheets(book(self)); }

PyObject* add_sheet(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return book_ops::add_sheet(book(self), "add_sheet", args, nargs, kwnames);
}
PyObject* copy_sheet(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return book_ops::copy_sheet(book(self), "copy_sheet", args, nargs, kwnames);
}
PyObject* get_sheet_index(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return book_ops::get_sheet_index(book(self), "get_sheet_index", args, nargs, kwnames);
}
PyObject* get_sheet_name(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return book_ops::get_sheet_name(book(self), "get_sheet_name", args, nargs, kwnames);
}

PyObject* to_json(PyObject* self, PyObject* const*, Py_ssize_t nargs, PyObject* kwnames) {
    return book_ops::to_json(book(self), "to_json", nargs, kwnames);
}
PyObject* to_dict(PyObject* self, PyObject* const*, Py_ssize_t nargs, PyObject* kwnames) {
    return book_ops::to_dict(book(self), "to_dict", nargs, kwnames);
}

PyObject* repr(PyObject* self) { return str_from("Book, sheets: " + std::to_string(sheet_count(book(self)))); }

PyObject* create(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature<0> sig{"Book", {}, 0};
        if (!parse_tuple(sig, args, kwargs)) return nullptr;
        return wrap(type, BookHandle::make());
    });
}

PyGetSetDef getset[] = {
    {"sheets", getter<get_sheets>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef methods[] = {
    {"add_sheet", as_cfunction<method<add_sheet>>(), kFast,
     "add_sheet($self, /, name, sheet_state='visible')\n--\n\n"},
    {"copy_sheet", as_cfunction<method<copy_sheet>>(), kFast, "copy_sheet($self, /, sheet)\n--\n\n"},
    {"get_sheet_index", as_cfunction<method<get_sheet_index>>(), kFast, "get_sheet_index($self, /, idx)\n--\n\n"},
    {"get_sheet_name", as_cfunction<method<get_sheet_name>>(), kFast, "get_sheet_name($self, /, name)\n--\n\n"},
    {"to_json", as_cfunction<method<to_json>>(), kFast, "to_json($self, /)\n--\n\n"},
    {"to_dict", as_cfunction<method<to_dict>>(), kFast, "to_dict($self, /)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(create)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_object<Handle>)},
    {Py_tp_repr, reinterpret_cast<void*>(unary<repr>)},
    {Py_tp_doc, const_cast<char*>("Book()\n--\n\n")},
    {Py_tp_getset, getset},
    {Py_tp_methods, methods},
    {0, nullptr},
};

PyType_Spec type_spec = {"tablomir.Book", sizeof(Object<Handle>), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
                    slots};

}  // namespace

PyTypeObject* book_type() {
    static PyTypeObject* type = nullptr;
    return cached_type(type, type_spec);
}

}  // namespace tablomir::py
