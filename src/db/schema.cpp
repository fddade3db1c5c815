#include "db/schema.h"

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
    long code = sqlca.selectInto(dialect::objectExistsSql(sqlca.backend(), o.kind), {o.name}, row,
                                 {ValueType::Long});
    if (code != 0) return Error{"looking for " + o.kind + " " + o.name + ": " + sqlca.sqlErrText()};
    return !row[0].isNull() && row[0].asLong() > 0;
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

// Walks the objects; with `create`, creates what is missing. The list of what was missing.
Result<std::vector<std::string>> walk(Transaction& sqlca, const SchemaOptions& options,
                                      bool create) {
    if (!sqlca.isConnected()) return Error{"not connected to a database"};
    std::vector<std::string> report;
    for (const SchemaObject& o : parseScript(dialect::schemaScript(sqlca.backend()))) {
        if (o.demo && !options.demo) continue;
        auto found = exists(sqlca, o);
        if (!found) return found.error();
        if (!found.value()) {
            report.push_back(o.kind + " " + o.name);
            if (create && sqlca.executeScript(o.sql) != 0)
                return Error{"creating " + o.kind + " " + o.name + ": " + sqlca.sqlErrText()};
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
