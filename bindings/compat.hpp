#pragma once
// Every switch on the interpreter version lives here.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace tablomir::py {

// Declares that the module relies on the global interpreter lock. Only an
// interpreter built without the lock knows the declaration; there it keeps
// the lock enabled while the module is loaded.
inline int declare_gil_used(PyObject* module) {
#if defined(Py_GIL_DISABLED)
    return PyUnstable_Module_SetGIL(module, Py_MOD_GIL_USED);
#else
    (void)module;
    return 0;
#endif
}

// A new reference to list[i], or nullptr when the list has become shorter
// than i + 1. The item is read under the list's own lock where the
// interpreter has per-object locks; the caller converts it after the lock
// is released, so conversion may run Python code that changes the list.
inline PyObject* list_item_ref(PyObject* list, Py_ssize_t i) {
    PyObject* item = nullptr;
#if PY_VERSION_HEX >= 0x030D0000
    Py_BEGIN_CRITICAL_SECTION(list);
    if (i < PyList_GET_SIZE(list)) item = Py_NewRef(PyList_GET_ITEM(list, i));
    Py_END_CRITICAL_SECTION();
#else
    if (i < PyList_GET_SIZE(list)) item = Py_NewRef(PyList_GET_ITEM(list, i));
#endif
    return item;
}

// A new reference to dict[key] of an exact dict; nullptr without an
// exception when the key is missing, nullptr with one on failure.
inline PyObject* dict_item_ref(PyObject* dict, PyObject* key) {
#if PY_VERSION_HEX >= 0x030D0000
    PyObject* value = nullptr;
    PyDict_GetItemRef(dict, key, &value);
    return value;
#else
    PyObject* value = PyDict_GetItemWithError(dict, key);
    Py_XINCREF(value);
    return value;
#endif
}

// The identifier of the interpreter running the caller.
inline int64_t current_interpreter_id() { return PyInterpreterState_GetID(PyInterpreterState_Get()); }

}  // namespace tablomir::py
