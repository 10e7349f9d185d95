// The search frame. Every search runs the same steps, whichever entry point
// reaches it: convert the arguments; build the cell list (a module-level
// call converts its `cells` list and then detaches from the interpreter; a
// ReadableSheet detaches first, then takes the sheet's reader lock; a Sheet
// keeps the interpreter and takes the sheet's reader lock); run the engine
// operation, which compiles any pattern before it examines a cell; share the
// result records; and build the Python result once attached again.
//
// A search is described once, by a small struct (name, parameters, engine
// operation, and for sheets the cell order or a cell-map lookup that answers
// without a scan); one table registers it for every entry point.

#include "search.hpp"

#include <array>
#include <deque>
#include <span>
#include <string>
#include <tuple>

#include "args.hpp"
#include "convert.hpp"
#include "types.hpp"

#include "../engine/search.hpp"

namespace tablomir::py::search {
namespace {

// ---- the searches, in their published order ----

template <class... A>
using Args = std::tuple<A...>;
using Rows = SequenceOf<uint32_t>;
using Cols = SequenceOf<uint16_t>;

// Offered on every entry point, scanning a sheet in cell-map order.
struct Everywhere {
    static constexpr bool on_sheet = true;
    static constexpr CellOrder order = CellOrder::Map;
};
// Not offered by `Sheet`.
struct NotOnSheet : Everywhere {
    static constexpr bool on_sheet = false;
};
// The anchor searches read a sheet in row-major order.
struct RowMajor : Everywhere {
    static constexpr CellOrder order = CellOrder::RowMajor;
};

struct FindCellByCoords : NotOnSheet {
    static constexpr const char* name = "find_cell_by_coords";
    static constexpr std::array params{"row", "col"};
    using Arguments = Args<uint32_t, uint16_t>;
    static constexpr auto scan = &find_cell_by_coords;
    static CellHandle lookup(const SheetRecord& s, uint32_t row, uint16_t col) { return cell_at(s, {row, col}); }
};
struct FindValueByCoords : Everywhere {
    static constexpr const char* name = "find_value_by_coords";
    static constexpr std::array params{"row", "col"};
    using Arguments = Args<uint32_t, uint16_t>;
    static constexpr auto scan = &find_value_by_coords;
    static std::optional<std::string> lookup(const SheetRecord& s, uint32_t row, uint16_t col) {
        return value_text_if_any(s, {row, col});
    }
};
struct FindCellByRegex : Everywhere {
    static constexpr const char* name = "find_cell_by_regex";
    static constexpr std::array params{"regex"};
    using Arguments = Args<Text>;
    static constexpr auto scan = &find_cell_by_regex;
};
struct FindCellByStr : Everywhere {
    static constexpr const char* name = "find_cell_by_str";
    static constexpr std::array params{"value"};
    using Arguments = Args<Text>;
    static constexpr auto scan = &find_cell_by_str;
};
struct FindCellByLetter : Everywhere {
    static constexpr const char* name = "find_cell_by_letter";
    static constexpr std::array params{"letter"};
    using Arguments = Args<Text>;
    static constexpr auto scan = &find_cell_by_letter;
};
struct FindCellsByRegex : Everywhere {
    static constexpr const char* name = "find_cells_by_regex";
    static constexpr std::array params{"regex"};
    using Arguments = Args<Text>;
    static constexpr auto scan = &find_cells_by_regex;
};
struct FindCellsByStr : Everywhere {
    static constexpr const char* name = "find_cells_by_str";
    static constexpr std::array params{"value"};
    using Arguments = Args<Text>;
    static constexpr auto scan = &find_cells_by_str;
};
struct FindCellsForRowsByRegex : Everywhere {
    static constexpr const char* name = "find_cells_for_rows_by_regex";
    static constexpr std::array params{"regex", "col_stop"};
    using Arguments = Args<Text, uint16_t>;
    static constexpr auto scan = &find_cells_for_rows_by_regex;
};
struct FindCellsForColsByRegex : Everywhere {
    static constexpr const char* name = "find_cells_for_cols_by_regex";
    static constexpr std::array params{"regex", "row_stop"};
    using Arguments = Args<Text, uint32_t>;
    static constexpr auto scan = &find_cells_for_cols_by_regex;
};
struct FindCellsMultiRegex : RowMajor {
    static constexpr const char* name = "find_cells_multi_regex";
    static constexpr std::array params{"before_regex", "after_regex"};
    using Arguments = Args<Text, Text>;
    static constexpr auto scan = &find_cells_multi_regex;
};
struct FindCellsBetweenRegex : RowMajor {
    static constexpr const char* name = "find_cells_between_regex";
    static constexpr std::array params{"before_regex", "after_regex"};
    using Arguments = Args<Text, Text>;
    static constexpr auto scan = &find_cells_between_regex;
};
struct FindCellsRangeRows : Everywhere {
    static constexpr const char* name = "find_cells_range_rows";
    static constexpr std::array params{"start_row", "end_row"};
    using Arguments = Args<uint32_t, uint32_t>;
    static constexpr auto scan = &find_cells_range_rows;
};
struct FindCellsRangeCols : Everywhere {
    static constexpr const char* name = "find_cells_range_cols";
    static constexpr std::array params{"start_col", "end_col"};
    using Arguments = Args<uint16_t, uint16_t>;
    static constexpr auto scan = &find_cells_range_cols;
};
struct FindValuesByColRows : NotOnSheet {
    static constexpr const char* name = "find_values_by_col_rows";
    static constexpr std::array params{"col", "rows"};
    using Arguments = Args<uint16_t, Rows>;
    static constexpr auto scan = &find_values_by_col_rows;
};
struct FindValuesByRowCols : NotOnSheet {
    static constexpr const char* name = "find_values_by_row_cols";
    static constexpr std::array params{"row", "cols"};
    using Arguments = Args<uint32_t, Cols>;
    static constexpr auto scan = &find_values_by_row_cols;
};

// ---- argument values as the engine takes them ----

std::string_view engine_value(const Text& t) { return t.view; }
uint32_t engine_value(uint32_t v) { return v; }
uint16_t engine_value(uint16_t v) { return v; }
template <class T>
std::span<const T> engine_value(const SequenceOf<T>& s) {
    return s.items;
}

// ---- results: records shared while the cell list is valid ----

template <class T>
struct Outcome {
    T value{};
    std::optional<PatternError> error;
};

CellHandle shared(CellList cells, const std::optional<size_t>& found) {
    return found ? cells[*found].share() : CellHandle();
}
std::vector<CellHandle> shared(CellList cells, const std::vector<size_t>& found) {
    std::vector<CellHandle> out;
    out.reserve(found.size());
    for (size_t i : found) out.push_back(cells[i].share());
    return out;
}
CellHandle shared(CellList, CellHandle&& cell) { return std::move(cell); }
std::optional<std::string> shared(CellList, std::optional<std::string>&& text) { return std::move(text); }
std::vector<std::string> shared(CellList, std::vector<std::string>&& texts) { return std::move(texts); }

template <class R>
auto outcome(CellList cells, R&& result) {
    if constexpr (requires { result.error; }) {
        using T = decltype(shared(cells, std::move(result.value)));
        if (result.error) return Outcome<T>{T{}, std::move(result.error)};
        return Outcome<T>{shared(cells, std::move(result.value)), std::nullopt};
    } else {
        using T = decltype(shared(cells, std::forward<R>(result)));
        return Outcome<T>{shared(cells, std::forward<R>(result)), std::nullopt};
    }
}

PyObject* to_python(const CellHandle& cell, PyTypeObject* type) {
    if (!cell) Py_RETURN_NONE;
    return wrap(type, cell);
}
PyObject* to_python(const std::vector<CellHandle>& cells, PyTypeObject* type) {
    return list_of(cells, [&](const CellHandle& c) { return wrap(type, c); });
}
PyObject* to_python(const std::optional<std::string>& text, PyTypeObject*) { return optional_str(text); }
PyObject* to_python(const std::vector<std::string>& texts, PyTypeObject*) {
    return list_of(texts, [](const std::string& t) { return str_from(t); });
}

// ---- the frame ----

enum class Source { Module, Sheet, ReadableSheet };

template <class S, Source From>
const auto& signature() {
    constexpr bool with_cells = From == Source::Module;
    constexpr size_t n = S::params.size() + (with_cells ? 1 : 0);
    static const Signature<n> sig = [] {
        Signature<n> s{S::name, {}, n};
        for (size_t i = 0; i < S::params.size(); ++i) s.names[i] = S::params[i];
        if constexpr (with_cells) s.names[n - 1] = "cells";
        return s;
    }();
    return sig;
}

template <class S>
constexpr bool has_lookup = requires { &S::lookup; };

template <class S, Source From>
PyObject* entry(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    typename S::Arguments arguments{};
    AnyObject cells_argument;
    const bool parsed = std::apply(
        [&](auto&... a) {
            if constexpr (From == Source::Module)
                return parse(signature<S, From>(), args, nargs, kwnames, a..., cells_argument);
            else
                return parse(signature<S, From>(), args, nargs, kwnames, a...);
        },
        arguments);
    if (!parsed) return nullptr;
    PyTypeObject* result_type = From == Source::Sheet ? cell_type() : readable_cell_type();
    if (!result_type) return nullptr;

    auto scan = [&](CellList cells) {
        return outcome(cells, std::apply([&](const auto&... a) { return S::scan(cells, engine_value(a)...); },
                                         arguments));
    };
    using Result = decltype(scan(CellList{}));
    Result result;
    if constexpr (From == Source::Module) {
        std::vector<CellHandle> converted;
        if (!input::cells_argument(cells_argument.object, converted)) return nullptr;
        WithoutInterpreter detached;
        std::vector<CellRef> cells;
        cells.reserve(converted.size());
        for (const CellHandle& c : converted) cells.push_back(c.borrow());
        result = scan(cells);
        // The converted records go now; those in the result stay shared.
        cells = {};
        converted = {};
    } else {
        const SheetHandle& sheet = handle_of<SheetHandle>(self);
        auto run = [&]() -> Result {
            if constexpr (has_lookup<S>) {
                return with_sheet_record(sheet, [&](const SheetRecord& record) {
                    return std::apply(
                        [&](const auto&... a) { return outcome(CellList{}, S::lookup(record, engine_value(a)...)); },
                        arguments);
                });
            } else {
                return with_sheet_cells(sheet, S::order, [&](CellList cells, const SheetRecord&) { return scan(cells); });
            }
        };
        if constexpr (From == Source::ReadableSheet) {
            WithoutInterpreter detached;
            result = run();
        } else {
            result = run();
        }
    }
    if (result.error) {
        PyErr_SetString(PyExc_RuntimeError, result.error->message.c_str());
        return nullptr;
    }
    return to_python(result.value, result_type);
}

// ---- registration ----

// Text signatures: "name(a, b, cells)" for functions, "name($self, /, a, b)"
// for methods. The texts live as long as the process.
template <class S, Source From>
const char* doc() {
    static const std::string text = [] {
        std::string t = S::name;
        t += From == Source::Module ? "(" : "($self, /";
        bool first = From == Source::Module;
        for (const char* p : S::params) {
            t += first ? "" : ", ";
            t += p;
            first = false;
        }
        if (From == Source::Module) t += ", cells";
        return t + ")\n--\n\n";
    }();
    return text.c_str();
}

constexpr int kFast = METH_FASTCALL | METH_KEYWORDS;

template <class S, Source From>
void add(std::vector<PyMethodDef>& defs) {
    if constexpr (From == Source::Module)
        defs.push_back({S::name, as_cfunction<function<entry<S, From>>>(), kFast, doc<S, From>()});
    else if constexpr (From == Source::ReadableSheet || S::on_sheet)
        defs.push_back({S::name, as_cfunction<method<entry<S, From>>>(), kFast, doc<S, From>()});
}

template <class... S>
struct Table {
    template <Source From>
    static void add_all(std::vector<PyMethodDef>& defs) {
        (add<S, From>(defs), ...);
    }
};

using Searches = Table<FindCellByCoords, FindValueByCoords, FindCellByRegex, FindCellByStr, FindCellByLetter,
                       FindCellsByRegex, FindCellsByStr, FindCellsForRowsByRegex, FindCellsForColsByRegex,
                       FindCellsMultiRegex, FindCellsBetweenRegex, FindCellsRangeRows, FindCellsRangeCols,
                       FindValuesByColRows, FindValuesByRowCols>;

// ---- the range query ----

// A bound that None or omission leaves at its default.
template <class T>
struct Bound {
    T value;
};
template <class T>
bool convert(PyObject* o, const char* name, Bound<T>& out) {
    return o == Py_None || py::convert(o, name, out.value);
}

template <Source From>
PyObject* get_cells_by_range(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature<4> sig{"get_cells_by_range", {"start_row", "end_row", "start_col", "end_col"}, 0};
    CellRange range;
    Bound<uint32_t> start_row{range.start_row}, end_row{range.end_row};
    Bound<uint16_t> start_col{range.start_col}, end_col{range.end_col};
    if (!parse(sig, args, nargs, kwnames, start_row, end_row, start_col, end_col)) return nullptr;
    range = CellRange{start_row.value, end_row.value, start_col.value, end_col.value};
    PyTypeObject* type = From == Source::Sheet ? cell_type() : readable_cell_type();
    if (!type) return nullptr;
    const SheetHandle& sheet = handle_of<SheetHandle>(self);
    std::vector<CellHandle> cells;
    if constexpr (From == Source::ReadableSheet) {
        WithoutInterpreter detached;
        cells = cells_in_range(sheet, range);
    } else {
        cells = cells_in_range(sheet, range);
    }
    return to_python(cells, type);
}

constexpr const char* kRangeDoc =
    "get_cells_by_range($self, /, start_row=None, end_row=None, start_col=None, end_col=None)\n--\n\n";

}  // namespace

void add_sheet_methods(std::vector<PyMethodDef>& defs) {
    defs.push_back({"get_cells_by_range", as_cfunction<method<get_cells_by_range<Source::Sheet>>>(), kFast,
                    kRangeDoc});
    Searches::add_all<Source::Sheet>(defs);
}

void add_readable_sheet_methods(std::vector<PyMethodDef>& defs) {
    defs.push_back({"get_cells_by_range", as_cfunction<method<get_cells_by_range<Source::ReadableSheet>>>(),
                    kFast, kRangeDoc});
    Searches::add_all<Source::ReadableSheet>(defs);
}

const std::vector<PyMethodDef>& module_functions() {
    static const std::vector<PyMethodDef> defs = [] {
        std::vector<PyMethodDef> d;
        Searches::add_all<Source::Module>(d);
        return d;
    }();
    return defs;
}

}  // namespace tablomir::py::search
