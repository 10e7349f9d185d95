#pragma once
// The sheet record and its operations: cells, merged ranges, comments, row
// and column dimensions, deletion of row and column bands.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../hashing.hpp"
#include "../memory.hpp"
#include "../shared.hpp"
#include "cell.hpp"

namespace tablomir {

inline constexpr double kDefaultRowHeight = 20.0;
inline constexpr double kDefaultColumnWidth = 22.5;

struct MergeRange {
    uint32_t start_row;
    uint32_t end_row;
    uint16_t start_col;
    uint16_t end_col;
};

struct RowDimension {
    uint32_t row_num;
    double height = kDefaultRowHeight;
    bool hidden = false;
    bool collapsed = false;
    uint32_t level = 0;
};

struct ColumnDimension {
    uint16_t col_num;
    double width = kDefaultColumnWidth;
    bool hidden = false;
    bool collapsed = false;
    uint32_t level = 0;
};

struct CommentRecord {
    uint32_t row;
    uint16_t column;
    std::string author;
    std::string text;
};
using CommentHandle = Shared<CommentRecord>;

// Cells keyed by Coordinate::packed(); a key always equals the coordinate in
// the record when the cell is filed.
using CellMap = boost::unordered_flat_map<uint64_t, CellHandle, CoordinateHash, std::equal_to<uint64_t>,
                                          LargeTableAllocator<std::pair<const uint64_t, CellHandle>>>;

// Calls f(key, cell) for every entry of a cell map. The walk goes through
// the table group by group (erase_if with a predicate that never erases
// only reads), about twice as fast as advancing an iterator, whose every
// step is a hard-to-predict branch over a half-empty table.
template <class F>
void for_each_cell(const CellMap& cells, F&& f) {
    boost::unordered::erase_if(const_cast<CellMap&>(cells), [&](const auto& entry) {
        f(entry.first, entry.second);
        return false;
    });
}

struct SheetRecord {
    SheetRecord(std::string name, std::string sheet_state)
        : name(std::move(name)), sheet_state(std::move(sheet_state)) {}

    std::string name;
    std::string sheet_state;
    std::vector<MergeRange> merge_cells;
    CellMap cells;
    SeededMap<uint32_t, RowDimension> row_dimensions;
    double default_height = kDefaultRowHeight;
    SeededMap<uint16_t, ColumnDimension> column_dimensions;
    double default_width = kDefaultColumnWidth;
    std::vector<CommentHandle> comments;
};
using SheetHandle = Shared<SheetRecord>;

// ---- cells ----

// Get-or-create the cell at `at`. With a value, the value is classified and
// written (formula removed, data_type from the variant); without one, a
// non-formula cell gets data_type "s" and keeps its value.
CellHandle get_or_create_cell(const SheetHandle& sheet, Coordinate at, std::optional<std::string_view> value);

// The text form of the value at `at`; the empty text where no cell is filed.
std::string value_text_at(const SheetHandle& sheet, Coordinate at);

uint32_t max_row(const SheetHandle& sheet);
uint16_t max_column(const SheetHandle& sheet);

// Every cell, sorted by (row, column) of its key.
std::vector<CellHandle> sorted_cells(const SheetHandle& sheet);

// "<type_name> (<name>) cells: <count>".
std::string describe_sheet(const SheetHandle& sheet, std::string_view type_name);

// ---- the rectangular range query ----

// Both ends inclusive; the defaults span the usual worksheet grid.
struct CellRange {
    uint32_t start_row = 1;
    uint32_t end_row = 1048576;
    uint16_t start_col = 1;
    uint16_t end_col = 16384;
};

// The cells inside `range`, sorted by row, then column. A window smaller
// than the cell map is answered by looking each coordinate up; a larger one
// by filtering the map's entries on the worker pool and sorting the rest.
std::vector<CellHandle> cells_in_range(const SheetHandle& sheet, const CellRange& range);

// ---- read-only sheets ----

// A sheet record holding `cells` under their keys (the packed coordinates
// of the records); a later cell at the same coordinate replaces an earlier one.
SheetRecord assemble_sheet(std::string name, std::string sheet_state, std::vector<MergeRange> merge_cells,
                           std::vector<std::pair<uint64_t, CellHandle>> cells);

// ---- merged ranges and comments ----

void add_merge_range(const SheetHandle& sheet, const MergeRange& range);
std::vector<MergeRange> merge_ranges(const SheetHandle& sheet);

void add_comment(const SheetHandle& sheet, Coordinate at, std::string_view text, std::string_view author);
std::vector<CommentHandle> comment_handles(const SheetHandle& sheet);

// ---- row and column dimensions ----
// Setters create the entry with its defaults first; getters fall back to the
// sheet's default size and to "not hidden" for numbers without an entry.

void set_row_height(const SheetHandle& sheet, uint32_t row, double height);
void set_row_hidden(const SheetHandle& sheet, uint32_t row, bool hidden);
void set_column_width(const SheetHandle& sheet, uint16_t column, double width);
void set_column_hidden(const SheetHandle& sheet, uint16_t column, bool hidden);
double row_height(const SheetHandle& sheet, uint32_t row);
bool row_hidden(const SheetHandle& sheet, uint32_t row);
double column_width(const SheetHandle& sheet, uint16_t column);
bool column_hidden(const SheetHandle& sheet, uint16_t column);

// ---- deletion ----
// Removes the band idx <= n < idx + amount (the end saturates at the largest
// number) from the cell map and moves the cells behind it back by `amount`,
// renumbering their shared records. Everything else in the sheet is kept.

void delete_rows(const SheetHandle& sheet, uint32_t idx, uint32_t amount);
void delete_columns(const SheetHandle& sheet, uint16_t idx, uint16_t amount);

// ---- name and state ----

std::string sheet_name(const SheetHandle& sheet);
void set_sheet_name(const SheetHandle& sheet, std::string_view name);
std::string sheet_state(const SheetHandle& sheet);
void set_sheet_state(const SheetHandle& sheet, std::string_view state);

}  // namespace tablomir
