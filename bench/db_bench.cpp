// Retrieving the demo sales report (100,000 rows) through the database layer, side by side with
// the databases' own command-line shells reading the same query to /dev/null.
//
//   Retrieve/Sqlite      the row source into an in-memory sink keeping typed values column by
//                        column, as a report does
//   DataStoreRetrieve    the same through the report engine's DataStore
//   Sqlite3Shell         `sqlite3 FILE QUERY >/dev/null`, process start included
//   .../Postgres, PsqlShell   the same on PostgreSQL when PRINT_TEST_PG_URL is set
//
// The target: Retrieve/Sqlite at no more than 1.5 times Sqlite3Shell.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "db/demo_data.h"
#include "db/transaction.h"
#include "engine/datastore.h"

extern char** environ;

namespace {

using print::Value;
using print::db::Transaction;
using print::engine::RetrieveArgument;
using print::engine::RetrieveColumn;

constexpr long kRows = 100000;

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

// The report's definition, from the demo definitions beside the sources.
std::string reportDefinition() {
    auto root = std::filesystem::path(__FILE__).parent_path().parent_path();
    return readFile(root / "apps/demo_data/defs/d_demo_sale_report.srd");
}

// Takes down what the report engine hands to its row source, without running anything.
class RecordingSource : public print::engine::RowSource {
public:
    print::Result<long> retrieve(std::string_view sql, const std::vector<RetrieveArgument>& args,
                                 const std::vector<RetrieveColumn>& columns,
                                 print::engine::RowSink&) override {
        m_sql = sql;
        m_args = args;
        m_columns = columns;
        return 0L;
    }
    std::string m_sql;
    std::vector<RetrieveArgument> m_args;
    std::vector<RetrieveColumn> m_columns;
};

const std::vector<Value> kArguments = {Value(*print::Date::fromYmd(2024, 1, 1)),
                                       Value(*print::Date::fromYmd(2024, 12, 31)), Value(""),
                                       Value("")};

// The same statement for the shells, its arguments written in.
std::string shellQuery(std::string sql) {
    const std::pair<const char*, const char*> literals[] = {{":begindate", "'2024-01-01'"},
                                                            {":enddate", "'2024-12-31'"},
                                                            {":storeid", "''"},
                                                            {":category", "''"}};
    for (const auto& [name, literal] : literals)
        for (size_t at = sql.find(name); at != std::string::npos; at = sql.find(name, at))
            sql.replace(at, std::string(name).size(), literal);
    return sql;
}

struct Fixture {
    std::string dir;
    std::string sqliteFile;
    std::string pgBase;
    std::string pgUrl;
    std::string pgSchema;
    RecordingSource report;
    std::string definition;
    bool ok = false;

