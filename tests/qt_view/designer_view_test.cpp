// The layout designer of the print window under a real mouse and keyboard: a ReportView over
// the window's dw_preview, fed with Qt's own events, against a second window driven through
// the operator functions scripts use.
#include <gtest/gtest.h>

#include <QTest>

#include "common/text.h"
#include "print_window_test_support.h"
#include "qt/report_view.h"

namespace print::print_window::test {
namespace {

using platform::KeyCode;
using platform::MouseAction;
using qt::ReportView;

class DesignerView : public PrintWindowTest {
protected:
    void SetUp() override {
        PrintWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        op = &addOperator("A");
        op->create(op->dw_detail, kGoodsReport);
        fillGoods(op->dw_detail);
    }
    void open(const std::function<void(w_print&)>& act) {
        op->runWith(
            [&] { op->host.gnu_print.of_print(&op->dw_detail, std::string("商品清单,月结")); },
            act);
    }
    // The report's syntax with the per-window name of its list put aside.
    static std::string syntax(w_print& w) {
        std::string s = w.dw_preview.syntax();
        const std::string list = w.dw_preview.Describe("dw_report.dataobject");
        for (size_t at = s.find(list); !list.empty() && at != std::string::npos;
             at = s.find(list, at))
            s.replace(at, list.size(), "LIST");
        return s;
    }
    static std::vector<std::string> markers(w_print& w) {
        std::vector<std::string> out;
        for (const auto& name : split(w.dw_preview.Describe("DataWindow.Objects"), '\t'))
            if (istartsWith(name, "bw__")) out.push_back(name);
        return out;
    }
    static std::unique_ptr<ReportView> viewOver(w_print& w) {
        auto view = std::make_unique<ReportView>(w.dw_preview);
        view->setPrintPreview(true);
        view->resize(2600, 1900);
        view->show();
        return view;
    }
    static QPoint centreOf(ReportView& view, w_print& w, const std::string& name) {
        auto placed = w.dw_preview.placedObject(name);
        EXPECT_TRUE(placed) << name;
        if (!placed) return {};
        return view.viewportRect(layout::layoutOf(w.dw_preview).currentPage(), placed->box)
            .center()
            .toPoint();
    }
    static void drag(ReportView& view, QPoint from, QPoint to,
                     Qt::KeyboardModifiers keys = Qt::NoModifier) {
        QTest::mousePress(view.viewport(), Qt::LeftButton, keys, from);
        QTest::mouseMove(view.viewport(), (from + to) / 2);
        QTest::mouseMove(view.viewport(), to);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, keys, to);
    }

    Operator* op = nullptr;
};

TEST_P(DesignerView, AMouseDragGivesTheReportAScriptsDragGives) {
    for (int zoom : {100, 200}) {
        const std::string setZoom = "DataWindow.Print.Preview.Zoom=" + std::to_string(zoom);
        std::vector<layout::PagePoint> points;
        std::string byMouse, before;
        std::vector<std::string> mouseMarkers;
        open([&](w_print& w) {
            ASSERT_EQ(w.dw_preview.Modify(setZoom), "");
            auto view = viewOver(w);
            before = w.dw_preview.Describe("st_repname.x");
            const QPoint from = centreOf(*view, w, "st_repname");
            const QPoint to = from + QPoint(60, 30);
            for (QPoint p : {from, (from + to) / 2, to})
                points.push_back(view->pageHitAt(p)->point);
            drag(*view, from, to);
            byMouse = syntax(w);
            mouseMarkers = markers(w);
        });
        std::string byScript;
        std::vector<std::string> scriptMarkers;
        open([&](w_print& w) {
            ASSERT_EQ(w.dw_preview.Modify(setZoom), "");
            w.dw_preview.operatorMouse(MouseAction::Down, points[0]);
            w.dw_preview.operatorMouse(MouseAction::Move, points[1]);
            w.dw_preview.operatorMouse(MouseAction::Move, points[2]);
            w.dw_preview.operatorMouse(MouseAction::Up, points[2]);
            byScript = syntax(w);
            scriptMarkers = markers(w);
            EXPECT_NE(w.dw_preview.Describe("st_repname.x"), before) << zoom;
        });
        EXPECT_EQ(byMouse, byScript) << zoom;
        EXPECT_EQ(mouseMarkers, scriptMarkers) << zoom;
        EXPECT_EQ(mouseMarkers.size(), 5u) << zoom;
    }
}

TEST_P(DesignerView, KeysUndoOneStepAndNudgeTheSelection) {
    open([&](w_print& w) {
        auto view = viewOver(w);
        auto x = [&](const char* object) {
            return std::stol(w.dw_preview.Describe(std::string(object) + ".x"));
        };
        const QPoint from = centreOf(*view, w, "st_repname");
        drag(*view, from, from + QPoint(40, 0));
        const long once = x("st_repname");
        drag(*view, from + QPoint(40, 0), from + QPoint(80, 0));
        ASSERT_GT(x("st_repname"), once);

        QTest::keyClick(view.get(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(x("st_repname"), once);
        QTest::keyClick(view.get(), Qt::Key_Right);
        EXPECT_EQ(x("st_repname"), once + 26);
        const long width = std::stol(w.dw_preview.Describe("st_repname.width"));
        QTest::keyClick(view.get(), Qt::Key_Left, Qt::ShiftModifier);
        EXPECT_EQ(std::stol(w.dw_preview.Describe("st_repname.width")), width - 26);

        // A Ctrl-click adds an object (the services tell the designer Ctrl is down, as the
        // keyboard would), and the arrows move both.
        const long address = x("st_address");
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centreOf(*view, w, "st_coname"));
        op->services.setKeyDown(KeyCode::Control, true);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          centreOf(*view, w, "st_address"));
        op->services.setKeyDown(KeyCode::Control, false);
        const long coname = x("st_coname");
        QTest::keyClick(view.get(), Qt::Key_Down);
        QTest::keyClick(view.get(), Qt::Key_Right);
        EXPECT_EQ(x("st_coname"), coname + 26);
        EXPECT_EQ(x("st_address"), address + 26);
        EXPECT_EQ(markers(w).size(), 10u);
    });
}

INSTANTIATE_TEST_SUITE_P(Sqlite, DesignerView, testing::Values(db::Backend::Sqlite),
                         db::test::backendName);

}  // namespace
}  // namespace print::print_window::test
