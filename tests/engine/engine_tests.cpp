// Checks of the engine's value model, text helpers and coordinates.
// A plain program: prints each failure and a final "N passed, N failed" line;
// the exit code is non-zero when anything failed.

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <oneapi/tbb/global_control.h>

#include "parallel.hpp"
#include "pattern.hpp"
#include "search.hpp"
#include "shared.hpp"
#include "structs/cell.hpp"
#include "structs/cell_value.hpp"
#include "structs/coordinate.hpp"
#include "text.hpp"
#include "utils.hpp"

using namespace tablomir;

namespace {

int passed = 0;
int failed = 0;

// Makes control and non-ASCII bytes visible in failure messages.
std::string show(std::string_view s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += char(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out + "\"";
}

void check(bool ok, const std::string& what) {
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAIL %s\n", what.c_str());
    }
}

void check_text(const std::string& actual, std::string_view expected, const std::string& what) {
    check(actual == expected, what + ": got " + show(actual) + ", expected " + show(expected));
}

std::string show_double(double d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g (bits %016llx)", d,
                  static_cast<unsigned long long>(std::bit_cast<uint64_t>(d)));
    return buf;
}

bool same_bits(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

std::string number_text(double d) {
    std::string s;
    append_number_text(s, d);
    return s;
}

std::string json_float(double d) {
    std::string s;
    append_json_float(s, d);
    return s;
}

std::string datetime_text(const DateTime& dt, char sep) {
    std::string s;
    append_datetime(s, dt, sep);
    return s;
}

constexpr double kInf = std::numeric_limits<double>::infinity();

// ---------------------------------------------------------------------------

// Runs first so that the pattern and the case maps see their first use from
// several threads at once.
void test_concurrent_first_use() {
    struct Case {
        std::string_view text;
        std::optional<Coordinate> expected;
    };
    const std::vector<Case> cases = {
        {"B3", Coordinate{3, 2}}, {"ẞc\u017F7", std::nullopt}, {"xfd1048576", Coordinate{1048576, 16384}},
        {"straße", std::nullopt}, {"$Ab$12", Coordinate{12, 28}},
    };
    std::vector<std::thread> threads;
    std::vector<int> wrong(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 2000; ++round) {
                for (const Case& c : cases)
                    if (read_cell_reference(c.text) != c.expected) ++wrong[t];
                if (to_upper("straße") != "STRASSE") ++wrong[t];
                if (!upper_case_equals("falſe", "FALSE")) ++wrong[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < 8; ++t)
        check(wrong[t] == 0, "thread " + std::to_string(t) + " saw " + std::to_string(wrong[t]) +
                                 " wrong results");
}

void test_coordinates() {
    check_text(Coordinate{3, 2}.debug_text(), "Coordinate { row: 3, column: 2 }", "debug_text");
    check_text(Coordinate{4294967295u, 65535}.debug_text(),
               "Coordinate { row: 4294967295, column: 65535 }", "debug_text extremes");

    const struct {
        uint16_t column;
        std::string_view letters;
    } letters[] = {
        {0, ""},     {1, "A"},      {26, "Z"},     {27, "AA"},     {28, "AB"},     {52, "AZ"},
        {53, "BA"},  {702, "ZZ"},   {703, "AAA"},  {16384, "XFD"}, {18278, "ZZZ"}, {18279, "AAAA"},
        {65535, "CRXO"},
    };
    for (const auto& c : letters) {
        check_text(column_letters(c.column), c.letters, "column_letters(" + std::to_string(c.column) + ")");
        std::string appended = "x";
        append_column_letters(appended, c.column);
        std::string expected = "x";
        expected += c.letters;
        check_text(appended, expected, "append_column_letters keeps prefix");
    }

    const struct {
        uint32_t row;
        uint16_t column;
        std::string_view text;
    } coords[] = {
        {3, 2, "B3"}, {0, 1, "A0"}, {7, 0, "7"}, {0, 0, "0"}, {4294967295u, 16384, "XFD4294967295"},
    };
    for (const auto& c : coords)
        check_text(letter_coordinate(c.row, c.column), c.text, "letter_coordinate");

    // Every column that fits three letters reads back from its own letters,
    // in upper and lower case.
    int mismatches = 0;
    for (unsigned col = 1; col <= 18278; ++col) {
        std::string ref = letter_coordinate(col * 7 + 1, uint16_t(col));
        std::string lower = ref;
        for (char& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
        const Coordinate want{col * 7 + 1, uint16_t(col)};
        if (read_cell_reference(ref) != want || read_cell_reference(lower) != want) ++mismatches;
    }
    check(mismatches == 0, "letter_coordinate / read_cell_reference round trip: " +
                               std::to_string(mismatches) + " mismatches");
}

void test_read_cell_reference() {
    const struct {
        std::string_view text;
        uint32_t row;
        uint16_t column;
    } found[] = {
        {"A1", 1, 1},
        {"$AB$12", 12, 28},
        {"AB$12", 12, 28},
        {"$AB12", 12, 28},
        {"xfd1048576", 1048576, 16384},
        {"A0", 0, 1},
        {"A007", 7, 1},
        {"B3C4", 3, 2},
        {"B3 total", 3, 2},
        {"zzz4294967295", 4294967295u, 18278},
        {"A00000000000000000004294967295", 4294967295u, 1},
        {"\u017F1", 1, 19},     // long s upper-cases to S
        {"\u017F\u017F1", 1, 19 * 26 + 19},
    };
    for (const auto& c : found) {
        auto got = read_cell_reference(c.text);
        check(got == Coordinate{c.row, c.column},
              "read_cell_reference(" + show(c.text) + ") = " + (got ? got->debug_text() : "nothing"));
    }

    const std::string_view missing[] = {
        "",     "A",    "12",   "3B",    " A1",         "-B3",  "ÄB3",  "ABCD1",
        "A4294967296", "A99999999999999999999", "$", "$$A1", "A$", "$1",
        "ẞ1",  // capital sharp s stays itself: no letter A-Z
    };
    for (std::string_view text : missing) {
        auto got = read_cell_reference(text);
        check(!got, "read_cell_reference(" + show(text) + ") should find nothing, got " +
                        (got ? got->debug_text() : ""));
    }
    // Upper-casing runs before matching: "ß1" reads as "SS1".
    check(read_cell_reference("ß1") == Coordinate{1, 19 * 26 + 19}, "ß1 reads as SS1");
}

void test_to_upper() {
    const struct {
        std::string_view in, out;
    } cases[] = {
        {"", ""},
        {"abc xyz 09 @[`{", "ABC XYZ 09 @[`{"},
        {"Straße", "STRASSE"},
        {"\u017F", "S"},
        {"héllo", "HÉLLO"},
        {"\uFB01x", "FIX"},                  // ligature fi expands
        {"\u0390", "\u0399\u0308\u0301"},    // one code point becomes three
        {std::string_view("a\0b", 3), std::string_view("A\0B", 3)},
        {"a\xFF" "b\xC3", "A\xFF" "B\xC3"},  // ill-formed bytes pass through
    };
    for (const auto& c : cases) check_text(to_upper(c.in), c.out, "to_upper(" + show(c.in) + ")");

    // Long non-ASCII text whose upper case is longer than the first guess.
    std::string many;
    std::string many_upper;
    for (int i = 0; i < 1000; ++i) {
        many += "\u0390";
        many_upper += "\u0399\u0308\u0301";
    }
    check(to_upper(many) == many_upper, "to_upper of a long expanding text");

    const struct {
        std::string_view text, upper;
        bool equal;
    } eq[] = {
        {"true", "TRUE", true},     {"True", "TRUE", true},    {"tRuE", "TRUE", true},
        {"TRUE", "TRUE", true},     {"false", "FALSE", true},  {"fal\u017Fe", "FALSE", true},
        {"\uFB01", "FI", true},     {"tru", "TRUE", false},    {"truee", "TRUE", false},
        {"", "TRUE", false},        {"", "", true},            {"tr\u00FCe", "TRUE", false},
        {"\uFF34\uFF32\uFF35\uFF25", "TRUE", false},           // full-width letters stay full width
        {"true ", "TRUE", false},   {"t\0ue", "TRUE", false},  {"fal\u017F\u017F", "FALSE", false},
        {"\u0390\u0390", "FALSE", false},
    };
    for (const auto& c : eq)
        check(upper_case_equals(c.text, c.upper) == c.equal,
              "upper_case_equals(" + show(c.text) + ", " + show(c.upper) + ")");
    check(!upper_case_equals(std::string(100, 'a'), "TRUE"), "long text never equals TRUE");
    // An `upper` longer than the stack buffer still compares correctly.
    const std::string long_upper = std::string(70, 'S');
    check(upper_case_equals(std::string(70, 's'), long_upper), "70 ASCII letters");
    std::string long_s;
    for (int i = 0; i < 70; ++i) long_s += "\u017F";
    check(upper_case_equals(long_s, long_upper), "70 long s");
}

void test_shortest_digits() {
    const struct {
        double value;
        std::string_view digits;
        int exponent;
    } cases[] = {
        {1.5, "15", 0},     {1e20, "1", 20},           {1e-7, "1", -7},    {22.5, "225", 1},
        {-22.5, "225", 1},  {0.1, "1", -1},            {100, "1", 2},      {5e-324, "5", -324},
        {123456.789, "123456789", 5},                  {1.7976931348623157e308, "17976931348623157", 308},
        {2.2250738585072014e-308, "22250738585072014", -308},          {9007199254740993.0, "9007199254740992", 15},
    };
    for (const auto& c : cases) {
        ShortestDigits sd = shortest_digits(c.value);
        std::string digits(sd.digits, size_t(sd.count));
        check(digits == c.digits && sd.exponent == c.exponent,
              "shortest_digits(" + show_double(c.value) + ") = " + digits + "e" + std::to_string(sd.exponent));
    }
}

void test_number_text() {
    const std::string max_text = "17976931348623157" + std::string(292, '0');
    const std::string min_text = "0." + std::string(323, '0') + "5";
    const struct {
        double value;
        std::string_view text;
    } cases[] = {
        {2.0, "2"},
        {1e20, "100000000000000000000"},
        {1e-7, "0.0000001"},
        {1.5, "1.5"},
        {-2.5, "-2.5"},
        {123456.789, "123456.789"},
        {0.1, "0.1"},
        {-0.001, "-0.001"},
        {1e21, "1000000000000000000000"},
        {2147483648.0, "2147483648"},
        {5e-324, min_text},
        {1.7976931348623157e308, max_text},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
        {kInf, "inf"},
        {-kInf, "-inf"},
        {-0.0, "-0"},
        {0.0, "0"},
    };
    for (const auto& c : cases) check_text(number_text(c.value), c.text, "number text of " + show_double(c.value));
    std::string appended = "x=";
    append_number_text(appended, 1.5);
    check_text(appended, "x=1.5", "append_number_text appends");
}

void test_json_float() {
    const struct {
        double value;
        std::string_view text;
    } cases[] = {
        {std::numeric_limits<double>::quiet_NaN(), "null"},
        {kInf, "null"},
        {-kInf, "null"},
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {20, "20.0"},
        {100, "100.0"},
        {1, "1.0"},
        {-7, "-7.0"},
        {1e15, "1000000000000000.0"},
        {123456789012.375, "123456789012.375"},
        {22.5, "22.5"},
        {1.25, "1.25"},
        {0.5, "0.5"},
        {0.00001, "0.00001"},
        {0.000012345, "0.000012345"},
        {-0.000015, "-0.000015"},
        {1e16, "1e+16"},
        {1.2345e16, "1.2345e+16"},
        {0.0000015, "1.5e-6"},
        {0.000001, "1e-6"},
        {1.5e100, "1.5e+100"},
        {-1.5e100, "-1.5e+100"},
        {5e-324, "5e-324"},
        {1.7976931348623157e308, "1.7976931348623157e+308"},
        {123456789012345680000.0, "1.2345678901234568e+20"},
    };
    for (const auto& c : cases) check_text(json_float(c.value), c.text, "JSON float of " + show_double(c.value));
}

// Both text forms must read back to the identical double, through the
// standard parsers and through parse_decimal_float.
void test_float_round_trips() {
    std::mt19937_64 rng(20240131);
    std::vector<double> values;
    for (int i = 0; i < 200000; ++i) {
        double d = std::bit_cast<double>(rng());
        if (std::isfinite(d)) values.push_back(d);
    }
    // Values near the layout boundaries, whole numbers and tiny subnormals.
    for (int e = -323; e <= 308; ++e) {
        double p = std::pow(10.0, e);
        values.push_back(p);
        values.push_back(std::nextafter(p, 0.0));
        if (e < 308) values.push_back(std::nextafter(p, kInf));
        values.push_back(-p * 1.5);
    }
    for (int i = 0; i < 20000; ++i) values.push_back(double(int64_t(rng() >> (rng() % 64))));
    for (uint64_t bits = 1; bits < 2000; ++bits) values.push_back(std::bit_cast<double>(bits));
    // Magnitudes where the fixed and the scientific form compete in length.
    std::uniform_real_distribution<double> exponent(-7.0, 22.0);
    for (int i = 0; i < 100000; ++i) {
        double d = std::pow(10.0, exponent(rng));
        values.push_back(d);
        values.push_back(std::round(d));
        values.push_back(std::round(d * 100) / 100);
    }

    // shortest_digits reads the fixed form where it can; the scientific form
    // of std::to_chars is the reference for the digits and the exponent.
    int bad_digits = 0;
    for (double d : values) {
        if (d == 0) continue;
        char buf[48];
        char* end = std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::scientific).ptr;
        std::string mantissa;
        const char* p = buf;
        for (; *p != 'e'; ++p)
            if (*p != '.') mantissa += *p;
        while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();
        const int e = std::atoi(std::string(p + 1, size_t(end - p - 1)).c_str());
        ShortestDigits sd = shortest_digits(d);
        if ((std::string(sd.digits, size_t(sd.count)) != mantissa || sd.exponent != e) && bad_digits++ == 0)
            check(false, "shortest_digits(" + show_double(d) + ") = " + std::string(sd.digits, size_t(sd.count)) +
                             "e" + std::to_string(sd.exponent) + ", expected " + mantissa + "e" + std::to_string(e));
    }
    check(bad_digits == 0, "shortest_digits agrees with the scientific form: " + std::to_string(bad_digits) +
                               " differences");

    int bad_json = 0, bad_text = 0, bad_parse = 0;
    std::string first_bad;
    for (double d : values) {
        const std::string json = json_float(d);
        char* end = nullptr;
        const double by_strtod = std::strtod(json.c_str(), &end);
        double by_from_chars = 0;
        auto res = std::from_chars(json.data(), json.data() + json.size(), by_from_chars);
        const bool json_ok = end == json.c_str() + json.size() && same_bits(by_strtod, d) &&
                             res.ec == std::errc() && same_bits(by_from_chars, d) &&
                             json.find_first_of(".e") != std::string::npos;  // never a bare integer
        if (!json_ok && bad_json++ == 0) first_bad += "JSON " + json + " for " + show_double(d) + "; ";

        const std::string text = number_text(d);
        double from_text = 0;
        res = std::from_chars(text.data(), text.data() + text.size(), from_text);
        const bool text_ok = res.ec == std::errc() && res.ptr == text.data() + text.size() &&
                             same_bits(from_text, d) && text.find_first_of("eE") == std::string::npos;
        if (!text_ok && bad_text++ == 0) first_bad += "text " + text + " for " + show_double(d) + "; ";

        double parsed_json = 0, parsed_text = 0;
        const bool parse_ok = parse_decimal_float(json, parsed_json) && same_bits(parsed_json, d) &&
                              parse_decimal_float(text, parsed_text) && same_bits(parsed_text, d);
        if (!parse_ok && bad_parse++ == 0) first_bad += "parse_decimal_float of " + json + " / " + text + "; ";
    }
    check(bad_json == 0 && bad_text == 0 && bad_parse == 0,
          "float round trips: " + std::to_string(bad_json) + " JSON, " + std::to_string(bad_text) +
              " text, " + std::to_string(bad_parse) + " parse failures; first: " + first_bad);
}

void test_parse_decimal_float() {
    // Accepted numeric texts read exactly as strtod reads them.
    const std::string long_zeros = "0." + std::string(400, '0') + "1";
    const std::string long_digits = "1" + std::string(400, '0');
    const std::string long_scaled = "1" + std::string(400, '0') + "e-400";
    const std::string long_fraction = "0." + std::string(400, '0') + "1e401";
    const std::string numeric[] = {
        "1.5", ".5", "5.", "1e3", "-2.5E-3", "+2.5e+3", "99999999999", "0", "-0", "+0", "-0.0",
        "007.50", "1e400", "-1e400", "1e-400", "-1e-400", "4e-320", "-4e-320", "2.4703282292062328e-324",
        "2.4703282292062327e-324", "1.7976931348623158e308", "1.7976931348623159e308",
        "0.001e-320", "0.0001e310", "100e-326", "1e99999999999999999999999", "-1e-99999999999999999999",
        "0e99999999999999999999", "123456789012345678901234567890", long_zeros, long_digits,
        long_scaled, long_fraction, "9007199254740993", "0.1e1", "1E0",
    };
    for (const std::string& text : numeric) {
        double got = -12345;
        const double want = std::strtod(text.c_str(), nullptr);
        const bool ok = parse_decimal_float(text, got);
        check(ok && same_bits(got, want), "parse_decimal_float(" + show(text.substr(0, 60)) + ") = " +
                                               (ok ? show_double(got) : "rejected") + ", expected " + show_double(want));
    }

    const struct {
        std::string_view text;
        double value;
    } words[] = {
        {"inf", kInf}, {"INF", kInf}, {"-Infinity", -kInf}, {"+infinity", kInf}, {"iNfInItY", kInf},
    };
    for (const auto& c : words) {
        double got = 0;
        check(parse_decimal_float(c.text, got) && got == c.value, "parse_decimal_float(" + show(c.text) + ")");
    }
    for (std::string_view text : {"NaN", "nan", "-nan", "+NAN"}) {
        double got = 0;
        check(parse_decimal_float(text, got) && std::isnan(got), "parse_decimal_float(" + show(text) + ") is NaN");
    }

    const std::string_view rejected[] = {
        "",       "+",     "-",       ".",      "e5",      "1e",    "1e+",      " 1",     "1 ",
        "1,5",    "1_0",   "0x10",    "in",     "nan(1)",  "infinit", "infinityy", "+-1",  "--1",
        "1.2.3",  "1e5.0", ".e1",     "-.e1",   "1e--5",   "1ee5",  "+.",       "inff",   "na",
        "1d",     "1f",    "١",       "\xEF\xBC\x91", "1\n", "\t1",  "nan()",    "+ 1",    "1e 5",
        std::string_view("1\0", 2),
    };
    for (std::string_view text : rejected) {
        double got = 42;
        check(!parse_decimal_float(text, got), "parse_decimal_float(" + show(text) + ") should reject");
    }
}

void test_parse_int32() {
    const std::string many_zeros = std::string(1000, '0') + "1";
    const std::string many_nines(1000, '9');
    const struct {
        std::string_view text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"0", true, 0},
        {"-0", true, 0},
        {"+0", true, 0},
        {"007", true, 7},
        {"+5", true, 5},
        {"-17", true, -17},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, std::numeric_limits<int32_t>::min()},
        {"+2147483647", true, 2147483647},
        {many_zeros, true, 1},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"4294967296", false, 0},
        {"99999999999999999999", false, 0},
        {many_nines, false, 0},
        {"", false, 0},
        {"+", false, 0},
        {"-", false, 0},
        {"1.0", false, 0},
        {" 1", false, 0},
        {"1 ", false, 0},
        {"1e3", false, 0},
        {"+-1", false, 0},
        {"0x1", false, 0},
        {"1_000", false, 0},
        {"\xEF\xBC\x91", false, 0},
    };
    for (const auto& c : cases) {
        int32_t got = 99;
        const bool ok = parse_int32(c.text, got);
        check(ok == c.ok && (!ok || got == c.value),
              "parse_int32(" + show(c.text.substr(0, 40)) + ") = " + (ok ? std::to_string(got) : "rejected"));
    }
}

