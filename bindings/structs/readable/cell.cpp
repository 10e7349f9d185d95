// ReadableCell: the read-only face of a cell record built from Python data.

#include "../../args.hpp"
#include "../../types.hpp"

namespace tablomir::py {
namespace {

using Handle = CellHandle;

PyObject* repr(PyObject* self) { return str_from("ReadableCell, Coords: " + cell_fields::coordinate_text(self)); }

PyGetSetDef getset[] = {
    {"row", getter<cell_fields::row>, nullptr, nullptr, nullptr},
    {"column", getter<cell_fields::column>, nullptr, nullptr, nullptr},
    {"letter", getter<cell_fields::letter>, nullptr, nullptr, nullptr},
    {"value", getter<cell_fields::value>, nullptr, nullptr, nullptr},
    {"formula", getter<cell_fields::formula>, nullptr, nullptr, nullptr},
    {"style", getter<cell_fields::style>, nullptr, nullptr, nullptr},
    {"data_type", getter<cell_fields::data_type>, nullptr, nullptr, nullptr},
    {"is_formula", getter<cell_fields::is_formula>, nullptr, nullptr, nullptr},
    {"is_value_bool", getter<cell_fields::is_value_bool>, nullptr, nullptr, nullptr},
    {"is_value_numeric", getter<cell_fields::is_value_numeric>, nullptr, nullptr, nullptr},
    {"is_value_integer", getter<cell_fields::is_value_integer>, nullptr, nullptr, nullptr},
    {"is_value_datetime", getter<cell_fields::is_value_datetime>, nullptr, nullptr, nullptr},
    {"is_value_empty", getter<cell_fields::is_value_empty>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_object<Handle>)},
    {Py_tp_repr, reinterpret_cast<void*>(unary<repr>)},
    {Py_tp_getset, getset},
    {0, nullptr},
};

PyType_Spec type_spec = {"tablomir.readable.ReadableCell", sizeof(Object<Handle>), 0,
                         Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION | Py_TPFLAGS_IMMUTABLETYPE, slots};

}  // namespace

PyTypeObject* readable_cell_type() {
    static PyTypeObject* type = nullptr;
    return cached_type(type, type_spec);
}

}  // namespace tablomir::py
