#include "db/dialect.h"

namespace print::db {

namespace detail {
extern const std::string_view kSchemaScript_sqlite;
extern const std::string_view kSchemaScript_postgresql;
}  // namespace detail

long readAddressLine(Transaction& sqlca, std::string& line) {
    // LIMIT 1 in a scalar subquery and a SELECT without FROM read the same on both back ends.
    static const char* const kSql =
        "SELECT '地  址: ' || COALESCE((SELECT value FROM t_Privatepara WHERE code = '02' "
        "LIMIT 1), '') || '   联系电话: ' || COALESCE((SELECT value FROM t_Privatepara "
        "WHERE code = '06' LIMIT 1), '')";
    std::vector<Value> row;
    long code = sqlca.selectInto(kSql, {}, row, {ValueType::String});
    if (code == 0) line = row.empty() || row[0].isNull() ? std::string() : row[0].asString();
    return code;
}

namespace dialect {

std::string_view schemaScript(Backend backend) {
    return backend == Backend::Sqlite ? detail::kSchemaScript_sqlite
                                      : detail::kSchemaScript_postgresql;
}

std::string objectExistsSql(Backend backend, std::string_view kind) {
    if (backend == Backend::Sqlite) {
        std::string_view type = kind == "view"      ? "view"
                                : kind == "index"   ? "index"
                                : kind == "trigger" ? "trigger"
                                                    : "table";
        return "SELECT count(*) FROM sqlite_master WHERE type = '" + std::string(type) +
               "' AND lower(name) = lower(:name)";
    }
    if (kind == "function")
        return "SELECT count(*) FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
               "WHERE n.nspname = current_schema() AND p.proname = lower(:name)";
    if (kind == "trigger")
        return "SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
               "JOIN pg_namespace n ON n.oid = c.relnamespace "
               "WHERE n.nspname = current_schema() AND t.tgname = lower(:name)";
    std::string relkind = kind == "view" ? "'v'" : kind == "index" ? "'i'" : "'r', 'p'";
    return "SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
           "WHERE n.nspname = current_schema() AND c.relname = lower(:name) AND c.relkind IN (" +
           relkind + ")";
}

std::string tableColumnsSql(Backend backend) {
    if (backend == Backend::Sqlite) return "SELECT name FROM pragma_table_info(:name)";
    return "SELECT column_name FROM information_schema.columns "
           "WHERE table_schema = current_schema() AND table_name = lower(:name)";
}

std::string_view schemaLockSql(Backend backend) {
    // SQLite's BEGIN IMMEDIATE already serialises writers.
    return backend == Backend::Sqlite ? "" : "SELECT pg_advisory_xact_lock(734271001)";
}

std::string_view nameLockSql(Backend backend) {
    // The two-key form keeps names apart from the schema lock's single key.
    return backend == Backend::Sqlite ? ""
                                      : "SELECT pg_advisory_xact_lock(734271002, hashtext(:name))";
}

std::string integerSeriesSql(Backend backend) {
    if (backend == Backend::Sqlite)
        return "(WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < "
               ":count) SELECT n FROM s) series";
    return "generate_series(1, CAST(:count AS integer)) AS series(n)";
}

std::string dateAddDaysSql(Backend backend, std::string_view isoDate, std::string_view days) {
    if (backend == Backend::Sqlite)
        return "date('" + std::string(isoDate) + "', '+' || (" + std::string(days) +
               ") || ' days')";
    return "(DATE '" + std::string(isoDate) + "' + CAST((" + std::string(days) + ") AS integer))";
}

}  // namespace dialect
}  // namespace print::db
