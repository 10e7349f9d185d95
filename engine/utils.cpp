#include "utils.hpp"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>
#include <stdexcept>

#include "text.hpp"

namespace tablomir {

void append_column_letters(std::string& out, uint16_t column) {
    // At most four letters: 65535 is "CRXO".
    char buf[8];
    char* start = buf + sizeof buf;
    unsigned n = column;
    while (n > 0) {
        unsigned d = n - 1;
        *--start = char('A' + d % 26);
        n = d / 26;
    }
    out.append(start, buf + sizeof buf);
}

std::string column_letters(uint16_t column) {
    std::string out;
    append_column_letters(out, column);
    return out;
}

std::string letter_coordinate(uint32_t row, uint16_t column) {
    std::string out;
    append_column_letters(out, column);
    out += std::to_string(row);
    return out;
}

namespace {

// Groups: 3 the column letters, 6 the row digits; each part may carry '$'.
constexpr char kReferencePattern[] = R"(((\$)?([A-Z]{1,3}))?((\$)?([0-9]+))?)";

pcre2_code* compile_reference_pattern() {
    int error_code = 0;
    PCRE2_SIZE error_offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kReferencePattern),
                                     PCRE2_ZERO_TERMINATED, 0, &error_code, &error_offset,
                                     nullptr);
    if (code == nullptr) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(error_code, message, sizeof message);
        throw std::logic_error(std::string("cell reference pattern does not compile: ") +
                               reinterpret_cast<const char*>(message));
    }
    // Without JIT support the interpreter runs the same pattern, so a JIT
    // failure is not an error.
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    return code;
}

// Compiled once per process (the static's initialisation is thread-safe) and
// never freed, so threads still running at exit can keep using it.
const pcre2_code* reference_pattern() {
    static const pcre2_code* const code = compile_reference_pattern();
    return code;
}

struct MatchDataFree {
    void operator()(pcre2_match_data* md) const { pcre2_match_data_free(md); }
};

pcre2_match_data* thread_match_data() {
    thread_local std::unique_ptr<pcre2_match_data, MatchDataFree> md(
        pcre2_match_data_create_from_pattern(reference_pattern(), nullptr));
    if (!md) throw std::bad_alloc();
    return md.get();
}

bool group_span(const PCRE2_SIZE* ovector, int rc, int group, size_t& begin, size_t& end) {
    if (group >= rc || ovector[2 * group] == PCRE2_UNSET) return false;
    begin = ovector[2 * group];
    end = ovector[2 * group + 1];
    return true;
}

}  // namespace

std::optional<Coordinate> read_cell_reference(std::string_view text) {
    const pcre2_code* code = reference_pattern();
    pcre2_match_data* md = thread_match_data();
    const std::string upper = to_upper(text);
    int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(upper.data()), upper.size(), 0, 0,
                         md, nullptr);
    if (rc < 0) return std::nullopt;  // cannot happen: the pattern matches the empty text
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(md);

    size_t b = 0, e = 0;
    if (!group_span(ovector, rc, 3, b, e)) return std::nullopt;
    unsigned column = 0;  // at most three letters: "ZZZ" is 18278
    for (size_t i = b; i < e; ++i) column = column * 26 + unsigned(upper[i] - 'A' + 1);

    if (!group_span(ovector, rc, 6, b, e)) return std::nullopt;
    uint64_t row = 0;
    for (size_t i = b; i < e; ++i) {
        row = row * 10 + unsigned(upper[i] - '0');
        if (row > UINT32_MAX) return std::nullopt;
    }
    return Coordinate{uint32_t(row), uint16_t(column)};
}

}  // namespace tablomir
