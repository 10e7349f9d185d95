#include "convert.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

#include "args.hpp"
#include "types.hpp"

#include "../engine/text.hpp"

namespace tablomir::py::input {
namespace {

// Entry names, interned once: interned keys hash once and compare by
// identity against the interned literals of callers' dicts.
enum Key { kRow, kColumn, kValue, kFormula, kDataType, kStyleId, kName, kSheetState, kMergeCells, kCells, kKeys };

PyObject* key(Key k) {
    static PyObject* keys[kKeys] = {};
    static constexpr const char* names[kKeys] = {"row",  "column",      "value",       "formula", "data_type",
                                                 "style_id", "name", "sheet_state", "merge_cells", "cells"};
    if (!keys[k]) keys[k] = PyUnicode_InternFromString(names[k]);
    return keys[k];
}

// Reads the entries of one description in order: by key for a dict (or
// dict subclass), by attribute otherwise; a missing entry raises the
// access's own exception.
//
// An exact dict is first walked once: entries whose key is the interned
// name itself (as literal keys are) are picked up from that walk instead of
// being looked up one by one. The walk's values stay valid only while no
// Python code runs, so once a conversion may have run some (str() of an
// object, the items of a list), and for entries the walk did not find,
// entries are looked up as usual.
class EntryReader {
public:
    template <size_t N>
    EntryReader(PyObject* description, const Key (&keys)[N]) : description_(description) {
        by_key_ = PyDict_Check(description);
        if (!PyDict_CheckExact(description)) return;
        PyObject* names[N];
        for (size_t i = 0; i < N; ++i)
            if (!(names[i] = key(keys[i]))) {
                PyErr_Clear();  // read() asks again and reports the failure
                return;
            }
        Py_ssize_t pos = 0, found = 0;
        PyObject *k, *v;
        while (found < Py_ssize_t(N) && PyDict_Next(description, &pos, &k, &v))
            for (size_t i = 0; i < N; ++i)
                if (k == names[i]) {
                    if (!walked_[keys[i]]) ++found;
                    walked_[keys[i]] = v;
                    break;
                }
    }

    // A new reference to the entry, or nullptr with an exception set.
    PyObject* read(Key k) {
        if (clean_ && walked_[k]) return note(Py_NewRef(walked_[k]));
        PyObject* name = key(k);
        if (!name) return nullptr;
        if (!by_key_) return note(PyObject_GetAttr(description_, name));
        if (!PyDict_CheckExact(description_)) return note(PyObject_GetItem(description_, name));
        PyObject* value = dict_item_ref(description_, name);
        if (!value && !PyErr_Occurred()) PyErr_SetObject(PyExc_KeyError, name);
        return note(value);
    }

private:
    // Converting None, ints, floats and texts runs no Python code; anything
    // else may change the dict.
    PyObject* note(PyObject* value) {
        if (value && !(value == Py_None || PyLong_Check(value) || PyFloat_Check(value) || PyUnicode_Check(value)))
            clean_ = false;
        return value;
    }

    PyObject* description_;
    bool by_key_ = false;
    bool clean_ = true;
    PyObject* walked_[kKeys] = {};  // borrowed from the dict
};

bool utf8_of(PyObject* str, std::string_view& out) {
    Py_ssize_t n = 0;
    const char* p = PyUnicode_AsUTF8AndSize(str, &n);
    if (!p) return false;
    out = std::string_view(p, size_t(n));
    return true;
}

bool int64_of(PyObject* o, long long& out) {
    int overflow = 0;
    out = PyLong_AsLongLongAndOverflow(o, &overflow);
    if (overflow) {
        PyErr_SetString(PyExc_OverflowError, "int outside the signed 64-bit range");
        return false;
    }
    return !(out == -1 && PyErr_Occurred());
}

// Calls `f(item)` for each item of a list, in order, until the smaller of
// its starting and its current length.
template <class F>
bool for_each_item(PyObject* list, F&& f) {
    const Py_ssize_t n = PyList_GET_SIZE(list);
    for (Py_ssize_t i = 0; i < n; ++i) {
        Ref item(list_item_ref(list, i));
        if (!item) break;
        if (!f(item.get())) return false;
    }
    return true;
}

// The value of an optional "+" followed by ASCII digits, when it is at most
// `max`; 0 for any other text.
uint64_t digits_value(std::string_view text, uint64_t max) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    if (text.empty()) return 0;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + uint64_t(c - '0');
        if (value > max) return 0;
    }
    return value;
}

