// Modify: runs create, destroy and property statements on a report, in order, stopping at the
// first one that fails.
#include <algorithm>
#include <climits>

#include "common/text.h"
#include "engine/datastore.h"
#include "engine/property_table.h"

namespace print::engine {

class ModifyRunner {
public:
    ModifyRunner(DataStore& report, std::string_view text) : m_r(report), m_text(text) {}

    std::string run() {
        while (true) {
            skipBlanks();
            if (m_pos >= m_text.size()) return {};
            size_t start = m_pos;
            std::string_view word = readWord();
            if (word.empty()) return syntaxError(start);
            std::optional<std::string> failure;
            if (iequals(word, "create") && nextIsBlank(start + word.size()))
                failure = create();
            else if (iequals(word, "destroy") && nextIsBlank(start + word.size()))
                failure = destroy();
            else
                failure = assign(word, start);
            if (failure) return *failure;
        }
    }

private:
    bool isBlank(char c) const { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    bool nextIsBlank(size_t at) const { return at < m_text.size() && isBlank(m_text[at]); }

    void skipBlanks() {
        while (m_pos < m_text.size() && isBlank(m_text[m_pos])) ++m_pos;
    }

    std::string_view readWord() {
        size_t start = m_pos;
        while (m_pos < m_text.size()) {
            char c = m_text[m_pos];
            if (isBlank(c) || c == '=' || c == '(' || c == ')' || c == '\'' || c == '"') break;
            ++m_pos;
        }
        return m_text.substr(start, m_pos - start);
    }

    std::string position(size_t at) const {
        int line = 1;
        size_t lineStart = 0;
        for (size_t i = 0; i < at && i < m_text.size(); ++i) {
            if (m_text[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        }
        size_t column = utf8Length(m_text.substr(lineStart, at - lineStart)) + 1;
        return "Line " + std::to_string(line) + " Column " + std::to_string(column) + ": ";
    }

    std::string syntaxError(size_t at) const { return position(at) + "incorrect syntax."; }
    std::string failure(size_t at, const std::string& what) const {
        return position(at) + what + ".";
    }

    // An expression that does not compile is refused with the property it was meant for, as
    // `owner.property` (`c1.expression`). `whole`: the value is all expression (a computed
    // field's); otherwise only a `default<TAB>expression` value holds one, in a property that
    // takes expressions.
    std::optional<std::string> checkExpression(std::string_view owner, std::string_view property,
                                               std::string_view value, bool whole, size_t at) {
        if (!whole) {
            size_t tab = value.find('\t');
            if (tab == std::string_view::npos) return std::nullopt;
            size_t dot = property.rfind('.');
            std::string_view last = dot == std::string_view::npos ? property : property.substr(dot + 1);
            if (!takesExpression(property) && !takesExpression(last)) return std::nullopt;
            value = value.substr(tab + 1);
        }
        auto compiled = m_r.m_expressions.get(value);
        Error error;
        if (!compiled.ok()) {
            error = compiled.error();
        } else {
            // Groups come only with the definition: an aggregate for one it does not have
            // could never give a value.
            for (const Expression::GroupUse& use : compiled.value()->groupUses())
                if (!m_r.hasGroupLevel(use.level)) {
                    error = Error{"the report has no group " + std::to_string(use.level), 0,
                                  use.column};
                    break;
                }
            if (error.message.empty()) return std::nullopt;
        }
        return failure(at, "'" + std::string(owner) + "." + std::string(property) +
                               "' is not a valid expression: " + error.message + " at column " +
                               std::to_string(error.column));
    }

    // A barcode type is one of the symbologies drawn, or empty (the value drawn as text); an
    // expression may choose among them row by row.
    std::optional<std::string> checkBarcodeType(std::string_view owner, std::string_view property,
                                                std::string_view value, size_t at) {
        if (property != "barcode.type" || value.find('\t') != std::string_view::npos)
            return std::nullopt;
        if (trimView(value).empty() || isBarcodeType(value)) return std::nullopt;
        std::string names;
        for (std::string_view name : barcodeTypes()) names += (names.empty() ? "" : ", ") +
                                                              std::string(name);
        return failure(at, "'" + std::string(trimView(value)) + "' is not a barcode type of '" +
                               std::string(owner) + "' (" + names + ")");
    }

    std::optional<std::string> create() {
        skipBlanks();
        size_t kindAt = m_pos;
        std::string_view keyword = readWord();
        if (keyword.empty()) return syntaxError(kindAt);
        skipBlanks();
        if (m_pos >= m_text.size() || m_text[m_pos] != '(') return syntaxError(m_pos);
        ++m_pos;
        auto attrs = parseAttributeBlock(m_text, m_pos);
        if (!attrs.ok()) {
            if (m_pos >= m_text.size()) return syntaxError(m_text.size());
            // The parser's position is the place it stopped understanding the text.
            return "Line " + std::to_string(attrs.error().line) + " Column " +
                   std::to_string(attrs.error().column) + ": incorrect syntax.";
        }
        std::string kind = asciiLower(keyword);
        if (!isObjectKind(kind))
            return failure(kindAt, "unknown object type '" + std::string(keyword) + "'");
        ReportObject obj;
        obj.keyword = kind;
        obj.kind = kind;
        obj.attrs = std::move(attrs).value();
        obj.name = obj.attrs.get("name");
        std::string band = obj.attrs.get("band", "detail");
        if (!m_r.isValidBand(band)) return failure(kindAt, "unknown band '" + band + "'");
        if (!obj.name.empty() && m_r.findObject(obj.name))
            return failure(kindAt, "an object named '" + obj.name + "' already exists");
        for (auto& a : obj.attrs.items) {
            if (auto info = objectProperty(kind, a.name))
                a.value = normaliseValue(info->kind, a.value);
            bool whole = kind == "compute" && iequals(a.name, "expression");
            if (auto bad = checkExpression(obj.name.empty() ? kind : obj.name, a.name, a.value,
                                           whole, kindAt))
                return bad;
            if (auto bad = checkBarcodeType(obj.name.empty() ? kind : obj.name,
                                            asciiLower(a.name), a.value, kindAt))
                return bad;
        }
        if (kind == "report") {
            std::string dataObject = obj.attrs.get("dataobject");
            if (!trimView(dataObject).empty()) {
                auto child = m_r.loadChild(dataObject);
                if (!child.ok()) return failure(kindAt, child.error().message);
                obj.child = std::move(child).value();
            }
        }
        m_r.m_objects.push_back(std::move(obj));
        auto it = std::prev(m_r.m_objects.end());
        if (!it->name.empty()) m_r.m_byName.emplace(asciiLower(it->name), it);
        m_r.touchSchema();
        return std::nullopt;
    }

    std::optional<std::string> destroy() {
        skipBlanks();
        size_t at = m_pos;
        std::string_view name = readWord();
        if (name.empty()) return syntaxError(at);
        bool column = false;
        if (iequals(name, "column")) {
            size_t save = m_pos;
            skipBlanks();
            size_t nameAt = m_pos;
            std::string_view next = readWord();
            if (!next.empty()) {
                column = true;
                name = next;
                at = nameAt;
            } else {
                m_pos = save;
            }
        }
        if (column) return destroyColumn(name, at);
        auto it = m_r.m_byName.find(asciiLower(name));
        if (it == m_r.m_byName.end())
            return failure(at, "unknown object '" + std::string(name) + "'");
        auto node = it->second;
        m_r.m_byName.erase(it);
        m_r.retire(std::move(node->child));
        m_r.m_objects.erase(node);
        m_r.touchSchema();
        return std::nullopt;
    }

    std::optional<std::string> destroyColumn(std::string_view name, size_t at) {
        int c = m_r.columnIndex(name);
        if (c < 0) {
            // Only a column object without a table column of its own.
            auto it = m_r.m_byName.find(asciiLower(name));
            if (it == m_r.m_byName.end() || it->second->kind != "column")
                return failure(at, "unknown column '" + std::string(name) + "'");
            auto node = it->second;
            m_r.m_byName.erase(it);
            m_r.m_objects.erase(node);
            m_r.touchSchema();
            return std::nullopt;
        }
        // Reports that share rows have the same columns, which these no longer would: the
        // sharing ends first (a secondary keeps no rows, a primary keeps its own).
        if (m_r.m_sharePrimary || !m_r.m_shareSecondaries.empty()) m_r.ShareDataOff();
        // The column object(s), the table column and its values go; later ids move down.
        std::string id = std::to_string(c + 1);
        std::string lowerName = asciiLower(m_r.m_columns[c].name);
        for (auto it = m_r.m_objects.begin(); it != m_r.m_objects.end();) {
            bool mine = it->kind == "column" &&
                        (it->attrs.get("id") == id ||
                         (it->attrs.find("id") == nullptr && asciiLower(it->name) == lowerName));
            if (mine) {
                it = m_r.m_objects.erase(it);
                continue;
            }
            if (it->kind == "column") {
                auto oid = parseInteger(it->attrs.get("id"));
                if (oid && *oid > c + 1)
                    it->attrs.set("id", std::to_string(*oid - 1), ValueForm::Bare);
            }
            ++it;
        }
        // Its values leave the stored rows too, or every later column would read the value
        // before its own when the written definition is loaded again.
        size_t columnCount = m_r.m_columns.size();
        if (m_r.m_hasStoredData) {
            auto& data = m_r.m_storedData;
            size_t kept = 0;
            for (size_t i = 0; i < data.size(); ++i) {
                if (i % columnCount == static_cast<size_t>(c)) continue;
                if (kept != i) data[kept] = std::move(data[i]);
                ++kept;
            }
            data.resize(kept);
            if (columnCount == 1) m_r.m_hasStoredData = false;
        }
        m_r.m_columns.erase(m_r.m_columns.begin() + c);
        // Drop the placeholder of the table block that stood for this column.
        int seen = 0;
        auto& items = m_r.m_table.items;
        for (auto it = items.begin(); it != items.end(); ++it) {
            if (!iequals(it->name, "column") || it->form != ValueForm::Block) continue;
            if (seen++ == c) {
                items.erase(it);
                break;
            }
        }
        m_r.m_rows->columns.erase(m_r.m_rows->columns.begin() + c);
        m_r.m_rows->touch();
        m_r.m_columnByName.clear();
        for (size_t i = 0; i < m_r.m_columns.size(); ++i)
            m_r.m_columnByName.emplace(asciiLower(m_r.m_columns[i].name), static_cast<int>(i));
        m_r.retireDddwChildren();
        (void)m_r.reindexObjects();
        m_r.touchSchema();
        return std::nullopt;
    }

    // Reads the value after '=': quoted with either quote (with ~ escapes), a parenthesised
    // block, or a bare word.
    std::optional<std::pair<std::string, ValueForm>> readValue() {
        if (m_pos >= m_text.size()) return std::nullopt;
        char c = m_text[m_pos];
        if (c == '\'' || c == '"') {
            size_t start = ++m_pos;
            bool escaped = false;
            while (m_pos < m_text.size() && m_text[m_pos] != c) {
                if (m_text[m_pos] == '~') {
                    escaped = true;
                    ++m_pos;
                }
                ++m_pos;
            }
            if (m_pos >= m_text.size()) return std::nullopt;
            std::string_view raw = m_text.substr(start, m_pos - start);
            ++m_pos;
            return std::pair{escaped ? unescapeText(raw) : std::string(raw), ValueForm::Quoted};
        }
        if (c == '(') {
            // Read exactly as the definition text reads it, so what is stored reads back.
            size_t open = m_pos;
            size_t end = subBlockEnd(m_text, open);
            if (end == std::string_view::npos) return std::nullopt;
            m_pos = end;
            return std::pair{std::string(m_text.substr(open + 1, end - open - 2)),
                             ValueForm::Block};
        }
        size_t start = m_pos;
        while (m_pos < m_text.size() && !isBlank(m_text[m_pos])) ++m_pos;
        if (m_pos == start) return std::nullopt;
        return std::pair{std::string(m_text.substr(start, m_pos - start)), ValueForm::Bare};
    }

    std::optional<std::string> assign(std::string_view target, size_t start) {
        size_t dot = target.find('.');
        if (dot == std::string_view::npos || dot == 0 || dot + 1 >= target.size())
            return syntaxError(start);
        skipBlanks();
        if (m_pos >= m_text.size() || m_text[m_pos] != '=') return syntaxError(m_pos);
        ++m_pos;
        skipBlanks();
        size_t valueAt = m_pos;
        auto value = readValue();
        if (!value) return syntaxError(valueAt);
        std::string_view object = target.substr(0, dot);
        std::string_view property = target.substr(dot + 1);
        if (iequals(object, "datawindow"))
            return setReportProperty(property, std::move(value->first), value->second, start);
        return setObjectProperty(object, property, std::move(value->first), value->second, start);
    }

    std::optional<std::string> setReportProperty(std::string_view path, std::string value,
                                                 ValueForm form, size_t at) {
        std::string p = asciiLower(path);
        if (p == "syntax" || p == "objects" || p == "visualobjects" || p == "bands" ||
            p == "column.count" || p == "type")
            return failure(at,
                           "the property 'DataWindow." + std::string(path) + "' cannot be changed");
        if (p == "printer") {
            m_r.m_printer = value;
            return std::nullopt;
        }
        if (p.starts_with("table.")) {
            std::string t = p.substr(6);
            if (t == "select") t = "retrieve";
            if (t != "retrieve" && t != "sort" && t != "filter" && t != "arguments" &&
                !m_r.m_table.find(t))
                return failure(at, "unknown property 'DataWindow." + std::string(path) + "'");
            m_r.m_table.set(t, std::move(value),
                            form == ValueForm::Block ? form : ValueForm::Quoted);
            return std::nullopt;
        }
        if (DataStore::BandProperty bp = m_r.bandProperty(p); bp.isBandPath) {
            if (!bp.attrs) {
                std::string band = p.substr(0, p.find('.', p.find('.') + 1));
                return failure(at, "unknown band '" + band + "'");
            }
            if (!bp.known)
                return failure(at, "unknown property 'DataWindow." + std::string(path) + "'");
            if (auto bad = checkExpression("DataWindow", path, value, false, at)) return bad;
            // A band is never negative or of no height at all: layout would have nothing to
            // place. An expression keeps its default here and is checked when it is laid out.
            if (asciiLower(bp.name).ends_with("height") && value.find('\t') == std::string::npos) {
                const auto height = parseInteger(trim(value));
                if (!height || *height < 0)
                    return failure(at, "band height '" + value + "' is not a whole number of 0 "
                                       "or more");
            }
            // The model owns the band; bandProperty only found it.
            const_cast<AttributeList*>(bp.attrs)->set(bp.name, std::move(value), ValueForm::Quoted);
            if (bp.band) const_cast<Band*>(bp.band)->present = true;
            return std::nullopt;
        }
        auto info = reportProperty(p);
        if (!info && !m_r.m_datawindow.find(p))
            return failure(at, "unknown property 'DataWindow." + std::string(path) + "'");
        if (info) value = normaliseValue(info->kind, std::move(value));
        if (auto bad = checkExpression("DataWindow", path, value, false, at)) return bad;
        m_r.m_datawindow.set(p, std::move(value),
                             form == ValueForm::Block ? form : ValueForm::Quoted);
        return std::nullopt;
    }

    std::optional<std::string> setObjectProperty(std::string_view objectName,
                                                 std::string_view property, std::string value,
                                                 ValueForm form, size_t at) {
        ReportObject* obj = nullptr;
        int column = -1;
        if (objectName.front() == '#') {
            column = m_r.columnIndex(objectName);
            if (column >= 0) obj = const_cast<ReportObject*>(m_r.columnObject(column));
        } else {
            obj = m_r.findObject(objectName);
            if (obj && obj->kind == "column") column = m_r.columnIndex(objectName);
        }
        if (!obj) return failure(at, "unknown object '" + std::string(objectName) + "'");
        std::string prop = asciiLower(property);
        if (prop == "type" || prop == "id" || prop == "edit.style" || prop == "coltype" ||
            prop == "name")
            return failure(at, "the property '" + std::string(property) + "' cannot be changed");
        auto info = objectProperty(obj->kind, prop);
        bool known = info.has_value() || obj->attrs.find(prop) != nullptr;
        if (!known)
            return failure(at, "unknown property '" + std::string(property) + "' of '" +
                                   std::string(objectName) + "'");
        if (info) value = normaliseValue(info->kind, std::move(value));
        if (form == ValueForm::Bare) form = ValueForm::Quoted;
        bool whole = obj->kind == "compute" && prop == "expression";
        if (auto bad = checkExpression(objectName, property, value, whole, at)) return bad;
        if (auto bad = checkBarcodeType(objectName, prop, value, at)) return bad;

        if (prop == "band" && !m_r.isValidBand(value))
            return failure(at, "unknown band '" + value + "'");
        if (column >= 0 && (prop == "dbname" || prop == "values" || prop == "initial" ||
                            prop == "validation" || prop == "validationmsg")) {
            m_r.m_columns[column].attrs.set(prop, std::move(value), ValueForm::Quoted);
            m_r.m_rows->touch();
            return std::nullopt;
        }
        if (prop == "dataobject" && obj->kind == "report") {
            if (trimView(value).empty()) {
                m_r.retire(std::move(obj->child));
            } else {
                auto child = m_r.loadChild(trimView(value));
                if (!child.ok()) return failure(at, child.error().message);
                m_r.retire(std::move(obj->child));
                obj->child = std::move(child).value();
            }
            obj->attrs.set("dataobject", std::move(value), form);
            m_r.touchSchema();
            return std::nullopt;
        }
        if (prop == "visible" && obj->kind == "column") reappearInGrid(*obj, value);
        if (prop.starts_with("dddw.")) m_r.retireDddwChildren();
        // An edit style comes from the attributes a column carries; a new one may change it.
        for (const char* style : {"dddw.", "ddlb.", "checkbox.", "radiobuttons.", "editmask."})
            if (prop.starts_with(style) && !obj->attrs.find(prop)) m_r.touchSchema();
        obj->attrs.set(prop, std::move(value), form);
        if (prop == "expression") m_r.m_rows->touch();
        return std::nullopt;
    }

    // In a grid, a column shown again goes to the right of the visible columns, with its
    // heading, so that hiding and showing columns in turn gives the order they were shown in.
    void reappearInGrid(ReportObject& column, const std::string& newValue) {
        if (trim(m_r.m_datawindow.get("processing", "0")) != "1") return;
        auto shown = [](const ReportObject& o) {
            std::string v = o.attrs.get("visible", "1");
            return trim(v.substr(0, v.find('\t'))) != "0";
        };
        if (shown(column) || trim(newValue.substr(0, newValue.find('\t'))) == "0") return;
        std::string band = asciiLower(column.attrs.get("band", "detail"));
        long right = LONG_MIN;
        long leftmost = LONG_MAX;
        for (const auto& o : m_r.m_objects) {
            if (o.kind != "column" || asciiLower(o.attrs.get("band", "detail")) != band) continue;
            long x = parseInteger(o.attrs.get("x", "0")).value_or(0);
            leftmost = std::min(leftmost, x);
            if (&o == &column || !shown(o)) continue;
            right = std::max(
                right, x + static_cast<long>(parseInteger(o.attrs.get("width", "0")).value_or(0)));
        }
        long newX = right != LONG_MIN ? right : leftmost;
        std::string oldX = column.attrs.get("x", "0");
        ReportObject* heading = m_r.findObject(column.name + "_t");
        if (!heading || heading->kind != "text") {
            heading = nullptr;
            for (auto& o : m_r.m_objects) {
                if (o.kind == "text" && asciiLower(o.attrs.get("band", "detail")) == "header" &&
                    o.attrs.get("x", "0") == oldX) {
                    heading = &o;
                    break;
                }
            }
        }
        column.attrs.set("x", std::to_string(newX));
        if (heading) heading->attrs.set("x", std::to_string(newX));
    }

    DataStore& m_r;
    std::string_view m_text;
    size_t m_pos = 0;
};

std::string DataStore::Modify(std::string_view statements) {
    // Even a failing Modify may have applied the statements before the one that failed.
    m_definitionVersion = nextVersion();
    return ModifyRunner(*this, statements).run();
}

int DataStore::SetPosition(std::string_view object, std::string_view band, bool bringToTop) {
    auto it = m_byName.find(asciiLower(object));
    if (it == m_byName.end()) return -1;
    m_definitionVersion = nextVersion();
    if (!trimView(band).empty()) {
        if (!isValidBand(band)) return -1;
        it->second->attrs.set("band", std::string(trimView(band)), ValueForm::Bare);
    }
    auto node = it->second;
    if (bringToTop)
        m_objects.splice(m_objects.end(), m_objects, node);
    else
        m_objects.splice(m_objects.begin(), m_objects, node);
    return 1;
}

int DataStore::SetRedraw(bool redraw) {
    m_redraw = redraw;
    return 1;
}

int DataStore::GetChild(std::string_view name, DataWindowChild*& child) {
    child = nullptr;
    ReportObject* obj = findObject(name);
    if (!obj) return -1;
    if (obj->kind == "report") {
        if (!obj->child) return -1;
        child = obj->child.get();
        return 1;
    }
    if (obj->kind == "column") {
        int c = columnIndex(name);
        if (c < 0) return -1;
        child = dddwChild(c);
        return child ? 1 : -1;
    }
    return -1;
}

}  // namespace print::engine
