#include "qt/report_view.h"

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>

#include "engine/library.h"
#include "platform/units.h"
#include "platform/window.h"
#include "qt/form_editor.h"

namespace print::qt {
namespace {

using platform::DataWindowControl;
using platform::KeyCode;

// A list in pixels: about 42 rows a page, the page number in the footer, a moveable and
// resizeable title.
const char* const kList = R"srd(release 9;
datawindow(units=1 processing=0 print.preview=yes print.paper.size=9 print.margin.left=20 print.margin.right=20 print.margin.top=20 print.margin.bottom=20 )
header(height=40 )
summary(height=0 )
footer(height=30 )
detail(height=24 )
table(column=(type=long name=n dbname="n" ) column=(type=char(20) name=t dbname="t" ) )
text(band=header text="标题" x="10" y="5" height="30" width="200" moveable=1 resizeable=1 name=t_title )
column(band=detail id=1 x="10" y="2" height="20" width="80" name=n )
column(band=detail id=2 x="100" y="2" height="20" width="200" name=t )
compute(band=footer expression="'第' + page() + '页'" x="10" y="5" height="20" width="100" name=c_page )
)srd";

// One row with an edit, a spin edit mask, a check box, a code-table list and a protected column.
const char* const kForm = R"srd(release 9;
datawindow(units=1 processing=0 )
header(height=0 )
summary(height=0 )
footer(height=0 )
detail(height=200 )
table(column=(type=char(20) name=name dbname="name" ) column=(type=long name=qty dbname="qty" ) column=(type=char(1) name=flag dbname="flag" ) column=(type=char(2) name=kind dbname="kind" ) column=(type=char(10) name=note dbname="note" ) )
column(band=detail id=1 x="10" y="10" height="24" width="200" tabsequence=10 name=name edit.limit=20 )
column(band=detail id=2 x="10" y="40" height="24" width="100" tabsequence=20 name=qty editmask.mask="###" editmask.spin=yes editmask.spinrange="10~~100" )
column(band=detail id=3 x="10" y="70" height="24" width="100" tabsequence=30 name=flag checkbox.text="启用" checkbox.on="Y" checkbox.off="N" )
column(band=detail id=4 x="10" y="100" height="24" width="100" tabsequence=40 name=kind values="甲类	A/乙类	B/" ddlb.limit=0 )
column(band=detail id=5 x="10" y="130" height="24" width="100" tabsequence=50 protect="1" name=note )
)srd";

void create(DataWindowControl& dw, const char* syntax, long rows) {
    std::string error;
    ASSERT_EQ(dw.Create(syntax, error), 1) << error;
    for (long r = 1; r <= rows; ++r) {
        const long row = dw.InsertRow(0);
        dw.SetItem(row, 1, Value(static_cast<int64_t>(r)));
        dw.SetItem(row, 2, Value("行 " + std::to_string(r)));
    }
}

void fillForm(DataWindowControl& dw) {
    std::string error;
    ASSERT_EQ(dw.Create(kForm, error), 1) << error;
    const long row = dw.InsertRow(0);
    dw.SetItem(row, "name", Value("旧名"));
    dw.SetItem(row, "qty", Value(static_cast<int64_t>(20)));
    dw.SetItem(row, "flag", Value("N"));
    dw.SetItem(row, "kind", Value("A"));
    dw.SetItem(row, "note", Value("x"));
}

QImage shot(ReportView& view) {
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    view.paintView(painter);
    return image;
}

