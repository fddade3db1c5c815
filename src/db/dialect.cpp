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
        if (kind == "trigger" || kind == "index")
            return "SELECT count(*) FROM sqlite_master WHERE type = '" + std::string(kind) +
                   "' AND lower(name) = lower(:name) AND lower(tbl_name) = lower(:table)";
        std::string_view type = kind == "view" ? "view" : "table";
        return "SELECT count(*) FROM sqlite_master WHERE type = '" + std::string(type) +
               "' AND lower(name) = lower(:name)";
    }
    // to_regclass and the *_is_visible functions look names up through the search path, as an
    // unquoted name in a statement is found.
    if (kind == "function")
        return "SELECT count(*) FROM pg_proc p WHERE p.proname = lower(:name) AND "
               "pg_function_is_visible(p.oid)";
    if (kind == "trigger")
        return "SELECT count(*) FROM pg_trigger t WHERE t.tgname = lower(:name) AND "
               "t.tgrelid = to_regclass(:table)";
    if (kind == "index")
        return "SELECT count(*) FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
               "WHERE c.relname = lower(:name) AND i.indrelid = to_regclass(:table)";
    std::string relkind = kind == "view" ? "'v'" : "'r', 'p'";
    return "SELECT count(*) FROM pg_class c WHERE c.oid = to_regclass(:name) AND c.relkind IN (" +
           relkind + ")";
}

std::string tableColumnsSql(Backend backend) {
    if (backend == Backend::Sqlite) return "SELECT name FROM pragma_table_info(:name)";
    return "SELECT attname FROM pg_attribute WHERE attrelid = to_regclass(:name) AND attnum > 0 "
           "AND NOT attisdropped";
}

std::string triggerTextSql(Backend backend) {
    if (backend == Backend::Sqlite)
        return "SELECT sql FROM sqlite_master WHERE type = 'trigger' AND lower(name) = "
               "lower(:name)";
    return "";
}

std::string uniqueKeysSql(Backend backend) {
    if (backend == Backend::Sqlite)
        return "SELECT il.name, ii.name FROM pragma_index_list(:name) il "
               "JOIN pragma_index_info(il.name) ii WHERE il.\"unique\" = 1 AND il.partial = 0";
    return "SELECT i.indexrelid, a.attname FROM pg_index i JOIN pg_attribute a ON "
           "a.attrelid = i.indrelid AND a.attnum = ANY (i.indkey) WHERE i.indrelid = "
           "to_regclass(:name) AND i.indisunique AND i.indpred IS NULL AND i.indexprs IS NULL";
}

std::string_view tableSchemaSql() {
    return "SELECT n.nspname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
           "WHERE c.oid = to_regclass(:name)";
}

std::string_view currentSchemaSql() {
    return "SELECT current_schema(), current_setting('search_path')";
}

std::string_view setSearchPathSql() {
    return "SELECT set_config('search_path', :path, true)";
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
