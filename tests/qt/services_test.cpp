// The services on real Qt dialogs: message boxes, the pointer, the keyboard, menus, the file and
// font dialogs, printing into PDF files and the progress dialog.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "db_test_support.h"
#include "engine/datastore.h"
#include "layout/report_layout.h"
#include "platform/window.h"
#include "qt/control_widgets.h"
#include "qt/qt_services.h"
#include "render/page_output.h"
#include "render/report_print.h"
#include "support/pdf_pages.h"

namespace print::qt {
namespace {

using platform::Icon;
using platform::KeyCode;
using platform::MessageButtons;
using platform::Pointer;

// Answers the next dialogs from the event loop they run in, as an operator would.
void answerDialogs(QtServices& services, std::function<void(QWidget&)> answer) {
    services.onDialog = [answer](QWidget& dialog) {
        QPointer<QWidget> shown(&dialog);
        QTimer::singleShot(0, [shown, answer] {
            if (shown) answer(*shown);
        });
    };
}

struct ShownBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
};

// Shows one box, records what it showed and presses the button with the text `press` (or Esc).
int showBox(QtServices& services, ShownBox& shown, const QString& press, Icon icon,
            MessageButtons buttons, int defaultButton) {
    answerDialogs(services, [&shown, press](QWidget& dialog) {
        auto& box = static_cast<QMessageBox&>(dialog);
        shown.title = box.windowTitle();
        shown.text = box.text();
        shown.icon = box.icon();
        for (QAbstractButton* b : box.buttons()) shown.buttons << b->text();
        shown.buttons.sort();
        shown.defaultButton = box.defaultButton() ? box.defaultButton()->text() : QString();
        if (press.isEmpty()) {
            QTest::keyClick(&box, Qt::Key_Escape);
            return;
        }
        for (QAbstractButton* b : box.buttons())
            if (b->text() == press) QTest::mouseClick(b, Qt::LeftButton);
    });
    return services.messageBox("提示", "继续吗？", icon, buttons, defaultButton);
}

TEST(QtMessageBoxes, ShowTheIconAndButtonsAskedAndAnswerTheButtonsNumber) {
    QtServices services;
    ShownBox shown;
    EXPECT_EQ(showBox(services, shown, "取消", Icon::Question, MessageButtons::OkCancel, 1), 2);
    EXPECT_EQ(shown.title, "提示");
    EXPECT_EQ(shown.text, "继续吗？");
    EXPECT_EQ(shown.icon, QMessageBox::Question);
    EXPECT_EQ(shown.buttons, (QStringList{"取消", "确定"}));
    EXPECT_EQ(shown.defaultButton, "确定");

    shown = {};
    EXPECT_EQ(showBox(services, shown, "否", Icon::Exclamation, MessageButtons::YesNoCancel, 2), 2);
    EXPECT_EQ(shown.icon, QMessageBox::Warning);
    EXPECT_EQ(shown.buttons, (QStringList{"取消", "否", "是"}));
    EXPECT_EQ(shown.defaultButton, "否");

    shown = {};
    EXPECT_EQ(showBox(services, shown, "忽略", Icon::StopSign, MessageButtons::AbortRetryIgnore, 9),
              3);
    EXPECT_EQ(shown.icon, QMessageBox::Critical);
    // A default past the last button is the last one.
    EXPECT_EQ(shown.defaultButton, "忽略");

    shown = {};
    EXPECT_EQ(showBox(services, shown, "确定", Icon::Information, MessageButtons::Ok, 1), 1);
    EXPECT_EQ(shown.icon, QMessageBox::Information);
    EXPECT_EQ(shown.buttons, (QStringList{"确定"}));

    // Esc, or closing the box, is its last button: No on a Yes/No box.
    shown = {};
    EXPECT_EQ(showBox(services, shown, "", Icon::None, MessageButtons::YesNo, 1), 2);
    EXPECT_EQ(shown.icon, QMessageBox::NoIcon);
    shown = {};
    EXPECT_EQ(showBox(services, shown, "重试", Icon::None, MessageButtons::RetryCancel, 1), 1);
}

TEST(QtPointer, TheWaitCursorComesAndGoesAndTheGuardRestoresOnEveryWayOut) {
    QtServices services;
    EXPECT_EQ(services.setPointer(Pointer::HourGlass), Pointer::Arrow);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    {
        platform::PointerGuard cross(services, Pointer::Cross);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
        try {
            platform::PointerGuard inner(services, Pointer::SizeAll);
            throw std::runtime_error("failed");
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    // A question put to the operator in the middle of the work has the arrow, and the work
    // gets its pointer back afterwards.
    bool waitCursorOverBox = true;
    answerDialogs(services, [&](QWidget& dialog) {
        waitCursorOverBox = QApplication::overrideCursor() != nullptr;
        static_cast<QMessageBox&>(dialog).accept();
    });
    services.messageBox("提示", "继续吗？");
    EXPECT_FALSE(waitCursorOverBox);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(services.setPointer(Pointer::Arrow), Pointer::HourGlass);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // Arrow on arrow leaves no cursor behind to restore.
    EXPECT_EQ(services.setPointer(Pointer::Arrow), Pointer::Arrow);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtKeyboard, KeysAreDownWhileHeldAndTheScreenHasASize) {
    QtServices services;
    QWidget widget;
    widget.show();
    QTest::keyPress(&widget, Qt::Key_Z);
    EXPECT_TRUE(services.keyDown(KeyCode::Z));
    EXPECT_FALSE(services.keyDown(KeyCode::A));
    QTest::keyRelease(&widget, Qt::Key_Z);
    EXPECT_FALSE(services.keyDown(KeyCode::Z));
    QTest::keyPress(&widget, Qt::Key_Left);
    // A key whose release another application saw is not held for ever.
    QEvent deactivated(QEvent::WindowDeactivate);
    QApplication::sendEvent(&widget, &deactivated);
    EXPECT_FALSE(services.keyDown(KeyCode::Left));
    const platform::ScreenSize screen = services.screenSize();
    EXPECT_GT(screen.width, 0);
    EXPECT_GT(screen.height, 0);
}

class MenuTarget : public platform::Window {
public:
    MenuTarget() : Window("w_target") {}
    int triggerEvent(std::string_view event) override {
        triggered.emplace_back(event);
        return 1;
    }
    std::vector<std::string> triggered;
};

TEST(QtMenus, TheChosenItemTriggersItsEventAndHiddenOrDisabledItemsCannotBeChosen) {
    QtServices services;
    MenuTarget target;
    platform::m_template menu(&target);
    platform::Menu popup = menu.m_popup();
    popup.items[1].enabled = false;
    popup.items.push_back({"m_hidden", "隐藏", "ue_hidden", true, false, {}});
    QStringList shown;
    answerDialogs(services, [&shown](QWidget& dialog) {
        auto& qmenu = static_cast<QMenu&>(dialog);
        for (QAction* action : qmenu.actions())
            shown << action->text() + (action->isEnabled() ? "" : " (disabled)");
        QAction* first = qmenu.actions().front();
        QTest::mouseClick(&qmenu, Qt::LeftButton, {}, qmenu.actionGeometry(first).center());
    });
    services.popMenu(popup, target, 100, 100);
    EXPECT_EQ(shown, (QStringList{"调用模板", "删除模板 (disabled)"}));
    EXPECT_EQ(target.triggered, (std::vector<std::string>{"ue_loadtemplate"}));

    answerDialogs(services, [](QWidget& dialog) { static_cast<QMenu&>(dialog).close(); });
    services.popMenu(popup, target, 0, 0);
    EXPECT_EQ(target.triggered.size(), 1u);
}

TEST(QtFileDialog, TheChosenFilterGivesItsExtensionAndTheFolderComesBack) {
    db::test::TempDir dir;
    QtServices services;
    platform::FileSaveRequest request;
    request.title = "保存为文件";
    request.directory = dir.path("");
    request.fileName = "月报";
    request.filters = "文本文件,*.txt,CSV 文件,*.csv";
    request.firstFilter = 2;
    QString title, filter;
    answerDialogs(services, [&](QWidget& dialog) {
        auto& files = static_cast<QFileDialog&>(dialog);
        title = files.windowTitle();
        filter = files.selectedNameFilter();
        files.selectFile("月报");
        static_cast<QDialog&>(files).accept();
    });
    ASSERT_EQ(services.fileSaveDialog(request), 1);
    EXPECT_EQ(title, "保存为文件");
    EXPECT_EQ(filter, "CSV 文件 (*.csv)");
    EXPECT_EQ(std::filesystem::path(request.directory),
              std::filesystem::path(dir.path("")).parent_path());
    EXPECT_EQ(request.fileName, "月报.csv");

    // The overwrite question is asked about the file with its extension: "No" keeps the dialog
    // open, and the operator cancels it.
    std::ofstream(dir.path("月报.csv")) << "old";
    int asked = 0;
    services.onDialog = [&](QWidget& dialog) {
        QPointer<QWidget> shown(&dialog);
        QTimer::singleShot(0, [&, shown] {
            if (!shown) return;
            auto* files = qobject_cast<QFileDialog*>(shown.data());
            if (!files) return;
            QTimer::singleShot(0, [&] {
                for (QWidget* top : QApplication::topLevelWidgets()) {
                    auto* box = qobject_cast<QMessageBox*>(top);
                    if (!box || !box->isVisible()) continue;
                    ++asked;
                    box->button(QMessageBox::No)->click();
                }
                if (shown) static_cast<QFileDialog*>(shown.data())->reject();
            });
            files->selectFile("月报");
            static_cast<QDialog*>(files)->accept();
        });
    };
    EXPECT_EQ(services.fileSaveDialog(request), 0);
    EXPECT_EQ(asked, 1);

    answerDialogs(services, [](QWidget& dialog) { static_cast<QFileDialog&>(dialog).reject(); });
    EXPECT_EQ(services.fileSaveDialog(request), 0);
}

TEST(QtFontDialog, TheChosenFontComesBackAndACancelledColourKeepsTheOldOne) {
    QtServices services;
    // A face with a bold style of its own (fontconfig brings it), so the dialog can show bold.
    // Its upright style is called "Book": the dialog still opens on it, not on "Oblique".
    platform::FontChoice font{"DejaVu Sans", 10, 400, false, false, false, 0x0000FF};
    services.onDialog = [](QWidget& dialog) {
        QPointer<QWidget> shown(&dialog);
        QTimer::singleShot(0, [shown] {
            if (auto* fonts = qobject_cast<QFontDialog*>(shown.data())) {
                QFont chosen = fonts->currentFont();
                chosen.setPointSize(14);
                chosen.setUnderline(true);
                chosen.setStrikeOut(true);
                fonts->setCurrentFont(chosen);
                fonts->accept();
            } else if (auto* colors = qobject_cast<QColorDialog*>(shown.data())) {
                colors->reject();
            }
        });
    };
    ASSERT_EQ(services.fontDialog(font), 1);
    EXPECT_EQ(font.face, "DejaVu Sans");
    EXPECT_EQ(font.height, 14);
    EXPECT_EQ(font.weight, 400);
    EXPECT_TRUE(font.underline);
    EXPECT_TRUE(font.strikeout);
    EXPECT_FALSE(font.italic);
    EXPECT_EQ(font.color, 0x0000FF);

    services.onDialog = [](QWidget& dialog) {
        QPointer<QWidget> shown(&dialog);
        QTimer::singleShot(0, [shown] {
            if (auto* colors = qobject_cast<QColorDialog*>(shown.data())) {
                colors->setCurrentColor(QColor(0, 0, 255));
                colors->accept();
            } else if (auto* dialog = qobject_cast<QDialog*>(shown.data())) {
                dialog->accept();
            }
        });
    };
    ASSERT_EQ(services.fontDialog(font), 1);
    EXPECT_EQ(font.color, 0xFF0000);

    // A face drawn through a substitute keeps its name when the operator keeps the face; the
    // size changed in the dialog still comes back.
    platform::FontChoice song{"宋体", 9, 400, false, false, false, 0};
    services.onDialog = [](QWidget& dialog) {
        QPointer<QWidget> shown(&dialog);
        QTimer::singleShot(0, [shown] {
            if (auto* fonts = qobject_cast<QFontDialog*>(shown.data())) {
                QFont chosen = fonts->currentFont();
                chosen.setPointSize(16);
                fonts->setCurrentFont(chosen);
                fonts->accept();
            } else if (auto* dialog = qobject_cast<QDialog*>(shown.data())) {
                dialog->reject();
            }
        });
    };
    ASSERT_EQ(services.fontDialog(song), 1);
    EXPECT_EQ(song.face, "宋体");
    EXPECT_EQ(song.height, 16);
    EXPECT_FALSE(song.italic);

    answerDialogs(services, [](QWidget& dialog) { static_cast<QDialog&>(dialog).reject(); });
    const platform::FontChoice before = font;
    EXPECT_EQ(services.fontDialog(font), 0);
    EXPECT_EQ(font.height, before.height);
}

TEST(QtPrinterSetup, APdfFileStaysTheChosenPrinterAndCancelKeepsThePrinter) {
    db::test::TempDir dir;
    QtServices services;
    std::string printer = dir.path("setup.pdf");
    // The dialog only picks a printer: its confirm button says so, in Chinese as the rest.
    QString confirm, cancel;
    answerDialogs(services, [&](QWidget& dialog) {
        if (auto* box = dialog.findChild<QDialogButtonBox*>()) {
            confirm = box->button(QDialogButtonBox::Ok)->text();
            cancel = box->button(QDialogButtonBox::Cancel)->text();
        }
        static_cast<QDialog&>(dialog).accept();
    });
    ASSERT_EQ(services.printerSetup(printer), 1);
    EXPECT_EQ(confirm, QStringLiteral("确定"));
    EXPECT_EQ(cancel, QStringLiteral("取消"));
    // With a print system that has printers, Qt's dialog opens on one of them rather than on
    // the file; accepting it then chooses that printer.
    if (!std::getenv("CUPS_SERVER")) {
        EXPECT_EQ(printer, dir.path("setup.pdf"));
    }
    printer = dir.path("setup.pdf");

    answerDialogs(services, [](QWidget& dialog) { static_cast<QDialog&>(dialog).reject(); });
    EXPECT_EQ(services.printerSetup(printer), 0);
    EXPECT_EQ(printer, dir.path("setup.pdf"));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// What pdfinfo says of a PDF: its page count and the size of its first page ("595 x 842").
std::string pdfPages(const std::string& path) {
    std::string output;
    if (FILE* pipe = popen(("pdfinfo '" + path + "' 2>&1").c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
        pclose(pipe);
    }
    std::istringstream lines(output);
    std::string pages, size;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Pages:", 0) == 0) pages = line.substr(line.find_last_of(' ') + 1);
        if (line.rfind("Page size:", 0) == 0) {
            std::istringstream words(line.substr(10));
            double w = 0, h = 0;
            std::string x;
            words >> w >> x >> h;
            size = std::to_string(std::lround(w)) + " x " + std::to_string(std::lround(h));
        }
    }
    return pages + " pages, " + size;
}

class QtPrinting : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_EQ(report.Create(readFile(RENDER_DATA_DIR "/goods_list.srd"), error), 1) << error;
        ASSERT_EQ(layout::layoutOf(report).pageCount(), 5);
        services.onDialog = [this](QWidget& dialog) {
            boxes << static_cast<QMessageBox&>(dialog).text();
            QPointer<QWidget> shown(&dialog);
            QTimer::singleShot(0, [shown] {
                if (shown) static_cast<QMessageBox*>(shown.data())->accept();
            });
        };
    }
    int printTo(const std::string& printer, const std::string& more = {}) {
        EXPECT_EQ(report.Modify("DataWindow.Printer='" + printer + "' " + more), "");
        platform::PrintJob job;
        job.report = &report;
        job.documentName = "商品清单";
        return services.print(job);
    }

    engine::DataStore report;
    db::test::TempDir dir;
    QtServices services;
    QStringList boxes;
};

TEST_F(QtPrinting, APdfPrinterNameWritesEveryCopyOfTheSelectedPagesAtThePapersSize) {
    const std::string pdf = dir.path("goods.pdf");
    ASSERT_EQ(printTo(pdf), 1) << services.lastPrintError();
    EXPECT_EQ(pdfPages(pdf), "5 pages, 595 x 842");
    EXPECT_TRUE(boxes.isEmpty());

    ASSERT_EQ(printTo(pdf,
                      "DataWindow.Print.Page.Range='2-4' DataWindow.Print.Page.RangeInclude=1 "
                      "DataWindow.Print.Copies=2 DataWindow.Print.Orientation=1"),
              1)
        << services.lastPrintError();
    // Pages 3 (the only odd page of 2-4) twice, on landscape paper.
    EXPECT_EQ(pdfPages(pdf), "2 pages, 842 x 595");
    // No spool file is left beside it.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path("")))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(QtPrinting, ARealPrintQueuePrintsWhatTheComponentDraws) {
    const char* queue = std::getenv("PRINT_TEST_CUPS_PRINTER");
    const char* out = std::getenv("PRINT_TEST_CUPS_OUT");
    if (!queue || !out) GTEST_SKIP() << "no test print queue (scripts/with-test-cups.sh starts one)";
    print::test::PrintQueueLock lock(out);
    const std::set<std::string> before = print::test::pdfsIn(out);
    ASSERT_EQ(printTo(queue, "DataWindow.Print.Page.Range='2'"), 1) << services.lastPrintError();
    EXPECT_TRUE(boxes.isEmpty());
    const std::string sheet = print::test::waitForNewPdf(out, before);
    ASSERT_FALSE(sheet.empty()) << "the queue wrote no PDF";

    // The same page as the component draws it into a file.
    const std::string drawn = dir.path("drawn.pdf");
    ASSERT_TRUE(render::writePdf({2}, render::pagesOf(report), drawn, {},
                                 render::PagePainter(layout::layoutOf(report).fontMetrics()))
                    .ok());
    const auto expected = print::test::rasterizePdf(drawn, 100);
    const auto printed = print::test::rasterizePdf(sheet, 100);
    ASSERT_EQ(expected.size(), 1u);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_LT(print::test::sheetDifference(expected[0], printed[0]), 0.25);
}

TEST_F(QtPrinting, FailuresAreShownOnceAndLeaveAnEarlierFileAsItWas) {
    const std::string pdf = dir.path("goods.pdf");
    std::ofstream(pdf) << "earlier";
    EXPECT_EQ(printTo(pdf, "DataWindow.Print.Page.Range='7-9'"), -1);
    EXPECT_EQ(services.lastPrintError(), "页码范围“7-9”中没有可打印的页（报表共5页）");
    EXPECT_EQ(boxes, (QStringList{"打印失败：页码范围“7-9”中没有可打印的页（报表共5页）"}));
    EXPECT_EQ(readFile(pdf), "earlier");

    boxes.clear();
    EXPECT_EQ(printTo(dir.path("no/such/folder/x.pdf"), "DataWindow.Print.Page.Range=''"), -1);
    EXPECT_EQ(services.lastPrintError().rfind(
                  "不能写入文件" + dir.path("no/such/folder/x.pdf") + "：", 0),
              0u)
        << services.lastPrintError();
    EXPECT_EQ(boxes.size(), 1);

    boxes.clear();
    EXPECT_EQ(printTo("no such printer"), -1);
    EXPECT_EQ(services.lastPrintError(), "打印机“no such printer”不存在");
    EXPECT_EQ(boxes, (QStringList{"打印失败：打印机“no such printer”不存在"}));

    platform::PrintJob empty;
    EXPECT_EQ(services.print(empty), -1);
    EXPECT_EQ(services.lastPrintError(), "没有要打印的报表");
}

TEST(QtProgress, TheOperatorCancelsAndTheEndClosesTheDialog) {
    QtServices services;
    EXPECT_TRUE(services.progress("导出", 1, 10));
    QProgressDialog* shown = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QProgressDialog*>(top)) shown = dialog;
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->maximum(), 10);
    EXPECT_EQ(shown->value(), 1);
    EXPECT_TRUE(services.progress("导出", 10, 10));
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<QProgressDialog*>(top), nullptr);

    EXPECT_TRUE(services.progress("导出", 2, 10));
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QProgressDialog*>(top)) dialog->cancel();
    EXPECT_FALSE(services.progress("导出", 3, 10));
    // Totals past an int are shown in thousandths.
    EXPECT_TRUE(services.progress("导出", 3'000'000'000L, 6'000'000'000L));
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QProgressDialog*>(top)) EXPECT_EQ(dialog->value(), 500);
    EXPECT_TRUE(services.progress("导出", 0, 0));

    // Work that stopped without reporting its end: the dialog goes with the window it ran in.
    platform::Window window("w_export");
    services.modalInteraction = [&](platform::Window&, WindowView&) {
        EXPECT_TRUE(services.progress("导出", 1, 10));
    };
    EXPECT_EQ(services.openModal(window), 1);
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<QProgressDialog*>(top), nullptr);
}

}  // namespace
}  // namespace print::qt
