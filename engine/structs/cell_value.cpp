#include "structs/cell_value.hpp"

#include <charconv>

#include "text.hpp"

namespace tablomir {

char type_code(ValueTag tag) {
    switch (tag) {
        case ValueTag::Number:
        case ValueTag::Integer:
            return 'n';
        case ValueTag::Bool:
            return 'b';
        case ValueTag::DateTime:
            return 'd';
        case ValueTag::Empty:
        case ValueTag::String:
            break;
    }
    return 's';
}

CellValue classify_text(std::string_view text) {
    // Only a text starting with a letter that upper-cases to T or F, or with
    // a non-ASCII character (which may upper-case to one), can read as a bool.
    const unsigned char first = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
    if (first >= 0x80 || first == 't' || first == 'T' || first == 'f' || first == 'F') {
        if (upper_case_equals(text, "TRUE")) return CellValue(std::in_place_type<bool>, true);
        if (upper_case_equals(text, "FALSE")) return CellValue(std::in_place_type<bool>, false);
    }
    if (text.empty()) return Empty{};
    int32_t integer = 0;
    if (parse_int32(text, integer)) return CellValue(std::in_place_type<int32_t>, integer);
    double number = 0;
    if (parse_decimal_float(text, number)) return CellValue(std::in_place_type<double>, number);
    DateTime dt;
    if (parse_datetime(text, dt)) return dt;
    return CellValue(std::in_place_type<std::string_view>, text);
}

namespace {

bool is_leap_year(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int64_t year, unsigned month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

// Reads `width` ASCII digits at `pos`.
bool read_digits(std::string_view text, size_t pos, size_t width, unsigned& value) {
    value = 0;
    for (size_t i = pos; i < pos + width; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + unsigned(c - '0');
    }
    return true;
}

void append_padded(std::string& out, uint64_t value, int width) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    for (int pad = width - int(res.ptr - buf); pad > 0; --pad) out += '0';
    out.append(buf, res.ptr);
}

}  // namespace

bool parse_datetime(std::string_view text, DateTime& out) {
    // "YYYY-MM-DD HH:MM:SS"
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':')
        return false;
    unsigned year, month, day, hour, minute, second;
    if (!read_digits(text, 0, 4, year) || !read_digits(text, 5, 2, month) ||
        !read_digits(text, 8, 2, day) || !read_digits(text, 11, 2, hour) ||
        !read_digits(text, 14, 2, minute) || !read_digits(text, 17, 2, second))
        return false;
    if (month < 1 || month > 12 || day < 1 || int(day) > days_in_month(year, month) ||
        hour > 23 || minute > 59 || second > 59)
        return false;
    out = DateTime{int32_t(year), uint8_t(month), uint8_t(day), uint8_t(hour),
                   uint8_t(minute), uint8_t(second), 0};
    return true;
}

void append_datetime(std::string& out, const DateTime& dt, char separator) {
    if (dt.year >= 0 && dt.year <= 9999) {
        append_padded(out, uint64_t(dt.year), 4);
    } else {
        out += dt.year < 0 ? '-' : '+';
        const int64_t year = dt.year;
        append_padded(out, uint64_t(year < 0 ? -year : year), 4);
    }
    out += '-';
    append_padded(out, dt.month, 2);
    out += '-';
    append_padded(out, dt.day, 2);
    out += separator;
    append_padded(out, dt.hour, 2);
    out += ':';
    append_padded(out, dt.minute, 2);
    out += ':';
    // A nanosecond count of a second or more marks a leap second, shown as
    // second 60 with the remainder as its fraction.
    uint32_t fraction = dt.nanosecond;
    if (fraction >= 1'000'000'000) {
        out += "60";
        fraction -= 1'000'000'000;
    } else {
        append_padded(out, dt.second, 2);
    }
    if (fraction == 0) return;
    out += '.';
    if (fraction % 1'000'000 == 0)
        append_padded(out, fraction / 1'000'000, 3);
    else if (fraction % 1'000 == 0)
        append_padded(out, fraction / 1'000, 6);
    else
        append_padded(out, fraction, 9);
}

void append_text_form(std::string& out, const CellValue& value) {
    switch (tag_of(value)) {
        case ValueTag::Empty:
            break;
        case ValueTag::String:
            out += std::get<std::string_view>(value);
            break;
        case ValueTag::Number:
            append_number_text(out, std::get<double>(value));
            break;
        case ValueTag::Integer: {
            char buf[16];
            auto res = std::to_chars(buf, buf + sizeof buf, std::get<int32_t>(value));
            out.append(buf, res.ptr);
            break;
        }
        case ValueTag::Bool:
            out += std::get<bool>(value) ? "true" : "false";
            break;
        case ValueTag::DateTime:
            append_datetime(out, std::get<DateTime>(value), ' ');
            break;
    }
}

std::string text_form(const CellValue& value) {
    std::string out;
    append_text_form(out, value);
    return out;
}

}  // namespace tablomir
