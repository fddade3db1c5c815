#include "designer/layout_designer.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "layout/report_layout.h"
#include "platform/headless_services.h"
#include "platform/window.h"

namespace print::designer {
namespace {

using platform::KeyCode;

const char* const kReport = R"srd(release 9;
datawindow(units=3 processing=0 )
header(height=3000 )
detail(height=500 )
table(column=(type=char(10) name=a dbname="a" ) )
data("1" )
text(band=header text="甲" x="100" y="100" height="400" width="1000" name=t_a )
text(band=header text="乙" x="2000" y="200" height="300" width="1500" name=t_b )
rectangle(band=header x="300" y="600" height="1000" width="4000" brush.hatch="6" brush.color="12632256" name=r_back )
text(band=header text="丙" x="5000" y="1000" height="50" width="800" name=t_c )
line(band=header x1="100" y1="2000" x2="9000" y2="2100" name=l_1 )
text(band=header text="丁" x="1" y="1" height="40" width="27" name=t_d )
compute(band=header expression="1" x="0	if(1=1, 10, 20)" y="2500" height="100" width="100" name=c_expr )
)srd";

class TestDesigner : public platform::Window, public LayoutDesigner {
public:
    explicit TestDesigner(const char* report = kReport)
        : Window("w_test"), LayoutDesigner(dw_preview) {
        std::string error;
        EXPECT_EQ(dw_preview.Create(report, error), 1) << error;
        setServices(services);
        dw_preview.onKeyDown = [this](int key, int flags) -> long {
            return ue_keydown(key, flags);
        };
        dw_preview.onLButtonDown = [this](int flags, long x, long y) -> long {
            return ue_lbuttondown(flags, x, y);
        };
        dw_preview.onLButtonUp = [this](int flags, long x, long y) -> long {
            return ue_lbuttonup(flags, x, y);
        };
    }
    platform::HeadlessServices services;
    platform::DataWindowControl dw_preview{this, "dw_preview"};
    std::string mode = "V";
    std::string pointer;
    bool engineHits = false;  // the object under the pointer as the engine's hit testing says

