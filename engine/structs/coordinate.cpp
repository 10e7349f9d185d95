#include "structs/coordinate.hpp"

namespace tablomir {

std::string Coordinate::debug_text() const {
    std::string out = "Coordinate { row: ";
    out += std::to_string(row);
    out += ", column: ";
    out += std::to_string(column);
    out += " }";
    return out;
}

}  // namespace tablomir