// The number rules: the low bits of an int, a float truncated and clamped,
// "+digits" texts up to the bound, 1 and 0 for booleans, 0 otherwise.
template <class U>
bool number_rule(PyObject* o, U& out) {
    constexpr uint64_t max = std::numeric_limits<U>::max();
    out = 0;
    if (o == Py_None) return true;
    if (PyBool_Check(o)) {
        out = o == Py_True ? 1 : 0;
        return true;
    }
    if (PyLong_Check(o)) {
        long long v;
        if (!int64_of(o, v)) return false;
        out = U(uint64_t(v));
        return true;
    }
    if (PyFloat_Check(o)) {
        const double d = PyFloat_AS_DOUBLE(o);
        if (std::isnan(d) || d <= 0) return true;
        out = d >= double(max) ? U(max) : U(d);
        return true;
    }
    if (PyUnicode_Check(o)) {
        std::string_view text;
        if (!utf8_of(o, text)) return false;
        out = U(digits_value(text, max));
        return true;
    }
    // A list gives 0, and anything else is read through its text; both are
    // converted to text first so that their failures surface as they do
    // under the text rule.
    std::string text;
    if (!append_text(o, text)) return false;
    if (!PyList_Check(o)) out = U(digits_value(text, max));
    return true;
}

// An entry's text under the text rule, borrowing an exact str's UTF-8
// where it can. `present` is false for None under the optional rule.
struct EntryText {
    Ref holder;
    std::string buffer;
    std::string_view view;
    bool present = false;

    bool read(PyObject* o) {
        holder = Ref::borrowed(o);
        present = o != Py_None;
        if (PyUnicode_Check(o)) return utf8_of(o, view);
        buffer.clear();
        if (!append_text(o, buffer)) return false;
        view = buffer;
        return true;
    }
};

}  // namespace

bool append_text(PyObject* o, std::string& out) {
    if (o == Py_None) return true;
    if (PyBool_Check(o)) {
        out += o == Py_True ? "true" : "false";
        return true;
    }
    if (PyLong_Check(o)) {
        long long v;
        if (!int64_of(o, v)) return false;
        char buf[24];
        out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
        return true;
    }
    if (PyFloat_Check(o)) {
        append_number_text(out, PyFloat_AS_DOUBLE(o));
        return true;
    }
    std::string_view text;
    if (PyUnicode_Check(o)) {
        if (!utf8_of(o, text)) return false;
        out += text;
        return true;
    }
    if (PyList_Check(o)) {
        if (Py_EnterRecursiveCall(" while converting a list to text")) return false;
        out += '[';
        bool first = true;
        const bool ok = for_each_item(o, [&](PyObject* item) {
            if (!first) out += ", ";
            first = false;
            return append_text(item, out);
        });
        Py_LeaveRecursiveCall();
        if (!ok) return false;
        out += ']';
        return true;
    }
    Ref str(PyObject_Str(o));
    if (!str || !utf8_of(str.get(), text)) return false;
    out += text;
    return true;
}

bool number32(PyObject* o, uint32_t& out) { return number_rule(o, out); }
bool number16(PyObject* o, uint16_t& out) { return number_rule(o, out); }

