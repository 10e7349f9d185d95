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

// The identifier of the interpreter running the caller.
inline int64_t current_interpreter_id() { return PyInterpreterState_GetID(PyInterpreterState_Get()); }

}  // namespace tablomir::py
