#pragma once
// Column letters, letter coordinates and cell reference reading.

#include <optional>
#include <string>
#include <string_view>

#include "structs/coordinate.hpp"

namespace tablomir {

// Bijective base 26: 1 "A", 26 "Z", 27 "AA", 65535 "CRXO"; 0 gives "".
void append_column_letters(std::string& out, uint16_t column);
std::string column_letters(uint16_t column);

// Column letters immediately followed by the row in decimal: (3, 2) gives "B3".
std::string letter_coordinate(uint32_t row, uint16_t column);

// Reads "B3", "$B$3", "b3", "AB012" (after full Unicode upper-casing) into a
// coordinate; text after a complete reference is ignored. Returns nothing
// when the text names no column or no row, or the row exceeds 32 bits.
std::optional<Coordinate> read_cell_reference(std::string_view text);

}  // namespace tablomir
