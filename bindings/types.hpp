#pragma once
// The classes of the module and the constructors of their objects.

#include "py.hpp"

#include "../engine/structs/book.hpp"

namespace tablomir::py {

PyTypeObject* book_type();
PyTypeObject* sheet_type();
PyTypeObject* cell_type();
PyTypeObject* comment_type();
PyTypeObject* service_type();

// A `Sheet` argument; the object is claimed shared while its handle is copied.
struct SheetArg {
    SheetHandle handle;
};
bool convert(PyObject* o, const char* name, SheetArg& out);

inline PyObject* new_sheet(SheetHandle handle) { return wrap(sheet_type(), std::move(handle)); }
inline PyObject* new_cell(CellHandle handle) { return wrap(cell_type(), std::move(handle)); }
inline PyObject* new_comment(CommentHandle handle) { return wrap(comment_type(), std::move(handle)); }

}  // namespace tablomir::py
