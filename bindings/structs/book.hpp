#pragma once
// The book operations, shared by `Book` and by `Service`, which offers them
// on its own book under underscore names. `function` names the Python method
// in argument error messages.

#include "../types.hpp"

namespace tablomir::py::book_ops {

PyObject* sheets(const BookHandle& book);
PyObject* add_sheet(const BookHandle& book, const char* function, PyObject* const* args, Py_ssize_t nargs,
                    PyObject* kwnames);
PyObject* copy_sheet(const BookHandle& book, const char* function, PyObject* const* args, Py_ssize_t nargs,
                     PyObject* kwnames);
PyObject* get_sheet_index(const BookHandle& book, const char* function, PyObject* const* args,
                          Py_ssize_t nargs, PyObject* kwnames);
PyObject* get_sheet_name(const BookHandle& book, const char* function, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames);

PyObject* to_json(const BookHandle& book, const char* function, Py_ssize_t nargs, PyObject* kwnames);
PyObject* to_dict(const BookHandle& book, const char* function, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace tablomir::py::book_ops
