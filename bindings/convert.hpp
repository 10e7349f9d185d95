#pragma once
// Python data into records: the coercing conversion rules of descriptions.
// Unlike method arguments, entries read from a description are never
// rejected for their type. Every Python value is one of six kinds (none,
// boolean, integer, float, text, list) or is read through its str().

#include "py.hpp"

#include <cstdint>
#include <string>
#include <vector>

#include "../engine/structs/finder.hpp"

namespace tablomir::py::input {

// Text rule: appends the value's text to `out` (None gives nothing).
// Returns false with an exception set: an int beyond 64 bits
// (OverflowError), a failing str(), a list that contains itself
// (RecursionError), a str that cannot be encoded as UTF-8.
bool append_text(PyObject* o, std::string& out);

// The 32-bit and 16-bit number rules.
bool number32(PyObject* o, uint32_t& out);
bool number16(PyObject* o, uint16_t& out);

// A cell description (a dict, read by key, or any object, read by
// attribute) into a new cell record; `at` receives its coordinate.
bool cell_from_description(PyObject* description, CellHandle& out, Coordinate* at = nullptr);

// The `cells` argument of the module-level searches: a list whose
// ReadableCell items contribute their own records and whose other items
// are cell descriptions.
bool cells_argument(PyObject* cells, std::vector<CellHandle>& out);

// A sheet description into the pieces of a read-only sheet.
bool sheet_from_description(PyObject* description, SheetParts& out);

// The `sheets` argument of the Finder: a list of sheet descriptions.
bool sheets_argument(PyObject* sheets, std::vector<SheetParts>& out);

}  // namespace tablomir::py::input
