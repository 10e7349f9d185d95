#include "text.hpp"

#include <unicode/ucasemap.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>

namespace tablomir {

namespace {

constexpr char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_ascii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

struct CaseMapClose {
    void operator()(UCaseMap* m) const { ucasemap_close(m); }
};

// One root-locale case map per thread: a UCaseMap is not safe to share.
UCaseMap* thread_case_map() {
    thread_local std::unique_ptr<UCaseMap, CaseMapClose> map = [] {
        UErrorCode err = U_ZERO_ERROR;
        UCaseMap* m = ucasemap_open("", 0, &err);
        if (U_FAILURE(err)) {
            if (m) ucasemap_close(m);
            m = nullptr;
        }
        return std::unique_ptr<UCaseMap, CaseMapClose>(m);
    }();
    if (!map) throw std::runtime_error("cannot open the Unicode case map");
    return map.get();
}

// Upper-cases into `dest`; returns the full length of the result, which is
// larger than `capacity` when it did not fit. Ill-formed UTF-8 is copied
// through unchanged.
int32_t icu_upper(char* dest, int32_t capacity, std::string_view src) {
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = ucasemap_utf8ToUpper(thread_case_map(), dest, capacity, src.data(),
                                     int32_t(src.size()), &err);
    if (err == U_BUFFER_OVERFLOW_ERROR) return n;
    if (U_FAILURE(err)) throw std::runtime_error(std::string("upper-casing failed: ") +
                                                 u_errorName(err));
    return n;
}

}  // namespace

std::string to_upper(std::string_view utf8) {
    if (is_ascii(utf8)) {
        std::string out(utf8);
        for (char& c : out) c = ascii_upper(c);
        return out;
    }
    if (utf8.size() > size_t(std::numeric_limits<int32_t>::max() / 3))
        throw std::length_error("text too long to upper-case");
    // One code point upper-cases to at most three, at no more than three
    // times its bytes, so this first guess nearly always fits.
    std::string out(utf8.size() + utf8.size() / 2 + 8, '\0');
    int32_t n = icu_upper(out.data(), int32_t(out.size()), utf8);
    if (size_t(n) > out.size()) {
        out.assign(size_t(n), '\0');
        n = icu_upper(out.data(), int32_t(out.size()), utf8);
    }
    out.resize(size_t(n));
    return out;
}

bool upper_case_equals(std::string_view text, std::string_view upper) {
    // Upper-casing never shortens a text in code points, and a code point
    // takes at most four bytes.
    if (text.size() > 4 * upper.size()) return false;
    if (is_ascii(text)) {
        if (text.size() != upper.size()) return false;
        for (size_t i = 0; i < text.size(); ++i)
            if (ascii_upper(text[i]) != upper[i]) return false;
        return true;
    }
    size_t code_points = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++code_points;
    if (code_points > upper.size()) return false;

    char buf[64];
    if (upper.size() >= sizeof buf) return to_upper(text) == upper;
    // A result that does not fit a buffer longer than `upper` cannot equal it.
    int32_t n = icu_upper(buf, int32_t(sizeof buf), text);
    return size_t(n) == upper.size() && std::memcmp(buf, upper.data(), upper.size()) == 0;
}

namespace {

// Reads the mantissa digits and exponent of a scientific form "d.ddde+XX".
void read_scientific(const char* p, const char* end, ShortestDigits& sd) {
    for (; p < end && *p != 'e'; ++p)
        if (is_digit(*p)) sd.digits[sd.count++] = *p;
    while (sd.count > 1 && sd.digits[sd.count - 1] == '0') --sd.count;
    ++p;  // 'e'
    const bool negative = *p == '-';
    int e = 0;
    for (++p; p < end; ++p) e = e * 10 + (*p - '0');
    sd.exponent = negative ? -e : e;
}

}  // namespace

ShortestDigits shortest_digits(double finite_nonzero) {
    // std::to_chars picks the shorter of the fixed and scientific forms of
    // the shortest round-trip digits. The fixed form of a number below 1e16
    // carries exactly those digits; a longer fixed form shows the exact
    // integer instead, so such values are asked for in scientific form.
    char buf[48];
    const double magnitude = finite_nonzero < 0 ? -finite_nonzero : finite_nonzero;
    char* end = std::to_chars(buf, buf + sizeof buf, magnitude).ptr;
    ShortestDigits sd{};
    const char* point = nullptr;
    for (const char* p = buf; p < end; ++p) {
        if (*p == 'e') {
            read_scientific(buf, end, sd);
            return sd;
        }
        if (*p == '.') point = p;
    }
    const size_t integer_digits = size_t((point ? point : end) - buf);
    if (!point && integer_digits > 16) {
        end = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific).ptr;
        read_scientific(buf, end, sd);
        return sd;
    }
    // Fixed form: "ddd", "ddd.ddd" or "0.000ddd".
    const char* p = buf;
    int leading_zeros = 0;  // zeros after the point before the first digit
    if (buf[0] == '0') {
        p = point + 1;
        while (*p == '0') {
            ++p;
            ++leading_zeros;
        }
        sd.exponent = -1 - leading_zeros;
    } else {
        sd.exponent = int(integer_digits) - 1;
    }
    for (; p < end; ++p)
        if (*p != '.') sd.digits[sd.count++] = *p;
    while (sd.count > 1 && sd.digits[sd.count - 1] == '0') --sd.count;
    return sd;
}

