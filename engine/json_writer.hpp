#pragma once
// The workbook document: every sheet of a book with its cells, merged
// ranges, dimensions and comments, as one compact JSON text written in one
// pass into one growing buffer.

#include <cstddef>
#include <string>
#include <string_view>

#include "structs/book.hpp"

namespace tablomir {

// A growing byte buffer. Large buffers grow with realloc, which can move
// whole pages instead of copying them.
class TextBuffer {
public:
    TextBuffer() noexcept = default;
    TextBuffer(TextBuffer&& o) noexcept;
    TextBuffer& operator=(TextBuffer&& o) noexcept;
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;
    ~TextBuffer();

    std::string_view view() const noexcept { return {data_, size_}; }

    // A write position with room for at least `n` bytes; `commit` the end.
    char* room(size_t n) {
        if (capacity_ - size_ < n) grow(n);
        return data_ + size_;
    }
    void commit(char* end) noexcept { size_ = size_t(end - data_); }
    void append(std::string_view text);
    void reserve(size_t n) { room(n); }

    // Whether every byte written is ASCII; texts from records report their
    // bytes through `note`, everything else the writer adds is ASCII.
    bool ascii() const noexcept { return (high_bits_ & 0x80) == 0; }
    void note(unsigned char bits) noexcept { high_bits_ |= bits; }

private:
    void grow(size_t n);
    char* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    unsigned char high_bits_ = 0;
};

struct JsonDocument {
    bool ok = false;
    TextBuffer text;    // the document when ok
    std::string error;  // the writer's description of its failure otherwise
};

JsonDocument write_book_json(const BookHandle& book);

// A JSON string: quotation marks, backslashes and control bytes escaped,
// everything else (0x7F and UTF-8 included) as it is.
void append_json_string(TextBuffer& out, std::string_view text);

}  // namespace tablomir
