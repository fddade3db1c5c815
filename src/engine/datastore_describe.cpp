// Describe: answers property paths and Evaluate items of a report.
#include "common/text.h"
#include "engine/datastore.h"
#include "engine/format.h"
#include "engine/property_table.h"

namespace print::engine {
namespace {

// A value that could be mistaken for a status, or that spans fields, comes back quoted whole.
std::string answer(std::string value) {
    if (value.find_first_of("\t\n!?") != std::string::npos) return "\"" + value + "\"";
    return value;
}

// Splits Describe's argument into blank-separated items; quotes and parentheses keep an
// Evaluate('a b', 1) item whole.
std::vector<std::string_view> describeItems(std::string_view text) {
    std::vector<std::string_view> items;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
            ++i;
        if (i >= text.size()) break;
        size_t start = i;
        int depth = 0;
        char quote = 0;
        for (; i < text.size(); ++i) {
            char c = text[i];
            if (quote) {
                if (c == '~') {
                    ++i;
                    continue;
                }
                if (c == quote) quote = 0;
                continue;
            }
            if (c == '\'' || c == '"') {
                quote = c;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')') {
                if (depth > 0) --depth;
            } else if (depth == 0 && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
                break;
            }
        }
        items.push_back(text.substr(start, i - start));
    }
    return items;
}

}  // namespace

std::string DataStore::Describe(std::string_view items) {
    return describe(items);
}

Result<Value> DataStore::evaluate(std::string_view expression, long row) const {
    auto compiled = m_expressions.get(expression);
    if (!compiled.ok()) return compiled.error();
    return compiled.value()->evaluate(*this, row);
}

std::string DataStore::describe(std::string_view items) const {
    std::string out;
    bool first = true;
    for (std::string_view item : describeItems(items)) {
        if (!first) out += '\n';
        first = false;
        auto a = describeItem(item);
        if (!a) {
            out += '!';
            break;
        }
        out += *a;
    }
    return out;
}

std::optional<std::string> DataStore::describeItem(std::string_view item) const {
    if (istartsWith(item, "evaluate")) {
        std::string_view rest = trimView(item.substr(8));
        if (!rest.empty() && rest.front() == '(') return evaluateItem(rest);
    }
    size_t dot = item.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 >= item.size()) return std::nullopt;
    std::string_view object = item.substr(0, dot);
    std::string_view property = item.substr(dot + 1);
    if (iequals(object, "datawindow")) return describeReportPath(property);
    return describeObject(object, property);
}

std::optional<std::string> DataStore::evaluateItem(std::string_view call) const {
    // call is "( 'expression' , row )"
    size_t i = 1;
    while (i < call.size() && call[i] == ' ') ++i;
    if (i >= call.size() || (call[i] != '\'' && call[i] != '"')) return std::nullopt;
    char quote = call[i++];
    std::string expr;
    for (; i < call.size(); ++i) {
        char c = call[i];
        if (c == '~' && i + 1 < call.size()) {
            expr += call[++i];
            continue;
        }
        if (c == quote) {
            // A doubled quote stands for one quote inside the expression.
            if (i + 1 < call.size() && call[i + 1] == quote) {
                expr += quote;
                ++i;
                continue;
            }
            break;
        }
        expr += c;
    }
    if (i >= call.size()) return std::nullopt;
    std::string_view rest = trimView(call.substr(i + 1));
    if (rest.empty() || rest.front() != ',' || rest.back() != ')') return std::nullopt;
    auto row = parseInteger(rest.substr(1, rest.size() - 2));
    if (!row) return std::nullopt;
    auto v = evaluate(expr, static_cast<long>(*row));
    if (!v.ok()) return std::nullopt;
    return answer(generalText(v.value()));
}