    // A click on `object` (plain or with Ctrl).
    void click(const std::string& object, bool ctrl = false) {
        pointer = object.empty() ? "" : object + "\t1";
        services.setKeyDown(KeyCode::Control, ctrl);
        ue_lbuttondown(ctrl ? 9 : 1, 0, 0);
        ue_lbuttonup(0, 0, 0);
        services.setKeyDown(KeyCode::Control, false);
    }
    void key(KeyCode k, int flags = 0) {
        services.setKeyDown(k, true);
        ue_keydown(static_cast<int>(k), flags);
        services.setKeyDown(k, false);
    }
    std::string d(const std::string& items) { return dw_preview.Describe(items); }
    std::vector<std::string> selection() const {
        std::vector<std::string> out;
        for (const auto& s : is_select)
            if (!s.empty()) out.push_back(s);
        return out;
    }
    std::vector<std::string> markers() {
        std::vector<std::string> out;
        for (const auto& name : split(d("DataWindow.Objects"), '\t'))
            if (istartsWith(name, "bw__")) out.push_back(name);
        return out;
    }

protected:
    bool designerActive() const override { return mode == "V"; }
    platform::Services& designerServices() const override {
        return const_cast<platform::HeadlessServices&>(services);
    }
    std::string objectUnderPointer() const override {
        return engineHits ? dw_preview.GetObjectAtPointer() : pointer;
    }
};

TEST(Selection, GripsFramesAndColoursFollowTheSelectionOrder) {
    TestDesigner w;
    w.click("t_a");
    w.click("t_b", true);
    w.click("t_c", true);
    EXPECT_EQ(w.selection(), (std::vector<std::string>{"t_a", "t_b", "t_c"}));
    EXPECT_EQ(w.d("bw__dot_t_c_1.background.color bw__dot_t_b_4.background.color "
                  "bw__dot_t_a_2.background.color"),
              "255\n0\n0");
    EXPECT_EQ(w.d("bw__dot_t_a_1.x bw__dot_t_a_1.y bw__dot_t_a_2.x bw__dot_t_a_3.y "
                  "bw__dot_t_a_4.x bw__dot_t_a_4.y bw__dot_t_a_1.width bw__dot_t_a_1.height"),
              "10\n10\n1080\n480\n1080\n480\n104\n104");
    EXPECT_EQ(w.d("bw__dot_t_a_5.x bw__dot_t_a_5.y bw__dot_t_a_5.width bw__dot_t_a_5.height "
                  "bw__dot_t_a_5.pen.color bw__dot_t_a_5.pen.style bw__dot_t_a_5.brush.hatch"),
              "70\n70\n1020\n460\n65280\n2\n7");
    // Deselecting the primary gives the red to the nearest one below it.
    EXPECT_EQ(w.wf_is_select("t_c"), 1);
    EXPECT_EQ(w.d("bw__dot_t_b_1.background.color bw__dot_t_c_1.x"), "255\n!");
    EXPECT_EQ(w.wf_is_select("t_c"), -1);
    w.wf_redrawfocus();
    EXPECT_EQ(w.is_select, (std::vector<std::string>{"t_a", "t_b"}));
    w.wf_clearselect();
    EXPECT_EQ(w.wf_is_select("t_a"), 0);
    EXPECT_TRUE(w.markers().empty());
}

TEST(Selection, NothingForTheBackgroundAnUnknownObjectOrOneShownAlready) {
    TestDesigner w;
    const std::string before = w.d("DataWindow.Syntax");
    w.wf_drawfocus(w.dw_preview, "header", "datawindow", true);
    w.wf_drawfocus(w.dw_preview, "header", "", true);
    w.wf_drawfocus(w.dw_preview, "header", "nosuch", true);
    EXPECT_EQ(w.d("DataWindow.Syntax"), before);
    w.click("t_a");
    w.click("t_b", true);
    // Drawing t_a again changes nothing, not even colours.
    w.wf_drawfocus(w.dw_preview, "header", "t_a", true);
    EXPECT_EQ(w.d("bw__dot_t_a_1.background.color bw__dot_t_b_1.background.color"), "0\n255");
}

TEST(Selection, ALineIsFramedByItsEndPointsAndSelectingNeverReordersObjects) {
    TestDesigner w;
    w.click("l_1");
    EXPECT_EQ(w.d("bw__dot_l_1_1.x bw__dot_l_1_1.y bw__dot_l_1_2.x bw__dot_l_1_3.x "
                  "bw__dot_l_1_3.y bw__dot_l_1_4.x"),
              "40\n1940\n100\n8940\n2060\n9000");
    EXPECT_EQ(w.d("bw__dot_l_1_5.x bw__dot_l_1_5.y bw__dot_l_1_5.width bw__dot_l_1_5.height"),
              "90\n1990\n8920\n120");
    // The opaque background rectangle stays behind the texts when it is selected.
    auto order = [&] {
        std::vector<std::string> own;
        for (const auto& name : split(w.d("DataWindow.Objects"), '\t'))
            if (!istartsWith(name, "bw__")) own.push_back(name);
        return own;
    };
    const auto before = order();
    w.click("r_back");
    w.wf_redrawfocus();
    EXPECT_EQ(order(), before);
}

TEST(Mouse, TheClickTable) {
    TestDesigner w;
    w.click("t_a");
    w.click("t_a");
    EXPECT_EQ(w.selection(), std::vector<std::string>{"t_a"});
    w.click("t_b", true);
    w.click("t_a", true);
    EXPECT_EQ(w.selection(), std::vector<std::string>{"t_b"});
    w.click("bw__dot_t_b_5");
    EXPECT_TRUE(w.selection().empty());
    w.click("t_a");
    w.click("", true);
    EXPECT_TRUE(w.selection().empty());
    EXPECT_TRUE(w.markers().empty());
}

TEST(Mouse, EveryDragTheEngineMakesIsOneStep) {
    TestDesigner w;
    w.pointer = "t_a\t1";
    w.ue_lbuttondown(1, 0, 0);
    w.dw_preview.Modify("t_a.x=700 t_a.width=1200");  // the engine drags and resizes
    w.ue_lbuttonup(0, 0, 0);
    ASSERT_EQ(w.il_syntaxupper, 1);
    EXPECT_EQ(w.is_syntaxmodify[0], "t_a.X=100 t_a.Y=100 t_a.Width=1000 t_a.Height=400");
    EXPECT_EQ(w.is_redosyntaxmodify[0], "t_a.X=700 t_a.Y=100 t_a.Width=1200 t_a.Height=400");
    EXPECT_EQ(w.d("bw__dot_t_a_1.x"), "610");  // markers followed
    // A click without a drag records nothing.
    w.click("t_a");
    EXPECT_EQ(w.il_syntaxupper, 1);
    // A drag with two objects selected, and a drag of a line, are recorded too.
    w.services.setKeyDown(KeyCode::Control, true);
    w.pointer = "l_1\t1";
    w.ue_lbuttondown(9, 0, 0);
    w.services.setKeyDown(KeyCode::Control, false);
    w.dw_preview.Modify("l_1.x1=200 l_1.x2=9100");
    w.ue_lbuttonup(0, 0, 0);
    ASSERT_EQ(w.il_syntaxupper, 2);
    EXPECT_EQ(w.is_syntaxmodify[1], "l_1.X1=100 l_1.Y1=2000 l_1.X2=9000 l_1.Y2=2100");
    w.ue_align("undo");
    EXPECT_EQ(w.d("l_1.x1 l_1.x2"), "100\n9000");
    w.ue_align("undo");
    EXPECT_EQ(w.d("t_a.x t_a.width"), "100\n1000");
}

TEST(Keys, ArrowsMoveAndResizeInOneStepEach) {
    TestDesigner w;
    w.click("t_a");
    w.click("t_b", true);
    w.key(KeyCode::Down);
    EXPECT_EQ(w.d("t_a.y t_b.y"), "126\n226");
    ASSERT_EQ(w.il_syntaxupper, 1);
    EXPECT_EQ(w.is_syntaxmodify[0], "  t_a.y = 100  t_b.y = 200");
    EXPECT_EQ(w.is_redosyntaxmodify[0], "  t_a.y = 126  t_b.y = 226");
    w.ue_align("undo");
    EXPECT_EQ(w.d("t_a.y t_b.y"), "100\n200");

    // Shift with the right arrow on a line changes only its end.
    w.click("l_1");
    w.key(KeyCode::Right, platform::kKeyFlagShift);
    EXPECT_EQ(w.d("l_1.x1 l_1.x2"), "100\n9026");

    // A size never shrinks below one unit: 50 becomes 24, 24 stays, 27 wide becomes 1.
    w.click("t_c");
    w.key(KeyCode::Up, platform::kKeyFlagShift);
    EXPECT_EQ(w.d("t_c.height"), "24");
    const long steps = w.il_syntaxupper;
    w.key(KeyCode::Up, platform::kKeyFlagShift);
    EXPECT_EQ(w.d("t_c.height"), "24");
    EXPECT_EQ(w.il_syntaxupper, steps);
    w.click("t_d");
    w.key(KeyCode::Left, platform::kKeyFlagShift);
    EXPECT_EQ(w.d("t_d.width"), "1");

    // Positions beyond 16 bits (A3 landscape is 42000 wide) move as they are.
    w.dw_preview.Modify("t_b.x=33000");
    w.click("t_b");
    w.key(KeyCode::Right);
    EXPECT_EQ(w.d("t_b.x"), "33026");
    EXPECT_EQ(w.is_syntaxmodify[static_cast<size_t>(w.il_syntaxupper) - 1], "  t_b.x = 33000");

    // An object placed by an expression is not moved by keys.
    w.click("c_expr");
    const long before = w.il_syntaxupper;
    w.key(KeyCode::Right);
    EXPECT_EQ(w.il_syntaxupper, before);
}

TEST(History, UndoRedoAndANewStepEndingTheRedoBranch) {
    TestDesigner w;
    w.click("t_a");
    for (int i = 0; i < 3; ++i) w.key(KeyCode::Right);
    EXPECT_EQ(w.d("t_a.x"), "178");
    w.ue_align("undo");
    w.ue_align("undo");
    EXPECT_EQ(w.d("t_a.x"), "126");
    w.ue_align("redo");
    EXPECT_EQ(w.d("t_a.x"), "152");
    w.ue_align("undo");
    w.key(KeyCode::Down);  // a new step: the undone ones are gone for redo
    w.ue_align("redo");
    EXPECT_EQ(w.d("t_a.x t_a.y"), "126\n126");
    w.ue_align("undo");
    w.ue_align("undo");
    w.ue_align("undo");
    EXPECT_EQ(w.d("t_a.x t_a.y"), "100\n100");
    // Undo with nothing left clears the selection; redo goes forward again.
    w.ue_align("undo");
    EXPECT_TRUE(w.selection().empty());
    w.ue_align("redo");
    EXPECT_EQ(w.d("t_a.x"), "126");
    // In settings mode nothing runs.
    w.mode = "P";
    w.ue_align("undo");
    EXPECT_EQ(w.d("t_a.x"), "126");
}

TEST(Commands, AlignAndSizeWithThePrimaryObject) {
    TestDesigner w;
    w.click("t_a");
    w.click("t_b", true);
    w.click("t_c", true);
    w.ue_align("left");
    EXPECT_EQ(w.d("t_a.x t_b.x"), "5000\n5000");
    EXPECT_EQ(w.is_redosyntaxmodify[0], "t_b.x=5000  t_a.x=5000  ");
    EXPECT_EQ(w.is_syntaxmodify[0], "t_b.x=2000  t_a.x=100  ");
    w.ue_align("bottom");  // the reference ends at 1050
    EXPECT_EQ(w.d("t_a.y t_b.y"), "650\n750");
    w.ue_align("same");
    EXPECT_EQ(w.is_redosyntaxmodify[2],
              "t_b.width=800  t_a.width=800  t_b.height=50  t_a.height=50  ");
    w.ue_align("undo");
    w.ue_align("undo");
    w.ue_align("undo");
    EXPECT_EQ(w.d("t_a.x t_a.y t_b.x t_b.y"), "100\n100\n2000\n200");
    // One object alone: nothing to do, nothing recorded.
    w.click("t_a");
    w.ue_align("top");
    EXPECT_EQ(w.il_syntaxupper, 0);
}

TEST(Commands, LinesAreLeftOutAndNothingButNumbersIsWritten) {
    TestDesigner w;
    w.click("t_a");
    w.click("l_1", true);
    w.click("c_expr", true);
    w.click("t_b", true);
    w.ue_align("top");
    EXPECT_EQ(w.is_redosyntaxmodify[0], "c_expr.y=200  t_a.y=200  ");  // the line is skipped
    EXPECT_EQ(w.d("l_1.y1 c_expr.y"), "2000\n200");
    // An x given by an expression is not overwritten with a number.
    w.ue_align("left");
    EXPECT_EQ(w.is_redosyntaxmodify[1], "t_a.x=2000  ");
    EXPECT_EQ(w.d("c_expr.x"), "\"0\tif(1=1, 10, 20)\"");
    // A line as the reference: nothing happens.
    w.click("t_a");
    w.click("l_1", true);
    const long steps = w.il_syntaxupper;
    w.ue_align("left");
    w.ue_align("width");
    EXPECT_EQ(w.il_syntaxupper, steps);
    EXPECT_EQ(w.d("t_a.x t_a.width"), "2000\n1000");
}

TEST(Commands, SpacingKeepsTheGapOfTheFirstTwoInSelectionOrder) {
    TestDesigner w;
    w.dw_preview.Modify(
        "t_a.x=0 t_a.width=500 t_b.x=600 t_b.width=100 t_c.x=50 t_c.width=300 "
        "t_d.x=4000");
    w.click("t_a");
    w.click("t_b", true);
    w.click("l_1", true);
    w.click("t_c", true);
    w.click("t_d", true);
    w.ue_align("hevenly");
    EXPECT_EQ(w.d("t_c.x t_d.x l_1.x1"), "800\n1200\n100");
    w.ue_align("undo");
    EXPECT_EQ(w.d("t_c.x t_d.x"), "50\n4000");
    // Two objects define a gap and nothing more.
    w.click("t_a");
    w.click("t_b", true);
    w.ue_align("vevenly");
    EXPECT_EQ(w.il_syntaxupper, 0);
}

TEST(Commands, FrontAndBackAreNotRecordedAndTheMarkersStayOnTop) {
    TestDesigner w;
    w.click("r_back");
    w.ue_align("front");
    auto objects = split(w.d("DataWindow.Objects"), '\t');
    EXPECT_TRUE(istartsWith(objects.back(), "bw__dot_r_back_"));
    std::vector<std::string> own;
    for (const auto& o : objects)
        if (!istartsWith(o, "bw__")) own.push_back(o);
    EXPECT_EQ(own.back(), "r_back");
    EXPECT_EQ(w.il_syntaxupper, 0);
    w.ue_align("back");
    objects = split(w.d("DataWindow.Objects"), '\t');
    EXPECT_EQ(objects.front(), "bw__dot_r_back_5");
    EXPECT_EQ(objects[1], "r_back");
}

TEST(Keys, CtrlZReachesOneHandlerAndUndoesOneStep) {
    TestDesigner w;
    w.click("t_a");
    w.key(KeyCode::Right);
    w.key(KeyCode::Right);
    w.setFocus(&w.dw_preview);
    w.services.setKeyDown(KeyCode::Z, true);
    w.pressKey(KeyCode::Z, platform::kKeyFlagCtrl);
    w.services.setKeyDown(KeyCode::Z, false);
    EXPECT_EQ(w.il_syntaxupper, 1);
    // Z alone does nothing.
    w.pressKey(KeyCode::Z, 0);
    EXPECT_EQ(w.il_syntaxupper, 1);
}

// Texts the engine moves and resizes, the second just below the first, and one far above the
// paper (A4, half-centimetre margins).
const char* const kDraggable = R"srd(release 9;
datawindow(units=3 processing=0 print.margin.left=500 print.margin.top=500 print.margin.right=500 print.margin.bottom=500 )
header(height=4000 )
detail(height=500 )
table(column=(type=char(10) name=a dbname="a" ) )
data("1" )
text(band=header text="甲" x="200" y="200" height="400" width="6166" resizeable=1 moveable=1 name=t_a )
text(band=header text="乙" x="200" y="650" height="380" width="6166" resizeable=1 moveable=1 name=t_b )
text(band=header text="丙" x="200" y="-3850" height="400" width="3000" resizeable=1 moveable=1 name=t_far )
)srd";

