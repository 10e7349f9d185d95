#pragma once
// Hash tables with a random seed per table, so iteration order is never
// something callers can come to rely on.

#include <cstddef>
#include <cstdint>

#include <boost/unordered/unordered_flat_map.hpp>

namespace tablomir {

// A fresh seed per call: a process-wide random base mixed with a counter.
uint64_t next_hash_seed() noexcept;

struct SeededHash {
    uint64_t seed = next_hash_seed();
    // The key is mixed with the seed by a full-avalanche finalizer, so the
    // table may use the hash bits directly.
    using is_avalanching = void;
    size_t operator()(uint64_t key) const noexcept {
        uint64_t z = key ^ seed;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return size_t(z ^ (z >> 31));
    }
};

template <class K, class V>
using SeededMap = boost::unordered_flat_map<K, V, SeededHash>;

// For packed coordinates (row << 16 | column). Eight neighbouring columns of
// a row share one table position (a group holds 15 entries), so filling or
// reading a sheet row by row touches a few cache lines per row instead of
// one per cell. The low bits, which the table uses to filter entries within
// a group, still tell those eight apart. Positions stay seeded per table.
struct CoordinateHash {
    uint64_t seed = next_hash_seed();
    using is_avalanching = void;
    size_t operator()(uint64_t key) const noexcept {
        uint64_t z = (key >> 3) ^ seed;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return size_t((z ^ (z >> 31)) ^ (key & 7));
    }
};

}  // namespace tablomir
