#pragma once
// The classes of the module and the constructors of their objects.

#include "py.hpp"

#include "../engine/structs/book.hpp"
#include "../engine/structs/finder.hpp"

#include <string>

namespace tablomir::py {

PyTypeObject* book_type();
PyTypeObject* sheet_type();
PyTypeObject* cell_type();
PyTypeObject* comment_type();
PyTypeObject* service_type();
PyTypeObject* readable_cell_type();
PyTypeObject* readable_sheet_type();
PyTypeObject* finder_type();

// A `Sheet` argument; the object is claimed shared while its handle is copied.
struct SheetArg {
    SheetHandle handle;
};
bool convert(PyObject* o, const char* name, SheetArg& out);

inline PyObject* new_sheet(SheetHandle handle) { return wrap(sheet_type(), std::move(handle)); }
inline PyObject* new_cell(CellHandle handle) { return wrap(cell_type(), std::move(handle)); }
inline PyObject* new_comment(CommentHandle handle) { return wrap(comment_type(), std::move(handle)); }
inline PyObject* new_readable_cell(CellHandle handle) { return wrap(readable_cell_type(), std::move(handle)); }
inline PyObject* new_readable_sheet(SheetHandle handle) { return wrap(readable_sheet_type(), std::move(handle)); }

// A sheet's merged ranges as a list of (start_row, end_row, start_col, end_col).
PyObject* merge_cells_list(const SheetHandle& sheet);

// readable.create_finder(sheets).
PyObject* create_finder(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// The getters that Cell and ReadableCell share.
namespace cell_fields {
PyObject* row(PyObject* self);
PyObject* column(PyObject* self);
PyObject* letter(PyObject* self);
PyObject* value(PyObject* self);
PyObject* formula(PyObject* self);
PyObject* style(PyObject* self);
PyObject* hidden_value(PyObject* self);
PyObject* data_type(PyObject* self);
PyObject* is_formula(PyObject* self);
PyObject* is_value_bool(PyObject* self);
PyObject* is_value_numeric(PyObject* self);
PyObject* is_value_integer(PyObject* self);
PyObject* is_value_datetime(PyObject* self);
PyObject* is_value_empty(PyObject* self);
// "Coordinate { row: 3, column: 2 }".
std::string coordinate_text(PyObject* self);
}  // namespace cell_fields

}  // namespace tablomir::py
