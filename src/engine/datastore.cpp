#include "engine/datastore.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "common/text.h"
#include "engine/format.h"
#include "engine/library.h"
#include "engine/property_table.h"

namespace print::engine {
namespace {

constexpr int kComputeBase = 1 << 20;

// Nested reports load their definitions while their parent loads. A definition that nests
// itself, directly or through others, is found by name; a depth and a total bound stop
// definitions that fan out without a cycle (five reports of a report of five reports ...).
constexpr size_t kMaxNestingDepth = 8;
constexpr int kMaxNestedReports = 256;

struct NestedLoading {
    int scopes = 0;                      // Creates and loads under way on this thread
    std::vector<std::string> chain;      // the definitions being loaded, outermost first
    int loaded = 0;                      // nested reports loaded since the outermost began
    std::optional<std::string> failure;  // a cycle or a bound: the outermost load fails
};
thread_local NestedLoading t_loading;

// One load of a definition: the outermost starts the count afresh; `name`, when known, joins
// the chain while it lasts.
class LoadingScope {
public:
    explicit LoadingScope(std::string_view name = {}) {
        if (t_loading.scopes++ == 0) {
            t_loading.chain.clear();
            t_loading.loaded = 0;
            t_loading.failure.reset();
        }
        if (!trimView(name).empty()) {
            t_loading.chain.emplace_back(trimView(name));
            m_pushed = true;
        }
    }
    ~LoadingScope() {
        if (m_pushed) t_loading.chain.pop_back();
        --t_loading.scopes;
    }
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;

private:
    bool m_pushed = false;
};

// A crosstab's header level, `header[N]` (lower case).
bool isHeaderLevel(std::string_view name) {
    return name.size() > 8 && name.starts_with("header[") && name.back() == ']' &&
           name.find_first_not_of("0123456789", 7) == name.size() - 1;
}

// The default part of a `default<TAB>expression` value.
std::string_view defaultPart(std::string_view value) {
    size_t tab = value.find('\t');
    return tab == std::string_view::npos ? value : value.substr(0, tab);
}

}  // namespace

std::optional<ValueType> parseColumnType(std::string_view typeText) {
    std::string t = asciiLower(trim(typeText));
    size_t paren = t.find('(');
    std::string base = trim(t.substr(0, paren));
    if (base == "char" || base == "string" || base == "varchar") return ValueType::String;
    if (base == "decimal" || base == "number" || base == "real" || base == "double" ||
        base == "numeric")
        return ValueType::Number;
    if (base == "long" || base == "ulong" || base == "int" || base == "integer" || base == "uint")
        return ValueType::Long;
    if (base == "date") return ValueType::Date;
    if (base == "datetime" || base == "timestamp") return ValueType::DateTime;
    if (base == "time") return ValueType::Time;
    return std::nullopt;
}

DataStore::DataStore() : m_rows(std::make_shared<RowData>(std::vector<ValueType>{})) {
    m_schemaVersion = nextVersion();
}

DataStore::~DataStore() {
    if (m_sharePrimary) {
        auto& list = m_sharePrimary->m_shareSecondaries;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    for (DataStore* s : m_shareSecondaries) s->m_sharePrimary = nullptr;
}

void DataStore::clearDefinition() {
    ShareDataOff();
    m_created = false;
    m_release = "9";
    m_datawindow = {};
    m_header = m_summary = m_footer = m_detail = {};
    m_headerLevels.clear();
    m_table = {};
    m_columns.clear();
    m_storedData.clear();
    m_hasStoredData = false;
    m_groups.clear();
    m_objects.clear();
    m_byName.clear();
    m_columnByName.clear();
    m_dddwChildren.clear();
    m_retired.clear();
    m_expressions.clear();
    m_groupRuns.clear();
    m_rows = std::make_shared<RowData>(std::vector<ValueType>{});
    m_currentRow = 0;
    m_currentColumn.clear();
    m_editPending = false;
    touchSchema();
}

void DataStore::touchSchema() {
    m_schemaVersion = nextVersion();
    m_definitionVersion = nextVersion();
}

int DataStore::Create(std::string_view syntax, std::string& error) {
    LoadingScope scope;
    clearDefinition();
    try {
        auto parsed = parseDefinition(syntax);
        if (!parsed.ok()) {
            error = parsed.error().describe();
            return -1;
        }
        Status built = buildFrom(std::move(parsed).value(), definitionBody(syntax));
        if (!built.ok()) {
            error = built.error().describe();
            clearDefinition();
            return -1;
        }
    } catch (const std::bad_alloc&) {
        // A definition too big for the memory there is fails like any other that cannot load.
        clearDefinition();
        error = "there is not enough memory to load the definition";
        return -1;
    }
    error.clear();
    return 1;
}

int DataStore::SetDataObject(std::string_view name) {
    if (trimView(name).empty()) {
        clearDefinition();
        m_dataObject.clear();
        return 1;
    }
    auto found = LibrarySearchList::application().find(name);
    if (!found.ok()) {
        m_lastError = found.error().message;
        return -1;
    }
    if (!found.value()) {
        m_lastError =
            "the report definition '" + std::string(name) + "' is not in the library search list";
        return -1;
    }
    std::string error;
    LoadingScope scope(name);
    if (Create(*found.value(), error) != 1) {
        m_lastError = std::string(name) + ": " + error;
        return -1;
    }
    m_dataObject = std::string(name);
    return 1;
}

Status DataStore::buildFrom(DefinitionText text, std::string_view source) {
    m_release = text.release;
    bool sawDatawindow = false;
    for (auto& block : text.blocks) {
        std::string kw = asciiLower(block.keyword);
        if (kw == "datawindow") {
            m_datawindow = std::move(block.attrs);
            sawDatawindow = true;
        } else if (kw == "header" || kw == "summary" || kw == "footer" || kw == "detail") {
            Band& b = kw == "header"    ? m_header
                      : kw == "summary" ? m_summary
                      : kw == "footer"  ? m_footer
                                        : m_detail;
            b.attrs = std::move(block.attrs);
            b.present = true;
        } else if (isHeaderLevel(kw)) {
            m_headerLevels.push_back(std::move(block));
        } else if (kw == "table") {
            for (auto& a : block.attrs.items) {
                if (!iequals(a.name, "column") || a.form != ValueForm::Block) continue;
                auto attrs = parseAttributes(a.value);
                if (!attrs.ok())
                    return Error{"in a column of 'table': " + attrs.error().message, block.line, 1};
                TableColumn col;
                col.attrs = std::move(attrs).value();
                col.name = col.attrs.get("name");
                col.typeText = col.attrs.get("type");
                auto type = parseColumnType(col.typeText);
                if (!type)
                    return Error{"unknown column type '" + col.typeText + "' in 'table'",
                                 block.line, 1};
                if (col.name.empty())
                    return Error{"a column of 'table' has no name", block.line, 1};
                col.type = *type;
                a.value.clear();
                m_columns.push_back(std::move(col));
            }
            m_table = std::move(block.attrs);
        } else if (kw == "data") {
            m_storedData = std::move(block.data);
            m_hasStoredData = true;
        } else if (kw == "group") {
            m_groups.push_back(std::move(block));
        } else {
            ReportObject obj;
            obj.keyword = block.keyword;
            obj.kind = kw;
            obj.attrs = std::move(block.attrs);
            obj.name = obj.attrs.get("name");
            obj.isObject = isObjectKind(kw) || obj.attrs.find("band") != nullptr;
            obj.offset = block.offset;
            obj.line = block.line;
            m_objects.push_back(std::move(obj));
        }
    }
    if (!sawDatawindow) return Error{"the definition has no 'datawindow(...)' block", 1, 1};
    for (size_t i = 0; i < m_columns.size(); ++i)
        m_columnByName.emplace(asciiLower(m_columns[i].name), static_cast<int>(i));
    for (const auto& obj : m_objects) {
        if (!obj.isObject) continue;
        std::string band = obj.attrs.get("band", "detail");
        if (!isValidBand(band))
            return Error{"object '" + obj.name + "' names an unknown band '" + band + "'", 1, 1};
    }
    // Names are not case sensitive: a second object of a name could never be reached by it.
    if (const ReportObject* second = reindexObjects()) {
        const ReportObject& first = *objectByName(second->name);
        return definitionError(source, second->offset,
                               "an object named '" + first.name + "' is already on line " +
                                   std::to_string(first.line) + " (names are not case sensitive)");
    }
    for (auto& obj : m_objects) {
        if (obj.kind != "report") continue;
        std::string dataObject = obj.attrs.get("dataobject");
        if (trimView(dataObject).empty()) continue;
        auto child = loadChild(dataObject);
        if (child.ok()) {
            obj.child = std::move(child).value();
        } else if (t_loading.failure) {
            // A definition missing from the library leaves its report empty; nesting without
            // end would leave nothing usable.
            return definitionError(
                source, obj.offset,
                (obj.name.empty() ? std::string("a report") : "report '" + obj.name + "'") +
                    ": " + *t_loading.failure);
        } else {
            obj.childError = child.error().message;
        }
    }
    resetRows();
    if (Status loaded = loadStoredData(source); !loaded) return loaded;
    m_created = true;
    touchSchema();
    return {};
}

const ReportObject* DataStore::reindexObjects() {
    m_byName.clear();
    m_byName.reserve(m_objects.size());
    const ReportObject* duplicate = nullptr;
    for (auto it = m_objects.begin(); it != m_objects.end(); ++it) {
        if (!it->isObject || it->name.empty()) continue;
        if (!m_byName.emplace(asciiLower(it->name), it).second && !duplicate) duplicate = &*it;
    }
    return duplicate;
}

std::vector<ValueType> DataStore::columnTypes() const {
    std::vector<ValueType> types;
    types.reserve(m_columns.size());
    for (const auto& c : m_columns) types.push_back(c.type);
    return types;
}

void DataStore::resetRows() {
    m_rows = std::make_shared<RowData>(columnTypes());
    m_currentRow = 0;
}

namespace {

// The size of a number written as decimal text ("1e300", "-1e-300"), when the text is one; the
// number itself need not be one a Decimal holds.
std::optional<double> numberTextMagnitude(const std::string& text) {
    if (text.empty() || text.find_first_not_of("+-.0123456789eE") != std::string::npos)
        return std::nullopt;
    char* end = nullptr;
    const double d = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return std::fabs(d);
}

// A group's level: its `level`, else its place among the groups from 1.
int groupLevelOf(const AttributeList& attrs, size_t index) {
    return static_cast<int>(
        parseInteger(attrs.get("level")).value_or(static_cast<int64_t>(index + 1)));
}

}  // namespace

bool DataStore::hasGroupLevel(int level) const {
    for (size_t g = 0; g < m_groups.size(); ++g)
        if (groupLevelOf(m_groups[g].attrs, g) == level) return true;
    return false;
}

Status DataStore::loadStoredData(std::string_view source) {
    if (m_columns.empty() || m_storedData.empty()) return {};
    size_t n = m_columns.size();
    for (size_t start = 0; start + n <= m_storedData.size(); start += n) {
        uint32_t id = m_rows->newRow();
        for (size_t c = 0; c < n; ++c) {
            const DataItem& item = m_storedData[start + c];
            if (!item.quoted && iequals(item.text, "null")) continue;
            auto v = parseValue(item.text, m_columns[c].type);
            if (v) {
                m_rows->columns[c].set(id, *v);
                continue;
            }
            // A number a column cannot hold is refused rather than read as another one or as
            // null.
            const ValueType type = m_columns[c].type;
            if (type != ValueType::Long && type != ValueType::Number) continue;
            const std::string where = "the value " + item.text + " of column '" +
                                      m_columns[c].name + "' in row " +
                                      std::to_string(start / n + 1) + " of 'data' ";
            if (auto d = Decimal::parse(item.text); d && d->isInteger() && type == ValueType::Long)
                return definitionError(source, item.offset,
                                       where + "is beyond the range of a long");
            if (auto magnitude = numberTextMagnitude(item.text))
                return definitionError(
                    source, item.offset,
                    where + (*magnitude >= 1 ? "is beyond the range of a number"
                                             : "is too small for a number (it would read as 0)"));
        }
        m_rows->status[id] = static_cast<uint8_t>(RowStatus::NotModified);
        m_rows->primary.push_back(id);
    }
    if (!m_rows->primary.empty()) m_currentRow = 1;
    m_rows->touch();
    return {};
}

std::string DataStore::syntax() const {
    DefinitionText out;
    out.release = m_release;
    out.blocks.push_back({"datawindow", m_datawindow, {}, 0});
    const std::pair<const char*, const Band*> bands[] = {{"header", &m_header},
                                                         {"summary", &m_summary},
                                                         {"footer", &m_footer},
                                                         {"detail", &m_detail}};
    for (const auto& [name, band] : bands) {
        if (band->present) out.blocks.push_back({name, band->attrs, {}, 0});
        if (band == &m_header)
            for (const auto& level : m_headerLevels) out.blocks.push_back(level);
    }
    TextBlock table{"table", m_table, {}, 0};
    size_t next = 0;
    for (auto& a : table.attrs.items) {
        if (!iequals(a.name, "column") || a.form != ValueForm::Block) continue;
        if (next < m_columns.size()) a.value = writeAttributes(m_columns[next++].attrs);
    }
    while (next < m_columns.size())
        table.attrs.items.push_back(
            {"column", writeAttributes(m_columns[next++].attrs), ValueForm::Block});
    if (!m_columns.empty() || !m_table.items.empty()) out.blocks.push_back(std::move(table));
    if (m_hasStoredData) out.blocks.push_back({"data", {}, m_storedData, 0});
    for (const auto& g : m_groups) out.blocks.push_back(g);
    for (const auto& obj : m_objects) out.blocks.push_back({obj.keyword, obj.attrs, {}, 0});
    return writeDefinition(out);
}

bool DataStore::isValidBand(std::string_view band) const {
    std::string b = asciiLower(band);
    if (b == "header" || b == "detail" || b == "footer" || b == "summary" || b == "foreground" ||
        b == "background")
        return true;
    if (isHeaderLevel(b)) {
        for (const auto& level : m_headerLevels)
            if (asciiLower(level.keyword) == b) return true;
        return false;
    }
    for (const char* prefix : {"header.", "trailer."}) {
        if (!b.starts_with(prefix)) continue;
        auto level = parseInteger(std::string_view(b).substr(std::string_view(prefix).size()));
        if (!level) return false;
        for (const auto& g : m_groups)
            if (parseInteger(g.attrs.get("level", "0")) == level) return true;
        return false;
    }
    return false;
}

void DataStore::retire(std::unique_ptr<DataStore> child) {
    if (child) m_retired.push_back(std::move(child));
}

void DataStore::retireDddwChildren() {
    for (auto& [column, child] : m_dddwChildren) retire(std::move(child));
    m_dddwChildren.clear();
}

Result<std::unique_ptr<DataStore>> DataStore::loadChild(std::string_view dataObject) const {
    // Loaded outside a Create (by Modify, or a drop-down list when first shown), this report's
    // own name starts the chain.
    LoadingScope outer(t_loading.scopes == 0 ? std::string_view(m_dataObject) : std::string_view());
    NestedLoading& state = t_loading;
    std::string name(trimView(dataObject));
    for (size_t i = 0; i < state.chain.size(); ++i) {
        if (!iequals(state.chain[i], name)) continue;
        std::string path;
        for (size_t k = i; k < state.chain.size(); ++k) path += state.chain[k] + " > ";
        state.failure = "the report definition '" + state.chain[i] + "' nests itself: " + path + name;
        return Error{*state.failure};
    }
    if (state.chain.size() >= kMaxNestingDepth) {
        state.failure = "nested reports go deeper than " + std::to_string(kMaxNestingDepth) +
                        " levels at '" + name + "'";
        return Error{*state.failure};
    }
    if (++state.loaded > kMaxNestedReports) {
        state.failure = "the report nests more than " + std::to_string(kMaxNestedReports) +
                        " reports in all";
        return Error{*state.failure};
    }
    auto found = LibrarySearchList::application().find(name);
    if (!found.ok()) return found.error();
    if (!found.value())
        return Error{"the report definition '" + name + "' is not in the library search list"};
    auto child = std::make_unique<DataStore>();
    std::string error;
    {
        LoadingScope scope(name);
        if (child->Create(*found.value(), error) != 1) {
            if (state.failure) return Error{*state.failure};
            return Error{"the report definition '" + name + "' is not valid: " + error};
        }
    }
    child->m_dataObject = name;
    child->m_parent = this;
    return child;
}

ReportObject* DataStore::findObject(std::string_view name) {
    auto it = m_byName.find(asciiLower(name));
    return it == m_byName.end() ? nullptr : &*it->second;
}

const ReportObject* DataStore::objectByName(std::string_view name) const {
    auto it = m_byName.find(asciiLower(name));
    return it == m_byName.end() ? nullptr : &*it->second;
}

const DataStore::ColumnView& DataStore::columnView(int columnIndex) const {
    if (m_columnViewsVersion != m_schemaVersion) {
        m_columnViews.assign(m_columns.size(), ColumnView{});
        for (const auto& obj : m_objects) {
            if (obj.kind != "column") continue;
            auto id = parseInteger(obj.attrs.get("id"));
            if (!id || *id < 1 || *id > static_cast<int64_t>(m_columns.size())) continue;
            if (!m_columnViews[*id - 1].object) m_columnViews[*id - 1].object = &obj;
        }
        for (size_t c = 0; c < m_columns.size(); ++c) {
            ColumnView& view = m_columnViews[c];
            // A column object that names its column without an id.
            if (!view.object) {
                const ReportObject* named = objectByName(m_columns[c].name);
                if (named && named->kind == "column") view.object = named;
            }
            if (view.object) view.editStyle = editStyleOf(view.object->attrs);
        }
        m_columnViewsVersion = m_schemaVersion;
    }
    return m_columnViews[columnIndex];
}

const ReportObject* DataStore::columnObject(int columnIndex) const {
    if (columnIndex < 0 || columnIndex >= static_cast<int>(m_columns.size())) return nullptr;
    return columnView(columnIndex).object;
}

int DataStore::columnIndex(std::string_view name) const {
    if (!name.empty() && name.front() == '#') {
        auto n = parseInteger(name.substr(1));
        if (n && *n >= 1 && *n <= static_cast<int64_t>(m_columns.size()))
            return static_cast<int>(*n - 1);
        return -1;
    }
    auto it = m_columnByName.find(asciiLower(name));
    if (it != m_columnByName.end()) return it->second;
    // A column object whose name differs from its table column.
    if (const ReportObject* obj = objectByName(name); obj && obj->kind == "column") {
        auto id = parseInteger(obj->attrs.get("id"));
        if (id && *id >= 1 && *id <= static_cast<int64_t>(m_columns.size()))
            return static_cast<int>(*id - 1);
    }
    return -1;
}

// --- rows ---------------------------------------------------------------------------------------

long DataStore::RowCount() const {
    return static_cast<long>(m_rows->primary.size());
}
long DataStore::FilteredCount() const {
    return static_cast<long>(m_rows->filter.size());
}
long DataStore::DeletedCount() const {
    return static_cast<long>(m_rows->deleted.size());
}

long DataStore::InsertRow(long beforeRow) {
    if (!m_created) return -1;
    long count = RowCount();
    if (beforeRow < 0 || beforeRow > count) return -1;
    uint32_t id = m_rows->newRow();
    for (size_t c = 0; c < m_columns.size(); ++c) {
        const Attribute* initial = m_columns[c].attrs.find("initial");
        if (!initial) continue;
        auto v = parseValue(initial->value, m_columns[c].type);
        if (v) m_rows->columns[c].set(id, *v);
    }
    long row = beforeRow == 0 ? count + 1 : beforeRow;
    m_rows->primary.insert(m_rows->primary.begin() + (row - 1), id);
    m_rows->touchRow(id);
    if (m_currentRow == 0) m_currentRow = 1;
    return row;
}

int DataStore::DeleteRow(long row) {
    if (row == 0) row = m_currentRow;
    if (row < 1 || row > RowCount()) return -1;
    uint32_t id = m_rows->primary[row - 1];
    m_rows->primary.erase(m_rows->primary.begin() + (row - 1));
    auto status = static_cast<RowStatus>(m_rows->status[id]);
    // Rows that never came from the database have nothing to delete there.
    if (status != RowStatus::New && status != RowStatus::NewModified) m_rows->deleted.push_back(id);
    if (m_currentRow > RowCount()) m_currentRow = RowCount();
    m_rows->touchRow(id);
    return 1;
}

int DataStore::Reset() {
    m_rows->clear();
    m_currentRow = 0;
    m_editPending = false;
    return 1;
}

int DataStore::RowsCopy(long startRow, long endRow, Buffer copyBuffer, DataStore& target,
                        long beforeRow, Buffer targetBuffer) {
    auto& src = m_rows->buffer(copyBuffer);
    long count = static_cast<long>(src.size());
    if (startRow < 1 || endRow < startRow || startRow > count) return -1;
    if (!target.m_created || target.m_columns.size() != m_columns.size()) return -1;
    // Rows go by position: a column of another type would take values it cannot show (a row
    // number as a date).
    if (!sameColumnTypes(target)) return -1;
    endRow = std::min(endRow, count);
    size_t n = static_cast<size_t>(endRow - startRow + 1);
    // Take the ids first: source and target may share one row store.
    std::vector<uint32_t> ids(src.begin() + (startRow - 1), src.begin() + endRow);
    RowData& dst = *target.m_rows;
    uint32_t firstNew = static_cast<uint32_t>(dst.status.size());
    for (size_t c = 0; c < m_columns.size(); ++c)
        dst.columns[c].appendFrom(m_rows->columns[c], ids.data(), n);
    for (size_t i = 0; i < n; ++i)
        dst.status.push_back(static_cast<uint8_t>(RowStatus::NewModified));
    auto& tbuf = dst.buffer(targetBuffer);
    long tcount = static_cast<long>(tbuf.size());
    long at = (beforeRow < 1 || beforeRow > tcount) ? tcount : beforeRow - 1;
    std::vector<uint32_t> newIds(n);
    for (size_t i = 0; i < n; ++i) newIds[i] = firstNew + static_cast<uint32_t>(i);
    tbuf.insert(tbuf.begin() + at, newIds.begin(), newIds.end());
    dst.touch();
    if (targetBuffer == Buffer::Primary && target.m_currentRow == 0) target.m_currentRow = 1;
    return 1;
}

int DataStore::RowsMove(long startRow, long endRow, Buffer moveBuffer, DataStore& target,
                        long beforeRow, Buffer targetBuffer) {
    if (&target == this && moveBuffer == targetBuffer) {
        // Within one buffer the rows keep their ids (and status); only their order changes.
        auto& buf = m_rows->buffer(moveBuffer);
        const long count = static_cast<long>(buf.size());
        if (startRow < 1 || endRow < startRow || startRow > count) return -1;
        endRow = std::min(endRow, count);
        const long at = (beforeRow < 1 || beforeRow > count) ? count + 1 : beforeRow;
        if (at >= startRow && at <= endRow + 1) return 1;  // already there
        std::vector<uint32_t> ids(buf.begin() + (startRow - 1), buf.begin() + endRow);
        buf.erase(buf.begin() + (startRow - 1), buf.begin() + endRow);
        const long n = endRow - startRow + 1;
        const long insertAt = (at > endRow ? at - n : at) - 1;
        buf.insert(buf.begin() + insertAt, ids.begin(), ids.end());
        m_rows->touch();
        return 1;
    }
    if (RowsCopy(startRow, endRow, moveBuffer, target, beforeRow, targetBuffer) != 1) return -1;
    auto& src = m_rows->buffer(moveBuffer);
    endRow = std::min(endRow, static_cast<long>(src.size()));
    src.erase(src.begin() + (startRow - 1), src.begin() + endRow);
    if (m_currentRow > RowCount()) m_currentRow = RowCount();
    m_rows->touch();
    return 1;
}

bool DataStore::sameColumnTypes(const DataStore& other) const {
    if (other.m_columns.size() != m_columns.size()) return false;
    for (size_t c = 0; c < m_columns.size(); ++c) {
        bool numA = m_columns[c].type == ValueType::Number || m_columns[c].type == ValueType::Long;
        bool numB = other.m_columns[c].type == ValueType::Number ||
                    other.m_columns[c].type == ValueType::Long;
        if (m_columns[c].type != other.m_columns[c].type && !(numA && numB)) return false;
    }
    return true;
}

int DataStore::ShareData(DataStore& secondary) {
    if (&secondary == this || !m_created || !secondary.m_created) return -1;
    if (!sameColumnTypes(secondary)) return -1;
    if (secondary.m_sharePrimary) secondary.ShareDataOff();
    secondary.m_rows = m_rows;
    secondary.m_sharePrimary = this;
    secondary.m_currentRow = RowCount() > 0 ? 1 : 0;
    m_shareSecondaries.push_back(&secondary);
    return 1;
}

int DataStore::ShareDataOff() {
    if (m_sharePrimary) {
        auto& list = m_sharePrimary->m_shareSecondaries;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        m_sharePrimary = nullptr;
        resetRows();
        return 1;
    }
    if (m_shareSecondaries.empty()) return -1;
    for (DataStore* s : m_shareSecondaries) {
        s->m_sharePrimary = nullptr;
        s->resetRows();
    }
    m_shareSecondaries.clear();
    return 1;
}

long DataStore::Find(std::string_view expression, long start, long end) {
    auto expr = m_expressions.get(expression);
    if (!expr.ok()) {
        m_lastError = expr.error().describe();
        return -1;
    }
    long count = RowCount();
    if (count == 0) return 0;
    start = std::clamp(start, 1L, count);
    end = std::clamp(end, 1L, count);
    const Expression& e = *expr.value();
    // An unknown name or a wrong argument shows on the first row; after that only the answer
    // matters.
    if (auto first = e.evaluate(*this, start); !first.ok()) {
        m_lastError = first.error().message;
        return -1;
    }
    if (start <= end) {
        for (long r = start; r <= end; ++r)
            if (e.isTrue(*this, r)) return r;
    } else {
        for (long r = start; r >= end; --r)
            if (e.isTrue(*this, r)) return r;
    }
    return 0;
}

int DataStore::columnArg(std::string_view column) const {
    return columnIndex(column);
}

int DataStore::SetItem(long row, std::string_view column, const Value& value) {
    int c = columnArg(column);
    if (c < 0) return -1;
    return SetItem(row, c + 1, value);
}

int DataStore::SetItem(long row, int column, const Value& value) {
    if (row < 1 || row > RowCount() || column < 1 || column > static_cast<int>(m_columns.size()))
        return -1;
    uint32_t id = m_rows->primary[row - 1];
    if (!m_rows->columns[column - 1].set(id, value)) return -1;
    auto& st = m_rows->status[id];
    if (st == static_cast<uint8_t>(RowStatus::New))
        st = static_cast<uint8_t>(RowStatus::NewModified);
    if (st == static_cast<uint8_t>(RowStatus::NotModified))
        st = static_cast<uint8_t>(RowStatus::DataModified);
    m_rows->touchRow(id);
    return 1;
}

std::optional<Value> DataStore::GetItem(long row, std::string_view column, Buffer buffer) const {
    const auto& buf = m_rows->buffer(buffer);
    if (row < 1 || row > static_cast<long>(buf.size())) return std::nullopt;
    int c = columnArg(column);
    if (c >= 0) return m_rows->columns[c].get(buf[row - 1]);
    if (buffer != Buffer::Primary) return std::nullopt;
    int slot = resolveName(column);
    if (slot < 0) return std::nullopt;
    return valueAt(slot, row);
}

std::optional<std::string> DataStore::GetItemString(long row, std::string_view column) const {
    auto v = GetItem(row, column);
    if (!v || v->isNull()) return std::nullopt;
    return v->toText();
}

std::optional<Decimal> DataStore::GetItemNumber(long row, std::string_view column) const {
    auto v = GetItem(row, column);
    if (!v || v->isNull()) return std::nullopt;
    return v->toDecimal();
}

std::optional<Date> DataStore::GetItemDate(long row, std::string_view column) const {
    auto v = GetItem(row, column);
    if (!v || v->isNull()) return std::nullopt;
    auto d = coerce(*v, ValueType::Date);
    if (!d || d->isNull()) return std::nullopt;
    return d->asDate();
}

std::optional<DateTime> DataStore::GetItemDateTime(long row, std::string_view column) const {
    auto v = GetItem(row, column);
    if (!v || v->isNull()) return std::nullopt;
    auto d = coerce(*v, ValueType::DateTime);
    if (!d || d->isNull()) return std::nullopt;
    return d->asDateTime();
}

std::optional<RowStatus> DataStore::GetItemStatus(long row, Buffer buffer) const {
    const auto& buf = m_rows->buffer(buffer);
    if (row < 1 || row > static_cast<long>(buf.size())) return std::nullopt;
    return static_cast<RowStatus>(m_rows->status[buf[row - 1]]);
}

int DataStore::SetRow(long row) {
    if (row < 1 || row > RowCount()) return -1;
    if (m_editPending && AcceptText() != 1) return -1;
    m_currentRow = row;
    return 1;
}

int DataStore::ScrollToRow(long row) {
    if (RowCount() == 0) return -1;
    if (SetRow(std::clamp(row, 1L, RowCount())) != 1) return -1;
    showRowInPreview(m_currentRow);
    return 1;
}

int DataStore::SetColumn(std::string_view column) {
    int c = columnArg(column);
    if (c < 0) return -1;
    m_currentColumn = m_columns[c].name;
    return 1;
}

int DataStore::SetText(std::string_view text) {
    if (m_currentRow < 1 || m_currentColumn.empty()) return -1;
    m_editText = std::string(text);
    m_editPending = true;
    return 1;
}

int DataStore::AcceptText() {
    if (!m_editPending) return 1;
    long row = m_currentRow;
    int c = columnArg(m_currentColumn);
    if (row < 1 || row > RowCount() || c < 0) {
        m_editPending = false;
        return -1;
    }
    std::string text = m_editText;
    const std::string& column = m_columns[c].name;
    std::optional<Value> value;
    const std::optional<std::string> styled = editStyleValue(c, text);
    if (!styled)
        value = std::nullopt;
    else if (styled->empty() && m_columns[c].type != ValueType::String)
        value = Value();
    else
        value = parseValue(*styled, m_columns[c].type);
    if (!value) {
        int action = itemError ? itemError(row, column, text) : 0;
        if (action == 2 && m_columns[c].type == ValueType::String) value = Value(text);
        if (!value) return -1;
    }
    int changed = itemChanged ? itemChanged(row, column, text) : 0;
    if (changed == 1) return -1;
    m_editPending = false;
    if (changed == 2) return 1;
    return SetItem(row, c + 1, *value) == 1 ? 1 : -1;
}

int DataStore::SetTransObject(RowSource* source) {
    m_source = source;
    return 1;
}

namespace {

// Reads arguments=(("name", type),("name2", type)).
std::vector<std::pair<std::string, std::string>> parseArgumentList(std::string_view raw) {
    std::vector<std::pair<std::string, std::string>> out;
    size_t i = 0;
    while (i < raw.size()) {
        size_t open = raw.find('(', i);
        if (open == std::string_view::npos) break;
        size_t close = raw.find(')', open);
        if (close == std::string_view::npos) break;
        std::string_view inner = raw.substr(open + 1, close - open - 1);
        size_t comma = inner.find(',');
        std::string name = trim(inner.substr(0, comma));
        if (name.size() >= 2 && (name.front() == '"' || name.front() == '\''))
            name = name.substr(1, name.size() - 2);
        std::string type =
            comma == std::string_view::npos ? "string" : trim(inner.substr(comma + 1));
        out.emplace_back(name, asciiLower(type));
        i = close + 1;
    }
    return out;
}

ValueType argumentType(const std::string& type) {
    if (type == "number" || type == "decimal" || type == "real") return ValueType::Number;
    if (type == "long" || type == "ulong" || type == "integer") return ValueType::Long;
    if (type == "date") return ValueType::Date;
    if (type == "datetime") return ValueType::DateTime;
    if (type == "time") return ValueType::Time;
    return ValueType::String;
}

class StoreSink : public RowSink {
public:
    explicit StoreSink(RowData& rows) : m_rows(rows) {}
    void appendRow(std::vector<Value>& values) override {
        uint32_t id = static_cast<uint32_t>(m_rows.status.size());
        size_t n = m_rows.columns.size();
        for (size_t c = 0; c < n; ++c)
            m_rows.columns[c].append(c < values.size() ? values[c] : Value());
        m_rows.status.push_back(static_cast<uint8_t>(RowStatus::NotModified));
        m_rows.primary.push_back(id);
    }

private:
    RowData& m_rows;
};

}  // namespace

long DataStore::Retrieve(const std::vector<Value>& args) {
    m_lastError.clear();
    if (!m_created) {
        m_lastError = "the report has no definition";
        return -1;
    }
    if (!m_source) {
        m_lastError = "no transaction: call SetTransObject before Retrieve";
        return -1;
    }
    std::string sql = m_table.get("retrieve");
    if (trimView(sql).empty()) {
        m_lastError = "the report has no retrieve statement";
        return -1;
    }
    if (istartsWith(trimView(sql), "PBSELECT")) {
        m_lastError = "the retrieve statement is in the painter's query form; write it as SQL";
        return -1;
    }
    std::vector<RetrieveArgument> arguments;
    auto declared = parseArgumentList(m_table.get("arguments"));
    for (size_t i = 0; i < declared.size(); ++i) {
        RetrieveArgument a;
        a.name = declared[i].first;
        a.type = argumentType(declared[i].second);
        a.value = i < args.size() ? args[i] : Value();
        arguments.push_back(std::move(a));
    }
    std::vector<RetrieveColumn> cols;
    for (const auto& c : m_columns) cols.push_back({c.name, c.attrs.get("dbname", c.name), c.type});
    Reset();
    StoreSink sink(*m_rows);
    auto result = m_source->retrieve(sql, arguments, cols, sink);
    m_rows->touch();
    if (!result.ok()) {
        m_lastError = result.error().message;
        return -1;
    }
    m_currentRow = RowCount() > 0 ? 1 : 0;
    return RowCount();
}

// --- expressions --------------------------------------------------------------------------------

void DataStore::rebuildComputes() const {
    if (m_computesVersion == m_schemaVersion) return;
    m_computes.clear();
    m_computeByName.clear();
    for (const auto& obj : m_objects) {
        if (obj.kind != "compute" || obj.name.empty()) continue;
        m_computeByName.emplace(asciiLower(obj.name), static_cast<int>(m_computes.size()));
        m_computes.push_back(&obj);
    }
    m_computing.assign(m_computes.size(), 0);
    m_computesVersion = m_schemaVersion;
}

int DataStore::resolveName(std::string_view name) const {
    int c = columnIndex(name);
    if (c >= 0) return c;
    rebuildComputes();
    auto it = m_computeByName.find(asciiLower(name));
    if (it != m_computeByName.end()) return kComputeBase + it->second;
    return -1;
}

Result<Value> DataStore::computeValue(int computeIndex, long row) const {
    rebuildComputes();
    if (computeIndex < 0 || computeIndex >= static_cast<int>(m_computes.size())) return Value();
    // A field that needs its own value, directly or through others (c1 = Sum(c1 for all) + 1),
    // has none: null, rather than a number made up by how deep the evaluation went.
    if (m_computing[computeIndex]) return Value();
    const ReportObject& field = *m_computes[computeIndex];
    // A definition may use functions we lack; the field is then an error, shown as empty.
    auto expr = m_expressions.get(field.attrs.get("expression"));
    if (!expr.ok())
        return Error{"the expression of '" + field.name + "' is not valid: " +
                     expr.error().message};
    m_computing[computeIndex] = 1;
    auto v = expr.value()->evaluate(*this, row);
    m_computing[computeIndex] = 0;
    return v;
}

bool DataStore::isComputed(int slot) const { return slot >= kComputeBase; }

Result<Value> DataStore::evaluateSlot(int slot, long row) const {
    if (slot >= kComputeBase) return computeValue(slot - kComputeBase, row);
    return valueAt(slot, row);
}

Value DataStore::computedValueOrNull(int computeIndex, long row) const {
    auto v = computeValue(computeIndex, row);
    return v.ok() ? std::move(v).value() : Value();
}

Value DataStore::valueAt(int slot, long row) const {
    if (slot >= kComputeBase) return computedValueOrNull(slot - kComputeBase, row);
    if (row < 1 || row > RowCount() || slot < 0 || slot >= static_cast<int>(m_columns.size()))
        return Value();
    return m_rows->columns[slot].get(m_rows->primary[row - 1]);
}

namespace {

// The names of a group's `by=("a" "b")` list: quoted or bare, separated by blanks or commas.
std::vector<std::string> byNames(std::string_view raw) {
    std::vector<std::string> names;
    size_t i = 0;
    while (i < raw.size()) {
        char c = raw[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',') {
            ++i;
            continue;
        }
        if (c == '"' || c == '\'') {
            size_t start = ++i;
            while (i < raw.size() && raw[i] != c) i += raw[i] == '~' ? 2 : 1;
            names.push_back(unescapeText(raw.substr(start, std::min(i, raw.size()) - start)));
            ++i;
            continue;
        }
        size_t start = i;
        while (i < raw.size() && raw[i] != ' ' && raw[i] != '\t' && raw[i] != '\r' &&
               raw[i] != '\n' && raw[i] != ',')
            ++i;
        names.emplace_back(raw.substr(start, i - start));
    }
    return names;
}

}  // namespace

const DataStore::GroupRuns& DataStore::groupRuns(int level) const {
    GroupRuns& runs = m_groupRuns[level];
    uint64_t data = dataVersion();
    if (runs.building || (runs.dataVersion == data && runs.schemaVersion == m_schemaVersion))
        return runs;
    runs = GroupRuns{};
    runs.building = true;
    auto finish = [&](std::optional<Error> error) -> const GroupRuns& {
        runs.error = std::move(error);
        runs.building = false;
        runs.dataVersion = data;
        runs.schemaVersion = m_schemaVersion;
        return runs;
    };
    // A group of level N runs over the columns of its own `by` and of every level above it.
    std::vector<int> slots;
    const bool found = hasGroupLevel(level);
    for (size_t g = 0; g < m_groups.size(); ++g) {
        const AttributeList& attrs = m_groups[g].attrs;
        const int own = groupLevelOf(attrs, g);
        if (own > level) continue;
        for (const std::string& name : byNames(attrs.get("by"))) {
            int slot = resolveName(name);
            if (slot < 0)
                return finish(Error{"group " + std::to_string(own) + " groups by '" + name +
                                    "', which is neither a column nor a computed field"});
            slots.push_back(slot);
        }
    }
    if (!found) return finish(Error{"the report has no group " + std::to_string(level)});
    long count = RowCount();
    std::vector<Value> previous(slots.size()), current(slots.size());
    for (long r = 1; r <= count; ++r) {
        bool differs = r == 1;
        for (size_t i = 0; i < slots.size(); ++i) {
            auto v = evaluateSlot(slots[i], r);
            if (!v.ok()) {
                // A computed field that fails may do so only where it was asked (nested too
                // deeply): the runs are not kept.
                runs.error = v.error();
                runs.building = false;
                return runs;
            }
            current[i] = std::move(v).value();
            if (!(current[i] == previous[i])) differs = true;
        }
        if (differs) runs.starts.push_back(r);
        previous.swap(current);
    }
    return finish(std::nullopt);
}

Result<std::pair<long, long>> DataStore::groupRange(int level, long row) const {
    const GroupRuns& runs = groupRuns(level);
    if (runs.building)
        return Error{"group " + std::to_string(level) + " groups by a field that needs the group"};
    if (runs.error) return *runs.error;
    if (row < 1 || row > RowCount() || runs.starts.empty()) return std::pair<long, long>{row, row};
    auto next = std::upper_bound(runs.starts.begin(), runs.starts.end(), row);
    long first = *std::prev(next);
    long last = next == runs.starts.end() ? RowCount() : *next - 1;
    return std::pair<long, long>{first, last};
}

bool DataStore::stringAt(int slot, long row, std::string_view& out) const {
    if (slot < 0 || slot >= static_cast<int>(m_columns.size()) || row < 1 || row > RowCount())
        return false;
    return m_rows->columns[slot].stringView(m_rows->primary[row - 1], out);
}

namespace {

// Display value of `data` in a code table "Display<TAB>data/Display2<TAB>data2/".
std::optional<std::string> codeTableDisplay(std::string_view table, const Value& value) {
    if (table.empty() || value.isNull()) return std::nullopt;
    std::string text = value.toText();
    auto number = value.toDecimal();
    for (const std::string& entry : split(table, '/')) {
        size_t tab = entry.find('\t');
        if (tab == std::string::npos) continue;
        std::string data = entry.substr(tab + 1);
        if (data == text) return entry.substr(0, tab);
        if (number && value.isNumeric()) {
            auto d = Decimal::parse(data);
            if (d && *d == *number) return entry.substr(0, tab);
        }
    }
    return std::nullopt;
}

}  // namespace

std::string editStyleOf(const AttributeList& attrs) {
    for (const auto& a : attrs.items) {
        std::string n = asciiLower(a.name);
        for (const char* style : {"dddw", "ddlb", "checkbox", "radiobuttons", "editmask"})
            if (n.starts_with(std::string(style) + ".")) return style;
    }
    return "edit";
}

DataStore::BandProperty DataStore::bandProperty(const std::string& p) const {
    BandProperty out;
    for (std::string_view bandName : {"header", "summary", "footer", "detail", "trailer"}) {
        std::string prefix = std::string(bandName) + ".";
        if (!p.starts_with(prefix)) continue;
        out.isBandPath = true;
        std::string rest = p.substr(prefix.size());
        size_t dot = rest.find('.');
        auto level = parseInteger(rest.substr(0, dot));
        if (level && dot != std::string::npos) {
            // A group band: header.N or trailer.N, kept in the group block as header.height.
            std::string tail = rest.substr(dot + 1);
            for (const auto& g : m_groups) {
                if (parseInteger(g.attrs.get("level", "0")) != level) continue;
                out.attrs = &g.attrs;
                out.name = std::string(bandName) + "." + tail;
                out.known = tail == "height" || tail == "color" || tail == "suppress" ||
                            tail == "height.autosize" || g.attrs.find(out.name);
                if (tail == "height") out.defaultValue = "0";
                return out;
            }
            return out;
        }
        if (bandName == "trailer") return out;
        out.band = bandName == "header"    ? &m_header
                   : bandName == "summary" ? &m_summary
                   : bandName == "footer"  ? &m_footer
                                           : &m_detail;
        out.attrs = &out.band->attrs;
        out.name = rest;
        out.known = rest == "height" || rest == "color" || rest == "height.autosize" ||
                    rest == "pointer" || out.attrs->find(rest);
        if (rest == "height") out.defaultValue = "0";
        if (rest == "color") out.defaultValue = "536870912";
        if (rest == "height.autosize") out.defaultValue = "no";
        return out;
    }
    return out;
}

DataStore* DataStore::dddwChild(int columnIndex) const {
    auto it = m_dddwChildren.find(columnIndex);
    if (it != m_dddwChildren.end()) return it->second.get();
    const ReportObject* obj = columnObject(columnIndex);
    if (!obj) return nullptr;
    std::string name = obj->attrs.get("dddw.name");
    if (trimView(name).empty()) return nullptr;
    auto child = loadChild(name);
    if (!child.ok()) return nullptr;
    DataStore* raw = child.value().get();
    m_dddwChildren.emplace(columnIndex, std::move(child).value());
    return raw;
}

std::string DataStore::lookUpDisplay(int slot, long row) const {
    if (slot >= kComputeBase) return generalText(valueAt(slot, row));
    if (slot < 0 || slot >= static_cast<int>(m_columns.size())) return {};
    Value v = valueAt(slot, row);
    const ReportObject* obj = columnObject(slot);
    const std::string& style = columnView(slot).editStyle;
    if (style == "dddw") {
        if (DataStore* child = dddwChild(slot)) {
            std::string dataColumn = obj->attrs.get("dddw.datacolumn");
            std::string displayColumn = obj->attrs.get("dddw.displaycolumn");
            int dc = child->columnIndex(dataColumn);
            if (dc >= 0 && !v.isNull()) {
                for (long r = 1; r <= child->RowCount(); ++r) {
                    Value d = child->valueAt(dc, r);
                    if (d == v || compareValues(d, v) == 0) {
                        auto shown = child->GetItem(r, displayColumn);
                        return shown ? generalText(*shown) : std::string();
                    }
                }
            }
        }
        return generalText(v);
    }
    const Attribute* values = m_columns[slot].attrs.find("values");
    if (!values && obj) values = obj->attrs.find("values");
    if (values) {
        if (auto shown = codeTableDisplay(values->value, v)) return *shown;
    }
    return generalText(v);
}

std::optional<std::string> DataStore::evaluateProperty(const std::string& value, long row) const {
    size_t tab = value.find('\t');
    if (tab == std::string::npos) return value;
    auto expr = m_expressions.get(std::string_view(value).substr(tab + 1));
    if (!expr.ok()) return std::string(defaultPart(value));
    auto v = expr.value()->evaluate(*this, row);
    if (!v.ok()) return std::string(defaultPart(value));
    return v.value().toText();
}

std::string DataStore::displayText(int columnIndex, long row, const Value& value) const {
    const ReportObject* obj = columnObject(columnIndex);
    if (!obj) return generalText(value);
    const std::string& style = columnView(columnIndex).editStyle;
    bool codeTable = style == "ddlb" || style == "radiobuttons" || style == "dddw" ||
                     iequals(obj->attrs.get("edit.codetable"), "yes") ||
                     iequals(obj->attrs.get("editmask.codetable"), "yes");
    if (codeTable) return lookUpDisplay(columnIndex, row);
    if (style == "checkbox") {
        std::string text = obj->attrs.get("checkbox.text");
        if (!text.empty()) return text;
    }
    std::string format = obj->attrs.get("format");
    if (format.empty() && style == "editmask") format = obj->attrs.get("editmask.mask");
    auto f = evaluateProperty(format, row);
    return formatValue(value, f ? *f : format).text;
}

std::string DataStore::GetItemText(long row, std::string_view column) const {
    auto v = GetItem(row, column);
    if (!v) return {};
    int c = columnArg(column);
    if (c >= 0) return displayText(c, row, *v);
    // A computed field shows its own format.
    const ReportObject* obj = objectByName(column);
    std::string format = obj ? obj->attrs.get("format") : std::string();
    auto f = evaluateProperty(format, row);
    return formatValue(*v, f ? *f : format).text;
}

}  // namespace print::engine
