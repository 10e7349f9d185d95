// Service: the one subclassable class. It keeps a caller's `conn_db` object
// and owns a book, offered through the underscore book operations.

#include "book.hpp"

#include "../args.hpp"

namespace tablomir::py {
namespace {

struct ServiceObject : ObjectBase {
    PyObject* conn_db;
    BookHandle book;
};

ServiceObject* service(PyObject* self) { return reinterpret_cast<ServiceObject*>(self); }
const BookHandle& book(PyObject* self) { return service(self)->book; }

constexpr int kFast = METH_FASTCALL | METH_KEYWORDS;

PyObject* create(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature<1> sig{"Service", {"conn_db"}, 1};
        AnyObject conn_db;
        if (!parse_tuple(sig, args, kwargs, conn_db)) return nullptr;
        BookHandle handle = BookHandle::make();
        // The class's own allocation slot, so subclasses get their layout and dict.
        PyObject* self = type->tp_alloc(type, 0);
        if (!self) return nullptr;
        ServiceObject* obj = service(self);
        obj->claims = 0;
        obj->conn_db = Py_NewRef(conn_db.object);
        new (&obj->book) BookHandle(std::move(handle));
        return self;
    });
}

int traverse(PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(service(self)->conn_db);
    Py_VISIT(Py_TYPE(self));
    return 0;
}

int clear(PyObject* self) {
    Py_CLEAR(service(self)->conn_db);
    return 0;
}

void dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    PyObject_GC_UnTrack(self);
    clear(self);
    service(self)->book.~BookHandle();
    type->tp_free(self);
    Py_DECREF(type);
}

PyObject* get_conn_db(PyObject* self) { return Py_NewRef(service(self)->conn_db); }
PyObject* get_sheets(PyObject* self) { return book_ops::sheets(book(self)); }

PyObject* add_sheet(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return book_ops::add_sheet(book(self), "_add_sheet", args, nargs, kwnames);
}
PyObject* copy_sheet(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return book_ops::copy_sheet(book(self), "_copy_sheet", args, nargs, kwnames);
}
PyObject* get_sheet_name(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return book_ops::get_sheet_name(book(self), "_get_sheet_name", args, nargs, kwnames);
}
PyObject* get_sheet_index(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return book_ops::get_sheet_index(book(self), "_get_sheet_index", args, nargs, kwnames);
}
PyObject* to_json(PyObject* self, PyObject* const*, Py_ssize_t nargs, PyObject* kwnames) {
    return book_ops::to_json(book(self), "to_json", nargs, kwnames);
}
PyObject* to_dict(PyObject* self, PyObject* const*, Py_ssize_t nargs, PyObject* kwnames) {
    return book_ops::to_dict(book(self), "to_dict", nargs, kwnames);
}

// The hooks a service implements; the base versions only report that.
PyObject* summary_0(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject*) {
    if (!parse_positional_only("summary_0", 1, nargs)) return nullptr;
    if (!PyList_Check(args[0])) {
        raise_wrong_type("sheets", "list", args[0]);
        return nullptr;
    }
    PyErr_SetString(PyExc_NotImplementedError, "Method 'summary_0' is not implemented");
    return nullptr;
}

PyObject* fmt_0(PyObject*, PyObject* const*, Py_ssize_t nargs, PyObject*) {
    if (!parse_positional_only("_fmt_0", 0, nargs)) return nullptr;
    PyErr_SetString(PyExc_NotImplementedError, "Method 'fmt_0' is not implemented");
    return nullptr;
}

PyObject* repr(PyObject* self) {
    Ref name(PyType_GetQualName(Py_TYPE(self)));
    if (!name) return nullptr;
    std::string count = std::to_string(sheet_count(book(self)));
    return PyUnicode_FromFormat("%U, sheets: %s", name.get(), count.c_str());
}

PyGetSetDef getset[] = {
    {"_conn_db", getter<get_conn_db>, nullptr, nullptr, nullptr},
    {"_sheets", getter<get_sheets>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef methods[] = {
    {"_add_sheet", as_cfunction<method<add_sheet>>(), kFast,
     "_add_sheet($self, /, name, sheet_state='visible')\n--\n\n"},
    {"_copy_sheet", as_cfunction<method<copy_sheet>>(), kFast, "_copy_sheet($self, /, sheet)\n--\n\n"},
    {"_get_sheet_name", as_cfunction<method<get_sheet_name>>(), kFast, "_get_sheet_name($self, /, name)\n--\n\n"},
    {"_get_sheet_index", as_cfunction<method<get_sheet_index>>(), kFast,
     "_get_sheet_index($self, /, idx)\n--\n\n"},
    {"to_json", as_cfunction<method<to_json>>(), kFast, "to_json($self, /)\n--\n\n"},
    {"to_dict", as_cfunction<method<to_dict>>(), kFast, "to_dict($self, /)\n--\n\n"},
    {"summary_0", as_cfunction<method<summary_0>>(), kFast, "summary_0($self, sheets, /, **kwargs)\n--\n\n"},
    {"_fmt_0", as_cfunction<method<fmt_0>>(), kFast, "_fmt_0($self, /, **kwargs)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(create)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(clear)},
    {Py_tp_repr, reinterpret_cast<void*>(unary<repr>)},
    {Py_tp_doc, const_cast<char*>("Service(conn_db)\n--\n\n")},
    {Py_tp_getset, getset},
    {Py_tp_methods, methods},
    {0, nullptr},
};

PyType_Spec type_spec = {"tablomir.Service", sizeof(ServiceObject), 0,
                    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_IMMUTABLETYPE, slots};

}  // namespace

PyTypeObject* service_type() {
    static PyTypeObject* type = nullptr;
    return cached_type(type, type_spec);
}

}  // namespace tablomir::py
