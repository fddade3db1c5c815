// A small window through QtServices: which keys reach the model and which stay with a widget,
// the pointer, edits committed once, and windows that close while they open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <limits>

#include "platform/units.h"
#include "qt/control_widgets.h"
#include "qt/qt_services.h"

namespace print::qt {
namespace {

using platform::KeyCode;

class Probe : public platform::w_center {
public:
    Probe() : w_center("w_probe") {
        setTitle("探针");
        Control::resize(2000, 1200);
        sle_name.move(40, 40);
        sle_name.resize(800, 84);
        sle_name.limit = 5;
        cbx_on.move(40, 200);
        cbx_on.resize(600, 64);
        cbx_on.setText("选项");
        uob_ok.configure("", "确 定", "");
        uob_ok.move(40, 400);
        uob_ok.resize(360, 110);
        sle_name.onModified = [this] { modified.push_back(sle_name.text()); };
        uob_ok.onClick = [this] { clicks.push_back(sle_name.text()); };
    }

    platform::SingleLineEdit sle_name{this, "sle_name"};
    platform::CheckBox cbx_on{this, "cbx_on"};
    platform::u_button uob_ok{this, "uob_ok"};

    void key(KeyCode key, int keyFlags) override {
        keys.push_back(std::string(platform::keyName(key)) +
                       (keyFlags ? "+" + std::to_string(keyFlags) : ""));
        w_center::key(key, keyFlags);
    }
    void ue_postopen() override {
        if (postOpen) postOpen();
    }

    std::function<void()> postOpen;
    std::vector<std::string> keys;
    std::vector<std::string> modified;
    std::vector<std::string> clicks;
};

TEST(QtWindowKeys, KeysReachTheWindowOnceUnlessATextFieldOrCheckBoxUsesThem) {
    QtServices services;
    Probe probe;
    probe.wf_setescexit(true);
    services.modalInteraction = [&](platform::Window&, WindowView& view) {
        QWidget& top = view.widget();
        // The focus Qt gives the first field as the window shows is not the operator's.
        top.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&top));
        EXPECT_EQ(QApplication::focusWidget(), view.widgetOf("sle_name"));
        EXPECT_EQ(probe.focusedControl(), nullptr);
        QTest::keyClick(&top, Qt::Key_F5);
        QTest::keyClick(&top, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        // The modifiers are keys of their own as they go down, as on the platform.
        EXPECT_EQ(probe.keys, (std::vector<std::string>{"F5", "Shift+1", "Control+3", "Z+3"}));

        // Typing stays in the field, which keeps to the model's limit; leaving it with Enter
        // runs `modified` once and the Enter goes on to the window.
        auto& edit = *qobject_cast<QLineEdit*>(view.widgetOf("sle_name"));
        QTest::keyClicks(&edit, "abcdefg");
        EXPECT_EQ(edit.text(), "abcde");
        EXPECT_EQ(probe.sle_name.text(), "");
        QTest::keyClick(&edit, Qt::Key_Return);
        EXPECT_EQ(probe.sle_name.text(), "abcde");
        EXPECT_EQ(probe.modified, (std::vector<std::string>{"abcde"}));
        EXPECT_EQ(probe.keys.back(), "Enter");

        // An edit not left yet reaches the model before the button acts, once.
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QTest::mouseClick(view.widgetOf("uob_ok"), Qt::LeftButton);
        EXPECT_EQ(probe.clicks, (std::vector<std::string>{"abcd"}));
        edit.clearFocus();
        EXPECT_EQ(probe.modified, (std::vector<std::string>{"abcde", "abcd"}));

        // Space clicks a focused check box and is no key of the window.
        auto& box = *qobject_cast<QCheckBox*>(view.widgetOf("cbx_on"));
        box.setFocus(Qt::MouseFocusReason);
        EXPECT_EQ(probe.focusedControl(), &probe.cbx_on);
        const size_t keysBefore = probe.keys.size();
        QTest::keyClick(&box, Qt::Key_Space);
        EXPECT_TRUE(probe.cbx_on.checked());
        EXPECT_TRUE(box.isChecked());
        EXPECT_EQ(probe.keys.size(), keysBefore);

        // The logic's text goes into the field.
        probe.sle_name.setText("xyz");
        EXPECT_EQ(edit.text(), "xyz");

        // Sizes past what a widget can be are cut, not wrapped; negative ones are none.
        QWidget* ok = view.widgetOf("uob_ok");
        probe.uob_ok.resize(std::numeric_limits<long>::max() / 4, -50);
        EXPECT_EQ(ok->width(), std::min(ok->maximumWidth(), QWIDGETSIZE_MAX));
        EXPECT_EQ(ok->height(), std::max(0, ok->minimumHeight()));
        probe.uob_ok.move(-400, 40);
        EXPECT_EQ(ok->pos(), QPoint(static_cast<int>(platform::unitsToPixelsX(-400)), 10));

        // Esc in a field is the window's: with Esc-exit it closes the window.
        QTest::keyClick(&edit, Qt::Key_Escape);
        EXPECT_FALSE(probe.isOpen());
    };
    EXPECT_EQ(services.openModal(probe), 1);
    EXPECT_EQ(probe.keys.back(), "Escape");
}

TEST(QtWindowPointer, ThePointerOverTheWindowIsKeptInUnits) {
    QtServices services;
    Probe probe;
    services.modalInteraction = [&](platform::Window&, WindowView& view) {
        QWidget* edit = view.widgetOf("sle_name");
        QTest::mouseMove(edit, QPoint(30, 6));
        const QPoint inWindow = edit->mapTo(&view.widget(), QPoint(30, 6));
        EXPECT_EQ(probe.pointerX(), platform::pixelsToUnitsX(inWindow.x()));
        EXPECT_EQ(probe.pointerY(), platform::pixelsToUnitsY(inWindow.y()));
    };
    services.openModal(probe);
}

TEST(QtModalWindows, AWindowOpensOnceAndOneThatClosesWhileOpeningIsNeverShown) {
    QtServices services;
    Probe probe;
    int again = 0;
    probe.postOpen = [&] { again = services.openModal(probe); };
    bool shown = false;
    services.modalInteraction = [&](platform::Window&, WindowView& view) {
        shown = view.widget().isVisible();
    };
    EXPECT_EQ(services.openModal(probe), 1);
    EXPECT_EQ(again, -1);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(probe.isOpen());
    EXPECT_EQ(services.viewOf(probe), nullptr);

    shown = false;
    probe.postOpen = [&] { probe.closeWindow(); };
    EXPECT_EQ(services.openModal(probe), 1);
    EXPECT_FALSE(shown);
}

}  // namespace
}  // namespace print::qt
