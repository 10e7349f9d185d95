#pragma once
// The one argument-conversion layer. A method declares its parameter names
// once and converts each argument with a typed converter:
//
//     static const Signature<3> sig{"cell", {"row", "col", "value"}, 2};
//     uint32_t row; uint16_t col; OptionalText value;
//     if (!parse(sig, args, nargs, kwnames, row, col, value)) return nullptr;
//
// The conventions: missing, surplus, unknown and repeated arguments raise
// TypeError; a wrong type raises TypeError naming the parameter; an integer
// outside its target raises OverflowError; `__index__` is honoured; any other
// exception raised during conversion reaches the caller unchanged.
// Arguments are converted in parameter order; the first failure stops.

#include "py.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tablomir::py {

template <size_t N>
struct Signature {
    const char* function;
    std::array<const char*, N> names;
    size_t required;  // the first `required` parameters must be given
};

// Places positional and keyword arguments into `slots` (borrowed; nullptr
// for an omitted optional parameter).
bool bind_arguments(const char* function, const char* const* names, size_t count, size_t required,
                    PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** slots);

// A str argument as UTF-8, valid while the argument object lives. A str that
// cannot be encoded (a lone surrogate) raises UnicodeEncodeError.
struct Text {
    std::string_view view;
};
// A str or None.
struct OptionalText {
    std::optional<std::string_view> view;
};
// Only True or False (a numpy boolean is accepted too).
struct StrictBool {
    bool value = false;
};
// Any object, unconverted (borrowed).
struct AnyObject {
    PyObject* object = nullptr;
};

// A sequence (list, tuple, range, ...; not a str) whose items each convert
// strictly to T. The items are held by a private tuple, so text views stay
// valid while this lives.
template <class T>
struct SequenceOf {
    std::vector<T> items;
    Ref holder;
};

bool convert(PyObject* o, const char* name, uint32_t& out);
bool convert(PyObject* o, const char* name, uint16_t& out);
bool convert(PyObject* o, const char* name, int32_t& out);
bool convert(PyObject* o, const char* name, double& out);
bool convert(PyObject* o, const char* name, Text& out);
bool convert(PyObject* o, const char* name, OptionalText& out);
bool convert(PyObject* o, const char* name, StrictBool& out);
bool convert(PyObject* o, const char* name, AnyObject& out);

// TypeError "argument 'name' must be <expected>, not <type>".
void raise_wrong_type(const char* name, const char* expected, PyObject* got);

// The tuple of a sequence's items; TypeError for a str or a non-sequence.
PyObject* sequence_items(PyObject* o, const char* name, const char* expected);

template <class T>
bool convert(PyObject* o, const char* name, SequenceOf<T>& out) {
    constexpr const char* expected = std::is_same_v<T, Text> ? "a sequence of str" : "a sequence of int";
    out.holder = Ref(sequence_items(o, name, expected));
    if (!out.holder) return false;
    const Py_ssize_t n = PyTuple_GET_SIZE(out.holder.get());
    out.items.resize(size_t(n));
    for (Py_ssize_t i = 0; i < n; ++i)
        if (!convert(PyTuple_GET_ITEM(out.holder.get(), i), name, out.items[size_t(i)])) return false;
    return true;
}

template <class... Out>
bool parse(const Signature<sizeof...(Out)>& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
           Out&... out) {
    std::array<PyObject*, sizeof...(Out)> slots{};
    if (!bind_arguments(sig.function, sig.names.data(), sizeof...(Out), sig.required, args, nargs, kwnames,
                        slots.data()))
        return false;
    size_t i = 0;
    [[maybe_unused]] auto step = [&](auto& target) {
        PyObject* o = slots[i];
        const char* name = sig.names[i];
        ++i;
        return o == nullptr || convert(o, name, target);
    };
    return (step(out) && ...);
}

// The same for a constructor called with an argument tuple and dict.
template <class... Out>
bool parse_tuple(const Signature<sizeof...(Out)>& sig, PyObject* args, PyObject* kwargs, Out&... out);

// For methods without parameters.
inline bool parse_none(const char* function, Py_ssize_t nargs, PyObject* kwnames) {
    return bind_arguments(function, nullptr, 0, 0, nullptr, nargs, kwnames, nullptr);
}

// Converts a tuple-and-dict call into the vector form and parses it.
class VectorCall {
public:
    VectorCall(PyObject* args, PyObject* kwargs);
    bool ok() const { return ok_; }
    PyObject* const* args() const { return items_.data(); }
    Py_ssize_t nargs() const { return nargs_; }
    PyObject* kwnames() const { return kwnames_.get(); }

private:
    std::vector<PyObject*> items_;  // borrowed
    Py_ssize_t nargs_ = 0;
    Ref kwnames_;
    bool ok_ = false;
};

template <class... Out>
bool parse_tuple(const Signature<sizeof...(Out)>& sig, PyObject* args, PyObject* kwargs, Out&... out) {
    VectorCall call(args, kwargs);
    return call.ok() && parse(sig, call.args(), call.nargs(), call.kwnames(), out...);
}

// For methods with `count` positional-only parameters (all required) that
// also take any keyword arguments.
bool parse_positional_only(const char* function, size_t count, Py_ssize_t nargs);

}  // namespace tablomir::py
