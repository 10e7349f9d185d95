// Cell: a live handle onto one cell record.

#include "../args.hpp"
#include "../types.hpp"

#include <datetime.h>

#include "../../engine/utils.hpp"

namespace tablomir::py {

namespace cell_fields {

namespace {
const CellHandle& cell(PyObject* self) { return handle_of<CellHandle>(self); }

// An optional text field (formula, style, hidden value), copied out under
// the cell's lock; the str is built after it.
template <std::optional<std::string_view> (CellRecord::*Get)() const noexcept>
PyObject* text_field(PyObject* self) {
    std::optional<std::string> text;
    {
        auto c = cell(self).read();
        if (auto field = ((*c).*Get)()) text.emplace(*field);
    }
    return optional_str(text);
}

template <ValueTag Tag>
PyObject* is_tag(PyObject* self) {
    return PyBool_FromLong(cell(self).read()->value_tag() == Tag);
}
}  // namespace

PyObject* row(PyObject* self) { return PyLong_FromUnsignedLong(cell(self).read()->row()); }
PyObject* column(PyObject* self) { return PyLong_FromUnsignedLong(cell(self).read()->column()); }

PyObject* letter(PyObject* self) {
    Coordinate at = cell(self).read()->coordinate();
    return str_from(letter_coordinate(at.row, at.column));
}

PyObject* value(PyObject* self) {
    std::string text;
    {
        auto c = cell(self).read();
        append_text_form(text, c->value());
    }
    return str_from(text);
}

PyObject* formula(PyObject* self) { return text_field<&CellRecord::formula>(self); }
PyObject* style(PyObject* self) { return text_field<&CellRecord::style>(self); }
PyObject* hidden_value(PyObject* self) { return text_field<&CellRecord::hidden_value>(self); }

PyObject* data_type(PyObject* self) {
    std::string text;
    {
        auto c = cell(self).read();
        text = c->data_type();
    }
    return str_from(text);
}

PyObject* is_formula(PyObject* self) { return PyBool_FromLong(cell(self).read()->is_formula()); }
PyObject* is_value_bool(PyObject* self) { return is_tag<ValueTag::Bool>(self); }
PyObject* is_value_numeric(PyObject* self) { return is_tag<ValueTag::Number>(self); }
PyObject* is_value_integer(PyObject* self) { return is_tag<ValueTag::Integer>(self); }
PyObject* is_value_datetime(PyObject* self) { return is_tag<ValueTag::DateTime>(self); }
PyObject* is_value_empty(PyObject* self) { return is_tag<ValueTag::Empty>(self); }

std::string coordinate_text(PyObject* self) { return cell(self).read()->coordinate().debug_text(); }

}  // namespace cell_fields

namespace {

using Handle = CellHandle;
const Handle& cell(PyObject* self) { return handle_of<Handle>(self); }

int set_value(PyObject* self, PyObject* value) {
    Text text;
    if (!convert(value, "value", text)) return -1;
    CellValue classified = classify_text(text.view);
    cell(self).write()->write_value(classified);
    return 0;
}

template <void (CellRecord::*Set)(std::string_view)>
int set_text_field(PyObject* self, PyObject* value) {
    Text text;
    if (!convert(value, "value", text)) return -1;
    ((*cell(self).write()).*Set)(text.view);
    return 0;
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

PyObject* repr(PyObject* self) { return str_from("Cell, Coords: " + cell_fields::coordinate_text(self)); }

PyGetSetDef getset[] = {
    {"row", getter<cell_fields::row>, nullptr, nullptr, nullptr},
    {"column", getter<cell_fields::column>, nullptr, nullptr, nullptr},
    {"letter", getter<cell_fields::letter>, nullptr, nullptr, nullptr},
    {"value", getter<cell_fields::value>, setter<set_value>, nullptr, nullptr},
    {"formula", getter<cell_fields::formula>, setter<set_text_field<&CellRecord::set_formula>>, nullptr, nullptr},
    {"style", getter<cell_fields::style>, setter<set_text_field<&CellRecord::set_style>>, nullptr, nullptr},
    {"data_type", getter<cell_fields::data_type>, nullptr, nullptr, nullptr},
    {"hidden_value", getter<cell_fields::hidden_value>, setter<set_text_field<&CellRecord::set_hidden_value>>,
     nullptr, nullptr},
    {"is_formula", getter<cell_fields::is_formula>, nullptr, nullptr, nullptr},
    {"is_value_bool", getter<cell_fields::is_value_bool>, nullptr, nullptr, nullptr},
    {"is_value_numeric", getter<cell_fields::is_value_numeric>, nullptr, nullptr, nullptr},
    {"is_value_integer", getter<cell_fields::is_value_integer>, nullptr, nullptr, nullptr},
    {"is_value_datetime", getter<cell_fields::is_value_datetime>, nullptr, nullptr, nullptr},
    {"is_value_empty", getter<cell_fields::is_value_empty>, nullptr, nullptr, nullptr},
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
