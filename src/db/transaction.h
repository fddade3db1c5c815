// The host transaction (`sqlca`): one connection to the host database, SQLite or PostgreSQL,
// through which every statement of the print component and every report retrieval runs.
//
// Statements take their values as bound parameters only; no value is ever pasted into SQL text.
// Placeholders are written `:name` in every statement, whatever the back end; `:name` inside a
// string literal, a quoted identifier (SQLite's [name] and `name` too) or a comment (nested on
// PostgreSQL) is left alone, and so are a `::` cast and an array slice's `lo:hi`. The
// values of a statement bind to the distinct placeholder names in the order of their first
// appearance (a name used twice takes one value). PostgreSQL is left to infer each use's type
// from where it stands, as SQLite takes any value anywhere, so that one statement runs on both
// (`substr(s, :from, :len)`, `round(n, :places)`, `:a IS NULL` with a null); only where the
// statement cannot tell (a bare `SELECT :v`, `:d::date + :n`) the value's own type decides, and
// a text nothing else tells the type of comes back as text.
//
// Failure reporting follows the platform: every statement function returns the status code and
// leaves the full status readable afterwards:
//   sqlCode   0 success; 100 no row (SELECT INTO or SELECTBLOB found nothing, UPDATE or DELETE
//             touched no row); -1 error
//   sqlDbCode the server's error number (SQLite's extended result code; for PostgreSQL the
//             SQLSTATE as a number when it is all digits, else -1); 0 for errors raised here
//   sqlState  PostgreSQL's SQLSTATE, "" otherwise
//   sqlErrText the server's message, or ours (texts below)
//   sqlNRows  rows changed by INSERT/UPDATE/DELETE, rows read by a query
// Errors raised here, word for word:
//   "not connected to a database"
//   "SELECT INTO returned more than one row"
//   "the statement has N parameters but M values were given"
// A lost connection is -1 with the server's text; `isConnected()` is then false and `connect`
// may be called again. Nothing here throws.
//
// Transactions begin by themselves with the first statement that writes (execute, updateBlob,
// executeScript) and end with commit or rollback; reads outside a transaction see the latest
// committed data. A failing statement inside a transaction undoes only itself, on both back ends,
// so the host decides whether to roll back. Disconnecting rolls back what was not committed.
// Some errors make the database roll back the whole transaction by itself (SQLite on a full disk
// or an I/O error, PostgreSQL when COMMIT fails): then every statement and commit fail with
// "the database rolled the transaction back after an earlier error: roll back to go on" until
// the host calls rollback, so that no later work is mistaken for part of the lost transaction.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "common/value.h"
#include "engine/row_source.h"

namespace print::db {

enum class Backend { Sqlite, PostgreSql };

struct SqlStatus {
    long code = 0;
    long dbCode = 0;
    std::string sqlState;
    std::string errText;
    long nRows = 0;
};

struct ConnectOptions {
    // SQLite: create the database file when it does not exist. When false a missing file is
    // an error ("no database file at PATH").
    bool createSqliteFile = true;
};

// Where a database URL leads: `sqlite:PATH` (always SQLite, whatever the path holds) or a bare
// path; `postgresql://...`, `postgres://...` or a libpq connection string ("host=... dbname=...",
// opening with one of libpq's keywords; a path such as "data/a=b.db" stays a path).
struct DatabaseUrl {
    Backend backend = Backend::Sqlite;
    std::string target;  // the file path, or what libpq is given
};
// Errors: "empty database URL", "no file name in database URL 'sqlite:'",
// "unsupported database URL 'URL': use sqlite:PATH or postgresql://...", where URL shows every
// password in it as ***.
Result<DatabaseUrl> parseDatabaseUrl(std::string_view url);

namespace detail {
class Connection;
class RowReceiver;
struct Outcome;
}  // namespace detail

class Transaction : public engine::RowSource {
public:
    Transaction();
    ~Transaction() override;
    Transaction(Transaction&&) noexcept;
    Transaction& operator=(Transaction&&) noexcept;
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Connects (a connected transaction is disconnected first). Returns sqlCode: 0 or -1 with
    // the reason in sqlErrText.
    long connect(std::string_view url, const ConnectOptions& options = {});
    void disconnect();
    bool isConnected() const;
    Backend backend() const { return m_backend; }

    const SqlStatus& status() const { return m_status; }
    long sqlCode() const { return m_status.code; }
    long sqlDbCode() const { return m_status.dbCode; }
    const std::string& sqlState() const { return m_status.sqlState; }
    const std::string& sqlErrText() const { return m_status.errText; }
    long sqlNRows() const { return m_status.nRows; }

    // The code page of blob text; the application code page unless set.
    void setCodePage(std::string codePage) { m_codePage = std::move(codePage); }
    std::string codePage() const;

