#pragma once
// A cell position: row (unsigned 32-bit) and column (unsigned 16-bit), 1-based
// by convention; 0 is accepted and stored like any other number.

#include <cstdint>
#include <string>

namespace tablomir {

struct Coordinate {
    uint32_t row = 0;
    uint16_t column = 0;

    friend bool operator==(const Coordinate&, const Coordinate&) = default;

    // Packs the pair into one integer whose natural order is (row, column).
    constexpr uint64_t packed() const { return (uint64_t(row) << 16) | column; }
    static constexpr Coordinate unpack(uint64_t key) {
        return Coordinate{uint32_t(key >> 16), uint16_t(key & 0xFFFF)};
    }

    // "Coordinate { row: 3, column: 2 }", the text object representations embed.
    std::string debug_text() const;
};

}  // namespace tablomir