// Where object `name` of the shown page is on the viewport.
QPoint centreOf(ReportView& view, DataWindowControl& dw, const std::string& name) {
    auto placed = dw.placedObject(name);
    EXPECT_TRUE(placed) << name;
    if (!placed) return {};
    return view.viewportRect(layout::layoutOf(dw).currentPage(), placed->box).center().toPoint();
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

class KeyWindow : public platform::Window {
public:
    KeyWindow() : Window("w_keys") {}
    void key(KeyCode key, int flags) override { keys.push_back(platform::keyName(key)); }
    std::vector<std::string_view> keys;
};

TEST(PreviewView, ShowsTheEnginesPageAndScalesItWithTheZoom) {
    DataWindowControl dw(nullptr, "dw_list");
    create(dw, kList, 100);
    ASSERT_EQ(layout::layoutOf(dw).pageCount(), 3);
    ReportView view(dw);
    view.resize(1000, 800);
    ASSERT_TRUE(view.inPrintPreview());
    const QImage first = shot(view);
    // The page lies on a grey desk, centred while it is narrower than the view.
    EXPECT_EQ(first.pixelColor(5, 400), QColor(128, 128, 128));
    EXPECT_EQ(first.pixelColor(500, 400), QColor(Qt::white));

    dw.ScrollNextPage();
    view.refresh();
    ASSERT_EQ(layout::layoutOf(dw).currentPage(), 2);
    const QImage second = shot(view);
    EXPECT_NE(first, second);
    // Page 2 exactly as the painter draws it on its own at the same place.
    const layout::PageSetup setup = layout::layoutOf(dw).pageSetup();
    const QRectF paper = view.viewportRect(2, {0, 0, setup.paperWidth, setup.paperHeight});
    QImage expected(second.size(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::white);
    {
        QPainter painter(&expected);
        painter.setClipRect(paper);
        painter.translate(paper.topLeft());
        render::PagePainter(layout::layoutOf(dw).fontMetrics())
            .paint(painter, *layout::layoutOf(dw).displayList(2).value(), view.scale());
    }
    const QRect inside = paper.toAlignedRect().adjusted(1, 1, -1, -1) & second.rect();
    EXPECT_EQ(second.copy(inside), expected.copy(inside));

    // The zoom doubles the page and the room to scroll over it.
    const int range100 = view.horizontalScrollBar()->maximum();
    ASSERT_EQ(dw.Modify("DataWindow.Print.Preview.Zoom=200"), "");
    view.refresh();
    const QRectF zoomed = view.viewportRect(2, {0, 0, setup.paperWidth, setup.paperHeight});
    EXPECT_DOUBLE_EQ(zoomed.width(), 2 * paper.width());
    EXPECT_DOUBLE_EQ(zoomed.height(), 2 * paper.height());
    EXPECT_GT(view.horizontalScrollBar()->maximum(), range100);
    // Rulers take their strip of the viewport; the paper moves out from under them.
    ASSERT_EQ(dw.Modify("DataWindow.Print.Preview.Rulers=yes DataWindow.Print.Preview.Zoom=100"),
              "");
    view.refresh();
    const QRectF ruled = view.viewportRect(2, {0, 0, setup.paperWidth, setup.paperHeight});
    EXPECT_DOUBLE_EQ(ruled.top(), paper.top() + ReportView::kRuler);
    EXPECT_FALSE(view.pageHitAt(QPointF(5, 400)));
}

TEST(PreviewView, TheLongestPaperAtTheLargestZoomScrollsAndDrawsItsRulersQuickly) {
    DataWindowControl dw(nullptr, "dw_list");
    create(dw, kList, 3);
    ASSERT_EQ(dw.Modify("DataWindow.Print.Paper.Size=256 DataWindow.Print.CustomPage.Width=800 "
                        "DataWindow.Print.CustomPage.Length=1000000000 "
                        "DataWindow.Print.Preview.Zoom=1000 DataWindow.Print.Preview.Rulers=yes"),
              "");
    ReportView view(dw);
    view.resize(800, 600);
    QScrollBar* down = view.verticalScrollBar();
    EXPECT_GT(down->maximum(), 100000);
    down->setValue(down->maximum());
    // The rulers' ticks far down the page are found without counting the ones above.
    const QImage image = shot(view);
    EXPECT_EQ(image.pixelColor(ReportView::kRuler + 100, 300), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(240, 240, 240));
}

TEST(PreviewView, PageKeysTurnPagesOnlyWhenTheWindowLeavesThem) {
    KeyWindow window;
    DataWindowControl dw(&window, "dw_list");
    create(dw, kList, 100);
    ReportView view(dw);
    view.resize(1000, 800);

    QTest::keyClick(&view, Qt::Key_PageDown);
    EXPECT_EQ(layout::layoutOf(dw).currentPage(), 2);
    QTest::keyClick(&view, Qt::Key_PageDown);
    QTest::keyClick(&view, Qt::Key_PageDown);
    EXPECT_EQ(layout::layoutOf(dw).currentPage(), 3);
    QTest::keyClick(&view, Qt::Key_PageUp);
    EXPECT_EQ(layout::layoutOf(dw).currentPage(), 2);

    // A report event that turns the page itself: one key, one page.
    int events = 0;
    dw.onKeyDown = [&](int key, int flags) -> long {
        ++events;
        if (key == static_cast<int>(KeyCode::PageUp)) dw.ScrollPriorPage();
        EXPECT_EQ(flags, 0);
        return 0;
    };
    QTest::keyClick(&view, Qt::Key_PageUp);
    EXPECT_EQ(layout::layoutOf(dw).currentPage(), 1);
    EXPECT_EQ(events, 1);
    // Ctrl reaches the report as its flag; Esc is the window's, never the report's.
    dw.onKeyDown = [&](int key, int flags) -> long {
        // Ctrl goes down first, as a key of its own.
        if (key == static_cast<int>(KeyCode::Control)) return 0;
        ++events;
        EXPECT_EQ(key, static_cast<int>(KeyCode::Z));
        EXPECT_EQ(flags, platform::kKeyFlagCtrl);
        return 0;
    };
    QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(events, 2);
    EXPECT_EQ(window.keys, std::vector<std::string_view>{"Escape"});
    EXPECT_EQ(window.focusedControl(), &dw);
}

TEST(PreviewView, AMouseDragMovesTheObjectAsTheOperatorFunctionDoes) {
    for (int zoom : {100, 200}) {
        DataWindowControl dw(nullptr, "dw_list"), copy(nullptr, "dw_copy");
        create(dw, kList, 10);
        create(copy, kList, 10);
        for (DataWindowControl* c : {&dw, &copy})
            c->Modify("DataWindow.Print.Preview.Zoom=" + std::to_string(zoom));
        int moves = 0;
        dw.onMouseMove = [&](int, long, long) -> long { return ++moves, 0; };
        ReportView view(dw);
        view.resize(2400, 1600);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

        const QPoint start = centreOf(view, dw, "t_title");
        // Hovering shows what a press would do: move in the middle, resize at an edge.
        QTest::mouseMove(view.viewport(), start);
        EXPECT_EQ(view.viewport()->cursor().shape(), Qt::SizeAllCursor) << zoom;
        const QRectF box = view.viewportRect(1, dw.placedObject("t_title")->box);
        QTest::mouseMove(view.viewport(), QPoint(int(box.right()) - 1, start.y()));
        EXPECT_EQ(view.viewport()->cursor().shape(), Qt::SizeHorCursor) << zoom;

        const QPoint end = start + QPoint(90, 45);
        std::vector<layout::PagePoint> points;
        for (QPoint p : {start, start + QPoint(30, 15), end})
            points.push_back(view.pageHitAt(p)->point);
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, start);
        ASSERT_TRUE(layout::layoutOf(dw).drag()) << zoom;
        EXPECT_EQ(view.viewport()->cursor().shape(), Qt::SizeAllCursor);
        // Moves wait for the event loop and only the last one waiting is sent.
        QTest::mouseMove(view.viewport(), start + QPoint(10, 5));
        QTest::mouseMove(view.viewport(), start + QPoint(30, 15));
        QApplication::processEvents();
        EXPECT_EQ(moves, 1);
        EXPECT_NEAR(layout::layoutOf(dw).drag()->box.x - layout::layoutOf(dw).drag()->start.x,
                    points[1].x - points[0].x, 1e-9);
        QTest::mouseMove(view.viewport(), end);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, end);
        EXPECT_EQ(moves, 2);
        EXPECT_FALSE(layout::layoutOf(dw).drag());

        copy.operatorMouse(platform::MouseAction::Down, points[0]);
        copy.operatorMouse(platform::MouseAction::Move, points[1]);
        copy.operatorMouse(platform::MouseAction::Move, points[2]);
        copy.operatorMouse(platform::MouseAction::Up, points[2]);
        EXPECT_EQ(dw.syntax(), copy.syntax()) << zoom;
        // 90 pixels on the screen are 90 / zoom pixels of the report.
        EXPECT_EQ(dw.Describe("t_title.x"), std::to_string(10 + 9000 / zoom));
    }
}

