#pragma once
// The cell searches. Each runs over a cell list (references to cell records,
// in an order that decides every result) and returns positions in that list,
// or texts. Examinations run on the worker pool; each holds one cell's
// reader lock while it reads that cell, and no other lock of its own.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pattern.hpp"
#include "structs/sheet.hpp"

namespace tablomir {

using CellRef = CellHandle::Borrowed;
using CellList = std::span<const CellRef>;

// The result of a search that compiles patterns: the value, or the error of
// the first pattern that did not compile.
template <class T>
struct Searched {
    T value{};
    std::optional<PatternError> error;
};

// ---- text and pattern ----

// The first / every cell whose text form, trimmed of White_Space at both
// ends, equals `value` trimmed the same way, byte for byte.
std::optional<size_t> find_cell_by_str(CellList cells, std::string_view value);
std::vector<size_t> find_cells_by_str(CellList cells, std::string_view value);

// The first / every cell whose text form contains a match of "(?i)" + regex.
Searched<std::optional<size_t>> find_cell_by_regex(CellList cells, std::string_view regex);
Searched<std::vector<size_t>> find_cells_by_regex(CellList cells, std::string_view regex);

// ---- coordinates ----

std::optional<size_t> find_cell_by_coords(CellList cells, uint32_t row, uint16_t col);
// The text form of the first cell at (row, col).
std::optional<std::string> find_value_by_coords(CellList cells, uint32_t row, uint16_t col);
// The first cell at the coordinate a reference such as "B3" or "$b$3" names;
// nothing when the reference names none.
std::optional<size_t> find_cell_by_letter(CellList cells, std::string_view letter);

// ---- ranges, anchors, bounded patterns, value lookups ----

std::vector<size_t> find_cells_range_rows(CellList cells, uint32_t start_row, uint32_t end_row);
std::vector<size_t> find_cells_range_cols(CellList cells, uint16_t start_col, uint16_t end_col);

// Every anchor: cells that open a section (matching the before pattern while
// none is open) or close one (matching the after pattern while one is open).
Searched<std::vector<size_t>> find_cells_multi_regex(CellList cells, std::string_view before_regex,
                                                     std::string_view after_regex);
// Every cell whose row lies within the first section's rows.
Searched<std::vector<size_t>> find_cells_between_regex(CellList cells, std::string_view before_regex,
                                                       std::string_view after_regex);

// Cells with row <= row_stop (column <= col_stop) whose text form matches.
Searched<std::vector<size_t>> find_cells_for_cols_by_regex(CellList cells, std::string_view regex,
                                                           uint32_t row_stop);
Searched<std::vector<size_t>> find_cells_for_rows_by_regex(CellList cells, std::string_view regex,
                                                           uint16_t col_stop);

// The text forms of the cells in column `col` whose row occurs in `rows`
// (in row `row` whose column occurs in `cols`), in list order.
std::vector<std::string> find_values_by_col_rows(CellList cells, uint16_t col, std::span<const uint32_t> rows);
std::vector<std::string> find_values_by_row_cols(CellList cells, uint32_t row, std::span<const uint16_t> cols);

// ---- cell lists of sheets ----

enum class CellOrder {
    Map,       // the cell map's own (unspecified) order
    RowMajor,  // by row, then column
};

// References to every cell of a sheet; valid while the sheet's lock is held.
std::vector<CellRef> sheet_cell_list(const SheetRecord& sheet, CellOrder order);

// Runs `f(cells, sheet)` over a sheet's cell list, holding the sheet's
// reader lock throughout, so that nothing can change the cell map meanwhile.
template <class F>
auto with_sheet_cells(const SheetHandle& sheet, CellOrder order, F&& f) {
    auto r = sheet.read();
    const std::vector<CellRef> cells = sheet_cell_list(*r, order);
    return f(CellList(cells), *r);
}

// Runs `f(sheet)` holding the sheet's reader lock.
template <class F>
auto with_sheet_record(const SheetHandle& sheet, F&& f) {
    auto r = sheet.read();
    return f(*r);
}

// The cell filed at `at`, or an empty handle.
CellHandle cell_at(const SheetRecord& sheet, Coordinate at);
// Its text form, or nothing when no cell is filed there.
std::optional<std::string> value_text_if_any(const SheetRecord& sheet, Coordinate at);

// ---- shared with the Finder ----

// Text with White_Space removed at both ends.
std::string_view trim_white_space(std::string_view text) noexcept;

}  // namespace tablomir
