#include "db/transaction.h"

#include <algorithm>

#include "common/encoding.h"
#include "common/text.h"
#include "db/backend.h"
#include "db/dialect.h"
#include "db/sql_text.h"

namespace print::db {

using detail::Outcome;
using detail::Param;
using detail::ResultRow;
using detail::RowReceiver;

namespace {

const char* const kNotConnected = "not connected to a database";
const char* const kMoreThanOneRow = "SELECT INTO returned more than one row";
const char* const kTransactionLost =
    "the database rolled the transaction back after an earlier error: roll back to go on";

std::string parameterCountText(size_t expected, size_t given) {
    return "the statement has " + std::to_string(expected) + " parameters but " +
           std::to_string(given) + " values were given";
}

// Collects at most two rows: SELECT INTO needs to know only whether there were more than one.
class SingleRowReceiver : public RowReceiver {
public:
    SingleRowReceiver(const std::vector<ValueType>* types, bool blob)
        : m_types(types), m_blob(blob) {}

    bool onRow(const ResultRow& row) override {
        if (++m_rows > 1) return false;
        if (m_blob) {
            if (row.columnCount() < 1) return true;
            m_blobNull = row.isNull(0);
            if (!m_blobNull) m_bytes.assign(row.bytes(0));
            return true;
        }
        int n = row.columnCount();
        m_values.resize(static_cast<size_t>(n));
        for (int c = 0; c < n; ++c) {
            auto i = static_cast<size_t>(c);
            if (m_types && i < m_types->size()) {
                std::string error;
                if (!row.typed(c, (*m_types)[i], m_values[i], error)) {
                    m_error = "column " + std::to_string(c + 1) + " (" + row.columnName(c) +
                              "): " + error;
                    return false;
                }
            } else {
                m_values[i] = row.natural(c);
            }
        }
        return true;
    }

    long m_rows = 0;
    std::vector<Value> m_values;
    std::string m_bytes;
    bool m_blobNull = true;
    std::string m_error;

private:
    const std::vector<ValueType>* m_types;
    bool m_blob;
};

class CallbackReceiver : public RowReceiver {
public:
    explicit CallbackReceiver(const std::function<bool(const std::vector<Value>&)>& onRow)
        : m_onRow(onRow) {}
    bool onRow(const ResultRow& row) override {
        int n = row.columnCount();
        m_values.resize(static_cast<size_t>(n));
        for (int c = 0; c < n; ++c) m_values[static_cast<size_t>(c)] = row.natural(c);
        return m_onRow(m_values);
    }

private:
    const std::function<bool(const std::vector<Value>&)>& m_onRow;
    std::vector<Value> m_values;
};

class SinkReceiver : public RowReceiver {
public:
    SinkReceiver(const std::vector<engine::RetrieveColumn>& columns, engine::RowSink& sink)
        : m_columns(columns), m_sink(sink), m_values(columns.size()) {}

    bool onRow(const ResultRow& row) override {
        ++m_rows;
        if (m_rows == 1 && static_cast<size_t>(row.columnCount()) < m_columns.size()) {
            m_error = "the query returns " + std::to_string(row.columnCount()) +
                      " columns but the report has " + std::to_string(m_columns.size());
            return false;
        }
        m_values.resize(m_columns.size());
        for (size_t i = 0; i < m_columns.size(); ++i) {
            std::string error;
            if (!row.typed(static_cast<int>(i), m_columns[i].type, m_values[i], error)) {
                m_error = "row " + std::to_string(m_rows) + ", column " + m_columns[i].name + ": " +
                          error;
                return false;
            }
        }
        m_sink.appendRow(m_values);
        return true;
    }

