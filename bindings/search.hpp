#pragma once
// The cell queries that sheets and the `readable` module share: the range
// query and the fifteen searches, each written once and registered for every
// entry point that offers it.

#include "py.hpp"

#include <vector>

namespace tablomir::py::search {

// Appends the query methods of `Sheet` / `ReadableSheet` to a method table.
void add_sheet_methods(std::vector<PyMethodDef>& defs);
void add_readable_sheet_methods(std::vector<PyMethodDef>& defs);

// The module-level searches of `readable`, in their published order.
const std::vector<PyMethodDef>& module_functions();

}  // namespace tablomir::py::search
