// Operator actions on the headless window layer, one a line: how tests drive the print window
// as users do, and how `printctl print --script` reproduces what an operator did.
//
//   click CONTROL               a button, check box, tab page (selects it) or report control
//   doubleclick CONTROL [ROW]   rclick CONTROL [ROW]   row CONTROL ROW
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

#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "platform/datawindow_control.h"
#include "platform/headless_services.h"
#include "platform/window.h"

namespace print::print_window {

class OperatorScript {
public:
    OperatorScript(platform::HeadlessServices& services, std::istream& in, std::ostream& out,
                   std::ostream& err);

    // Makes the script the services' modal interaction: every window the services open runs
    // the lines that follow until it closes.
    void install();
    // Runs lines on `window` until it closes or the script ends.
    void run(platform::Window& window);

    bool failed() const { return m_failed; }
    long lineNumber() const { return m_line; }

private:
    bool runLine(platform::Window& window, const std::string& line);
    bool fail(const std::string& message);
    platform::Control* control(platform::Window& window, const std::string& path);
    engine::DataStore* report(platform::Window& window, const std::string& path);
    void emit(const std::string& text);

    platform::HeadlessServices& m_services;
    std::istream& m_in;
    std::ostream& m_out;
    std::ostream& m_err;
    long m_line = 0;
    bool m_failed = false;
    bool m_ended = false;
};

}  // namespace print::print_window
