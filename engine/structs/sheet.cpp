#include "sheet.hpp"

#include <algorithm>

#include "../parallel.hpp"

namespace tablomir {

CellHandle get_or_create_cell(const SheetHandle& sheet, Coordinate at, std::optional<std::string_view> value) {
    // Classification is pure, so it runs before the sheet's lock is taken.
    std::optional<CellValue> classified;
    if (value) classified = classify_text(*value);

    auto w = sheet.write();
    // One probe for both cases: a new entry starts empty and gets its cell
    // right away; should that allocation fail, the entry is removed again.
    auto [it, inserted] = w->cells.try_emplace(at.packed());
    if (inserted) {
        try {
            it->second = classified ? CellHandle::make(at, *classified) : CellHandle::make(at);
        } catch (...) {
            w->cells.erase(it);
            throw;
        }
        return it->second;
    }
    CellHandle cell = it->second;
    auto c = cell.write();
    if (classified) c->write_value(*classified);
    else if (!c->is_formula()) c->set_data_type("s");
    return cell;
}

std::string value_text_at(const SheetHandle& sheet, Coordinate at) {
    auto r = sheet.read();
    auto it = r->cells.find(at.packed());
    if (it == r->cells.end()) return text_form(Empty{});
    auto c = it->second.read();
    return text_form(c->value());
}

uint32_t max_row(const SheetHandle& sheet) {
    auto r = sheet.read();
    uint32_t best = 0;
    for_each_cell(r->cells, [&](uint64_t key, const CellHandle&) { best = std::max(best, Coordinate::unpack(key).row); });
    return best;
}

uint16_t max_column(const SheetHandle& sheet) {
    auto r = sheet.read();
    uint16_t best = 0;
    for_each_cell(r->cells,
                  [&](uint64_t key, const CellHandle&) { best = std::max(best, Coordinate::unpack(key).column); });
    return best;
}

std::vector<CellHandle> sorted_cells(const SheetHandle& sheet) {
    CoordinateEntries<CellHandle::Borrowed> entries;
    std::vector<CellHandle> out;
    auto r = sheet.read();
    entries.reserve(r->cells.size());
    for_each_cell(r->cells, [&](uint64_t key, const CellHandle& cell) { entries.emplace_back(key, cell.borrow()); });
    sort_by_coordinate(entries);
    out.reserve(entries.size());
    for (const auto& entry : entries) out.push_back(entry.second.share());
    return out;
}

void add_merge_range(const SheetHandle& sheet, const MergeRange& range) {
    sheet.write()->merge_cells.push_back(range);
}

std::vector<MergeRange> merge_ranges(const SheetHandle& sheet) { return sheet.read()->merge_cells; }

void add_comment(const SheetHandle& sheet, Coordinate at, std::string_view text, std::string_view author) {
    CommentHandle comment =
        CommentHandle::make(CommentRecord{at.row, at.column, std::string(author), std::string(text)});
    sheet.write()->comments.push_back(std::move(comment));
}

std::vector<CommentHandle> comment_handles(const SheetHandle& sheet) { return sheet.read()->comments; }

namespace {

RowDimension& row_entry(SheetRecord& s, uint32_t row) {
    return s.row_dimensions.try_emplace(row, RowDimension{row}).first->second;
}
ColumnDimension& column_entry(SheetRecord& s, uint16_t column) {
    return s.column_dimensions.try_emplace(column, ColumnDimension{column}).first->second;
}

// Reads one field of an entry, or `fallback` when the number has none.
template <class Map, class Key, class Read>
auto entry_field(const Map& map, Key key, Read read, decltype(read(map.begin()->second)) fallback) {
    auto it = map.find(key);
    return it == map.end() ? fallback : read(it->second);
}

}  // namespace

void set_row_height(const SheetHandle& sheet, uint32_t row, double height) {
    row_entry(*sheet.write(), row).height = height;
}
void set_row_hidden(const SheetHandle& sheet, uint32_t row, bool hidden) {
    row_entry(*sheet.write(), row).hidden = hidden;
}
void set_column_width(const SheetHandle& sheet, uint16_t column, double width) {
    column_entry(*sheet.write(), column).width = width;
}
void set_column_hidden(const SheetHandle& sheet, uint16_t column, bool hidden) {
    column_entry(*sheet.write(), column).hidden = hidden;
}

double row_height(const SheetHandle& sheet, uint32_t row) {
    auto r = sheet.read();
    return entry_field(r->row_dimensions, row, [](const RowDimension& d) { return d.height; }, r->default_height);
}
bool row_hidden(const SheetHandle& sheet, uint32_t row) {
    auto r = sheet.read();
    return entry_field(r->row_dimensions, row, [](const RowDimension& d) { return d.hidden; }, false);
}
double column_width(const SheetHandle& sheet, uint16_t column) {
    auto r = sheet.read();
    return entry_field(r->column_dimensions, column, [](const ColumnDimension& d) { return d.width; },
                       r->default_width);
}
bool column_hidden(const SheetHandle& sheet, uint16_t column) {
    auto r = sheet.read();
    return entry_field(r->column_dimensions, column, [](const ColumnDimension& d) { return d.hidden; }, false);
}

namespace {

// One pass over the cell map: cells before the band stay, cells in it leave
// the sheet, cells behind it move back by `amount` under their own lock.
// `Axis` reads and writes the row or the column of a coordinate.
template <class Axis, class Number>
void delete_band(const SheetHandle& sheet, Number idx, Number amount) {
    const uint64_t end = uint64_t(idx) + amount;  // computed wide: never wraps
    auto w = sheet.write();
    // The new map (fresh seeds) is sized before anything moves, so the
    // inserts below cannot fail and an allocation failure leaves the sheet
    // as it was.
    CellMap fresh;
    fresh.reserve(w->cells.size());
    for (auto& [key, cell] : w->cells) {
        Coordinate at = Coordinate::unpack(key);
        const Number n = Axis::get(at);
        if (n >= idx && n < end) continue;
        if (n >= end && n > idx) {
            Axis::set(at, Number(n - amount));
            Axis::renumber(*cell.write(), Number(n - amount));
        }
        fresh.emplace(at.packed(), std::move(cell));
    }
    w->cells = std::move(fresh);
}

struct RowAxis {
    static uint32_t get(const Coordinate& at) { return at.row; }
    static void set(Coordinate& at, uint32_t n) { at.row = n; }
    static void renumber(CellRecord& cell, uint32_t n) { cell.set_row(n); }
};
struct ColumnAxis {
    static uint16_t get(const Coordinate& at) { return at.column; }
    static void set(Coordinate& at, uint16_t n) { at.column = n; }
    static void renumber(CellRecord& cell, uint16_t n) { cell.set_column(n); }
};

}  // namespace

void delete_rows(const SheetHandle& sheet, uint32_t idx, uint32_t amount) {
    delete_band<RowAxis>(sheet, idx, amount);
}
void delete_columns(const SheetHandle& sheet, uint16_t idx, uint16_t amount) {
    delete_band<ColumnAxis>(sheet, idx, amount);
}

std::string describe_sheet(const SheetHandle& sheet, std::string_view type_name) {
    auto r = sheet.read();
    std::string out(type_name);
    out += " (" + r->name + ") cells: " + std::to_string(r->cells.size());
    return out;
}

std::vector<CellHandle> cells_in_range(const SheetHandle& sheet, const CellRange& range) {
    std::vector<CellHandle> out;
    if (range.start_row > range.end_row || range.start_col > range.end_col) return out;
    const uint64_t rows = uint64_t(range.end_row) - range.start_row + 1;
    const uint64_t cols = uint64_t(range.end_col) - range.start_col + 1;
    auto r = sheet.read();
    const CellMap& cells = r->cells;
    // A probe costs about as much as visiting a few entries of a scan, and
    // probing in row-major order needs no sort.
    if (rows * cols <= cells.size() / 4) {
        for (uint64_t row = range.start_row; row <= range.end_row; ++row)
            for (uint32_t col = range.start_col; col <= range.end_col; ++col) {
                auto it = cells.find(Coordinate{uint32_t(row), uint16_t(col)}.packed());
                if (it != cells.end()) out.push_back(it->second);
            }
        return out;
    }
    using Entry = std::pair<uint64_t, CellHandle::Borrowed>;
    CoordinateEntries<CellHandle::Borrowed> all;
    all.reserve(cells.size());
    for_each_cell(cells, [&](uint64_t key, const CellHandle& cell) { all.emplace_back(key, cell.borrow()); });
    const std::vector<Entry> kept = ordered_filter_map<Entry>(all.size(), [&](size_t i) -> std::optional<Entry> {
        const Coordinate at = Coordinate::unpack(all[i].first);
        if (at.row < range.start_row || at.row > range.end_row || at.column < range.start_col ||
            at.column > range.end_col)
            return std::nullopt;
        return all[i];
    });
    CoordinateEntries<CellHandle::Borrowed> sorted(kept.begin(), kept.end());
    sort_by_coordinate(sorted);
    out.reserve(sorted.size());
    for (const auto& entry : sorted) out.push_back(entry.second.share());
    return out;
}

SheetRecord assemble_sheet(std::string name, std::string sheet_state, std::vector<MergeRange> merge_cells,
                           std::vector<std::pair<uint64_t, CellHandle>> cells) {
    SheetRecord sheet(std::move(name), std::move(sheet_state));
    sheet.merge_cells = std::move(merge_cells);
    sheet.cells.reserve(cells.size());
    for (auto& [key, cell] : cells) sheet.cells.insert_or_assign(key, std::move(cell));
    return sheet;
}

std::string sheet_name(const SheetHandle& sheet) { return sheet.read()->name; }
void set_sheet_name(const SheetHandle& sheet, std::string_view name) {
    std::string owned(name);
    sheet.write()->name = std::move(owned);
}
std::string sheet_state(const SheetHandle& sheet) { return sheet.read()->sheet_state; }
void set_sheet_state(const SheetHandle& sheet, std::string_view state) {
    std::string owned(state);
    sheet.write()->sheet_state = std::move(owned);
}

}  // namespace tablomir