    Fixture() {
        definition = reportDefinition();
        print::engine::DataStore ds;
        std::string error;
        if (ds.Create(definition, error) != 1) {
            std::cerr << "d_demo_sale_report: " << error << "\n";
            return;
        }
        ds.SetTransObject(&report);
        ds.Retrieve(kArguments);
        for (size_t i = 0; i < report.m_args.size() && i < kArguments.size(); ++i)
            report.m_args[i].value = kArguments[i];

        std::string pattern =
            (std::filesystem::temp_directory_path() / "print-db-bench.XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return;
        dir = pattern;
        sqliteFile = dir + "/demo.db";
        Transaction sqlca;
        if (sqlca.connect("sqlite:" + sqliteFile) != 0 ||
            !print::db::loadDemoData(sqlca, {kRows}).ok()) {
            std::cerr << "cannot build the demo database: " << sqlca.sqlErrText() << "\n";
            return;
        }
        if (const char* base = std::getenv("PRINT_TEST_PG_URL"); base && *base) {
            pgBase = base;
            pgSchema = "print_bench_" + std::to_string(::getpid());
            Transaction admin;
            if (admin.connect(pgBase) == 0 && admin.execute("CREATE SCHEMA " + pgSchema) == 0 &&
                admin.commit() == 0) {
                pgUrl = pgBase + (pgBase.find('?') == std::string::npos ? "?" : "&") +
                        "options=-csearch_path%3D" + pgSchema;
                Transaction pg;
                if (pg.connect(pgUrl) != 0 || !print::db::loadDemoData(pg, {kRows}).ok()) {
                    std::cerr << "cannot build the PostgreSQL demo schema: " << pg.sqlErrText()
                              << "\n";
                    pgUrl.clear();
                }
            }
        }
        ok = true;
    }

    ~Fixture() {
        if (!pgSchema.empty()) {
            Transaction admin;
            if (admin.connect(pgBase) == 0) {
                (void)admin.execute("DROP SCHEMA " + pgSchema + " CASCADE");
                (void)admin.commit();
            }
        }
        std::error_code ec;
        if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Keeps the values column by column, as a report does.
class ColumnSink : public print::engine::RowSink {
public:
    explicit ColumnSink(size_t columns, size_t rows) : m_columns(columns) {
        for (auto& c : m_columns) c.reserve(rows);
    }
    // Keeps the memory, as a report that retrieves again does.
    void clear() {
        for (auto& c : m_columns) c.clear();
    }
    void appendRow(std::vector<Value>& values) override {
        for (size_t i = 0; i < m_columns.size(); ++i) m_columns[i].push_back(std::move(values[i]));
    }
    const void* data() const { return m_columns.data(); }

private:
    std::vector<std::vector<Value>> m_columns;
};

void retrieveInto(benchmark::State& state, const std::string& url) {
    Fixture& f = fixture();
    Transaction sqlca;
    if (!f.ok || url.empty() || sqlca.connect(url) != 0) {
        state.SkipWithError("no database");
        return;
    }
    long rows = 0;
    ColumnSink sink(f.report.m_columns.size(), kRows);
    for (auto _ : state) {
        sink.clear();
        auto n = sqlca.retrieve(f.report.m_sql, f.report.m_args, f.report.m_columns, sink);
        if (!n.ok()) {
            state.SkipWithError(n.error().message.c_str());
            return;
        }
        rows = n.value();
        benchmark::DoNotOptimize(sink.data());
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

// Runs a program with its output to /dev/null; the wall time of the whole run.
double runQuietly(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void shell(benchmark::State& state, const std::vector<std::string>& argv) {
    for (auto _ : state) {
        double seconds = runQuietly(argv);
        if (seconds < 0) {
            state.SkipWithError(("cannot run " + argv[0]).c_str());
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["rows"] = kRows;
    state.counters["rows/s"] =
        benchmark::Counter(kRows, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Retrieve_Sqlite(benchmark::State& state) {
    retrieveInto(state, "sqlite:" + fixture().sqliteFile);
}

void BM_Sqlite3Shell(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ok) return state.SkipWithError("no database");
    shell(state, {"sqlite3", "-batch", f.sqliteFile, shellQuery(f.report.m_sql)});
}

void BM_DataStoreRetrieve_Sqlite(benchmark::State& state) {
    Fixture& f = fixture();
    Transaction sqlca;
    print::engine::DataStore ds;
    std::string error;
    if (!f.ok || sqlca.connect("sqlite:" + f.sqliteFile) != 0 ||
        ds.Create(f.definition, error) != 1) {
        state.SkipWithError("no database or no report");
        return;
    }
    ds.SetTransObject(&sqlca);
    long rows = 0;
    for (auto _ : state) {
        rows = ds.Retrieve(kArguments);
        if (rows < 0) return state.SkipWithError(ds.lastError().c_str());
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Retrieve_Postgres(benchmark::State& state) {
    if (fixture().pgUrl.empty()) return state.SkipWithError("PRINT_TEST_PG_URL is not set");
    retrieveInto(state, fixture().pgUrl);
}

void BM_PsqlShell(benchmark::State& state) {
    Fixture& f = fixture();
    if (f.pgUrl.empty()) return state.SkipWithError("PRINT_TEST_PG_URL is not set");
    // psql takes a URI without libpq's options parameter on some versions; set the schema in SQL.
    std::string sql = "SET search_path TO " + f.pgSchema + "; " + shellQuery(f.report.m_sql);
    shell(state, {"psql", "-X", "-q", "-A", "-t", "-d", f.pgBase, "-c", sql});
}

BENCHMARK(BM_Retrieve_Sqlite)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Sqlite3Shell)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_DataStoreRetrieve_Sqlite)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Retrieve_Postgres)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PsqlShell)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
