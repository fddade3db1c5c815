// The report view on screen: repainting the shown page of the page frame d_print whose nested
// list holds 100,000 rows, at 100% and 200% zoom, and redrawing a report of 2,000 objects after
// the designer moved one of them (Modify, then the view's check and paint). Each should stay
// well under a frame at 60 Hz (16 ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/library.h"
#include "platform/datawindow_control.h"
#include "qt/report_view.h"
#include "render/gui_application.h"

using namespace print;

namespace {

const char* kList = R"srd(release 9;
datawindow(units=3 timer_interval=0 color=16777215 processing=0 )
header(height=600 color="536870912" )
summary(height=500 color="536870912" )
footer(height=0 color="536870912" )
detail(height=500 color="536870912" )
table(column=(type=long name=lineno dbname="lineno" ) column=(type=char(10) name=goodsid dbname="goodsid" ) column=(type=char(40) name=goodsname dbname="goodsname" ) column=(type=decimal(2) name=qty dbname="qty" ) column=(type=decimal(2) name=price dbname="price" ) )
text(band=header alignment="2" text="行号" border="2" color="0" x="0" y="50" height="500" width="1500" name=lineno_t font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
text(band=header alignment="2" text="商品编码" border="2" color="0" x="1500" y="50" height="500" width="2500" name=goodsid_t font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
text(band=header alignment="2" text="商品名称" border="2" color="0" x="4000" y="50" height="500" width="6000" name=goodsname_t font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
text(band=header alignment="2" text="数量" border="2" color="0" x="10000" y="50" height="500" width="2500" name=qty_t font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
text(band=header alignment="2" text="单价" border="2" color="0" x="12500" y="50" height="500" width="2500" name=price_t font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
column(band=detail id=1 alignment="1" border="0" color="0" x="0" y="50" height="400" width="1500" name=lineno font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
column(band=detail id=2 alignment="0" border="0" color="0" x="1500" y="50" height="400" width="2500" name=goodsid font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
column(band=detail id=3 alignment="0" border="0" color="0" x="4000" y="50" height="400" width="6000" name=goodsname font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
column(band=detail id=4 alignment="1" border="0" color="0" x="10000" y="50" height="400" width="2500" format="#,##0.00" name=qty font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
column(band=detail id=5 alignment="1" border="0" color="0" x="12500" y="50" height="400" width="2500" format="￥#,##0.00" name=price font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
compute(band=summary alignment="1" expression="sum(qty * price for all)" border="0" color="0" x="10000" y="50" height="400" width="5000" format="合计 ￥#,##0.00" name=total font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
)srd";

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

void ensureApplication() {
    if (QApplication::instance()) return;
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "qt_view_bench";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    render::ensureGuiApplication();
}

// The frame d_print on a report control, its list holding 100,000 rows.
platform::DataWindowControl& frameReport() {
    static platform::DataWindowControl* control = [] {
        auto lib = std::make_shared<engine::MemoryLibrary>();
        lib->put("d_bench_list", kList);
        lib->put("d_print_tmp",
                 readFile(std::filesystem::path(BENCH_REPORT_DEFS) / "d_print_tmp.srd"));
        engine::LibrarySearchList::application().setLibraries({lib});
        static platform::DataWindowControl frame(nullptr, "dw_preview");
        std::string error;
        if (frame.Create(readFile(std::filesystem::path(BENCH_REPORT_DEFS) / "d_print.srd"),
                         error) != 1)
            std::abort();
        engine::DataWindowChild* list = nullptr;
        if (!frame.Modify("dw_report.dataobject='d_bench_list'").empty() ||
            frame.GetChild("dw_report", list) != 1)
            std::abort();
        engine::RowData& data = list->rowData();
        for (long i = 1; i <= 100000; ++i) {
            const uint32_t id = data.newRow();
            data.columns[0].set(id, Value(static_cast<int64_t>(i)));
            data.columns[1].set(id, Value("G" + std::to_string(100000 + i)));
            data.columns[2].set(id, Value("商品名称 " + std::to_string(i % 977)));
            data.columns[3].set(id, Value(Decimal(static_cast<int64_t>(i % 13 + 1))));
            data.columns[4].set(id, Value(*Decimal::parse("12.50")));
            data.primary.push_back(id);
        }
        data.touch();
        return &frame;
    }();
    return *control;
}

void repaint(benchmark::State& state) {
    ensureApplication();
    platform::DataWindowControl& frame = frameReport();
    frame.Modify("DataWindow.Print.Preview.Zoom=" + std::to_string(state.range(0)));
    qt::ReportView view(frame);
    view.setPrintPreview(true);
    view.resize(1280, 900);
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&image);
        view.paintView(painter);  // the page laid out once, as on the first show
    }
    for (auto _ : state) {
        QPainter painter(&image);
        view.paintView(painter);
    }
    state.counters["page"] = static_cast<double>(frame.layout().currentPage());
}
BENCHMARK(repaint)
    ->Name("BM_RepaintShownPage100kRows")
    ->Arg(100)
    ->Arg(200)
    ->Unit(benchmark::kMillisecond);

// 2,000 small texts in a grid over one page, as a crowded bill layout.
std::string crowdedReport() {
    std::string s =
        "release 9;\ndatawindow(units=1 processing=0 print.preview=yes print.paper.size=9 )\n"
        "header(height=1000 )\nsummary(height=0 )\nfooter(height=0 )\ndetail(height=20 )\n"
        "table(column=(type=char(10) name=a dbname=\"a\" ) )\n";
    for (int i = 0; i < 2000; ++i) {
        const int x = 10 + (i % 40) * 18, y = 10 + (i / 40) * 19;
        s += "text(band=header text=\"字" + std::to_string(i) + "\" x=\"" + std::to_string(x) +
             "\" y=\"" + std::to_string(y) +
             "\" height=\"16\" width=\"16\" moveable=1 resizeable=1 font.face=\"宋体\" "
             "font.height=\"-6\" name=t_" +
             std::to_string(i) + " )\n";
    }
    return s;
}

void redrawAfterModify(benchmark::State& state) {
    ensureApplication();
    platform::DataWindowControl report(nullptr, "dw_preview");
    std::string error;
    if (report.Create(crowdedReport(), error) != 1) {
        state.SkipWithError(error.c_str());
        return;
    }
    qt::ReportView view(report);
    view.resize(1280, 900);
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&image);
        view.paintView(painter);
    }
    long step = 0;
    for (auto _ : state) {
        // The designer's nudge: one object's x, then the view notices and draws.
        report.Modify("t_1000.x=" + std::to_string(100 + (++step % 2) * 26));
        view.refresh();
        QPainter painter(&image);
        view.paintView(painter);
    }
    state.counters["objects"] = 2000;
}
BENCHMARK(redrawAfterModify)
    ->Name("BM_RedrawAfterModify2000Objects")
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    ensureApplication();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
