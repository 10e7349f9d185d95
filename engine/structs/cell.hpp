#pragma once
// The cell record: row, column, value, formula, data_type, style and hidden
// value, packed into 16 bytes so that a cell block (reference count, one-word
// lock, record) is 24 bytes. The value payload lives inline; the rare fields
// (formula, style, hidden value, a data_type text outside the five codes) move
// the payload into a separately allocated extension that only such cells pay.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "../shared.hpp"
#include "cell_value.hpp"
#include "coordinate.hpp"

namespace tablomir {

// An owned, immutable text: one allocation holding the length and the bytes.
// A null OwnedText is an absent text.
class OwnedText {
public:
    OwnedText() noexcept = default;
    explicit OwnedText(std::string_view text);
    OwnedText(OwnedText&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    OwnedText& operator=(OwnedText&& o) noexcept;
    OwnedText(const OwnedText&) = delete;
    OwnedText& operator=(const OwnedText&) = delete;
    ~OwnedText() { reset(); }

    explicit operator bool() const noexcept { return p_ != nullptr; }
    std::string_view view() const noexcept;
    std::optional<std::string_view> optional() const noexcept {
        if (!p_) return std::nullopt;
        return view();
    }
    void reset() noexcept;

private:
    char* p_ = nullptr;
};

class CellRecord {
public:
    // A new cell: value Empty, data_type "s", no formula, style or hidden value.
    explicit CellRecord(Coordinate at) noexcept;
    // A new cell holding `value` with the data_type code of its variant.
    CellRecord(Coordinate at, const CellValue& value);
    CellRecord(const CellRecord&) = delete;
    CellRecord& operator=(const CellRecord&) = delete;
    ~CellRecord();

    uint32_t row() const noexcept { return row_; }
    uint16_t column() const noexcept { return column_; }
    Coordinate coordinate() const noexcept { return {row_, column_}; }
    void set_row(uint32_t row) noexcept { row_ = row; }
    void set_column(uint16_t column) noexcept { column_ = column; }

    // The value as a view; a String borrows this record's text.
    CellValue value() const noexcept;
    ValueTag value_tag() const noexcept { return tag_; }

    // value := `value`; formula removed; data_type := the variant's code.
    void write_value(const CellValue& value);

    std::optional<std::string_view> formula() const noexcept;
    // formula := text; data_type := "f"; the value is kept.
    void set_formula(std::string_view text);

    std::optional<std::string_view> style() const noexcept;
    void set_style(std::string_view text);

    std::optional<std::string_view> hidden_value() const noexcept;
    void set_hidden_value(std::string_view text);

    std::string_view data_type() const noexcept;
    // Any text; stored exactly as given.
    void set_data_type(std::string_view code);

    // A formula is present and data_type is exactly "f".
    bool is_formula() const noexcept;

private:
    struct Extension;
    union Payload {
        double number;
        int32_t integer;
        bool boolean;
        char* text;  // an OwnedText's storage
        DateTime* datetime;
        Extension* extension;
    };
    enum Code : uint8_t { kS, kN, kB, kD, kF, kCustom, kHasExtension = 0x80 };

    bool has_extension() const noexcept { return code_ & kHasExtension; }
    Code code() const noexcept { return Code(code_ & ~kHasExtension); }
    void set_code(Code c) noexcept { code_ = uint8_t(c | (code_ & kHasExtension)); }
    const Payload& payload() const noexcept;
    Payload& payload() noexcept;
    Extension& extension();
    void compact_extension() noexcept;
    void store_value(const CellValue& value);
    void free_value() noexcept;

    uint32_t row_;
    uint16_t column_;
    ValueTag tag_;
    uint8_t code_;
    Payload payload_;
};

// With the 4-byte reference count and the 4-byte lock, a cell block is 24 bytes.
static_assert(sizeof(CellRecord) == 16 && sizeof(RwLock) == 4, "a cell block must stay 24 bytes");

// Cells exist by the million: their blocks come from a pool of 24-byte
// blocks rather than the heap.
inline constexpr size_t kCellBlockBytes = 24;
FixedPool& cell_pool() noexcept;
template <>
struct RecordMemory<CellRecord> {
    static void* allocate(size_t bytes) {
        if (bytes > kCellBlockBytes) throw std::logic_error("cell block larger than its pool's blocks");
        return cell_pool().allocate();
    }
    static void release(void* p) noexcept { cell_pool().release(p); }
};

using CellHandle = Shared<CellRecord>;

}  // namespace tablomir
