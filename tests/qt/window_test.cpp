// The print window on real widgets: the same operator actions through the Qt widgets and on the
// headless layer leave the same model, templates and messages; keys reach the model once; what
// the logic does to a control shows on screen.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "db/library_file.h"
#include "engine/library.h"
#include "platform/units.h"
#include "print_window_test_support.h"
#include "render_test_support.h"
#include "qt/control_widgets.h"
#include "qt/qt_services.h"

namespace print::qt {
namespace {

using print_window::w_print;
using print_window::test::fillGoods;
using print_window::test::kGoodsReport;

// One operator whose windows are shown through QtServices.
class QtOperator {
public:
    QtOperator(const std::string& url, const std::string& library) : host(services) {
        host.gs_operid = "A";
        host.gs_opergh = "0A";
        host.gs_opername = "操作员A";
        host.gs_incqc = "华联超市有限公司";
        host.gs_appid = "T";
        host.gs_isbillprinttmp = "Y";
        host.gs_role = "01";
        print_window::installPrintWindow(host);
        EXPECT_EQ(host.sqlca.connect(url), 0) << host.sqlca.sqlErrText();
        EXPECT_EQ(host.gnu_print.of_setprintlib(library), 1);
        std::string error;
        EXPECT_EQ(dw_detail.Create(kGoodsReport, error), 1) << error;
        fillGoods(dw_detail);
        // Message boxes are recorded as the headless layer describes them and answered with
        // their first button.
        services.onDialog = [this](QWidget& dialog) {
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            if (!box) return;
            boxes.push_back(box->windowTitle().toStdString() + " | " + box->text().toStdString());
            QPointer<QMessageBox> shown(box);
            QTimer::singleShot(0, [shown] {
                if (shown) shown->buttons().back()->click();
            });
        };
    }

    // Prints the goods list with `act` playing the operator on the shown print window.
    void print(const std::function<void(w_print&, WindowView&)>& act) {
        engine::LibrarySearchList::application().setLibraries(
            {std::make_shared<db::LibraryFileDefinitions>(host.gnu_print.is_printlib)});
        services.modalInteraction = [&](platform::Window& window, WindowView& view) {
            if (window.name() == "w_print") act(static_cast<w_print&>(window), view);
            if (window.name() == "w_savetemplate" && saveDialog) saveDialog(window, view);
        };
        host.gnu_print.of_print(&dw_detail, std::string("商品清单,月结"));
        services.modalInteraction = nullptr;
    }