void test_parse_datetime() {
    const struct {
        std::string_view text;
        bool ok;
        DateTime value;
    } cases[] = {
        {"2024-01-31 13:45:00", true, {2024, 1, 31, 13, 45, 0, 0}},
        {"2024-02-29 23:59:59", true, {2024, 2, 29, 23, 59, 59, 0}},
        {"2000-02-29 00:00:00", true, {2000, 2, 29, 0, 0, 0, 0}},
        {"0000-02-29 00:00:00", true, {0, 2, 29, 0, 0, 0, 0}},
        {"0001-01-01 00:00:00", true, {1, 1, 1, 0, 0, 0, 0}},
        {"9999-12-31 23:59:59", true, {9999, 12, 31, 23, 59, 59, 0}},
        {"2023-04-30 00:00:00", true, {2023, 4, 30, 0, 0, 0, 0}},
        {"2024-02-30 00:00:00", false, {}},
        {"2023-02-29 00:00:00", false, {}},
        {"1900-02-29 00:00:00", false, {}},
        {"2023-04-31 00:00:00", false, {}},
        {"2023-00-10 00:00:00", false, {}},
        {"2023-13-10 00:00:00", false, {}},
        {"2023-01-00 00:00:00", false, {}},
        {"2023-01-32 00:00:00", false, {}},
        {"2023-01-01 24:00:00", false, {}},
        {"2023-01-01 00:60:00", false, {}},
        {"2023-01-01 00:00:60", false, {}},
        {"2024-01-31T13:45:00", false, {}},
        {"2024-01-31", false, {}},
        {"2024-01-31 13:45", false, {}},
        {"2024-01-31 13:45:00.5", false, {}},
        {"2024-01-31 13:45:00 ", false, {}},
        {"2024-1-31 13:45:000", false, {}},
        {"2024/01/31 13:45:00", false, {}},
        {"2024-01-31 13-45-00", false, {}},
        {"+024-01-31 13:45:00", false, {}},
        {"2024-01-3a 13:45:00", false, {}},
        {"2024-01- 1 13:45:00", false, {}},
    };
    for (const auto& c : cases) {
        DateTime got;
        const bool ok = parse_datetime(c.text, got);
        check(ok == c.ok && (!ok || got == c.value), "parse_datetime(" + show(c.text) + ")");
    }
}