// The operator's mouse on the preview, the designer answering the engine's hit testing.
class Operator {
public:
    TestDesigner w{kDraggable};
    Operator() { w.engineHits = true; }

    // The point `dx`, `dy` report units from the top-left corner of where `object` is shown.
    layout::PagePoint at(const std::string& object, double dx, double dy) {
        auto placed = w.dw_preview.placedObject(object);
        EXPECT_TRUE(placed) << object;
        if (!placed) return {};
        const layout::PagePoint offset = layout::layoutOf(w.dw_preview).pointInUnits(dx, dy);
        return {placed->box.x + offset.x, placed->box.y + offset.y};
    }
    void mouse(platform::MouseAction action, layout::PagePoint point, bool ctrl = false) {
        w.services.setKeyDown(KeyCode::Control, ctrl);
        w.dw_preview.operatorMouse(action, point, ctrl);
        w.services.setKeyDown(KeyCode::Control, false);
    }
    void drag(layout::PagePoint from, layout::PagePoint to, bool ctrl = false) {
        mouse(platform::MouseAction::Down, from, ctrl);
        mouse(platform::MouseAction::Move, to, ctrl);
        mouse(platform::MouseAction::Up, to, ctrl);
    }
    void click(const std::string& object, bool ctrl = false) {
        const layout::PagePoint centre = at(object, 1000, 200);
        drag(centre, centre, ctrl);
    }
};

