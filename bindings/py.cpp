#include "py.hpp"

namespace tablomir::py {

PyObject* internal_error_type() {
    static PyObject* type = nullptr;
    if (!type)
        type = PyErr_NewExceptionWithDoc("tablomir.InternalError",
                                         "An invariant of the engine was broken; derives from BaseException.",
                                         PyExc_BaseException, nullptr);
    return type;
}

void raise_internal_error(const char* what) {
    PyObject* type = internal_error_type();
    if (!type) return;  // creating the type failed; its exception is set
    PyErr_SetString(type, what);
}

Claim::Claim(PyObject* self, ClaimKind kind) noexcept : self_(reinterpret_cast<ObjectBase*>(self)), kind_(kind) {
    int& claims = self_->claims;
    const bool free = kind == ClaimKind::Shared ? claims >= 0 : claims == 0;
    if (!free) {
        PyErr_SetString(PyExc_RuntimeError,
                        kind == ClaimKind::Shared ? "object is already claimed exclusively by a running call"
                                                  : "object is already claimed by a running call");
        self_ = nullptr;
        return;
    }
    claims = kind == ClaimKind::Shared ? claims + 1 : -1;
}

Claim::~Claim() {
    if (!self_) return;
    int& claims = self_->claims;
    claims = kind_ == ClaimKind::Shared ? claims - 1 : 0;
}

PyTypeObject* cached_type(PyTypeObject*& slot, PyType_Spec& type_spec, PyObject* base) {
    if (!slot) slot = reinterpret_cast<PyTypeObject*>(PyType_FromSpecWithBases(&type_spec, base));
    return slot;
}

}  // namespace tablomir::py
