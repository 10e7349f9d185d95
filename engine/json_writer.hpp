#pragma once
// The workbook document: every sheet of a book with its cells, merged
// ranges, dimensions and comments, as one compact JSON text written in one
// pass into one growing buffer.

#include <string>

#include "structs/book.hpp"

namespace tablomir {

struct JsonDocument {
    bool ok = false;
    std::string text;   // the document when ok
    std::string error;  // the writer's description of its failure otherwise
};

JsonDocument write_book_json(const BookHandle& book);

// JSON pieces, exposed for the engine tests.
void append_json_string(std::string& out, std::string_view text);

}  // namespace tablomir
