#pragma once
// Shared machinery of the bindings: owned references, the guard that keeps
// C++ exceptions out of the interpreter, per-object claims, the object layout
// and lazily created heap types.

#include "compat.hpp"

#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

namespace tablomir::py {

// An owned reference; released on scope exit.
class Ref {
public:
    Ref() noexcept = default;
    explicit Ref(PyObject* owned) noexcept : p_(owned) {}
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Ref& operator=(Ref&& o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Py_XDECREF(p_); }
    static Ref borrowed(PyObject* p) noexcept {
        Py_XINCREF(p);
        return Ref(p);
    }
    PyObject* get() const noexcept { return p_; }
    PyObject* release() noexcept { return std::exchange(p_, nullptr); }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    PyObject* p_ = nullptr;
};

// The exception type for a broken engine invariant; derives from
// BaseException so that `except Exception` does not swallow it.
PyObject* internal_error_type();
void raise_internal_error(const char* what);

// Runs a binding body; a C++ exception becomes MemoryError (allocation
// failure) or the internal-error type, never a crash.
template <class F>
auto guarded(F&& body) noexcept -> decltype(body()) {
    using R = decltype(body());
    try {
        return body();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& e) {
        raise_internal_error(e.what());
    } catch (...) {
        raise_internal_error("unknown engine failure");
    }
    if constexpr (std::is_pointer_v<R>) return nullptr;
    else return R(-1);
}

// Detaches the calling thread from the interpreter for the guard's
// lifetime: the global lock is released and no Python object may be used.
class WithoutInterpreter {
public:
    WithoutInterpreter() noexcept : state_(PyEval_SaveThread()) {}
    ~WithoutInterpreter() { PyEval_RestoreThread(state_); }
    WithoutInterpreter(const WithoutInterpreter&) = delete;
    WithoutInterpreter& operator=(const WithoutInterpreter&) = delete;

private:
    PyThreadState* state_;
};

// ---- objects ----

// The per-object claim: > 0 counts shared claims, -1 marks an exclusive one.
// Taken on `self` by every call; a conflicting claim fails at once.
enum class ClaimKind { Shared, Exclusive };

struct ObjectBase {
    PyObject_HEAD
    int claims;
};

class Claim {
public:
    Claim(PyObject* self, ClaimKind kind) noexcept;
    ~Claim();
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;
    explicit operator bool() const noexcept { return self_ != nullptr; }

private:
    ObjectBase* self_;
    ClaimKind kind_;
};

// Every object of the module but the service: a claim counter and one handle.
template <class Handle>
struct Object : ObjectBase {
    Handle handle;
};

template <class Handle>
Handle& handle_of(PyObject* self) {
    return reinterpret_cast<Object<Handle>*>(self)->handle;
}

// Wraps a handle in a new object of `type`; returns nullptr with an
// exception set on failure.
template <class Handle>
PyObject* wrap(PyTypeObject* type, Handle handle) {
    auto* obj = PyObject_New(Object<Handle>, type);
    if (!obj) return nullptr;
    obj->claims = 0;
    new (&obj->handle) Handle(std::move(handle));
    return reinterpret_cast<PyObject*>(obj);
}

template <class Handle>
void dealloc_object(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    handle_of<Handle>(self).~Handle();
    type->tp_free(self);
    Py_DECREF(type);
}

// A heap type from its slot table, created on first use and kept for the life of
// the process.
PyTypeObject* cached_type(PyTypeObject*& slot, PyType_Spec& type_spec, PyObject* base = nullptr);

// ---- results ----

inline PyObject* str_from(std::string_view text) {
    return PyUnicode_DecodeUTF8(text.data(), Py_ssize_t(text.size()), nullptr);
}

template <class T>
PyObject* optional_str(const T& maybe_text) {
    if (!maybe_text) Py_RETURN_NONE;
    return str_from(*maybe_text);
}

// A list built from a sequence by `make`, which returns a new reference or
// nullptr with an exception set.
template <class Seq, class Make>
PyObject* list_of(const Seq& items, Make&& make) {
    Ref list(PyList_New(Py_ssize_t(items.size())));
    if (!list) return nullptr;
    Py_ssize_t i = 0;
    for (const auto& item : items) {
        PyObject* element = make(item);
        if (!element) return nullptr;
        PyList_SET_ITEM(list.get(), i++, element);
    }
    return list.release();
}

// ---- property helpers ----

// A setter slot given NULL means `del obj.attr`.
inline int refuse_delete(PyObject* value) {
    if (value) return 0;
    PyErr_SetString(PyExc_AttributeError, "can't delete attribute");
    return -1;
}

}  // namespace tablomir::py

namespace tablomir::py {

// ---- entry points ----
// Each binding body is wrapped once: the C++ guard, then the claim on self.

using FastBody = PyObject* (*)(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

template <FastBody Body, ClaimKind Kind = ClaimKind::Shared>
PyObject* method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        Claim claim(self, Kind);
        if (!claim) return nullptr;
        return Body(self, args, nargs, kwnames);
    });
}

// A module-level function: the C++ guard only (a module takes no claim).
template <FastBody Body>
PyObject* function(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* { return Body(self, args, nargs, kwnames); });
}

template <PyObject* (*Body)(PyObject*)>
PyObject* getter(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        Claim claim(self, ClaimKind::Shared);
        if (!claim) return nullptr;
        return Body(self);
    });
}

template <int (*Body)(PyObject*, PyObject*), ClaimKind Kind = ClaimKind::Shared>
int setter(PyObject* self, PyObject* value, void*) {
    if (refuse_delete(value) < 0) return -1;
    return guarded([&]() -> int {
        Claim claim(self, Kind);
        if (!claim) return -1;
        return Body(self, value);
    });
}

template <PyObject* (*Body)(PyObject*)>
PyObject* unary(PyObject* self) {
    return getter<Body>(self, nullptr);
}

// Casts a method-table entry of the fastcall-with-keywords kind.
template <auto F>
constexpr PyCFunction as_cfunction() {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(F));
}

}  // namespace tablomir::py
