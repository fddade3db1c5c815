// Drawing reports into PDF: all pages of a 10,000-row list laid out and drawn by the painter,
// beside the same text runs drawn straight with QPainter into a QPdfWriter with nothing laid
// out. The first should reach 200 pages a second and take at most 1.15 times the second.
//
// The writer lays out on the calling thread while a second one draws, so the times are wall
// clock times. The machine's speed drifts by a fifth from one minute to the next; compare the
// two in one run with their repetitions interleaved:
//   render_bench --benchmark_filter='Pdf' --benchmark_repetitions=6 \
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include "engine/datastore.h"
#include "layout/report_layout.h"
#include "render/fonts.h"
#include "render/gui_application.h"
#include "render/page_output.h"
#include "render/report_print.h"

using namespace print;

namespace {

constexpr long kRows = 10000;

// A goods list as stores print them: a header with the column headings, one line a row with
// code, name, quantity, price and amount, the page number in the footer.
std::string listDefinition() {
    const auto text = [](const std::string& band, const std::string& name, const std::string& x,
                         const std::string& width, const std::string& what, int alignment) {
        return band + "(band=" +
               (band == "text"     ? "header"
                : band == "column" ? "detail"
                                   : "footer") +
               " alignment=\"" + std::to_string(alignment) + "\" " + what +
               " border=\"0\" color=\"0\" x=\"" + x + "\" y=\"4\" height=\"60\" width=\"" + width +
               "\" name=" + name +
               " font.face=\"宋体\" font.height=\"-9\" font.weight=\"400\" font.charset=\"134\" "
               "background.mode=\"1\" background.color=\"536870912\" )\n";
    };
    std::string s =
        "release 9;\ndatawindow(units=0 processing=0 print.paper.size=9 print.margin.left=110 "
        "print.margin.right=110 print.margin.top=96 print.margin.bottom=96 )\n"
        "header(height=76 )\nsummary(height=0 )\nfooter(height=76 )\ndetail(height=68 )\n"
        "table(column=(type=char(8) name=goodsid dbname=\"goodsid\" ) "
        "column=(type=char(40) name=goodsname dbname=\"goodsname\" ) "
        "column=(type=decimal(3) name=qty dbname=\"qty\" ) "
        "column=(type=decimal(2) name=price dbname=\"price\" ) "
        "column=(type=decimal(2) name=amount dbname=\"amount\" ) )\n";
    s += text("text", "goodsid_t", "9", "300", "text=\"商品编码\"", 2);
    s += text("text", "goodsname_t", "320", "1000", "text=\"商品名称\"", 2);
    s += text("text", "qty_t", "1330", "300", "text=\"数量\"", 2);
    s += text("text", "price_t", "1640", "300", "text=\"单价\"", 2);
    s += text("text", "amount_t", "1950", "400", "text=\"金额\"", 2);
    s += text("column", "goodsid", "9", "300", "id=1 format=\"[general]\"", 0);
    s += text("column", "goodsname", "320", "1000", "id=2 format=\"[general]\"", 0);
    s += text("column", "qty", "1330", "300", "id=3 format=\"#,##0.###\"", 1);
    s += text("column", "price", "1640", "300", "id=4 format=\"#,##0.00\"", 1);
    s += text("column", "amount", "1950", "400", "id=5 format=\"#,##0.00\"", 1);
    s +=
        text("compute", "page_c", "9", "2340",
             "expression=\"'第' + page() + '页 共' + pageCount() + '页'\" format=\"[general]\"", 2);
    return s;
}

const std::vector<std::string> kNames = {"康师傅红烧牛肉面",   "农夫山泉天然水550ml",
                                         "金龙鱼调和油5L",     "旺旺雪饼（家庭装）",
                                         "蒙牛纯牛奶250ml×16", "清风原木纸巾3层"};

engine::DataStore& listReport() {
    static engine::DataStore* report = [] {
        render::ensureGuiApplication();
        static engine::DataStore store;
        std::string error;
        if (store.Create(listDefinition(), error) != 1) std::abort();
        for (long r = 1; r <= kRows; ++r) {
            const long row = store.InsertRow(0);
            store.SetItem(row, 1, Value(std::to_string(690000 + r)));
            store.SetItem(row, 2, Value(kNames[static_cast<size_t>(r) % kNames.size()]));
            store.SetItem(row, 3, Value(Decimal(static_cast<int64_t>(r % 97 + 1))));
            store.SetItem(row, 4, Value(*Decimal::parse("12.50")));
            store.SetItem(row, 5, Value(*Decimal::parse("1234.50")));
        }
        return &store;
    }();
    return *report;
}

void BM_LayOutAndDrawPdf(benchmark::State& state) {
    engine::DataStore& report = listReport();
    long pages = 0;
    for (auto _ : state) {
        layout::layoutOf(report).invalidate();
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const long count = layout::layoutOf(report).pageCount();
        std::vector<long> all(static_cast<size_t>(count));
        for (long p = 1; p <= count; ++p) all[static_cast<size_t>(p - 1)] = p;
        const render::PagePainter painter(layout::layoutOf(report).fontMetrics());
        const Status written =
            render::writePdf(all, render::pagesOf(report), buffer, "buffer", {}, painter);
        if (!written) state.SkipWithError(written.error().message.c_str());
        pages += count;
        state.counters["pdf_bytes"] = static_cast<double>(buffer.size());
        state.counters["pages"] = static_cast<double>(count);
    }
    state.counters["pages_per_second"] =
        benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LayOutAndDrawPdf)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

// The layout share of the first benchmark: every page's display list, nothing drawn.
void BM_LayOutOnly(benchmark::State& state) {
    engine::DataStore& report = listReport();
    long pages = 0;
    for (auto _ : state) {
        layout::layoutOf(report).invalidate();
        const long count = layout::layoutOf(report).pageCount();
        for (long p = 1; p <= count; ++p)
            benchmark::DoNotOptimize(layout::layoutOf(report).displayList(p));
        pages += count;
    }
    state.counters["pages_per_second"] =
        benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LayOutOnly)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

// The drawing share of the first benchmark: display lists made beforehand, only drawn.
void BM_DrawOnlyPdf(benchmark::State& state) {
    engine::DataStore& report = listReport();
    const long count = layout::layoutOf(report).pageCount();
    std::vector<std::shared_ptr<const layout::PageDisplayList>> lists;
    for (long p = 1; p <= count; ++p)
        lists.push_back(layout::layoutOf(report).displayList(p).value());
    const render::PageSource source =
        [&](long page) -> Result<std::shared_ptr<const layout::PageDisplayList>> {
        return lists[static_cast<size_t>(page - 1)];
    };
    std::vector<long> all(static_cast<size_t>(count));
    for (long p = 1; p <= count; ++p) all[static_cast<size_t>(p - 1)] = p;
    const render::PagePainter painter(layout::layoutOf(report).fontMetrics());
    long pages = 0;
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        if (!render::writePdf(all, source, buffer, "buffer", {}, painter))
            state.SkipWithError("not written");
        pages += count;
    }
    state.counters["pages_per_second"] =
        benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawOnlyPdf)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

