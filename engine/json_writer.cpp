#include "json_writer.hpp"

#include <charconv>
#include <stdexcept>
#include <vector>

#include "parallel.hpp"
#include "text.hpp"

namespace tablomir {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// Bytes that need an escape: control bytes, the quotation mark, the backslash.
constexpr bool needs_escape(unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }

template <class Int>
void append_integer(std::string& out, Int value) {
    char buf[24];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, size_t(result.ptr - buf));
}

void append_bool(std::string& out, bool value) { out.append(value ? "true" : "false"); }

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}

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
        out_.push_back('}');
    }

private:
    void merge_cells(const SheetRecord& s) {
        out_.append(",\"merge_cells\":[");
        bool first = true;
        for (const MergeRange& m : s.merge_cells) {
            if (!first) out_.push_back(',');
            first = false;
            out_.push_back('[');
            append_integer(out_, m.start_row);
            out_.push_back(',');
            append_integer(out_, m.end_row);
            out_.push_back(',');
            append_integer(out_, m.start_col);
            out_.push_back(',');
            append_integer(out_, m.end_col);
            out_.push_back(']');
        }
        out_.push_back(']');
    }

    void cells(const SheetRecord& s) {
        out_.append(",\"cells\":[");
        // The sheet's read lock is held by the caller, so references into
        // the map stay valid while the sorted list is written.
        std::vector<std::pair<uint64_t, const CellHandle*>> sorted;
        sorted.reserve(s.cells.size());
        for (const auto& entry : s.cells) sorted.emplace_back(entry.first, &entry.second);
        sort_by_coordinate(sorted);
        bool first = true;
        for (const auto& entry : sorted) {
            if (!first) out_.push_back(',');
            first = false;
            cell(*entry.second->read());
        }
        out_.push_back(']');
    }

    void cell(const CellRecord& c) {
        out_.append("{\"row\":");
        append_integer(out_, c.row());
        out_.append(",\"column\":");
        append_integer(out_, c.column());
        out_.append(",\"value\":");
        value(c.value());
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
        out_.push_back('}');
    }

    void value(const CellValue& v) {
        switch (tag_of(v)) {
            case ValueTag::Empty: out_.append("null"); break;
            case ValueTag::String: append_json_string(out_, std::get<std::string_view>(v)); break;
            case ValueTag::Number: append_json_float(out_, std::get<double>(v)); break;
            case ValueTag::Integer: append_integer(out_, std::get<int32_t>(v)); break;
            case ValueTag::Bool: append_bool(out_, std::get<bool>(v)); break;
            case ValueTag::DateTime:
                out_.push_back('"');
                append_datetime(out_, std::get<DateTime>(v), 'T');
                out_.push_back('"');
                break;
        }
    }

    void row_dimensions(const SheetRecord& s) {
        out_.append(",\"row_dimensions\":{");
        if (!s.row_dimensions.empty()) {
            out_.append("\"rows\":{");
            bool first = true;
            for (const auto& [number, d] : s.row_dimensions) {
                if (!first) out_.push_back(',');
                first = false;
                out_.push_back('"');
                append_integer(out_, number);
                out_.append("\":{\"row_num\":");
                append_integer(out_, d.row_num);
                out_.append(",\"height\":");
                append_json_float(out_, d.height);
                dimension_flags(d.hidden, d.collapsed, d.level);
            }
            out_.append("},");
        }
        out_.append("\"default_height\":");
        append_json_float(out_, s.default_height);
        out_.push_back('}');
    }

    void column_dimensions(const SheetRecord& s) {
        out_.append(",\"column_dimensions\":{");
        if (!s.column_dimensions.empty()) {
            out_.append("\"columns\":{");
            bool first = true;
            for (const auto& [number, d] : s.column_dimensions) {
                if (!first) out_.push_back(',');
                first = false;
                out_.push_back('"');
                append_integer(out_, number);
                out_.append("\":{\"col_num\":");
                append_integer(out_, d.col_num);
                out_.append(",\"width\":");
                append_json_float(out_, d.width);
                dimension_flags(d.hidden, d.collapsed, d.level);
            }
            out_.append("},");
        }
        out_.append("\"default_width\":");
        append_json_float(out_, s.default_width);
        out_.push_back('}');
    }

    void dimension_flags(bool hidden, bool collapsed, uint32_t level) {
        out_.append(",\"hidden\":");
        append_bool(out_, hidden);
        out_.append(",\"collapsed\":");
        append_bool(out_, collapsed);
        out_.append(",\"level\":");
        append_integer(out_, level);
        out_.push_back('}');
    }

    void comments(const SheetRecord& s) {
        out_.append(",\"comments\":[");
        bool first = true;
        for (const CommentHandle& handle : s.comments) {
            if (!first) out_.push_back(',');
            first = false;
            auto c = handle.read();
            out_.append("{\"row\":");
            append_integer(out_, c->row);
            out_.append(",\"column\":");
            append_integer(out_, c->column);
            out_.append(",\"author\":");
            append_json_string(out_, c->author);
            out_.append(",\"text\":");
            append_json_string(out_, c->text);
            out_.push_back('}');
        }
        out_.push_back(']');
    }

    std::string& out_;
};

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
    out.push_back('"');
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!needs_escape(c)) continue;
        out.append(text.data() + start, i - start);
        start = i + 1;
        char escape[6] = {'\\', 0, 0, 0, 0, 0};
        size_t length = 2;
        switch (c) {
            case '"': escape[1] = '"'; break;
            case '\\': escape[1] = '\\'; break;
            case 0x08: escape[1] = 'b'; break;
            case 0x09: escape[1] = 't'; break;
            case 0x0A: escape[1] = 'n'; break;
            case 0x0C: escape[1] = 'f'; break;
            case 0x0D: escape[1] = 'r'; break;
            default:
                escape[1] = 'u';
                escape[2] = '0';
                escape[3] = '0';
                escape[4] = kHex[c >> 4];
                escape[5] = kHex[c & 0xF];
                length = 6;
        }
        out.append(escape, length);
    }
    out.append(text.data() + start, text.size() - start);
    out.push_back('"');
}

JsonDocument write_book_json(const BookHandle& book) {
    JsonDocument doc;
    std::string& out = doc.text;
    try {
        auto b = book.read();
        out.append("{\"sheets\":[");
        Writer writer(out);
        bool first = true;
        for (const SheetHandle& sheet : b->sheets) {
            if (!first) out.push_back(',');
            first = false;
            writer.sheet(*sheet.read());
        }
        out.append("]}");
    } catch (const std::length_error& e) {
        // The document outgrew the largest text the buffer can hold.
        doc.text = std::string();
        doc.error = e.what();
        return doc;
    }
    doc.ok = true;
    return doc;
}

}  // namespace tablomir