void test_append_datetime() {
    const struct {
        DateTime dt;
        char sep;
        std::string_view text;
    } cases[] = {
        {{2024, 1, 31, 13, 45, 0, 0}, ' ', "2024-01-31 13:45:00"},
        {{2024, 1, 31, 13, 45, 0, 500000000}, ' ', "2024-01-31 13:45:00.500"},
        {{2024, 1, 31, 13, 45, 0, 250000}, ' ', "2024-01-31 13:45:00.000250"},
        {{2024, 1, 31, 13, 45, 0, 1}, ' ', "2024-01-31 13:45:00.000000001"},
        {{2024, 1, 31, 13, 45, 0, 123456789}, ' ', "2024-01-31 13:45:00.123456789"},
        {{2024, 1, 31, 13, 45, 0, 1000}, ' ', "2024-01-31 13:45:00.000001"},
        {{2024, 3, 1, 8, 30, 0, 250000000}, 'T', "2024-03-01T08:30:00.250"},
        {{999, 1, 2, 3, 4, 5, 0}, ' ', "0999-01-02 03:04:05"},
        {{0, 1, 1, 0, 0, 0, 0}, ' ', "0000-01-01 00:00:00"},
        {{9999, 12, 31, 23, 59, 59, 0}, ' ', "9999-12-31 23:59:59"},
        {{10000, 1, 1, 0, 0, 0, 0}, ' ', "+10000-01-01 00:00:00"},
        {{-1, 1, 1, 0, 0, 0, 0}, ' ', "-0001-01-01 00:00:00"},
        {{-12345, 1, 1, 0, 0, 0, 0}, ' ', "-12345-01-01 00:00:00"},
        {{std::numeric_limits<int32_t>::min(), 1, 1, 0, 0, 0, 0}, ' ', "-2147483648-01-01 00:00:00"},
        {{2016, 12, 31, 23, 59, 59, 1000000000}, 'T', "2016-12-31T23:59:60"},
        {{2016, 12, 31, 23, 59, 59, 1500000000}, ' ', "2016-12-31 23:59:60.500"},
        {{2016, 12, 31, 23, 59, 59, 1000000007}, ' ', "2016-12-31 23:59:60.000000007"},
    };
    for (const auto& c : cases) check_text(datetime_text(c.dt, c.sep), c.text, "append_datetime");
}

