#pragma once
// User patterns: compiled once per call with UTF and Unicode properties (so a
// case-insensitive flag folds Unicode case), matched anywhere in a text under
// a backtracking limit. A match that fails at run time (the limit reached,
// the backtracking stack exhausted) counts as no match.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace tablomir {

// A pattern that does not compile: the pattern engine's description and
// the offset of the fault in the compiled text.
struct PatternError {
    std::string message;
};

class Pattern {
public:
    // Compiles `text`, preceded by "(?i)" when `caseless`.
    static std::variant<Pattern, PatternError> compile(std::string_view text, bool caseless);

    Pattern(Pattern&&) noexcept;
    Pattern& operator=(Pattern&&) noexcept;
    ~Pattern();

    // Whether the pattern matches somewhere in `subject`.
    bool matches(std::string_view subject) const;

    // Precomputed answers for the texts of empty and boolean values.
    bool matches_empty() const noexcept { return empty_; }
    bool matches_bool(bool value) const noexcept { return value ? true_ : false_; }

    // False only when no text form of a number can contain a match: such
    // texts hold nothing but digits, '.', '-' and the letters of "NaN" and
    // "inf", and the pattern's first or required code unit rules them out.
    bool may_match_number_text() const noexcept { return numbers_; }

private:
    struct Code;
    explicit Pattern(Code* code) noexcept;
    Code* code_ = nullptr;
    bool empty_ = false, true_ = false, false_ = false, numbers_ = true;
};

// The backtracking limit of one match attempt.
inline constexpr uint32_t kMatchLimit = 1'000'000;

}  // namespace tablomir