namespace {

// The shorter form of std::to_chars written straight to `out`, when it
// already is the wanted layout: a fixed form with a point (what both
// layouts show for numbers with a fraction, as the fixed form only wins for
// exponents from -5 up), or a whole number of at most 16 digits. Returns
// nullptr when the layout must be built from the digits instead.
char* direct_fixed(char* out, double magnitude, bool& whole) {
    char* end = std::to_chars(out, out + 40, magnitude).ptr;
    bool point = false;
    for (const char* p = out; p < end; ++p) {
        if (*p == 'e') return nullptr;
        if (*p == '.') point = true;
    }
    if (!point && end - out > 16) return nullptr;
    whole = !point;
    return end;
}

}  // namespace

void append_number_text(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    if (value == 0) {
        out += std::signbit(value) ? "-0" : "0";
        return;
    }
    if (value < 0) out += '-';
    char buf[48];
    bool whole = false;
    if (char* end = direct_fixed(buf, std::fabs(value), whole)) {
        out.append(buf, end);
        return;
    }
    const ShortestDigits sd = shortest_digits(value);
    const int n = sd.count, e = sd.exponent;
    if (e >= n - 1) {  // whole number
        out.append(sd.digits, size_t(n));
        out.append(size_t(e - n + 1), '0');
    } else if (e >= 0) {
        out.append(sd.digits, size_t(e + 1));
        out += '.';
        out.append(sd.digits + e + 1, size_t(n - e - 1));
    } else {
        out += "0.";
        out.append(size_t(-e - 1), '0');
        out.append(sd.digits, size_t(n));
    }
}

namespace {
char* put(char* out, const char* text, size_t n) {
    std::memcpy(out, text, n);
    return out + n;
}
char* put_zeros(char* out, int n) {
    std::memset(out, '0', size_t(n));
    return out + n;
}
}  // namespace

char* write_json_float(char* out, double value) {
    if (!std::isfinite(value)) return put(out, "null", 4);
    if (value == 0) return std::signbit(value) ? put(out, "-0.0", 4) : put(out, "0.0", 3);
    if (value < 0) *out++ = '-';
    bool whole = false;
    if (char* end = direct_fixed(out, std::fabs(value), whole)) return whole ? put(end, ".0", 2) : end;
    const ShortestDigits sd = shortest_digits(value);
    const int n = sd.count, e = sd.exponent;
    if (e < -5 || e > 15) {
        *out++ = sd.digits[0];
        if (n > 1) {
            *out++ = '.';
            out = put(out, sd.digits + 1, size_t(n - 1));
        }
        out = put(out, e > 0 ? "e+" : "e-", 2);
        return std::to_chars(out, out + 4, e > 0 ? e : -e).ptr;
    }
    if (e >= n - 1) {  // whole number
        out = put(out, sd.digits, size_t(n));
        out = put_zeros(out, e - n + 1);
        return put(out, ".0", 2);
    }
    if (e >= 0) {
        out = put(out, sd.digits, size_t(e + 1));
        *out++ = '.';
        return put(out, sd.digits + e + 1, size_t(n - e - 1));
    }
    out = put(out, "0.", 2);
    out = put_zeros(out, -e - 1);
    return put(out, sd.digits, size_t(n));
}

