#include "search.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "parallel.hpp"
#include "text.hpp"
#include "utils.hpp"

namespace tablomir {

std::string_view trim_white_space(std::string_view s) noexcept {
    // The White_Space code points: U+0009..U+000D, U+0020, U+0085, U+00A0,
    // U+1680, U+2000..U+200A, U+2028, U+2029, U+202F, U+205F, U+3000.
    auto ascii = [](unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); };
    auto two = [](unsigned char a, unsigned char b) { return a == 0xC2 && (b == 0x85 || b == 0xA0); };
    auto three = [](unsigned char a, unsigned char b, unsigned char c) {
        if (a == 0xE1) return b == 0x9A && c == 0x80;
        if (a == 0xE2 && b == 0x80) return c <= 0x8A || c == 0xA8 || c == 0xA9 || c == 0xAF;
        if (a == 0xE2) return b == 0x81 && c == 0x9F;
        return a == 0xE3 && b == 0x80 && c == 0x80;
    };
    auto at = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    for (;;) {
        if (!s.empty() && ascii(at(0))) s.remove_prefix(1);
        else if (s.size() >= 2 && two(at(0), at(1))) s.remove_prefix(2);
        else if (s.size() >= 3 && three(at(0), at(1), at(2))) s.remove_prefix(3);
        else break;
    }
    for (;;) {
        const size_t n = s.size();
        if (n >= 1 && ascii(at(n - 1))) s.remove_suffix(1);
        else if (n >= 2 && two(at(n - 2), at(n - 1))) s.remove_suffix(2);
        else if (n >= 3 && three(at(n - 3), at(n - 2), at(n - 1))) s.remove_suffix(3);
        else break;
    }
    return s;
}

namespace {

// Records are reached in an order the hardware cannot predict (a hash map's,
// or a caller's list); asking for a record this far ahead hides most of the
// memory latency.
constexpr size_t kPrefetchAhead = 32;

// One examination: the cell's reader lock is held while `f` reads it.
template <class F>
auto examine(CellList cells, size_t i, F&& f) {
    if (i + kPrefetchAhead < cells.size()) cells[i + kPrefetchAhead].prefetch();
    auto c = cells[i].read();
    return f(*c);
}

// Per-thread buffer for the text forms that must be formatted.
std::string& scratch_text() {
    thread_local std::string text;
    text.clear();
    return text;
}

// Whether the pattern matches the cell's text form. Texts stored in the
// record are matched in place; empty and boolean values have fixed texts
// whose answers the pattern holds; numbers are formatted only when the
// pattern could match a number's text at all.
bool pattern_matches(const CellRecord& c, const Pattern& p) {
    const CellValue v = c.value();
    switch (c.value_tag()) {
        case ValueTag::Empty: return p.matches_empty();
        case ValueTag::Bool: return p.matches_bool(std::get<bool>(v));
        case ValueTag::String: return p.matches(std::get<std::string_view>(v));
        case ValueTag::Number:
        case ValueTag::Integer:
            if (!p.may_match_number_text()) return false;
            break;
        case ValueTag::DateTime: break;
    }
    std::string& text = scratch_text();
    append_text_form(text, v);
    return p.matches(text);
}

// A trimmed search text, with what it can equal worked out once: a number's
// text form only when the text is the canonical form of that double (and
// then equality of texts is equality of the doubles), an integer's only when
// it is the canonical decimal of that integer.
class TextTarget {
public:
    explicit TextTarget(std::string_view value) : text_(trim_white_space(value)) {
        double d = 0;
        if (parse_decimal_float(text_, d)) {
            std::string canonical;
            append_number_text(canonical, d);
            if (canonical == text_) {
                number_ok_ = true;
                number_ = d;
            }
        }
        int32_t i = 0;
        if (parse_int32(text_, i)) {
            char buf[16];
            const auto end = std::to_chars(buf, buf + sizeof buf, i).ptr;
            if (std::string_view(buf, size_t(end - buf)) == text_) {
                integer_ok_ = true;
                integer_ = i;
            }
        }
    }

