#include "cell.hpp"

#include <cstring>
#include <new>

namespace tablomir {

FixedPool& cell_pool() noexcept {
    // Never destroyed: cells may outlive static destruction at exit.
    static FixedPool* pool = new FixedPool(kCellBlockBytes);
    return *pool;
}

namespace {

// Text storage: [size_t length][bytes] in one allocation.
char* allocate_text(std::string_view text) {
    size_t n = text.size();
    char* p = static_cast<char*>(::operator new(sizeof n + n));
    std::memcpy(p, &n, sizeof n);
    if (n) std::memcpy(p + sizeof n, text.data(), n);
    return p;
}

std::string_view text_view(const char* p) noexcept {
    size_t n;
    std::memcpy(&n, p, sizeof n);
    return {p + sizeof n, n};
}

}  // namespace

OwnedText::OwnedText(std::string_view text) : p_(allocate_text(text)) {}

OwnedText& OwnedText::operator=(OwnedText&& o) noexcept {
    if (this != &o) {
        reset();
        p_ = std::exchange(o.p_, nullptr);
    }
    return *this;
}

std::string_view OwnedText::view() const noexcept { return text_view(p_); }

void OwnedText::reset() noexcept {
    ::operator delete(p_);
    p_ = nullptr;
}

// The rare fields of a cell; the value payload moves here while it exists.
struct CellRecord::Extension {
    CellRecord::Payload payload{};
    OwnedText formula;
    OwnedText style;
    OwnedText hidden_value;
    OwnedText data_type;  // only for codes other than s, n, b, d, f
};

CellRecord::CellRecord(Coordinate at) noexcept
    : row_(at.row), column_(at.column), tag_(ValueTag::Empty), code_(kS), payload_{} {}

CellRecord::CellRecord(Coordinate at, const CellValue& value) : CellRecord(at) { write_value(value); }

CellRecord::~CellRecord() {
    free_value();
    if (has_extension()) delete payload_.extension;
}

const CellRecord::Payload& CellRecord::payload() const noexcept {
    return has_extension() ? payload_.extension->payload : payload_;
}
CellRecord::Payload& CellRecord::payload() noexcept {
    return has_extension() ? payload_.extension->payload : payload_;
}

CellRecord::Extension& CellRecord::extension() {
    if (!has_extension()) {
        auto* ext = new Extension;
        ext->payload = payload_;
        payload_.extension = ext;
        code_ |= kHasExtension;
    }
    return *payload_.extension;
}

// Drops the extension once it holds nothing but the payload.
void CellRecord::compact_extension() noexcept {
    if (!has_extension()) return;
    Extension* ext = payload_.extension;
    if (ext->formula || ext->style || ext->hidden_value || ext->data_type) return;
    payload_ = ext->payload;
    code_ &= uint8_t(~kHasExtension);
    delete ext;
}

CellValue CellRecord::value() const noexcept {
    const Payload& p = payload();
    switch (tag_) {
        case ValueTag::Empty: return Empty{};
        case ValueTag::String: return text_view(p.text);
        case ValueTag::Number: return p.number;
        case ValueTag::Integer: return p.integer;
        case ValueTag::Bool: return p.boolean;
        case ValueTag::DateTime: return *p.datetime;
    }
    return Empty{};
}

void CellRecord::free_value() noexcept {
    Payload& p = payload();
    if (tag_ == ValueTag::String) ::operator delete(p.text);
    else if (tag_ == ValueTag::DateTime) delete p.datetime;
    tag_ = ValueTag::Empty;
}

void CellRecord::write_value(const CellValue& value) {
    // Build the new payload first, so a failed allocation leaves the record unchanged.
    Payload next{};
    ValueTag tag = tag_of(value);
    switch (tag) {
        case ValueTag::Empty: break;
        case ValueTag::String: next.text = allocate_text(std::get<std::string_view>(value)); break;
        case ValueTag::Number: next.number = std::get<double>(value); break;
        case ValueTag::Integer: next.integer = std::get<int32_t>(value); break;
        case ValueTag::Bool: next.boolean = std::get<bool>(value); break;
        case ValueTag::DateTime: next.datetime = new DateTime(std::get<DateTime>(value)); break;
    }
    free_value();
    payload() = next;
    tag_ = tag;
    Code code = kS;
    switch (tag) {
        case ValueTag::Number:
        case ValueTag::Integer: code = kN; break;
        case ValueTag::Bool: code = kB; break;
        case ValueTag::DateTime: code = kD; break;
        default: break;
    }
    if (has_extension()) {
        payload_.extension->formula.reset();
        payload_.extension->data_type.reset();
    }
    set_code(code);
    compact_extension();
}

std::optional<std::string_view> CellRecord::formula() const noexcept {
    return has_extension() ? payload_.extension->formula.optional() : std::nullopt;
}

void CellRecord::set_formula(std::string_view text) {
    OwnedText owned(text);
    Extension& ext = extension();
    ext.formula = std::move(owned);
    ext.data_type.reset();
    set_code(kF);
}

std::optional<std::string_view> CellRecord::style() const noexcept {
    return has_extension() ? payload_.extension->style.optional() : std::nullopt;
}

void CellRecord::set_style(std::string_view text) {
    OwnedText owned(text);
    extension().style = std::move(owned);
}

std::optional<std::string_view> CellRecord::hidden_value() const noexcept {
    return has_extension() ? payload_.extension->hidden_value.optional() : std::nullopt;
}

void CellRecord::set_hidden_value(std::string_view text) {
    OwnedText owned(text);
    extension().hidden_value = std::move(owned);
}

namespace {
constexpr std::string_view kCodeTexts[] = {"s", "n", "b", "d", "f"};
}

std::string_view CellRecord::data_type() const noexcept {
    Code c = code();
    if (c == kCustom) return payload_.extension->data_type.view();
    return kCodeTexts[c];
}

void CellRecord::set_data_type(std::string_view code) {
    for (uint8_t c = kS; c <= kF; ++c) {
        if (code == kCodeTexts[c]) {
            if (has_extension()) payload_.extension->data_type.reset();
            set_code(Code(c));
            compact_extension();
            return;
        }
    }
    OwnedText owned(code);
    extension().data_type = std::move(owned);
    set_code(kCustom);
}

bool CellRecord::is_formula() const noexcept { return code() == kF && formula().has_value(); }

}  // namespace tablomir
