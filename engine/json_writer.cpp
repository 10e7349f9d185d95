#include "json_writer.hpp"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "memory.hpp"
#include "parallel.hpp"
#include "text.hpp"

namespace tablomir {

// ---- buffer ----

TextBuffer::TextBuffer(TextBuffer&& o) noexcept
    : data_(std::exchange(o.data_, nullptr)), size_(std::exchange(o.size_, 0)),
      capacity_(std::exchange(o.capacity_, 0)), high_bits_(std::exchange(o.high_bits_, 0)) {}

TextBuffer& TextBuffer::operator=(TextBuffer&& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    std::swap(capacity_, o.capacity_);
    std::swap(high_bits_, o.high_bits_);
    return *this;
}

// Small buffers live on the heap; from kLargeBlock on, in mapped huge
// pages that grow by remapping rather than copying.
TextBuffer::~TextBuffer() {
    if (capacity_ >= kLargeBlock) release_large(data_, capacity_);
    else std::free(data_);
}

void TextBuffer::grow(size_t n) {
    constexpr size_t kLimit = size_t(1) << 62;
    if (n > kLimit - size_) throw std::length_error("the document exceeds the largest text a buffer can hold");
    size_t capacity = capacity_ < 4096 ? 4096 : capacity_;
    while (capacity - size_ < n) capacity *= 2;
    void* p;
    if (capacity < kLargeBlock) {
        p = std::realloc(data_, capacity);
        if (!p) throw std::bad_alloc();
    } else if (capacity_ >= kLargeBlock) {
        p = grow_large(data_, capacity_, capacity);
    } else {
        p = allocate_large(capacity);
        if (size_) std::memcpy(p, data_, size_);
        std::free(data_);
    }
    data_ = static_cast<char*>(p);
    capacity_ = capacity;
}

void TextBuffer::append(std::string_view text) {
    char* p = room(text.size());
    if (!text.empty()) std::memcpy(p, text.data(), text.size());
    commit(p + text.size());
}

namespace {

// ---- pieces, written at a position with enough room ----

template <size_t N>
char* put(char* out, const char (&literal)[N]) {
    std::memcpy(out, literal, N - 1);
    return out + N - 1;
}

template <class Int>
char* put_integer(char* out, Int value) {
    return std::to_chars(out, out + 24, value).ptr;
}

char* put_bool(char* out, bool value) { return value ? put(out, "true") : put(out, "false"); }

// "key": for a short key without escapes.
char* put_key(char* out, std::string_view key) {
    *out++ = '"';
    std::memcpy(out, key.data(), key.size());
    out += key.size();
    *out++ = '"';
    *out++ = ':';
    return out;
}

constexpr char kHex[] = "0123456789abcdef";

// Bytes that need an escape: control bytes, the quotation mark, the backslash.
struct EscapeTable {
    bool needs[256] = {};
    constexpr EscapeTable() {
        for (int c = 0; c < 0x20; ++c) needs[c] = true;
        needs[int('"')] = true;
        needs[int('\\')] = true;
    }
};
constexpr EscapeTable kEscape;

// Room for a cell object without its texts: the longest integers, a float
// and the key names.
constexpr size_t kCellRoom = 160;

class Writer {
public:
    explicit Writer(TextBuffer& out) : out_(out) {}

    void sheet(const SheetRecord& s) {
        out_.append("{\"name\":");
        append_json_string(out_, s.name);
        out_.append(",\"sheet_state\":");
        append_json_string(out_, s.sheet_state);
        merge_cells(s);
        cells(s);
        row_dimensions(s);
        column_dimensions(s);
        comments(s);
        out_.append("}");
    }

private:
    void merge_cells(const SheetRecord& s) {
        out_.append(",\"merge_cells\":[");
        bool first = true;
        for (const MergeRange& m : s.merge_cells) {
            char* p = out_.room(64);
            if (!first) *p++ = ',';
            first = false;
            *p++ = '[';
            p = put_integer(p, m.start_row);
            *p++ = ',';
            p = put_integer(p, m.end_row);
            *p++ = ',';
            p = put_integer(p, m.start_col);
            *p++ = ',';
            p = put_integer(p, m.end_col);
            *p++ = ']';
            out_.commit(p);
        }
        out_.append("]");
    }

    void cells(const SheetRecord& s) {
        out_.append(",\"cells\":[");
        // The sheet's read lock is held by the caller, so borrowed references
        // stay valid. They are taken in table order without touching the
        // records, then sorted by coordinate.
        CoordinateEntries<CellHandle::Borrowed> sorted;
        sorted.reserve(s.cells.size());
        for_each_cell(s.cells, [&](uint64_t key, const CellHandle& cell) { sorted.emplace_back(key, cell.borrow()); });
        sort_by_coordinate(sorted);
        out_.reserve(sorted.size() * 64);
        bool first = true;
        for (const auto& entry : sorted) {
            if (!first) out_.append(",");
            first = false;
            cell(*entry.second.read());
        }
        out_.append("]");
    }