    long m_rows = 0;
    std::string m_error;

private:
    const std::vector<engine::RetrieveColumn>& m_columns;
    engine::RowSink& m_sink;
    std::vector<Value> m_values;
};

// The URL with every password in it replaced by ***: in the user part of `scheme://user:pw@host`
// and as a `password=` value of a query or a keyword/value string.
std::string withoutPasswords(std::string_view url) {
    std::string out(url);
    if (size_t scheme = out.find("://"); scheme != std::string::npos) {
        size_t start = scheme + 3;
        size_t end = out.find_first_of("/?#", start);
        if (end == std::string::npos) end = out.size();
        size_t at = out.rfind('@', end);
        if (at != std::string::npos && at >= start) {
            size_t colon = out.find(':', start);
            if (colon != std::string::npos && colon < at)
                out.replace(colon + 1, at - colon - 1, "***");
        }
    }
    std::string lower = asciiLower(out);
    for (size_t at = lower.find("password"); at != std::string::npos;
         at = lower.find("password", at + 1)) {
        if (at > 0 && std::string_view(" \t?&;").find(out[at - 1]) == std::string_view::npos)
            continue;
        size_t eq = at + 8;
        while (eq < out.size() && (out[eq] == ' ' || out[eq] == '\t')) ++eq;
        if (eq >= out.size() || out[eq] != '=') continue;
        size_t start = eq + 1;
        while (start < out.size() && (out[start] == ' ' || out[start] == '\t')) ++start;
        size_t end = start;
        if (end < out.size() && out[end] == '\'') {
            for (++end; end < out.size() && out[end] != '\''; ++end)
                if (out[end] == '\\') ++end;
            end = std::min(end + 1, out.size());
        } else {
            end = out.find_first_of(" \t&;#", start);
            if (end == std::string::npos) end = out.size();
        }
        out.replace(start, end - start, "***");
        lower = asciiLower(out);
    }
    return out;
}

// Whether `text` reads as a libpq connection string: it opens with one of libpq's keywords
// and `=`. A file path holding `=` ("data/a=b.db") does not.
bool isConnectionString(std::string_view text) {
    size_t eq = text.find('=');
    if (eq == std::string_view::npos) return false;
    return detail::isPostgresKeyword(trimView(text.substr(0, eq)));
}

}  // namespace

Result<DatabaseUrl> parseDatabaseUrl(std::string_view url) {
    std::string_view u = trimView(url);
    if (u.empty()) return Error{"empty database URL"};
    if (istartsWith(u, "sqlite:")) {
        std::string_view path = u.substr(7);
        if (path.substr(0, 2) == "//") path.remove_prefix(2);
        if (path.empty()) return Error{"no file name in database URL '" + std::string(u) + "'"};
        return DatabaseUrl{Backend::Sqlite, std::string(path)};
    }
    if (istartsWith(u, "postgresql://") || istartsWith(u, "postgres://"))
        return DatabaseUrl{Backend::PostgreSql, std::string(u)};
    if (isConnectionString(u)) return DatabaseUrl{Backend::PostgreSql, std::string(u)};
    if (u.find("://") != std::string_view::npos || istartsWith(u, "postgresql:") ||
        istartsWith(u, "postgres:"))
        return Error{"unsupported database URL '" + withoutPasswords(u) +
                     "': use sqlite:PATH or postgresql://..."};
    return DatabaseUrl{Backend::Sqlite, std::string(u)};
}

Transaction::Transaction() = default;
Transaction::~Transaction() {
    disconnect();
}
Transaction::Transaction(Transaction&&) noexcept = default;
Transaction& Transaction::operator=(Transaction&& other) noexcept {
    if (this != &other) {
        disconnect();
        m_conn = std::move(other.m_conn);
        m_backend = other.m_backend;
        m_status = std::move(other.m_status);
        m_command = std::move(other.m_command);
        m_transactionLost = other.m_transactionLost;
        m_codePage = std::move(other.m_codePage);
    }
    return *this;
}

std::string Transaction::codePage() const {
    return m_codePage.empty() ? applicationCodePage() : m_codePage;
}

long Transaction::fail(std::string text) {
    m_status = SqlStatus{};
    m_status.code = -1;
    m_status.errText = std::move(text);
    return -1;
}

long Transaction::finish(const Outcome& outcome, bool wasInTransaction) {
    m_status.code = outcome.code;
    m_status.dbCode = outcome.dbCode;
    m_status.sqlState = outcome.sqlState;
    m_status.errText = outcome.errText;
    m_status.nRows = outcome.nRows;
    m_command = outcome.command;
    if (outcome.lost) m_conn.reset();
    // SQLite drops the whole transaction after some errors (a full disk), PostgreSQL after a
    // failed COMMIT. The next statement would open a new transaction and the host would take its
    // work for a continuation of the lost one.
    if (outcome.code != 0 && wasInTransaction && m_conn && !m_conn->inTransaction())
        m_transactionLost = true;
    return m_status.code;
}

long Transaction::connect(std::string_view url, const ConnectOptions& options) {
    disconnect();
    auto parsed = parseDatabaseUrl(url);
    if (!parsed) return fail(parsed.error().message);
    auto conn = parsed.value().backend == Backend::Sqlite
                    ? detail::openSqlite(parsed.value().target, options.createSqliteFile)
                    : detail::openPostgres(parsed.value().target);
    if (!conn) return fail(conn.error().message);
    m_conn = std::move(conn).value();
    m_backend = parsed.value().backend;
    m_status = SqlStatus{};
    return 0;
}

void Transaction::disconnect() {
    if (m_conn && m_conn->inTransaction()) (void)m_conn->runScript("ROLLBACK");
    m_conn.reset();
    m_status = SqlStatus{};
    m_transactionLost = false;
}

bool Transaction::isConnected() const {
    return m_conn != nullptr;
}

bool Transaction::inTransaction() const {
    return m_conn && m_conn->inTransaction();
}

long Transaction::beginIfNeeded() {
    if (m_conn->inTransaction()) return 0;
    // IMMEDIATE takes SQLite's write lock now, so that two writers queue up at the start
    // instead of one failing with "database is locked" halfway through its work.
    Outcome o = m_conn->runScript(m_backend == Backend::Sqlite ? "BEGIN IMMEDIATE" : "BEGIN");
    return o.code == 0 ? 0 : finish(o);
}

long Transaction::runStatement(std::string_view sql, const std::vector<Value>& params,
                               const std::string* blob, RowReceiver* rows, bool writes) {
    if (!m_conn) return fail(kNotConnected);
    if (m_transactionLost) return fail(kTransactionLost);
    TranslatedSql translated = translatePlaceholders(sql, m_backend);
    size_t blobSlots = blob ? 1 : 0;
    if (blob && translated.names.empty())
        return fail("the statement has no placeholder for the blob");
    if (translated.names.size() - blobSlots != params.size())
        return fail(parameterCountText(translated.names.size() - blobSlots, params.size()));
    std::vector<Param> bound(translated.slots.size());
    for (size_t i = 0; i < bound.size(); ++i) {
        const PlaceholderSlot& slot = translated.slots[i];
        bound[i].nullTestOnly = slot.nullTestOnly;
        if (blob && slot.name == 0) {
            bound[i].isBlob = true;
            bound[i].blob = *blob;
        } else {
            bound[i].value = &params[slot.name - blobSlots];
        }
    }
    if (writes && beginIfNeeded() != 0) return m_status.code;
    bool inside = m_conn->inTransaction();
    return finish(m_conn->run(translated.text, bound, rows), inside);
}

long Transaction::execute(std::string_view sql, const std::vector<Value>& params) {
    long code = runStatement(sql, params, nullptr, nullptr, true);
    if (code == 0 && m_status.nRows == 0 && (m_command == "update" || m_command == "delete"))
        m_status.code = 100;
    return m_status.code;
}

long Transaction::executeScript(std::string_view sql) {
    if (!m_conn) return fail(kNotConnected);
    if (m_transactionLost) return fail(kTransactionLost);
    if (beginIfNeeded() != 0) return m_status.code;
    // A script that fails halfway leaves nothing of itself behind, like a single statement.
    Outcome mark = m_conn->runScript("SAVEPOINT print_script");
    if (mark.code != 0) return finish(mark);
    Outcome out = m_conn->runScript(std::string(sql));
    if (!out.lost)
        (void)m_conn->runScript(out.code == 0 ? "RELEASE SAVEPOINT print_script"
                                              : "ROLLBACK TO SAVEPOINT print_script; "
                                                "RELEASE SAVEPOINT print_script");
    return finish(out, true);
}

long Transaction::selectInto(std::string_view sql, const std::vector<Value>& params,
                             std::vector<Value>& into, const std::vector<ValueType>& types) {
    SingleRowReceiver receiver(types.empty() ? nullptr : &types, false);
    if (runStatement(sql, params, nullptr, &receiver, false) != 0) return m_status.code;
    if (!receiver.m_error.empty()) return fail(receiver.m_error);
    if (receiver.m_rows > 1) return fail(kMoreThanOneRow);
    if (receiver.m_rows == 0) {
        m_status.code = 100;
        return 100;
    }
    m_status.nRows = 1;
    into = std::move(receiver.m_values);
    return 0;
}

long Transaction::selectIntoWithBlobs(std::string_view sql, const std::vector<Value>& params,
                                      std::vector<Value>& into, const std::vector<ValueType>& types,
                                      const std::vector<size_t>& blobColumns) {
    std::vector<ValueType> typed = types;
    for (size_t c : blobColumns) {
        if (typed.size() <= c) typed.resize(c + 1, ValueType::String);
        typed[c] = ValueType::String;
    }
    std::vector<Value> row;
    const long code = selectInto(sql, params, row, typed);
    if (code != 0) return code;
    for (size_t c : blobColumns) {
        if (c >= row.size()) continue;
        if (row[c].isNull()) {
            row[c] = Value(std::string());
            continue;
        }
        auto decoded = decodeText(row[c].asString(), codePage());
        if (!decoded) return fail(decoded.error().message);
        row[c] = Value(std::move(decoded).value());
    }
    into = std::move(row);
    return 0;
}

long Transaction::selectBlobBytes(std::string_view sql, const std::vector<Value>& params,
                                  std::string& bytes) {
    SingleRowReceiver receiver(nullptr, true);
    if (runStatement(sql, params, nullptr, &receiver, false) != 0) return m_status.code;
    if (receiver.m_rows > 1) return fail(kMoreThanOneRow);
    if (receiver.m_rows == 0) {
        m_status.code = 100;
        return 100;
    }
    m_status.nRows = 1;
    bytes = receiver.m_blobNull ? std::string() : std::move(receiver.m_bytes);
    return 0;
}

long Transaction::selectBlob(std::string_view sql, const std::vector<Value>& params,
                             std::string& text) {
    std::string bytes;
    long code = selectBlobBytes(sql, params, bytes);
    if (code != 0) return code;
    auto decoded = decodeText(bytes, codePage());
    if (!decoded) return fail(decoded.error().message);
    text = std::move(decoded).value();
    return 0;
}

long Transaction::updateBlobBytes(std::string_view sql, std::string_view bytes,
                                  const std::vector<Value>& params) {
    std::string blob(bytes);
    long code = runStatement(sql, params, &blob, nullptr, true);
    if (code == 0 && m_status.nRows == 0) m_status.code = 100;
    return m_status.code;
}

long Transaction::updateBlob(std::string_view sql, std::string_view text,
                             const std::vector<Value>& params) {
    auto encoded = encodeText(text, codePage());
    if (!encoded) return fail(encoded.error().message);
    return updateBlobBytes(sql, encoded.value(), params);
}

long Transaction::query(std::string_view sql, const std::vector<Value>& params,
                        const std::function<bool(const std::vector<Value>&)>& onRow) {
    CallbackReceiver receiver(onRow);
    return runStatement(sql, params, nullptr, &receiver, false);
}

long Transaction::commit() {
    if (!m_conn) return fail(kNotConnected);
    if (m_transactionLost) return fail(kTransactionLost);
    if (!m_conn->inTransaction()) {
        m_status = SqlStatus{};
        return 0;
    }
    return finish(m_conn->runScript("COMMIT"), true);
}

long Transaction::rollback() {
    if (!m_conn) return fail(kNotConnected);
    m_transactionLost = false;
    if (!m_conn->inTransaction()) {
        m_status = SqlStatus{};
        return 0;
    }
    return finish(m_conn->runScript("ROLLBACK"));
}

long Transaction::lockName(std::string_view name) {
    if (!m_conn) return fail(kNotConnected);
    if (m_transactionLost) return fail(kTransactionLost);
    if (beginIfNeeded() != 0) return m_status.code;
    std::string_view sql = dialect::nameLockSql(m_backend);
    if (sql.empty()) {
        m_status = SqlStatus{};
        return 0;
    }
    return runStatement(sql, {Value(name)}, nullptr, nullptr, true);
}

Result<long> Transaction::retrieve(std::string_view sql,
                                   const std::vector<engine::RetrieveArgument>& args,
                                   const std::vector<engine::RetrieveColumn>& columns,
                                   engine::RowSink& sink) {
    if (!m_conn) {
        fail(kNotConnected);
        return Error{kNotConnected};
    }
    if (m_transactionLost) {
        fail(kTransactionLost);
        return Error{kTransactionLost};
    }
    TranslatedSql translated = translatePlaceholders(sql, m_backend);
    std::vector<Value> values;
    values.reserve(translated.names.size());
    for (const std::string& name : translated.names) {
        const engine::RetrieveArgument* arg = nullptr;
        for (const auto& a : args)
            if (iequals(a.name, name)) arg = &a;
        if (!arg) {
            std::string text = "the query uses :" + name + ", which is not a retrieval argument";
            fail(text);
            return Error{text};
        }
        if (arg->value.isNull() || arg->value.type() == arg->type) {
            values.push_back(arg->value);
            continue;
        }
        Value converted;
        std::string error;
        if (!detail::textToValue(arg->value.toText(), arg->type, converted, error)) {
            std::string text = "retrieval argument " + arg->name + ": " + error;
            fail(text);
            return Error{text};
        }
        values.push_back(std::move(converted));
    }
    std::vector<Param> bound(translated.slots.size());
    for (size_t i = 0; i < bound.size(); ++i) {
        bound[i].value = &values[translated.slots[i].name];
        bound[i].nullTestOnly = translated.slots[i].nullTestOnly;
    }
    SinkReceiver receiver(columns, sink);
    bool inside = m_conn->inTransaction();
    if (finish(m_conn->run(translated.text, bound, &receiver), inside) != 0)
        return Error{m_status.errText};
    if (!receiver.m_error.empty()) {
        fail(receiver.m_error);
        return Error{receiver.m_error};
    }
    m_status.nRows = receiver.m_rows;
    return receiver.m_rows;
}

}  // namespace print::db