TEST(PreviewView, ChangesMadeElsewhereAreDrawnOnceWithoutBeingAsked) {
    DataWindowControl dw(nullptr, "dw_list");
    create(dw, kList, 10);
    ReportView view(dw);
    view.resize(900, 700);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QTest::qWait(50);
    PaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    QTest::qWait(250);
    EXPECT_EQ(counter.paints, 0);
    ASSERT_EQ(dw.Modify("t_title.text='新标题' t_title.x=50"), "");
    QTest::qWait(250);
    EXPECT_EQ(counter.paints, 1);
    view.refresh();
    QTest::qWait(50);
    EXPECT_EQ(counter.paints, 1);
}

TEST(FormView, ClicksAndKeysWorkOnRowsAsTheOperatorsDo) {
    KeyWindow window;
    DataWindowControl dw(&window, "dw_list");
    create(dw, kList, 2000);
    ASSERT_EQ(dw.Modify("DataWindow.Print.Preview=no"), "");
    dw.move(100, 200);
    ReportView view(dw);
    view.resize(600, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_FALSE(view.inPrintPreview());
    std::vector<std::string> events;
    dw.onClickedAt = [&](long, long, long row, std::string_view dwo) -> long {
        events.push_back("clicked " + std::to_string(row) + " " + std::string(dwo));
        return 0;
    };
    dw.onDoubleClicked = [&](long, long, long row, std::string_view dwo) -> long {
        events.push_back("doubleclicked " + std::to_string(row) + " " + std::string(dwo));
        return 0;
    };
    dw.onRButtonDown = [&](long, long, long row, std::string_view dwo) -> long {
        events.push_back("rbuttondown " + std::to_string(row) + " " + std::string(dwo) +
                         " current " + std::to_string(dw.GetRow()));
        return 0;
    };

    // Page 1 is stacked without its margin: the header begins at the top of the viewport.
    auto rowCell = [&](long row) {
        auto list = layout::layoutOf(dw).displayList(layout::layoutOf(dw).pageOfRow(row));
        for (const auto& placed : list.value()->objects)
            if (placed.tag.object == "t" && placed.tag.row == row)
                return view.viewportRect(list.value()->page, placed.box);
        return QRectF();
    };
    const QRectF third = rowCell(3);
    EXPECT_NEAR(third.top(), (40 + 2 * 24 + 2) * 0.75 * 96 / 72, 1e-9);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, third.center().toPoint());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, third.center().toPoint());
    QTest::mouseClick(view.viewport(), Qt::RightButton, {}, rowCell(4).center().toPoint());
    EXPECT_EQ(events, (std::vector<std::string>{"clicked 3 t", "clicked 3 t", "doubleclicked 3 t",
                                                "rbuttondown 4 t current 4"}));
    // The pop-up menu's place: the control's place in the window plus the pointer's.
    const QPoint onView = view.viewport()->mapTo(&view, rowCell(4).center().toPoint());
    EXPECT_EQ(window.pointerX(), 100 + platform::pixelsToUnitsX(onView.x()));
    EXPECT_EQ(window.pointerY(), 200 + platform::pixelsToUnitsY(onView.y()));

    // A moveable object is dragged in a form as in a preview.
    const QPoint title = centreOf(view, dw, "t_title");
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, title);
    QTest::mouseMove(view.viewport(), title + QPoint(30, 0));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, title + QPoint(30, 0));
    EXPECT_EQ(dw.Describe("t_title.x"), "40");
    EXPECT_EQ(events.back(), "clicked 1 t_title");

    // Arrows the window leaves move the current row; a row out of sight is scrolled to.
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(dw.GetRow(), 5);
    dw.ScrollToRow(1500);
    view.refresh();
    const QRectF far = rowCell(1500);
    EXPECT_GE(far.top(), 0);
    EXPECT_LE(far.bottom(), view.viewport()->height());
    EXPECT_EQ(window.keys, std::vector<std::string_view>{});

    // The current row shows its focus indicator: none by default, a tinted band with FocusRect,
    // an arrow at its left edge with a picture.
    const QPoint inRow(far.right() + 40, static_cast<int>(far.center().y()));
    const QPoint atLeft(6, static_cast<int>(far.center().y()));
    EXPECT_EQ(shot(view).pixelColor(inRow), QColor(Qt::white));
    dw.SetRowFocusIndicator(engine::RowFocusIndicator::FocusRect);
    EXPECT_NE(shot(view).pixelColor(inRow), QColor(Qt::white));
    platform::Picture arrow(&window, "p_focus");
    dw.SetRowFocusIndicator(&arrow);
    const QImage withArrow = shot(view);
    EXPECT_NE(withArrow.pixelColor(atLeft), QColor(Qt::white));
    EXPECT_EQ(withArrow.pixelColor(inRow), QColor(Qt::white));
}

