#pragma once
// The tagged value of a cell, its text form and the classification of text
// into a value.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace tablomir {

// A date and time of day without time zone, nanosecond resolution.
struct DateTime {
    int32_t year = 1970;
    uint8_t month = 1;   // 1..12
    uint8_t day = 1;     // 1..31
    uint8_t hour = 0;    // 0..23
    uint8_t minute = 0;  // 0..59
    uint8_t second = 0;  // 0..59
    uint32_t nanosecond = 0;  // 0..1999999999: a second or more marks a leap second

    friend bool operator==(const DateTime&, const DateTime&) = default;
};

struct Empty {
    friend bool operator==(const Empty&, const Empty&) = default;
};

// Variant order is the tag: 0 Empty, 1 String, 2 Number, 3 Integer, 4 Bool,
// 5 DateTime. The value is a view: a String borrows its text from wherever
// the value was read (a cell record under its lock, or classified input).
using CellValue = std::variant<Empty, std::string_view, double, int32_t, bool, DateTime>;

enum class ValueTag : uint8_t { Empty = 0, String, Number, Integer, Bool, DateTime };

inline ValueTag tag_of(const CellValue& v) { return ValueTag(v.index()); }

// The data_type code of a variant: "s" for Empty and String, "n" for Number
// and Integer, "b" for Bool, "d" for DateTime.
char type_code(ValueTag tag);

// Classifies text: TRUE/FALSE (full Unicode upper-casing) as Bool, "" as
// Empty, a 32-bit decimal integer as Integer, a decimal float as Number, a
// valid canonical "YYYY-MM-DD HH:MM:SS" as DateTime, anything else as String
// (borrowing `text`).
CellValue classify_text(std::string_view text);

// Reads exactly "YYYY-MM-DD HH:MM:SS" naming a valid calendar date and time.
bool parse_datetime(std::string_view text, DateTime& out);

// The display text of a value, appended to `out`.
void append_text_form(std::string& out, const CellValue& value);
std::string text_form(const CellValue& value);

// "2024-01-31 13:45:00" with an optional ".fff", ".ffffff" or ".fffffffff"
// fraction; `separator` is ' ' for the text form and 'T' for the JSON form.
void append_datetime(std::string& out, const DateTime& dt, char separator);

}  // namespace tablomir
