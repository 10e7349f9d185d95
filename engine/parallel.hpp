#pragma once
// Data-parallel primitives on the process-wide worker pool. Results depend
// only on positions, never on scheduling or thread count.

#include <algorithm>
#include <array>
#include <atomic>
#include <iterator>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/partitioner.h>

#include "memory.hpp"

namespace tablomir {

// Sequences shorter than this are examined on the calling thread: handing
// them to the pool costs more than it saves.
inline constexpr size_t kInlineBelow = 2048;

namespace detail {

// The pool works on fixed chunks whose size depends on the length alone, so
// the split never depends on the number of threads.
inline size_t chunk_size(size_t n) { return std::max<size_t>(1024, (n + 255) / 256); }

inline void lower_to(std::atomic<size_t>& best, size_t i) {
    size_t seen = best.load(std::memory_order_relaxed);
    while (i < seen && !best.compare_exchange_weak(seen, i, std::memory_order_relaxed)) {
    }
}

}  // namespace detail

// The lowest index i < n for which pred(i) holds. Chunks run in parallel; a
// chunk that starts past a match already found is skipped and a scan stops
// once it passes one, but every index before the result is examined, so the
// result is the same as a sequential scan's.
template <class Pred>
std::optional<size_t> first_match(size_t n, Pred&& pred) {
    if (n < kInlineBelow) {
        for (size_t i = 0; i < n; ++i)
            if (pred(i)) return i;
        return std::nullopt;
    }
    const size_t chunk = detail::chunk_size(n);
    const size_t chunks = (n + chunk - 1) / chunk;
    std::atomic<size_t> best{n};
    oneapi::tbb::parallel_for(
        oneapi::tbb::blocked_range<size_t>(0, chunks, 1),
        [&](const oneapi::tbb::blocked_range<size_t>& r) {
            for (size_t c = r.begin(); c != r.end(); ++c) {
                const size_t begin = c * chunk, end = std::min(n, begin + chunk);
                for (size_t i = begin; i < end; ++i) {
                    if ((i & 63) == 0 && i >= best.load(std::memory_order_relaxed)) return;
                    if (pred(i)) {
                        detail::lower_to(best, i);
                        return;
                    }
                }
            }
        },
        oneapi::tbb::simple_partitioner());
    const size_t found = best.load(std::memory_order_relaxed);
    if (found < n) return found;
    return std::nullopt;
}

// Every f(i) that holds a value, for i < n, in index order. Each chunk fills
// its own buffer; the buffers are joined in chunk order.
template <class T, class F>
std::vector<T> ordered_filter_map(size_t n, F&& f) {
    std::vector<T> out;
    if (n < kInlineBelow) {
        for (size_t i = 0; i < n; ++i)
            if (std::optional<T> v = f(i)) out.push_back(std::move(*v));
        return out;
    }
    const size_t chunk = detail::chunk_size(n);
    const size_t chunks = (n + chunk - 1) / chunk;
    std::vector<std::vector<T>> parts(chunks);
    oneapi::tbb::parallel_for(
        oneapi::tbb::blocked_range<size_t>(0, chunks, 1),
        [&](const oneapi::tbb::blocked_range<size_t>& r) {
            for (size_t c = r.begin(); c != r.end(); ++c) {
                const size_t begin = c * chunk, end = std::min(n, begin + chunk);
                std::vector<T>& part = parts[c];
                for (size_t i = begin; i < end; ++i)
                    if (std::optional<T> v = f(i)) part.push_back(std::move(*v));
            }
        },
        oneapi::tbb::simple_partitioner());
    size_t total = 0;
    for (const auto& part : parts) total += part.size();
    out.reserve(total);
    for (auto& part : parts) std::move(part.begin(), part.end(), std::back_inserter(out));
    return out;
}

// Every index i < n for which pred(i) holds, in index order.
template <class Pred>
std::vector<size_t> ordered_filter(size_t n, Pred&& pred) {
    return ordered_filter_map<size_t>(n, [&](size_t i) -> std::optional<size_t> {
        if (pred(i)) return i;
        return std::nullopt;
    });
}

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