class FormEditors : public testing::Test {
protected:
    void SetUp() override {
        fillForm(dw);
        fillForm(copy);
        view = std::make_unique<ReportView>(dw);
        view->resize(500, 300);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    // Clicks the cell of `column`: its editor, or null when none opened.
    QWidget* edit(const std::string& column) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centreOf(*view, dw, column));
        QApplication::processEvents();
        return view->editor() ? view->editor()->widget() : nullptr;
    }
    // Selects the editor's text and types `text` over it, then presses Enter. QTest types
    // ASCII only; other characters come as the key events an input method sends.
    void retype(QWidget* widget, const QString& text) {
        QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
        for (QChar c : text) {
            if (c.unicode() < 128) {
                QTest::keyClick(widget, c.toLatin1());
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &press);
        }
        QTest::keyClick(widget, Qt::Key_Return);
    }
    std::string item(DataWindowControl& d, const char* column) {
        return d.GetItemString(1, column).value_or("(null)");
    }

    DataWindowControl dw{nullptr, "dw_form"};
    DataWindowControl copy{nullptr, "dw_copy"};
    std::unique_ptr<ReportView> view;
};

TEST_F(FormEditors, TypedValuesAreStoredAsTheOperatorFunctionStoresThem) {
    auto* line = qobject_cast<QLineEdit*>(edit("name"));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->text(), "旧名");
    EXPECT_TRUE(view->viewportRect(1, dw.placedObject("name")->box).intersects(line->geometry()));
    retype(line, "新名字 O'Brien");
    ASSERT_EQ(copy.operatorSetItem(1, "name", "新名字 O'Brien"), 1);
    EXPECT_EQ(item(dw, "name"), item(copy, "name"));

    // Tab goes on to the next column in tab order.
    QTest::keyClick(line, Qt::Key_Tab);
    QApplication::processEvents();
    ASSERT_TRUE(view->editor());
    EXPECT_EQ(view->editor()->object(), "qty");
    auto* spin = qobject_cast<QSpinBox*>(view->editor()->widget());
    ASSERT_TRUE(spin);
    EXPECT_EQ(spin->minimum(), 10);
    EXPECT_EQ(spin->maximum(), 100);
    retype(spin, "42");
    ASSERT_EQ(copy.operatorSetItem(1, "qty", "42"), 1);
    EXPECT_EQ(item(dw, "qty"), "42");

    auto* check = qobject_cast<QCheckBox*>(edit("flag"));
    ASSERT_TRUE(check);
    EXPECT_FALSE(check->isChecked());
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
    ASSERT_EQ(copy.operatorSetItem(1, "flag", "Y"), 1);
    EXPECT_EQ(item(dw, "flag"), "Y");

    auto* combo = qobject_cast<QComboBox*>(edit("kind"));
    ASSERT_TRUE(combo);
    EXPECT_FALSE(combo->isEditable());
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentText(), "甲类");
    QTest::keyClick(combo, Qt::Key_Down);
    ASSERT_EQ(copy.operatorSetItem(1, "kind", "乙类"), 1);
    EXPECT_EQ(item(dw, "kind"), "B");
    EXPECT_EQ(dw.syntax(), copy.syntax());

    // The window's logic moving to another cell takes the editor there.
    dw.SetColumn("name");
    view->refresh();
    ASSERT_TRUE(view->editor());
    EXPECT_EQ(view->editor()->object(), "name");
    EXPECT_TRUE(qobject_cast<QLineEdit*>(view->editor()->widget()));

    // A protected column takes no editor, and a click elsewhere closes the open one.
    EXPECT_EQ(edit("note"), nullptr);

    // An editor whose row or column goes away goes with it.
    ASSERT_TRUE(edit("name"));
    ASSERT_EQ(dw.Modify("destroy name"), "");
    view->refresh();
    EXPECT_EQ(view->editor(), nullptr);
    ASSERT_TRUE(edit("qty"));
    ASSERT_EQ(dw.DeleteRow(1), 1);
    view->refresh();
    EXPECT_EQ(view->editor(), nullptr);
}

