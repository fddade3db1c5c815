// The SQLite back end: the embedded default database.
#include <sqlite3.h>

#include <sys/stat.h>
#include "db/sqlite_handles.h"

#include <iterator>
#include <list>

#include "db/backend.h"
#include "db/sql_text.h"

namespace print::db::detail {
namespace {

// Another connection holding the write lock makes us wait this long before giving up.
constexpr int kBusyTimeoutMs = 10000;
// Prepared statements kept for reuse: the component repeats the same few statements, and the
// demo data load runs one INSERT many times.
constexpr size_t kStatementCacheSize = 32;

class SqliteRow : public ResultRow {
public:
    explicit SqliteRow(sqlite3_stmt* st) : m_st(st) {}

    int columnCount() const override { return sqlite3_column_count(m_st); }
    std::string columnName(int c) const override {
        const char* n = sqlite3_column_name(m_st, c);
        return n ? n : "";
    }
    bool isNull(int c) const override { return sqlite3_column_type(m_st, c) == SQLITE_NULL; }

    Value natural(int c) const override {
        switch (sqlite3_column_type(m_st, c)) {
            case SQLITE_NULL:
                return Value();
            case SQLITE_INTEGER:
                return Value(static_cast<int64_t>(sqlite3_column_int64(m_st, c)));
            case SQLITE_FLOAT:
                return Value(Decimal::fromDouble(sqlite3_column_double(m_st, c)));
            default:
                return Value(std::string(bytes(c)));
        }
    }

    bool typed(int c, ValueType type, Value& out, std::string& error) const override {
        int stored = sqlite3_column_type(m_st, c);
        if (stored == SQLITE_NULL) {
            out = Value();
            return true;
        }
        if (stored == SQLITE_INTEGER) {
            int64_t v = sqlite3_column_int64(m_st, c);
            switch (type) {
                case ValueType::Long:
                    out = Value(v);
                    return true;
                case ValueType::Number:
                    out = Value(Decimal(v));
                    return true;
                case ValueType::Bool:
                    out = Value(v != 0);
                    return true;
                default:
                    break;
            }
        } else if (stored == SQLITE_FLOAT && type == ValueType::Number) {
            out = Value(Decimal::fromDouble(sqlite3_column_double(m_st, c)));
            return true;
        }
        return textToValue(bytes(c), type, out, error);
    }

    std::string_view bytes(int c) const override {
        if (sqlite3_column_type(m_st, c) == SQLITE_BLOB) {
            const void* p = sqlite3_column_blob(m_st, c);
            int n = sqlite3_column_bytes(m_st, c);
            return p ? std::string_view(static_cast<const char*>(p), static_cast<size_t>(n))
                     : std::string_view();
        }
        const unsigned char* p = sqlite3_column_text(m_st, c);
        int n = sqlite3_column_bytes(m_st, c);
        return p ? std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(n))
                 : std::string_view();
    }

private:
    sqlite3_stmt* m_st;
};

class SqliteConnection : public Connection {
public:
    explicit SqliteConnection(DbHandle db) : m_db(std::move(db)) {}
    ~SqliteConnection() override {
        m_cache.clear();  // statements go before the database handle
    }

    Backend backend() const override { return Backend::Sqlite; }
    bool inTransaction() const override { return sqlite3_get_autocommit(m_db.get()) == 0; }

    Outcome run(const std::string& sql, const std::vector<Param>& params,
                RowReceiver* rows) override {
        sqlite3_stmt* st = nullptr;
        StmtHandle once;  // owns statements that are not cached
        if (Outcome o = prepare(sql, st, once); o.code != 0) return o;
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        int expected = sqlite3_bind_parameter_count(st);
        if (expected != static_cast<int>(params.size())) {
            return Outcome::failure("the statement has " + std::to_string(expected) +
                                    " parameters but " + std::to_string(params.size()) +
                                    " values were given");
        }
        for (size_t i = 0; i < params.size(); ++i) {
            int rc = bind(st, static_cast<int>(i + 1), params[i]);
            if (rc != SQLITE_OK) return error();
        }
        Outcome out;
        SqliteRow row(st);
        long delivered = 0;
        for (;;) {
            int rc = sqlite3_step(st);
            if (rc == SQLITE_ROW) {
                ++delivered;
                if (rows && !rows->onRow(row)) break;
                continue;
            }
            if (rc == SQLITE_DONE) break;
            Outcome failed = error();
            sqlite3_reset(st);
            return failed;
        }
        bool readOnly = sqlite3_stmt_readonly(st) != 0;
        sqlite3_reset(st);
        out.command = statementKind(sql);
        // sqlite3_changes() keeps the count of the last INSERT/UPDATE/DELETE through DDL.
        if (readOnly)
            out.nRows = delivered;
        else if (changesRows(out.command))
            out.nRows = static_cast<long>(sqlite3_changes(m_db.get()));
        return out;
    }

