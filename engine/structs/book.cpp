#include "book.hpp"

namespace tablomir {

std::vector<SheetHandle> book_sheets(const BookHandle& book) { return book.read()->sheets; }

size_t sheet_count(const BookHandle& book) { return book.read()->sheets.size(); }

SheetHandle add_sheet(const BookHandle& book, std::string_view name, std::string_view state) {
    SheetHandle sheet = SheetHandle::make(std::string(name), std::string(state));
    book.write()->sheets.push_back(sheet);
    return sheet;
}

SheetHandle copy_sheet(const BookHandle& book, const SheetHandle& source) {
    auto b = book.write();
    SheetHandle copy;
    {
        auto src = source.read();
        copy = SheetHandle::make(src->name, src->sheet_state);
        auto w = copy.write();
        w->merge_cells = src->merge_cells;
        // New tables with fresh seeds; entries are copied, cell records shared.
        w->cells.reserve(src->cells.size());
        for (const auto& entry : src->cells) w->cells.emplace(entry.first, entry.second);
        for (const auto& entry : src->row_dimensions) w->row_dimensions.emplace(entry);
        for (const auto& entry : src->column_dimensions) w->column_dimensions.emplace(entry);
        w->default_height = src->default_height;
        w->default_width = src->default_width;
        w->comments = src->comments;
    }
    copy.write()->name = "Sheet " + std::to_string(b->sheets.size() + 1);
    b->sheets.push_back(copy);
    return copy;
}

SheetHandle sheet_at(const BookHandle& book, int32_t index) {
    auto r = book.read();
    if (index < 0 || size_t(index) >= r->sheets.size()) return {};
    return r->sheets[size_t(index)];
}

SheetHandle sheet_named(const BookHandle& book, std::string_view name) {
    auto r = book.read();
    for (const auto& sheet : r->sheets)
        if (sheet.read()->name == name) return sheet;
    return {};
}

}  // namespace tablomir