void test_cell_values() {
    const struct {
        ValueTag tag;
        char code;
    } codes[] = {
        {ValueTag::Empty, 's'}, {ValueTag::String, 's'}, {ValueTag::Number, 'n'},
        {ValueTag::Integer, 'n'}, {ValueTag::Bool, 'b'}, {ValueTag::DateTime, 'd'},
    };
    for (const auto& c : codes) check(type_code(c.tag) == c.code, std::string("type_code ") + c.code);

    // Classification and the text form of the result.
    const struct {
        std::string_view text;
        ValueTag tag;
        std::string_view text_form;
    } cases[] = {
        {"true", ValueTag::Bool, "true"},
        {"True", ValueTag::Bool, "true"},
        {"tRuE", ValueTag::Bool, "true"},
        {"FALSE", ValueTag::Bool, "false"},
        {"fal\u017Fe", ValueTag::Bool, "false"},
        {"", ValueTag::Empty, ""},
        {"007", ValueTag::Integer, "7"},
        {"-0", ValueTag::Integer, "0"},
        {"+12", ValueTag::Integer, "12"},
        {"-2147483648", ValueTag::Integer, "-2147483648"},
        {"2147483648", ValueTag::Number, "2147483648"},
        {"12.0", ValueTag::Number, "12"},
        {"-0.0", ValueTag::Number, "-0"},
        {"1.5e3", ValueTag::Number, "1500"},
        {"1e400", ValueTag::Number, "inf"},
        {"-Infinity", ValueTag::Number, "-inf"},
        {"nan", ValueTag::Number, "NaN"},
        {".5", ValueTag::Number, "0.5"},
        {"2024-01-31 13:45:00", ValueTag::DateTime, "2024-01-31 13:45:00"},
        {"0000-02-29 00:00:00", ValueTag::DateTime, "0000-02-29 00:00:00"},
        {"2024-02-30 00:00:00", ValueTag::String, "2024-02-30 00:00:00"},
        {"2024-01-31T13:45:00", ValueTag::String, "2024-01-31T13:45:00"},
        {"2024-01-31", ValueTag::String, "2024-01-31"},
        {" 12", ValueTag::String, " 12"},
        {"1,5", ValueTag::String, "1,5"},
        {"yes", ValueTag::String, "yes"},
        {"truth", ValueTag::String, "truth"},
        {"Straße", ValueTag::String, "Straße"},
    };
    for (const auto& c : cases) {
        const CellValue v = classify_text(c.text);
        check(tag_of(v) == c.tag, "classify_text(" + show(c.text) + ") tag " + std::to_string(int(tag_of(v))));
        check_text(text_form(v), c.text_form, "text form of classify_text(" + show(c.text) + ")");
    }

    // Values keep what was read, and a String borrows the input.
    check(std::get<bool>(classify_text("TRUE")) && !std::get<bool>(classify_text("false")), "bool values");
    check(std::get<int32_t>(classify_text("-42")) == -42, "integer value");
    check(std::get<double>(classify_text("2.5")) == 2.5, "number value");
    check(std::get<DateTime>(classify_text("2024-02-29 23:59:59")) == DateTime{2024, 2, 29, 23, 59, 59, 0},
          "datetime value");
    const std::string input = "some text";
    const CellValue s = classify_text(input);
    check(std::get<std::string_view>(s).data() == input.data() && std::get<std::string_view>(s).size() == input.size(),
          "a String borrows the classified text");

    const struct {
        CellValue value;
        std::string_view text;
    } forms[] = {
        {CellValue(Empty{}), ""},
        {CellValue(std::in_place_type<std::string_view>, "abc"), "abc"},
        {CellValue(std::in_place_type<double>, 1e20), "100000000000000000000"},
        {CellValue(std::in_place_type<int32_t>, std::numeric_limits<int32_t>::min()), "-2147483648"},
        {CellValue(std::in_place_type<bool>, false), "false"},
        {CellValue(DateTime{2024, 1, 31, 13, 45, 0, 500000000}), "2024-01-31 13:45:00.500"},
    };
    for (const auto& f : forms) {
        std::string out = ">";
        append_text_form(out, f.value);
        check_text(out, ">" + std::string(f.text), "append_text_form");
    }
}

}  // namespace

