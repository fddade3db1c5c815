// The services without a screen, for tests and batch runs. Every message box is recorded with
// its title, text, icon, buttons and the answer given; answers come from a queue the caller
// fills. A box that asks a question (more than one button) with no queued answer is recorded as
// unanswered and, by default, is an error the caller can read (`errors()`); batch runs may
// choose to answer such boxes with the last button (Cancel or No) instead. A box with only OK
// needs no answer. Dialog answers, key state and screen size are set by the caller;
// modal windows run their interaction through a callback; print jobs go to a printer callback
// and are recorded.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/control.h"
#include "platform/services.h"

namespace print::platform {

enum class UnansweredBox {
    Error,       // recorded in errors(); the last button is returned
    LastButton,  // the last button (Cancel or No), no error
};

class HeadlessServices : public Services {
public:
    HeadlessServices();

    // --- message boxes --------------------------------------------------------------------------
    void queueAnswer(int button) { m_answers.push_back(button); }
    void setUnansweredPolicy(UnansweredBox policy) { m_policy = policy; }
    const std::vector<MessageBoxRecord>& messageBoxes() const { return m_boxes; }
    // Called for each box as it is shown (printctl writes them to standard error).
    std::function<void(const MessageBoxRecord&)> onMessageBox;
    bool stopSignShown() const;

    // --- what went wrong in the run: unanswered boxes, dialogs without answers -------------------
    const std::vector<std::string>& errors() const { return m_errors; }
    void clearRecords();

    // --- pointer, keys, screen ------------------------------------------------------------------
    Pointer pointer() const { return m_pointer; }
    // Every pointer set, in order.
    const std::vector<Pointer>& pointerHistory() const { return m_pointerHistory; }
    void setKeyDown(KeyCode key, bool down);
    void setScreenSize(ScreenSize size) { m_screen = size; }

    // --- modal windows --------------------------------------------------------------------------
    // Runs while a modal window is open, after its post-open event (windows opened from inside
    // it nest). A window still open when it returns is closed.
    std::function<void(Window&)> modalInteraction;
    // The modal windows open now, innermost last.
    const std::vector<Window*>& openWindows() const { return m_openWindows; }
    // Every window opened, by name, in order.
    const std::vector<std::string>& openedWindowNames() const { return m_openedNames; }

    // --- pop-up menus ---------------------------------------------------------------------------
    // The menu shown last, kept until another one is shown; `chooseMenuItem` clicks its items.
    const std::optional<Menu>& lastMenu() const { return m_lastMenu; }
    // 1, or -1 (recorded in errors()) when no menu was shown or it has no such item.
    int chooseMenuItem(std::string_view item);

    // --- dialogs --------------------------------------------------------------------------------
    // The next file-save dialog chooses `path` (folder and name); "" cancels it. Without an
    // answer the dialog is cancelled and an error recorded.
    void queueFileName(std::string path) { m_fileNames.push_back(std::move(path)); }
    const std::vector<FileSaveRequest>& fileDialogs() const { return m_fileDialogs; }
    // The next font dialog chooses `font`; nullopt cancels it.
    void queueFont(std::optional<FontChoice> font) { m_fonts.push_back(std::move(font)); }
    const std::vector<FontChoice>& fontDialogs() const { return m_fontDialogs; }
    // The next printer-setup dialog chooses `printer`; nullopt cancels it.
    void queuePrinter(std::optional<std::string> printer) {
        m_printers.push_back(std::move(printer));
    }

    // --- progress -------------------------------------------------------------------------------
    // Cancels a long export or print once it has reported `done` units of work (0: never).
    void cancelProgressAfter(long done) { m_cancelAfter = done; }
    // Called for each progress report (printctl shows them on a terminal).
    std::function<void(std::string_view, long, long)> onProgress;
    long progressReports() const { return m_progressReports; }

    // --- printing -------------------------------------------------------------------------------
    // Does the printing of a job; without it a job is only recorded and succeeds.
    std::function<int(const PrintJob&)> printer;
    // Writes the PDF files of writePdf; without one, writePdf fails.
    std::function<int(const PrintJob&, const std::string& path, std::string& error)> pdfWriter;
    struct PrintRecord {
        std::string documentName;
        std::string reportObject;
        int result = 0;
    };
    const std::vector<PrintRecord>& printJobs() const { return m_printJobs; }
    // The system's default printer as `defaultPrinter` gives it ("" none, the start).
    void setDefaultPrinter(std::string printer) { m_defaultPrinter = std::move(printer); }
    std::string defaultPrinter() override { return m_defaultPrinter; }

    // --- Services -------------------------------------------------------------------------------
    int messageBox(std::string_view title, std::string_view text, Icon icon, MessageButtons buttons,
                   int defaultButton) override;
    using Services::messageBox;
    Pointer setPointer(Pointer pointer) override;
    bool keyDown(KeyCode key) override;
    ScreenSize screenSize() override { return m_screen; }
    int openModal(Window& window) override;
    void popMenu(const Menu& menu, Window& parent, long x, long y) override;
    int fileSaveDialog(FileSaveRequest& request) override;
    int fontDialog(FontChoice& font) override;
    int printerSetup(std::string& printer) override;
    int print(const PrintJob& job) override;
    int writePdf(const PrintJob& job, const std::string& path, std::string& error) override;
    bool progress(std::string_view title, long done, long total) override;

private:
    long m_cancelAfter = 0;
    long m_progressReports = 0;
    std::deque<int> m_answers;
    UnansweredBox m_policy = UnansweredBox::Error;
    std::vector<MessageBoxRecord> m_boxes;
    std::vector<std::string> m_errors;
    Pointer m_pointer = Pointer::Arrow;
    std::vector<Pointer> m_pointerHistory;
    std::vector<KeyCode> m_keysDown;
    ScreenSize m_screen{1366, 768};
    std::vector<Window*> m_openWindows;
    std::vector<std::string> m_openedNames;
    std::optional<Menu> m_lastMenu;
    std::deque<std::string> m_fileNames;
    std::vector<FileSaveRequest> m_fileDialogs;
    std::deque<std::optional<FontChoice>> m_fonts;
    std::vector<FontChoice> m_fontDialogs;
    std::deque<std::optional<std::string>> m_printers;
    std::vector<PrintRecord> m_printJobs;
    std::string m_defaultPrinter;
};

}  // namespace print::platform
