#pragma once
// The Finder record: an ordered collection of read-only sheets, looked up by
// position, exact name, name pattern and name lists. Never changed once built.

#include <cstdint>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "../pattern.hpp"
#include "../shared.hpp"
#include "sheet.hpp"

namespace tablomir {

struct FinderRecord {
    std::vector<SheetHandle> sheets;
};
using FinderHandle = Shared<FinderRecord>;

// The pieces of one read-only sheet, as read from its description.
struct SheetParts {
    std::string name;
    std::string sheet_state;
    std::vector<MergeRange> merge_cells;
    std::vector<std::pair<uint64_t, CellHandle>> cells;  // (packed coordinate, cell), in description order
};

// Builds each sheet record and the Finder holding them, in order.
FinderHandle assemble_finder(std::vector<SheetParts> sheets);

std::vector<SheetHandle> finder_sheets(const FinderHandle& finder);
size_t finder_size(const FinderHandle& finder);

// The sheet at a 0-based position; empty outside [0, size).
SheetHandle finder_sheet_at(const FinderHandle& finder, int32_t index);

// The lowest-positioned sheet whose name equals `name` exactly.
SheetHandle find_sheet_by_name(const FinderHandle& finder, std::string_view name);

// The lowest-positioned sheet whose name contains a match of `pattern`,
// compiled exactly as written.
std::variant<SheetHandle, PatternError> find_sheet_by_regex(const FinderHandle& finder, std::string_view pattern);

// The sheets whose names occur (`keep_named`) or do not occur in `names`,
// in Finder order.
std::vector<SheetHandle> sheets_by_names(const FinderHandle& finder, std::span<const std::string_view> names,
                                         bool keep_named);

}  // namespace tablomir