// Writers keep two counters equal under the write lock; readers must never
// see them differ, and no increment may be lost.
void test_rw_lock() {
    struct Pair {
        long a = 0, b = 0;
    };
    Shared<Pair> shared = Shared<Pair>::make();
    constexpr int kWriters = 3, kReaders = 3, kRounds = 20000;
    std::atomic<long> torn{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w)
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                auto g = shared.write();
                ++g->a;
                if (i % 97 == 0) std::this_thread::yield();  // hold it long enough to make others sleep
                ++g->b;
            }
        });
    for (int r = 0; r < kReaders; ++r)
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                auto g = shared.read();
                if (g->a != g->b) ++torn;
            }
        });
    for (auto& t : threads) t.join();
    auto g = shared.read();
    check(torn == 0 && g->a == long(kWriters) * kRounds && g->b == g->a,
          "reader-writer lock: " + std::to_string(torn.load()) + " torn reads, " + std::to_string(g->a) +
              " increments");
}

// Cell blocks come from a shared pool: blocks handed out at the same time
// never overlap, also while other threads release theirs.
void test_cell_pool() {
    constexpr int kThreads = 4, kRounds = 20000;
    std::atomic<long> clobbered{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::vector<CellHandle> held;
            for (int i = 0; i < kRounds; ++i) {
                held.push_back(CellHandle::make(Coordinate{uint32_t(i), uint16_t(t)}));
                if (i % 3 == 0) held.erase(held.begin() + (i % held.size()));
            }
            for (const CellHandle& c : held)
                if (c.read()->column() != t) ++clobbered;
        });
    for (auto& t : threads) t.join();
    check(clobbered == 0, "cell pool: " + std::to_string(clobbered.load()) + " blocks shared between threads");
}

