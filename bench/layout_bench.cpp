// Layout benchmarks: the first page of the component's page frame d_print as the preview first
// shows it, its nested list holding 100,000 rows against the same frame holding 100 rows, with
// rows of one height and rows whose height depends on their text (the frame's footer counts the
// pages: rows of one height are counted at once, rows measured one by one are counted after the
// page shows); the same first page as paper takes it, with the count; paging through every page
// of the 100,000 rows, and the memory that paging keeps beside the rows.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/datastore.h"
#include "engine/library.h"
#include "frame_report.h"
#include "layout/report_layout.h"

using namespace print;
using namespace print::engine;
using namespace print::layout;
using bench::FrameReport;

namespace {

size_t heapInUse() {
    malloc_trim(0);
    struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

void firstPage(benchmark::State& state, bool autosize) {
    FrameReport report(state.range(0), autosize);
    for (auto _ : state) {
        report.forget();
        auto page = layoutOf(report.frame).previewList(1);
        benchmark::DoNotOptimize(page);
        if (!page.ok()) state.SkipWithError(page.error().message.c_str());
    }
    state.counters["pages"] = static_cast<double>(layoutOf(report.frame).pageCount());
}

void BM_FramePage1_100Rows(benchmark::State& state) {
    firstPage(state, false);
}
BENCHMARK(BM_FramePage1_100Rows)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_FramePage1_100kRows(benchmark::State& state) {
    firstPage(state, false);
}
BENCHMARK(BM_FramePage1_100kRows)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_FramePage1_100AutosizeRows(benchmark::State& state) {
    firstPage(state, true);
}
BENCHMARK(BM_FramePage1_100AutosizeRows)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_FramePage1_100kAutosizeRows(benchmark::State& state) {
    firstPage(state, true);
}
BENCHMARK(BM_FramePage1_100kAutosizeRows)->Arg(100000)->Unit(benchmark::kMillisecond);

// The first page as it prints: its footer's count needs every row measured once (the
// measurements are kept for the next layout).
void BM_FramePage1Printed_100kAutosizeRows(benchmark::State& state) {
    FrameReport report(100000, true);
    for (auto _ : state) {
        report.forget();
        auto page = layoutOf(report.frame).displayList(1);
        benchmark::DoNotOptimize(page);
    }
    state.counters["pages"] = static_cast<double>(layoutOf(report.frame).pageCount());
}
BENCHMARK(BM_FramePage1Printed_100kAutosizeRows)->Unit(benchmark::kMillisecond);

// Every page's display list in turn, as a reader paging to the end; the heap kept beside the
// rows is the layout's (a few recent pages and the page starts).
void BM_PageThrough100kRows(benchmark::State& state) {
    size_t before = heapInUse();
    FrameReport report(100000);
    size_t rows = heapInUse() - before;
    long pages = 0;
    size_t kept = 0;
    for (auto _ : state) {
        report.forget();
        pages = layoutOf(report.frame).pageCount();
        for (long p = 1; p <= pages; ++p) {
            auto page = layoutOf(report.frame).displayList(p);
            benchmark::DoNotOptimize(page);
        }
        state.PauseTiming();
        kept = heapInUse() - before - rows;
        state.ResumeTiming();
    }
    state.counters["pages"] = static_cast<double>(pages);
    state.counters["pages_per_s"] = benchmark::Counter(
        static_cast<double>(pages), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["rows_MB"] = static_cast<double>(rows) / 1e6;
    state.counters["layout_kept_MB"] = static_cast<double>(kept) / 1e6;
}
BENCHMARK(BM_PageThrough100kRows)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