struct PlainRun {
    QFont font;
    QPointF at;
    QString text;
};

void BM_PlainQPainterPdf(benchmark::State& state) {
    engine::DataStore& report = listReport();
    const long count = layout::layoutOf(report).pageCount();
    std::vector<std::vector<PlainRun>> pages;
    for (long p = 1; p <= count; ++p) {
        auto list = layout::layoutOf(report).displayList(p);
        if (!list.ok()) std::abort();
        std::vector<PlainRun> runs;
        for (const layout::DisplayItem& item : list.value()->items) {
            if (const auto* run = std::get_if<layout::TextRun>(&item.shape))
                runs.push_back({render::toQFont(run->font, run->font.size, 1200),
                                QPointF(run->box.x, run->baseline),
                                QString::fromStdString(run->text)});
        }
        pages.push_back(std::move(runs));
    }
    long drawn = 0;
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(1200);
        QPainter painter(&writer);
        painter.scale(1200 / 72.0, 1200 / 72.0);
        for (size_t p = 0; p < pages.size(); ++p) {
            if (p > 0) writer.newPage();
            for (const PlainRun& run : pages[p]) {
                painter.setFont(run.font);
                painter.drawText(run.at, run.text);
            }
        }
        painter.end();
        drawn += static_cast<long>(pages.size());
    }
    state.counters["pages_per_second"] =
        benchmark::Counter(static_cast<double>(drawn), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlainQPainterPdf)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
