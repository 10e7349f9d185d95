#include "pattern.hpp"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <new>
#include <utility>
#include <string>

namespace tablomir {

struct Pattern::Code {
    pcre2_code* code;
    ~Code() { pcre2_code_free(code); }
};

namespace {

// Per-thread matching state, shared by every pattern the thread runs: match
// data with room for the whole match only (nothing reads groups), and a
// context carrying the backtracking limit and the thread's own JIT stack.
struct MatchState {
    pcre2_match_data* data = nullptr;
    pcre2_match_context* context = nullptr;
    pcre2_jit_stack* jit_stack = nullptr;

    MatchState() {
        data = pcre2_match_data_create(1, nullptr);
        context = pcre2_match_context_create(nullptr);
        jit_stack = pcre2_jit_stack_create(32 * 1024, 1024 * 1024, nullptr);
        if (!data || !context || !jit_stack) {
            release();
            throw std::bad_alloc();
        }
        pcre2_set_match_limit(context, kMatchLimit);
        pcre2_jit_stack_assign(context, nullptr, jit_stack);
    }
    ~MatchState() { release(); }
    void release() noexcept {
        pcre2_match_data_free(data);
        pcre2_match_context_free(context);
        pcre2_jit_stack_free(jit_stack);
        data = nullptr;
        context = nullptr;
        jit_stack = nullptr;
    }
};

MatchState& thread_match_state() {
    thread_local MatchState state;
    return state;
}

bool run(const pcre2_code* code, std::string_view subject) {
    MatchState& state = thread_match_state();
    const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0, 0,
                               state.data, state.context);
    // rc == 0 means the match did not fit the one-pair vector: still a match.
    return rc >= 0;
}

// The bytes that can occur in the text form of a number or an integer.
bool in_number_alphabet(uint32_t c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'N' || c == 'a' || c == 'i' || c == 'n' ||
           c == 'f';
}

uint32_t other_ascii_case(uint32_t c) {
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 'a';
    return c;
}

// Whether an ASCII code unit the pattern needs, in either letter case, can
// occur in a number's text. Code units beyond ASCII prove nothing here.
bool unit_may_be_numeric(uint32_t c) {
    return c >= 0x80 || in_number_alphabet(c) || in_number_alphabet(other_ascii_case(c));
}

// Reads the pattern engine's own start-of-match information, which it uses
// to skip subjects itself: a first code unit (or set of them) and a code
// unit that every match must contain.
bool numbers_possible(const pcre2_code* code) {
    uint32_t empty = 1;
    if (pcre2_pattern_info(code, PCRE2_INFO_MATCHEMPTY, &empty) != 0 || empty) return true;
    uint32_t type = 0;
    if (pcre2_pattern_info(code, PCRE2_INFO_FIRSTCODETYPE, &type) == 0 && type == 1) {
        uint32_t unit = 0;
        if (pcre2_pattern_info(code, PCRE2_INFO_FIRSTCODEUNIT, &unit) == 0 && !unit_may_be_numeric(unit))
            return false;
    } else {
        const uint8_t* bitmap = nullptr;
        if (pcre2_pattern_info(code, PCRE2_INFO_FIRSTBITMAP, &bitmap) == 0 && bitmap) {
            bool any = false;
            for (uint32_t c = 0; c < 128 && !any; ++c)
                if (in_number_alphabet(c) && (bitmap[c / 8] >> (c % 8)) & 1) any = true;
            if (!any) return false;
        }
    }
    if (pcre2_pattern_info(code, PCRE2_INFO_LASTCODETYPE, &type) == 0 && type == 1) {
        uint32_t unit = 0;
        if (pcre2_pattern_info(code, PCRE2_INFO_LASTCODEUNIT, &unit) == 0 && !unit_may_be_numeric(unit))
            return false;
    }
    return true;
}

}  // namespace

Pattern::Pattern(Code* code) noexcept : code_(code) {}
Pattern::Pattern(Pattern&& o) noexcept
    : code_(std::exchange(o.code_, nullptr)), empty_(o.empty_), true_(o.true_), false_(o.false_),
      numbers_(o.numbers_) {}
Pattern& Pattern::operator=(Pattern&& o) noexcept {
    std::swap(code_, o.code_);
    empty_ = o.empty_;
    true_ = o.true_;
    false_ = o.false_;
    numbers_ = o.numbers_;
    return *this;
}
Pattern::~Pattern() { delete code_; }

std::variant<Pattern, PatternError> Pattern::compile(std::string_view text, bool caseless) {
    std::string source;
    if (caseless) source = "(?i)";
    source.append(text);
    int error_code = 0;
    PCRE2_SIZE error_offset = 0;
    pcre2_code* compiled = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(source.data()), source.size(),
                                         PCRE2_UTF | PCRE2_UCP, &error_code, &error_offset, nullptr);
    if (!compiled) {
        if (error_code == PCRE2_ERROR_NOMEMORY) throw std::bad_alloc();
        PCRE2_UCHAR message[256];
        if (pcre2_get_error_message(error_code, message, sizeof message) < 0) message[0] = 0;
        return PatternError{std::string(reinterpret_cast<const char*>(message)) + " at offset " +
                            std::to_string(error_offset)};
    }
    Code* owner;
    try {
        owner = new Code{compiled};
    } catch (...) {
        pcre2_code_free(compiled);
        throw;
    }
    Pattern pattern(owner);
    // Without JIT support the interpreter runs the same pattern.
    pcre2_jit_compile(compiled, PCRE2_JIT_COMPLETE);
    pattern.empty_ = run(compiled, "");
    pattern.true_ = run(compiled, "true");
    pattern.false_ = run(compiled, "false");
    pattern.numbers_ = numbers_possible(compiled);
    return pattern;
}

bool Pattern::matches(std::string_view subject) const { return run(code_->code, subject); }

}  // namespace tablomir