// The radix sort against std::sort, on keys spread over all 48 bits and on
// keys that vary in a few bytes only (passes are skipped).
void test_sort_by_coordinate() {
    std::mt19937_64 rng(7);
    for (uint64_t mask : {0xFFFFFFFFFFFFull, 0x0000FFFF00FFull, 0xFF000000ull}) {
        for (size_t n : {size_t(10), size_t(5000), size_t(200000)}) {
            CoordinateEntries<uint32_t> entries;
            std::vector<uint64_t> seen;
            for (size_t i = 0; i < n; ++i) {
                uint64_t key = rng() & mask;
                entries.emplace_back(key, uint32_t(i));
                seen.push_back(key);
            }
            auto reference = entries;
            std::stable_sort(reference.begin(), reference.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            sort_by_coordinate(entries);
            check(entries == reference, "sort_by_coordinate of " + std::to_string(n) + " keys under mask " +
                                            std::to_string(mask) + " matches a stable sort");
        }
    }
}


// first_match and ordered_filter against a sequential loop, on random
// inputs of every size class, with one thread and with many: the results
// depend on positions only.
void test_parallel_primitives() {
    std::mt19937_64 rng(3);
    for (size_t threads : {size_t(1), size_t(2), size_t(8)}) {
        oneapi::tbb::global_control limit(oneapi::tbb::global_control::max_allowed_parallelism, threads);
        for (size_t n : {size_t(0), size_t(1), size_t(2047), size_t(2048), size_t(5000), size_t(300000)}) {
            for (double density : {0.0, -1.0, 0.001, 0.5}) {
                std::vector<char> hit(n, 0);
                if (density < 0 && n > 0) hit[rng() % n] = 1;  // a single match somewhere
                else
                    for (auto& h : hit) h = std::uniform_real_distribution<double>(0, 1)(rng) < density;
                std::optional<size_t> first;
                std::vector<size_t> all;
                for (size_t i = 0; i < n; ++i)
                    if (hit[i]) {
                        if (!first) first = i;
                        all.push_back(i);
                    }
                const std::string what = " of " + std::to_string(n) + " with density " + std::to_string(density) +
                                         " on " + std::to_string(threads) + " threads";
                std::atomic<size_t> examined_before_first{0};
                auto found = first_match(n, [&](size_t i) {
                    if (first && i < *first) ++examined_before_first;
                    return hit[i] != 0;
                });
                check(found == first, "first_match" + what);
                if (first)
                    check(examined_before_first == *first, "first_match examines everything before the match" + what);
                check(ordered_filter(n, [&](size_t i) { return hit[i] != 0; }) == all, "ordered_filter" + what);
                auto texts = ordered_filter_map<std::string>(n, [&](size_t i) -> std::optional<std::string> {
                    if (!hit[i]) return std::nullopt;
                    return std::to_string(i);
                });
                bool same = texts.size() == all.size();
                for (size_t k = 0; same && k < all.size(); ++k) same = texts[k] == std::to_string(all[k]);
                check(same, "ordered_filter_map" + what);
            }
        }
    }
}

void test_trim_white_space() {
    const char* spaces[] = {"\t", "\n", "\v", "\f", "\r", " ", "\u0085", "\u00A0", "\u1680", "\u2000", "\u2005",
                            "\u200A", "\u2028", "\u2029", "\u202F", "\u205F", "\u3000"};
    for (const char* sp : spaces) {
        const std::string padded = std::string(sp) + sp + "a b" + sp;
        check_text(std::string(trim_white_space(padded)), "a b", "trim " + show(sp));
    }
    // Neither zero-width space, U+180E nor U+200B is White_Space; a lone
    // continuation byte is not half of a space.
    for (const char* kept : {"\u200B", "\u180E", "\uFEFF", "\xA0", "\xE2\x80"})
        check_text(std::string(trim_white_space(kept)), kept, "trim keeps " + show(kept));
    check_text(std::string(trim_white_space(" \u3000 ")), "", "trim of white space only");
}

std::string number_text_of(const CellValue& v) {
    std::string s;
    append_text_form(s, v);
    return s;
}

// Patterns that claim they cannot match a number's text never match one,
// over a wide sample of number texts; the claim is made where it should be.
void test_number_skip() {
    std::mt19937_64 rng(11);
    std::vector<std::string> numbers = {"NaN", "inf", "-inf", "-0", "0", "100000000000000000000", "0.0000001"};
    for (int i = 0; i < 20000; ++i) {
        numbers.push_back(number_text_of(std::bit_cast<double>(rng())));
        numbers.push_back(number_text_of(double(int64_t(rng() % 2000000) - 1000000) / 64));
        numbers.push_back(number_text_of(int32_t(rng())));
    }
    struct Case {
        const char* pattern;
        bool caseless;
        int expect;  // 1 skips, 0 must not skip, -1 either way
    };
    const Case cases[] = {
        {"row 1[0-9]* col 20$", true, 1}, {"abc", true, 1}, {"[x-z]+", false, 1}, {"x|y", true, 1},
        {"1", true, 0}, {"\\d", true, 0}, {"n", false, 0}, {"N", true, 0}, {"INF", true, 0}, {"A", true, 0},
        {"", true, 0}, {"a*", true, 0}, {".", true, 0}, {"[^x]", true, 0}, {"(?=1)", true, 0},
        {"x|1", true, 0}, {"\\x{2D}", true, 0}, {"\\Q.\\E", true, 0}, {"(?<=1)x", true, -1},
        {"\u0130", true, -1}, {"\u0131", true, -1}, {"\u212A", true, -1}, {"(?-i)NAN", true, 0},
        {"e", true, 1}, {"E", true, 1}, {"^-?[0-9]+$", true, 0}, {"(?i:F)oo", false, -1}, {"[Ff]", false, 0},
    };
    for (const Case& c : cases) {
        auto compiled = Pattern::compile(c.pattern, c.caseless);
        const Pattern& p = std::get<Pattern>(compiled);
        const bool skips = !p.may_match_number_text();
        if (c.expect >= 0) check(skips == (c.expect == 1), std::string("number skip claimed for ") + show(c.pattern));
        if (!skips) continue;
        size_t wrong = 0;
        for (const std::string& text : numbers) wrong += p.matches(text);
        check(wrong == 0, std::string("a skipping pattern matches no number text: ") + show(c.pattern));
    }
}

// Short decimals take a fast path; it must give the correctly rounded
// double, bit for bit the one the full conversion gives.
void test_short_decimals() {
    std::mt19937_64 rng(17);
    size_t wrong = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string text = rng() % 2 ? "-" : "";
        const int digits = 1 + int(rng() % 15), point = int(rng() % (digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point && d > 0) text += '.';
            text += char('0' + rng() % 10);
        }
        double fast = 0, full = 0;
        const bool ok = parse_decimal_float(text, fast);
        std::from_chars(text.data(), text.data() + text.size(), full);
        if (!ok || !same_bits(fast, full)) {
            if (++wrong < 5) std::printf("  %s: %s against %s\n", text.c_str(), show_double(fast).c_str(), show_double(full).c_str());
        }
    }
    check(wrong == 0, "short decimals convert to the correctly rounded double");
}