std::optional<std::string> DataStore::describeReportPath(std::string_view path) const {
    std::string p = asciiLower(path);
    if (p == "syntax") return syntax();
    if (p == "type") return std::string("datawindow");
    if (p == "column.count" || p == "table.column.count") return std::to_string(m_columns.size());
    if (p == "objects" || p == "visualobjects") {
        bool visualOnly = p == "visualobjects";
        std::string out;
        for (const auto& obj : m_objects) {
            if (!obj.isObject || obj.name.empty()) continue;
            if (visualOnly) {
                std::string v = obj.attrs.get("visible", "1");
                size_t tab = v.find('\t');
                if (trim(v.substr(0, tab)) == "0") continue;
            }
            if (!out.empty()) out += '\t';
            out += obj.name;
        }
        return out;
    }
    if (p == "bands") {
        std::string out = "header";
        for (const auto& g : m_groups) out += "\theader." + g.attrs.get("level", "1");
        out += "\tdetail";
        for (auto it = m_groups.rbegin(); it != m_groups.rend(); ++it)
            out += "\ttrailer." + it->attrs.get("level", "1");
        out += "\tsummary\tfooter";
        return out;
    }
    if (p == "printer") return m_printer.empty() ? std::string("?") : answer(m_printer);
    if (p.starts_with("table.")) {
        std::string t = p.substr(6);
        std::string attr = t == "select" ? "retrieve" : t;
        if (t == "select" || t == "sort" || t == "filter" || t == "arguments" || t == "procedure" ||
            t == "updatetable" || m_table.find(attr)) {
            const Attribute* a = m_table.find(attr);
            if (!a || a->value.empty()) return std::string("?");
            return answer(a->form == ValueForm::Block ? "(" + a->value + ")" : a->value);
        }
        return std::nullopt;
    }
    // Bands: header.height, detail.color, header.1.height, trailer.2.height.
    if (BandProperty bp = bandProperty(p); bp.isBandPath) {
        if (!bp.attrs || !bp.known) return std::nullopt;
        if (const Attribute* a = bp.attrs->find(bp.name)) return answer(a->value);
        return bp.defaultValue.value_or("?");
    }
    if (const Attribute* a = m_datawindow.find(p)) return answer(a->value);
    auto info = reportProperty(p);
    if (!info) return std::nullopt;
    if (!info->defaultValue) return std::string("?");
    return answer(std::string(*info->defaultValue));
}

std::optional<std::string> DataStore::describeObject(std::string_view objectName,
                                                     std::string_view property) const {
    std::string prop = asciiLower(property);
    const ReportObject* obj = nullptr;
    int column = -1;
    if (!objectName.empty() && objectName.front() == '#') {
        column = columnIndex(objectName);
        if (column < 0) return std::nullopt;
        obj = columnObject(column);
    } else {
        obj = objectByName(objectName);
        if (!obj || obj->kind == "column") column = columnIndex(objectName);
    }
    if (!obj && column < 0) return std::nullopt;

    // What the table says about a column.
    if (column >= 0) {
        const TableColumn& tc = m_columns[column];
        if (prop == "coltype") return tc.typeText;
        if (prop == "dbname") return answer(tc.attrs.get("dbname", tc.name));
        if (prop == "id") return std::to_string(column + 1);
        if (prop == "values" || prop == "initial" || prop == "validation" ||
            prop == "validationmsg" || prop == "key" || prop == "update" ||
            prop == "updatewhereclause") {
            const Attribute* a = tc.attrs.find(prop);
            if (!a && obj) a = obj->attrs.find(prop);
            return a ? answer(a->value) : std::string("?");
        }
        if (!obj) {
            if (prop == "name") return tc.name;
            if (prop == "type") return std::string("column");
            return std::nullopt;
        }
    }
    if (prop == "type") return obj->kind;
    if (prop == "name") return obj->name.empty() ? std::string("?") : obj->name;
    if (prop == "band") return obj->attrs.get("band", "detail");
    if (obj->kind == "column" && prop == "edit.style") return editStyleOf(obj->attrs);
    if (prop == "dataobject" && obj->kind == "report") {
        std::string d = obj->attrs.get("dataobject");
        return d.empty() ? std::string("?") : answer(d);
    }
    if (const Attribute* a = obj->attrs.find(prop))
        return answer(a->form == ValueForm::Block ? "(" + a->value + ")" : a->value);
    auto info = objectProperty(obj->kind, prop);
    if (!info) return std::nullopt;
    if (!info->defaultValue) return std::string("?");
    return answer(std::string(*info->defaultValue));
}

}  // namespace print::engine