    Outcome runScript(const std::string& sql) override {
        char* msg = nullptr;
        int rc = sqlite3_exec(m_db.get(), sql.c_str(), nullptr, nullptr, &msg);
        if (rc == SQLITE_OK) return {};
        std::string text = msg ? msg : sqlite3_errstr(rc);
        sqlite3_free(msg);
        return Outcome::failure(text, sqlite3_extended_errcode(m_db.get()));
    }

private:
    Outcome error() const {
        return Outcome::failure(sqlite3_errmsg(m_db.get()), sqlite3_extended_errcode(m_db.get()));
    }

    Outcome prepare(const std::string& sql, sqlite3_stmt*& st, StmtHandle& once) {
        for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
            // A statement still stepping (a query whose row handler runs this same SQL) is not
            // handed out twice.
            if (it->first == sql && !sqlite3_stmt_busy(it->second.get())) {
                m_cache.splice(m_cache.begin(), m_cache, it);
                st = m_cache.front().second.get();
                return {};
            }
        }
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        int rc = sqlite3_prepare_v3(m_db.get(), sql.c_str(), static_cast<int>(sql.size()),
                                    SQLITE_PREPARE_PERSISTENT, &raw, &tail);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(raw);
            return error();
        }
        if (!raw) return Outcome::failure("the statement is empty");
        StmtHandle handle(raw);
        if (tail && *tail) {
            // What follows may only be blanks, semicolons and comments.
            sqlite3_stmt* next = nullptr;
            int more = sqlite3_prepare_v2(m_db.get(), tail, -1, &next, nullptr);
            StmtHandle nextHandle(next);
            if (more != SQLITE_OK || next)
                return Outcome::failure("only one statement may be run at a time");
        }
        st = raw;
        // Long statements are scripts run once; they would only push the others out.
        if (sql.size() < 2000) {
            m_cache.emplace_front(sql, std::move(handle));
            if (m_cache.size() > kStatementCacheSize) evictOne();
        } else {
            once = std::move(handle);
        }
        return {};
    }

    // Drops the least recently used statement that is not running (a row handler may run
    // statements while the query that called it is still stepping).
    void evictOne() {
        for (auto it = std::prev(m_cache.end());; --it) {
            if (!sqlite3_stmt_busy(it->second.get())) {
                m_cache.erase(it);
                return;
            }
            if (it == m_cache.begin()) return;
        }
    }

    static bool changesRows(const std::string& kind) {
        return kind == "insert" || kind == "update" || kind == "delete" || kind == "replace";
    }

    static int bind(sqlite3_stmt* st, int index, const Param& p) {
        if (p.isBlob)
            return sqlite3_bind_blob64(st, index, p.blob.data(), p.blob.size(), SQLITE_TRANSIENT);
        const Value& v = *p.value;
        switch (v.type()) {
            case ValueType::Null:
                return sqlite3_bind_null(st, index);
            case ValueType::Long:
                return sqlite3_bind_int64(st, index, v.asLong());
            case ValueType::Bool:
                return sqlite3_bind_int(st, index, v.asBool() ? 1 : 0);
            case ValueType::Number: {
                const Decimal& d = v.asDecimal();
                if (d.isInteger() && d.mantissa() >= INT64_MIN && d.mantissa() <= INT64_MAX)
                    return sqlite3_bind_int64(st, index, d.toInt64());
                return sqlite3_bind_double(st, index, d.toDouble());
            }
            case ValueType::String: {
                const std::string& s = v.asString();
                return sqlite3_bind_text64(st, index, s.data(), s.size(), SQLITE_TRANSIENT,
                                           SQLITE_UTF8);
            }
            default: {
                std::string s = parameterText(v);
                return sqlite3_bind_text64(st, index, s.data(), s.size(), SQLITE_TRANSIENT,
                                           SQLITE_UTF8);
            }
        }
    }

    DbHandle m_db;
    std::list<std::pair<std::string, StmtHandle>> m_cache;  // most recently used first
};

}  // namespace

Result<std::unique_ptr<Connection>> openSqlite(const std::string& path, bool create) {
    if (!create) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) return Error{"no database file at " + path};
    }
    sqlite3* raw = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK) {
        std::string text = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
        return Error{"cannot open " + path + ": " + text};
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    // Reading the schema proves the file is a database; a text file passes the open above.
    char* msg = nullptr;
    rc = sqlite3_exec(db.get(), "PRAGMA foreign_keys = ON; SELECT count(*) FROM sqlite_master;",
                      nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) {
        std::string text = msg ? msg : sqlite3_errstr(rc);
        sqlite3_free(msg);
        return Error{"cannot open " + path + ": " + text};
    }
    return std::unique_ptr<Connection>(std::make_unique<SqliteConnection>(std::move(db)));
}

}  // namespace print::db::detail