TEST(Press, BesideAnObjectNothingIsTakenAndInsideAnEdgeItIsResized) {
    Operator o;
    TestDesigner& w = o.w;
    // Beside t_a, on no object: nothing is selected, dragged or recorded.
    o.drag(o.at("t_a", -50, 190), o.at("t_a", -1050, 190));
    EXPECT_EQ(w.d("t_a.x t_a.width"), "200\n6166");
    EXPECT_TRUE(w.selection().empty());
    // On the frame the selection draws around t_a: the selection goes, nothing moves.
    o.click("t_a");
    ASSERT_EQ(w.selection(), std::vector<std::string>{"t_a"});
    o.drag(o.at("t_a", -20, 190), o.at("t_a", -1020, 190));
    EXPECT_EQ(w.d("t_a.x t_a.width"), "200\n6166");
    EXPECT_TRUE(w.selection().empty());
    EXPECT_EQ(w.il_syntaxupper, 0);
    // Inside t_a, 26 units above its bottom edge: t_a grows downwards, not t_b 50 units below.
    o.drag(o.at("t_a", 3000, 374), o.at("t_a", 3000, 1374));
    EXPECT_EQ(w.d("t_a.y t_a.height t_b.y t_b.height"), "200\n1400\n650\n380");
    EXPECT_EQ(w.selection(), std::vector<std::string>{"t_a"});
    ASSERT_EQ(w.il_syntaxupper, 1);
    // Inside t_b's top edge it is t_b that is resized, from the top.
    o.drag(o.at("t_b", 3000, 10), o.at("t_b", 3000, -90));
    EXPECT_EQ(w.d("t_b.y t_b.height"), "550\n480");
    EXPECT_EQ(w.selection(), std::vector<std::string>{"t_b"});
    w.ue_align("undo");
    w.ue_align("undo");
    EXPECT_EQ(w.d("t_a.y t_a.height t_b.y t_b.height"), "200\n400\n650\n380");
}

