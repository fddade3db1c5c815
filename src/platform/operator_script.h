// Operator actions on a window, one a line: how tests drive the print window as users do, how
// `printctl print --script` reproduces what an operator did without a screen, and how
// `print-demo --script` replays it on the real widgets. The lines are read here; what each
// action does is the driver's: `HeadlessDriver` acts on the window model as the operator
// functions of the platform do, a screen driver sends real mouse and key events.
//
//   click CONTROL               a button, check box, tab page (selects it) or report control
//   doubleclick CONTROL [ROW]   rclick CONTROL [ROW]   row CONTROL ROW
//                               (a double click on a button presses it once)
//   menu ITEM                   an item of the pop-up menu shown last
//   key KEY [ctrl] [shift]      a key pressed on the window (Left, Delete, Escape, Z, ...)
//   mouse down|move|up X Y [ctrl]   on dw_preview, in the report's units on the page shown
//   mouse down|move|up @OBJECT [DX DY] [ctrl]   DX, DY report units from the object's top-left
//                               corner on the page shown; without them its centre (a line's
//                               midpoint)
//   type CONTROL TEXT           keys typed into an edit: over its selected text, else at the
//                               caret
//   check CONTROL on|off        set CONTROL ROW COLUMN VALUE
//   answer N                    the button for the next message box
//   filename PATH               the next file-save dialog's answer ("" cancels)
//   fontdialog FACE HEIGHT WEIGHT ITALIC UNDERLINE STRIKEOUT COLOR | fontdialog cancel
//   printersetup PRINTER | printersetup cancel
//   describe CONTROL TEXT       syntax CONTROL       modify CONTROL TEXT
//   show CONTROL                the control's state: visible, enabled, checked, the selected
//                               tab, a report control's rows, current row and shown page of
//                               its pages ("page=2/7"), an edit's selection and whether it has
//                               the focus, text (the window's name: its title)
//   screenshot FILE.png         the window as the screen shows it (screen drivers only)
//   focus                       the name of the control that has the keys ("" for the window
//                               itself), followed by the report column being edited, if any
//
// CONTROL is a control's name or a dotted path through tab pages and panels
// (`tabpage_setup.dw_set`); for describe, syntax and modify the path may go on into nested
// reports (`dw_preview.dw_report`). Lines act on the innermost open window: while the save
// dialog is open they act on its controls. `#` starts a comment. Answers of describe, syntax
// and modify are followed by a line holding ".", lines beginning with "." getting one more.
//
// A line that cannot be run is reported as "error: line N: ..." on the error stream and ends
// the script (`failed()` is then true); the window is closed as if the operator closed it.
#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>

#include "layout/report_layout.h"
#include "platform/datawindow_control.h"
#include "platform/headless_services.h"
#include "platform/window.h"

namespace print::platform {

// What the actions of a script do. The script has checked the line and found its control
// (shown and enabled where the operator needs it so); each action answers "" when done, else
// why it could not be done, which ends the script.
class OperatorDriver {
public:
    virtual ~OperatorDriver() = default;

    virtual std::string click(Window& window, Control& control) = 0;
    virtual std::string doubleClick(Window& window, DataWindowControl& dw, long row) = 0;
    // A double click on a button is one click of it.
    virtual std::string doubleClickButton(Window& window, Control& button) {
        return click(window, button);
    }
    virtual std::string rightClick(Window& window, DataWindowControl& dw, long row) = 0;
    virtual std::string key(Window& window, KeyCode key, int keyFlags) = 0;
    // The left button at `point` of the page shown in `dw` (the engine's points).
    virtual std::string mouse(Window& window, DataWindowControl& dw, MouseAction action,
                              layout::PagePoint point, bool ctrl) = 0;
    virtual std::string type(Window& window, SingleLineEdit& edit, const std::string& keys) = 0;
    virtual std::string check(Window& window, CheckBox& box, bool on) = 0;
    // The cell (row, column) of a report control gets `value` as the operator enters it.
    virtual std::string set(Window& window, DataWindowControl& dw, long row,
                            const std::string& column, const std::string& value) = 0;
    // An item of the pop-up menu shown last.
    virtual std::string menu(const std::string& item) = 0;
    virtual std::string screenshot(Window& window, const std::string& file);
    // The control the keys go to, as the `focus` line shows it.
    virtual std::string focused(Window& window);

    // Answers for the dialogs to come, in their order.
    virtual void answer(int button) = 0;
    virtual void fileName(std::string path) = 0;
    virtual void font(std::optional<FontChoice> font) = 0;
    virtual void printer(std::optional<std::string> printer) = 0;
};

// The actions on the window model, without a screen: the platform's operator functions.
class HeadlessDriver : public OperatorDriver {
public:
    explicit HeadlessDriver(HeadlessServices& services) : m_services(services) {}

    std::string click(Window& window, Control& control) override;
    std::string doubleClick(Window& window, DataWindowControl& dw, long row) override;
    std::string rightClick(Window& window, DataWindowControl& dw, long row) override;
    std::string key(Window& window, KeyCode key, int keyFlags) override;
    std::string mouse(Window& window, DataWindowControl& dw, MouseAction action,
                      layout::PagePoint point, bool ctrl) override;
    std::string type(Window& window, SingleLineEdit& edit, const std::string& keys) override;
    std::string check(Window& window, CheckBox& box, bool on) override;
    std::string set(Window& window, DataWindowControl& dw, long row, const std::string& column,
                    const std::string& value) override;
    std::string menu(const std::string& item) override;
    void answer(int button) override { m_services.queueAnswer(button); }
    void fileName(std::string path) override { m_services.queueFileName(std::move(path)); }
    void font(std::optional<FontChoice> font) override { m_services.queueFont(std::move(font)); }
    void printer(std::optional<std::string> printer) override {
        m_services.queuePrinter(std::move(printer));
    }

private:
    HeadlessServices& m_services;
};

class OperatorScript {
public:
    OperatorScript(OperatorDriver& driver, std::istream& in, std::ostream& out, std::ostream& err);

    // Runs lines on `window` until it closes or the script ends. Windows the lines open run
    // the lines that follow (the caller makes `run` its services' modal interaction).
    void run(Window& window);

    // The next line to run when it is a `menu` line: a screen driver, whose pop-up menu waits
    // for its answer inside the action that opened it, takes the item from it. Comments and
    // blank lines before it are passed over; any other line stays for `run`.
    std::optional<std::string> takeMenuLine();

    // Ends the script with an error on the line run last (a screen driver whose dialog answer
    // could not be given).
    void stop(const std::string& message);

    bool failed() const { return m_failed; }
    long lineNumber() const { return m_line; }

private:
    bool runLine(Window& window, const std::string& line);
    bool fail(const std::string& message);
    bool check(const std::string& problem);
    Control* control(Window& window, const std::string& path);
    engine::DataStore* report(Window& window, const std::string& path);
    // An answer, then a line holding ".".
    void reply(const std::string& text);
    // The next line that is neither blank nor a comment, trimmed; nullopt at the end.
    std::optional<std::string> nextLine();

    OperatorDriver& m_driver;
    std::istream& m_in;
    std::ostream& m_out;
    std::ostream& m_err;
    std::optional<std::string> m_pending;  // a line read ahead by takeMenuLine
    long m_pendingLine = 0;
    long m_line = 0;
    bool m_failed = false;
    bool m_ended = false;
};

}  // namespace print::platform
