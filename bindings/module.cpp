// The module entry: creates `_tablomir`, its attributes and the submodule
// `readable`, once per process.

#include "args.hpp"
#include "search.hpp"
#include "types.hpp"

#include "../engine/structs/sheet.hpp"
#include "../engine/utils.hpp"

namespace tablomir::py {
namespace {

constexpr const char* kVersion = "0.12.1";
constexpr int kFast = METH_FASTCALL | METH_KEYWORDS;

PyObject* version(PyObject*, PyObject* const*, Py_ssize_t nargs, PyObject* kwnames) {
    if (!parse_none("version", nargs, kwnames)) return nullptr;
    return PyUnicode_FromString(kVersion);
}

PyObject* column_number_to_letter(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature<1> sig{"column_number_to_letter", {"col"}, 1};
        uint16_t col;
        if (!parse(sig, args, nargs, kwnames, col)) return nullptr;
        return str_from(column_letters(col));
    });
}

PyObject* get_letter_coordinate(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature<2> sig{"get_letter_coordinate", {"row", "col"}, 2};
        uint32_t row;
        uint16_t col;
        if (!parse(sig, args, nargs, kwnames, row, col)) return nullptr;
        return str_from(letter_coordinate(row, col));
    });
}

PyMethodDef functions[] = {
    {"version", as_cfunction<version>(), kFast,
     "version()\n--\n\nReturns the version of the underlying ostrel library.\n\nReturns\n-------\nversion : "
     "str\n  The version of the underlying ostrel library.\n"},
    {"column_number_to_letter", as_cfunction<column_number_to_letter>(), kFast,
     "column_number_to_letter(col)\n--\n\nПреобразование номера колонки в букву."},
    {"get_letter_coordinate", as_cfunction<get_letter_coordinate>(), kFast,
     "get_letter_coordinate(row, col)\n--\n\nПреобразование номера колонки в координату."},
    {nullptr, nullptr, 0, nullptr},
};

PyMethodDef* function_def(const char* name) {
    for (PyMethodDef* def = functions; def->ml_name; ++def)
        if (std::string_view(def->ml_name) == name) return def;
    return nullptr;
}

// Sets module.<name> and appends the name to module.__all__ (created empty
// when missing).
bool add_attribute(PyObject* module, const char* name, PyObject* value) {
    if (!value) return false;
    Ref owned(value);
    Ref all(PyObject_GetAttrString(module, "__all__"));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
        PyErr_Clear();
        all = Ref(PyList_New(0));
        if (!all || PyModule_AddObjectRef(module, "__all__", all.get()) < 0) return false;
    }
    if (PyModule_AddObjectRef(module, name, owned.get()) < 0) return false;
    Ref key(PyUnicode_FromString(name));
    return key && PyList_Append(all.get(), key.get()) == 0;
}

bool add_type(PyObject* module, const char* name, PyTypeObject* type) {
    if (!type) return false;
    Py_INCREF(type);
    return add_attribute(module, name, reinterpret_cast<PyObject*>(type));
}

bool add_function(PyObject* module, const char* name) {
    return add_attribute(module, name, PyCFunction_NewEx(function_def(name), module, nullptr));
}

PyModuleDef main_def = {PyModuleDef_HEAD_INIT, "_tablomir", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr};

PyMethodDef create_finder_def = {"create_finder", as_cfunction<create_finder>(), kFast,
                                  "create_finder(sheets)\n--\n\n"};

// The submodule `readable`: the read-only model's classes, then its
// functions.
PyObject* create_readable() {
    Ref sub(PyModule_New("readable"));
    if (!sub) return nullptr;
    PyObject* m = sub.get();
    Ref all(PyList_New(0));
    if (!all || PyModule_AddObjectRef(m, "__all__", all.get()) < 0) return nullptr;
    if (!add_type(m, "Finder", finder_type()) || !add_type(m, "ReadableSheet", readable_sheet_type()) ||
        !add_type(m, "ReadableCell", readable_cell_type()) ||
        !add_attribute(m, "create_finder", PyCFunction_NewEx(&create_finder_def, m, nullptr)))
        return nullptr;
    for (const PyMethodDef& def : search::module_functions())
        if (!add_attribute(m, def.ml_name, PyCFunction_NewEx(const_cast<PyMethodDef*>(&def), m, nullptr)))
            return nullptr;
    return sub.release();
}

PyObject* create_module() {
    Ref module(PyModule_Create(&main_def));
    if (!module) return nullptr;
    PyObject* m = module.get();
    if (declare_gil_used(m) < 0) return nullptr;
    if (!add_attribute(m, "__version__", PyUnicode_FromString(kVersion)) ||
        !add_type(m, "Service", service_type()) || !add_type(m, "Book", book_type()) ||
        !add_type(m, "Sheet", sheet_type()) || !add_type(m, "Cell", cell_type()) ||
        !add_type(m, "Comment", comment_type()) || !add_function(m, "version") ||
        !add_function(m, "column_number_to_letter") || !add_function(m, "get_letter_coordinate") ||
        !add_attribute(m, "DEFAULT_ROW_HEIGHT", PyFloat_FromDouble(kDefaultRowHeight)) ||
        !add_attribute(m, "DEFAULT_COLUMN_WIDTH", PyFloat_FromDouble(kDefaultColumnWidth)))
        return nullptr;

    Ref readable(create_readable());
    if (!readable) return nullptr;
    Ref readable_name(PyModule_GetNameObject(readable.get()));
    if (!readable_name) return nullptr;
    const char* name = PyUnicode_AsUTF8(readable_name.get());
    if (!name || !add_attribute(m, name, Ref::borrowed(readable.get()).release())) return nullptr;

    Ref sys(PyImport_ImportModule("sys"));
    if (!sys) return nullptr;
    Ref modules(PyObject_GetAttrString(sys.get(), "modules"));
    if (!modules || PyObject_SetItem(modules.get(), Ref(PyUnicode_FromString("tablomir.readable")).get(),
                                     readable.get()) < 0)
        return nullptr;
    return module.release();
}

}  // namespace
}  // namespace tablomir::py

PyMODINIT_FUNC PyInit__tablomir(void) {
    using namespace tablomir::py;
    static bool have_interpreter = false;
    static int64_t first_interpreter = -1;
    static PyObject* module = nullptr;

    return guarded([&]() -> PyObject* {
        const int64_t id = current_interpreter_id();
        if (!have_interpreter) {
            have_interpreter = true;
            first_interpreter = id;
        } else if (id != first_interpreter) {
            PyErr_SetString(PyExc_ImportError, "_tablomir does not support subinterpreters");
            return nullptr;
        }
        if (module) return Py_NewRef(module);
        PyObject* created = create_module();
        if (!created) return nullptr;
        module = Py_NewRef(created);
        return created;
    });
}