    bool matches(const CellRecord& c) const {
        const CellValue v = c.value();
        switch (c.value_tag()) {
            case ValueTag::Empty: return text_.empty();
            case ValueTag::Bool: return text_ == (std::get<bool>(v) ? "true" : "false");
            case ValueTag::String: return trim_white_space(std::get<std::string_view>(v)) == text_;
            case ValueTag::Number: {
                if (!number_ok_) return false;
                const double x = std::get<double>(v);
                if (std::isnan(number_)) return std::isnan(x);
                return x == number_ && std::signbit(x) == std::signbit(number_);
            }
            case ValueTag::Integer: return integer_ok_ && std::get<int32_t>(v) == integer_;
            case ValueTag::DateTime: break;
        }
        std::string& text = scratch_text();
        append_text_form(text, v);
        return text == text_;
    }

private:
    std::string_view text_;
    bool number_ok_ = false, integer_ok_ = false;
    double number_ = 0;
    int32_t integer_ = 0;
};

template <class T>
Searched<T> pattern_failure(PatternError& e) {
    Searched<T> out;
    out.error = std::move(e);
    return out;
}

// Runs `search(pattern)` with "(?i)" + regex compiled, or reports the error.
template <class T, class F>
Searched<T> with_pattern(std::string_view regex, F&& search) {
    auto compiled = Pattern::compile(regex, true);
    if (auto* e = std::get_if<PatternError>(&compiled)) return pattern_failure<T>(*e);
    return Searched<T>{search(std::get<Pattern>(compiled)), std::nullopt};
}

template <class T, class F>
Searched<T> with_two_patterns(std::string_view first, std::string_view second, F&& search) {
    auto a = Pattern::compile(first, true);
    if (auto* e = std::get_if<PatternError>(&a)) return pattern_failure<T>(*e);
    auto b = Pattern::compile(second, true);
    if (auto* e = std::get_if<PatternError>(&b)) return pattern_failure<T>(*e);
    return Searched<T>{search(std::get<Pattern>(a), std::get<Pattern>(b)), std::nullopt};
}

// The anchors in list order, stopping after `limit` of them.
std::vector<size_t> detect_anchors(CellList cells, const Pattern& before, const Pattern& after, size_t limit) {
    std::vector<size_t> anchors;
    bool open = false;
    for (size_t i = 0; i < cells.size() && anchors.size() < limit; ++i) {
        const bool anchor = examine(cells, i, [&](const CellRecord& c) {
            return open ? pattern_matches(c, after) : pattern_matches(c, before);
        });
        if (anchor) {
            open = !open;
            anchors.push_back(i);
        }
    }
    return anchors;
}

template <class Number>
bool contains(std::span<const Number> numbers, Number n) {
    return std::find(numbers.begin(), numbers.end(), n) != numbers.end();
}

std::string text_of(const CellRecord& c) {
    std::string text;
    append_text_form(text, c.value());
    return text;
}

}  // namespace

std::optional<size_t> find_cell_by_str(CellList cells, std::string_view value) {
    const TextTarget target(value);
    return first_match(cells.size(), [&](size_t i) { return examine(cells, i, [&](const CellRecord& c) {
                                                          return target.matches(c);
                                                      }); });
}

std::vector<size_t> find_cells_by_str(CellList cells, std::string_view value) {
    const TextTarget target(value);
    return ordered_filter(cells.size(), [&](size_t i) { return examine(cells, i, [&](const CellRecord& c) {
                                                             return target.matches(c);
                                                         }); });
}

Searched<std::optional<size_t>> find_cell_by_regex(CellList cells, std::string_view regex) {
    return with_pattern<std::optional<size_t>>(regex, [&](const Pattern& p) {
        return first_match(cells.size(), [&](size_t i) {
            return examine(cells, i, [&](const CellRecord& c) { return pattern_matches(c, p); });
        });
    });
}

Searched<std::vector<size_t>> find_cells_by_regex(CellList cells, std::string_view regex) {
    return with_pattern<std::vector<size_t>>(regex, [&](const Pattern& p) {
        return ordered_filter(cells.size(), [&](size_t i) {
            return examine(cells, i, [&](const CellRecord& c) { return pattern_matches(c, p); });
        });
    });
}

std::optional<size_t> find_cell_by_coords(CellList cells, uint32_t row, uint16_t col) {
    return first_match(cells.size(), [&](size_t i) {
        return examine(cells, i, [&](const CellRecord& c) { return c.row() == row && c.column() == col; });
    });
}

std::optional<std::string> find_value_by_coords(CellList cells, uint32_t row, uint16_t col) {
    const std::optional<size_t> found = find_cell_by_coords(cells, row, col);
    if (!found) return std::nullopt;
    return text_of(*cells[*found].read());
}

std::optional<size_t> find_cell_by_letter(CellList cells, std::string_view letter) {
    const std::optional<Coordinate> at = read_cell_reference(letter);
    if (!at) return std::nullopt;
    return find_cell_by_coords(cells, at->row, at->column);
}

