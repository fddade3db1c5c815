// The services interface: every effect of the component outside its own objects goes through
// here (message boxes, the pointer, the keyboard, the screen, modal windows, pop-up menus, the
// file, font and printer dialogs, printing). The headless implementation serves tests and batch
// runs; the Qt implementation shows real windows. Nothing here throws.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace print::engine {
class DataStore;
}

namespace print::platform {

class Window;
class Menu;

enum class Icon { None, Information, Exclamation, StopSign, Question };

// The platform's button sets; a message box returns the 1-based number of the button pressed.
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

enum class Pointer { Arrow, HourGlass, Cross, SizeNS, SizeWE, SizeNWSE, SizeNESW, SizeAll };

enum class KeyCode {
    None,
    A,
    B,
    C,
    D,
    E,
    F,
    G,
    H,
    I,
    J,
    K,
    L,
    M,
    N,
    O,
    P,
    Q,
    R,
    S,
    T,
    U,
    V,
    W,
    X,
    Y,
    Z,
    Num0,
    Num1,
    Num2,
    Num3,
    Num4,
    Num5,
    Num6,
    Num7,
    Num8,
    Num9,
    Left,
    Right,
    Up,
    Down,
    Delete,
    Escape,
    Enter,
    Tab,
    Backspace,
    Home,
    End,
    PageUp,
    PageDown,
    Insert,
    Space,
    Control,
    Shift,
    Alt,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12
};

// Key flags as the platform passes them to key events: 1 Shift, 2 Ctrl (added together).
constexpr int kKeyFlagShift = 1;
constexpr int kKeyFlagCtrl = 2;

// The key's name as scripts write it ("Left", "Delete", "Z", "F5"), and back (not case
// sensitive); KeyCode::None for a name that is no key.
std::string_view keyName(KeyCode key);
KeyCode keyFromName(std::string_view name);

int buttonCount(MessageButtons buttons);
std::string_view iconName(Icon icon);
std::string_view buttonsName(MessageButtons buttons);

struct ScreenSize {
    long width = 0;  // pixels
    long height = 0;
};

// A message box as it was shown and answered (for logs and scripts).
struct MessageBoxRecord {
    std::string title;
    std::string text;
    Icon icon = Icon::None;
    MessageButtons buttons = MessageButtons::Ok;
    int answer = 0;
    bool answered = false;  // an answer was given for it (not the default of an unanswered box)

    // "TITLE | TEXT | ICON | BUTTONS -> N", one line (line ends in the text shown as "\n").
    std::string describe() const;
};

// The file-save dialog: filled by the caller, answered by the services.
struct FileSaveRequest {
    std::string title;
    std::string directory;  // initial folder; on success the chosen one
    std::string fileName;   // initial name; on success the chosen file's name with extension
    // Filter pairs as the platform writes them: "描述,*.ext,描述,*.ext".
    std::string filters;
    int firstFilter = 1;
    bool askOverwrite = true;
};

// A font as the font dialog shows and returns it. `height` is in points.
struct FontChoice {
    std::string face;
    int height = 9;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    long color = 0;  // blue-green-red
};

// One print of a report. The report is printed with the print properties it carries.
struct PrintJob {
    engine::DataStore* report = nullptr;
    std::string documentName;
    bool showCancelDialog = false;
};

class Services {
public:
    virtual ~Services() = default;

    // Returns the number of the button pressed (1-based).
    virtual int messageBox(std::string_view title, std::string_view text, Icon icon,
                           MessageButtons buttons, int defaultButton) = 0;
    int messageBox(std::string_view title, std::string_view text, Icon icon = Icon::None,
                   MessageButtons buttons = MessageButtons::Ok) {
        return messageBox(title, text, icon, buttons, 1);
    }

    // Sets the pointer and returns the one before.
    virtual Pointer setPointer(Pointer pointer) = 0;
    virtual bool keyDown(KeyCode key) = 0;
    virtual ScreenSize screenSize() = 0;

    // Opens `window` modally: its open and post-open events run, and the call returns when the
    // window has closed. 1, or -1 when it could not be opened.
    virtual int openModal(Window& window) = 0;
    // Shows a pop-up menu at a point of `parent` (its units); the chosen item's event is
    // triggered on the menu's target window.
    virtual void popMenu(const Menu& menu, Window& parent, long x, long y) = 0;

    // 1 when a file was chosen (request updated), 0 when cancelled, -1 on error.
    virtual int fileSaveDialog(FileSaveRequest& request) = 0;
    // 1 chosen (font updated), 0 cancelled.
    virtual int fontDialog(FontChoice& font) = 0;
    // The printer-setup dialog for `printer` (the printer in force, "" for the default one):
    // 1 with the chosen printer, 0 cancelled, -1 on error.
    virtual int printerSetup(std::string& printer) = 0;
    // 1 printed, -1 failed.
    virtual int print(const PrintJob& job) = 0;
    // The printer a print goes to when the report names none: the system's default printer;
    // "" when the system has none.
    virtual std::string defaultPrinter() { return {}; }
    // Writes the pages of `job.report` a print would print (its page range, odd or even pages;
    // each once) into the PDF file `path`, drawn as on paper, whole or not at all. 1, 0 when the
    // operator cancelled it in its progress, or -1 with the reason in `error`. No message is
    // shown: the caller says what happened.
    virtual int writePdf(const PrintJob& job, const std::string& path, std::string& error) = 0;

    // Progress of a long export or print: `done` of `total` rows or pages. Returns false when
    // the operator cancelled; the work then stops and leaves nothing behind. `done` equal to
    // `total` ends the progress display.
    virtual bool progress(std::string_view title, long done, long total) { return true; }
};

// Sets a pointer and restores the previous one on every way out of the scope.
class PointerGuard {
public:
    PointerGuard(Services& services, Pointer pointer)
        : m_services(services), m_previous(services.setPointer(pointer)) {}
    ~PointerGuard() { m_services.setPointer(m_previous); }
    PointerGuard(const PointerGuard&) = delete;
    PointerGuard& operator=(const PointerGuard&) = delete;

private:
    Services& m_services;
    Pointer m_previous;
};

}  // namespace print::platform
