#include "sheet.hpp"

#include <algorithm>

#include "../parallel.hpp"

namespace tablomir {

CellHandle get_or_create_cell(const SheetHandle& sheet, Coordinate at, std::optional<std::string_view> value) {
    // Classification is pure, so it runs before the sheet's lock is taken.
    std::optional<CellValue> classified;
    if (value) classified = classify_text(*value);

    auto w = sheet.write();
    const uint64_t key = at.packed();
    auto it = w->cells.find(key);
    if (it == w->cells.end()) {
        CellHandle cell = classified ? CellHandle::make(at, *classified) : CellHandle::make(at);
        w->cells.emplace(key, cell);
        return cell;
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
    for (const auto& entry : r->cells) best = std::max(best, Coordinate::unpack(entry.first).row);
    return best;
}

uint16_t max_column(const SheetHandle& sheet) {
    auto r = sheet.read();
    uint16_t best = 0;
    for (const auto& entry : r->cells) best = std::max(best, Coordinate::unpack(entry.first).column);
    return best;
}

size_t cell_count(const SheetHandle& sheet) { return sheet.read()->cells.size(); }

std::vector<CellHandle> sorted_cells(const SheetHandle& sheet) {
    std::vector<std::pair<uint64_t, CellHandle>> entries;
    {
        auto r = sheet.read();
        entries.reserve(r->cells.size());
        for (const auto& entry : r->cells) entries.emplace_back(entry.first, entry.second);
    }
    sort_by_coordinate(entries);
    std::vector<CellHandle> out;
    out.reserve(entries.size());
    for (auto& entry : entries) out.push_back(std::move(entry.second));
    return out;
}

std::string describe_sheet(const SheetHandle& sheet) {
    auto r = sheet.read();
    return "Sheet (" + r->name + ") cells: " + std::to_string(r->cells.size());
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
