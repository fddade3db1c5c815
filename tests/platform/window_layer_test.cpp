#include <gtest/gtest.h>

#include "platform/datawindow_control.h"
#include "platform/headless_services.h"
#include "platform/units.h"
#include "platform/window.h"

namespace print::platform {
namespace {

class TestWindow : public w_center {
public:
    TestWindow() : w_center("w_test") {}
    u_button uob_ok{this, "uob_ok"};
    Tab tab_setup{this, "tab_setup"};
    TabPage tabpage_setup{&tab_setup, "tabpage_setup", "打印设置"};
    TabPage tabpage_page{&tab_setup, "tabpage_page", "页面内容"};
    DataWindowControl dw_set{&tabpage_setup, "dw_set"};
    UserObject uo_option{this, "uo_option"};
    DataWindowControl dw_zoom{&uo_option, "dw_zoom"};

    std::vector<std::string> events;
    void open() override { events.push_back("open"); }
    void ue_postopen() override { events.push_back("ue_postopen"); }
    void close() override { events.push_back("close"); }
    int triggerEvent(std::string_view event) override {
        if (event == "ue_loadtemplate" || event == "ue_deltemplate") {
            events.push_back(std::string(event));
            return 1;
        }
        return w_center::triggerEvent(event);
    }
};

TEST(Controls, DottedPathsFindControlsInsidePagesAndPanels) {
    TestWindow w;
    EXPECT_EQ(w.find("tabpage_setup.dw_set"), &w.dw_set);
    EXPECT_EQ(w.find("TAB_SETUP.tabpage_page"), &w.tabpage_page);
    EXPECT_EQ(w.find("uo_option.dw_zoom"), &w.dw_zoom);
    EXPECT_EQ(w.find("dw_zoom"), &w.dw_zoom);
    EXPECT_EQ(w.find("uo_option.dw_set"), nullptr);
    EXPECT_EQ(w.find("nosuch"), nullptr);
    EXPECT_EQ(w.find("uo_option."), nullptr);
    EXPECT_EQ(w.dw_set.window(), &w);

    // A page is shown only while it is the selected one; a hidden page cannot be selected.
    EXPECT_EQ(w.tab_setup.selectedTab(), 1);
    EXPECT_TRUE(w.dw_set.shown());
    EXPECT_EQ(w.tab_setup.selectTab(w.tabpage_page), 1);
    EXPECT_FALSE(w.dw_set.shown());
    w.tabpage_setup.hide();
    EXPECT_EQ(w.tab_setup.selectTab(1), -1);
    EXPECT_EQ(w.tab_setup.selectTab(3), -1);
}

TEST(Controls, ObserversHearEveryChangeOnce) {
    struct Recorder : ControlObserver {
        std::vector<ControlChange> changes;
        void controlChanged(Control&, ControlChange change) override { changes.push_back(change); }
    } recorder;
    TestWindow w;
    w.uob_ok.setObserver(&recorder);
    w.uob_ok.move(10, 20);
    w.uob_ok.move(10, 20);
    w.uob_ok.hide();
    w.uob_ok.of_settext("保 存");
    EXPECT_EQ(recorder.changes,
              (std::vector<ControlChange>{ControlChange::Geometry, ControlChange::Visible,
                                          ControlChange::Text}));
    EXPECT_EQ(w.uob_ok.is_text, "保 存");
}

TEST(Controls, TypedKeysReplaceTheSelectionOrGoInAtTheCaret) {
    struct Recorder : ControlObserver {
        std::vector<ControlChange> changes;
        void controlChanged(Control&, ControlChange change) override { changes.push_back(change); }
    } edit, window;
    TestWindow w;
    SingleLineEdit sle_name{&w, "sle_name"};
    int modified = 0;
    sle_name.onModified = [&] { ++modified; };
    sle_name.setText("新的打印模板");
    EXPECT_EQ(sle_name.selectionStart(), 6u);
    // Nothing selected: keys go in after the text, as an operator would see them appended.
    sle_name.typeKeys("A");
    EXPECT_EQ(sle_name.text(), "新的打印模板A");
    sle_name.selectAll();
    EXPECT_EQ(sle_name.selectedText(), "新的打印模板A");
    sle_name.typeKeys("月结");
    EXPECT_EQ(sle_name.text(), "月结");
    EXPECT_EQ(sle_name.selectionStart(), 2u);
    EXPECT_EQ(sle_name.selectionLength(), 0u);
    // Characters, not bytes; a selection beyond the text ends with it.
    sle_name.selectText(1, 99);
    EXPECT_EQ(sle_name.selectedText(), "结");
    sle_name.typeKeys("份模板");
    EXPECT_EQ(sle_name.text(), "月份模板");
    sle_name.selectText(0, 0);
    sle_name.typeKeys("三");
    EXPECT_EQ(sle_name.text(), "三月份模板");
    EXPECT_EQ(sle_name.selectionStart(), 1u);
    EXPECT_EQ(modified, 4);
    sle_name.limit = 4;
    sle_name.selectText(5, 0);
    sle_name.typeKeys("XY");
    EXPECT_EQ(sle_name.text(), "三月份模");
    EXPECT_EQ(sle_name.selectionStart(), 4u);

    // Selections and the window's focus are told to the front end.
    sle_name.setObserver(&edit);
    w.setObserver(&window);
    sle_name.selectAll();
    sle_name.selectAll();
    w.setFocus(&sle_name);
    w.setFocus(&sle_name);
    w.setFocus(&w.uob_ok);  // buttons never take the focus
    EXPECT_EQ(w.focusedControl(), &sle_name);
    EXPECT_EQ(edit.changes, std::vector<ControlChange>{ControlChange::Selection});
    EXPECT_EQ(window.changes, std::vector<ControlChange>{ControlChange::Focus});
    sle_name.setObserver(nullptr);
    w.setObserver(nullptr);
}

TEST(HeadlessServices, MessageBoxesAreRecordedAndAnsweredFromTheQueue) {
    HeadlessServices services;
    services.queueAnswer(2);
    EXPECT_EQ(services.messageBox("提示", "是否保存？", Icon::Question, MessageButtons::OkCancel),
              2);
    EXPECT_TRUE(services.errors().empty());

    // No answer queued: the box is an error that names it, answered with the last button.
    EXPECT_EQ(services.messageBox("提示", "删除模板？", Icon::Question, MessageButtons::YesNo), 2);
    ASSERT_EQ(services.errors().size(), 1u);
    EXPECT_EQ(services.errors()[0], "no answer queued for the message box \"提示 | 删除模板？\"");

    // A box with only OK has nothing to choose.
    EXPECT_EQ(services.messageBox("提示", "保存成功", Icon::None), 1);
    EXPECT_EQ(services.errors().size(), 1u);

    services.setUnansweredPolicy(UnansweredBox::LastButton);
    EXPECT_EQ(services.messageBox("错误", "a\nb", Icon::StopSign), 1);
    EXPECT_EQ(services.errors().size(), 1u);
    ASSERT_EQ(services.messageBoxes().size(), 4u);
    EXPECT_EQ(services.messageBoxes()[3].describe(), "错误 | a\\nb | StopSign! | OK! -> 1");
    EXPECT_TRUE(services.stopSignShown());

    // An answer beyond the buttons is taken as the last one.
    services.queueAnswer(7);
    EXPECT_EQ(services.messageBox("t", "x", Icon::None, MessageButtons::YesNoCancel), 3);
}

TEST(HeadlessServices, ModalWindowsRunTheirInteractionAndCloseOnce) {
    HeadlessServices services;
    TestWindow outer;
    TestWindow inner;
    services.modalInteraction = [&](Window& w) {
        if (&w == &outer) {
            EXPECT_EQ(services.openModal(inner), 1);
            EXPECT_EQ(services.openModal(outer), -1);  // already open
        } else {
            EXPECT_EQ(services.openWindows().size(), 2u);
            w.closeWindow();
            w.closeWindow();
        }
    };
    EXPECT_EQ(services.openModal(outer), 1);
    EXPECT_FALSE(outer.isOpen());
    EXPECT_EQ(outer.events, (std::vector<std::string>{"open", "ue_postopen", "close"}));
    EXPECT_EQ(inner.events, (std::vector<std::string>{"open", "ue_postopen", "close"}));
    EXPECT_TRUE(services.openWindows().empty());
}

TEST(HeadlessServices, PointerGuardRestoresOnEveryWayOut) {
    HeadlessServices services;
    auto work = [&](bool early) {
        PointerGuard guard(services, Pointer::HourGlass);
        EXPECT_EQ(services.pointer(), Pointer::HourGlass);
        if (early) return;
        throw std::runtime_error("failed");
    };
    work(true);
    EXPECT_EQ(services.pointer(), Pointer::Arrow);
    EXPECT_THROW(work(false), std::runtime_error);
    EXPECT_EQ(services.pointer(), Pointer::Arrow);
}

TEST(HeadlessServices, TemplateMenuTriggersTheWindowsEventsByName) {
    HeadlessServices services;
    TestWindow w;
    EXPECT_EQ(services.chooseMenuItem("m_load"), -1);
    m_template menu(&w);
    services.popMenu(menu.m_popup(), w, 0, 0);
    EXPECT_EQ(services.chooseMenuItem("m_delete"), 1);
    EXPECT_EQ(services.chooseMenuItem("m_load"), 1);
    EXPECT_EQ(services.chooseMenuItem("m_nosuch"), -1);
    EXPECT_EQ(w.events, (std::vector<std::string>{"ue_deltemplate", "ue_loadtemplate"}));
}

TEST(HeadlessServices, EscClosesOnlyWhenTheWindowAsksForIt) {
    HeadlessServices services;
    TestWindow w;
    services.modalInteraction = [&](Window& win) {
        win.pressKey(KeyCode::Escape, 0);
        EXPECT_TRUE(win.isOpen());
        static_cast<w_center&>(win).wf_setescexit(true);
        win.pressKey(KeyCode::Escape, 0);
        EXPECT_FALSE(win.isOpen());
    };
    services.openModal(w);
    EXPECT_EQ(w.events.back(), "close");
}

TEST(HeadlessServices, DialogsAnswerFromTheirQueuesAndRecordWhatWasAsked) {
    HeadlessServices services;
    FileSaveRequest request;
    request.title = "保存文件";
    request.fileName = "a.txt";
    services.queueFileName("/tmp/out/报表.csv");
    services.queueFileName("");
    EXPECT_EQ(services.fileSaveDialog(request), 1);
    EXPECT_EQ(request.directory, "/tmp/out");
    EXPECT_EQ(request.fileName, "报表.csv");
    EXPECT_EQ(services.fileSaveDialog(request), 0);
    EXPECT_EQ(services.fileSaveDialog(request), 0);  // nothing queued: cancelled, and an error
    EXPECT_EQ(services.errors().size(), 1u);

    FontChoice font;
    font.face = "宋体";
    services.queueFont(std::nullopt);
    EXPECT_EQ(services.fontDialog(font), 0);
    EXPECT_EQ(font.face, "宋体");
    services.queueFont(FontChoice{"黑体", 12, 700, true, false, false, 255});
    EXPECT_EQ(services.fontDialog(font), 1);
    EXPECT_EQ(font.face, "黑体");

    std::string printer;
    services.queuePrinter(std::string("PDF"));
    EXPECT_EQ(services.printerSetup(printer), 1);
    EXPECT_EQ(printer, "PDF");
}

TEST(Keys, NamesReadBackAsTheSameKey) {
    for (KeyCode key : {KeyCode::A, KeyCode::Z, KeyCode::Num5, KeyCode::Left, KeyCode::Delete,
                        KeyCode::Escape, KeyCode::F12, KeyCode::PageDown}) {
        EXPECT_EQ(keyFromName(keyName(key)), key) << keyName(key);
    }
    EXPECT_EQ(keyFromName("z"), KeyCode::Z);
    EXPECT_EQ(keyFromName("esc"), KeyCode::Escape);
    EXPECT_EQ(keyFromName("F13"), KeyCode::None);
    EXPECT_EQ(keyFromName(""), KeyCode::None);
}

TEST(Units, PixelsAndUnitsConvertBothWays) {
    EXPECT_EQ(pixelsToUnitsX(7), 32);
    EXPECT_EQ(pixelsToUnitsY(10), 40);
    EXPECT_EQ(unitsToPixelsX(pixelsToUnitsX(1346)), 1346);
    EXPECT_EQ(unitsToPixelsY(pixelsToUnitsY(718)), 718);
}

TEST(DataWindowControl, OperatorEditsRunTheItemEvents) {
    TestWindow w;
    std::string error;
    ASSERT_EQ(w.dw_set.Create("release 9;\ndatawindow(units=0)\ndetail(height=80)\n"
                              "table(column=(type=long name=copies dbname=\"copies\"))\n"
                              "column(band=detail id=1 x=\"1\" y=\"1\" width=\"100\" height=\"60\" "
                              "name=copies)\n",
                              error),
              1)
        << error;
    w.dw_set.InsertRow(0);
    std::vector<std::string> seen;
    w.dw_set.onItemChanged = [&](long row, std::string_view dwo, std::string_view data) {
        seen.push_back("changed " + std::string(dwo) + "=" + std::string(data));
        return data == "13" ? 1L : 0L;
    };
    w.dw_set.onItemError = [&](long row, std::string_view dwo, std::string_view data) {
        seen.push_back("error " + std::string(data));
        return 1L;
    };
    EXPECT_EQ(w.dw_set.operatorSetItem(1, "copies", "3"), 1);
    EXPECT_EQ(w.dw_set.GetItemNumber(1, "copies")->toString(), "3");
    EXPECT_EQ(w.dw_set.operatorSetItem(1, "copies", "three"), -1);
    EXPECT_EQ(w.dw_set.operatorSetItem(1, "copies", "13"), -1);
    EXPECT_EQ(w.dw_set.GetItemNumber(1, "copies")->toString(), "3");
    EXPECT_EQ(w.dw_set.operatorSetItem(2, "copies", "1"), -1);
    EXPECT_EQ(w.dw_set.operatorSetItem(1, "nosuch", "1"), -1);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"changed copies=3", "error three", "changed copies=13"}));
}

}  // namespace
}  // namespace print::platform
