// Exporting a million rows of ten columns: CSV beside the sqlite3 shell exporting the same rows
// from a file database (`sqlite3 -csv`), and the tab text, xlsx and dBASE figures.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/datastore.h"
#include "export/saveas.h"

using namespace print;
using namespace print::engine;
using namespace print::saveas;

namespace {

constexpr long kRows = 1000000;

const char* const kDefinition = R"srd(release 9;
datawindow(units=0 processing=1 )
detail(height=80 )
table(column=(type=char(12) name=billno dbname="billno" )
 column=(type=char(8) name=goodsid dbname="goodsid" )
 column=(type=char(40) name=goodsname dbname="goodsname" )
 column=(type=decimal(3) name=qty dbname="qty" )
 column=(type=decimal(2) name=price dbname="price" )
 column=(type=decimal(2) name=amount dbname="amount" )
 column=(type=date name=saledate dbname="saledate" )
 column=(type=char(6) name=storeid dbname="storeid" )
 column=(type=long name=rowno dbname="rowno" )
 column=(type=char(20) name=memo dbname="memo" ) )
)srd";

std::string tempDir() {
    static const std::string dir = [] {
        std::string d = (std::filesystem::temp_directory_path() /
                         ("export_bench_" + std::to_string(::getpid())))
                            .string();
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

DataStore& report() {
    static DataStore* r = [] {
        auto* ds = new DataStore;  // lives for the whole run
        std::string error;
        ds->Create(kDefinition, error);
        for (long i = 1; i <= kRows; ++i) {
            const long row = ds->InsertRow(0);
            ds->SetItem(row, 1, Value("DH" + std::to_string(20240000 + i % 9000)));
            ds->SetItem(row, 2, Value("G" + std::to_string(100000 + i % 5000)));
            ds->SetItem(row, 3, Value("商品名称 " + std::to_string(i % 5000)));
            ds->SetItem(row, 4, Value(Decimal(i % 97)));
            ds->SetItem(row, 5, Value(*Decimal::parse("12.50")));
            ds->SetItem(row, 6, Value(*Decimal::parse("1212.50")));
            ds->SetItem(row, 7, Value(*Date::fromYmd(2024, 1 + i % 12, 1 + i % 28)));
            ds->SetItem(row, 8, Value("S" + std::to_string(i % 40)));
            ds->SetItem(row, 9, Value(static_cast<int64_t>(i)));
            ds->SetItem(row, 10, Value(i % 10 == 0 ? "赠品" : ""));
        }
        return ds;
    }();
    return *r;
}

// The same rows in a SQLite file database, for the shell's export beside ours.
std::string sqliteDatabase() {
    static const std::string path = [] {
        const std::string db = tempDir() + "/rows.db";
        sqlite3* h = nullptr;
        sqlite3_open(db.c_str(), &h);
        sqlite3_exec(h,
                     "CREATE TABLE t (billno TEXT, goodsid TEXT, goodsname TEXT, qty NUMERIC, "
                     "price NUMERIC, amount NUMERIC, saledate TEXT, storeid TEXT, rowno INTEGER, "
                     "memo TEXT); BEGIN",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, "INSERT INTO t VALUES (?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
        DataStore& r = report();
        for (long i = 1; i <= kRows; ++i) {
            for (int c = 0; c < 10; ++c) {
                const std::string text = r.GetItem(i, r.columns()[c].name)->toText();
                sqlite3_bind_text(st, c + 1, text.c_str(), static_cast<int>(text.size()),
                                  SQLITE_TRANSIENT);
            }
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(h);
        return db;
    }();
    return path;
}

void exportAs(benchmark::State& state, SaveAsType type, const char* extension) {
    DataStore& r = report();
    const std::string path = tempDir() + "/out." + extension;
    for (auto _ : state) {
        Status s = saveReportAs(r, path, type);
        if (!s) state.SkipWithError(s.error().message.c_str());
    }
    state.counters["rows_per_s"] = benchmark::Counter(
        static_cast<double>(kRows * state.iterations()), benchmark::Counter::kIsRate);
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}

void BM_ExportCsv(benchmark::State& state) {
    exportAs(state, SaveAsType::CSV, "csv");
}
void BM_ExportText(benchmark::State& state) {
    exportAs(state, SaveAsType::Text, "txt");
}
void BM_ExportXlsx(benchmark::State& state) {
    exportAs(state, SaveAsType::XLSX, "xlsx");
}
void BM_ExportDbase(benchmark::State& state) {
    exportAs(state, SaveAsType::dBASE3, "dbf");
}

// The sqlite3 shell writing the same million rows as CSV (a process start included).
void BM_Sqlite3ShellCsv(benchmark::State& state) {
    const std::string db = sqliteDatabase();
    const std::string cmd =
        "sqlite3 -csv -header " + db + " 'SELECT * FROM t' > " + tempDir() + "/shell.csv";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("sqlite3 failed");
    state.counters["rows_per_s"] = benchmark::Counter(
        static_cast<double>(kRows * state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Sqlite3ShellCsv)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ExportText)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ExportXlsx)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ExportDbase)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
