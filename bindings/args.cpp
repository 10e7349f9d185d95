#include "args.hpp"

#include <cstring>
#include <limits>

namespace tablomir::py {

bool bind_arguments(const char* function, const char* const* names, size_t count, size_t required,
                    PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** slots) {
    if (size_t(nargs) > count) {
        PyErr_Format(PyExc_TypeError, "%s() takes at most %zu argument%s (%zd given)", function, count,
                     count == 1 ? "" : "s", nargs);
        return false;
    }
    for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];
    if (!kwnames && size_t(nargs) >= required) return true;  // positional only: the common call
    const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
    for (Py_ssize_t k = 0; k < nkw; ++k) {
        PyObject* key = PyTuple_GET_ITEM(kwnames, k);
        Py_ssize_t length = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(key, &length);
        if (!utf8) return false;
        size_t index = count;
        for (size_t i = 0; i < count; ++i)
            if (std::strlen(names[i]) == size_t(length) && std::memcmp(names[i], utf8, size_t(length)) == 0) {
                index = i;
                break;
            }
        if (index == count) {
            PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", function, key);
            return false;
        }
        if (slots[index]) {
            PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", function, names[index]);
            return false;
        }
        slots[index] = args[nargs + k];
    }
    for (size_t i = 0; i < required; ++i)
        if (!slots[i]) {
            PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s' (pos %zu)", function, names[i],
                         i + 1);
            return false;
        }
    return true;
}

VectorCall::VectorCall(PyObject* args, PyObject* kwargs) {
    nargs_ = PyTuple_GET_SIZE(args);
    const Py_ssize_t nkw = kwargs ? PyDict_GET_SIZE(kwargs) : 0;
    items_.reserve(size_t(nargs_ + nkw));
    for (Py_ssize_t i = 0; i < nargs_; ++i) items_.push_back(PyTuple_GET_ITEM(args, i));
    if (nkw) {
        kwnames_ = Ref(PyTuple_New(nkw));
        if (!kwnames_) return;
        Py_ssize_t pos = 0, i = 0;
        PyObject *key, *value;
        while (PyDict_Next(kwargs, &pos, &key, &value)) {
            PyTuple_SET_ITEM(kwnames_.get(), i++, Py_NewRef(key));
            items_.push_back(value);
        }
    }
    ok_ = true;
}

bool parse_positional_only(const char* function, size_t count, Py_ssize_t nargs) {
    if (size_t(nargs) == count) return true;
    PyErr_Format(PyExc_TypeError, "%s() takes exactly %zu positional argument%s (%zd given)", function, count,
                 count == 1 ? "" : "s", nargs);
    return false;
}

void raise_wrong_type(const char* name, const char* expected, PyObject* got) {
    PyErr_Format(PyExc_TypeError, "argument '%s' must be %s, not %.200s", name, expected, Py_TYPE(got)->tp_name);
}

PyObject* sequence_items(PyObject* o, const char* name, const char* expected) {
    if (PyUnicode_Check(o) || !PySequence_Check(o)) {
        raise_wrong_type(name, expected, o);
        return nullptr;
    }
    return PySequence_Tuple(o);
}

namespace {

// Integers: int and objects with __index__ (bool included); the value must
// lie within [lo, hi].
bool convert_integer(PyObject* o, const char* name, long long lo, long long hi, long long& out) {
    Ref index;
    if (!PyLong_Check(o)) {
        if (!PyIndex_Check(o)) {
            raise_wrong_type(name, "int", o);
            return false;
        }
        index = Ref(PyNumber_Index(o));
        if (!index) return false;
        o = index.get();
    }
    int overflow = 0;
    long long value = PyLong_AsLongLongAndOverflow(o, &overflow);
    if (value == -1 && PyErr_Occurred()) return false;
    if (overflow || value < lo || value > hi) {
        PyErr_Format(PyExc_OverflowError, "integer out of range: expected %lld to %lld", lo, hi);
        return false;
    }
    out = value;
    return true;
}

}  // namespace

bool convert(PyObject* o, const char* name, uint32_t& out) {
    long long v;
    if (!convert_integer(o, name, 0, std::numeric_limits<uint32_t>::max(), v)) return false;
    out = uint32_t(v);
    return true;
}

bool convert(PyObject* o, const char* name, uint16_t& out) {
    long long v;
    if (!convert_integer(o, name, 0, std::numeric_limits<uint16_t>::max(), v)) return false;
    out = uint16_t(v);
    return true;
}

bool convert(PyObject* o, const char* name, int32_t& out) {
    long long v;
    if (!convert_integer(o, name, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), v))
        return false;
    out = int32_t(v);
    return true;
}

bool convert(PyObject* o, const char* name, double& out) {
    if (PyFloat_CheckExact(o)) {
        out = PyFloat_AS_DOUBLE(o);
        return true;
    }
    PyNumberMethods* number = Py_TYPE(o)->tp_as_number;
    if (!PyFloat_Check(o) && !PyLong_Check(o) && !(number && (number->nb_float || number->nb_index))) {
        raise_wrong_type(name, "float", o);
        return false;
    }
    double v = PyFloat_AsDouble(o);
    if (v == -1.0 && PyErr_Occurred()) return false;
    out = v;
    return true;
}

bool convert(PyObject* o, const char* name, Text& out) {
    if (!PyUnicode_Check(o)) {
        raise_wrong_type(name, "str", o);
        return false;
    }
    Py_ssize_t length = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(o, &length);
    if (!utf8) return false;
    out.view = std::string_view(utf8, size_t(length));
    return true;
}

bool convert(PyObject* o, const char* name, OptionalText& out) {
    if (o == Py_None) {
        out.view.reset();
        return true;
    }
    if (!PyUnicode_Check(o)) {
        raise_wrong_type(name, "str or None", o);
        return false;
    }
    Text text;
    if (!convert(o, name, text)) return false;
    out.view = text.view;
    return true;
}

namespace {

// A numpy boolean scalar, recognised by its type name so that numpy need not
// be imported.
bool is_numpy_bool(PyObject* o) {
    const char* name = Py_TYPE(o)->tp_name;
    return std::strcmp(name, "numpy.bool") == 0 || std::strcmp(name, "numpy.bool_") == 0;
}

}  // namespace

bool convert(PyObject* o, const char* name, StrictBool& out) {
    if (PyBool_Check(o)) {
        out.value = o == Py_True;
        return true;
    }
    if (is_numpy_bool(o)) {
        int truth = PyObject_IsTrue(o);
        if (truth < 0) return false;
        out.value = truth != 0;
        return true;
    }
    raise_wrong_type(name, "bool", o);
    return false;
}

bool convert(PyObject* o, const char*, AnyObject& out) {
    out.object = o;
    return true;
}

}  // namespace tablomir::py