    QtServices services;
    service::HostContext host;
    platform::Window hostWindow{"w_host"};
    platform::DataWindowControl dw_detail{&hostWindow, "dw_detail"};
    std::function<void(platform::Window&, WindowView&)> saveDialog;
    std::vector<std::string> boxes;
};

template <class T>
T& widget(WindowView& view, std::string_view path) {
    auto* found = qobject_cast<T*>(view.widgetOf(path));
    if (!found) throw std::runtime_error("no widget " + std::string(path));
    return *found;
}

void click(WindowView& view, std::string_view path) {
    QTest::mouseClick(&widget<QAbstractButton>(view, path), Qt::LeftButton);
}

class QtPrintWindow : public print_window::test::PrintWindowTest {
protected:
    std::unique_ptr<QtOperator> qtOperator(const std::string& library) {
        return std::make_unique<QtOperator>(url(), tempPath(library));
    }
    // T_RPT_MODONE rows as "docname|name|flag|default".
    std::vector<std::string> templateRows() {
        std::vector<std::string> rows;
        sqlca.query("SELECT rtdocname, rtname, rtflag, rtdefault FROM T_RPT_MODONE ORDER BY rtname",
                    {}, [&](const std::vector<Value>& r) {
                        rows.push_back(r[0].toText() + "|" + r[1].toText() + "|" + r[2].toText() +
                                       "|" + r[3].toText());
                        return true;
                    });
        return rows;
    }
};

TEST_P(QtPrintWindow, ClicksTypingAndChecksOnTheWidgetsDoWhatTheyDoHeadless) {
    const char* const shown =
        "describe dw_preview st_repname.text st_repname.x DataWindow.Print.Orientation\n";
    auto& headless = addOperator("A");
    headless.create(headless.dw_detail, kGoodsReport);
    fillGoods(headless.dw_detail);
    const std::string expected = headless.run(
        [&] {
            headless.host.gnu_print.of_print(&headless.dw_detail, std::string("商品清单,月结"));
        },
        "click uob_preview\n"
        "click uob_save\n"
        "type sle_name monthly\n"
        "check cbx_priv off\n"
        "answer 1\n"
        "click uob_ok\n"
        "click uob_preview\n" +
            std::string(shown));
    std::vector<std::string> expectedBoxes;
    for (const std::string& box : headless.boxes())
        expectedBoxes.push_back(box.substr(0, box.find(" | ", box.find(" | ") + 3)));
    const auto headlessRows = templateRows();
    ASSERT_EQ(headlessRows, (std::vector<std::string>{"月结|monthly|1|N"}));
    ASSERT_GE(sqlca.execute("DELETE FROM T_RPT_MODONE"), 0);
    ASSERT_GE(sqlca.execute("DELETE FROM T_RPT_MODTWO"), 0);
    ASSERT_EQ(sqlca.commit(), 0);

    auto q = qtOperator("q.plib");
    std::string seen;
    q->saveDialog = [](platform::Window&, WindowView& view) {
        // The dialog waits for the operator: no wait cursor over it.
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        auto& name = widget<QLineEdit>(view, "sle_name");
        EXPECT_EQ(name.text(), "新的打印模板");
        EXPECT_EQ(name.maxLength(), 100);
        // The proposed name is selected in the edit that has the focus: typing replaces it.
        EXPECT_EQ(name.selectedText(), "新的打印模板");
        EXPECT_EQ(view.widget().focusWidget(), &name);
        QTest::keyClicks(&name, "monthly");
        auto& priv = widget<QCheckBox>(view, "cbx_priv");
        ASSERT_TRUE(priv.isChecked());
        QTest::mouseClick(&priv, Qt::LeftButton, {}, QPoint(8, priv.height() / 2));
        // The logic answered the click: the default box follows the public one.
        EXPECT_FALSE(widget<QCheckBox>(view, "cbx_default").isEnabled());
        // The name was never left: the click on OK commits it first.
        click(view, "uob_ok");
    };
    q->print([&](w_print& window, WindowView& view) {
        click(view, "uob_preview");
        click(view, "uob_save");
        click(view, "uob_preview");
        seen = window.dw_preview.Describe("st_repname.text") + "\n" +
               window.dw_preview.Describe("st_repname.x") + "\n" +
               window.dw_preview.Describe("DataWindow.Print.Orientation") + "\n.\n";
    });
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(templateRows(), headlessRows);
    EXPECT_EQ(q->boxes, expectedBoxes);
}

TEST_P(QtPrintWindow, KeysReachTheReportOnceAndArrowsStillWorkAfterAToolbarClick) {
    auto& headless = addOperator("A");
    headless.create(headless.dw_detail, kGoodsReport);
    fillGoods(headless.dw_detail);
    const std::string expected = headless.run(
        [&] {
            headless.host.gnu_print.of_print(&headless.dw_detail, std::string("商品清单,月结"));
        },
        "mouse down @st_coname\n"
        "mouse up @st_coname\n"
        "mouse down @st_address ctrl\n"
        "mouse up @st_address ctrl\n"
        "click pb_left\n"
        "key Right\n"
        "key Right\n"
        "describe dw_preview st_coname.x st_address.x\n"
        "key Z ctrl\n"
        "describe dw_preview st_coname.x st_address.x\n");

    auto q = qtOperator("q.plib");
    std::string seen;
    q->print([&](w_print& window, WindowView& view) {
        auto press = [&](const char* name, bool ctrl) {
            const auto placed = window.dw_preview.placedObject(name);
            ASSERT_TRUE(placed);
            const layout::PagePoint at{placed->box.x + placed->box.width / 2,
                                       placed->box.y + placed->box.height / 2};
            window.dw_preview.operatorMouse(platform::MouseAction::Down, at, ctrl);
            window.dw_preview.operatorMouse(platform::MouseAction::Up, at, ctrl);
        };
        press("st_coname", false);
        // Ctrl held on the real keyboard while the second object is clicked.
        QTest::keyPress(&view.widget(), Qt::Key_Control, Qt::ControlModifier);
        press("st_address", true);
        QTest::keyRelease(&view.widget(), Qt::Key_Control, Qt::ControlModifier);
        auto& left = widget<QToolButton>(view, "pb_left");
        // Tab reaches the toolbar; a click does not take the keys from the report.
        EXPECT_EQ(left.focusPolicy(), Qt::TabFocus);
        QTest::mouseClick(&left, Qt::LeftButton);
        EXPECT_EQ(window.focusedControl(), &window.dw_preview);
        QWidget& top = view.widget();
        QTest::keyClick(&top, Qt::Key_Right);
        QTest::keyClick(&top, Qt::Key_Right);
        const auto xs = [&] {
            return window.dw_preview.Describe("st_coname.x") + "\n" +
                   window.dw_preview.Describe("st_address.x") + "\n.\n";
        };
        seen = xs();
        // One press of Ctrl+Z is one step back, not two.
        QTest::keyClick(&top, Qt::Key_Z, Qt::ControlModifier);
        seen += xs();
    });
    EXPECT_EQ(seen, expected);
}

TEST_P(QtPrintWindow, WhatTheLogicDoesToAControlShowsOnItsWidget) {
    auto q = qtOperator("q.plib");
    q->print([&](w_print& window, WindowView& view) {
        auto& printButton = widget<QToolButton>(view, "uob_print");
        EXPECT_EQ(printButton.text(), "打 印");
        EXPECT_EQ(printButton.toolTip(), "打印输出");
        EXPECT_FALSE(printButton.icon().isNull());
        EXPECT_EQ(printButton.toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_EQ(widget<QToolButton>(view, "uo_undo").toolButtonStyle(), Qt::ToolButtonIconOnly);
        EXPECT_EQ(view.widget().windowTitle(), QString::fromStdString(window.title()));

        // Preview mode: the report shows, the list and the settings do not.
        QWidget& top = view.widget();
        EXPECT_TRUE(view.widgetOf("dw_preview")->isVisibleTo(&top));
        EXPECT_FALSE(view.widgetOf("tab_setup")->isVisibleTo(&top));
        auto& mode = widget<QToolButton>(view, "uob_preview");
        EXPECT_EQ(mode.text(), "设 置");
        QTest::mouseClick(&mode, Qt::LeftButton);
        EXPECT_EQ(window.is_mode, "P");
        EXPECT_EQ(mode.text(), "预 览");
        EXPECT_FALSE(view.widgetOf("dw_preview")->isVisibleTo(&top));
        EXPECT_TRUE(view.widgetOf("tab_setup")->isVisibleTo(&top));
        EXPECT_TRUE(view.widgetOf("dw_template")->isVisibleTo(&top));

        // Moved, re-texted, disabled by the logic.
        window.uob_exit.move(400, 20);
        EXPECT_EQ(widget<QToolButton>(view, "uob_exit").pos(),
                  QPoint(static_cast<int>(platform::unitsToPixelsX(400)), 5));
        window.uob_exit.of_settext("退 出");
        EXPECT_EQ(widget<QToolButton>(view, "uob_exit").text(), "退 出");
        window.uob_saveas.setEnabled(false);
        EXPECT_FALSE(view.widgetOf("uob_saveas")->isEnabled());

        // Tab pages: hidden and selected by the logic, chosen by the operator.
        auto& tabs = widget<QTabWidget>(view, "tab_setup");
        EXPECT_EQ(tabs.count(), 4);
        EXPECT_EQ(tabs.tabText(0), "打印设置");
        window.tabpage_text.hide();
        EXPECT_FALSE(tabs.isTabVisible(2));
        window.tab_setup.selectTab(2);
        EXPECT_EQ(tabs.currentIndex(), 1);
        tabs.setCurrentIndex(3);
        EXPECT_EQ(window.tab_setup.selectedTab(), 4);
        // A page the model refuses does not stay selected on screen.
        tabs.setCurrentIndex(2);
        EXPECT_EQ(window.tab_setup.selectedTab(), 4);
        EXPECT_EQ(tabs.currentIndex(), 3);

        // The view bar's rulers box reaches the report.
        QTest::mouseClick(&mode, Qt::LeftButton);
        auto& rulers = widget<QCheckBox>(view, "uo_option.cbx_rulers");
        ASSERT_TRUE(rulers.isChecked());
        QTest::mouseClick(&rulers, Qt::LeftButton, {}, QPoint(8, rulers.height() / 2));
        EXPECT_FALSE(window.uo_option.cbx_rulers.checked());
        EXPECT_FALSE(rulers.isChecked());
        EXPECT_EQ(window.dw_preview.Describe("DataWindow.Print.Preview.Rulers"), "no");
    });
}

TEST_P(QtPrintWindow, TheOperatorResizesPrintsAndClosesTheWindow) {
    auto q = qtOperator("q.plib");
    const std::string pdf = tempPath("printed.pdf");
    bool closed = false;
    q->print([&](w_print& window, WindowView& view) {
        QWidget& top = view.widget();
        top.resize(900, 640);
        EXPECT_EQ(window.width(), platform::pixelsToUnitsX(900));
        EXPECT_EQ(window.height(), platform::pixelsToUnitsY(640));
        // The window laid itself out again for the new size: the preview is as wide as the
        // work space less a border of 2 pixels and a margin of 10 units.
        EXPECT_EQ(window.dw_preview.width(),
                  platform::pixelsToUnitsX(900) - platform::pixelsToUnitsX(2) - 10);
        EXPECT_EQ(view.widgetOf("dw_preview")->width(),
                  static_cast<int>(platform::unitsToPixelsX(window.dw_preview.width())));

        ASSERT_EQ(window.dw_preview.Modify("DataWindow.Printer='" + pdf + "'"), "");
        click(view, "uob_print");
        EXPECT_TRUE(std::filesystem::exists(pdf));

        top.close();
        closed = !window.isOpen();
    });
    EXPECT_TRUE(closed);
    EXPECT_TRUE(q->boxes.empty());
    // Closing ran the window's close: the unsaved layout's library entry is gone.
    EXPECT_EQ(db::libraryDirectory(q->host.gnu_print.is_printlib), "");
}

TEST_P(QtPrintWindow, WhatTheOperatorDoesWhilePrintingIsDroppedNotDoneAfterwards) {
    auto q = qtOperator("q.plib");
    const std::string pdf = tempPath("printed.pdf");
    int prints = 0;
    q->services.onPrint = [&](const platform::PrintJob&, int result) { prints += result == 1; };
    bool openAfter = false;
    q->print([&](w_print& window, WindowView& view) {
        ASSERT_EQ(window.dw_preview.Modify("DataWindow.Printer='" + pdf + "'"), "");
        // A click on 关闭 and a second click on 打印 wait in the queue while the print runs.
        auto post = [](QWidget* widget) {
            const QPointF at = QRectF(widget->rect()).center();
            for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(
                    widget, new QMouseEvent(
                                type, at, widget->mapToGlobal(at), Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
        };
        post(view.widgetOf("uob_exit"));
        post(view.widgetOf("uob_print"));
        click(view, "uob_print");
        QCoreApplication::processEvents();
        openAfter = window.isOpen();
    });
    EXPECT_TRUE(openAfter);
    EXPECT_EQ(prints, 1);
    EXPECT_TRUE(std::filesystem::exists(pdf));
}

TEST_P(QtPrintWindow, EscClosesTheWindowAndTheCallReturns) {
    auto q = qtOperator("q.plib");
    bool closed = false;
    q->print([&](w_print& window, WindowView& view) {
        QTest::keyClick(&view.widget(), Qt::Key_Escape);
        closed = !window.isOpen();
    });
    EXPECT_TRUE(closed);
}

// The print window as operators see it, in both modes, against pictures taken when it was
// right. Everything on it is fixed but the print date, which the tolerance covers.
TEST_P(QtPrintWindow, ThePrintWindowLooksAsItDidInBothModes) {
    if (GetParam() != db::Backend::Sqlite) GTEST_SKIP() << "one back end draws the same window";
    auto q = qtOperator("shots.plib");
    q->print([&](w_print& window, WindowView& view) {
        view.widget().resize(1024, 700);
        view.refreshReports();
        QApplication::processEvents();
        // The designer's selection with its grips, made with the real mouse path.
        auto placed = window.dw_preview.placedObject("st_repname");
        ASSERT_TRUE(placed.has_value());
        const layout::PagePoint centre{placed->box.x + placed->box.width / 2,
                                       placed->box.y + placed->box.height / 2};
        window.dw_preview.operatorMouse(platform::MouseAction::Down, centre);
        window.dw_preview.operatorMouse(platform::MouseAction::Up, centre);
        view.refreshReports();
        QApplication::processEvents();
        EXPECT_TRUE(render::test::matchesBaseline(view.widget().grab().toImage(),
                                                  "print_window_preview", 0.01));
        click(view, "uob_preview");
        view.refreshReports();
        QApplication::processEvents();
        EXPECT_TRUE(render::test::matchesBaseline(view.widget().grab().toImage(),
                                                  "print_window_settings", 0.01));
    });
}

PRINT_DB_BACKENDS(QtPrintWindow);

}  // namespace
}  // namespace print::qt