    void cell(const CellRecord& c) {
        char* p = out_.room(kCellRoom);
        p = put(p, "{\"row\":");
        p = put_integer(p, c.row());
        p = put(p, ",\"column\":");
        p = put_integer(p, c.column());
        p = put(p, ",\"value\":");
        const CellValue v = c.value();
        switch (tag_of(v)) {
            case ValueTag::Empty: p = put(p, "null"); break;
            case ValueTag::Number: p = write_json_float(p, std::get<double>(v)); break;
            case ValueTag::Integer: p = put_integer(p, std::get<int32_t>(v)); break;
            case ValueTag::Bool: p = put_bool(p, std::get<bool>(v)); break;
            case ValueTag::String:
                out_.commit(p);
                append_json_string(out_, std::get<std::string_view>(v));
                p = out_.room(kCellRoom);
                break;
            case ValueTag::DateTime: {
                std::string text;
                append_datetime(text, std::get<DateTime>(v), 'T');
                out_.commit(p);
                append_json_string(out_, text);
                p = out_.room(kCellRoom);
                break;
            }
        }
        out_.commit(p);
        if (auto formula = c.formula()) {
            out_.append(",\"formula\":");
            append_json_string(out_, *formula);
        }
        out_.append(",\"data_type\":");
        append_json_string(out_, c.data_type());
        if (auto style = c.style()) {
            out_.append(",\"style_id\":");
            append_json_string(out_, *style);
        }
        if (auto hidden = c.hidden_value()) {
            out_.append(",\"hidden_value\":");
            append_json_string(out_, *hidden);
        }
        out_.append("}");
    }

    // `row_dimensions` or `column_dimensions`: the object of the entries
    // (only when there are any) with members named by their number, then the
    // sheet's default size. `fields` reads (number, size) from an entry.
    template <class Table, class Fields>
    void dimensions(std::string_view name, std::string_view table_key, std::string_view number_key,
                    std::string_view size_key, std::string_view default_key, const Table& table, Fields fields,
                    double default_size) {
        char* p = put_key(out_.room(kCellRoom), name);
        *p++ = '{';
        out_.commit(p);
        if (!table.empty()) {
            p = put_key(out_.room(kCellRoom), table_key);
            *p++ = '{';
            out_.commit(p);
            bool first = true;
            for (const auto& entry : table) {
                const auto& d = entry.second;
                const auto [number, size] = fields(d);
                p = out_.room(kCellRoom);
                if (!first) *p++ = ',';
                first = false;
                *p++ = '"';
                p = put_integer(p, number);
                p = put(p, "\":{");
                p = put_key(p, number_key);
                p = put_integer(p, number);
                *p++ = ',';
                p = put_key(p, size_key);
                p = write_json_float(p, size);
                p = put(p, ",\"hidden\":");
                p = put_bool(p, d.hidden);
                p = put(p, ",\"collapsed\":");
                p = put_bool(p, d.collapsed);
                p = put(p, ",\"level\":");
                p = put_integer(p, d.level);
                *p++ = '}';
                out_.commit(p);
            }
            out_.append("},");
        }
        p = put_key(out_.room(kCellRoom), default_key);
        p = write_json_float(p, default_size);
        *p++ = '}';
        out_.commit(p);
    }

    void row_dimensions(const SheetRecord& s) {
        out_.append(",");
        dimensions("row_dimensions", "rows", "row_num", "height", "default_height", s.row_dimensions,
                   [](const RowDimension& d) { return std::pair{d.row_num, d.height}; }, s.default_height);
    }

    void column_dimensions(const SheetRecord& s) {
        out_.append(",");
        dimensions("column_dimensions", "columns", "col_num", "width", "default_width", s.column_dimensions,
                   [](const ColumnDimension& d) { return std::pair{d.col_num, d.width}; }, s.default_width);
    }

    void comments(const SheetRecord& s) {
        out_.append(",\"comments\":[");
        bool first = true;
        for (const CommentHandle& handle : s.comments) {
            auto c = handle.read();
            char* p = out_.room(kCellRoom);
            if (!first) *p++ = ',';
            first = false;
            p = put(p, "{\"row\":");
            p = put_integer(p, c->row);
            p = put(p, ",\"column\":");
            p = put_integer(p, c->column);
            p = put(p, ",\"author\":");
            out_.commit(p);
            append_json_string(out_, c->author);
            out_.append(",\"text\":");
            append_json_string(out_, c->text);
            out_.append("}");
        }
        out_.append("]");
    }

    TextBuffer& out_;
};

}  // namespace

void append_json_string(TextBuffer& out, std::string_view text) {
    // Every byte takes at most six (\u00XX), plus the quotation marks.
    char* p = out.room(text.size() * 6 + 2);
    *p++ = '"';
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t start = 0;
    unsigned char seen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = bytes[i];
        seen |= c;
        if (!kEscape.needs[c]) continue;
        std::memcpy(p, text.data() + start, i - start);
        p += i - start;
        start = i + 1;
        *p++ = '\\';
        switch (c) {
            case '"': *p++ = '"'; break;
            case '\\': *p++ = '\\'; break;
            case 0x08: *p++ = 'b'; break;
            case 0x09: *p++ = 't'; break;
            case 0x0A: *p++ = 'n'; break;
            case 0x0C: *p++ = 'f'; break;
            case 0x0D: *p++ = 'r'; break;
            default:
                *p++ = 'u';
                *p++ = '0';
                *p++ = '0';
                *p++ = kHex[c >> 4];
                *p++ = kHex[c & 0xF];
        }
    }
    std::memcpy(p, text.data() + start, text.size() - start);
    p += text.size() - start;
    *p++ = '"';
    out.commit(p);
    out.note(seen);
}

JsonDocument write_book_json(const BookHandle& book) {
    JsonDocument doc;
    try {
        auto b = book.read();
        TextBuffer& out = doc.text;
        out.append("{\"sheets\":[");
        Writer writer(out);
        bool first = true;
        for (const SheetHandle& sheet : b->sheets) {
            if (!first) out.append(",");
            first = false;
            writer.sheet(*sheet.read());
        }
        out.append("]}");
    } catch (const std::length_error& e) {
        doc.text = TextBuffer();
        doc.error = e.what();
        return doc;
    }
    doc.ok = true;
    return doc;
}

}  // namespace tablomir