// Searches over random cells give what a plain loop over the formatted text
// forms gives, so skipping numbers and comparing them as doubles changes
// nothing.
void test_searches_against_formatted_texts() {
    std::mt19937_64 rng(5);
    std::vector<CellHandle> owned;
    const char* words[] = {"Row 1", " row 1 ", "ROW", "", "\u00A0x", "1.5", "42", "true", "NaN", "-0", "inf"};
    for (int i = 0; i < 20000; ++i) {
        const Coordinate at{uint32_t(rng() % 50), uint16_t(rng() % 8)};
        switch (rng() % 7) {
            case 0: owned.push_back(CellHandle::make(at, CellValue(double(int64_t(rng() % 200) - 100) / 4))); break;
            case 1: owned.push_back(CellHandle::make(at, CellValue(int32_t(rng() % 100) - 50))); break;
            case 2: owned.push_back(CellHandle::make(at, CellValue(bool(rng() % 2)))); break;
            case 3: owned.push_back(CellHandle::make(at)); break;
            case 4: owned.push_back(CellHandle::make(at, CellValue(std::bit_cast<double>(rng() | 0x7FF0000000000000ull)))); break;
            default: owned.push_back(CellHandle::make(at, CellValue(std::string_view(words[rng() % 11])))); break;
        }
    }
    std::vector<CellRef> cells;
    std::vector<std::string> texts;
    for (const CellHandle& c : owned) {
        cells.push_back(c.borrow());
        texts.push_back(number_text_of(c.read()->value()));
    }
    for (const char* needle : {"42", "42.0", "-12.5", "-0", "0", "NaN", "nan", "inf", "true", "True", "", " row 1",
                               "x", "1.5", "-inf", "25", "+25"}) {
        std::vector<size_t> expected;
        for (size_t i = 0; i < texts.size(); ++i)
            if (trim_white_space(texts[i]) == trim_white_space(needle)) expected.push_back(i);
        check(find_cells_by_str(cells, needle) == expected, std::string("find_cells_by_str ") + show(needle));
        const auto first = find_cell_by_str(cells, needle);
        check(first == (expected.empty() ? std::nullopt : std::optional<size_t>(expected[0])),
              std::string("find_cell_by_str ") + show(needle));
    }
    for (const char* regex : {"row", "^1", "5$", "n", "^$", "(?-i)ROW", "i", "-", "^-?\\d+$", "zzz"}) {
        auto compiled = Pattern::compile(regex, true);
        const Pattern& p = std::get<Pattern>(compiled);
        std::vector<size_t> expected;
        for (size_t i = 0; i < texts.size(); ++i)
            if (p.matches(texts[i])) expected.push_back(i);
        check(find_cells_by_regex(cells, regex).value == expected, std::string("find_cells_by_regex ") + show(regex));
    }
    check(find_cells_by_regex(cells, "(").error.has_value(), "a broken pattern is reported");
    check(find_cells_multi_regex(cells, "row", "(").error->message.find("offset 5") != std::string::npos,
          "pattern errors give the offset in the compiled text");
}

int main() {
    test_parallel_primitives();
    test_trim_white_space();
    test_number_skip();
    test_short_decimals();
    test_searches_against_formatted_texts();
    test_rw_lock();
    test_cell_pool();
    test_sort_by_coordinate();
    test_concurrent_first_use();
    test_coordinates();
    test_read_cell_reference();
    test_to_upper();
    test_shortest_digits();
    test_number_text();
    test_json_float();
    test_float_round_trips();
    test_parse_decimal_float();
    test_parse_int32();
    test_parse_datetime();
    test_append_datetime();
    test_cell_values();
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
