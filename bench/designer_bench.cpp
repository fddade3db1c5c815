// Designer benchmarks: one arrow nudge of 100 and of 400 selected objects out of 500, the same
// nudge on the page frame whose nested list holds 10 or 100,000 rows (with the shown page laid
// out again, as the preview does after every change), hit testing on a page of 1,000 objects,
// and an edit history of 100,000 steps: its memory and undo at any depth.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>

#include "designer/layout_designer.h"
#include "frame_report.h"
#include "platform/headless_services.h"
#include "platform/window.h"

using namespace print;
using namespace print::engine;
using namespace print::layout;

namespace {

class BenchDesigner : public platform::Window, public designer::LayoutDesigner {
public:
    BenchDesigner() : Window("w_bench"), LayoutDesigner(dw_preview) { setServices(services); }

    platform::HeadlessServices services;
    platform::DataWindowControl dw_preview{this, "dw_preview"};
    std::string pointer;

    void select(const std::string& object) {
        pointer = object + "\t1";
        services.setKeyDown(platform::KeyCode::Control, true);
        ue_lbuttondown(9, 0, 0);
        ue_lbuttonup(0, 0, 0);
        services.setKeyDown(platform::KeyCode::Control, false);
    }
    void nudge(platform::KeyCode key) {
        services.setKeyDown(key, true);
        ue_keydown(static_cast<int>(key), 0);
        services.setKeyDown(key, false);
    }

protected:
    bool designerActive() const override { return true; }
    platform::Services& designerServices() const override {
        return const_cast<platform::HeadlessServices&>(services);
    }
    std::string objectUnderPointer() const override { return pointer; }
};

// A free-form report of `count` texts in a grid over an A3 page.
std::string manyObjects(int count) {
    std::string srd =
        "release 9;\ndatawindow(units=3 processing=0 print.paper.size=8 )\n"
        "header(height=40000 )\ndetail(height=0 )\n"
        "table(column=(type=char(10) name=a dbname=\"a\" ) )\n";
    for (int i = 0; i < count; ++i) {
        const int x = (i % 25) * 1100, y = (i / 25) * 500;
        srd += "text(band=header text=\"字段" + std::to_string(i) + "\" x=\"" + std::to_string(x) +
               "\" y=\"" + std::to_string(y) +
               "\" height=\"400\" width=\"1000\" font.face=\"宋体\" font.height=\"-9\" name=t" +
               std::to_string(i) + " )\n";
    }
    return srd;
}

// Alternating right and left so the objects stay put across iterations.
void nudgeSelected(benchmark::State& state) {
    BenchDesigner w;
    std::string error;
    if (w.dw_preview.Create(manyObjects(500), error) != 1) state.SkipWithError(error.c_str());
    for (long i = 0; i < state.range(0); ++i) w.select("t" + std::to_string(i * 5 % 500 + i * 5 / 500));
    bool right = true;
    for (auto _ : state) {
        w.nudge(right ? platform::KeyCode::Right : platform::KeyCode::Left);
        right = !right;
    }
    state.counters["selected"] = static_cast<double>(w.ii_select);
}

void BM_NudgeSelected(benchmark::State& state) {
    nudgeSelected(state);
}
BENCHMARK(BM_NudgeSelected)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);

// The nudge as the operator sees it: the shown page is laid out again afterwards. Ten rows
// leave most of the first page empty; a hundred fill it as 100,000 do, so that only the work
// that grows with the rows beyond the page differs.
void frameNudge(benchmark::State& state) {
    BenchDesigner w;
    DataStore* list = nullptr;
    bench::buildFrame(w.dw_preview, list, state.range(0));
    layoutOf(w.dw_preview).displayList(1);
    w.select("st_repname");
    w.select("st_coname");
    bool right = true;
    for (auto _ : state) {
        w.nudge(right ? platform::KeyCode::Right : platform::KeyCode::Left);
        right = !right;
        auto page = layoutOf(w.dw_preview).displayList(1);
        benchmark::DoNotOptimize(page);
    }
    state.counters["pages"] = static_cast<double>(layoutOf(w.dw_preview).pageCount());
}

void BM_FrameNudge(benchmark::State& state) {
    frameNudge(state);
}
BENCHMARK(BM_FrameNudge)->Arg(10)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_HitTest1000Objects(benchmark::State& state) {
    DataStore report;
    std::string error;
    if (report.Create(manyObjects(1000), error) != 1) state.SkipWithError(error.c_str());
    ReportLayout& layout = layoutOf(report);
    auto page = layout.displayList(1);
    if (!page.ok()) state.SkipWithError(page.error().message.c_str());
    state.counters["objects"] = static_cast<double>(page.value()->objects.size());
    double y = 0;
    for (auto _ : state) {
        // A point over a text near the bottom of the page, where most objects lie above.
        layout.setPointerInUnits(24 * 1100 + 500, 39 * 500 + 200 + y);
        y = y > 100 ? 0 : y + 7;
        benchmark::DoNotOptimize(layout.objectAtPointer());
    }
}
BENCHMARK(BM_HitTest1000Objects)->Unit(benchmark::kMicrosecond);

size_t heapInUse() {
    malloc_trim(0);
    struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

// 100,000 steps as nudges of two objects record them; then undo and redo at the top of the
// history and at the bottom.
void BM_History100kSteps(benchmark::State& state) {
    BenchDesigner w;
    std::string error;
    if (w.dw_preview.Create(manyObjects(2), error) != 1) state.SkipWithError(error.c_str());
    const size_t before = heapInUse();
    for (long i = 0; i < 100000; ++i) {
        const std::string x = std::to_string(10000 + i % 500);
        w.recordStep("t0.x=" + x + " t1.x=" + x, "t0.x=" + x + " t1.x=" + x);
    }
    state.counters["history_MB"] = static_cast<double>(heapInUse() - before) / (1024.0 * 1024.0);
    const long depth = state.range(0);
    while (w.il_syntaxupper > depth) w.ue_align("undo");
    for (auto _ : state) {
        w.ue_align("undo");
        w.ue_align("redo");
    }
    state.counters["depth"] = static_cast<double>(w.il_syntaxupper);
}
BENCHMARK(BM_History100kSteps)->Arg(100000)->Arg(10)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
