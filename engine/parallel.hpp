#pragma once
// Data-parallel primitives on the process-wide worker pool. Results depend
// only on positions, never on scheduling or thread count.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include <oneapi/tbb/parallel_for.h>

#include "memory.hpp"

namespace tablomir {

// (packed coordinate, item) pairs; the vector's memory comes from the large
// table allocator, since a sheet's listing can reach tens of megabytes.
template <class Item>
using CoordinateEntries = std::vector<std::pair<uint64_t, Item>, LargeTableAllocator<std::pair<uint64_t, Item>>>;

// Sorts entries by the packed coordinate, that is by row, then column,
// stably. Large inputs take a least-significant-digit radix sort over the
// 48 key bits, byte by byte, skipping bytes that are equal in every key;
// each pass counts and scatters fixed slices of the input on the worker
// pool, so the result never depends on scheduling.
template <class Item>
void sort_by_coordinate(CoordinateEntries<Item>& entries) {
    static_assert(std::is_trivially_copyable_v<Item>, "radix passes move items as bytes");
    using Entry = std::pair<uint64_t, Item>;
    const size_t n = entries.size();
    if (n < 4096) {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.first < b.first; });
        return;
    }
    constexpr size_t kSlices = 64;
    const size_t slice = (n + kSlices - 1) / kSlices;
    using Counts = std::array<size_t, 256>;
    std::vector<Counts> counts(kSlices);

    // Which key bytes differ somewhere: only those need a pass.
    uint64_t all_or = 0, all_and = ~uint64_t(0);
    for (const Entry& e : entries) {
        all_or |= e.first;
        all_and &= e.first;
    }
    const uint64_t varying = all_or ^ all_and;

    // Scratch space for the passes: raw memory, as items move bytewise.
    LargeTableAllocator<Entry> allocator;
    struct Scratch {
        LargeTableAllocator<Entry>& allocator;
        Entry* data;
        size_t n;
        ~Scratch() { allocator.deallocate(data, n); }
    } scratch{allocator, allocator.allocate(n), n};
    Entry* from = entries.data();
    Entry* to = scratch.data;
    for (unsigned shift = 0; shift < 48; shift += 8) {
        if (((varying >> shift) & 0xFF) == 0) continue;
        oneapi::tbb::parallel_for(size_t(0), kSlices, [&](size_t s) {
            Counts& c = counts[s];
            c.fill(0);
            const size_t end = std::min(n, (s + 1) * slice);
            for (size_t i = s * slice; i < end; ++i) ++c[(from[i].first >> shift) & 0xFF];
        });
        // Exclusive prefix over (digit, slice): slice s writes its digit-d
        // entries after those of every smaller digit and of earlier slices.
        size_t offset = 0;
        for (size_t d = 0; d < 256; ++d)
            for (size_t s = 0; s < kSlices; ++s) {
                const size_t count = counts[s][d];
                counts[s][d] = offset;
                offset += count;
            }
        oneapi::tbb::parallel_for(size_t(0), kSlices, [&](size_t s) {
            Counts& next = counts[s];
            const size_t end = std::min(n, (s + 1) * slice);
            for (size_t i = s * slice; i < end; ++i)
                std::memcpy(static_cast<void*>(&to[next[(from[i].first >> shift) & 0xFF]++]), &from[i], sizeof(Entry));
        });
        std::swap(from, to);
    }
    if (from != entries.data()) std::memcpy(static_cast<void*>(entries.data()), from, n * sizeof(Entry));
}

}  // namespace tablomir