TEST(Press, ACtrlPressThatDeselectsDragsNothing) {
    Operator o;
    TestDesigner& w = o.w;
    o.click("t_a");
    o.click("t_b", true);
    o.drag(o.at("t_a", 1000, 200), o.at("t_a", 3000, 2200), true);
    EXPECT_EQ(w.d("t_a.x t_a.y"), "200\n200");
    EXPECT_EQ(w.selection(), std::vector<std::string>{"t_b"});
    EXPECT_EQ(w.il_syntaxupper, 0);
    // A Ctrl-press that adds an object drags it, and the step is recorded.
    o.drag(o.at("t_a", 1000, 200), o.at("t_a", 1500, 200), true);
    EXPECT_EQ(w.d("t_a.x"), "700");
    EXPECT_EQ(w.selection(), (std::vector<std::string>{"t_b", "t_a"}));
    w.ue_align("undo");
    EXPECT_EQ(w.d("t_a.x"), "200");
}

TEST(Press, TheHistoryWaitsForTheButtonAndStepsTakenMeanwhileComeFirst) {
    Operator o;
    TestDesigner& w = o.w;
    o.click("t_a");
    w.key(KeyCode::Right);
    ASSERT_EQ(w.d("t_a.x"), "226");
    // Ctrl+Z, the undo and the redo button do nothing while the button is held.
    const layout::PagePoint release = o.at("t_a", 1500, 200);
    o.mouse(platform::MouseAction::Down, o.at("t_a", 1000, 200));
    w.setFocus(&w.dw_preview);
    w.services.setKeyDown(KeyCode::Z, true);
    w.pressKey(KeyCode::Z, platform::kKeyFlagCtrl);
    w.services.setKeyDown(KeyCode::Z, false);
    w.ue_align("undo");
    w.ue_align("redo");
    EXPECT_EQ(w.d("t_a.x"), "226");
    EXPECT_EQ(w.il_syntaxupper, 1);
    // An arrow key meanwhile is a step of its own, before the drag's.
    w.key(KeyCode::Down);
    o.mouse(platform::MouseAction::Up, release);
    EXPECT_EQ(w.d("t_a.x t_a.y"), "726\n226");
    ASSERT_EQ(w.il_syntaxupper, 3);
    const std::vector<std::string> states = {"200\n200", "226\n200", "226\n226", "726\n226"};
    for (long step = 3; step >= 0; --step) {
        EXPECT_EQ(w.d("t_a.x t_a.y"), states[static_cast<size_t>(step)]) << step;
        w.ue_align("undo");
    }
    for (long step = 1; step <= 3; ++step) {
        w.ue_align("redo");
        EXPECT_EQ(w.d("t_a.x t_a.y"), states[static_cast<size_t>(step)]) << step;
    }
    // A press on an object the engine does not drag holds the history as well.
    w.dw_preview.Modify("t_b.moveable=0 t_b.resizeable=0");
    o.mouse(platform::MouseAction::Down, o.at("t_b", 1000, 200));
    w.ue_align("undo");
    o.mouse(platform::MouseAction::Up, o.at("t_b", 1000, 200));
    EXPECT_EQ(w.d("t_a.x t_a.y"), "726\n226");
    EXPECT_EQ(w.il_syntaxupper, 3);
}

