#include "engine/row_import.h"

#include <algorithm>

#include "common/encoding.h"
#include "common/text.h"

namespace print::engine {
namespace {

std::string typeName(ValueType type) {
    switch (type) {
        case ValueType::Number:
            return "a number";
        case ValueType::Long:
            return "a whole number";
        case ValueType::Date:
            return "a date (YYYY-MM-DD)";
        case ValueType::DateTime:
            return "a date and time (YYYY-MM-DD HH:MM:SS)";
        case ValueType::Time:
            return "a time (HH:MM:SS)";
        default:
            return "text";
    }
}

}  // namespace

Result<long> importRows(DataStore& report, std::string_view text, std::string_view source) {
    // A byte-order mark that a Windows editor put first is no part of the first column's name.
    std::vector<std::string> lines = split(stripBom(text), '\n');
    for (auto& line : lines)
        if (!line.empty() && line.back() == '\r') line.pop_back();
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    std::string name(source);
    if (lines.empty()) return Error{name + " line 1: the first line must name the columns"};
    const auto& columns = report.columns();
    std::vector<int> slots;
    for (const std::string& field : split(lines[0], '\t')) {
        std::string column = trim(field);
        int c = column.empty() || column.front() == '#' ? -1 : report.columnIndex(column);
        if (c < 0) return Error{name + " line 1: the report has no column '" + field + "'"};
        // Two values for one column in every row: which one was meant cannot be told.
        if (std::find(slots.begin(), slots.end(), c) != slots.end())
            return Error{name + " line 1: the column '" + column + "' is named twice"};
        slots.push_back(c);
    }
    // Everything is read before a row changes, so that a bad line loses nothing.
    std::vector<std::vector<Value>> rows;
    rows.reserve(lines.size() - 1);
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string where = name + " line " + std::to_string(i + 1) + ": ";
        std::vector<std::string> values = split(lines[i], '\t');
        if (values.size() != slots.size())
            return Error{where + "it has " + std::to_string(values.size()) +
                         " values where the first line names " + std::to_string(slots.size()) +
                         " columns"};
        std::vector<Value> row(values.size());
        for (size_t k = 0; k < values.size(); ++k) {
            const TableColumn& column = columns[slots[k]];
            if (values[k].empty() && column.type != ValueType::String) continue;
            auto parsed = parseValue(values[k], column.type);
            if (!parsed || !coerce(*parsed, column.type))
                return Error{where + "'" + values[k] + "' does not fit column '" + column.name +
                             "', which holds " + typeName(column.type)};
            row[k] = std::move(*parsed);
        }
        rows.push_back(std::move(row));
    }
    report.Reset();
    for (const auto& values : rows) {
        long row = report.InsertRow(0);
        for (size_t k = 0; k < values.size(); ++k)
            if (!values[k].isNull()) report.SetItem(row, slots[k] + 1, values[k]);
    }
    return static_cast<long>(rows.size());
}

}  // namespace print::engine