TEST_F(FormEditors, RefusedValuesLeaveTheRowAsItWas) {
    std::vector<std::string> changes;
    dw.onItemChanged = [&](long row, std::string_view dwo, std::string_view data) -> long {
        changes.push_back(std::string(dwo) + "=" + std::string(data));
        return data == "坏" ? 1 : 0;
    };
    int keys = 0;
    dw.onKeyDown = [&](int, int) -> long { return ++keys, 0; };
    auto* line = qobject_cast<QLineEdit*>(edit("name"));
    ASSERT_TRUE(line);
    retype(line, "坏");
    EXPECT_EQ(item(dw, "name"), "旧名");
    EXPECT_EQ(changes, std::vector<std::string>{"name=坏"});
    // The editor stays with the refused text for the operator to mend. Esc gives up: the
    // stored value becomes the report's edit again, and nothing asks about "坏" later.
    ASSERT_TRUE(view->editor());
    EXPECT_EQ(line->text(), "坏");
    EXPECT_EQ(view->editor()->text(), "坏");
    QTest::keyClick(line, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(view->editor(), nullptr);
    EXPECT_EQ(item(dw, "name"), "旧名");
    EXPECT_EQ(changes, (std::vector<std::string>{"name=坏", "name=旧名"}));

    // Below the spin range: the spin box goes back to the stored value and stores nothing,
    // as the engine refuses the same text.
    auto* spin = qobject_cast<QSpinBox*>(edit("qty"));
    ASSERT_TRUE(spin);
    retype(spin, "5");
    EXPECT_EQ(item(dw, "qty"), "20");
    EXPECT_EQ(copy.operatorSetItem(1, "qty", "5"), -1);
    EXPECT_EQ(item(copy, "qty"), "20");
    EXPECT_EQ(changes.size(), 2u);
    // Enter, Esc and the typing were the editors' keys: the report's key event saw none.
    EXPECT_EQ(keys, 0);
}

TEST(DropDownEditor, ListsTheChildRowsAndStoresTheirDataColumn) {
    auto& search = engine::LibrarySearchList::application();
    const auto saved = search.libraries();
    auto library = std::make_shared<engine::MemoryLibrary>();
    library->put("d_dd_unit", R"srd(release 9;
datawindow(units=1 processing=0 )
detail(height=20 )
table(column=(type=char(4) name=code dbname="code" ) column=(type=char(20) name=name dbname="name" ) )
column(band=detail id=2 x="1" y="1" height="18" width="100" name=name )
data("01" "箱" "02" "瓶" )
)srd");
    search.setLibraries({library});
    const char* form = R"srd(release 9;
datawindow(units=1 processing=0 )
detail(height=60 )
table(column=(type=char(4) name=unit dbname="unit" ) )
column(band=detail id=1 x="10" y="10" height="24" width="120" tabsequence=10 name=unit dddw.name=d_dd_unit dddw.displaycolumn=name dddw.datacolumn=code )
)srd";
    DataWindowControl dw(nullptr, "dw_form"), copy(nullptr, "dw_copy");
    for (DataWindowControl* c : {&dw, &copy}) {
        std::string error;
        ASSERT_EQ(c->Create(form, error), 1) << error;
        c->InsertRow(0);
        c->SetItem(1, "unit", Value("01"));
    }
    {
        ReportView view(dw);
        view.resize(400, 200);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, centreOf(view, dw, "unit"));
        ASSERT_TRUE(view.editor());
        auto* combo = qobject_cast<QComboBox*>(view.editor()->widget());
        ASSERT_TRUE(combo);
        EXPECT_FALSE(combo->isEditable());
        ASSERT_EQ(combo->count(), 2);
        EXPECT_EQ(combo->currentText(), "箱");
        QTest::keyClick(combo, Qt::Key_Down);
        EXPECT_EQ(dw.GetItemString(1, "unit"), "02");
        EXPECT_EQ(dw.GetItemText(1, "unit"), "瓶");
    }
    EXPECT_EQ(copy.operatorSetItem(1, "unit", "瓶"), 1);
    EXPECT_EQ(dw.syntax(), copy.syntax());
    search.setLibraries(saved);
}

TEST(KeyMapping, QtKeysBecomeThePlatformsKeys) {
    EXPECT_EQ(keyCodeFromQt(Qt::Key_Z), KeyCode::Z);
    EXPECT_EQ(keyCodeFromQt(Qt::Key_7), KeyCode::Num7);
    EXPECT_EQ(keyCodeFromQt(Qt::Key_F12), KeyCode::F12);
    EXPECT_EQ(keyCodeFromQt(Qt::Key_Enter), KeyCode::Enter);
    EXPECT_EQ(keyCodeFromQt(Qt::Key_Backtab), KeyCode::Tab);
    EXPECT_EQ(keyCodeFromQt(Qt::Key_Menu), KeyCode::None);
    EXPECT_EQ(keyFlagsFromQt(Qt::ShiftModifier | Qt::ControlModifier),
              platform::kKeyFlagShift | platform::kKeyFlagCtrl);
    EXPECT_EQ(keyFlagsFromQt(Qt::AltModifier), 0);
}

}  // namespace
}  // namespace print::qt
