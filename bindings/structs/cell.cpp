// Cell: a live handle onto one cell record.

#include "../args.hpp"
#include "../types.hpp"

#include <datetime.h>

#include "../../engine/utils.hpp"

namespace tablomir::py {
namespace {

using Handle = CellHandle;
const Handle& cell(PyObject* self) { return handle_of<Handle>(self); }

PyObject* get_row(PyObject* self) { return PyLong_FromUnsignedLong(cell(self).read()->row()); }
PyObject* get_column(PyObject* self) { return PyLong_FromUnsignedLong(cell(self).read()->column()); }

PyObject* get_letter(PyObject* self) {
    Coordinate at = cell(self).read()->coordinate();
    return str_from(letter_coordinate(at.row, at.column));
}

PyObject* get_value(PyObject* self) {
    std::string text;
    {
        auto c = cell(self).read();
        append_text_form(text, c->value());
    }
    return str_from(text);
}

int set_value(PyObject* self, PyObject* value) {
    Text text;
    if (!convert(value, "value", text)) return -1;
    CellValue classified = classify_text(text.view);
    cell(self).write()->write_value(classified);
    return 0;
}

// An optional text field (formula, style, hidden value), copied out under
// the cell's lock; the str is built after it.
template <std::optional<std::string_view> (CellRecord::*Get)() const noexcept>
PyObject* get_text_field(PyObject* self) {
    std::optional<std::string> text;
    {
        auto c = cell(self).read();
        if (auto field = ((*c).*Get)()) text.emplace(*field);
    }
    return optional_str(text);
}

template <void (CellRecord::*Set)(std::string_view)>
int set_text_field(PyObject* self, PyObject* value) {
    Text text;
    if (!convert(value, "value", text)) return -1;
    ((*cell(self).write()).*Set)(text.view);
    return 0;
}

PyObject* get_data_type(PyObject* self) {
    std::string text;
    {
        auto c = cell(self).read();
        text = c->data_type();
    }
    return str_from(text);
}

PyObject* get_is_formula(PyObject* self) { return PyBool_FromLong(cell(self).read()->is_formula()); }

template <ValueTag Tag>
PyObject* get_is_tag(PyObject* self) {
    return PyBool_FromLong(cell(self).read()->value_tag() == Tag);
}

PyObject* set_value_number(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"set_value_number", {"value"}, 1};
    double value;
    if (!parse(sig, args, nargs, kwnames, value)) return nullptr;
    cell(self).write()->write_value(value);
    Py_RETURN_NONE;
}

PyObject* set_value_integer(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"set_value_integer", {"value"}, 1};
    int32_t value;
    if (!parse(sig, args, nargs, kwnames, value)) return nullptr;
    cell(self).write()->write_value(value);
    Py_RETURN_NONE;
}

PyObject* set_value_bool(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"set_value_bool", {"value"}, 1};
    StrictBool value;
    if (!parse(sig, args, nargs, kwnames, value)) return nullptr;
    cell(self).write()->write_value(value.value);
    Py_RETURN_NONE;
}

PyObject* set_value_datetime(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<1> sig{"set_value_datetime", {"value"}, 1};
    AnyObject arg;
    if (!parse(sig, args, nargs, kwnames, arg)) return nullptr;
    if (!PyDateTimeAPI) {
        PyDateTime_IMPORT;
        if (!PyDateTimeAPI) return nullptr;
    }
    PyObject* o = arg.object;
    if (!PyDateTime_Check(o)) {
        raise_wrong_type("value", "datetime.datetime", o);
        return nullptr;
    }
    if (PyDateTime_DATE_GET_TZINFO(o) != Py_None) {
        PyErr_SetString(PyExc_TypeError, "argument 'value': expected a datetime without tzinfo");
        return nullptr;
    }
    DateTime dt;
    dt.year = PyDateTime_GET_YEAR(o);
    dt.month = uint8_t(PyDateTime_GET_MONTH(o));
    dt.day = uint8_t(PyDateTime_GET_DAY(o));
    dt.hour = uint8_t(PyDateTime_DATE_GET_HOUR(o));
    dt.minute = uint8_t(PyDateTime_DATE_GET_MINUTE(o));
    dt.second = uint8_t(PyDateTime_DATE_GET_SECOND(o));
    dt.nanosecond = uint32_t(PyDateTime_DATE_GET_MICROSECOND(o)) * 1000u;
    cell(self).write()->write_value(dt);
    Py_RETURN_NONE;
}

PyObject* repr(PyObject* self) {
    std::string text = "Cell, Coords: " + cell(self).read()->coordinate().debug_text();
    return str_from(text);
}

PyGetSetDef getset[] = {
    {"row", getter<get_row>, nullptr, nullptr, nullptr},
    {"column", getter<get_column>, nullptr, nullptr, nullptr},
    {"letter", getter<get_letter>, nullptr, nullptr, nullptr},
    {"value", getter<get_value>, setter<set_value>, nullptr, nullptr},
    {"formula", getter<get_text_field<&CellRecord::formula>>, setter<set_text_field<&CellRecord::set_formula>>,
     nullptr, nullptr},
    {"style", getter<get_text_field<&CellRecord::style>>, setter<set_text_field<&CellRecord::set_style>>, nullptr,
     nullptr},
    {"data_type", getter<get_data_type>, nullptr, nullptr, nullptr},
    {"hidden_value", getter<get_text_field<&CellRecord::hidden_value>>,
     setter<set_text_field<&CellRecord::set_hidden_value>>, nullptr, nullptr},
    {"is_formula", getter<get_is_formula>, nullptr, nullptr, nullptr},
    {"is_value_bool", getter<get_is_tag<ValueTag::Bool>>, nullptr, nullptr, nullptr},
    {"is_value_numeric", getter<get_is_tag<ValueTag::Number>>, nullptr, nullptr, nullptr},
    {"is_value_integer", getter<get_is_tag<ValueTag::Integer>>, nullptr, nullptr, nullptr},
    {"is_value_datetime", getter<get_is_tag<ValueTag::DateTime>>, nullptr, nullptr, nullptr},
    {"is_value_empty", getter<get_is_tag<ValueTag::Empty>>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr int kFast = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef methods[] = {
    {"set_value_number", as_cfunction<method<set_value_number>>(), kFast,
     "set_value_number($self, /, value)\n--\n\n"},
    {"set_value_integer", as_cfunction<method<set_value_integer>>(), kFast,
     "set_value_integer($self, /, value)\n--\n\n"},
    {"set_value_bool", as_cfunction<method<set_value_bool>>(), kFast, "set_value_bool($self, /, value)\n--\n\n"},
    {"set_value_datetime", as_cfunction<method<set_value_datetime>>(), kFast,
     "set_value_datetime($self, /, value)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_object<Handle>)},
    {Py_tp_repr, reinterpret_cast<void*>(unary<repr>)},
    {Py_tp_getset, getset},
    {Py_tp_methods, methods},
    {0, nullptr},
};

PyType_Spec type_spec = {"tablomir.Cell", sizeof(Object<Handle>), 0,
                    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION | Py_TPFLAGS_IMMUTABLETYPE, slots};

}  // namespace

PyTypeObject* cell_type() {
    static PyTypeObject* type = nullptr;
    return cached_type(type, type_spec);
}

}  // namespace tablomir::py
