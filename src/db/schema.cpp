#include "db/schema.h"

#include <optional>

#include "common/text.h"
#include "db/dialect.h"

namespace print::db {
namespace {

struct SchemaColumn {
    std::string name;
    std::string definition;  // as in CREATE TABLE, for ALTER TABLE ... ADD COLUMN
};

struct SchemaObject {
    std::string kind;
    std::string name;
    std::string table;  // the table of a trigger or an index
    bool demo = false;
    std::string sql;
    std::vector<SchemaColumn> columns;  // tables only
};

// The script is a list of objects, each opened by a line "-- @KIND NAME [demo]".
std::vector<SchemaObject> parseScript(std::string_view script) {
    std::vector<SchemaObject> objects;
    for (const std::string& line : split(script, '\n')) {
        std::string_view l = trimView(line);
        if (l.substr(0, 4) == "-- @") {
            std::vector<std::string> words;
            for (const std::string& w : split(l.substr(4), ' '))
                if (!w.empty()) words.push_back(w);
            SchemaObject o;
            o.kind = words.size() > 0 ? words[0] : "";
            o.name = words.size() > 1 ? words[1] : "";
            o.demo = words.size() > 2 && words[2] == "demo";
            objects.push_back(std::move(o));
            continue;
        }
        if (objects.empty()) continue;
        SchemaObject& o = objects.back();
        o.sql += line;
        o.sql += '\n';
        if (o.table.empty() && (o.kind == "trigger" || o.kind == "index") &&
            l.substr(0, 2) != "--") {
            std::vector<std::string> words;
            for (const std::string& w : split(l, ' '))
                if (!w.empty()) words.push_back(w);
            for (size_t i = 0; i + 1 < words.size() && o.table.empty(); ++i)
                if (iequals(words[i], "on")) o.table = words[i + 1];
        }
        if (o.kind != "table" || l.empty() || l.substr(0, 2) == "--") continue;
        std::string lower = asciiLower(l);
        if (istartsWith(lower, "create ") || lower[0] == ')' || istartsWith(lower, "primary ") ||
            istartsWith(lower, "constraint ") || istartsWith(lower, "unique") ||
            istartsWith(lower, "foreign ") || istartsWith(lower, "check"))
            continue;
        std::string definition(l);
        if (!definition.empty() && definition.back() == ',') definition.pop_back();
        o.columns.push_back({asciiLower(split(definition, ' ')[0]), definition});
    }
    return objects;
}

Result<bool> exists(Transaction& sqlca, const SchemaObject& o) {
    std::vector<Value> row;
    std::vector<Value> params{o.name};
    if (o.kind == "trigger" || o.kind == "index") params.emplace_back(o.table);
    long code = sqlca.selectInto(dialect::objectExistsSql(sqlca.backend(), o.kind), params, row,
                                 {ValueType::Long});
    if (code != 0) return Error{"looking for " + o.kind + " " + o.name + ": " + sqlca.sqlErrText()};
    return !row[0].isNull() && row[0].asLong() > 0;
}

// The statement text with its comment lines before CREATE, its final semicolon and the
// difference between runs of blanks taken away.
std::string comparableText(std::string_view sql) {
    std::string out;
    bool blank = false;
    bool started = false;
    for (const std::string& line : split(sql, '\n')) {
        std::string_view l = trimView(line);
        if (!started && (l.empty() || l.substr(0, 2) == "--")) continue;
        started = true;
        for (char c : line) {
            bool isBlank = c == ' ' || c == '\t' || c == '\r';
            if (!isBlank && blank && !out.empty()) out += ' ';
            if (!isBlank) out += c;
            blank = isBlank;
        }
        blank = true;
    }
    while (!out.empty() && (out.back() == ';' || out.back() == ' ')) out.pop_back();
    return out;
}

// Whether an existing trigger is the one of the script. A store made by an earlier version
// keeps its triggers until init replaces them. SQLite keeps each trigger's text; on
// PostgreSQL the triggers only call their functions and are taken as they are.
Result<bool> isCurrent(Transaction& sqlca, const SchemaObject& trigger) {
    std::string sql = dialect::triggerTextSql(sqlca.backend());
    if (sql.empty()) return true;
    std::vector<Value> row;
    if (sqlca.selectInto(sql, {trigger.name}, row, {ValueType::String}) != 0)
        return Error{"reading trigger " + trigger.name + ": " + sqlca.sqlErrText()};
    std::string stored = row[0].isNull() ? std::string() : row[0].asString();
    return comparableText(stored) == comparableText(trigger.sql);
}

Result<std::vector<std::string>> missingColumns(Transaction& sqlca, const SchemaObject& table) {
    std::vector<std::string> present;
    long code = sqlca.query(dialect::tableColumnsSql(sqlca.backend()), {table.name},
                            [&](const std::vector<Value>& row) {
                                present.push_back(asciiLower(row[0].toText()));
                                return true;
                            });
    if (code != 0) return Error{"reading the columns of " + table.name + ": " + sqlca.sqlErrText()};
    std::vector<std::string> missing;
    for (const SchemaColumn& c : table.columns) {
        bool found = false;
        for (const std::string& p : present) found = found || p == c.name;
        if (!found) missing.push_back(c.name);
    }
    return missing;
}

// The template tables whose second table the triggers keep in step with the first one. Rows of
// the first table saved before the triggers (or the second table) existed have no second row,
// and the blob saved into it later would go nowhere: its UPDATE finds no row.
struct TablePair {
    const char* first;
    const char* second;
    std::vector<const char*> keys;
};

const TablePair kTablePairs[] = {
    {"T_RPT_MODONE", "T_RPT_MODTWO", {"rtdocname", "rtname", "rtoperid"}},
    {"T_GOODSPRINT1", "T_GOODSPRINT2", {"bpbid", "bpname"}},
};

// The rows of the first table without a second row, as "FROM ... WHERE ..." over alias `a`.
std::string unpairedRowsSql(const TablePair& pair) {
    std::string match;
    for (const char* key : pair.keys)
        match += std::string(match.empty() ? "" : " AND ") + "b." + key + " = a." + key;
    return std::string(" FROM ") + pair.first + " a WHERE NOT EXISTS (SELECT 1 FROM " +
           pair.second + " b WHERE " + match + ")";
}

bool isReportedMissing(const std::vector<std::string>& report, const char* table) {
    std::string item = std::string("table ") + table;
    for (const std::string& r : report)
        if (r == item) return true;
    return false;
}

std::string joined(const std::vector<const char*>& names, const char* separator) {
    std::string out;
    for (const char* n : names) out += (out.empty() ? "" : separator) + std::string(n);
    return out;
}

// Whether `table` has a unique index over exactly `keys` (a primary key is one): the
// triggers' ON CONFLICT and SQLite's REPLACE need it to find a template's other row.
Result<bool> hasKey(Transaction& sqlca, const char* table, const std::vector<const char*>& keys) {
    std::vector<std::pair<std::string, std::string>> columns;  // index, column
    long code = sqlca.query(dialect::uniqueKeysSql(sqlca.backend()), {table},
                            [&](const std::vector<Value>& row) {
                                columns.emplace_back(row[0].toText(), asciiLower(row[1].toText()));
                                return true;
                            });
    if (code != 0)
        return Error{std::string("reading the keys of ") + table + ": " + sqlca.sqlErrText()};
    for (const auto& [index, column] : columns) {
        size_t size = 0;
        bool covered = true;
        for (const auto& [otherIndex, otherColumn] : columns) {
            if (otherIndex != index) continue;
            ++size;
            bool isKey = false;
            for (const char* k : keys) isKey = isKey || otherColumn == k;
            covered = covered && isKey;
        }
        if (covered && size == keys.size()) return true;
    }
    return false;
}

// Refuses to add a key over rows that share one, naming them (most repeated first).
Status refuseSharedKeys(Transaction& sqlca, const char* table,
                        const std::vector<const char*>& keys) {
    constexpr int kShown = 5;
    std::string list = joined(keys, ", ");
    std::string notNull;
    for (const char* k : keys)
        notNull += (notNull.empty() ? "" : " AND ") + std::string(k) + " IS NOT NULL";
    std::string sql = "SELECT " + list + ", count(*) FROM " + table + " WHERE " + notNull +
                      " GROUP BY " + list + " HAVING count(*) > 1 ORDER BY count(*) DESC, " + list;
    std::vector<std::string> shared;
    long total = 0;
    long code = sqlca.query(sql, {}, [&](const std::vector<Value>& row) {
        if (++total > kShown) return true;
        std::string key;
        for (size_t i = 0; i < keys.size(); ++i) key += (i ? " / " : "") + row[i].toText();
        shared.push_back(key + " (" + row[keys.size()].toText() + " rows)");
        return true;
    });
    if (code != 0)
        return Error{std::string("looking for rows of ") + table +
                     " that share a key: " + sqlca.sqlErrText()};
    if (shared.empty()) return {};
    std::string text = std::string(table) + " needs its key (" + list + "), but rows share one: ";
    for (size_t i = 0; i < shared.size(); ++i) text += (i ? "; " : "") + shared[i];
    if (total > kShown) text += "; and " + std::to_string(total - kShown) + " more";
    return Error{text};
}

// Reports (and with `create`, adds) the keys missing from template tables that exist.
Status walkKeys(Transaction& sqlca, bool create, std::vector<std::string>& report) {
    for (const TablePair& pair : kTablePairs) {
        for (const char* table : {pair.first, pair.second}) {
            if (isReportedMissing(report, table)) continue;
            auto found = hasKey(sqlca, table, pair.keys);
            if (!found) return found.error();
            if (found.value()) continue;
            std::string list = joined(pair.keys, ", ");
            report.push_back(std::string("key ") + table + " (" + list + ")");
            if (!create) continue;
            if (Status s = refuseSharedKeys(sqlca, table, pair.keys); !s) return s;
            if (sqlca.executeScript(std::string("CREATE UNIQUE INDEX UX_") + table + "_KEY ON " +
                                    table + " (" + list + ")") != 0)
                return Error{std::string("adding the key of ") + table + ": " + sqlca.sqlErrText()};
        }
    }
    return {};
}

// Reports (and with `create`, adds) the second rows that are missing.
Status walkPairs(Transaction& sqlca, bool create, std::vector<std::string>& report) {
    auto isMissing = [&](const char* table) { return isReportedMissing(report, table); };
    for (const TablePair& pair : kTablePairs) {
        if (!create && (isMissing(pair.first) || isMissing(pair.second))) continue;
        std::vector<Value> row;
        if (sqlca.selectInto("SELECT count(*)" + unpairedRowsSql(pair), {}, row,
                             {ValueType::Long}) != 0)
            return Error{std::string("counting the rows of ") + pair.first + " without a row in " +
                         pair.second + ": " + sqlca.sqlErrText()};
        int64_t unpaired = row[0].isNull() ? 0 : row[0].asLong();
        if (unpaired == 0) continue;
        report.push_back(std::string(pair.second) + " rows of " + std::to_string(unpaired) + " " +
                         pair.first + " rows");
        if (!create) continue;
        std::string keys;
        for (const char* key : pair.keys) keys += std::string(keys.empty() ? "" : ", ") + key;
        std::string selected;
        for (const char* key : pair.keys)
            selected += std::string(selected.empty() ? "" : ", ") + "a." + key;
        if (sqlca.execute(std::string("INSERT INTO ") + pair.second + " (" + keys + ") SELECT " +
                          selected + unpairedRowsSql(pair)) < 0)
            return Error{std::string("adding the missing rows of ") + pair.second + ": " +
                         sqlca.sqlErrText()};
    }
    return {};
}

// The search path under which missing objects are created on PostgreSQL, and the one to go
// back to.
struct SearchPath {
    std::string creating;
    std::string original;
};

std::string quotedIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// New objects go beside the component's tables that statements find already (the first of them
// in the script's order), so that a new set never hides them; into the current schema when there
// are none. Nothing to change on SQLite or when that schema is the current one.
Result<std::optional<SearchPath>> placement(Transaction& sqlca,
                                            const std::vector<SchemaObject>& objects) {
    if (sqlca.backend() != Backend::PostgreSql) return std::optional<SearchPath>();
    std::vector<Value> row;
    if (sqlca.selectInto(dialect::currentSchemaSql(), {}, row,
                         {ValueType::String, ValueType::String}) != 0)
        return Error{"reading the search path: " + sqlca.sqlErrText()};
    std::string current = row[0].isNull() ? std::string() : row[0].asString();
    std::string original = row[1].isNull() ? std::string() : row[1].asString();
    for (const SchemaObject& o : objects) {
        if (o.kind != "table") continue;
        long code = sqlca.selectInto(dialect::tableSchemaSql(), {o.name}, row, {ValueType::String});
        if (code == 100) continue;
        if (code != 0) return Error{"looking for table " + o.name + ": " + sqlca.sqlErrText()};
        std::string schema = row[0].asString();
        if (schema == current) break;
        return std::optional<SearchPath>(
            SearchPath{quotedIdentifier(schema) + ", " + original, original});
    }
    return std::optional<SearchPath>();
}

Status setSearchPath(Transaction& sqlca, const std::string& path) {
    std::vector<Value> row;
    if (sqlca.selectInto(dialect::setSearchPathSql(), {path}, row) != 0)
        return Error{"setting the search path: " + sqlca.sqlErrText()};
    return {};
}

Status createObject(Transaction& sqlca, const SchemaObject& o,
                    const std::optional<SearchPath>& path) {
    if (path)
        if (Status s = setSearchPath(sqlca, path->creating); !s) return s;
    if (sqlca.executeScript(o.sql) != 0)
        return Error{"creating " + o.kind + " " + o.name + ": " + sqlca.sqlErrText()};
    if (path) return setSearchPath(sqlca, path->original);
    return {};
}

// Walks the objects; with `create`, creates what is missing. The list of what was missing.
Result<std::vector<std::string>> walk(Transaction& sqlca, const SchemaOptions& options,
                                      bool create) {
    if (!sqlca.isConnected()) return Error{"not connected to a database"};
    std::vector<std::string> report;
    std::vector<SchemaObject> objects;
    for (SchemaObject& o : parseScript(dialect::schemaScript(sqlca.backend())))
        if (!o.demo || options.demo) objects.push_back(std::move(o));
    std::optional<SearchPath> path;
    if (create) {
        auto placed = placement(sqlca, objects);
        if (!placed) return placed.error();
        path = placed.value();
    }
    for (const SchemaObject& o : objects) {
        auto found = exists(sqlca, o);
        if (!found) return found.error();
        if (!found.value()) {
            report.push_back(o.kind + " " + o.name);
            if (create)
                if (Status made = createObject(sqlca, o, path); !made) return made.error();
            continue;
        }
        if (o.kind == "trigger") {
            auto current = isCurrent(sqlca, o);
            if (!current) return current.error();
            if (current.value()) continue;
            report.push_back("the current form of trigger " + o.name);
            if (!create) continue;
            if (sqlca.executeScript("DROP TRIGGER " + o.name) != 0)
                return Error{"replacing trigger " + o.name + ": " + sqlca.sqlErrText()};
            if (Status made = createObject(sqlca, o, path); !made) return made.error();
            continue;
        }
        if (o.kind != "table") continue;
        auto missing = missingColumns(sqlca, o);
        if (!missing) return missing.error();
        for (const std::string& name : missing.value()) {
            report.push_back("column " + o.name + "." + name);
            if (!create) continue;
            for (const SchemaColumn& c : o.columns) {
                if (c.name != name) continue;
                if (sqlca.executeScript("ALTER TABLE " + o.name + " ADD COLUMN " + c.definition) !=
                    0)
                    return Error{"adding column " + o.name + "." + name + ": " +
                                 sqlca.sqlErrText()};
            }
        }
    }
    if (Status keys = walkKeys(sqlca, create, report); !keys) return keys.error();
    if (Status pairs = walkPairs(sqlca, create, report); !pairs) return pairs.error();
    return report;
}

}  // namespace

Result<std::vector<std::string>> initSchema(Transaction& sqlca, const SchemaOptions& options) {
    if (!sqlca.isConnected()) return Error{"not connected to a database"};
    if (sqlca.executeScript(dialect::schemaLockSql(sqlca.backend())) != 0)
        return Error{"locking the schema: " + sqlca.sqlErrText()};
    auto created = walk(sqlca, options, true);
    if (!created) {
        (void)sqlca.rollback();
        return created;
    }
    if (sqlca.commit() != 0) {
        std::string text = "committing the schema: " + sqlca.sqlErrText();
        (void)sqlca.rollback();
        return Error{text};
    }
    return created;
}

Result<std::vector<std::string>> checkSchema(Transaction& sqlca, const SchemaOptions& options) {
    return walk(sqlca, options, false);
}

}  // namespace print::db
