#pragma once
// Text helpers shared by the value model and the JSON writer: full Unicode
// upper-casing and the shortest round-trip digits of a double.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tablomir {

// Full Unicode upper-casing (root locale) of UTF-8 text; one character may
// become several ("ß" gives "SS"). ASCII text takes a fast path.
std::string to_upper(std::string_view utf8);

// True when to_upper(text) == upper, where `upper` is ASCII upper case.
// Avoids any allocation for texts that cannot match.
bool upper_case_equals(std::string_view text, std::string_view upper);

// The shortest decimal digits d1..dn (no trailing zeros) that read back as
// the same double, with value = d1.d2...dn * 10^exponent. Only for finite,
// non-zero values; the sign is not part of the digits.
struct ShortestDigits {
    char digits[20];
    int count;
    int exponent;
};
ShortestDigits shortest_digits(double finite_nonzero);

// The text form of a double: positional notation, never an exponent, no
// decimal point for whole values; "NaN", "inf", "-inf", "-0" as such.
void append_number_text(std::string& out, double value);

// The JSON layout of a double: NaN and infinities give "null"; zero "0.0"
// and "-0.0"; whole numbers with exponent -5..15 as digits and ".0" (20.0);
// positional with a point for exponents -5..15 (22.5, 0.00001); otherwise
// d1.d2...dn followed by e+X or e-X (1e+16, 1.5e-6).
void append_json_float(std::string& out, double value);
// The same into `out`, which must have kJsonFloatMax bytes; returns the end.
inline constexpr size_t kJsonFloatMax = 32;
char* write_json_float(char* out, double value);

// Parses a decimal floating-point text: optional sign, digits with optional
// point and fraction (at least one digit), optional exponent; or the words
// inf, infinity, nan in any case. Overflow gives an infinity and underflow
// zero. Returns false when the text is not such a number.
bool parse_decimal_float(std::string_view text, double& out);

// Parses an optional sign and ASCII digits into a signed 32-bit integer.
// Returns false when the text has another form or the value is out of range.
bool parse_int32(std::string_view text, int32_t& out);

}  // namespace tablomir