TEST(Press, AClickWithoutMovementChangesNothingEvenBeyondThePaper) {
    Operator o;
    TestDesigner& w = o.w;
    for (const auto& [dx, dy] : {std::pair{1500.0, 200.0}, {1500.0, 5.0}, {2995.0, 395.0}}) {
        const layout::PagePoint p = o.at("t_far", dx, dy);
        o.drag(p, p);
        EXPECT_EQ(w.d("t_far.x t_far.y t_far.width t_far.height"), "200\n-3850\n3000\n400")
            << dx << " " << dy;
    }
    EXPECT_EQ(w.il_syntaxupper, 0);
    // Moved onto the paper, it goes by as much as the pointer went from an inch beyond it.
    o.drag(o.at("t_far", 1500, 200), o.at("t_far", 1500, 4200));
    EXPECT_EQ(w.d("t_far.y"), "-460");
}

// The shown page after each nudge, with the selection's marks made again around the objects,
// is the page a fresh layout of the report gives.
TEST(Keys, TheShownPageAfterANudgeIsThePageLaidOutAfresh) {
    TestDesigner w;
    layout::ReportLayout& pages = layout::layoutOf(w.dw_preview);
    auto dump = [&] { return layout::dumpDisplayList(*pages.displayList(1).value()); };
    dump();
    w.click("t_a");
    w.click("l_1", true);
    const KeyCode keys[] = {KeyCode::Right, KeyCode::Down, KeyCode::Left, KeyCode::Up};
    for (KeyCode k : keys) {
        for (int flags : {0, platform::kKeyFlagShift}) {
            w.key(k, flags);
            const std::string shown = dump();
            pages.invalidate();
            EXPECT_EQ(shown, dump());
        }
    }
}

}  // namespace
}  // namespace print::designer
