// The services on Qt Widgets: real message boxes with the platform's icons and buttons, the wait
// cursor, the keyboard's real state, the primary screen, modal windows shown as real widgets
// (control_widgets.h), pop-up menus, the file, font and printer dialogs, printing through
// QPrinter and a progress dialog with a cancel button.
//
// A QApplication must exist before a QtServices is made and outlive it. The services watch the
// application's events (an event filter) for the keys held down, the pointer over their windows
// and the keys the operator presses in them, which reach the window model once each through
// `Window::pressKey`. Keys typed into a text field stay with the field, and so do the keys a
// focused check box or tab bar works with (Space; arrows, Home and End) and Tab, which moves
// the focus.
//
// Failures: `openModal` answers -1 for a window already open; `print` answers -1 and shows the
// reason in a message box ("错误", "打印失败：" and why, in Chinese, stop sign), also kept in
// `lastPrintError()`; a print the operator cancels in its progress dialog answers -1 with no
// box; the dialogs answer 0 when cancelled. Nothing throws.
//
// Prints and exports report their progress; one that lasts longer than about a second shows a
// progress dialog with 取消, and while it runs the open windows take no input (a click made
// meanwhile is dropped, not acted on afterwards). Qt's own dialogs are shown in Chinese from
// Qt's translations (qtbase_zh_CN) when they are installed.
//
// For tests, every Qt dialog and menu is handed to `onDialog` just before it runs modally (a test
// answers it from a zero-time QTimer, as an operator would), and `modalInteraction` plays the
// operator inside a modal window instead of an event loop.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/result.h"
#include "platform/services.h"
#include "platform/window.h"

class QWidget;
class QProgressDialog;

namespace print::qt {

class WindowView;

class QtServices : public platform::Services {
public:
    QtServices();
    ~QtServices() override;
    QtServices(const QtServices&) = delete;
    QtServices& operator=(const QtServices&) = delete;

    // Called with each message box, file, font, colour and printer dialog and pop-up menu just
    // before it runs modally. A message box's buttons carry their number in the platform's
    // order (1 for OK, Yes, Abort) as the property kButtonNumberProperty.
    std::function<void(QWidget&)> onDialog;
    static constexpr const char* kButtonNumberProperty = "platformButton";
    // Called with each message box once it is answered.
    std::function<void(const platform::MessageBoxRecord&)> onMessageBox;
    // When set, runs while a modal window is shown, in place of the event loop; a window still
    // open when it returns is closed (as on the headless layer).
    std::function<void(platform::Window&, WindowView&)> modalInteraction;

    // The view of a window while it is open through these services; null otherwise.
    WindowView* viewOf(const platform::Window& window) const;
    // Called after each print with the job and its outcome: 1 printed, -1 failed, 0 cancelled
    // by the operator.
    std::function<void(const platform::PrintJob&, int)> onPrint;
    // Why the last print failed; "" after a print that succeeded.
    const std::string& lastPrintError() const { return m_lastPrintError; }

    // --- Services -------------------------------------------------------------------------------
    int messageBox(std::string_view title, std::string_view text, platform::Icon icon,
                   platform::MessageButtons buttons, int defaultButton) override;
    using Services::messageBox;
    platform::Pointer setPointer(platform::Pointer pointer) override;
    bool keyDown(platform::KeyCode key) override;
    platform::ScreenSize screenSize() override;
    int openModal(platform::Window& window) override;
    void popMenu(const platform::Menu& menu, platform::Window& parent, long x, long y) override;
    int fileSaveDialog(platform::FileSaveRequest& request) override;
    int fontDialog(platform::FontChoice& font) override;
    int printerSetup(std::string& printer) override;
    int print(const platform::PrintJob& job) override;
    std::string defaultPrinter() override;
    int writePdf(const platform::PrintJob& job, const std::string& path,
                 std::string& error) override;
    bool progress(std::string_view title, long done, long total) override;

private:
    class EventWatch;
    class OperatorWait;
    struct OpenWindow;

    // The report printed onto the printer or PDF file the report names.
    Status printPages(const platform::PrintJob& job);
    // Runs a dialog modally, with the arrow pointer while it waits for the operator.
    int runDialog(QWidget& dialog, const std::function<int()>& exec);
    // The widget dialogs belong to: the innermost open window, when shown.
    QWidget* dialogParent() const;
    // After every operator action: reports are drawn again, closed windows leave their loops.
    void afterAction();
    OpenWindow* innermost() const;
    // Where a window opens: over the middle of the window it was opened from (`parent`), or of
    // the screen's free room.
    void place(QWidget& widget, QWidget* parent);

    std::unique_ptr<EventWatch> m_watch;
    std::vector<OpenWindow*> m_open;
    std::set<platform::KeyCode> m_keysDown;
    platform::Pointer m_pointer = platform::Pointer::Arrow;
    bool m_overrideSet = false;
    std::unique_ptr<QProgressDialog> m_progress;
    std::string m_lastPrintError;
    bool m_printCancelled = false;
    // A print or an export runs: the open windows take no input.
    bool m_busy = false;
};

}  // namespace print::qt
