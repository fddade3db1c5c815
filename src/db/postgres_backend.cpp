// The PostgreSQL back end: for sites where many operators share one template store.
#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/text.h"
#include "db/backend.h"
#include "db/sql_text.h"

namespace print::db::detail {
namespace {

// "could not determine data type of parameter", "operator/function is not unique".
constexpr const char* kIndeterminateType = "42P18";
constexpr const char* kAmbiguous = "42725";

// Type oids of the parameters we send (pg_type.h is a server header).
constexpr Oid kUnknownOid = 0;
constexpr Oid kBoolOid = 16;
constexpr Oid kByteaOid = 17;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kTextOid = 25;
constexpr Oid kFloat4Oid = 700;
constexpr Oid kFloat8Oid = 701;
constexpr Oid kDateOid = 1082;
constexpr Oid kTimeOid = 1083;
constexpr Oid kTimestampOid = 1114;
constexpr Oid kTimestampTzOid = 1184;
constexpr Oid kNumericOid = 1700;

struct ConnCloser {
    void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultClearer {
    void operator()(PGresult* r) const { PQclear(r); }
};
using ConnHandle = std::unique_ptr<PGconn, ConnCloser>;
using ResultHandle = std::unique_ptr<PGresult, ResultClearer>;

std::string trimmedMessage(const char* msg) {
    std::string s = msg ? msg : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

// Result rows come as text, one format for every type; bytea arrives hex-escaped.
class PgRow : public ResultRow {
public:
    explicit PgRow(PGresult* res) : m_res(res) {}
    void setRow(int row) { m_row = row; }

    int columnCount() const override { return PQnfields(m_res); }
    std::string columnName(int c) const override {
        const char* n = PQfname(m_res, c);
        return n ? n : "";
    }
    bool isNull(int c) const override { return PQgetisnull(m_res, m_row, c) != 0; }

    Value natural(int c) const override {
        if (isNull(c)) return Value();
        std::string_view text = bytes(c);
        ValueType type = ValueType::String;
        switch (PQftype(m_res, c)) {
            case kInt2Oid:
            case kInt4Oid:
            case kInt8Oid:
                type = ValueType::Long;
                break;
            case kNumericOid:
            case kFloat4Oid:
            case kFloat8Oid:
                type = ValueType::Number;
                break;
            case kDateOid:
                type = ValueType::Date;
                break;
            case kTimestampOid:
            case kTimestampTzOid:
                type = ValueType::DateTime;
                break;
            case kTimeOid:
                type = ValueType::Time;
                break;
            case kBoolOid:
                type = ValueType::Bool;
                break;
            case kByteaOid:
                return Value(text);
            default:
                break;
        }
        Value out;
        std::string error;
        if (textToValue(text, type, out, error)) return out;
        return Value(text);  // NaN, infinity and the like stay readable as text
    }

    bool typed(int c, ValueType type, Value& out, std::string& error) const override {
        if (isNull(c)) {
            out = Value();
            return true;
        }
        return textToValue(bytes(c), type, out, error);
    }

    std::string_view bytes(int c) const override {
        const char* p = PQgetvalue(m_res, m_row, c);
        std::string_view text(p, static_cast<size_t>(PQgetlength(m_res, m_row, c)));
        if (PQftype(m_res, c) != kByteaOid) return text;
        m_scratch = unescapeBytea(text);
        return m_scratch;
    }

private:
    static std::string unescapeBytea(std::string_view text) {
        std::string in(text);
        size_t n = 0;
        unsigned char* raw =
            PQunescapeBytea(reinterpret_cast<const unsigned char*>(in.c_str()), &n);
        if (!raw) return in;
        std::string out(reinterpret_cast<const char*>(raw), n);
        PQfreemem(raw);
        return out;
    }

    PGresult* m_res;
    int m_row = 0;
    mutable std::string m_scratch;  // an unescaped bytea value
};

class PgConnection : public Connection {
public:
    explicit PgConnection(ConnHandle conn) : m_conn(std::move(conn)) {}

    Backend backend() const override { return Backend::PostgreSql; }
    bool inTransaction() const override {
        PGTransactionStatusType s = PQtransactionStatus(m_conn.get());
        return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
    }

    Outcome run(const std::string& sql, const std::vector<Param>& params,
                RowReceiver* rows) override {
        if (PQstatus(m_conn.get()) != CONNECTION_OK) return lostOutcome();
        // Inside a transaction a failed statement would abort the whole transaction on this
        // server; a savepoint makes it undo only itself, as on SQLite and Oracle.
        bool guarded = inTransaction();
        if (guarded) {
            Outcome o = runScript("SAVEPOINT print_statement");
            if (o.code != 0) return o;
        }
        // Parameters go untyped, as text, so that the server gives each the type its place in
        // the statement wants, as SQLite takes any value anywhere. Where the statement does not
        // tell (a bare `SELECT :v`, `:a + :b`, `:d::date + :n`), the values' own types decide.
        Outcome out = runOnce(sql, params, rows, false);
        if (out.code != 0 && !out.lost &&
            (out.sqlState == kIndeterminateType || out.sqlState == kAmbiguous) &&
            hasTypedValue(params)) {
            if (guarded) runScript("ROLLBACK TO SAVEPOINT print_statement");
            out = runOnce(sql, params, rows, true);
        }
        // A COMMIT or ROLLBACK run as a statement has ended the transaction, savepoint and all.
        if (guarded && !out.lost && inTransaction()) {
            Outcome o = runScript(out.code == 0 ? "RELEASE SAVEPOINT print_statement"
                                                : "ROLLBACK TO SAVEPOINT print_statement; "
                                                  "RELEASE SAVEPOINT print_statement");
            if (o.code != 0 && out.code == 0) return o;
        }
        return out;
    }

    Outcome runScript(const std::string& sql) override {
        if (PQstatus(m_conn.get()) != CONNECTION_OK) return lostOutcome();
        ResultHandle res(PQexec(m_conn.get(), sql.c_str()));
        Outcome out = outcomeOf(res.get());
        // The server answers COMMIT of a failed transaction with "ROLLBACK" and no error.
        if (out.code == 0 && sql == "COMMIT" &&
            std::strcmp(PQcmdStatus(res.get()), "ROLLBACK") == 0)
            return Outcome::failure("the transaction was rolled back by the server");
        return out;
    }

private:
    static bool hasTypedValue(const std::vector<Param>& params) {
        for (const Param& p : params)
            if (!p.isBlob && !p.value->isNull()) return true;
        return false;
    }

    // The type a value stands for when the statement does not say. Whole numbers that fit are
    // integers (`date + integer` exists, `date + bigint` does not).
    static Oid ownType(const Value& v) {
        switch (v.type()) {
            case ValueType::String:
                return kTextOid;
            case ValueType::Long:
                return v.asLong() >= INT32_MIN && v.asLong() <= INT32_MAX ? kInt4Oid : kInt8Oid;
            case ValueType::Number:
                return kNumericOid;
            case ValueType::Date:
                return kDateOid;
            case ValueType::DateTime:
                return kTimestampOid;
            case ValueType::Time:
                return kTimeOid;
            case ValueType::Bool:
                return kBoolOid;
            case ValueType::Null:
                break;
        }
        return kUnknownOid;
    }

    Outcome runOnce(const std::string& sql, const std::vector<Param>& params, RowReceiver* rows,
                    bool ownTypes) {
        std::vector<std::string> texts(params.size());
        std::vector<const char*> values(params.size());
        std::vector<int> lengths(params.size());
        std::vector<int> formats(params.size());
        std::vector<Oid> types(params.size(), kUnknownOid);
        for (size_t i = 0; i < params.size(); ++i) {
            const Param& p = params[i];
            if (p.isBlob) {
                values[i] = p.blob.data();
                lengths[i] = static_cast<int>(p.blob.size());
                formats[i] = 1;
                types[i] = kByteaOid;
                continue;
            }
            // Whether a value is null has the same answer in every type.
            if (p.nullTestOnly) types[i] = kTextOid;
            const Value& v = *p.value;
            if (v.isNull()) continue;
            texts[i] = parameterText(v);
            values[i] = texts[i].c_str();
            if (ownTypes) types[i] = ownType(v);
        }
        ResultHandle res(PQexecParams(m_conn.get(), sql.c_str(), static_cast<int>(params.size()),
                                      types.data(), values.data(), lengths.data(), formats.data(),
                                      0));
        Outcome out = outcomeOf(res.get());
        if (out.code != 0) return out;
        std::string_view tag = PQcmdStatus(res.get());
        out.command = asciiLower(tag.substr(0, tag.find(' ')));
        if (out.command == "rollback" && leadingKeyword(sql) == "commit")
            return Outcome::failure("the transaction was rolled back by the server");
        if (PQresultStatus(res.get()) == PGRES_TUPLES_OK) {
            int n = PQntuples(res.get());
            out.nRows = n;
            if (rows) {
                PgRow row(res.get());
                for (int r = 0; r < n; ++r) {
                    row.setRow(r);
                    if (!rows->onRow(row)) break;
                }
            }
        } else {
            const char* affected = PQcmdTuples(res.get());
            out.nRows = affected && *affected ? std::atol(affected) : 0;
        }
        return out;
    }

    Outcome lostOutcome() const {
        std::string text = trimmedMessage(PQerrorMessage(m_conn.get()));
        Outcome o = Outcome::failure(text.empty() ? "the connection to the server was lost" : text);
        o.lost = true;
        return o;
    }

    Outcome outcomeOf(PGresult* res) const {
        ExecStatusType st = res ? PQresultStatus(res) : PGRES_FATAL_ERROR;
        if (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK || st == PGRES_EMPTY_QUERY) return {};
        if (PQstatus(m_conn.get()) != CONNECTION_OK) {
            Outcome o = lostOutcome();
            if (res) {
                std::string text = trimmedMessage(PQresultErrorMessage(res));
                if (!text.empty() && text.find(o.errText) == std::string::npos)
                    o.errText = text + "\n" + o.errText;
                else if (!text.empty())
                    o.errText = text;
            }
            return o;
        }
        std::string text =
            trimmedMessage(res ? PQresultErrorMessage(res) : PQerrorMessage(m_conn.get()));
        if (text.empty()) text = PQresStatus(st);
        const char* state = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
        std::string sqlState = state ? state : "";
        long code = -1;
        if (sqlState.size() == 5 && sqlState.find_first_not_of("0123456789") == std::string::npos)
            code = std::atol(sqlState.c_str());
        return Outcome::failure(text, code, sqlState);
    }

    ConnHandle m_conn;
};

void ignoreNotice(void*, const char*) {}

}  // namespace

bool isPostgresKeyword(std::string_view word) {
    static const std::vector<std::string> keywords = [] {
        std::vector<std::string> out;
        PQconninfoOption* options = PQconndefaults();
        for (PQconninfoOption* o = options; o && o->keyword; ++o) out.emplace_back(o->keyword);
        PQconninfoFree(options);
        return out;
    }();
    for (const std::string& k : keywords)
        if (k == word) return true;
    return false;
}

Result<std::unique_ptr<Connection>> openPostgres(const std::string& conninfo) {
    // Without a limit libpq waits minutes on a host that does not answer; an operator wants to
    // hear soon. A timeout in the URL itself, or in PGCONNECT_TIMEOUT, still wins.
    const char* envTimeout = std::getenv("PGCONNECT_TIMEOUT");
    const char* keywords[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {envTimeout ? envTimeout : "10", conninfo.c_str(), nullptr};
    ConnHandle conn(PQconnectdbParams(keywords, values, 1));
    if (!conn) return Error{"cannot connect to the PostgreSQL server: out of memory"};
    if (PQstatus(conn.get()) != CONNECTION_OK)
        return Error{"cannot connect to the PostgreSQL server: " +
                     trimmedMessage(PQerrorMessage(conn.get()))};
    // Notices ("there is no transaction in progress") are no business of the host's terminal.
    PQsetNoticeProcessor(conn.get(), ignoreNotice, nullptr);
    if (PQsetClientEncoding(conn.get(), "UTF8") != 0)
        return Error{"cannot set the client encoding to UTF8: " +
                     trimmedMessage(PQerrorMessage(conn.get()))};
    ResultHandle res(PQexec(conn.get(), "SET DateStyle = ISO, YMD; SET IntervalStyle = iso_8601"));
    if (PQresultStatus(res.get()) != PGRES_COMMAND_OK)
        return Error{"cannot set the date style: " +
                     trimmedMessage(PQresultErrorMessage(res.get()))};
    return std::unique_ptr<Connection>(std::make_unique<PgConnection>(std::move(conn)));
}

}  // namespace print::db::detail
