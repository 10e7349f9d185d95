#pragma once
// Data-parallel primitives on the process-wide worker pool. Results depend
// only on positions, never on scheduling or thread count.

#include <cstdint>
#include <utility>
#include <vector>

#include <oneapi/tbb/parallel_sort.h>

namespace tablomir {

// Sorts (packed coordinate, item) pairs by the packed coordinate, that is by
// row, then column. Keys are unique, so the unstable sort is deterministic.
template <class Item>
void sort_by_coordinate(std::vector<std::pair<uint64_t, Item>>& entries) {
    oneapi::tbb::parallel_sort(entries.begin(), entries.end(),
                               [](const auto& a, const auto& b) { return a.first < b.first; });
}

}  // namespace tablomir