std::vector<size_t> find_cells_range_rows(CellList cells, uint32_t start_row, uint32_t end_row) {
    return ordered_filter(cells.size(), [&](size_t i) {
        return examine(cells, i, [&](const CellRecord& c) { return start_row <= c.row() && c.row() <= end_row; });
    });
}

std::vector<size_t> find_cells_range_cols(CellList cells, uint16_t start_col, uint16_t end_col) {
    return ordered_filter(cells.size(), [&](size_t i) {
        return examine(cells, i,
                       [&](const CellRecord& c) { return start_col <= c.column() && c.column() <= end_col; });
    });
}

Searched<std::vector<size_t>> find_cells_multi_regex(CellList cells, std::string_view before_regex,
                                                     std::string_view after_regex) {
    return with_two_patterns<std::vector<size_t>>(before_regex, after_regex,
                                                  [&](const Pattern& before, const Pattern& after) {
                                                      return detect_anchors(cells, before, after, cells.size());
                                                  });
}

Searched<std::vector<size_t>> find_cells_between_regex(CellList cells, std::string_view before_regex,
                                                       std::string_view after_regex) {
    return with_two_patterns<std::vector<size_t>>(
        before_regex, after_regex, [&](const Pattern& before, const Pattern& after) -> std::vector<size_t> {
            // Only the first section counts, so detection stops at its end.
            const std::vector<size_t> anchors = detect_anchors(cells, before, after, 2);
            if (anchors.empty()) return {};
            const uint32_t first = cells[anchors[0]].read()->row();
            const uint32_t last = anchors.size() > 1 ? cells[anchors[1]].read()->row() : UINT32_MAX;
            return find_cells_range_rows(cells, first, last);
        });
}

Searched<std::vector<size_t>> find_cells_for_cols_by_regex(CellList cells, std::string_view regex,
                                                           uint32_t row_stop) {
    return with_pattern<std::vector<size_t>>(regex, [&](const Pattern& p) {
        return ordered_filter(cells.size(), [&](size_t i) {
            return examine(cells, i,
                           [&](const CellRecord& c) { return c.row() <= row_stop && pattern_matches(c, p); });
        });
    });
}

Searched<std::vector<size_t>> find_cells_for_rows_by_regex(CellList cells, std::string_view regex,
                                                           uint16_t col_stop) {
    return with_pattern<std::vector<size_t>>(regex, [&](const Pattern& p) {
        return ordered_filter(cells.size(), [&](size_t i) {
            return examine(cells, i,
                           [&](const CellRecord& c) { return c.column() <= col_stop && pattern_matches(c, p); });
        });
    });
}

std::vector<std::string> find_values_by_col_rows(CellList cells, uint16_t col, std::span<const uint32_t> rows) {
    return ordered_filter_map<std::string>(cells.size(), [&](size_t i) {
        return examine(cells, i, [&](const CellRecord& c) -> std::optional<std::string> {
            if (c.column() != col || !contains(rows, c.row())) return std::nullopt;
            return text_of(c);
        });
    });
}

std::vector<std::string> find_values_by_row_cols(CellList cells, uint32_t row, std::span<const uint16_t> cols) {
    return ordered_filter_map<std::string>(cells.size(), [&](size_t i) {
        return examine(cells, i, [&](const CellRecord& c) -> std::optional<std::string> {
            if (c.row() != row || !contains(cols, c.column())) return std::nullopt;
            return text_of(c);
        });
    });
}

std::vector<CellRef> sheet_cell_list(const SheetRecord& sheet, CellOrder order) {
    std::vector<CellRef> list;
    list.reserve(sheet.cells.size());
    if (order == CellOrder::Map) {
        for_each_cell(sheet.cells, [&](uint64_t, const CellHandle& cell) { list.push_back(cell.borrow()); });
        return list;
    }
    CoordinateEntries<CellRef> entries;
    entries.reserve(sheet.cells.size());
    for_each_cell(sheet.cells, [&](uint64_t key, const CellHandle& cell) { entries.emplace_back(key, cell.borrow()); });
    sort_by_coordinate(entries);
    for (const auto& entry : entries) list.push_back(entry.second);
    return list;
}

CellHandle cell_at(const SheetRecord& sheet, Coordinate at) {
    auto it = sheet.cells.find(at.packed());
    return it == sheet.cells.end() ? CellHandle() : it->second;
}

std::optional<std::string> value_text_if_any(const SheetRecord& sheet, Coordinate at) {
    auto it = sheet.cells.find(at.packed());
    if (it == sheet.cells.end()) return std::nullopt;
    return text_of(*it->second.read());
}

}  // namespace tablomir
