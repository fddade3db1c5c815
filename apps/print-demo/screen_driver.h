// The operator scripts of `printctl print --script` played on the real widgets of the print
// window, as real mouse and key events through the application: `click` is a press and a release
// at the control's middle (a check box's box, a tab page's tab), `type` clicks into the edit
// unless it has the focus and types the keys (characters beyond ASCII arrive as an input
// method commits them), `set` clicks the cell, replaces what its editor holds and presses Tab
// (an editor that refuses the value gets Esc, so the report keeps its old one as without a
// screen), `key` goes to the widget with the focus, `mouse` moves the pointer and presses and
// releases the left button over the report view, scrolled to the point first.
//
// Message boxes, the file, font, colour and printer dialogs and pop-up menus are answered
// with real clicks as the script's `answer`, `filename`, `fontdialog`, `printersetup` and
// `menu` lines say; a message box without an answer gets its last button and a dialog without
// one is cancelled. Every message box is written to the error stream as printctl writes it.
// `screenshot FILE.png` writes the window as the screen shows it.
#pragma once

#include <QPointer>
#include <deque>
#include <optional>
#include <ostream>
#include <string>

#include "platform/operator_script.h"
#include "qt/qt_services.h"

class QWidget;

namespace print::qt {
class ReportView;
}

namespace demo {

class ScreenDriver : public print::platform::OperatorDriver {
public:
    ScreenDriver(print::qt::QtServices& services, std::ostream& err);
    ~ScreenDriver() override;
    ScreenDriver(const ScreenDriver&) = delete;
    ScreenDriver& operator=(const ScreenDriver&) = delete;

    // Plays `script` in every window the services open from now on (until the driver goes).
    void play(print::platform::OperatorScript& script);
    // Whether a message box with the stop sign was shown.
    bool stopSignShown() const { return m_stopSign; }

    std::string click(print::platform::Window& window, print::platform::Control& control) override;
    std::string doubleClick(print::platform::Window& window, print::platform::DataWindowControl& dw,
                            long row) override;
    // Press, release, double click and release, queued as the window system queues them: what
    // the first click starts (a print) runs while the rest wait.
    std::string doubleClickButton(print::platform::Window& window,
                                  print::platform::Control& button) override;
    std::string rightClick(print::platform::Window& window, print::platform::DataWindowControl& dw,
                           long row) override;
    std::string key(print::platform::Window& window, print::platform::KeyCode key,
                    int keyFlags) override;
    std::string mouse(print::platform::Window& window, print::platform::DataWindowControl& dw,
                      print::platform::MouseAction action, print::layout::PagePoint point,
                      bool ctrl) override;
    std::string type(print::platform::Window& window, print::platform::SingleLineEdit& edit,
                     const std::string& keys) override;
    std::string check(print::platform::Window& window, print::platform::CheckBox& box,
                      bool on) override;
    std::string set(print::platform::Window& window, print::platform::DataWindowControl& dw,
                    long row, const std::string& column, const std::string& value) override;
    std::string menu(const std::string& item) override;
    std::string screenshot(print::platform::Window& window, const std::string& file) override;
    // The widget with the keyboard focus, a button too (the model gives buttons no focus).
    std::string focused(print::platform::Window& window) override;
    void answer(int button) override { m_answers.push_back(button); }
    void fileName(std::string path) override { m_fileNames.push_back(std::move(path)); }
    void font(std::optional<print::platform::FontChoice> font) override {
        m_fonts.push_back(std::move(font));
    }
    void printer(std::optional<std::string> printer) override {
        m_printers.push_back(std::move(printer));
    }

private:
    QWidget* widgetOf(print::platform::Window& window, const print::platform::Control& control);
    print::qt::ReportView* viewOf(print::platform::Window& window,
                                  print::platform::DataWindowControl& dw);
    // Lets the application handle what the last action set going (timers, queued calls).
    void settle();
    void sendMouse(QWidget& widget, int type, QPoint at, Qt::MouseButton button,
                   Qt::KeyboardModifiers modifiers = {});
    void clickAt(QWidget& widget, QPoint at, Qt::MouseButton button = Qt::LeftButton,
                 Qt::KeyboardModifiers modifiers = {});
    // Types `text` into `into`, or else into the widget with the focus.
    void typeText(const QString& text, QWidget* into = nullptr);
    QWidget* focusIn(print::platform::Window& window);
    // Answers a dialog or menu the services are about to run.
    void answerDialog(QWidget& dialog);

    print::qt::QtServices& m_services;
    std::ostream& m_err;
    print::platform::OperatorScript* m_script = nullptr;
    std::deque<int> m_answers;
    std::deque<std::string> m_fileNames;
    std::deque<std::optional<print::platform::FontChoice>> m_fonts;
    std::optional<long> m_colour;  // the colour of the font chosen last, for the colour dialog
    std::deque<std::optional<std::string>> m_printers;
    Qt::MouseButtons m_buttons;  // held down
    bool m_stopSign = false;
};

}  // namespace demo
