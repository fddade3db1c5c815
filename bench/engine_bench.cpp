// Report engine benchmarks: definition text speed, Describe/Modify cost against report size,
// RowsCopy against a plain vector copy, Find against SQLite scanning the same rows in memory,
// and the memory a million rows take against their raw payload.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "engine/datastore.h"
#include "engine/definition_text.h"
#include "engine/expression.h"

using namespace print;
using namespace print::engine;

namespace {

// A definition with `objects` text and column objects, about 200 bytes each.
std::string makeDefinition(int objects) {
    std::string s =
        "release 9;\ndatawindow(units=0 processing=0 print.margin.top=96 )\nheader(height=80 )\n"
        "detail(height=76 )\ntable(column=(type=char(20) name=c0 dbname=\"c0\" ) "
        "column=(type=decimal(2) name=c1 dbname=\"c1\" ) retrieve=\"SELECT c0, c1 FROM t\" )\n";
    for (int i = 0; i < objects; ++i) {
        if (i % 2 == 0)
            s += "text(band=header alignment=\"2\" text=\"标题" + std::to_string(i) +
                 "\" border=\"0\" color=\"0\" x=\"" + std::to_string(i * 10) +
                 "\" y=\"8\" height=\"60\" width=\"300\" name=t_" + std::to_string(i) +
                 " font.face=\"宋体\" font.height=\"-9\" font.weight=\"400\" "
                 "background.mode=\"1\" background.color=\"536870912\" )\n";
        else
            s += "column(band=detail id=" + std::to_string(i % 2 + 1) +
                 " alignment=\"1\" border=\"0\" color=\"0\" x=\"" + std::to_string(i * 10) +
                 "\" y=\"8\" height=\"60\" width=\"300\" format=\"###,##0.00\" name=t_" +
                 std::to_string(i) +
                 " edit.limit=0 font.face=\"宋体\" font.height=\"-9\" background.mode=\"1\" )\n";
    }
    return s;
}

void BM_ParseDefinition(benchmark::State& state) {
    std::string text = makeDefinition(5000);
    for (auto _ : state) {
        auto parsed = parseDefinition(text);
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_ParseDefinition)->Unit(benchmark::kMillisecond);

void BM_WriteDefinition(benchmark::State& state) {
    std::string text = makeDefinition(5000);
    auto parsed = parseDefinition(text);
    for (auto _ : state) {
        std::string out = writeDefinition(parsed.value());
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_WriteDefinition)->Unit(benchmark::kMillisecond);

void BM_CreateReportFromText(benchmark::State& state) {
    std::string text = makeDefinition(5000);
    for (auto _ : state) {
        DataStore r;
        std::string error;
        r.Create(text, error);
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CreateReportFromText)->Unit(benchmark::kMillisecond);

// A Case with thousands of arms, each a chain of operators: compiling takes time in proportion
// to the text.
void BM_CompileLongExpression(benchmark::State& state) {
    std::string text = "case(n";
    for (int i = 0; i < state.range(0); ++i)
        text += " when " + std::to_string(i) + " then '第' + string(n * " + std::to_string(i) +
                ") + '项'";
    text += " else '' )";
    for (auto _ : state) {
        auto compiled = Expression::compile(text);
        benchmark::DoNotOptimize(compiled);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CompileLongExpression)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

std::unique_ptr<DataStore> reportOf(int objects) {
    auto r = std::make_unique<DataStore>();
    std::string error;
    r->Create(makeDefinition(objects), error);
    return r;
}

void BM_DescribeProperty(benchmark::State& state) {
    auto r = reportOf(static_cast<int>(state.range(0)));
    std::string path = "t_" + std::to_string(state.range(0) / 2) + ".x";
    for (auto _ : state) benchmark::DoNotOptimize(r->Describe(path));
}
BENCHMARK(BM_DescribeProperty)->Arg(50)->Arg(5000);

void BM_ModifyProperty(benchmark::State& state) {
    auto r = reportOf(static_cast<int>(state.range(0)));
    std::string statement = "t_" + std::to_string(state.range(0) / 2) + ".x='120'";
    for (auto _ : state) benchmark::DoNotOptimize(r->Modify(statement));
}
BENCHMARK(BM_ModifyProperty)->Arg(50)->Arg(5000);

const char* kCreate =
    "create text(name=bw__dot_t_1_1 band=header font.charset='0' font.face='arial' "
    "font.family='2' font.height='-12' font.pitch='2' font.weight='400' background.mode='2' "
    "background.color='255' color='0' alignment='0' border='0' x='10' y='10' height='104' "
    "width='104' text='')";

void BM_ModifyCreate(benchmark::State& state) {
    auto r = reportOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(r->Modify(kCreate));
        state.PauseTiming();
        r->Modify("destroy bw__dot_t_1_1");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ModifyCreate)->Arg(50)->Arg(5000);

void BM_ModifyDestroy(benchmark::State& state) {
    auto r = reportOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        r->Modify(kCreate);
        state.ResumeTiming();
        benchmark::DoNotOptimize(r->Modify("destroy bw__dot_t_1_1"));
    }
}
BENCHMARK(BM_ModifyDestroy)->Arg(50)->Arg(5000);

// --- a million rows of ten mixed columns -------------------------------------------------------

constexpr long kRows = 1000000;

const char* kRowsReport = R"(release 9;
datawindow(units=0 processing=1 )
detail(height=72 )
table(column=(type=char(10) name=billno dbname="billno" )
 column=(type=long name=rowno dbname="rowno" )
 column=(type=char(13) name=goodsid dbname="goodsid" )
 column=(type=char(40) name=goodsname dbname="goodsname" )
 column=(type=char(4) name=unit dbname="unit" )
 column=(type=decimal(2) name=price dbname="price" )
 column=(type=decimal(3) name=qty dbname="qty" )
 column=(type=decimal(2) name=amount dbname="amount" )
 column=(type=date name=proddate dbname="proddate" )
 column=(type=datetime name=stamp dbname="stamp" )
 retrieve="SELECT * FROM t" )
)";

const char* kNames[] = {"农夫山泉矿泉水", "康师傅红烧牛肉面", "双汇火腿肠", "蒙牛纯牛奶250ml",
                        "青岛啤酒", "可口可乐330ml", "旺旺雪饼", "金龙鱼调和油5L"};
const char* kUnits[] = {"箱", "瓶", "袋", "桶"};

struct PlainRow {
    std::string billno;
    int64_t rowno;
    std::string goodsid;
    std::string goodsname;
    std::string unit;
    double price, qty, amount;
    int32_t proddate;
    int64_t stamp;
};

std::string goodsId(long i) {
    std::string id = std::to_string(6900000000000LL + i);
    return id;
}

class GeneratedRows : public RowSource {
public:
    Result<long> retrieve(std::string_view, const std::vector<RetrieveArgument>&,
                          const std::vector<RetrieveColumn>&, RowSink& sink) override {
        std::vector<Value> row(10);
        Date base = *Date::parse("2026-01-01");
        for (long i = 0; i < kRows; ++i) {
            row[0] = Value("B" + std::to_string(100000000 + i / 20));
            row[1] = Value(int64_t{i % 20 + 1});
            row[2] = Value(i == kRows - 1 ? std::string("X") : goodsId(i));
            row[3] = Value(kNames[i % 8]);
            row[4] = Value(kUnits[i % 4]);
            row[5] = Value(Decimal::fromParts(1000 + i % 9000, 2));
            row[6] = Value(Decimal::fromParts(1000 + i % 50000, 3));
            row[7] = Value(Decimal::fromParts(i % 1000000, 2));
            row[8] = Value(Date{base.days + static_cast<int32_t>(i % 365)});
            row[9] = Value(DateTime{base, Time{(i % 86400) * 1000000LL}});
            sink.appendRow(row);
        }
        return kRows;
    }
};

DataStore& millionRows() {
    static DataStore* r = [] {
        auto* ds = new DataStore();
        std::string error;
        ds->Create(kRowsReport, error);
        static GeneratedRows source;
        ds->SetTransObject(&source);
        ds->Retrieve();
        return ds;
    }();
    return *r;
}

std::vector<PlainRow> plainRows() {
    std::vector<PlainRow> rows;
    rows.reserve(kRows);
    for (long i = 0; i < kRows; ++i)
        rows.push_back({"B" + std::to_string(100000000 + i / 20), i % 20 + 1,
                        i == kRows - 1 ? std::string("X") : goodsId(i), kNames[i % 8],
                        kUnits[i % 4], (1000 + i % 9000) / 100.0, (1000 + i % 50000) / 1000.0,
                        (i % 1000000) / 100.0, static_cast<int32_t>(i % 365), i});
    return rows;
}

void BM_RowsCopyMillion(benchmark::State& state) {
    DataStore& src = millionRows();
    DataStore target;
    std::string error;
    target.Create(kRowsReport, error);
    for (auto _ : state) {
        target.Reset();
        src.RowsCopy(1, kRows, Buffer::Primary, target, 0, Buffer::Primary);
        benchmark::DoNotOptimize(target.RowCount());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_RowsCopyMillion)->Unit(benchmark::kMillisecond);

void BM_VectorCopyMillion(benchmark::State& state) {
    std::vector<PlainRow> src = plainRows();
    std::vector<PlainRow> dst;
    for (auto _ : state) {
        dst.clear();
        dst.shrink_to_fit();
        dst = src;
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_VectorCopyMillion)->Unit(benchmark::kMillisecond);

void BM_FindLastRowMillion(benchmark::State& state) {
    DataStore& r = millionRows();
    long found = 0;
    for (auto _ : state) {
        found = r.Find("goodsid = 'X'", 1, r.RowCount());
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_FindLastRowMillion)->Unit(benchmark::kMillisecond);

// A whole scan of a long column and of a date column: every value read through the row store.
void BM_FindLongAndDateMillion(benchmark::State& state) {
    DataStore& r = millionRows();
    long found = 0;
    for (auto _ : state) {
        found = r.Find("rowno = 21 or IsNull(proddate)", 1, r.RowCount());
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_FindLongAndDateMillion)->Unit(benchmark::kMillisecond);

void BM_SqliteScanMillion(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db,
                 "CREATE TABLE t(billno TEXT, rowno INTEGER, goodsid TEXT, goodsname TEXT, unit "
                 "TEXT, price NUMERIC, qty NUMERIC, amount NUMERIC, proddate TEXT, stamp TEXT)",
                 nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?,?,?,?,?,?,?,?,?)", -1, &ins, nullptr);
    for (const PlainRow& p : plainRows()) {
        sqlite3_bind_text(ins, 1, p.billno.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(ins, 2, p.rowno);
        sqlite3_bind_text(ins, 3, p.goodsid.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 4, p.goodsname.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 5, p.unit.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(ins, 6, p.price);
        sqlite3_bind_double(ins, 7, p.qty);
        sqlite3_bind_double(ins, 8, p.amount);
        sqlite3_bind_int(ins, 9, p.proddate);
        sqlite3_bind_int64(ins, 10, p.stamp);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db, "SELECT rowid FROM t WHERE goodsid = 'X' LIMIT 1", -1, &q, nullptr);
    int64_t found = 0;
    for (auto _ : state) {
        if (sqlite3_step(q) == SQLITE_ROW) found = sqlite3_column_int64(q, 0);
        sqlite3_reset(q);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
    sqlite3_finalize(q);
    sqlite3_close(db);
}
BENCHMARK(BM_SqliteScanMillion)->Unit(benchmark::kMillisecond);

size_t heapInUse() {
    struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

void BM_MemoryMillion(benchmark::State& state) {
    for (auto _ : state) {
        size_t before = heapInUse();
        DataStore r;
        std::string error;
        r.Create(kRowsReport, error);
        GeneratedRows source;
        r.SetTransObject(&source);
        r.Retrieve();
        size_t held = heapInUse() - before;
        // The raw payload: string bytes, 8 bytes a number or date-time, 4 a date.
        size_t payload = 0;
        for (long i = 1; i <= r.RowCount(); ++i) {
            std::string_view s;
            for (int c : {0, 2, 3, 4})
                if (r.stringAt(c, i, s)) payload += s.size();
        }
        payload += static_cast<size_t>(r.RowCount()) * (8 * 5 + 4);
        state.counters["held_MB"] = static_cast<double>(held) / 1e6;
        state.counters["payload_MB"] = static_cast<double>(payload) / 1e6;
        state.counters["ratio"] = static_cast<double>(held) / static_cast<double>(payload);
    }
}
BENCHMARK(BM_MemoryMillion)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // A long-running host keeps its heap; without this glibc hands freed memory back to the
    // system after every iteration and each iteration pays the page faults to get it again.
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
