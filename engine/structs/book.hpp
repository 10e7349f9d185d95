#pragma once
// The book record: the ordered list of sheets, which only grows.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "../shared.hpp"
#include "sheet.hpp"

namespace tablomir {

struct BookRecord {
    std::vector<SheetHandle> sheets;
};
using BookHandle = Shared<BookRecord>;

std::vector<SheetHandle> book_sheets(const BookHandle& book);
size_t sheet_count(const BookHandle& book);

// Appends a new empty sheet and returns it.
SheetHandle add_sheet(const BookHandle& book, std::string_view name, std::string_view state);

// Appends a copy of `source` named "Sheet N" (N = its 1-based position). Cell
// and comment records are shared with the source; everything else is copied.
SheetHandle copy_sheet(const BookHandle& book, const SheetHandle& source);

// The sheet at a 0-based position; empty for a negative or too large index.
SheetHandle sheet_at(const BookHandle& book, int32_t index);

// The first sheet whose name equals `name` exactly; empty when none does.
SheetHandle sheet_named(const BookHandle& book, std::string_view name);

}  // namespace tablomir