    // SELECT INTO: exactly one row into `into`, one value per result column. With `types`,
    // result column i is converted to types[i] (the retrieve rules); without, values come in
    // the database's own types. 100 when there is no row; -1 when there are several, and then
    // `into` is left unchanged.
    long selectInto(std::string_view sql, const std::vector<Value>& params,
                    std::vector<Value>& into, const std::vector<ValueType>& types = {});
    // SELECT INTO of a row that holds blobs: as selectInto, and each column whose index is in
    // `blobColumns` is a blob read as text from the code page (a null blob gives ""), so that
    // a row and its blobs come from one statement and thus one state of the database. An
    // undecodable blob is -1 with iconv's reason.
    long selectIntoWithBlobs(std::string_view sql, const std::vector<Value>& params,
                             std::vector<Value>& into, const std::vector<ValueType>& types,
                             const std::vector<size_t>& blobColumns);
    // SELECTBLOB: the first column of exactly one row, bytes in the code page, into UTF-8
    // `text`. A null blob gives "". Undecodable bytes are -1 with iconv's reason.
    long selectBlob(std::string_view sql, const std::vector<Value>& params, std::string& text);
    // The same, bytes as stored.
    long selectBlobBytes(std::string_view sql, const std::vector<Value>& params,
                         std::string& bytes);
    // UPDATEBLOB: `text` is converted to the code page and bound to the first placeholder of
    // `sql`; `params` bind to the placeholders after it. A character the code page cannot hold
    // is -1 ("the character 'X' at position N cannot be written in code page CP") and nothing
    // is written. 100 when no row was updated.
    long updateBlob(std::string_view sql, std::string_view text, const std::vector<Value>& params);
    long updateBlobBytes(std::string_view sql, std::string_view bytes,
                         const std::vector<Value>& params);
    // INSERT, UPDATE, DELETE (and DDL). An UPDATE or DELETE that touched no row gives 100,
    // also when a WITH clause comes first; an INSERT that added none gives 0. COMMIT and
    // ROLLBACK run here end the transaction as commit() and rollback() do.
    long execute(std::string_view sql, const std::vector<Value>& params = {});
    // A cursor over the rows of a query, values in the database's own types. `onRow` returns
    // false to stop early. 0 (also when there is no row; sqlNRows tells), or -1.
    long query(std::string_view sql, const std::vector<Value>& params,
               const std::function<bool(const std::vector<Value>&)>& onRow);
    // Several statements without parameters (schema scripts), inside the transaction; all of
    // them or, when one fails, none. No transaction control (BEGIN, COMMIT) inside.
    long executeScript(std::string_view sql);
    long commit();
    long rollback();
    bool inTransaction() const;
    // Locks `name` for the rest of the transaction, which begins here when none is open; another
    // transaction locking the same name waits until this one commits or rolls back. The template
    // store locks a document's name before it changes which of its templates is the default, so
    // that two operators doing so at once queue up instead of deadlocking on each other's rows
    // or both finding no default. Take it before reading what the change depends on. Names
    // are compared exactly as written. SQLite's write lock, which every transaction here takes
    // first, already queues every writer (for up to 10 s); on PostgreSQL it is an advisory
    // lock on the name, waited for as long as the server's lock_timeout allows, and other names
    // and readers go on. 0, or -1 with the database's message.
    long lockName(std::string_view name);

    // The row source of report retrieval: `sql` is the definition's retrieve statement, whose
    // `:name` placeholders name `args` (not case sensitive); each argument is converted to its
    // declared type first. Result column i becomes report column i, converted to its type.
    // Errors: the database's message; "the query uses :NAME, which is not a retrieval
    // argument"; "retrieval argument NAME: 'TEXT' is not a TYPE"; "the query returns N
    // columns but the report has M"; "row R, column NAME: 'TEXT' is not a TYPE".
    Result<long> retrieve(std::string_view sql, const std::vector<engine::RetrieveArgument>& args,
                          const std::vector<engine::RetrieveColumn>& columns,
                          engine::RowSink& sink) override;

private:
    long fail(std::string text);
    long finish(const detail::Outcome& outcome, bool wasInTransaction = false);
    bool ensureConnected();
    long beginIfNeeded();
    long runStatement(std::string_view sql, const std::vector<Value>& params,
                      const std::string* blob, detail::RowReceiver* rows, bool writes);

    std::unique_ptr<detail::Connection> m_conn;
    Backend m_backend = Backend::Sqlite;
    SqlStatus m_status;
    std::string m_command;           // what the last statement did ("update", ...)
    bool m_transactionLost = false;  // the database ended the transaction after an error
    std::string m_codePage;
};

// The name of a value type as messages use it ("string", "number", "long", "date", ...).
std::string_view valueTypeName(ValueType type);

}  // namespace print::db
