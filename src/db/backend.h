// Inside the database layer: what the two back ends (SQLite, PostgreSQL) provide to
// `Transaction`. Nothing outside src/db includes this header.
//
// A back end runs one statement at a time, whose placeholders are already in its own form
// (`?N` for SQLite, `$N` for PostgreSQL), and reports the outcome in the platform's terms (code
// 0 or -1 here; `Transaction` decides about 100). Result rows go to a RowReceiver one by one.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "common/value.h"
#include "db/transaction.h"

namespace print::db::detail {

struct Outcome {
    long code = 0;  // 0 success, -1 error
    long dbCode = 0;
    std::string sqlState;
    std::string errText;
    long nRows = 0;     // rows changed by INSERT/UPDATE/DELETE, rows delivered by a query
    bool lost = false;  // the connection is gone; the transaction must connect again
    // What the statement did, lower case ("insert", "update", "delete", "select", ...), as the
    // server reports it where it does.
    std::string command;

    static Outcome failure(std::string text, long dbCode = 0, std::string sqlState = {}) {
        Outcome o;
        o.code = -1;
        o.dbCode = dbCode;
        o.sqlState = std::move(sqlState);
        o.errText = std::move(text);
        return o;
    }
};

// One bound parameter: a value, or the bytes of a blob.
struct Param {
    const Value* value = nullptr;
    std::string_view blob;
    bool isBlob = false;
    bool nullTestOnly = false;  // see PlaceholderSlot
};

// The current row of a running query. Valid only inside RowReceiver::onRow.
class ResultRow {
public:
    virtual ~ResultRow() = default;
    virtual int columnCount() const = 0;
    virtual std::string columnName(int column) const = 0;
    virtual bool isNull(int column) const = 0;
    // The value in the type the database gives it (integers Long, other numbers Number, dates
    // and times as such where the database knows them, text String, blobs their bytes).
    virtual Value natural(int column) const = 0;
    // The value as `type`; false with `error` set when the stored value does not fit the type.
    // Null stays null; an empty text is null for every type but String.
    virtual bool typed(int column, ValueType type, Value& out, std::string& error) const = 0;
    // The stored bytes (blobs, or the text of any other value).
    virtual std::string_view bytes(int column) const = 0;
};

class RowReceiver {
public:
    virtual ~RowReceiver() = default;
    // Returning false stops the query; the outcome is then the receiver's business.
    virtual bool onRow(const ResultRow& row) = 0;
};

class Connection {
public:
    virtual ~Connection() = default;
    virtual Backend backend() const = 0;
    // One statement. `rows` receives the result rows of a query and may be null.
    virtual Outcome run(const std::string& sql, const std::vector<Param>& params,
                        RowReceiver* rows) = 0;
    // Statements without parameters, separated by semicolons (transaction control, scripts).
    virtual Outcome runScript(const std::string& sql) = 0;
    // True between BEGIN and COMMIT/ROLLBACK, as the database sees it.
    virtual bool inTransaction() const = 0;
};

// `create`: make the file when it does not exist (else a missing file is an error).
Result<std::unique_ptr<Connection>> openSqlite(const std::string& path, bool create);
Result<std::unique_ptr<Connection>> openPostgres(const std::string& conninfo);

// Whether `word` is one of libpq's connection keywords ("host", "dbname", ...).
bool isPostgresKeyword(std::string_view word);

// Text of a value as the databases read it: dates YYYY-MM-DD, date-times
// "YYYY-MM-DD HH:MM:SS[.ffffff]", numbers in plain decimal form, booleans "true"/"false".
std::string parameterText(const Value& v);

// Converts a stored text to `type` (the rules of ResultRow::typed); false with `error` set.
bool textToValue(std::string_view text, ValueType type, Value& out, std::string& error);

}  // namespace print::db::detail