bool cell_from_description(PyObject* description, CellHandle& out, Coordinate* at) {
    static constexpr Key keys[] = {kRow, kColumn, kValue, kFormula, kDataType, kStyleId};
    EntryReader entries(description, keys);
    // Each entry is read and converted before the next is read.
    uint32_t row;
    uint16_t column;
    {
        Ref v(entries.read(kRow));
        if (!v || !number32(v.get(), row)) return false;
    }
    {
        Ref v(entries.read(kColumn));
        if (!v || !number16(v.get(), column)) return false;
    }
    EntryText value, formula, data_type, style;
    const std::pair<EntryText*, Key> texts[] = {
        {&value, kValue}, {&formula, kFormula}, {&data_type, kDataType}, {&style, kStyleId}};
    for (const auto& [text, k] : texts) {
        Ref v(entries.read(k));
        if (!v || !text->read(v.get())) return false;
    }
    CellValue cell_value = Empty{};
    if (value.present) {
        if (data_type.view == "s") cell_value = CellValue(std::in_place_type<std::string_view>, value.view);
        else cell_value = classify_text(value.view);
    }
    const Coordinate coordinate{row, column};
    CellHandle cell = CellHandle::make(coordinate, cell_value);
    // A new record's data_type is the code of its value; only a formula, a
    // style or another data_type text changes it.
    const char code = type_code(tag_of(cell_value));
    if (formula.present || style.present || data_type.view.size() != 1 || data_type.view[0] != code) {
        auto w = cell.write();
        if (formula.present) w->set_formula(formula.view);
        if (style.present) w->set_style(style.view);
        w->set_data_type(data_type.view);
    }
    if (at) *at = coordinate;
    out = std::move(cell);
    return true;
}

bool cells_argument(PyObject* cells, std::vector<CellHandle>& out) {
    if (!PyList_Check(cells)) {
        raise_wrong_type("cells", "list", cells);
        return false;
    }
    PyTypeObject* readable = readable_cell_type();
    if (!readable) return false;
    out.reserve(size_t(PyList_GET_SIZE(cells)));
    return for_each_item(cells, [&](PyObject* item) {
        if (Py_IS_TYPE(item, readable)) {
            Claim claim(item, ClaimKind::Shared);
            if (!claim) return false;
            out.push_back(handle_of<CellHandle>(item));
            return true;
        }
        CellHandle cell;
        if (!cell_from_description(item, cell)) return false;
        out.push_back(std::move(cell));
        return true;
    });
}

namespace {

// Merged ranges: only a list gives any. A list item gives its first four
// items as start_row, end_row, start_col, end_col (missing ones 0); any
// other item gives start_row alone.
bool merge_ranges_from(PyObject* entry, std::vector<MergeRange>& out) {
    if (!PyList_Check(entry)) return true;
    return for_each_item(entry, [&](PyObject* item) {
        uint32_t numbers[4] = {0, 0, 0, 0};
        if (PyList_Check(item)) {
            for (Py_ssize_t i = 0; i < 4; ++i) {
                Ref part(list_item_ref(item, i));
                if (!part) break;
                if (!number32(part.get(), numbers[i])) return false;
            }
        } else if (!number32(item, numbers[0])) {
            return false;
        }
        out.push_back(MergeRange{numbers[0], numbers[1], uint16_t(numbers[2]), uint16_t(numbers[3])});
        return true;
    });
}

}  // namespace

bool sheet_from_description(PyObject* description, SheetParts& out) {
    static constexpr Key keys[] = {kName, kSheetState, kMergeCells, kCells};
    EntryReader entries(description, keys);
    {
        Ref v(entries.read(kName));
        if (!v || !append_text(v.get(), out.name)) return false;
    }
    {
        Ref v(entries.read(kSheetState));
        if (!v || !append_text(v.get(), out.sheet_state)) return false;
    }
    {
        Ref v(entries.read(kMergeCells));
        if (!v || !merge_ranges_from(v.get(), out.merge_cells)) return false;
    }
    Ref cells(entries.read(kCells));
    if (!cells) return false;
    if (!PyList_Check(cells.get())) {
        PyErr_Format(PyExc_TypeError, "cells must be a list, not %.200s", Py_TYPE(cells.get())->tp_name);
        return false;
    }
    out.cells.reserve(size_t(PyList_GET_SIZE(cells.get())));
    return for_each_item(cells.get(), [&](PyObject* item) {
        CellHandle cell;
        Coordinate at;
        if (!cell_from_description(item, cell, &at)) return false;
        out.cells.emplace_back(at.packed(), std::move(cell));
        return true;
    });
}

bool sheets_argument(PyObject* sheets, std::vector<SheetParts>& out) {
    if (!PyList_Check(sheets)) {
        raise_wrong_type("sheets", "list", sheets);
        return false;
    }
    return for_each_item(sheets, [&](PyObject* item) {
        SheetParts parts;
        if (!sheet_from_description(item, parts)) return false;
        out.push_back(std::move(parts));
        return true;
    });
}

}  // namespace tablomir::py::input