void append_json_float(std::string& out, double value) {
    char buf[kJsonFloatMax];
    out.append(buf, write_json_float(buf, value));
}

namespace {

bool equals_ignoring_ascii_case(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return true;
}

}  // namespace

namespace {

// For a number too large or too small for a double: whether its magnitude is
// above one, judged from the decimal exponent of its first non-zero digit
// (relative to the point) plus its exponent. `number` is unsigned and valid.
bool above_one(std::string_view number) {
    size_t i = 0;
    int64_t lead = 0;
    bool seen_nonzero = false;
    for (; i < number.size() && is_digit(number[i]); ++i) {
        if (seen_nonzero) ++lead;
        else if (number[i] != '0') seen_nonzero = true;
    }
    if (i < number.size() && number[i] == '.') {
        int64_t position = 0;
        for (++i; i < number.size() && is_digit(number[i]); ++i) {
            --position;
            if (!seen_nonzero && number[i] != '0') {
                seen_nonzero = true;
                lead = position;
            }
        }
    }
    int64_t exponent = 0;
    if (i < number.size()) {  // at 'e' or 'E'
        ++i;
        const bool negative = number[i] == '-';
        if (number[i] == '+' || number[i] == '-') ++i;
        for (; i < number.size(); ++i)
            if (exponent < 1'000'000'000) exponent = exponent * 10 + (number[i] - '0');
        if (negative) exponent = -exponent;
    }
    return lead + exponent > 0;
}

}  // namespace

bool parse_decimal_float(std::string_view text, double& out) {
    size_t i = 0;
    const size_t size = text.size();
    bool negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const size_t number_start = i;
    if (i < size && !is_digit(text[i]) && text[i] != '.') {
        std::string_view word = text.substr(i);
        if (equals_ignoring_ascii_case(word, "inf") || equals_ignoring_ascii_case(word, "infinity")) {
            out = negative ? -std::numeric_limits<double>::infinity()
                           : std::numeric_limits<double>::infinity();
            return true;
        }
        if (equals_ignoring_ascii_case(word, "nan")) {
            out = negative ? -std::numeric_limits<double>::quiet_NaN()
                           : std::numeric_limits<double>::quiet_NaN();
            return true;
        }
        return false;
    }

    // Digits, optional point and fraction (one digit at least), optional
    // exponent; nothing else.
    size_t digits = 0, fraction_digits = 0;
    uint64_t mantissa = 0;  // exact while digits <= 19
    for (; i < size && is_digit(text[i]); ++i, ++digits) mantissa = mantissa * 10 + uint64_t(text[i] - '0');
    if (i < size && text[i] == '.')
        for (++i; i < size && is_digit(text[i]); ++i, ++digits, ++fraction_digits)
            mantissa = mantissa * 10 + uint64_t(text[i] - '0');
    if (digits == 0) return false;
    bool exponent = false;
    if (i < size && (text[i] == 'e' || text[i] == 'E')) {
        exponent = true;
        ++i;
        if (i < size && (text[i] == '+' || text[i] == '-')) ++i;
        if (i == size || !is_digit(text[i])) return false;
        while (i < size && is_digit(text[i])) ++i;
    }
    if (i != size) return false;

    // At most 15 digits make an integer below 2^53, exact as a double, and
    // a power of ten up to 1e22 is exact too; one IEEE division of the two
    // is then correctly rounded, the same double the full conversion gives.
    if (!exponent && digits <= 15) {
        static constexpr double kPowers[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        const double value = double(mantissa) / kPowers[fraction_digits];
        out = negative ? -value : value;
        return true;
    }

    // from_chars takes no '+', and takes '-' itself; the grammar is checked.
    const char* first = text.data() + (negative ? number_start - 1 : number_start);
    const char* last = text.data() + size;
    double value = 0;
    auto res = std::from_chars(first, last, value, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        const double magnitude = above_one(text.substr(number_start)) ? std::numeric_limits<double>::infinity() : 0.0;
        out = negative ? -magnitude : magnitude;
        return true;
    }
    if (res.ec != std::errc() || res.ptr != last) return false;
    out = value;
    return true;
}

bool parse_int32(std::string_view text, int32_t& out) {
    size_t i = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) return false;
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (!is_digit(c)) return false;
        value = value * 10 + (c - '0');
        if (value > limit) return false;
    }
    out = int32_t(negative ? -value : value);
    return true;
}

}  // namespace tablomir
