// Comment: a live handle onto one comment record of a sheet.

#include "../args.hpp"
#include "../types.hpp"

namespace tablomir::py {
namespace {

using Handle = CommentHandle;
const Handle& comment(PyObject* self) { return handle_of<Handle>(self); }

// Texts are copied out under the record's lock; the str is built after it.
PyObject* get_author(PyObject* self) {
    std::string text = comment(self).read()->author;
    return str_from(text);
}
PyObject* get_text(PyObject* self) {
    std::string text = comment(self).read()->text;
    return str_from(text);
}
PyObject* get_row(PyObject* self) { return PyLong_FromUnsignedLong(comment(self).read()->row); }
PyObject* get_column(PyObject* self) { return PyLong_FromUnsignedLong(comment(self).read()->column); }

PyObject* get_coordinate(PyObject* self) {
    uint32_t row;
    uint16_t column;
    {
        auto c = comment(self).read();
        row = c->row;
        column = c->column;
    }
    return Py_BuildValue("(kI)", (unsigned long)row, (unsigned int)column);
}

template <std::string CommentRecord::*Field>
int set_field(PyObject* self, PyObject* value) {
    Text text;
    if (!convert(value, "value", text)) return -1;
    std::string owned(text.view);
    (*comment(self).write()).*Field = std::move(owned);
    return 0;
}

PyGetSetDef getset[] = {
    {"author", getter<get_author>, setter<set_field<&CommentRecord::author>, ClaimKind::Exclusive>, nullptr,
     nullptr},
    {"text", getter<get_text>, setter<set_field<&CommentRecord::text>, ClaimKind::Exclusive>, nullptr, nullptr},
    {"coordinate", getter<get_coordinate>, nullptr, nullptr, nullptr},
    {"row", getter<get_row>, nullptr, nullptr, nullptr},
    {"column", getter<get_column>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_object<Handle>)},
    {Py_tp_getset, getset},
    {0, nullptr},
};

PyType_Spec type_spec = {"tablomir.Comment", sizeof(Object<Handle>), 0,
                    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION | Py_TPFLAGS_IMMUTABLETYPE, slots};

}  // namespace

PyTypeObject* comment_type() {
    static PyTypeObject* type = nullptr;
    return cached_type(type, type_spec);
}

}  // namespace tablomir::py
