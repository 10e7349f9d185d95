#include "finder.hpp"

#include <algorithm>

#include "../parallel.hpp"

namespace tablomir {

FinderHandle assemble_finder(std::vector<SheetParts> sheets) {
    FinderRecord finder;
    finder.sheets.reserve(sheets.size());
    for (SheetParts& parts : sheets)
        finder.sheets.push_back(SheetHandle::make(assemble_sheet(std::move(parts.name), std::move(parts.sheet_state),
                                                                 std::move(parts.merge_cells),
                                                                 std::move(parts.cells))));
    return FinderHandle::make(std::move(finder));
}

std::vector<SheetHandle> finder_sheets(const FinderHandle& finder) { return finder.read()->sheets; }

size_t finder_size(const FinderHandle& finder) { return finder.read()->sheets.size(); }

SheetHandle finder_sheet_at(const FinderHandle& finder, int32_t index) {
    auto r = finder.read();
    if (index < 0 || size_t(index) >= r->sheets.size()) return SheetHandle();
    return r->sheets[size_t(index)];
}

namespace {

// Reads a sheet's name under its reader lock and tests it.
template <class Test>
bool name_satisfies(const SheetHandle& sheet, Test&& test) {
    auto s = sheet.read();
    return test(std::string_view(s->name));
}

template <class Test>
SheetHandle first_named(const FinderRecord& finder, Test&& test) {
    const auto& sheets = finder.sheets;
    const std::optional<size_t> found =
        first_match(sheets.size(), [&](size_t i) { return name_satisfies(sheets[i], test); });
    return found ? sheets[*found] : SheetHandle();
}

}  // namespace

SheetHandle find_sheet_by_name(const FinderHandle& finder, std::string_view name) {
    auto r = finder.read();
    return first_named(*r, [&](std::string_view n) { return n == name; });
}

std::variant<SheetHandle, PatternError> find_sheet_by_regex(const FinderHandle& finder, std::string_view pattern) {
    auto compiled = Pattern::compile(pattern, false);
    if (auto* e = std::get_if<PatternError>(&compiled)) return std::move(*e);
    const Pattern& p = std::get<Pattern>(compiled);
    auto r = finder.read();
    return first_named(*r, [&](std::string_view n) { return p.matches(n); });
}

std::vector<SheetHandle> sheets_by_names(const FinderHandle& finder, std::span<const std::string_view> names,
                                         bool keep_named) {
    auto r = finder.read();
    const auto& sheets = r->sheets;
    const std::vector<size_t> kept = ordered_filter(sheets.size(), [&](size_t i) {
        return name_satisfies(sheets[i], [&](std::string_view n) {
                   return std::find(names.begin(), names.end(), n) != names.end();
               }) == keep_named;
    });
    std::vector<SheetHandle> out;
    out.reserve(kept.size());
    for (size_t i : kept) out.push_back(sheets[i]);
    return out;
}

}  // namespace tablomir
